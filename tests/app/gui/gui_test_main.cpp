// Test entry point of the window: widgets need an application object, the suite runs on the
// offscreen platform so that no display is needed, and in the look the program itself sets.
#include "app/gui/main_window.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    tav::applyMainLook(application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
