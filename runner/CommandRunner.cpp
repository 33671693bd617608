#include "runner/CommandRunner.h"

#include "runner/ChildStart.h"
#include "runner/CommandLine.h"
#include "runner/LocalPath.h"
#include "runner/ProcessTimer.h"
#include "runner/UiHandover.h"

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

/// Longest wait of the reader between two looks at its child when nothing wakes it. Output, the child's
/// end, Stop and the timer's ticks all wake it at once; this only bounds the cost of a missed wake.
constexpr int kIdleWaitMs = 250;

void closeFd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

/// makeChildPipe's pipe; when it fails, *error says why. Returns 0 or the error number.
int makePipe(int ends[2], QString* error)
{
    const int number = makeChildPipe(ends);
    if (number != 0)
        *error = QStringLiteral("Pipe creation error: %1").arg(QString::fromLocal8Bit(std::strerror(number)));
    return number;
}

int openPidFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

/// The one thread that starts the children of runs with a time limit, for the whole life of the program: a
/// child asks the kernel to end it when the thread that started it ends, and a reader thread ends before the
/// child that a time limit left running. Its jobs run one at a time, each call returning once its job has run.
class SpawnThread
{
public:
    static SpawnThread& instance()
    {
        // Never destroyed: the thread serves until the program ends.
        static SpawnThread* const thread = new SpawnThread;
        return *thread;
    }

    int run(const std::function<int()>& job)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_job == nullptr; });
        m_job = &job;
        m_done = false;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_done; });
        m_job = nullptr;
        m_changed.notify_all();
        return m_result;
    }

private:
    SpawnThread()
    {
        std::thread([this] {
            sigset_t all;
            sigfillset(&all);
            ::pthread_sigmask(SIG_BLOCK, &all, nullptr);
            std::unique_lock lock(m_mutex);
            for (;;) {
                m_changed.wait(lock, [this] { return m_job != nullptr && !m_done; });
                m_result = (*m_job)();
                m_done = true;
                m_changed.notify_all();
            }
        }).detach();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    const std::function<int()>* m_job = nullptr;
    bool m_done = false;
    int m_result = 0;
};

/// Starts the program of commandLine with the given environment, its standard input on inputFd and
/// its standard output and error on outputFd: on the spawning thread, or on this one when the child is sure
/// to have ended before this thread does. Returns 0 or the error number; the program not found is an error
/// here too.
int spawnChild(const QString& commandLine, QList<QByteArray> environment, int inputFd, int outputFd, pid_t* pid,
               bool fromThisThread)
{
    QList<QByteArray> words;
    for (const QString& word : splitCommandLine(commandLine))
        words.append(encodeLocalPath(word));
    if (words.isEmpty())
        return ENOENT;
    // The first slot is left free for the shell that runs a script without "#!".
    std::vector<char*> argv{nullptr};
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (QByteArray& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    ChildStart start;
    start.argv = argv.data() + 1;
    start.envp = envp.data();
    start.inputFd = inputFd;
    start.outputFd = outputFd;
    const auto spawn = [&] { return startChild(start, pid); };
    if (fromThisThread)
        return spawn();
    try {
        return SpawnThread::instance().run(spawn);
    } catch (const std::system_error& error) {
        // The spawning thread could not be made (a limit on threads); the next run tries again.
        return error.code().value();
    }
}

/// Ends the child of a run and whatever it started: the group it leads. Its pid names that group only until the
/// child is reaped, so this comes before the reaping.
void endChildGroup(pid_t pid)
{
    ::kill(-pid, SIGKILL);
    // In case it has moved to another group.
    ::kill(pid, SIGKILL);
}

/// Children whose waiting thread could not be made; each later call tries them again.
std::mutex g_unreapedMutex;
std::vector<pid_t> g_unreaped;

/// Waits for a child that its run no longer watches, so that it never lingers as a zombie.
void reapLater(pid_t pid)
{
    const std::lock_guard lock(g_unreapedMutex);
    std::erase_if(g_unreaped, [](pid_t waiting) { return ::waitpid(waiting, nullptr, WNOHANG) != 0; });
    try {
        std::thread([pid] {
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) { }
        }).detach();
    } catch (const std::system_error&) {
        g_unreaped.push_back(pid);
    }
}

/// True once the child has ended and has been reaped; then *exit says how it ended.
bool childHasEnded(pid_t pid, TChildExit* exit)
{
    for (;;) {
        int status = 0;
        const pid_t result = ::waitpid(pid, &status, WNOHANG);
        if (result == pid) {
            if (WIFEXITED(status))
                *exit = {TChildExit::Kind::Exited, WEXITSTATUS(status), 0};
            else if (WIFSIGNALED(status))
                *exit = {TChildExit::Kind::Signalled, 0, WTERMSIG(status)};
            return true;
        }
        if (result == 0)
            return false;
        if (errno != EINTR)
            return true; // not our child any more: nothing left to wait for
    }
}

} // namespace

