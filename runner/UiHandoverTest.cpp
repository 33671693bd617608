#include "runner/UiHandover.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

/// Runs the UI thread's event loop until done() holds; false when timeout passed first.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 20s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    QTimer poll; // wakes the wait for events at least every millisecond, so that done() is looked at
    poll.start(1);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

struct HandedError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

class UiHandoverTest : public ::testing::Test
{
protected:
    UiHandover& handover = UiHandover::instance();
    const std::thread::id uiThread = std::this_thread::get_id();
};

TEST_F(UiHandoverTest, CallFromWorkerRunsOnUiThreadAndReturnsAfterIt)
{
    std::thread::id ranOn;
    int value = 0;
    bool sawValueOnReturn = false;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        handover.call([&] {
            ranOn = std::this_thread::get_id();
            // Late enough that a call returning before the UI thread ran it would show.
            std::this_thread::sleep_for(20ms);
            value = 42;
        });
        sawValueOnReturn = value == 42;
        finished = true;
    });
    EXPECT_TRUE(spinUntil([&] { return finished.load(); }));
    worker.join();

    EXPECT_EQ(ranOn, uiThread);
    EXPECT_TRUE(sawValueOnReturn);
    EXPECT_TRUE(handover.isUiThread());
}

TEST_F(UiHandoverTest, PostedCallRunsOnUiThreadAfterTheWorkerWentOnUnlessItsOwnerCancelledIt)
{
    int kept = 0;
    int cancelled = 0;
    std::thread::id ranOn;
    const int owner = 0;
    const int otherOwner = 0;
    std::thread worker([&] {
        handover.post(&owner, [&] { ++cancelled; });
        handover.post(&otherOwner, [&] {
            ranOn = std::this_thread::get_id();
            ++kept;
        });
    });
    // The worker ends without waiting for its calls.
    worker.join();
    handover.cancelPosted(&owner);
    ASSERT_TRUE(spinUntil([&] { return kept == 1; }));
    EXPECT_EQ(ranOn, uiThread);
    EXPECT_EQ(cancelled, 0);
}

TEST_F(UiHandoverTest, ExceptionOfHandedCallIsRethrownInCallerWithItsType)
{
    std::string caught;
    bool laterCallRan = false;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        try {
            handover.call([] { throw HandedError("handed call failed"); });
        } catch (const HandedError& error) {
            caught = error.what();
        }
        handover.call([&] { laterCallRan = true; });
        finished = true;
    });
    EXPECT_TRUE(spinUntil([&] { return finished.load(); }));
    worker.join();

    EXPECT_EQ(caught, "handed call failed");
    EXPECT_TRUE(laterCallRan);
}

TEST_F(UiHandoverTest, CallOnUiThreadRunsDirectlyAlsoFromInsideHandedCall)
{
    bool ran = false;
    handover.call([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_THROW(handover.call([] { throw HandedError("direct"); }), HandedError);

    bool innerRan = false;
    std::thread::id innerThread;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        handover.call([&] {
            handover.call([&] {
                innerThread = std::this_thread::get_id();
                innerRan = true;
            });
        });
        finished = true;
    });
    EXPECT_TRUE(spinUntil([&] { return finished.load(); }));
    worker.join();

    EXPECT_TRUE(innerRan);
    EXPECT_EQ(innerThread, uiThread);
}

// The UI thread waits for a worker that waits for the UI thread: the shape of a runner's Stop against an
// end handler.
TEST_F(UiHandoverTest, ServeUntilRunsHandedCallsButNotPostedEvents)
{
    bool posted = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { posted = true; }, Qt::QueuedConnection);

    int served = 0;
    std::vector<std::thread::id> servedOn;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) {
            handover.call([&] {
                ++served;
                servedOn.push_back(std::this_thread::get_id());
            });
        }
        finished = true;
        handover.wakeWaiters();
    });
    handover.serveUntil([&] { return finished.load(); });
    worker.join();

    EXPECT_EQ(served, 3);
    EXPECT_EQ(servedOn, std::vector<std::thread::id>(3, uiThread));
    EXPECT_FALSE(posted);
    EXPECT_TRUE(spinUntil([&] { return posted; }));
}

