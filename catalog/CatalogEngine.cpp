#include "catalog/CatalogEngine.h"

#include "catalog/CheckOutcome.h"
#include "catalog/MsgfmtCommand.h"
#include "catalog/MsgfmtStats.h"
#include "runner/LocalPath.h"
#include "runner/UiHandover.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QSet>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <utility>

namespace {

class CheckNextEvent : public QEvent
{
public:
    explicit CheckNextEvent(quint64 generation)
        : QEvent(static_cast<QEvent::Type>(CatalogEngine::WM_CHECKNEXT))
        , m_generation(generation)
    { }
    quint64 generation() const { return m_generation; }

private:
    quint64 m_generation;
};

bool isFolder(const QString& path)
{
    struct stat info
    {
    };
    // A NUL would end the path early for stat, which would then test another folder.
    return !path.isEmpty() && !path.contains(QChar(0)) && ::stat(encodeLocalPath(path).constData(), &info) == 0
        && S_ISDIR(info.st_mode);
}

bool hasPoSuffix(const char* name)
{
    const std::size_t length = std::char_traits<char>::length(name);
    return length >= 3 && name[length - 3] == '.' && (name[length - 2] | 0x20) == 'p'
        && (name[length - 1] | 0x20) == 'o';
}

} // namespace

CatalogEngine::CatalogEngine(QObject* parent)
    : QObject(parent)
{
    // The end handlers hand their work to this thread.
    UiHandover::instance();
    ListRunner.Environment = msgfmtCatalogEnvironment();
    // Only the remembered line is read: keep no more than the last line, and no line beyond any that msgfmt
    // writes for a summary or an error (its longest holds a path).
    ListRunner.KeptLines = 1;
    ListRunner.MaxLineLength = MaxCheckLineLength;
    ListRunner.OnNewLine = [this](TCommandRunner* sender, const QByteArray& line, TOutputType type) {
        ListRunnerNewLine(sender, line, type);
    };
    ListRunner.OnTerminated = [this](TCommandRunner* sender) { ListRunnerTerminated(sender); };
    ListRunner.OnStartError
        = [this](TCommandRunner* sender, const QString& message) { ListRunnerStartError(sender, message); };
    m_checkTimer = new QTimer(this);
    m_checkTimer->setSingleShot(true);
    connect(m_checkTimer, &QTimer::timeout, this, &CatalogEngine::checkTimedOut);
}

CatalogEngine::~CatalogEngine()
{
    StopChecks();
}

bool CatalogEngine::isBusy() const
{
    return m_checkRunning || m_queueRunning || m_checkNextPosted;
}

void CatalogEngine::ReadFolder(const QString& text)
{
    StopChecks();
    m_rows.clear();
    m_folderShown = false;

    // The shell's shorthand for the home folder, which a user types by habit.
    const QString path = text.startsWith(QLatin1String("~/")) ? QDir::homePath() + text.mid(1) : text;
    if (!isFolder(path))
        return;

    if (!History.contains(text)) {
        // A full history gives up its oldest entry.
        while (History.size() >= HistoryLimit)
            History.removeLast();
        History.prepend(text);
        emit historyChanged();
    }
    FFolder = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    if (OnRearmWatcher)
        OnRearmWatcher(FFolder);
    if (OnFolderRead)
        OnFolderRead(path);
    m_folderShown = true;

    m_folderPath = QDir::cleanPath(QFileInfo(FFolder).absoluteFilePath());
    startQueueOver(listPoFiles(FFolder));
}

void CatalogEngine::startQueueOver(const QList<QByteArray>& names)
{
    const QSet<QByteArray> listed
        = m_rows.count() > 0 ? QSet<QByteArray>(names.cbegin(), names.cend()) : QSet<QByteArray>();
    for (int row = m_rows.count() - 1; row >= 0; --row) {
        if (!listed.contains(m_rows.row(row).Name)) {
            const CatalogRow removed = m_rows.row(row);
            m_rows.removeRow(row);
            emit rowRemoved(removed);
        }
    }
    QList<QByteArray> added;
    for (const QByteArray& name : names)
        if (m_rows.findName(name) < 0)
            added.append(name);
    m_rows.addRows(added);
    if (m_rows.count() == 0) {
        emit queueFinished();
        return;
    }
    FQueueIndex = 0;
    FCheckedCount = 0;
    m_queueRunning = true;
    CheckCurrentRow();
}

