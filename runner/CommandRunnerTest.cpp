#include "runner/CommandRunner.h"

#include "runner/CommandLine.h"
#include "runner/UiHandover.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

/// Runs the UI thread's event loop (ticks, handed calls) until done() holds; false when timeout passed first.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s)
{
    const auto deadline = Clock::now() + timeout;
    QTimer poll; // wakes the wait for events at least every millisecond, so that done() is looked at
    poll.start(1);
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void spinFor(std::chrono::milliseconds time)
{
    spinUntil([] { return false; }, time);
}

/// The test child's command line: the program in double quotes, then actions that need no quoting.
QString child(const QStringList& actions)
{
    return QStringLiteral("\"" QUILLMARK_TESTCHILD "\" ") + actions.join(QLatin1Char(' '));
}

/// The test child's burst lines, byte for byte.
QByteArray burstLine(int index, int length)
{
    QByteArray text = "b" + QByteArray::number(index) + ":";
    return text.leftJustified(length, static_cast<char>('a' + index % 26));
}

/// State letter of a process ('Z' for a zombie), 0 when it does not exist; its parent in *parent.
char processState(pid_t pid, pid_t* parent = nullptr)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(file, stat);
    // The name in parentheses may hold blanks and parentheses itself.
    const auto nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos)
        return 0;
    std::istringstream rest(stat.substr(nameEnd + 1));
    char state = 0;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (parent != nullptr)
        *parent = ppid;
    return state;
}

bool isRunning(pid_t pid)
{
    const char state = processState(pid);
    return state != 0 && state != 'Z';
}

/// Child processes of this process, zombies included.
std::set<pid_t> childProcesses()
{
    std::set<pid_t> children;
    DIR* proc = opendir("/proc");
    while (const dirent* entry = proc != nullptr ? readdir(proc) : nullptr) {
        const pid_t pid = std::atoi(entry->d_name);
        pid_t parent = 0;
        if (pid > 0 && processState(pid, &parent) != 0 && parent == getpid())
            children.insert(pid);
    }
    if (proc != nullptr)
        closedir(proc);
    return children;
}

std::vector<int> openDescriptors()
{
    std::vector<int> fds;
    DIR* dir = opendir("/proc/self/fd");
    while (const dirent* entry = dir != nullptr ? readdir(dir) : nullptr) {
        if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != dirfd(dir))
            fds.push_back(std::atoi(entry->d_name));
    }
    if (dir != nullptr)
        closedir(dir);
    std::sort(fds.begin(), fds.end());
    return fds;
}

/// The pid a test child printed with its "pid" action, -1 when there is none.
pid_t printedPid(const QList<QByteArray>& lines)
{
    for (const QByteArray& line : lines) {
        if (line.startsWith("pid "))
            return line.mid(4).toInt();
    }
    return -1;
}

struct Event
{
    enum class Kind
    {
        Line,
        Beginning,
        Terminated,
        StartError
    };
    Kind kind;
    QByteArray text;
    TCommandRunner* sender;
    std::thread::id thread;
    Clock::time_point at;
};

/// What a runner's events reported, written on reader threads and read on the UI thread.
class EventLog
{
public:
    void attach(TCommandRunner& runner)
    {
        runner.OnNewLine = [this](TCommandRunner* sender, const QByteArray& text, TOutputType type) {
            add(type == otEntireLine ? Event::Kind::Line : Event::Kind::Beginning, text, sender);
        };
        runner.OnTerminated = [this](TCommandRunner* sender) { add(Event::Kind::Terminated, {}, sender); };
        runner.OnStartError = [this](TCommandRunner* sender, const QString& message) {
            add(Event::Kind::StartError, message.toUtf8(), sender);
        };
    }

    std::vector<Event> events() const
    {
        const std::lock_guard lock(m_mutex);
        return m_events;
    }

    int count(Event::Kind kind) const
    {
        const std::lock_guard lock(m_mutex);
        return static_cast<int>(
            std::count_if(m_events.begin(), m_events.end(), [kind](const Event& e) { return e.kind == kind; }));
    }

    /// The complete lines, in order.
    QList<QByteArray> lines() const
    {
        const std::lock_guard lock(m_mutex);
        QList<QByteArray> lines;
        for (const Event& event : m_events) {
            if (event.kind == Event::Kind::Line)
                lines.append(event.text);
        }
        return lines;
    }

private:
    void add(Event::Kind kind, const QByteArray& text, TCommandRunner* sender)
    {
        const std::lock_guard lock(m_mutex);
        m_events.push_back({kind, text, sender, std::this_thread::get_id(), Clock::now()});
    }

    mutable std::mutex m_mutex;
    std::vector<Event> m_events;
};