TRunnerThread::TRunnerThread(RunSettings settings)
    : FSettings(std::move(settings))
    , FWakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    try {
        FThread = std::thread([this] { Run(); });
    } catch (...) {
        closeFd(FWakeFd);
        throw;
    }
}

TRunnerThread::~TRunnerThread()
{
    if (FThread.joinable())
        FThread.join();
    closeFd(FWakeFd);
}

void TRunnerThread::Terminate()
{
    FTerminated.store(true);
    Wake();
}

void TRunnerThread::Wake()
{
    if (FWakeFd >= 0) {
        const eventfd_t one = 1;
        [[maybe_unused]] const auto written = ::write(FWakeFd, &one, sizeof one);
    }
}

QString TRunnerThread::StartError() const
{
    if (!isFinished())
        return {};
    if (FProcessError)
        return QString::fromUtf8(FProcessError->what());
    return FPipeError;
}

void TRunnerThread::Run()
{
    // Signals for the program belong to the UI thread. Blocking SIGPIPE here also turns a write to a
    // child that closed its input into a plain EPIPE instead of the end of the program.
    sigset_t all;
    sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, nullptr);
    // A Stop that came before the run began skips it altogether.
    if (!FTerminated.load())
        RunChild();
    FFinished.store(true);
    UiHandover::instance().wakeWaiters();
}

void TRunnerThread::RunChild()
{
    const RunSettings& s = FSettings;
    int input[2] = {-1, -1};
    int output[2] = {-1, -1};
    auto startFailed = [&](const QString& message) {
        closeFd(input[0]);
        closeFd(input[1]);
        closeFd(output[0]);
        closeFd(output[1]);
        if (s.OnStartError) {
            try {
                s.OnStartError(s.Sender, message);
            } catch (...) {
                FHandlerError = std::current_exception();
            }
        }
    };
    int pipeError = makePipe(input, &FPipeError);
    if (pipeError == 0)
        pipeError = makePipe(output, &FPipeError);
    if (pipeError != 0) {
        FStartErrorNumber = pipeError;
        startFailed(FPipeError);
        return;
    }

    pid_t pid = -1;
    // Without a time limit the reader ends only after its child has ended or been killed, so the child may
    // ask to end with the reader. That spares every check two hand-overs between threads: 4% of a folder's
    // time with a check per processor.
    const bool childEndsFirst = s.MaxTimeAfterBeginning <= 0 && s.MaxTimeAfterLastOutput <= 0;
    const int spawnError = spawnChild(s.CommandLine, s.Environment, input[0], output[1], &pid, childEndsFirst);
    if (spawnError != 0) {
        FStartErrorNumber = spawnError;
        FProcessError.emplace((s.CommandLine + QStringLiteral(" doesn't exist.")).toStdString());
        startFailed(QString::fromUtf8(FProcessError->what()));
        return;
    }
    FChildPid.store(pid);
    closeFd(input[0]);
    closeFd(output[1]);
    ::fcntl(output[0], F_SETFL, ::fcntl(output[0], F_GETFL) | O_NONBLOCK);
    int pidFd = openPidFd(pid);

    LineAssembler assembler({s.Sender, s.Lines, s.OutputLines, s.OnNewLine, s.Timer, &FTerminated});
    assembler.MaxLineLength = s.MaxLineLength;
    assembler.InputLines = s.InputLines;
    assembler.InputToOutput = s.InputToOutput;
    const auto writeInput = [fd = input[1]](QByteArrayView bytes) {
        qsizetype offset = 0;
        while (offset < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + offset, static_cast<size_t>(bytes.size() - offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            offset += n;
        }
    };

    std::vector<char> buffer(1024);
    bool exited = false;
    bool outputOpen = true;
    try {
        for (;;) {
            // The end is sampled before the pipe is read, so the cycle that sees the end still reads
            // everything the child wrote.
            exited = childHasEnded(pid, &FExitStatus);

            int available = 0;
            if (::ioctl(output[0], FIONREAD, &available) != 0)
                available = 0;
            if (available > 0) {
                if (static_cast<size_t>(available) > buffer.size())
                    buffer.resize(static_cast<size_t>(available));
                const ssize_t n = ::read(output[0], buffer.data(), buffer.size());
                if (n > 0)
                    assembler.takeBlock(QByteArrayView(buffer.data(), n));
            } else {
                assembler.writeInputLines(writeInput);
            }

            if (!exited) {
                // Wake at once on output, on the child's end, on Stop and on the timer's ticks.
                pollfd watched[3];
                nfds_t count = 0;
                watched[count++] = {FWakeFd, POLLIN, 0};
                if (pidFd >= 0)
                    watched[count++] = {pidFd, POLLIN, 0};
                if (outputOpen)
                    watched[count++] = {output[0], POLLIN, 0};
                const int ready = ::poll(watched, count, pidFd >= 0 ? kIdleWaitMs : 1);
                if (ready > 0) {
                    eventfd_t drained;
                    [[maybe_unused]] const auto n = ::read(FWakeFd, &drained, sizeof drained);
                    // Once every writer has closed the pipe it stays ready for good; polling it further
                    // would spin while the child lives on.
                    const pollfd& out = watched[count - 1];
                    if (outputOpen && (out.revents & (POLLHUP | POLLERR)) && !(out.revents & POLLIN))
                        outputOpen = false;
                }
            }

            if (FTerminated.load() && !exited)
                endChildGroup(pid);

            if (exited)
                break;
            if (s.Timer && s.MaxTimeAfterBeginning > 0 && s.Timer->TimeAfterBeginning.load() > s.MaxTimeAfterBeginning)
                break;
            if (s.Timer && s.MaxTimeAfterLastOutput > 0
                && s.Timer->TimeAfterLastOutput.load() > s.MaxTimeAfterLastOutput)
                break;
        }
        assembler.finish();
    } catch (...) {
        FHandlerError = std::current_exception();
    }

    // Nothing reads the child of a run that a handler's error ended; a limit leaves its child running.
    if (FHandlerError && !exited)
        endChildGroup(pid);
    closeFd(pidFd);
    closeFd(input[1]);
    closeFd(output[0]);
    FChildPid.store(-1);
    if (!exited)
        reapLater(pid);
    if (s.Timer)
        s.Timer->StopCounting();
    if (FHandlerError || !s.OnTerminated)
        return;
    try {
        s.OnTerminated(s.Sender);
    } catch (...) {
        FHandlerError = std::current_exception();
    }
}

TThreadCreationError::TThreadCreationError(int errorNumber)
    : std::runtime_error(QStringLiteral("Thread creation error: %1")
                             .arg(QString::fromLocal8Bit(std::strerror(errorNumber)))
                             .toStdString())
    , m_errorNumber(errorNumber)
{ }

TCommandRunner::TCommandRunner(QObject* owner)
    : QObject(owner)
{
    // Binds the hand-over facility to this, the UI thread, before any reader can ask for it.
    UiHandover::instance().attachToEventLoop();
}

TCommandRunner::~TCommandRunner()
{
    Stop();
}

QList<QByteArray> TCommandRunner::ChildEnvironment() const
{
    QList<QByteArray> environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        const QByteArray text(*entry);
        const QByteArray name = text.left(text.indexOf('='));
        bool changed = false;
        for (const auto& change : Environment)
            changed = changed || change.first == name;
        if (!changed)
            environment.append(text);
    }
    for (const auto& [name, value] : Environment) {
        if (value)
            environment.append(name + '=' + *value);
    }
    return environment;
}

