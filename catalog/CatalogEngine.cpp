#include "catalog/CatalogEngine.h"

#include "catalog/CheckOutcome.h"
#include "catalog/MsgfmtCommand.h"
#include "catalog/MsgfmtStats.h"
#include "runner/JobLimits.h"
#include "catalog/PoTree.h"
#include "runner/LocalPath.h"
#include "runner/UiHandover.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
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

/// What keeps the shown folder's files from being listed and opened; empty when nothing does.
QString folderProblem(const QString& folder)
{
    const QByteArray path = encodeLocalPath(folder);
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? QStringLiteral("Folder not found")
                                                   : QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("Folder not found");
    // Its files are listed, and opened by their names in it.
    if (::access(path.constData(), R_OK | X_OK) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return {};
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
    addSlot(&ListRunner, &FLastLine);
}

CatalogEngine::~CatalogEngine()
{
    StopChecks();
    UiHandover::instance().cancelPosted(this);
}

CatalogEngine::CheckSlot& CatalogEngine::addSlot(TCommandRunner* runner, QByteArray* lastLine)
{
    auto slot = std::make_unique<CheckSlot>();
    if (!runner) {
        slot->OwnRunner = std::make_unique<TCommandRunner>();
        runner = slot->OwnRunner.get();
        // The same command in the same environment as ListRunner's, whichever runner a row gets.
        runner->Environment = ListRunner.Environment;
        runner->KeptLines = ListRunner.KeptLines;
        runner->MaxLineLength = ListRunner.MaxLineLength;
        lastLine = &slot->OwnLine;
    }
    slot->Runner = runner;
    slot->LastLine = lastLine;
    runner->OnNewLine = [this](TCommandRunner* sender, const QByteArray& line, TOutputType type) {
        ListRunnerNewLine(sender, line, type);
    };
    runner->OnTerminated = [this](TCommandRunner* sender) { ListRunnerTerminated(sender); };
    runner->OnStartError
        = [this](TCommandRunner* sender, const QString& message) { ListRunnerStartError(sender, message); };
    slot->Timer = new QTimer(this);
    slot->Timer->setSingleShot(true);
    CheckSlot* raw = slot.get();
    connect(slot->Timer, &QTimer::timeout, this, [this, raw] { checkTimedOut(*raw); });
    m_slots.push_back(std::move(slot));
    return *raw;
}

void CatalogEngine::ensureSlots()
{
    if (RunningChecks() > 0)
        return;
    const int asked = std::clamp(Jobs, 1, MaxJobs);
    const JobsAllowed allowed = jobsWithinLimits(asked);
    if (allowed.Jobs < asked && !m_jobsLoweredTold) {
        m_jobsLoweredTold = true;
        emit jobsLowered(asked, allowed.Jobs, allowed.Limit);
    }
    const std::size_t wanted = static_cast<std::size_t>(allowed.Jobs);
    while (m_slots.size() > wanted) {
        // Its reader has finished: the runner's end waits for nothing.
        delete m_slots.back()->Timer;
        m_slots.pop_back();
    }
    while (m_slots.size() < wanted)
        addSlot(nullptr, nullptr);
}

CatalogEngine::CheckSlot* CatalogEngine::slotOf(const TCommandRunner* runner) const
{
    for (const auto& slot : m_slots)
        if (slot->Runner == runner)
            return slot.get();
    return nullptr;
}

CatalogEngine::CheckSlot* CatalogEngine::freeSlot() const
{
    for (const auto& slot : m_slots)
        if (!slot->Running)
            return slot.get();
    return nullptr;
}

int CatalogEngine::RunningChecks() const
{
    return static_cast<int>(
        std::count_if(m_slots.cbegin(), m_slots.cend(), [](const auto& slot) { return slot->Running; }));
}

bool CatalogEngine::rowRunning(int index) const
{
    return std::any_of(m_slots.cbegin(), m_slots.cend(),
                       [index](const auto& slot) { return slot->Running && slot->Runner->Tag == index; });
}

bool CatalogEngine::isBusy() const
{
    return m_queueRunning || m_checkNextPosted || RunningChecks() > 0;
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
    // The watch asks which folders it may leave out (SkipsFolder) while it is armed.
    m_folderPath = QDir::cleanPath(QFileInfo(FFolder).absoluteFilePath());
    m_folderErrors.clear();
    m_ignored = Recursive ? gitIgnoredBelow(FFolder) : QSet<QByteArray>();
    if (OnRearmWatcher)
        OnRearmWatcher(FFolder);
    if (OnFolderRead)
        OnFolderRead(path);
    m_folderShown = true;

    const QList<QByteArray> names = listFolder(&m_ignored);
    m_filesBelow = -1;
    if (names.isEmpty() && !Recursive) {
        // An empty list says where the files are when they are below: a project keeps them in subfolders.
        bool truncated = false;
        const PoTree below = walkPoTree(FFolder, FilesBelowFolderLimit, &truncated);
        m_filesBelow = static_cast<int>(below.Names.size());
        m_filesBelowAtLeast = truncated;
    }
    startQueueOver(names);
}

int CatalogEngine::FilesBelow(bool* atLeast) const
{
    if (atLeast)
        *atLeast = m_filesBelowAtLeast;
    return m_filesBelow;
}

QList<QByteArray> CatalogEngine::listFolder(const QSet<QByteArray>* ignored)
{
    m_folderErrors.clear();
    if (!Recursive) {
        m_ignored.clear();
        return listPoFiles(FFolder);
    }
    PoTree tree = walkPoTree(FFolder, 0, nullptr, ignored);
    m_ignored = std::move(tree.Ignored);
    m_folderErrors = std::move(tree.Unreadable);
    QList<QByteArray> names = std::move(tree.Names);
    for (auto it = m_folderErrors.cbegin(); it != m_folderErrors.cend(); ++it)
        names.append(it.key());
    return names;
}

bool CatalogEngine::SkipsFolder(const QString& Path) const
{
    const QByteArray relative = relativeName(Path);
    return !relative.isEmpty() && isSkippedPath(relative + '/', m_ignored);
}

QByteArray CatalogEngine::relativeName(const QString& Path) const
{
    if (Path.size() <= m_folderPath.size() || !Path.startsWith(m_folderPath))
        return {};
    // The root folder "/" is the one path that ends in a slash.
    if (m_folderPath.endsWith(QLatin1Char('/')))
        return encodeLocalPath(Path.mid(m_folderPath.size()));
    if (Path.at(m_folderPath.size()) != QLatin1Char('/'))
        return {};
    return encodeLocalPath(Path.mid(m_folderPath.size() + 1));
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
    ensureSlots();
    setQueueNext(0);
    FCheckedCount = 0;
    m_queueRunning = true;
    CheckCurrentRow();
}

void CatalogEngine::setQueueNext(int next)
{
    m_queueNext = next;
    FQueueIndex = std::max(0, next - 1);
}

void CatalogEngine::CheckCurrentRow()
{
    setProgressVisible(true);
    const quint64 generation = m_generation;
    // A check that ends at once (an entry msgfmt is not given) posts the message that goes on, so that a
    // folder of such entries never keeps the event loop waiting; it may also end the queue.
    while (m_queueRunning && m_generation == generation && !m_checkNextPosted && m_queueNext < m_rows.count()) {
        CheckSlot* slot = freeSlot();
        if (!slot)
            break;
        const int row = m_queueNext;
        setQueueNext(row + 1);
        startCheck(*slot, row);
    }
}

void CatalogEngine::startCheck(CheckSlot& slot, int row)
{
    // Another run on a busy runner would stop the check it runs and hand its end to the wrong row.
    if (slot.Running)
        qFatal("CatalogEngine: a check was started on a runner whose check runs");
    slot.LastLine->clear();
    slot.TimedOut = false;
    slot.Runner->Tag = row;
    slot.Running = true;
    slot.Run = ++m_runCount;
    emit checkStarted(row);
    if (const auto folderError = m_folderErrors.constFind(m_rows.row(row).Name); folderError != m_folderErrors.cend()) {
        const QString status = *folderError;
        finishCheck(slot, [&](CatalogRow& r) { SetErrorRow(r, status); });
        return;
    }
    const QString reason = UncheckableReason(encodeLocalPath(FFolder) + m_rows.row(row).Name);
    if (!reason.isEmpty()) {
        finishCheck(slot, [&](CatalogRow& r) { SetErrorRow(r, reason); });
        return;
    }
    slot.Runner->CommandLine = commandLineOf(row);
    try {
        slot.Runner->Execute();
    } catch (const TThreadCreationError& error) {
        const QString detail
            = msgfmtStartErrorDetail(slot.Runner->CommandLine, error.ErrorNumber(), QString::fromUtf8(error.what()));
        finishCheck(slot, [&](CatalogRow& r) { SetErrorRow(r, msgfmtStartErrorStatus(error.ErrorNumber()), detail); });
        return;
    }
    if (CheckTimeLimit > 0)
        slot.Timer->start(std::chrono::seconds(std::min(CheckTimeLimit, MaxCheckTimeLimit)));
}

void CatalogEngine::checkTimedOut(CheckSlot& slot)
{
    if (!slot.Running)
        return;
    slot.TimedOut = true;
    // The stopped check's reader has handed its end over by the time the stop returns.
    slot.Runner->Stop();
    UiHandover::instance().runPending();
}

void CatalogEngine::StopChecks()
{
    FQueueIndex = QueueIdle;
    // A message or a held re-check of the earlier queue must not touch a later one.
    ++m_generation;
    m_checkNextPosted = false;
    m_queueRunning = false;
    m_heldRechecks.clear();
    // Every child is told to end before the first is waited for, so that the waits overlap.
    for (const auto& slot : m_slots)
        if (TRunnerThread* thread = slot->Runner->Thread())
            thread->Terminate();
    // The end a check stopped here hands over runs inside the stop and, seeing the idle sentinel, only hides
    // the progress panel; or it comes later and finds its check no longer running.
    for (const auto& slot : m_slots) {
        slot->Runner->Stop();
        slot->Running = false;
        slot->Timer->stop();
    }
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
    const QByteArray name = relativeName(Path);
    if (name.isEmpty())
        return;
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
        rereadFolder();
        return;
    }
    const QByteArray name = relativeName(Path);
    if (!m_folderShown || name.isEmpty() || !hasPoSuffix(name) || isSkippedPath(name, m_ignored))
        return;
    if (const int row = m_rows.findName(name); row >= 0) {
        recheckRow(row);
        return;
    }
    struct stat info
    {
    };
    // Gone again already: its deletion is on its way, or it never was more than a name.
    if (::lstat((encodeLocalPath(FFolder) + name).constData(), &info) != 0)
        return;

    const int row = m_rows.insertRow(name);
    // The queue's own rows keep their places; one that the queue has passed is checked by itself.
    const bool behindQueue = m_queueRunning && !queueWillReach(row);
    if (behindQueue)
        setQueueNext(m_queueNext + 1);
    for (const auto& slot : m_slots)
        if (slot->Running && slot->Runner->Tag >= row)
            ++slot->Runner->Tag;
    if (m_queueRunning && !behindQueue) {
        // The queue had started its last row, and a runner is free for this one.
        if (!m_checkNextPosted && freeSlot())
            postCheckNext();
        return;
    }
    recheckRow(row);
}

