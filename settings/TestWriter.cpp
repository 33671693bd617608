// Writes settings in a tight loop until it is killed, so that a test can kill it at random moments and look at
// what is left on disk. Prints one "R" once its first values are on disk.
#include "settings/Registry.h"

#include <QString>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SETTINGS-FILE\n", argv[0]);
        return 2;
    }
    try {
        TRegistry registry(QString::fromLocal8Bit(argv[1]));
        registry.OpenKey();
        // A large value makes each write long, so that many kills land inside one.
        const QString padding(64 * 1024, QLatin1Char('x'));
        for (qint32 n = 0;; ++n) {
            registry.WriteString(QStringLiteral("Editor"),
                                 QStringLiteral("%1:%2").arg(n).arg(padding.left(4096 + n % 60 * 1000)));
            if (n == 0) {
                std::fputs("R", stdout);
                std::fflush(stdout);
            }
            registry.WriteString(QStringLiteral("LastDir"), QStringLiteral("/folder/%1").arg(n));
            registry.WriteInteger(QStringLiteral("Ratio"), n);
            registry.WriteString(QStringLiteral("Dir%1").arg(n % 10 + 1), QStringLiteral("/history/%1").arg(n));
            registry.DeleteValue(QStringLiteral("Dir%1").arg((n + 5) % 10 + 1));
            registry.WriteInteger(QStringLiteral("FontSize"), -n);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