void TCommandRunner::RefuseCallFromOwnRun(const char* operation) const
{
    UiHandover& handover = UiHandover::instance();
    if (!handover.isUiThread())
        qFatal("TCommandRunner::%s called outside the UI thread", operation);
    // Either would wait for a reader that is itself waiting for the call that is running now; and a run
    // started while this runner stops its earlier one would share its lines and tick counter.
    if (FStopping || (FThread && handover.isServing(FThread->ThreadId())))
        qFatal("TCommandRunner::%s called from its own run's handler", operation);
}

void TCommandRunner::Execute()
{
    RefuseCallFromOwnRun("Execute");
    if (CommandLine.isEmpty())
        return;
    // Two readers must never share the lines and the tick counter.
    Stop();
    if (!FTimer) {
        FTimer = new TProcessTimer(this);
        connect(FTimer, &QTimer::timeout, this, [this] {
            if (FThread)
                FThread->Wake();
        });
    }
    FLines.clear();
    FLines.setLimit(KeptLines);
    FTimer->StartCounting();

    RunSettings settings;
    settings.Sender = this;
    settings.CommandLine = CommandLine;
    settings.Lines = &FLines;
    settings.OutputLines = OutputLines;
    settings.MaxLineLength = MaxLineLength;
    settings.InputToOutput = InputToOutput;
    settings.InputLines = InputLines;
    settings.Timer = FTimer;
    settings.MaxTimeAfterBeginning = MaxTimeAfterBeginning;
    settings.MaxTimeAfterLastOutput = MaxTimeAfterLastOutput;
    settings.OnNewLine = OnNewLine;
    settings.OnTerminated = OnTerminated;
    settings.OnStartError = OnStartError;
    settings.Environment = ChildEnvironment();
    try {
        FThread = new TRunnerThread(std::move(settings));
    } catch (const std::system_error& error) {
        throw TThreadCreationError(error.code().value());
    }
}

void TCommandRunner::Stop()
{
    // A Stop within a Stop of this runner finds the run ending already.
    if (!FThread || FStopping)
        return;
    RefuseCallFromOwnRun("Stop");
    FStopping = true;
    TRunnerThread* thread = FThread;
    if (!thread->isFinished()) {
        thread->Terminate();
        UiHandover::instance().serveUntil([thread] { return thread->isFinished(); });
    }
    delete thread;
    FThread = nullptr;
    FStopping = false;
}

TChildExit TCommandRunner::ExitStatus() const
{
    return FThread ? FThread->ExitStatus() : TChildExit{};
}

QString TCommandRunner::StartError() const
{
    return FThread ? FThread->StartError() : QString();
}
