// Test entry point of the frame control: widgets need an application object, and the suite
// runs on the offscreen platform so that no display is needed. The frames draw their captions
// with Qt's text engine.
#include "controls/qt/qt_frame_text.h"
#include "controls_test_support.h"

#include <QApplication>

#include <gtest/gtest.h>

const tav::FrameText& tav::test::frameText() { return qtFrameText(); }

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
