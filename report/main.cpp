// quillmark-report: the catalog of a folder of PO files on standard output, from the same engine as the window.

#include "report/ReportOptions.h"
#include "report/ReportSession.h"
#include "runner/LocalPath.h"
#include "runner/TerminationSignals.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Before any thread exists, so that every thread leaves these signals to the event loop.
    TerminationSignals::block();
    // As bytes, like the names in the folder: a folder whose name is not UTF-8 must still be found.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(decodeLocalPath(QByteArray(argv[i])));
    QCoreApplication app(argc, argv);

    ReportOptions options;
    QString error;
    if (!parseReportOptions(arguments, options, error)) {
        const QByteArray text = QStringLiteral("quillmark-report: %1\n%2").arg(error, reportUsage()).toLocal8Bit();
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
        return 2;
    }
    if (options.Help) {
        const QByteArray text = reportUsage().toLocal8Bit();
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
        return std::fflush(stdout) == 0 ? 0 : 2;
    }

    if (options.Version) {
        std::fputs("quillmark-report " QUILLMARK_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 ? 0 : 2;
    }

    ReportSession session(options);
    return session.run();
}