class CommandRunnerTest : public ::testing::Test
{
protected:
    CommandRunnerTest() { log.attach(runner); }

    void TearDown() override
    {
        runner.Stop();
        for (const pid_t pid : m_childrenToKill)
            kill(pid, SIGKILL);
    }

    void start(const QStringList& actions)
    {
        runner.CommandLine = child(actions);
        runner.Execute();
    }

    [[nodiscard]] bool waitFor(Event::Kind kind, int count = 1)
    {
        return spinUntil([&] { return log.count(kind) >= count; });
    }

    /// Waits until the current run's reader has returned, so that no event of it can follow.
    [[nodiscard]] bool waitForReader()
    {
        return spinUntil([&] { return runner.Thread() == nullptr || runner.Thread()->isFinished(); });
    }

    /// A child that a time limit left running; TearDown ends it if the test does not.
    void leftRunning(pid_t pid) { m_childrenToKill.push_back(pid); }

    EventLog log;
    TCommandRunner runner;
    const std::thread::id uiThread = std::this_thread::get_id();

private:
    std::vector<pid_t> m_childrenToKill;
};

TEST_F(CommandRunnerTest, RunToItsEndReportsStdoutAndStderrInOrderThenTerminatedOnce)
{
    start({"alternate", "100"});
    ASSERT_TRUE(waitFor(Event::Kind::Terminated));
    ASSERT_TRUE(waitForReader());

    QList<QByteArray> expected;
    for (int i = 0; i < 100; ++i)
        expected << "out " + QByteArray::number(i) << "err " + QByteArray::number(i);
    EXPECT_EQ(log.lines(), expected);
    EXPECT_EQ(runner.Lines(), expected);

    const std::vector<Event> events = log.events();
    EXPECT_EQ(log.count(Event::Kind::Terminated), 1);
    EXPECT_EQ(events.back().kind, Event::Kind::Terminated);
    for (const Event& event : events) {
        EXPECT_EQ(event.sender, &runner);
        EXPECT_NE(event.thread, uiThread);
    }
    EXPECT_NE(runner.Thread(), nullptr);
    EXPECT_EQ(runner.StartError(), QString());
}

TEST_F(CommandRunnerTest, BurstWrittenJustBeforeExitArrivesWhole)
{
    // About 200 KB: several pipe buffers, the last of them still unread when the child has gone.
    constexpr int Count = 4000;
    constexpr int Length = 50;
    start({"burst", QString::number(Count), QString::number(Length)});
    ASSERT_TRUE(waitFor(Event::Kind::Terminated));
    ASSERT_TRUE(waitForReader());

    const QList<QByteArray> lines = log.lines();
    ASSERT_EQ(lines.size(), Count);
    int wrong = 0;
    for (int i = 0; i < Count; ++i) {
        if (lines[i] != burstLine(i, Length) && wrong++ == 0)
            ADD_FAILURE() << "line " << i << ": " << lines[i].toStdString();
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(runner.Lines().size(), Count);
    EXPECT_EQ(log.events().back().kind, Event::Kind::Terminated);
}

TEST_F(CommandRunnerTest, LastTextWithoutLineEndArrivesAsCompleteLineBeforeTerminated)
{
    start({"out", "first", "raw", "last"});
    ASSERT_TRUE(waitFor(Event::Kind::Terminated));
    ASSERT_TRUE(waitForReader());

    EXPECT_EQ(log.lines(), (QList<QByteArray>{"first", "last"}));
    EXPECT_EQ(runner.Lines(), (QList<QByteArray>{"first", "last"}));
    const std::vector<Event> events = log.events();
    ASSERT_GE(events.size(), 2U);
    EXPECT_EQ(events[events.size() - 2].kind, Event::Kind::Line);
    EXPECT_EQ(events[events.size() - 2].text, "last");
    EXPECT_EQ(events.back().kind, Event::Kind::Terminated);
}

TEST_F(CommandRunnerTest, StopDuringContinuousOutputEndsChildAndRaisesTerminatedOnceBeforeReturning)
{
    start({"pid", "forever"});
    ASSERT_TRUE(spinUntil([&] { return log.lines().size() >= 200; }));
    const pid_t pid = printedPid(log.lines());
    ASSERT_GT(pid, 0);

    runner.Stop();
    const std::vector<Event> atReturn = log.events();
    EXPECT_EQ(log.count(Event::Kind::Terminated), 1);
    EXPECT_EQ(atReturn.back().kind, Event::Kind::Terminated);
    EXPECT_NE(atReturn.back().thread, uiThread);
    EXPECT_EQ(runner.Thread(), nullptr);
    EXPECT_EQ(processState(pid), 0) << "the child is still there (state " << processState(pid) << ")";

    // Every line read before the stop arrived whole and in order; only the last may be cut short.
    const QList<QByteArray> lines = log.lines();
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray expected = "tick " + QByteArray::number(i - 1);
        if (i + 1 < lines.size())
            ASSERT_EQ(lines[i], expected);
        else
            EXPECT_TRUE(!lines[i].isEmpty() && expected.startsWith(lines[i])) << lines[i].toStdString();
    }

    spinFor(200ms);
    EXPECT_EQ(log.events().size(), atReturn.size());
}