void CatalogEngine::NotifyItemDeleted(const QString& Path)
{
    if (m_folderShown && isShownFolder(Path)) {
        markFolderLost(QStringLiteral("Folder not found"));
        return;
    }
    const QByteArray name = relativeName(Path);
    if (name.isEmpty())
        return;
    // A folder that went takes the rows of everything below it along.
    const QByteArray below = name + '/';
    for (int row = m_rows.count() - 1; row >= 0; --row) {
        const QByteArray& rowName = m_rows.row(row).Name;
        if (rowName == name || (Recursive && rowName.startsWith(below))) {
            m_folderErrors.remove(rowName);
            removeRowAt(row);
        }
    }
}

void CatalogEngine::removeRowAt(int row)
{
    if (m_queueRunning && row < m_queueNext)
        setQueueNext(m_queueNext - 1);
    for (const auto& slot : m_slots) {
        if (!slot->Running)
            continue;
        // A check of the row that went then belongs to no row.
        if (slot->Runner->Tag == row)
            slot->Runner->Tag = -1;
        else if (slot->Runner->Tag > row)
            --slot->Runner->Tag;
    }
    const CatalogRow removed = m_rows.row(row);
    m_rows.removeRow(row);
    emit rowRemoved(removed);
    // The queue was about to start the row that went, and it was the last one.
    if (m_queueRunning && m_queueNext >= m_rows.count() && RunningChecks() == 0) {
        m_checkNextPosted = false;
        finishQueue();
    }
    hideProgressWhenIdle();
}

