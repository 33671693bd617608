#ifndef QUILLMARK_RUNNER_TERMINATIONSIGNALS_H
#define QUILLMARK_RUNNER_TERMINATIONSIGNALS_H

#include <QObject>

#include <chrono>

class QSocketNotifier;

/// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the UI thread's event loop, and makes sure that the
/// program ends soon after even when that loop cannot run (stuck writing into a pipe nobody reads): a thread
/// of its own takes the signals, tells the loop, and ends the program by the signal itself when it is still
/// there after the grace period, or at once on a second signal. The signals must be blocked in every thread
/// for that, so block() comes first in main, before any thread exists: threads started later (the runner's
/// readers) inherit the mask, and the runner unblocks them for its children. When that thread or its descriptors
/// cannot be made (a limit on threads or files), the signals are unblocked again and end the program at once.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    /// Blocks the signals in the calling thread; call before any other thread is started.
    static void block();
    /// Ends the program by the signal, as if it had never been caught.
    [[noreturn]] static void raiseDefault(int signal);

    explicit TerminationSignals(std::chrono::milliseconds grace, QObject* parent = nullptr);
    /// Ends the thread that takes the signals; a signal that comes later stays pending.
    ~TerminationSignals() override;

signals:
    void received(int signal);

private:
    void readSignals();

    /// Written by the signal thread, one signal number per event; read by the UI thread.
    int m_fd = -1;
    /// Wakes the signal thread for its end.
    int m_stopFd = -1;
    QSocketNotifier* m_notifier = nullptr;
    struct Watcher;
    Watcher* m_watcher = nullptr;
};

#endif // QUILLMARK_RUNNER_TERMINATIONSIGNALS_H