void CatalogEngine::CheckCurrentRow()
{
    setProgressVisible(true);
    startCheck(FQueueIndex);
}

void CatalogEngine::startCheck(int row)
{
    FLastLine.clear();
    m_timedOut = false;
    ListRunner.Tag = row;
    m_checkRunning = true;
    const QString reason = UncheckableReason(encodeLocalPath(FFolder) + m_rows.row(row).Name);
    if (!reason.isEmpty()) {
        finishCheck([&](CatalogRow& r) { SetErrorRow(r, reason); });
        return;
    }
    ListRunner.CommandLine = commandLineOf(row);
    ListRunner.Execute();
    if (CheckTimeLimit > 0)
        m_checkTimer->start(std::chrono::seconds(CheckTimeLimit));
}

void CatalogEngine::checkTimedOut()
{
    if (!m_checkRunning)
        return;
    m_timedOut = true;
    // The end event of the stopped check runs inside the stop and finds the mark.
    ListRunner.Stop();
}

void CatalogEngine::StopChecks()
{
    FQueueIndex = QueueIdle;
    // A message or a held re-check of the earlier queue must not touch a later one.
    ++m_generation;
    m_checkNextPosted = false;
    m_queueRunning = false;
    m_queueRowRemoved = false;
    m_heldRechecks.clear();
    // The end event of a check stopped here runs inside the stop and, seeing the idle sentinel, only hides
    // the progress panel.
    ListRunner.Stop();
    m_checkRunning = false;
    m_checkTimer->stop();
    // A check that had ended with its next one still to start left the panel up, and no end comes now.
    hideProgressWhenIdle();
}

void CatalogEngine::hideProgressWhenIdle()
{
    if (!isBusy())
        setProgressVisible(false);
}

QString CatalogEngine::commandLineOf(int row) const
{
    return msgfmtCommandLine(FFolder + decodeLocalPath(m_rows.row(row).Name));
}

void CatalogEngine::NotifyItemUpdated(const QString& Path)
{
    const QByteArray name = encodeLocalPath(Path.mid(Path.lastIndexOf(QLatin1Char('/')) + 1));
    const int row = m_rows.findName(name);
    if (row < 0) {
        // The file came between the watcher's listing and ours, and went and came back before we heard of it.
        NotifyItemCreated(Path);
        return;
    }
    recheckRow(row);
}

void CatalogEngine::NotifyItemCreated(const QString& Path)
{
    if (m_folderShown && isShownFolder(Path)) {
        StopChecks();
        startQueueOver(listPoFiles(FFolder));
        return;
    }
    const QByteArray name = encodeLocalPath(Path.mid(Path.lastIndexOf(QLatin1Char('/')) + 1));
    if (!m_folderShown || !hasPoSuffix(name.constData()))
        return;
    if (const int row = m_rows.findName(name); row >= 0) {
        recheckRow(row);
        return;
    }
    struct stat info
    {
    };
    // Gone again already: its deletion is on its way, or it never was more than a name.
    if (::lstat(encodeLocalPath(FFolder + decodeLocalPath(name)).constData(), &info) != 0)
        return;

    const int row = m_rows.insertRow(name);
    // The queue's own rows keep their places; one that the queue has passed is checked by itself.
    const bool behindQueue = m_queueRunning && !queueWillReach(row);
    if (m_queueRunning && (queueRowRunning() ? row <= FQueueIndex : row < FQueueIndex))
        ++FQueueIndex;
    if (m_checkRunning && ListRunner.Tag >= row)
        ++ListRunner.Tag;
    if (m_queueRunning && !behindQueue)
        return;
    recheckRow(row);
}

