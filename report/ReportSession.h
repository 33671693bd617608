#ifndef QUILLMARK_REPORT_REPORTSESSION_H
#define QUILLMARK_REPORT_REPORTSESSION_H

#include "catalog/CatalogEngine.h"
#include "report/ReportFormat.h"
#include "report/ReportOptions.h"
#include "runner/TerminationSignals.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
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
    /// first pass has printed its rows stops the checks and prints the rows checked so far, a failure.
    int run();

private:
    void armWatcher(const QString& folder);
    void firstPassFinished();
    /// After a signal ended the first pass: the rows checked so far, and a failure.
    void printInterruptedPass();
    /// The rows in the chosen format, then on standard error the details of those whose status is short for one.
    void printRows(const QList<CatalogRow>& rows);
    void checkStarted(int index);
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
    /// A report stuck writing into a pipe that nobody reads still ends within a second of a signal.
    TerminationSignals m_signals{std::chrono::milliseconds(900)};
    /// The first pass's start, length and check times, for JUnit.
    JUnitPass m_pass;
    QElapsedTimer m_passClock;
    /// When each row's check in the first pass started on m_passClock, by the row's Name.
    QHash<QByteArray, qint64> m_checkStarts;
    /// The column widths of the first pass's table, which the lines of re-checks keep.
    std::optional<ReportTable> m_table;
    bool m_firstPassDone = false;
    int m_exitStatus = 0;
    int m_signal = 0;
    bool m_outputFailed = false;
    bool m_watchLimitTold = false;
    /// stderr is a terminal: show which file is being checked.
    bool m_progress = false;
    int m_progressLength = 0;
};

#endif // QUILLMARK_REPORT_REPORTSESSION_H