TEST_F(CommandRunnerTest, StopServesHandedCallsOfHandlersWhileItWaits)
{
    // Owned by the UI thread; the handlers change them only through the hand-over.
    int uiLines = 0;
    int uiEnds = 0;
    runner.OnNewLine
        = [&](TCommandRunner*, const QByteArray&, TOutputType) { UiHandover::instance().call([&] { ++uiLines; }); };
    runner.OnTerminated = [&](TCommandRunner*) { UiHandover::instance().call([&] { ++uiEnds; }); };

    start({"forever"});
    ASSERT_TRUE(spinUntil([&] { return uiLines >= 20; }));
    runner.Stop();
    EXPECT_EQ(uiEnds, 1);

    const int linesAtStop = uiLines;
    spinFor(100ms);
    EXPECT_EQ(uiLines, linesAtStop);
    EXPECT_EQ(uiEnds, 1);
}

TEST_F(CommandRunnerTest, MissingProgramRaisesOnlyStartErrorAndStopReturnsAtOnce)
{
    for (const QString& commandLine :
         {QStringLiteral("quillmark-no-such-program --version"), QStringLiteral("\"/nonexistent/dir/tool\" -v")}) {
        SCOPED_TRACE(commandLine.toStdString());
        const std::size_t before = log.events().size();
        runner.CommandLine = commandLine;
        runner.Execute();
        ASSERT_NE(runner.Thread(), nullptr);
        ASSERT_TRUE(waitForReader());

        const QString message = commandLine + QStringLiteral(" doesn't exist.");
        const std::vector<Event> events = log.events();
        ASSERT_EQ(events.size(), before + 1);
        EXPECT_EQ(events.back().kind, Event::Kind::StartError);
        EXPECT_EQ(events.back().text, message.toUtf8());
        EXPECT_NE(events.back().thread, uiThread);
        EXPECT_EQ(runner.StartError(), message);
        EXPECT_NE(runner.Thread(), nullptr);

        const auto stopBegan = Clock::now();
        runner.Stop();
        EXPECT_LT(Clock::now() - stopBegan, 200ms);
        EXPECT_EQ(runner.Thread(), nullptr);
        spinFor(50ms);
        EXPECT_EQ(log.events().size(), before + 1);
    }
}