void CatalogEngine::NotifyItemRenamed(const QString& OldPath, const QString& NewPath)
{
    NotifyItemDeleted(OldPath);
    NotifyItemCreated(NewPath);
    // The watcher moves what it knew below a renamed folder and reports none of it: the rows come from here.
    const QByteArray name = relativeName(NewPath);
    if (Recursive && m_folderShown && !name.isEmpty() && isFolder(FFolder + decodeLocalPath(name)))
        addRowsBelow(name + '/');
}

void CatalogEngine::addRowsBelow(const QByteArray& folder)
{
    if (isSkippedPath(folder, m_ignored))
        return;
    const QString base = m_folderPath.endsWith(QLatin1Char('/')) ? m_folderPath : m_folderPath + QLatin1Char('/');
    for (const QByteArray& name : walkPoTree(FFolder + decodeLocalPath(folder)).Names)
        NotifyItemCreated(base + decodeLocalPath(folder + name));
}

bool CatalogEngine::isShownFolder(const QString& Path) const
{
    return Path == m_folderPath;
}

void CatalogEngine::NotifyAttributesChanged(const QString& Path)
{
    if (m_folderShown && isShownFolder(Path))
        rereadFolder();
}

void CatalogEngine::rereadFolder()
{
    // A folder that may not be read lists no files, yet they are still there: its rows keep their places.
    if (const QString problem = folderProblem(FFolder); !problem.isEmpty()) {
        markFolderLost(problem);
        return;
    }
    StopChecks();
    startQueueOver(listFolder());
}