void CatalogEngine::NotifyItemDeleted(const QString& Path)
{
    if (m_folderShown && isShownFolder(Path)) {
        folderGone();
        return;
    }
    const QByteArray name = encodeLocalPath(Path.mid(Path.lastIndexOf(QLatin1Char('/')) + 1));
    const int row = m_rows.findName(name);
    if (row < 0)
        return;
    if (m_queueRunning) {
        if (row < FQueueIndex)
            --FQueueIndex;
        else if (row == FQueueIndex && queueRowRunning())
            m_queueRowRemoved = true;
    }
    if (m_checkRunning) {
        // The running check's end then belongs to no row.
        if (ListRunner.Tag == row)
            ListRunner.Tag = -1;
        else if (ListRunner.Tag > row)
            --ListRunner.Tag;
    }
    const CatalogRow removed = m_rows.row(row);
    m_rows.removeRow(row);
    emit rowRemoved(removed);
    // The queue was about to start the row that went, and it was the last one.
    if (m_queueRunning && !m_checkRunning && FQueueIndex >= m_rows.count()) {
        m_checkNextPosted = false;
        finishQueue();
    }
    hideProgressWhenIdle();
}

void CatalogEngine::NotifyItemRenamed(const QString& OldPath, const QString& NewPath)
{
    NotifyItemDeleted(OldPath);
    NotifyItemCreated(NewPath);
}

bool CatalogEngine::isShownFolder(const QString& Path) const
{
    return Path == m_folderPath;
}

void CatalogEngine::folderGone()
{
    const bool queueWasRunning = m_queueRunning;
    StopChecks();
    setProgressPosition(0);
    setProgressVisible(false);
    for (int index = 0; index < m_rows.count(); ++index) {
        CatalogRow row = m_rows.row(index);
        SetErrorRow(row, QStringLiteral("Folder not found"));
        m_rows.setRow(index, row);
    }
    emit folderLost();
    if (queueWasRunning)
        emit queueFinished();
}

void CatalogEngine::recheckRow(int row)
{
    if (queueWillReach(row))
        return;
    if (isBusy()) {
        const QByteArray& name = m_rows.row(row).Name;
        if (!m_heldRechecks.contains(name))
            m_heldRechecks.append(name);
        return;
    }
    startRecheck(row);
}

bool CatalogEngine::queueRowRunning() const
{
    return m_queueRunning && m_checkRunning && FQueueIndex >= 0 && !m_queueRowRemoved;
}

bool CatalogEngine::queueWillReach(int index) const
{
    return m_queueRunning && index >= (queueRowRunning() ? FQueueIndex + 1 : FQueueIndex);
}

void CatalogEngine::startRecheck(int row)
{
    FQueueIndex = QueueRecheck;
    startCheck(row);
}

void CatalogEngine::ListRunnerNewLine(TCommandRunner*, const QByteArray& NewLine, TOutputType OutputType)
{
    // A beginning is followed by its whole line.
    if (OutputType == otEntireLine)
        FLastLine = rememberLine(FLastLine, NewLine);
}

void CatalogEngine::ListRunnerTerminated(TCommandRunner*)
{
    // The decision runs on the UI thread, so it can never overlap a read's switch to the idle sentinel.
    UiHandover::instance().call([this] {
        const TChildExit exit = ListRunner.ExitStatus();
        if (m_timedOut) {
            const QString detail
                = QStringLiteral("msgfmt was stopped: it had not finished after %1 s").arg(CheckTimeLimit);
            finishCheck([&](CatalogRow& row) {
                SetErrorRow(row, QStringLiteral("Timed out after %1 s").arg(CheckTimeLimit), detail);
            });
            return;
        }
        finishCheck([&](CatalogRow& row) { EvaluateCheckEnd(row, FLastLine, exit, FYellowNum, FYellowDen); });
    });
}

