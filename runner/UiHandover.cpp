#include "runner/UiHandover.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace {

const QEvent::Type kRunHandedCalls = static_cast<QEvent::Type>(QEvent::User + 0x51);

/// Lives on the UI thread; a posted event makes its event loop run the handed calls.
class HandoverReceiver : public QObject
{
public:
    explicit HandoverReceiver(UiHandover* handover)
        : m_handover(handover)
    {
    }

    bool event(QEvent* event) override
    {
        if (event->type() != kRunHandedCalls)
            return QObject::event(event);
        m_handover->runPending();
        return true;
    }

private:
    UiHandover* m_handover;
};

} // namespace

struct UiHandover::Request
{
    const std::function<void()>* call = nullptr;
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
    , m_receiver(std::make_unique<HandoverReceiver>(this))
{
}

UiHandover::~UiHandover() = default;

void UiHandover::call(const std::function<void()>& call)
{
    if (isUiThread()) {
        call();
        return;
    }
    Request request;
    request.call = &call;
    std::unique_lock lock(m_mutex);
    m_queue.push_back(&request);
    const bool post = !m_eventPosted;
    m_eventPosted = true;
    m_uiWake.notify_all();
    if (post) {
        lock.unlock();
        postWakeEvent();
        lock.lock();
    }
    m_callDone.wait(lock, [&request] { return request.done; });
    lock.unlock();
    if (request.error)
        std::rethrow_exception(request.error);
}

void UiHandover::postWakeEvent()
{
    // Without an application object nothing would ever deliver the event; serveUntil still runs the call.
    if (QCoreApplication::instance())
        QCoreApplication::postEvent(m_receiver.get(), new QEvent(kRunHandedCalls));
}

void UiHandover::runPending()
{
    std::unique_lock lock(m_mutex);
    m_eventPosted = false;
    while (!m_queue.empty()) {
        Request* request = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        try {
            (*request->call)();
        } catch (...) {
            request->error = std::current_exception();
        }
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

void UiHandover::wakeWaiters()
{
    std::lock_guard lock(m_mutex);
    m_uiWake.notify_all();
}
