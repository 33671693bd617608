// Checks what the end-to-end test's run of the program left behind:
//   e2e_check colours <image> <#rrggbb>...      every colour occurs in the image
//   e2e_check settings <file> <name>=<text>...  the settings file holds these string values; <name>:=<json> asks
//                                               for a value of any kind, such as Ratio:=5 for the integer 5
//   e2e_check grab <image> <seconds> <#rrggbb>... grabs the X screen once it shows every colour and has stopped
//                                               changing, within the seconds given
//   e2e_check crop <image> <out> <x> <y> <w> <h>  cuts that rectangle out of the image
//   e2e_check set <file> <name>=<text>|<name>:=<json>... sets values in the settings file
//   e2e_check find <#rrggbb> <x0> <y0> <x1> <y1>  prints "x y width height" of the pixels of the colour in that
//                                               region of the X screen
// Prints what it found; exits with 1 when something is missing.

#include <QColor>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QScreen>
#include <QString>
#include <QThread>

#include <QRect>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

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

QImage grabScreen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

bool hasColours(const QImage& image, const QList<QRgb>& colours)
{
    for (const QRgb colour : colours) {
        bool found = false;
        for (int y = 0; y < image.height() && !found; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width() && !found; ++x)
                found = (line[x] & 0xFFFFFF) == (colour & 0xFFFFFF);
        }
        if (!found)
            return false;
    }
    return true;
}

/// Pixels that differ between two grabs of the same size.
qsizetype differingPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    qsizetype count = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* lineA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* lineB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            count += lineA[x] != lineB[x] ? 1 : 0;
    }
    return count;
}

/// Grabs the X screen until every colour shows and two grabs half a second apart are the same but for a blinking
/// text cursor, then saves it.
int grabSettled(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const int seconds = QString::fromLatin1(argv[3]).toInt();
    QList<QRgb> colours;
    for (int i = 4; i < argc; ++i)
        colours.append(QColor(QString::fromLatin1(argv[i])).rgb());
    QElapsedTimer timer;
    timer.start();
    QImage last;
    while (true) {
        const QImage image = grabScreen();
        // A text cursor is a line of a few hundred pixels at most; a row or the progress bar changes far more.
        if (differingPixels(image, last) < 300 && hasColours(image, colours)) {
            image.save(QString::fromLocal8Bit(argv[2]));
            return 0;
        }
        if (timer.elapsed() > seconds * 1000) {
            image.save(QString::fromLocal8Bit(argv[2]));
            std::printf("the screen did not settle with the colours within %d s\n", seconds);
            return 1;
        }
        last = image;
        QThread::msleep(500);
    }
}

/// Cuts a rectangle out of an image, such as the window out of a screenshot.
int cropImage(char** argv)
{
    const QImage image(QString::fromLocal8Bit(argv[2]));
    const QRect rect(std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]), std::atoi(argv[7]));
    if (image.isNull() || !image.rect().contains(rect) || !image.copy(rect).save(QString::fromLocal8Bit(argv[3]))) {
        std::printf("cannot crop %s to %s\n", argv[2], argv[3]);
        return 1;
    }
    return 0;
}

/// Sets values in the settings file, as a user editing it by hand would: <name>=<text> or <name>:=<json>.
int setSettings(int argc, char** argv)
{
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::printf("cannot read the settings %s\n", argv[2]);
        return 1;
    }
    QJsonObject values = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    for (int i = 3; i < argc; ++i) {
        const QString assignment = QString::fromLocal8Bit(argv[i]);
        const qsizetype equals = assignment.indexOf(QLatin1Char('='));
        const bool json = equals > 0 && assignment.at(equals - 1) == QLatin1Char(':');
        const QString text = assignment.mid(equals + 1);
        values.insert(assignment.left(json ? equals - 1 : equals),
                      json ? QJsonDocument::fromJson(QStringLiteral("[%1]").arg(text).toUtf8()).array().at(0)
                           : QJsonValue(text));
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(QJsonDocument(values).toJson()) < 0) {
        std::printf("cannot write the settings %s\n", argv[2]);
        return 1;
    }
    return 0;
}

/// Prints "x y width height" of the box around the pixels of the colour inside the region of the X screen.
int findColour(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QRgb wanted = QColor(QString::fromLatin1(argv[2])).rgb() & 0xFFFFFF;
    const QRect region(QPoint(std::atoi(argv[3]), std::atoi(argv[4])), QPoint(std::atoi(argv[5]), std::atoi(argv[6])));
    const QImage image = grabScreen();
    QRect box;
    for (int y = std::max(0, region.top()); y <= std::min(image.height() - 1, region.bottom()); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = std::max(0, region.left()); x <= std::min(image.width() - 1, region.right()); ++x) {
            if ((line[x] & 0xFFFFFF) == wanted)
                box |= QRect(x, y, 1, 1);
        }
    }
    if (box.isEmpty()) {
        std::fprintf(stderr, "no pixel of %s in the region\n", argv[2]);
        return 1;
    }
    std::printf("%d %d %d %d\n", box.x(), box.y(), box.width(), box.height());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 8 && qstrcmp(argv[1], "crop") == 0)
        return cropImage(argv);
    if (argc >= 4 && qstrcmp(argv[1], "set") == 0)
        return setSettings(argc, argv);
    if (argc == 7 && qstrcmp(argv[1], "find") == 0)
        return findColour(argc, argv);
    if (argc >= 4 && qstrcmp(argv[1], "grab") == 0)
        return grabSettled(argc, argv);
    if (argc >= 4 && qstrcmp(argv[1], "colours") == 0)
        return checkColours(argc, argv);
    if (argc >= 4 && qstrcmp(argv[1], "settings") == 0)
        return checkSettings(argc, argv);
    std::fprintf(stderr,
                 "usage: e2e_check grab <image> <seconds> <#rrggbb>... | colours <image> <#rrggbb>... | settings "
                 "<file> <name>=<text>|<name>:=<json>...\n"
                 "       | crop <image> <out> <x> <y> <w> <h> | set <file> <name>=<text>|<name>:=<json>... | find "
                 "<#rrggbb> <x0> <y0> <x1> <y1>\n");
    return 2;
}
