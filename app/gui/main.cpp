// tavrenix: the desktop program.
//
//   tavrenix --frame-gallery FILE.png   renders the frame-control gallery into FILE.png
//                                       without showing a window, then exits.
#include "controls/frame_gallery.h"

#include <QApplication>

#include <cstdio>
#include <string_view>

namespace {

constexpr std::string_view kFrameGalleryOption = "--frame-gallery";

int usage()
{
    std::fprintf(stderr, "usage: tavrenix --frame-gallery FILE.png\n");
    return 2;
}

int runFrameGallery(const QString& path)
{
    QString error;
    if (!tav::saveFrameGallery(path, &error)) {
        std::fprintf(stderr, "tavrenix: error: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    const bool frameGallery = argc == 3 && std::string_view(argv[1]) == kFrameGalleryOption;
    if (!frameGallery)
        return usage();
    // Nothing is shown: the offscreen platform needs no display, unless the caller chose one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return runFrameGallery(QString::fromLocal8Bit(argv[2]));
}
