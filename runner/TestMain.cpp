#include "runner/UiHandover.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

/// Ends the program naming a test that hangs: a deadlock between a reader and the UI thread shows as the
/// test that met it, not as the test driver's timeout for the whole program.
class HangWatchdog : public ::testing::EmptyTestEventListener
{
public:
    explicit HangWatchdog(std::chrono::seconds limit)
        : m_limit(limit)
        , m_thread([this] { watch(); })
    {
    }

    ~HangWatchdog() override
    {
        {
            const std::lock_guard lock(m_mutex);
            m_over = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

    void OnTestStart(const ::testing::TestInfo& test) override
    {
        const std::lock_guard lock(m_mutex);
        m_test = std::string(test.test_suite_name()) + "." + test.name();
        m_started = std::chrono::steady_clock::now();
        m_running = true;
    }

    void OnTestEnd(const ::testing::TestInfo&) override
    {
        const std::lock_guard lock(m_mutex);
        m_running = false;
    }

private:
    void watch()
    {
        std::unique_lock lock(m_mutex);
        while (!m_over) {
            if (m_running && std::chrono::steady_clock::now() - m_started > m_limit) {
                std::fprintf(stderr, "%s has not ended after %lld s: hung\n", m_test.c_str(),
                             static_cast<long long>(m_limit.count()));
                std::abort();
            }
            m_wake.wait_for(lock, std::chrono::seconds(1));
        }
    }

    const std::chrono::seconds m_limit;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::string m_test;
    std::chrono::steady_clock::time_point m_started;
    bool m_running = false;
    bool m_over = false;
    std::thread m_thread;
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The runner's tick counter and the hand-over to the UI thread both need this thread's event loop.
    QCoreApplication app(argc, argv);
    // The facility belongs to the thread that asks first; make sure that is this one, not a reader.
    UiHandover::instance();

    HangWatchdog watchdog(std::chrono::seconds(120));
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    listeners.Append(&watchdog);
    const int result = RUN_ALL_TESTS();
    listeners.Release(&watchdog);
    return result;
}
