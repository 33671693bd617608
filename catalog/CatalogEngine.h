#ifndef QUILLMARK_CATALOG_CATALOGENGINE_H
#define QUILLMARK_CATALOG_CATALOGENGINE_H

#include "catalog/CatalogModel.h"
#include "runner/CommandRunner.h"
#include "runner/Processors.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <limits>
#include <memory>
#include <vector>

/// Reads a folder into the catalog's rows and checks them with msgfmt, up to Jobs at once, then checks single
/// rows again when the watcher reports their files changed. Everything here belongs to the UI thread except
/// ListRunnerNewLine, which the reader threads call; the runners' end events hand their work to the UI thread.
///
/// Each check has a runner of its own (ListRunner is the first), and a runner runs one check at a time. The
/// queue starts its checks in row order and a row's result never depends on how many run at once. A changed
/// file reported while a queue runs, while its own row is being checked, or while every runner is busy is held
/// back and checked once that is over, unless the queue has still to reach its row. An entry that is not a
/// regular file is never given to msgfmt (a named pipe would block it for good), and a check that outlasts
/// CheckTimeLimit is stopped: both give an error row and the queue goes on.
class CatalogEngine : public QObject
{
    Q_OBJECT

public:
    /// The event type of the message that starts the next check.
    static constexpr int WM_CHECKNEXT = 1025;
    static constexpr int HistoryLimit = 10;
    /// Bytes of a check's output line beyond this many are dropped.
    static constexpr int MaxCheckLineLength = 65536;
    /// Values of FQueueIndex besides a row index.
    static constexpr int QueueIdle = -2;
    static constexpr int QueueRecheck = -1;

    explicit CatalogEngine(QObject* parent = nullptr);
    /// Stops the catalog runner.
    ~CatalogEngine() override;

    /// The shown folder, ending in "/"; set by each read of a folder that exists.
    QString FFolder;
    /// QueueIdle, QueueRecheck, or the index of the row whose queue check the queue started last.
    int FQueueIndex = 0;
    /// Check ends handled since the last read that found files.
    int FCheckedCount = 0;
    /// The remembered line of ListRunner's check: its last non-empty line, except that an error line is only
    /// replaced by another error line. Written by the reader thread while the check runs. The other runners'
    /// checks keep theirs alike.
    QByteArray FLastLine;
    /// The longest CheckTimeLimit the timer can hold: it counts milliseconds in an int. A longer one counts as
    /// this.
    static constexpr int MaxCheckTimeLimit = std::numeric_limits<int>::max() / 1000;
    /// Seconds a catalog check may run before its msgfmt is ended and its row says so; 0 or less: no limit.
    int CheckTimeLimit = 60;
    /// Checks that run at once; taken when a queue or a re-check starts on an idle engine. Less than 1 counts
    /// as 1, more than MaxJobs as MaxJobs, and more than the process's limits hold as many as they hold (see
    /// jobsLowered).
    int Jobs = 1;
    /// The yellow threshold that evaluations use.
    qint32 FYellowNum = 1;
    qint32 FYellowDen = 2;
    /// Reads list the PO files at any depth below the folder, each named by its path relative to it, and the
    /// watch follows the whole tree; see walkPoTree for what is not walked. Taken by each read.
    bool Recursive = false;
    /// The folder history, newest first, at most HistoryLimit texts exactly as they were read.
    QStringList History;

    TCommandRunner ListRunner;

    /// Re-points the folder watcher at the folder (ending in "/"). An exception ends the read there.
    std::function<void(const QString& folder)> OnRearmWatcher;
    /// Moves the folder tree, when there is one, to the folder read ("~/" made the home folder). An exception ends
    /// the read there.
    std::function<void(const QString& text)> OnFolderRead;

    CatalogModel& Rows() { return m_rows; }
    const CatalogModel& Rows() const { return m_rows; }

    /// Never true while the engine is idle (isBusy false), whatever the order of reads, ends and messages.
    bool ProgressVisible() const { return m_progressVisible; }
    /// 0 to 100.
    int ProgressPosition() const { return m_progressPosition; }
    /// A queue or a re-check runs, or one is about to start.
    bool isBusy() const;
    /// Checks running now.
    int RunningChecks() const;

