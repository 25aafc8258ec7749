#include <QCoreApplication>

#include <gtest/gtest.h>

// Test programs of the layers below the window: an application object without any display or
// platform plugin.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
