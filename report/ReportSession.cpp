#include "report/ReportSession.h"

#include "catalog/MsgfmtStats.h"
#include "report/ReportVerdict.h"
#include "runner/LocalPath.h"
#include "shell/FolderEntries.h"
#include "shell/ShellNotify.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <utility>

#include <dirent.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

void printError(const QString& message)
{
    const QByteArray line = QStringLiteral("quillmark-report: %1\n").arg(message).toLocal8Bit();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
}

/// What the row's status is short for (a start error's command line and reason), on standard error.
void printDetail(const CatalogRow& row)
{
    if (!row.Detail.isEmpty())
        printError(QStringLiteral("%1: %2").arg(row.Caption, row.Detail));
}

int terminalColumns()
{
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

/// Why the folder's entries cannot be listed; empty when they can.
QString listingError(const QString& folder)
{
    // The same bytes the engine lists, so that the two can never disagree about a folder.
    DIR* dir = ::opendir(encodeLocalPath(folder).constData());
    if (dir) {
        ::closedir(dir);
        return {};
    }
    return QString::fromLocal8Bit(std::strerror(errno));
}

/// folder made absolute by the working folder's path, in the bytes the system gives for it.
QString absoluteFolder(const QString& folder)
{
    // "~/" is the engine's to expand.
    if (folder.startsWith(u'/') || folder.startsWith(QLatin1String("~/")))
        return folder;
    const std::unique_ptr<char, decltype(&std::free)> working(::getcwd(nullptr, 0), &std::free);
    if (!working)
        return folder;
    const QString base = decodeLocalPath(QByteArray(working.get()));
    return base.endsWith(u'/') ? base + folder : base + u'/' + folder;
}

} // namespace

ReportSession::ReportSession(const ReportOptions& options, QObject* parent)
    : QObject(parent)
    , m_options(options)
    , m_progress(::isatty(STDERR_FILENO) == 1)
{
    const YellowThreshold threshold = RatioFromPosition(options.RatioPosition);
    m_engine.FYellowNum = threshold.Num;
    m_engine.FYellowDen = threshold.Den;
    static_assert(MaxTimeoutSeconds <= CatalogEngine::MaxCheckTimeLimit);
    m_engine.CheckTimeLimit = options.TimeoutSeconds;
    m_engine.Jobs = options.Jobs;
    m_engine.Recursive = options.Recursive;
    connect(&m_engine, &CatalogEngine::queueFinished, this, &ReportSession::firstPassFinished);
    connect(&m_engine, &CatalogEngine::checkStarted, this, &ReportSession::checkStarted);
    connect(&m_engine, &CatalogEngine::rowEvaluated, this, &ReportSession::rowEvaluated);
    connect(&m_engine, &CatalogEngine::rowRemoved, this, &ReportSession::rowRemoved);
    connect(&m_engine, &CatalogEngine::folderLost, this, &ReportSession::folderLost);
    connect(&m_engine, &CatalogEngine::jobsLowered, this, [this](int asked, int allowed, const QString& limit) {
        clearProgress();
        const QString checks = allowed == 1 ? QStringLiteral("1 check") : QStringLiteral("%1 checks").arg(allowed);
        printError(QStringLiteral("running %1 at once instead of %2, as many as %3 allows")
                       .arg(checks, QString::number(asked), limit));
    });
    connect(&m_signals, &TerminationSignals::received, this, &ReportSession::terminationRequested);

    if (options.Watch) {
        m_notify = std::make_unique<TShellNotify>(nullptr);
        // Only the entries directly in the folder have rows, unless the whole tree has; the rows follow them as
        // they change, come and go.
        m_notify->setWatchChildren(options.Recursive);
        m_notify->setFolderFilter([this](const QString& path) { return !m_engine.SkipsFolder(path); });
        m_notify->OnWatchLimit = [this](TShellNotify*) {
            if (!std::exchange(m_watchLimitTold, true))
                printError(QStringLiteral("%1; the others are watched").arg(watchLimitMessage()));
        };
        followFolderEntries(*m_notify, m_engine);
        m_engine.OnRearmWatcher = [this](const QString& folder) { armWatcher(folder); };
    }
}