    /// Reads the folder named by text: stops any check, rebuilds the rows and starts the queue at row 0.
    /// A folder that does not exist only empties the list. A text starting with "~/" names a folder below the
    /// home folder; the history keeps the text as typed.
    void ReadFolder(const QString& text);
    /// The last read found its folder: the rows are that folder's.
    bool FolderShown() const { return m_folderShown; }
    /// After a read without Recursive that found no PO file in the folder: how many there are below it, -1
    /// when that was not looked at. A large tree is looked at only so far: then *atLeast is set.
    int FilesBelow(bool* atLeast = nullptr) const;
    /// The watch need not look into the folder at path (absolute, cleaned): it lies inside the shown folder
    /// and is hidden or ignored by git, so that no row can come from it.
    bool SkipsFolder(const QString& Path) const;
    /// Starts the queue's checks of the next rows, one on each runner that is free.
    void CheckCurrentRow();
    /// Stops every running check, leaving the rows as they are; the engine is then idle.
    void StopChecks();
    /// The watcher's item-updated handler: checks the row of that file again.
    void NotifyItemUpdated(const QString& Path);
    /// The watcher's handlers for entries that come and go, files and folders alike, so that the rows mirror
    /// the folder: an entry named like a PO file that appears gets its row at its place and is checked; one
    /// that goes loses its row; a rename is both. The shown folder itself is followed by its path: when it
    /// goes, every row says "Folder not found"; when a folder is there again (or another folder than before),
    /// the rows become its files and each is checked again.
    void NotifyItemCreated(const QString& Path);
    void NotifyItemDeleted(const QString& Path);
    void NotifyItemRenamed(const QString& OldPath, const QString& NewPath);
    /// The watcher's handler for the shown folder's permissions: while the folder may not be read, every row
    /// says why ("Permission denied"), keeping its place; once it may, the rows become its files and each is
    /// checked again.
    void NotifyAttributesChanged(const QString& Path);

    /// The handlers of ListRunner and the other runners; Sender tells whose check it is.
    void ListRunnerNewLine(TCommandRunner* Sender, const QByteArray& NewLine, TOutputType OutputType);
    void ListRunnerTerminated(TCommandRunner* Sender);
    void ListRunnerStartError(TCommandRunner* Sender, const QString& Message);

    /// The handler of WM_CHECKNEXT, which starts checks on the runners that are free; a message of an earlier
    /// queue (another generation) is ignored.
    void CheckNext(quint64 generation);
    quint64 QueueGeneration() const { return m_generation; }

    /// The remembered line after a new line: empty lines never count, and an error line (msgfmt's own
    /// error count or give-up, see ParseStatsLine) is only replaced by another error line.
    static QByteArray rememberLine(const QByteArray& lastLine, const QByteArray& newLine);
    /// The names in folder (ending in "/") that end in ".po" in any letter case, hidden entries and
    /// folders included, in the order the listing gives them. Empty when it cannot be read.
    static QList<QByteArray> listPoFiles(const QString& folder);
    /// How many folders a look below a folder without PO files goes through at most.
    static constexpr int FilesBelowFolderLimit = 20000;

signals:
    void progressVisibleChanged(bool visible);
    void progressPositionChanged(int position);
    void historyChanged();
    /// A check of the row at index starts; its rowEvaluated comes when it ends, at once for an entry that msgfmt
    /// is not given.
    void checkStarted(int index);
    /// A check's end has been applied to the row at index. recheck: it was a single re-check.
    void rowEvaluated(int index, bool recheck);
    /// The queue of a read has checked its last row, or the read found nothing to check.
    void queueFinished();
    /// The row of a file that left the folder has been removed.
    void rowRemoved(const CatalogRow& row);
    /// The shown folder has gone, or may no longer be read: every row now says so.
    void folderLost();
    /// Raised once, the first time the checks at once are fewer than Jobs asks for: the process's limit (limit,
    /// worded as jobsWithinLimits words it) holds no more than allowed. A check that cannot start all the same
    /// gives an error row that says why.
    void jobsLowered(int asked, int allowed, const QString& limit);

protected:
    bool event(QEvent* event) override;

private:
    /// One runner and the check it runs.
    struct CheckSlot
    {
        TCommandRunner* Runner = nullptr;
        /// ListRunner's slot keeps its line in FLastLine, the others in OwnLine.
        QByteArray* LastLine = nullptr;
        QByteArray OwnLine;
        /// Ends a check that runs longer than CheckTimeLimit.
        QTimer* Timer = nullptr;
        /// A check has been started and its end not yet handled.
        bool Running = false;
        /// The running check was stopped by its time limit.
        bool TimedOut = false;
        /// The number of its latest check, given at its start: an end tells its check by it.
        quint64 Run = 0;
        std::unique_ptr<TCommandRunner> OwnRunner;
    };

