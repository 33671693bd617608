#ifndef QUILLMARK_REPORT_REPORTSESSION_H
#define QUILLMARK_REPORT_REPORTSESSION_H

#include "catalog/CatalogEngine.h"
#include "report/ReportFormat.h"
#include "report/ReportOptions.h"
#include "report/TerminationSignals.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class TShellNotify;

/// One run of quillmark-report: reads the folder with the catalog engine, prints its rows when the queue has
/// checked them all and, with --watch, one line for each row checked again because its file changed or came,
/// and one for each row whose file went, until SIGINT or SIGTERM. UI thread only.
class ReportSession : public QObject
{
    Q_OBJECT

public:
    explicit ReportSession(const ReportOptions& options, QObject* parent = nullptr);
    ~ReportSession() override;

    /// Runs the event loop as long as needed and gives the exit status. A signal that arrives before the
    /// first pass has printed its rows ends the program by that signal, with the checks stopped.
    int run();

private:
    void armWatcher(const QString& folder);
    void firstPassFinished();
    void rowEvaluated(int index, bool recheck);
    void rowRemoved(const CatalogRow& row);
    /// Every row, which now says that the folder has gone.
    void folderLost();
    void writeWatchLine(const QByteArray& line);
    void terminationRequested(int signal);
    void showProgress(int index);
    void clearProgress();
    void write(const QByteArray& text);
    void fail(const QString& message);

    ReportOptions m_options;
    CatalogEngine m_engine;
    /// Declared after the engine, which its handler calls, so that it goes first.
    std::unique_ptr<TShellNotify> m_notify;
    TerminationSignals m_signals;
    /// The column widths of the first pass's table, which the lines of re-checks keep.
    std::optional<ReportTable> m_table;
    bool m_firstPassDone = false;
    int m_exitStatus = 0;
    int m_signal = 0;
    bool m_outputFailed = false;
    /// stderr is a terminal: show which file is being checked.
    bool m_progress = false;
    int m_progressLength = 0;
};

#endif // QUILLMARK_REPORT_REPORTSESSION_H
