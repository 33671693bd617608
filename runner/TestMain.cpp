#include "runner/UiHandover.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The runner's tick counter and the hand-over to the UI thread both need this thread's event loop.
    QCoreApplication app(argc, argv);
    // The facility belongs to the thread that asks first; make sure that is this one, not a reader.
    UiHandover::instance();
    return RUN_ALL_TESTS();
}
