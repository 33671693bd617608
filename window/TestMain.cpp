#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The window's tests drive real widgets.
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
