#include "runner/UiHandover.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>

#include <sys/eventfd.h>
#include <unistd.h>

struct UiHandover::Request
{
    const std::function<void()>* call = nullptr;
    /// A posted call, which nobody waits for: the request owns it.
    std::function<void()> posted;
    const void* owner = nullptr;
    std::thread::id caller;
    std::exception_ptr error;
    bool done = false;
};

UiHandover& UiHandover::instance()
{
    static UiHandover handover;
    return handover;
}

UiHandover::UiHandover()
    : m_uiThread(std::this_thread::get_id())
    , m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    attachToEventLoop();
}

void UiHandover::attachToEventLoop()
{
    Q_ASSERT(isUiThread());
    if (!QCoreApplication::instance() || m_wakeFd < 0)
        return;
    std::lock_guard lock(m_mutex);
    if (m_notifier)
        return;
    // The event loop learns of handed calls through a descriptor rather than a posted event: a worker
    // then shares nothing with the event loop but the mutex-guarded queue.
    m_notifier = std::make_unique<QSocketNotifier>(m_wakeFd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
        eventfd_t count;
        [[maybe_unused]] const auto n = ::read(m_wakeFd, &count, sizeof count);
        runPending();
    });
}

bool UiHandover::isServing(std::thread::id worker) const
{
    return std::find(m_serving.begin(), m_serving.end(), worker) != m_serving.end();
}

UiHandover::~UiHandover()
{
    for (Request* request : m_queue)
        if (request->posted)
            delete request;
    m_notifier.reset();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void UiHandover::call(const std::function<void()>& call)
{
    if (isUiThread()) {
        call();
        return;
    }
    Request request;
    request.call = &call;
    request.caller = std::this_thread::get_id();
    std::unique_lock lock(m_mutex);
    m_queue.push_back(&request);
    wakeUiThread();
    m_callDone.wait(lock, [&request] { return request.done; });
    lock.unlock();
    if (request.error)
        std::rethrow_exception(request.error);
}

void UiHandover::post(const void* owner, std::function<void()> call)
{
    auto request = std::make_unique<Request>();
    request->posted = std::move(call);
    request->owner = owner;
    std::lock_guard lock(m_mutex);
    m_queue.push_back(request.release());
    wakeUiThread();
}

void UiHandover::cancelPosted(const void* owner)
{
    std::lock_guard lock(m_mutex);
    const auto cancelled = std::stable_partition(m_queue.begin(), m_queue.end(), [owner](const Request* request) {
        return !request->posted || request->owner != owner;
    });
    for (auto it = cancelled; it != m_queue.end(); ++it)
        delete *it;
    m_queue.erase(cancelled, m_queue.end());
}

void UiHandover::runPending()
{
    std::unique_lock lock(m_mutex);
    while (!m_queue.empty()) {
        Request* request = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        if (request->posted) {
            // No worker waits for it, so none is served.
            const std::unique_ptr<Request> owned(request);
            owned->posted();
            lock.lock();
            continue;
        }
        m_serving.push_back(request->caller);
        try {
            (*request->call)();
        } catch (...) {
            request->error = std::current_exception();
        }
        m_serving.pop_back();
        lock.lock();
        request->done = true;
        m_callDone.notify_all();
    }
}

void UiHandover::serveUntil(const std::function<bool()>& done)
{
    for (;;) {
        runPending();
        std::unique_lock lock(m_mutex);
        // done() is read under the mutex: wakeWaiters() takes it too, so no wake can slip in between.
        if (done())
            return;
        if (m_queue.empty())
            m_uiWake.wait(lock);
    }
}

void UiHandover::wakeUiThread()
{
    m_uiWake.notify_all();
    // Without it only a serveUntil() would ever run the call.
    Q_ASSERT(m_notifier);
    if (m_notifier) {
        const eventfd_t one = 1;
        [[maybe_unused]] const auto n = ::write(m_wakeFd, &one, sizeof one);
    }
}

void UiHandover::wakeWaiters()
{
    std::lock_guard lock(m_mutex);
    m_uiWake.notify_all();
}