// A worker that ends between serveUntil's look at done() and its wait must still wake it. done() itself
// holds the UI thread in that gap until the worker has ended; a watchdog frees a serveUntil that missed
// the wake, so that the fault shows as a failure rather than a hang.
TEST_F(UiHandoverTest, ServeUntilMissesNoWakeUp)
{
    constexpr int Attempts = 100;
    std::atomic<int> attempt{0};
    std::atomic<bool> over{false};
    std::atomic<int> rescues{0};
    std::thread watchdog([&] {
        int watched = -1;
        auto since = std::chrono::steady_clock::now();
        while (!over.load()) {
            if (attempt.load() != watched) {
                watched = attempt.load();
                since = std::chrono::steady_clock::now();
            } else if (std::chrono::steady_clock::now() - since > 2s) {
                ++rescues;
                since = std::chrono::steady_clock::now();
                handover.wakeWaiters();
            }
            std::this_thread::sleep_for(10ms);
        }
    });

    int handed = 0;
    for (; attempt.load() < Attempts && rescues.load() == 0; ++attempt) {
        std::atomic<bool> looked{false};
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            while (!looked.load())
                std::this_thread::yield();
            if (attempt.load() % 2 == 1)
                handover.call([&] { ++handed; });
            finished = true;
            handover.wakeWaiters();
        });
        handover.serveUntil([&] {
            const bool result = finished.load();
            if (!result && !looked.exchange(true))
                std::this_thread::sleep_for(2ms);
            return result;
        });
        worker.join();
    }
    over = true;
    watchdog.join();

    ASSERT_EQ(rescues.load(), 0) << "serveUntil missed the wake-up of attempt " << attempt.load();
    EXPECT_EQ(handed, Attempts / 2);
}

TEST_F(UiHandoverTest, ManyThreadsHandCallsConcurrently)
{
    constexpr int Threads = 8;
    constexpr int CallsEach = 400;
    constexpr int ThrowEvery = 50;

    for (const bool byServeUntil : {false, true}) {
        SCOPED_TRACE(byServeUntil ? "served by serveUntil" : "served by the event loop");
        // Owned by the UI thread: only handed calls touch them while the workers run.
        long total = 0;
        int offThread = 0;
        int outOfOrder = 0;
        std::vector<int> nextIndex(Threads, 0);
        std::vector<int> caught(Threads, 0);
        std::atomic<int> finished{0};

        std::vector<std::thread> workers;
        for (int t = 0; t < Threads; ++t) {
            workers.emplace_back([&, t] {
                for (int i = 0; i < CallsEach; ++i) {
                    try {
                        handover.call([&, t, i] {
                            if (!handover.isUiThread())
                                ++offThread;
                            if (nextIndex[t] != i)
                                ++outOfOrder;
                            nextIndex[t] = i + 1;
                            ++total;
                            if (i % ThrowEvery == 0)
                                throw HandedError("every fiftieth");
                        });
                    } catch (const HandedError&) {
                        ++caught[t];
                    }
                }
                ++finished;
                handover.wakeWaiters();
            });
        }
        const auto allFinished = [&] { return finished.load() == Threads; };
        if (byServeUntil)
            handover.serveUntil(allFinished);
        else
            EXPECT_TRUE(spinUntil(allFinished));
        for (std::thread& worker : workers)
            worker.join();

        EXPECT_EQ(total, Threads * CallsEach);
        EXPECT_EQ(offThread, 0);
        EXPECT_EQ(outOfOrder, 0);
        EXPECT_EQ(caught, std::vector<int>(Threads, CallsEach / ThrowEvery));
    }
}

} // namespace
