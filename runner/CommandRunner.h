#ifndef QUILLMARK_RUNNER_COMMANDRUNNER_H
#define QUILLMARK_RUNNER_COMMANDRUNNER_H

#include "runner/LineAssembler.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

class TProcessTimer;
class TCommandRunner;

using TNotifyEvent = std::function<void(TCommandRunner* Sender)>;
/// Raised on the reader thread when a run could not start; Message is the kept start error.
using TStartErrorEvent = std::function<void(TCommandRunner* Sender, const QString& Message)>;

/// A child that could not be created. The message is the command line followed by " doesn't exist.".
class TCreateProcessError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// The reader thread of a run could not be created (a limit on threads or processes). The message is "Thread
/// creation error: " followed by the system's reason.
class TThreadCreationError : public std::runtime_error
{
public:
    explicit TThreadCreationError(int errorNumber);
    /// The error number the system gave, as errno holds it.
    int ErrorNumber() const { return m_errorNumber; }

private:
    int m_errorNumber;
};

/// How a run's child ended, as far as the run saw it end. Set before OnTerminated is raised, so that its
/// handler can read it (through TCommandRunner::ExitStatus).
struct TChildExit
{
    enum class Kind : std::uint8_t
    {
        /// The run ended while its child still ran (a time limit): no status.
        Unknown,
        /// Code holds the child's exit status.
        Exited,
        /// Signal holds the signal that ended the child (SIGKILL also for a stopped run).
        Signalled,
    };
    Kind How = Kind::Unknown;
    int Code = 0;
    int Signal = 0;

    friend bool operator==(const TChildExit&, const TChildExit&) = default;
};

/// Changes to the inherited environment for one child: set a variable, or remove it (no value).
using EnvironmentChanges = std::vector<std::pair<QByteArray, std::optional<QByteArray>>>;

/// What a run takes from its runner when it starts, so that later changes to the runner don't touch it.
struct RunSettings
{
    TCommandRunner* Sender = nullptr;
    QString CommandLine;
    LineList* Lines = nullptr;
    QList<QByteArray>* OutputLines = nullptr;
    /// Bytes of one line beyond this many are dropped before any receiver sees them; 0 keeps them all.
    int MaxLineLength = 0;
    bool InputToOutput = false;
    QList<QByteArray> InputLines;
    TProcessTimer* Timer = nullptr;
    int MaxTimeAfterBeginning = 0;
    int MaxTimeAfterLastOutput = 0;
    TNewLineEvent OnNewLine;
    TNotifyEvent OnTerminated;
    TStartErrorEvent OnStartError;
    /// The child's whole environment, "NAME=value" each.
    QList<QByteArray> Environment;
};

/// The reader thread of one run: makes the pipes and the child, reads its output, raises the events and
/// reaps the child. Starts running at construction; only its owner's Stop releases it.
class TRunnerThread
{
public:
    explicit TRunnerThread(RunSettings settings);
    /// Waits for the thread; call Terminate first if it may still be running.
    ~TRunnerThread();
    TRunnerThread(const TRunnerThread&) = delete;
    TRunnerThread& operator=(const TRunnerThread&) = delete;

    /// Any thread: ends the child and the run; output arriving after this is dropped.
    void Terminate();
    bool isTerminated() const { return FTerminated.load(); }
    /// Any thread: the run's body has returned (after OnTerminated, if it was raised).
    bool isFinished() const { return FFinished.load(); }
    /// Any thread: makes the reader look at its stop mark and limits now.
    void Wake();

    /// Set once the thread has finished: the start error (pipe or process), empty when the run started.
    QString StartError() const;
    /// Set once the thread has finished: an error that escaped a handler and ended the run.
    std::exception_ptr HandlerError() const { return FHandlerError; }
    /// Set before OnTerminated is raised: how the child ended.
    TChildExit ExitStatus() const { return FExitStatus; }
    /// Set once the thread has finished, or before OnStartError is raised: the error number of a start
    /// error, 0 when the run started.
    int StartErrorNumber() const { return FStartErrorNumber; }
    /// Process id of the child while it runs, -1 before and after.
    int ChildPid() const { return FChildPid.load(); }
    std::thread::id ThreadId() const { return FThread.get_id(); }

private:
    void Run();
    void RunChild();