ReportSession::~ReportSession() = default;

void ReportSession::armWatcher(const QString& folder)
{
    m_notify->setEnabled(false);
    m_notify->setRootFolder(folder);
    m_notify->setEnabled(true);
    if (!m_notify->Enabled())
        throw std::runtime_error("the system refused to watch it");
}

int ReportSession::run()
{
    m_pass.Start = QDateTime::currentDateTime();
    m_pass.HostName = QSysInfo::machineHostName();
    m_passClock.start();
    try {
        // The watch follows the folder's path, also when the working folder moves away from its own path (a
        // project cloned again): the checks must look where the watch does.
        m_engine.ReadFolder(m_options.Watch ? absoluteFolder(m_options.Folder) : m_options.Folder);
    } catch (const std::exception& error) {
        fail(
            QStringLiteral("cannot watch folder '%1': %2").arg(shownArgument(m_options.Folder), QString::fromLocal8Bit(error.what())));
        return m_exitStatus;
    }
    // A read sets the shown folder only when the folder exists.
    if (m_engine.FFolder.isEmpty()) {
        if (QFileInfo::exists(m_options.Folder))
            fail(QStringLiteral("not a folder: '%1'").arg(shownArgument(m_options.Folder)));
        else
            fail(QStringLiteral("no such folder: '%1'").arg(shownArgument(m_options.Folder)));
        return m_exitStatus;
    }

    // A folder with no PO file finishes inside the read, before any event loop runs.
    if (!m_firstPassDone) {
        showProgress(0);
        QCoreApplication::exec();
    } else if (m_options.Watch && m_exitStatus != 2) {
        QCoreApplication::exec();
    }

    m_engine.StopChecks();
    if (m_notify)
        m_notify->setEnabled(false);
    if (m_signal != 0 && !m_firstPassDone)
        printInterruptedPass();
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        m_outputFailed = true;
    if (m_outputFailed) {
        printError(QStringLiteral("cannot write the output"));
        return 2;
    }
    if (m_options.Watch && m_signal != 0)
        return 0;
    return m_exitStatus;
}

void ReportSession::firstPassFinished()
{
    if (m_firstPassDone)
        return;
    m_firstPassDone = true;
    clearProgress();
    const QList<CatalogRow>& rows = m_engine.Rows().rows();
    // The engine lists what it can; a folder it could not open at all must not pass as one with no files.
    if (rows.isEmpty()) {
        const QString error = listingError(m_engine.FFolder);
        if (!error.isEmpty()) {
            fail(QStringLiteral("cannot read folder '%1': %2").arg(shownArgument(m_options.Folder), error));
            QCoreApplication::exit();
            return;
        }
    }

    printRows(rows);
    const ReportVerdict verdict = judgeRows(rows, m_options.FailUnder);
    m_exitStatus = verdict.exitStatus();
    if (m_exitStatus != 0)
        printError(verdict.summary(m_options.FailUnder));
    // A wrong path, or a project whose PO files lie deeper, would otherwise pass having checked nothing.
    bool atLeast = false;
    const int below = m_engine.FilesBelow(&atLeast);
    if (rows.isEmpty() && (!m_options.AllowEmpty || below > 0)) {
        const QString folder = shownArgument(m_options.Folder);
        printError(below > 0 ? QStringLiteral("no PO file in '%1' itself; %2%3 below it: --recursive (-r) includes them")
                                   .arg(folder, QString::number(below), atLeast ? QStringLiteral(" or more") : QString())
                             : QStringLiteral("no PO file in '%1'").arg(folder));
        if (!m_options.AllowEmpty)
            m_exitStatus = 1;
    }
    m_table.emplace(rows);
    if (!m_options.Watch || m_outputFailed)
        QCoreApplication::exit();
}

