// Checks what the end-to-end test's run of the program left behind:
//   e2e_check colours <image> <#rrggbb>...      every colour occurs in the image
//   e2e_check settings <file> <name>=<text>...  the settings file holds these string values; <name>:=<json> asks
//                                               for a value of any kind, such as Ratio:=5 for the integer 5
// Prints what it found; exits with 1 when something is missing.

#include <QColor>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <cstdio>

namespace {

int checkColours(int argc, char** argv)
{
    const QImage image = QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) {
        std::printf("cannot read the image %s\n", argv[2]);
        return 1;
    }
    int missing = 0;
    for (int i = 3; i < argc; ++i) {
        const QRgb wanted = QColor(QString::fromLatin1(argv[i])).rgb();
        long count = 0;
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                count += line[x] == wanted ? 1 : 0;
        }
        std::printf("colour %s: %ld pixels\n", argv[i], count);
        missing += count == 0 ? 1 : 0;
    }
    return missing == 0 ? 0 : 1;
}

int checkSettings(int argc, char** argv)
{
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::printf("cannot read the settings %s\n", argv[2]);
        return 1;
    }
    const QJsonObject values = QJsonDocument::fromJson(file.readAll()).object();
    int wrong = 0;
    for (int i = 3; i < argc; ++i) {
        const QString expectation = QString::fromLocal8Bit(argv[i]);
        const qsizetype equals = expectation.indexOf(QLatin1Char('='));
        const bool anyKind = equals > 0 && expectation.at(equals - 1) == QLatin1Char(':');
        const QString name = expectation.left(anyKind ? equals - 1 : equals);
        const QString text = expectation.mid(equals + 1);
        const QJsonValue stored = values.value(name);
        // A JSON literal is read as the one element of an array.
        const QJsonValue wanted = anyKind
            ? QJsonDocument::fromJson(QStringLiteral("[%1]").arg(text).toUtf8()).array().at(0)
            : QJsonValue(text);
        const bool ok = equals > 0 && !wanted.isUndefined() && stored == wanted;
        const QByteArray shown = QJsonDocument(QJsonArray{stored}).toJson(QJsonDocument::Compact);
        std::printf("%s %s = %s\n", ok ? "ok" : "WRONG", qPrintable(name), shown.mid(1, shown.size() - 2).constData());
        wrong += ok ? 0 : 1;
    }
    return wrong == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && qstrcmp(argv[1], "colours") == 0)
        return checkColours(argc, argv);
    if (argc >= 4 && qstrcmp(argv[1], "settings") == 0)
        return checkSettings(argc, argv);
    std::fprintf(stderr,
                 "usage: e2e_check colours <image> <#rrggbb>... | settings <file> <name>=<text>|<name>:=<json>...\n");
    return 2;
}
