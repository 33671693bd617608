// quillmark-report: the catalog of a folder of PO files on standard output, from the same engine as the window.

#include "report/ReportOptions.h"
#include "report/ReportSession.h"
#include "runner/TerminationSignals.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Before any thread exists, so that every thread leaves these signals to the event loop.
    TerminationSignals::block();
    QCoreApplication app(argc, argv);

    ReportOptions options;
    QString error;
    if (!parseReportOptions(QCoreApplication::arguments().mid(1), options, error)) {
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
