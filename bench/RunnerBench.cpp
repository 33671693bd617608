// Checks every PO file named on the command line with msgfmt, one after another through a command runner,
// the way the catalog does: each next run starts on the UI thread after the end event of the one before,
// and the end handler hands its row update to the UI thread. Prints the milliseconds the whole pass took.

#include "catalog/MsgfmtCommand.h"

#include "runner/CommandRunner.h"
#include "runner/UiHandover.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList files = QCoreApplication::arguments().mid(1);
    if (files.isEmpty()) {
        std::fprintf(stderr, "usage: runner_bench FILE.po...\n");
        return 2;
    }

    TCommandRunner runner;
    runner.Environment = msgfmtCatalogEnvironment();
    qsizetype next = 0;
    int rowsFilled = 0;
    QByteArray lastLine;

    auto checkNext = [&] {
        runner.Stop();
        if (next == files.size()) {
            QCoreApplication::quit();
            return;
        }
        runner.Tag = static_cast<int>(next);
        runner.CommandLine = msgfmtCommandLine(files[next++]);
        runner.Execute();
    };
    runner.OnNewLine = [&](TCommandRunner*, const QByteArray& line, TOutputType type) {
        if (type == otEntireLine && !line.isEmpty())
            lastLine = line;
    };
    runner.OnTerminated = [&](TCommandRunner*) {
        UiHandover::instance().call([&] { ++rowsFilled; });
        QMetaObject::invokeMethod(&app, checkNext, Qt::QueuedConnection);
    };
    runner.OnStartError = [&](TCommandRunner*, const QString& message) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        QMetaObject::invokeMethod(&app, checkNext, Qt::QueuedConnection);
    };

    QElapsedTimer clock;
    clock.start();
    QMetaObject::invokeMethod(&app, checkNext, Qt::QueuedConnection);
    QCoreApplication::exec();
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (rowsFilled != files.size()) {
        std::fprintf(stderr, "only %d of %lld runs ended\n", rowsFilled, static_cast<long long>(files.size()));
        return 1;
    }
    std::printf("%.1f\n", ms);
    std::fprintf(stderr, "last line: %s\n", lastLine.constData());
    return 0;
}