void ReportSession::printInterruptedPass()
{
    m_firstPassDone = true;
    clearProgress();
    QList<CatalogRow> checked;
    for (const CatalogRow& row : m_engine.Rows().rows()) {
        if (judgeRow(row, std::nullopt) != RowVerdict::Unchecked)
            checked.append(row);
    }
    printRows(checked);
    const ReportVerdict verdict = judgeRows(m_engine.Rows().rows(), m_options.FailUnder);
    const QString summary = verdict.summary(m_options.FailUnder);
    printError(QStringLiteral("stopped by %1%2%3")
                   .arg(QString::fromLatin1(::sigabbrev_np(m_signal) ? ::sigabbrev_np(m_signal) : "a signal"),
                        summary.isEmpty() ? QString() : QStringLiteral(": "), summary));
    m_exitStatus = 1;
}

void ReportSession::printRows(const QList<CatalogRow>& rows)
{
    m_pass.Milliseconds = m_passClock.elapsed();
    write(reportText(m_options, rows, m_pass));
    std::fflush(stdout);
    for (const CatalogRow& row : rows)
        printDetail(row);
}

void ReportSession::checkStarted(int index)
{
    if (!m_firstPassDone)
        m_checkStarts.insert(m_engine.Rows().row(index).Name, m_passClock.elapsed());
}

void ReportSession::rowEvaluated(int index, bool recheck)
{
    if (!m_firstPassDone) {
        const QByteArray& name = m_engine.Rows().row(index).Name;
        if (const auto start = m_checkStarts.constFind(name); start != m_checkStarts.cend())
            m_pass.CheckMilliseconds.insert(name, m_passClock.elapsed() - *start);
        // Checks end in any order when several run: count the ends, and name the row at that place.
        if (!recheck && m_engine.FCheckedCount < m_engine.Rows().count())
            showProgress(m_engine.FCheckedCount);
        return;
    }
    if (m_table) {
        writeWatchLine(watchLine(m_options.Format, m_engine.Rows().row(index),
                                 watchTimestamp(QDateTime::currentDateTime()), *m_table));
        printDetail(m_engine.Rows().row(index));
    }
}

void ReportSession::rowRemoved(const CatalogRow& row)
{
    if (m_firstPassDone && m_table)
        writeWatchLine(watchRemovedLine(m_options.Format, row, watchTimestamp(QDateTime::currentDateTime()), *m_table));
}

void ReportSession::folderLost()
{
    if (!m_firstPassDone || !m_table)
        return;
    const QString time = watchTimestamp(QDateTime::currentDateTime());
    QByteArray lines;
    for (const CatalogRow& row : m_engine.Rows().rows())
        lines += watchLine(m_options.Format, row, time, *m_table);
    writeWatchLine(lines);
}

void ReportSession::writeWatchLine(const QByteArray& line)
{
    write(line);
    if (std::fflush(stdout) != 0)
        m_outputFailed = true;
    if (m_outputFailed)
        QCoreApplication::exit();
}

void ReportSession::terminationRequested(int signal)
{
    if (m_signal == 0)
        m_signal = signal;
    QCoreApplication::exit();
}

void ReportSession::showProgress(int index)
{
    if (!m_progress || index < 0 || index >= m_engine.Rows().count())
        return;
    QString text = QStringLiteral("Checking %1/%2 %3")
                       .arg(index + 1)
                       .arg(m_engine.Rows().count())
                       .arg(m_engine.Rows().row(index).Caption);
    // A line longer than the terminal wraps, and the next carriage return no longer reaches its start.
    text.truncate(terminalColumns() - 1);
    const int length = static_cast<int>(text.size());
    text += QString(std::max(0, m_progressLength - length), QLatin1Char(' '));
    m_progressLength = length;
    const QByteArray line = '\r' + text.toLocal8Bit();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
}

void ReportSession::clearProgress()
{
    if (!m_progress || m_progressLength == 0)
        return;
    const QByteArray blank = '\r' + QByteArray(m_progressLength, ' ') + '\r';
    std::fwrite(blank.constData(), 1, static_cast<std::size_t>(blank.size()), stderr);
    m_progressLength = 0;
}

void ReportSession::write(const QByteArray& text)
{
    if (std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout)
        != static_cast<std::size_t>(text.size()))
        m_outputFailed = true;
}

void ReportSession::fail(const QString& message)
{
    clearProgress();
    printError(message);
    m_exitStatus = 2;
}