    /// Makes the runners Jobs in number; only while no check runs.
    void ensureSlots();
    CheckSlot& addSlot(TCommandRunner* runner, QByteArray* lastLine);
    CheckSlot* slotOf(const TCommandRunner* runner) const;
    CheckSlot* freeSlot() const;
    /// A check of the row at index runs now.
    bool rowRunning(int index) const;
    void finishCheck(CheckSlot& slot, const std::function<void(CatalogRow&)>& evaluate);
    void startRecheck(CheckSlot& slot, int row);
    /// Checks the row by itself now, or once the running checks allow; nothing when the queue will reach it.
    void recheckRow(int row);
    /// Starts held re-checks on the free runners, each once its row's running check is over.
    void startHeldRechecks();
    /// The queue still has to start the check of the row at index.
    bool queueWillReach(int index) const;
    void setQueueNext(int next);
    void finishQueue();
    /// The queue has started every row and none of its checks runs any more.
    void finishQueueWhenDone();
    /// The shown folder is at its path (the watcher's form of it: absolute, cleaned).
    bool isShownFolder(const QString& Path) const;
    /// Every row says what keeps the shown folder from being read; the checks stop.
    void markFolderLost(const QString& status);
    /// Reads the shown folder again, now at its path: the rows become its files, or say why it cannot be read.
    void rereadFolder();
    /// Makes the rows those of the folder's listing and starts the queue at row 0.
    void startQueueOver(const QList<QByteArray>& names);
    /// The rows' names of the shown folder's listing, at any depth when Recursive; keeps what else the walk
    /// found. ignored: what git ignores, when already asked.
    QList<QByteArray> listFolder(const QSet<QByteArray>* ignored = nullptr);
    /// The watcher's path as the name of a row: relative to the shown folder, in bytes; empty when the path
    /// is not below it.
    QByteArray relativeName(const QString& Path) const;
    /// Adds rows for the PO files below the folder (relative, ending in "/") that have none, and checks them.
    void addRowsBelow(const QByteArray& folder);
    /// Removes the row at index, keeping the queue and the running checks on their rows.
    void removeRowAt(int row);
    /// The runner's command line for the row's file.
    QString commandLineOf(int row) const;
    /// Starts msgfmt on the row's file, or ends the check at once with an error row when the entry is not
    /// a regular file that exists or no thread can be made for the check.
    void startCheck(CheckSlot& slot, int row);
    void checkTimedOut(CheckSlot& slot);
    /// Applies the end of check run, handed over by its reader, if that check still runs.
    void finishEndedCheck(quint64 run);
    void postCheckNext();
    void setProgressVisible(bool visible);
    /// The panel shows only while a check runs or is about to: an idle engine never has it shown.
    void hideProgressWhenIdle();
    void setProgressPosition(int position);

    CatalogModel m_rows;
    bool m_progressVisible = false;
    int m_progressPosition = 0;
    /// Counts reads; a WM_CHECKNEXT carries the count of its read.
    quint64 m_generation = 0;
    /// The runners, ListRunner's first. Changed only while no check runs, so the reader threads may look
    /// their runner up in it.
    std::vector<std::unique_ptr<CheckSlot>> m_slots;
    /// The queue of the last read has rows left to check.
    bool m_queueRunning = false;
    /// The index of the row the queue starts next.
    int m_queueNext = 0;
    bool m_checkNextPosted = false;
    /// The rows are those of FFolder: the last read found its folder and got past the watcher and the tree.
    bool m_folderShown = false;
    /// FFolder as the watcher names it, to tell the folder's own comings and goings from its entries'.
    QString m_folderPath;
    /// Names of rows whose files changed while they could not be checked, in the order they were reported.
    QList<QByteArray> m_heldRechecks;
    /// The rows of folders that could not be listed, by name (ending in "/"), with the reason.
    QHash<QByteArray, QString> m_folderErrors;
    /// What git ignores in the shown folder, as walkPoTree found it.
    QSet<QByteArray> m_ignored;
    int m_filesBelow = -1;
    bool m_filesBelowAtLeast = false;
    /// The last number given to a check.
    quint64 m_runCount = 0;
    bool m_jobsLoweredTold = false;
};

#endif // QUILLMARK_CATALOG_CATALOGENGINE_H
