// Reading a large folder: creates FILES tiny PO files with varied names in a temporary folder, then reads it
// with the catalog engine ROUNDS times, each with a fresh engine, and measures from the ReadFolder call to the
// start of the first check (the progress display turns on right before the runner's Execute). Also times the
// listing and the sort alone. Prints the median of each in milliseconds.

#include "catalog/CatalogEngine.h"
#include "catalog/CatalogModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double ms(const QElapsedTimer& clock)
{
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

/// Names like real catalogs and worse: language codes with regions, variants, mixed case, hyphens, digits.
QStringList makeNames(int count)
{
    static const char* const languages[] = {"de", "en", "pt", "zh", "sr", "ca", "nb", "ur", "hy", "Ab", "aB", "x-y"};
    static const char* const regions[] = {"", "_BR", "_GB", "_CN", "_TW", "@latin", "-old", "_PK", "'s"};
    QRandomGenerator random(4711);
    QStringList names;
    names.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString stem
            = QString::fromLatin1(languages[random.bounded(12)]) + QString::fromLatin1(regions[random.bounded(9)]);
        names.append(QStringLiteral("%1-%2%3").arg(stem).arg(random.bounded(1000000)).arg(i)
                     + (random.bounded(10) == 0 ? QStringLiteral(".PO") : QStringLiteral(".po")));
    }
    return names;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int files = arguments.size() > 1 ? arguments.at(1).toInt() : 10000;
    const int rounds = arguments.size() > 2 ? arguments.at(2).toInt() : 7;
    if (files <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: catalog_bench [FILES] [ROUNDS]\n");
        return 2;
    }

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    for (const QString& name : makeNames(files)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write("msgid \"a\"\nmsgstr \"b\"\n") < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    const QString folder = dir.path() + QLatin1Char('/');

    std::vector<double> toFirstCheck;
    std::vector<double> readFolderCall;
    std::vector<double> listing;
    std::vector<double> sorting;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        const QList<QByteArray> names = CatalogEngine::listPoFiles(folder);
        listing.push_back(ms(clock));
        CatalogModel model;
        clock.restart();
        model.addRows(names);
        sorting.push_back(ms(clock));
        if (names.size() != files) {
            std::fprintf(stderr, "listed %lld of %d files\n", static_cast<long long>(names.size()), files);
            return 1;
        }

        CatalogEngine engine;
        double firstCheck = -1;
        QObject::connect(&engine, &CatalogEngine::progressVisibleChanged, [&](bool visible) {
            if (visible && firstCheck < 0)
                firstCheck = ms(clock);
        });
        clock.restart();
        engine.ReadFolder(dir.path());
        readFolderCall.push_back(ms(clock));
        if (firstCheck < 0 || engine.Rows().count() != files) {
            std::fprintf(stderr, "the read did not start its first check\n");
            return 1;
        }
        toFirstCheck.push_back(firstCheck);
        engine.StopChecks();
    }

    std::printf("files: %d, rounds: %d\n", files, rounds);
    std::printf("listing alone (ms):             %.1f\n", median(listing));
    std::printf("sorting alone (ms):             %.1f\n", median(sorting));
    std::printf("ReadFolder to first check (ms): %.1f\n", median(toFirstCheck));
    std::printf("ReadFolder call returns (ms):   %.1f\n", median(readFolderCall));
    return 0;
}