TEST_F(CommandRunnerTest, TheProgramIsSearchedOnTheChildsPathAsExecvpDoes)
{
    // A file found first but not executable is passed over and reported only when nothing else is found; a
    // file the kernel cannot run for want of a "#!" line is run by the shell.
    QTemporaryDir denied;
    QTemporaryDir scripts;
    ASSERT_TRUE(denied.isValid() && scripts.isValid());
    QFile plain(denied.filePath("quillmark-test-tool"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("echo not this one\n");
    plain.close();
    QFile script(scripts.filePath("quillmark-test-tool"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("echo from the script \"$1\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);

    runner.Environment = {{"PATH", QFile::encodeName(denied.path() + ":/nonexistent:" + scripts.path())}};
    runner.CommandLine = QStringLiteral("quillmark-test-tool \"an argument\"");
    runner.Execute();
    ASSERT_TRUE(waitFor(Event::Kind::Terminated));
    EXPECT_EQ(log.lines(), QList<QByteArray>{"from the script an argument"});

    runner.Environment = {{"PATH", QFile::encodeName(denied.path())}};
    runner.Execute();
    ASSERT_TRUE(waitForReader());
    EXPECT_EQ(log.events().back().kind, Event::Kind::StartError);
    EXPECT_EQ(runner.Thread()->StartErrorNumber(), EACCES);
}

TEST_F(CommandRunnerTest, EmptyCommandLineStartsNothingAndKeepsThread)
{
    runner.CommandLine.clear();
    runner.Execute();
    EXPECT_EQ(runner.Thread(), nullptr);

    start({"out", "kept"});
    ASSERT_TRUE(waitFor(Event::Kind::Terminated));
    ASSERT_TRUE(waitForReader());
    const TRunnerThread* finished = runner.Thread();
    const std::size_t before = log.events().size();

    runner.CommandLine.clear();
    runner.Execute();
    EXPECT_EQ(runner.Thread(), finished);
    EXPECT_EQ(runner.Lines(), QList<QByteArray>{"kept"});
    spinFor(50ms);
    EXPECT_EQ(log.events().size(), before);
}

TEST_F(CommandRunnerTest, StopWithoutRunAfterTheEndAndTwiceRaisesNothingMore)
{
    runner.Stop();
    EXPECT_EQ(runner.Thread(), nullptr);

    start({"out", "done"});
    ASSERT_TRUE(waitFor(Event::Kind::Terminated));
    ASSERT_TRUE(waitForReader());
    runner.Stop();
    EXPECT_EQ(runner.Thread(), nullptr);
    runner.Stop();
    spinFor(50ms);
    EXPECT_EQ(log.count(Event::Kind::Terminated), 1);

    start({"forever"});
    ASSERT_TRUE(spinUntil([&] { return log.lines().size() >= 10; }));
    runner.Stop();
    runner.Stop();
    EXPECT_EQ(runner.Thread(), nullptr);
    spinFor(50ms);
    EXPECT_EQ(log.count(Event::Kind::Terminated), 2);
}

TEST_F(CommandRunnerTest, TheEndEventCanReadHowTheChildEnded)
{
    std::vector<TChildExit> seen;
    runner.OnTerminated
        = [&](TCommandRunner* sender) { UiHandover::instance().call([&] { seen.push_back(sender->ExitStatus()); }); };
    start({"out", "x", "exit", "3"});
    ASSERT_TRUE(spinUntil([&] { return seen.size() == 1; }));
    EXPECT_EQ(seen.back(), (TChildExit{TChildExit::Kind::Exited, 3, 0}));
    ASSERT_TRUE(waitForReader());
    EXPECT_EQ(runner.ExitStatus(), seen.back());

    start({"pid", "silent"});
    ASSERT_TRUE(spinUntil([&] { return printedPid(runner.Lines()) > 0; }));
    kill(printedPid(runner.Lines()), SIGTERM);
    ASSERT_TRUE(spinUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen.back(), (TChildExit{TChildExit::Kind::Signalled, 0, SIGTERM}));

    start({"pid", "silent"});
    ASSERT_TRUE(spinUntil([&] { return printedPid(runner.Lines()) > 0; }));
    runner.Stop();
    ASSERT_EQ(seen.size(), 3U);
    EXPECT_EQ(seen.back(), (TChildExit{TChildExit::Kind::Signalled, 0, SIGKILL}));
    EXPECT_EQ(runner.ExitStatus(), TChildExit{});
    // The lines are as many as before: the status comes with the end event, not as one of its own.
    EXPECT_EQ(log.count(Event::Kind::Line), 3);
}

// The limit is measured itself here, so these tests wait on the clock; the bounds allow for the tick
// counter's unknown phase and a coarse timer.
TEST_F(CommandRunnerTest, SilenceLimitEndsRunOnThirdTickAfterLastLineAndChildIsReapedLater)
{
    runner.MaxTimeAfterLastOutput = 2;
    // The line comes half-way between two ticks, so that one tick too early or too late shows. The
    // beginning of a line a second later is no output for the limit, but reaches the receivers at the end.
    start({"sleep", "500", "pid", "sleep", "1000", "raw", "prompt", "silent"});
    ASSERT_TRUE(waitFor(Event::Kind::Terminated));
    ASSERT_TRUE(waitForReader());

    const std::vector<Event> events = log.events();
    const pid_t pid = printedPid(log.lines());
    ASSERT_GT(pid, 0);
    leftRunning(pid);
    EXPECT_EQ(log.lines(), (QList<QByteArray>{"pid " + QByteArray::number(pid), "prompt"}));
    const auto pidLine
        = std::find_if(events.begin(), events.end(), [](const Event& e) { return e.kind == Event::Kind::Line; });
    const auto silence = events.back().at - pidLine->at;
    EXPECT_GE(silence, 2000ms);
    EXPECT_LE(silence, 3000ms);

    EXPECT_TRUE(isRunning(pid)) << "a time limit does not end the child";
    EXPECT_NE(runner.Thread(), nullptr);
    kill(pid, SIGKILL);
    EXPECT_TRUE(spinUntil([&] { return processState(pid) == 0; }, 5s))
        << "the child a time limit left is not reaped once it exits (state " << processState(pid) << ")";
}

TEST_F(CommandRunnerTest, RunLimitEndsSilentRunAboutTwoSecondsAfterExecute)
{
    runner.MaxTimeAfterBeginning = 1;
    const auto executed = Clock::now();
    start({"pid", "silent"});
    ASSERT_TRUE(waitFor(Event::Kind::Terminated));
    const auto duration = log.events().back().at - executed;
    const pid_t pid = printedPid(log.lines());
    ASSERT_GT(pid, 0);
    leftRunning(pid);

    EXPECT_GE(duration, 1800ms);
    EXPECT_LE(duration, 2600ms);
    EXPECT_TRUE(isRunning(pid));
    kill(pid, SIGKILL);
    EXPECT_TRUE(spinUntil([&] { return processState(pid) == 0; }, 5s));
}

TEST_F(CommandRunnerTest, WithoutLimitsASilentChildIsWaitedFor)
{
    runner.MaxTimeAfterBeginning = 0;
    runner.MaxTimeAfterLastOutput = 0;
    start({"sleep", "1500", "out", "done"});
    ASSERT_TRUE(waitFor(Event::Kind::Terminated));
    EXPECT_EQ(log.lines(), QList<QByteArray>{"done"});
}

TEST_F(CommandRunnerTest, ChildReadingStdinWaitsOnAnOpenEmptyPipe)
{
    start({"stdin"});
    ASSERT_TRUE(spinUntil([&] { return !log.lines().isEmpty(); }));
    spinFor(500ms);
    EXPECT_EQ(log.lines(), QList<QByteArray>{"waiting"});
    EXPECT_EQ(log.count(Event::Kind::Terminated), 0);

    runner.Stop();
    EXPECT_EQ(log.count(Event::Kind::Terminated), 1);
}

TEST_F(CommandRunnerTest, EnvironmentChangesReachOnlyTheChildWhichInheritsTheRest)
{
    qputenv("QUILLMARK_TEST_INHERITED", "kept");
    qputenv("QUILLMARK_TEST_REMOVED", "gone");
    qputenv("QUILLMARK_TEST_REPLACED", "old");
    runner.Environment = {{"QUILLMARK_TEST_SET", "a value"},
                          {"QUILLMARK_TEST_REMOVED", std::nullopt},
                          {"QUILLMARK_TEST_REPLACED", "new"}};
    start({"env", "QUILLMARK_TEST_SET", "env", "QUILLMARK_TEST_REMOVED", "env", "QUILLMARK_TEST_REPLACED", "env",
           "QUILLMARK_TEST_INHERITED", "cwd"});
    const bool ended = waitFor(Event::Kind::Terminated);
    const QByteArray ownRemoved = qgetenv("QUILLMARK_TEST_REMOVED");
    const QByteArray ownSet = qgetenv("QUILLMARK_TEST_SET");
    for (const char* name : {"QUILLMARK_TEST_INHERITED", "QUILLMARK_TEST_REMOVED", "QUILLMARK_TEST_REPLACED"})
        qunsetenv(name);
    ASSERT_TRUE(ended);

    EXPECT_EQ(
        log.lines(),
        (QList<QByteArray>{"QUILLMARK_TEST_SET=a value", "QUILLMARK_TEST_REMOVED unset", "QUILLMARK_TEST_REPLACED=new",
                           "QUILLMARK_TEST_INHERITED=kept", "cwd " + QDir::currentPath().toUtf8()}));
    EXPECT_EQ(ownRemoved, "gone");
    EXPECT_EQ(ownSet, QByteArray());
}

TEST_F(CommandRunnerTest, ChildGetsNoDescriptorOfAnyRun)
{
    // What any child of ours inherits; descriptors made for runs must not add to it.
    std::vector<int> expected{0, 1, 2};
    for (const int fd : openDescriptors()) {
        if (fd > 2 && (fcntl(fd, F_GETFD) & FD_CLOEXEC) == 0)
            expected.push_back(fd);
    }
    QByteArray expectedLine = "fds";
    for (const int fd : expected)
        expectedLine += " " + QByteArray::number(fd);

    TCommandRunner other; // a run going on beside, with its pipes open
    other.CommandLine = child({"out", "up", "silent"});
    other.Execute();
    ASSERT_TRUE(spinUntil([&] { return other.Lines().size() == 1; }));

    start({"fds"});
    ASSERT_TRUE(waitFor(Event::Kind::Terminated));
    other.Stop();
    EXPECT_EQ(log.lines(), QList<QByteArray>{expectedLine});
}

TEST_F(CommandRunnerTest, TheChildStartsWithDefaultHandlingOfTheProgramsSignalsAndNothingBlocked)
{
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction pipeBefore = {};
    struct sigaction hangUpBefore = {};
    sigaction(SIGPIPE, &ignore, &pipeBefore);
    sigaction(SIGHUP, &ignore, &hangUpBefore);
    // What the child may keep ignoring: what this process ignores, less the six it gets the default of.
    unsigned long long ignored = 0;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigIgn:", 0) == 0)
            ignored = std::stoull(line.substr(7), nullptr, 16);
    for (const int handled : {SIGPIPE, SIGINT, SIGQUIT, SIGCHLD, SIGTERM, SIGHUP})
        ignored &= ~(1ULL << (handled - 1));
    runner.CommandLine = QStringLiteral("grep -E \"^Sig(Blk|Ign):\" /proc/self/status");
    runner.Execute();
    const bool ended = waitFor(Event::Kind::Terminated);
    sigaction(SIGPIPE, &pipeBefore, nullptr);
    sigaction(SIGHUP, &hangUpBefore, nullptr);
    ASSERT_TRUE(ended);
    EXPECT_EQ(log.lines(),
              (QList<QByteArray>{"SigBlk:\t0000000000000000",
                                 QByteArray("SigIgn:\t") + QByteArray::number(ignored, 16).rightJustified(16, '0')}));
}

TEST_F(CommandRunnerTest, SecondExecuteOnBusyRunnerStopsEarlierRunFirst)
{
    start({"pid", "forever"});
    ASSERT_TRUE(spinUntil([&] { return log.lines().size() >= 10; }));
    const pid_t earlier = printedPid(log.lines());
    ASSERT_GT(earlier, 0);

    start({"out", "second"});
    EXPECT_EQ(log.count(Event::Kind::Terminated), 1) << "the earlier run was not stopped before the new one";
    EXPECT_EQ(processState(earlier), 0);
    const std::size_t earlierEvents = log.events().size();

    ASSERT_TRUE(waitFor(Event::Kind::Terminated, 2));
    ASSERT_TRUE(waitForReader());
    const std::vector<Event> events = log.events();
    ASSERT_EQ(events.size(), earlierEvents + 2);
    EXPECT_EQ(events[earlierEvents].kind, Event::Kind::Line);
    EXPECT_EQ(events[earlierEvents].text, "second");
    EXPECT_EQ(runner.Lines(), QList<QByteArray>{"second"});
}

TEST_F(CommandRunnerTest, QuotedArgumentsReachChildIntact)
{
    const QStringList arguments{QStringLiteral("two  blanks and \"quotes\""),
                                QStringLiteral("back\\slash, \\\" and \\\\\""),
                                QString(),
                                QStringLiteral("\ttab"),
                                QStringLiteral("trailing\\"),
                                QStringLiteral("na\u00efve")};
    QString commandLine = quoteCommandArgument(QStringLiteral(QUILLMARK_TESTCHILD));
    QList<QByteArray> expected;
    for (const QString& argument : arguments) {
        commandLine += QStringLiteral(" show ") + quoteCommandArgument(argument);
        expected << "[" + argument.toUtf8() + "]";
    }
    runner.CommandLine = commandLine;
    runner.Execute();
    ASSERT_TRUE(waitFor(Event::Kind::Terminated));
    EXPECT_EQ(log.lines(), expected);
}

TEST_F(CommandRunnerTest, RunEndsWithTheChildEvenWhileAGrandchildHoldsTheOutputOpen)
{
    runner.CommandLine = QStringLiteral("/bin/sh -c \"sleep 1000 & echo $!\"");
    runner.Execute();
    const bool ended = waitFor(Event::Kind::Terminated);
    const pid_t grandchild = log.lines().isEmpty() ? -1 : log.lines().first().toInt();
    if (grandchild > 0)
        kill(grandchild, SIGKILL);
    ASSERT_TRUE(ended) << "the run waited for the pipe to close instead of for the child";
    ASSERT_GT(grandchild, 0);
    EXPECT_EQ(log.lines().size(), 1);
}

TEST_F(CommandRunnerTest, AStopOrAnErrorEscapingAHandlerEndsWhatTheChildStartedToo)
{
    for (const bool byStop : {true, false}) {
        SCOPED_TRACE(byStop ? "stop" : "error in a handler");
        std::atomic<pid_t> grandchild{-1};
        runner.OnNewLine = [&](TCommandRunner*, const QByteArray& line, TOutputType) {
            grandchild = line.toInt();
            if (!byStop)
                throw std::runtime_error("handler failed");
        };
        runner.CommandLine = QStringLiteral("/bin/sh -c \"sleep 1000 & echo $!; exec sleep 1000\"");
        runner.Execute();
        ASSERT_TRUE(spinUntil([&] { return grandchild > 0; }));
        if (byStop)
            runner.Stop();
        const bool ended = spinUntil([&] { return !isRunning(grandchild); }, 5s);
        if (!ended)
            kill(grandchild, SIGKILL);
        EXPECT_TRUE(ended) << "the child's own child outlived the run";
        runner.Stop();
    }
}

/// Leaves this process room for exactly count more descriptors while it lives: the free numbers below its highest
/// descriptor are filled, and the soft limit is set just above.
class DescriptorRoom
{
public:
    explicit DescriptorRoom(int count)
    {
        const std::vector<int> open = openDescriptors();
        const int highest = open.empty() ? 2 : open.back();
        for (int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC); fd >= 0;
             fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) {
            m_fillers.push_back(fd);
            if (fd > highest)
                break;
        }
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = static_cast<rlim_t>(m_fillers.back() + 1 + count);
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~DescriptorRoom()
    {
        ::setrlimit(RLIMIT_NOFILE, &m_saved);
        for (const int fd : m_fillers)
            ::close(fd);
    }

private:
    rlimit m_saved{};
    std::vector<int> m_fillers;
};

TEST_F(CommandRunnerTest, ARunOutOfDescriptorsIsAStartErrorWithTheSystemsReason)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers' own checks open descriptors of their own, which this test takes away";
#endif
    const QString commandLine = child({"out", "x"});
    // Room for the run's wake-up but for no pipe; for the child's pipes but not for the one that reports its start.
    const std::pair<int, QString> cases[]
        = {{1, QStringLiteral("Pipe creation error: Too many open files")}, {5, commandLine + " doesn't exist."}};
    for (const auto& [room, message] : cases) {
        SCOPED_TRACE(room);
        const int errorsBefore = log.count(Event::Kind::StartError);
        {
            const DescriptorRoom limit(room);
            runner.CommandLine = commandLine;
            runner.Execute();
            ASSERT_TRUE(waitForReader());
        }
        EXPECT_EQ(log.count(Event::Kind::StartError), errorsBefore + 1);
        EXPECT_EQ(runner.Thread()->StartErrorNumber(), EMFILE);
        EXPECT_EQ(runner.StartError(), message);
    }
    // Nothing was left open by the failed starts: with room again, a run goes as usual.
    start({"out", "x"});
    ASSERT_TRUE(waitFor(Event::Kind::Terminated));
    EXPECT_EQ(log.lines(), QList<QByteArray>{"x"});
}

TEST_F(CommandRunnerTest, ErrorEscapingHandlerEndsRunWithoutTerminatedAndKeepsTheError)
{
    pid_t pid = -1;
    runner.OnNewLine = [&](TCommandRunner*, const QByteArray& line, TOutputType) {
        pid = line.mid(4).toInt();
        throw std::runtime_error("handler failed");
    };
    start({"pid", "out", "never", "silent"});
    ASSERT_TRUE(waitForReader());
    ASSERT_GT(pid, 0);

    EXPECT_EQ(log.count(Event::Kind::Terminated), 0);
    EXPECT_EQ(runner.Lines().size(), 1);
    ASSERT_TRUE(runner.Thread()->HandlerError());
    try {
        std::rethrow_exception(runner.Thread()->HandlerError());
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "handler failed");
    }
    // Nothing reads that child any more, so it is ended and reaped.
    EXPECT_TRUE(spinUntil([&] { return processState(pid) == 0; }, 5s));
}

using CommandRunnerDeathTest = CommandRunnerTest;

// Either call waits for the reader, which waits for the handed call that makes it: a deadlock that must
// show at once rather than freeze the window.
TEST_F(CommandRunnerDeathTest, ExecuteOrStopFromACallHandedByItsOwnRunEndsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const bool stop : {false, true}) {
        EXPECT_DEATH(
            {
                runner.OnTerminated = [&](TCommandRunner*) {
                    UiHandover::instance().call([&] { stop ? runner.Stop() : runner.Execute(); });
                };
                start({"out", "x"});
                spinUntil([] { return false; }, 10s);
            },
            stop ? "Stop called from its own run's handler" : "Execute called from its own run's handler");
    }
}

TEST_F(CommandRunnerDeathTest, ExecuteWhileTheSameRunnerStopsEndsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            runner.OnTerminated = [&](TCommandRunner*) { UiHandover::instance().call([&] { runner.Execute(); }); };
            start({"forever"});
            spinUntil([&] { return !runner.Lines().isEmpty(); });
            runner.Stop();
        },
        "Execute called from its own run's handler");
}

