#include "runner/UiHandover.h"

#ifdef QUILLMARK_TEST_WIDGETS
#include <QApplication>
#else
#include <QCoreApplication>
#endif

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

/// Ends the program when one test runs for two minutes: a deadlock between a reader and the UI thread
/// then shows right after the "RUN" line of the test that met it, not as the test driver's timeout.
class HangAlarm : public ::testing::EmptyTestEventListener
{
    void OnTestStart(const ::testing::TestInfo&) override { alarm(120); }
    void OnTestEnd(const ::testing::TestInfo&) override { alarm(0); }
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The runner's tick counter, the hand-over to the UI thread and the watcher all need this thread's event
    // loop; tests of widgets need the widgets' application object.
#ifdef QUILLMARK_TEST_WIDGETS
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    // The facility belongs to the thread that asks first; make sure that is this one, not a reader.
    UiHandover::instance();

    HangAlarm hangAlarm;
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    listeners.Append(&hangAlarm);
    const int result = RUN_ALL_TESTS();
    listeners.Release(&hangAlarm);
    return result;
}
