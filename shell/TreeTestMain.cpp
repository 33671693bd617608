#include <QApplication>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

/// Ends the program when one test runs for a minute, so a wait that never ends shows right after the
/// "RUN" line of its test rather than as the test driver's timeout.
class HangAlarm : public ::testing::EmptyTestEventListener
{
    void OnTestStart(const ::testing::TestInfo&) override { alarm(60); }
    void OnTestEnd(const ::testing::TestInfo&) override { alarm(0); }
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);

    HangAlarm hangAlarm;
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    listeners.Append(&hangAlarm);
    const int result = RUN_ALL_TESTS();
    listeners.Release(&hangAlarm);
    return result;
}