    RunSettings FSettings;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::atomic<int> FChildPid{-1};
    int FWakeFd = -1;
    QString FPipeError;
    std::optional<TCreateProcessError> FProcessError;
    std::exception_ptr FHandlerError;
    TChildExit FExitStatus;
    int FStartErrorNumber = 0;
    std::thread FThread;
};

/// Runs one command line as a child process with standard output and error captured through one pipe,
/// reports the output line by line and the end of the run, and can end runs that last too long or fall
/// silent. The constructor, Execute, Stop and Thread belong to the UI thread; the events are raised on the
/// run's reader thread, each handler call finishing before the reader goes on. A handler that changes
/// what the UI thread owns does it through UiHandover::call. Neither a handler nor a call it hands over
/// may Execute or Stop its own runner, since both wait for the reader that is waiting for them: post the
/// work to the UI thread's event loop instead. Doing it anyway ends the program with a message.
class TCommandRunner : public QObject
{
    Q_OBJECT

public:
    explicit TCommandRunner(QObject* owner = nullptr);
    /// Stops the current run.
    ~TCommandRunner() override;

    /// The next run's command line: the first word (or first double-quoted run) is the program, found on
    /// PATH; see splitCommandLine.
    QString CommandLine;
    /// The owner's own value; the runner never reads it.
    int Tag = 0;
    /// Echo input lines into the output.
    bool InputToOutput = false;
    /// Seconds from the start of a run after which it ends; 0 or less means no limit.
    int MaxTimeAfterBeginning = 0;
    /// Seconds since the last complete line after which a run ends; 0 or less means no limit.
    int MaxTimeAfterLastOutput = 0;
    /// Optional console-style mirror of the output, written by the reader thread: read it only while no
    /// run is going. Not owned.
    QList<QByteArray>* OutputLines = nullptr;
    /// The next runs keep only this many of their latest complete lines in Lines; 0 keeps them all.
    int KeptLines = 0;
    /// The next runs drop the bytes of a line beyond this many, for every receiver; 0 keeps them all.
    int MaxLineLength = 0;
    /// Input for the next run's child (each string with its marker, see LineAssembler::InputLines).
    QList<QByteArray> InputLines;
    /// Changes to the inherited environment for the next runs' children.
    EnvironmentChanges Environment;

    TNewLineEvent OnNewLine;
    TNotifyEvent OnTerminated;
    /// Raised instead of any other event when a run cannot start (no such program, no pipe).
    TStartErrorEvent OnStartError;

    /// Starts a run of CommandLine and returns at once. Does nothing when CommandLine is empty. A run
    /// still going is stopped first. Throws TThreadCreationError when its reader cannot be made; Thread is then
    /// null.
    void Execute();
    /// Ends the current run, if any, and releases its reader: OnTerminated of a run that was still going
    /// has been raised when this returns. Its child's whole process group is ended, so that nothing the child
    /// started outlives the run. Serves handed calls while it waits.
    void Stop();

    /// The current run's reader: set from Execute until Stop, also after the run has ended by itself.
    TRunnerThread* Thread() const { return FThread; }
    /// The complete lines of the current run so far.
    QList<QByteArray> Lines() const { return FLines.snapshot(); }
    /// The start error of the current run once its reader has finished; empty when it started.
    QString StartError() const;
    /// How the current run's child ended; readable from OnTerminated (in a call handed to the UI thread
    /// too) and after the run. Kind::Unknown while there is no run or it has not ended.
    TChildExit ExitStatus() const;
    /// Created by the first Execute.
    TProcessTimer* Timer() const { return FTimer; }

private:
    QList<QByteArray> ChildEnvironment() const;
    void RefuseCallFromOwnRun(const char* operation) const;

    LineList FLines;
    TProcessTimer* FTimer = nullptr;
    TRunnerThread* FThread = nullptr;
    bool FStopping = false;
};

#endif // QUILLMARK_RUNNER_COMMANDRUNNER_H
