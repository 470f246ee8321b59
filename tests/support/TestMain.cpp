#include <QApplication>
#include <gtest/gtest.h>

// Every test executable runs inside a QApplication: core units ask Qt for the
// program's folder, and widget tests need the GUI classes. The offscreen
// platform is chosen by the test environment (QT_QPA_PLATFORM=offscreen).
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