TEST(CommandRunnerTeardown, DestroyingRunnerStopsItsRun)
{
    EventLog log;
    pid_t pid = -1;
    {
        TCommandRunner runner;
        log.attach(runner);
        runner.CommandLine = child({"pid", "forever"});
        runner.Execute();
        ASSERT_TRUE(spinUntil([&] { return log.lines().size() >= 10; }));
        pid = printedPid(log.lines());
    }
    EXPECT_EQ(log.count(Event::Kind::Terminated), 1);
    EXPECT_EQ(processState(pid), 0);
}

/// QUILLMARK_STRESS_CYCLES overrides the default. A sanitized test child takes seven to ten times as long
/// to start.
int stressCycles()
{
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    constexpr int DefaultCycles = 500;
#else
    constexpr int DefaultCycles = 2000;
#endif
    const QByteArray value = qgetenv("QUILLMARK_STRESS_CYCLES");
    return value.isEmpty() ? DefaultCycles : value.toInt();
}

// Runs started and stopped at every moment while the handlers hand their work to the UI thread: no
// deadlock, no event after Stop, no descriptor or child left behind.
TEST(CommandRunnerStress, ManyRunsStoppedAtAnyMomentWithHandedCalls)
{
    const int cycles = stressCycles();
    TCommandRunner runner;
    // Owned by the UI thread: the handlers change them only through the hand-over.
    bool stopped = true;
    int lateEvents = 0;
    int runLines = 0;
    int runEnds = 0;
    std::set<pid_t> pids;
    runner.OnNewLine = [&](TCommandRunner*, const QByteArray& line, TOutputType type) {
        if (type != otEntireLine)
            return;
        UiHandover::instance().call([&] {
            lateEvents += stopped ? 1 : 0;
            ++runLines;
            if (line.startsWith("pid "))
                pids.insert(line.mid(4).toInt());
        });
    };
    runner.OnTerminated = [&](TCommandRunner*) {
        UiHandover::instance().call([&] {
            lateEvents += stopped ? 1 : 0;
            ++runEnds;
        });
    };
    const QString shortRun = child({"pid", "out", "a", "out", "b"});
    const QString endless = child({"pid", "forever"});
    const QList<QByteArray> shortLines{"a", "b"};

    // Whatever the first run makes once (the tick counter) is not a leak.
    stopped = false;
    runner.CommandLine = shortRun;
    runner.Execute();
    ASSERT_TRUE(spinUntil([&] { return runEnds == 1; }));
    runner.Stop();
    stopped = true;
    const std::size_t descriptorsBefore = openDescriptors().size();
    const std::set<pid_t> childrenBefore = childProcesses();

    const auto began = Clock::now();
    int endedMidOutput = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        runLines = 0;
        runEnds = 0;
        stopped = false;
        switch (cycle % 4) {
        case 0: // Stop right after Execute, maybe before the reader has begun.
            runner.CommandLine = endless;
            runner.Execute();
            runner.Stop();
            ASSERT_LE(runEnds, 1);
            break;
        case 1: // Stop after the run ended by itself.
            runner.CommandLine = shortRun;
            runner.Execute();
            ASSERT_TRUE(spinUntil([&] { return runEnds == 1; }));
            ASSERT_EQ(runner.Lines().mid(1), shortLines);
            runner.Stop();
            ASSERT_EQ(runLines, 3);
            ASSERT_EQ(runEnds, 1);
            break;
        case 2: // Stop in the middle of the output.
            runner.CommandLine = endless;
            runner.Execute();
            ASSERT_TRUE(spinUntil([&] { return runLines >= 3; }));
            runner.Stop();
            ASSERT_EQ(runEnds, 1);
            ++endedMidOutput;
            break;
        case 3: { // A second Execute replaces a busy run; the finished one is left to the next Execute.
            runner.CommandLine = endless;
            runner.Execute();
            const bool midOutput = cycle % 8 == 7;
            if (midOutput) {
                ASSERT_TRUE(spinUntil([&] { return runLines >= 2; }));
            }
            runner.CommandLine = shortRun;
            runner.Execute();
            const int earlierEnds = runEnds;
            ASSERT_LE(earlierEnds, 1);
            if (midOutput) {
                ASSERT_EQ(earlierEnds, 1);
            }
            ASSERT_TRUE(spinUntil([&] { return runEnds == earlierEnds + 1; }));
            ASSERT_EQ(runner.Lines().size(), 3);
            ASSERT_EQ(runner.Lines().mid(1), shortLines);
            break;
        }
        }
        stopped = true;
    }
    runner.Stop();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began);

    const std::size_t descriptorsAfter = openDescriptors().size();
    std::set<pid_t> leftChildren;
    for (const pid_t pid : childProcesses()) {
        if (childrenBefore.count(pid) == 0)
            leftChildren.insert(pid);
    }
    std::printf("[ stress   ] %d cycles in %lld ms, %d stopped mid-output, %zu children seen, "
                "descriptors %zu before and %zu after\n",
                cycles, static_cast<long long>(took.count()), endedMidOutput, pids.size(), descriptorsBefore,
                descriptorsAfter);

    EXPECT_EQ(lateEvents, 0);
    EXPECT_EQ(descriptorsAfter, descriptorsBefore);
    EXPECT_TRUE(leftChildren.empty()) << leftChildren.size() << " children left, e.g. pid " << *leftChildren.begin()
                                      << " in state " << processState(*leftChildren.begin());
}

} // namespace