void CatalogEngine::markFolderLost(const QString& status)
{
    const bool queueWasRunning = m_queueRunning;
    StopChecks();
    setProgressPosition(0);
    setProgressVisible(false);
    for (int index = 0; index < m_rows.count(); ++index) {
        CatalogRow row = m_rows.row(index);
        SetErrorRow(row, status);
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
    if (!isBusy())
        ensureSlots();
    CheckSlot* slot = freeSlot();
    // Held ones go first, and a row is never checked twice at once.
    if (m_queueRunning || m_checkNextPosted || !slot || rowRunning(row)) {
        const QByteArray& name = m_rows.row(row).Name;
        if (!m_heldRechecks.contains(name))
            m_heldRechecks.append(name);
        return;
    }
    startRecheck(*slot, row);
}

bool CatalogEngine::queueWillReach(int index) const
{
    return m_queueRunning && index >= m_queueNext;
}

void CatalogEngine::startRecheck(CheckSlot& slot, int row)
{
    FQueueIndex = QueueRecheck;
    startCheck(slot, row);
}

void CatalogEngine::startHeldRechecks()
{
    // As in the queue, a check that ends at once leaves the rest to the message it posts.
    for (int held = 0; held < m_heldRechecks.size() && !m_checkNextPosted;) {
        CheckSlot* slot = freeSlot();
        if (!slot)
            return;
        const int row = m_rows.findName(m_heldRechecks.at(held));
        if (row >= 0 && rowRunning(row)) {
            ++held;
            continue;
        }
        m_heldRechecks.removeAt(held);
        if (row >= 0)
            startRecheck(*slot, row);
    }
}

void CatalogEngine::ListRunnerNewLine(TCommandRunner* Sender, const QByteArray& NewLine, TOutputType OutputType)
{
    // A beginning is followed by its whole line.
    if (OutputType != otEntireLine)
        return;
    if (CheckSlot* slot = slotOf(Sender))
        *slot->LastLine = rememberLine(*slot->LastLine, NewLine);
}

void CatalogEngine::ListRunnerTerminated(TCommandRunner* Sender)
{
    // The end is handed over without waiting, so that the reader ends at once and the UI thread, when it
    // comes to the end, finds the runner free for the next check. That spares each check two hand-overs
    // between threads. The decision still runs on the UI thread, where a stop or a read that came first has
    // ended the check the number names.
    if (const CheckSlot* slot = slotOf(Sender))
        UiHandover::instance().post(this, [this, run = slot->Run] { finishEndedCheck(run); });
}

void CatalogEngine::finishEndedCheck(quint64 run)
{
    const auto found = std::find_if(m_slots.cbegin(), m_slots.cend(),
                                    [run](const auto& slot) { return slot->Running && slot->Run == run; });
    if (found == m_slots.cend())
        return;
    CheckSlot& slot = **found;
    if (slot.TimedOut) {
        const QString detail = QStringLiteral("msgfmt was stopped: it had not finished after %1 s").arg(CheckTimeLimit);
        finishCheck(slot, [&](CatalogRow& row) {
            SetErrorRow(row, QStringLiteral("Timed out after %1 s").arg(CheckTimeLimit), detail);
        });
        return;
    }
    const TChildExit exit = slot.Runner->ExitStatus();
    finishCheck(slot, [&](CatalogRow& row) { EvaluateCheckEnd(row, *slot.LastLine, exit, FYellowNum, FYellowDen); });
}

void CatalogEngine::ListRunnerStartError(TCommandRunner* Sender, const QString& Message)
{
    UiHandover::instance().call([this, Sender, &Message] {
        CheckSlot* slot = slotOf(Sender);
        if (!slot)
            return;
        const TRunnerThread* thread = slot->Runner->Thread();
        const int errorNumber = thread ? thread->StartErrorNumber() : 0;
        const QString detail = msgfmtStartErrorDetail(slot->Runner->CommandLine, errorNumber, Message);
        finishCheck(*slot, [&](CatalogRow& row) { SetErrorRow(row, msgfmtStartErrorStatus(errorNumber), detail); });
    });
}

void CatalogEngine::finishCheck(CheckSlot& slot, const std::function<void(CatalogRow&)>& evaluate)
{
    slot.Running = false;
    slot.Timer->stop();
    if (FQueueIndex == QueueIdle) {
        setProgressVisible(false);
        return;
    }
    ++FCheckedCount;
    const int index = slot.Runner->Tag;
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
    if (m_queueNext < m_rows.count() || RunningChecks() > 0) {
        setProgressPosition(static_cast<int>(std::min<qint64>(100, qint64{FCheckedCount} * 100 / m_rows.count())));
        if (m_queueNext < m_rows.count())
            postCheckNext();
        return;
    }
    finishQueue();
}

void CatalogEngine::finishQueueWhenDone()
{
    if (m_queueRunning && !m_checkNextPosted && m_queueNext >= m_rows.count() && RunningChecks() == 0)
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
    // One message starts checks on every runner that is free by then.
    if (m_checkNextPosted)
        return;
    m_checkNextPosted = true;
    QCoreApplication::postEvent(this, new CheckNextEvent(m_generation));
}

void CatalogEngine::CheckNext(quint64 generation)
{
    if (generation != m_generation || !m_checkNextPosted)
        return;
    m_checkNextPosted = false;
    // The readers whose checks have ended.
    for (const auto& slot : m_slots)
        if (!slot->Running && slot->Runner->Thread())
            slot->Runner->Stop();
    if (m_queueRunning) {
        CheckCurrentRow();
        finishQueueWhenDone();
        return;
    }
    startHeldRechecks();
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
    const auto errorSummary = [](QByteArrayView line) {
        const std::optional<TMsgfmtStats> summary = ParseStatsLine(line);
        return summary && summary->Failed;
    };
    if (errorSummary(lastLine) && !errorSummary(newLine))
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
        if (hasPoSuffix(QByteArrayView(entry->d_name)))
            names.append(QByteArray(entry->d_name));
    }
    return names;
}
