#ifndef QUILLMARK_RUNNER_UIHANDOVER_H
#define QUILLMARK_RUNNER_UIHANDOVER_H

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QSocketNotifier;

/// Lets a worker thread run a call on the UI thread and wait until it has run. The UI thread runs handed
/// calls from its event loop, and also while it waits for a worker in serveUntil(), where it runs handed
/// calls only, never posted events or user input. A worker blocked here can therefore never deadlock
/// against a UI thread that is waiting for that worker to finish.
class UiHandover
{
public:
    /// The facility of the thread that first asks for it, which must be the UI thread (the thread that
    /// runs the QCoreApplication's event loop), once the application object exists.
    static UiHandover& instance();

    UiHandover();
    ~UiHandover();
    UiHandover(const UiHandover&) = delete;
    UiHandover& operator=(const UiHandover&) = delete;

    /// Any thread. Runs call on the UI thread and returns when it has run; an exception it throws is
    /// rethrown here. Called on the UI thread itself, it runs call directly.
    void call(const std::function<void()>& call);

    /// Any thread. Runs call on the UI thread later, without waiting for it; owner tells whose call it is.
    void post(const void* owner, std::function<void()> call);

    /// UI thread: the calls of owner posted and not yet run never run.
    void cancelPosted(const void* owner);

    /// UI thread. Runs handed calls until done() holds. done() is looked at again after each handed call
    /// and after each wakeWaiters().
    void serveUntil(const std::function<bool()>& done);

    /// Any thread: whatever a serveUntil() waits for may have come true.
    void wakeWaiters();

    /// UI thread: runs the calls handed so far. The event loop calls it; tests may too.
    void runPending();

    bool isUiThread() const { return std::this_thread::get_id() == m_uiThread; }

    /// UI thread: a call handed by that worker is running now, further up this thread's stack.
    bool isServing(std::thread::id worker) const;

    /// UI thread: lets the event loop run handed calls. The first instance() does this when the
    /// application object exists already; otherwise call it once it does.
    void attachToEventLoop();

private:
    struct Request;

    /// With the mutex held: a handed call waits in the queue.
    void wakeUiThread();

    std::thread::id m_uiThread;
    std::mutex m_mutex;
    std::condition_variable m_uiWake;
    std::condition_variable m_callDone;
    std::deque<Request*> m_queue;
    /// Workers whose handed calls are running, innermost last. UI thread only.
    std::vector<std::thread::id> m_serving;
    int m_wakeFd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier; ///< absent without an application object
};

#endif // QUILLMARK_RUNNER_UIHANDOVER_H