void CatalogEngine::ListRunnerStartError(TCommandRunner*, const QString& Message)
{
    UiHandover::instance().call([this, &Message] {
        const int errorNumber = ListRunner.Thread() ? ListRunner.Thread()->StartErrorNumber() : 0;
        const QString detail = msgfmtStartErrorDetail(ListRunner.CommandLine, errorNumber, Message);
        finishCheck([&](CatalogRow& row) { SetErrorRow(row, msgfmtStartErrorStatus(), detail); });
    });
}

void CatalogEngine::finishCheck(const std::function<void(CatalogRow&)>& evaluate)
{
    m_checkRunning = false;
    m_checkTimer->stop();
    if (FQueueIndex == QueueIdle) {
        setProgressVisible(false);
        return;
    }
    ++FCheckedCount;
    const int index = ListRunner.Tag;
    if (index >= 0 && index < m_rows.count()) {
        CatalogRow row = m_rows.row(index);
        evaluate(row);
        m_rows.setRow(index, row);
        emit rowEvaluated(index, FQueueIndex == QueueRecheck);
    }
    if (FQueueIndex == QueueRecheck) {
        setProgressVisible(false);
        if (!m_heldRechecks.isEmpty())
            postCheckNext();
        return;
    }
    // When the row that was checked has left the list, FQueueIndex already names the next one.
    const int next = std::exchange(m_queueRowRemoved, false) ? FQueueIndex : FQueueIndex + 1;
    if (next < m_rows.count()) {
        FQueueIndex = next;
        setProgressPosition(static_cast<int>(std::min<qint64>(100, qint64{FCheckedCount} * 100 / m_rows.count())));
        postCheckNext();
        return;
    }
    finishQueue();
}

void CatalogEngine::finishQueue()
{
    setProgressPosition(0);
    setProgressVisible(false);
    m_queueRunning = false;
    emit queueFinished();
    if (!m_heldRechecks.isEmpty())
        postCheckNext();
}

void CatalogEngine::postCheckNext()
{
    m_checkNextPosted = true;
    QCoreApplication::postEvent(this, new CheckNextEvent(m_generation));
}

void CatalogEngine::CheckNext(quint64 generation)
{
    if (generation != m_generation || !m_checkNextPosted)
        return;
    m_checkNextPosted = false;
    // The reader whose check has just ended.
    if (ListRunner.Thread())
        ListRunner.Stop();
    if (m_queueRunning) {
        CheckCurrentRow();
        return;
    }
    while (!m_heldRechecks.isEmpty()) {
        const int row = m_rows.findName(m_heldRechecks.takeFirst());
        if (row >= 0) {
            startRecheck(row);
            return;
        }
    }
    hideProgressWhenIdle();
}

bool CatalogEngine::event(QEvent* event)
{
    if (event->type() == static_cast<QEvent::Type>(WM_CHECKNEXT)) {
        CheckNext(static_cast<CheckNextEvent*>(event)->generation());
        return true;
    }
    return QObject::event(event);
}

void CatalogEngine::setProgressVisible(bool visible)
{
    if (m_progressVisible == visible)
        return;
    m_progressVisible = visible;
    emit progressVisibleChanged(visible);
}

void CatalogEngine::setProgressPosition(int position)
{
    if (m_progressPosition == position)
        return;
    m_progressPosition = position;
    emit progressPositionChanged(position);
}

QByteArray CatalogEngine::rememberLine(const QByteArray& lastLine, const QByteArray& newLine)
{
    if (newLine.isEmpty())
        return lastLine;
    if (IsErrorSummaryLine(lastLine) && !IsErrorSummaryLine(newLine))
        return lastLine;
    return newLine;
}

QList<QByteArray> CatalogEngine::listPoFiles(const QString& folder)
{
    QList<QByteArray> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(encodeLocalPath(folder).constData()), ::closedir);
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (hasPoSuffix(entry->d_name))
            names.append(QByteArray(entry->d_name));
    }
    return names;
}
