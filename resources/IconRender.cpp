// Writes the window's icon as PNG files for the desktop's icon theme, from the same drawing as the window's own
// icon, so that the installed icon never drifts from what the window shows.
// Usage: quillmark-icon-render OUTPUT_FOLDER NAME SIZE...
// writes OUTPUT_FOLDER/SIZExSIZE/apps/NAME.png for each size.

#include "resources/Images.h"

#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER NAME SIZE...\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 16) {
            std::fprintf(stderr, "%s: size %s is below 16\n", argv[0], argv[i]);
            return 2;
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        const QString path = QStringLiteral("%1/%2.png").arg(dir, name);
        if (!QDir().mkpath(dir) || !Images::windowIconImage(size).save(path, "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(path));
            return 1;
        }
    }
    return 0;
}
