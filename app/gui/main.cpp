// tavrenix: the desktop program.
//
//   tavrenix                            opens the main window.
//   tavrenix --screenshot FILE.png      renders the main window in its start state into FILE.png
//                                       (its client area) without showing it, then exits.
//   tavrenix --frame-gallery FILE.png   renders the frame-control gallery into FILE.png
//                                       without showing a window, then exits.
//
// Qt's own options (-platform, -style and the like) are accepted when the window is opened.
#include "app/application_folder.h"
#include "app/desktop_program.h"
#include "app/frame_gallery.h"
#include "app/gui/main_window.h"
#include "app/gui/qt_user_interface.h"
#include "controls/qt/qt_frame_text.h"
#include "platform/run_time_error.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QMessageBox>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <vector>
#include <string_view>

namespace {

const std::string kUsage = tav::usageText(" [Qt options]");

// Qt's own options begin with one dash; QApplication checks them.
bool qtOption(std::string_view argument)
{
    return argument.size() > 1 && argument[0] == '-' && argument[1] != '-';
}

bool savePng(const QImage& image, const QString& path, QString* error)
{
    QImageWriter writer(path, "png");
    if (writer.write(image))
        return true;
    *error = QStringLiteral("%1: %2").arg(path, writer.errorString());
    return false;
}

int runScreenshot(const QString& path)
{
    // Nothing is written by a window that is only rendered, so the folder of the executable
    // serves whether or not it may be written.
    tav::Main window(tav::executableFolder());
    QString error;
    if (!savePng(window.grab().toImage(), path, &error)) {
        tav::printError(error.toStdString());
        return 1;
    }
    return 0;
}

int runFrameGallery(const QString& path)
{
    QString error;
    const tav::FrameCanvas gallery = tav::renderFrameGallery(tav::qtFrameText());
    if (!savePng(tav::surfaceImage(gallery), path, &error)) {
        tav::printError(error.toStdString());
        return 1;
    }
    return 0;
}

// Where an installed program's dialogs start: the user's pictures, else the home folder.
std::filesystem::path userFolder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString folder = !pictures.isEmpty() && QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
    return std::filesystem::path(tav::toLocalPath(folder));
}

int runWindow(QApplication& application)
{
    std::filesystem::path folder;
    try {
        folder = tav::applicationFolder(tav::executableFolder());
    } catch (const tav::RunTimeError& e) {
        QMessageBox::critical(nullptr, QString::fromUtf8(tav::kNoWorkFolderTitle.data(), qsizetype(tav::kNoWorkFolderTitle.size())),
            QString::fromUtf8(tav::kNoWorkFolderText.data(), qsizetype(tav::kNoWorkFolderText.size())) + QLatin1Char('\n') + QString::fromLocal8Bit(e.what()));
        return 1;
    }
    tav::Main window(folder);
    if (folder != tav::executableFolder())
        window.setDialogFolder(userFolder());
    window.show();
    return application.exec();
}

}  // namespace

int main(int argc, char* argv[])
{
    using tav::ProgramMode;
    const std::vector<std::string_view> given(argv + std::min(argc, 1), argv + argc);
    const ProgramMode mode = tav::programModeOf(given, qtOption);
    if (mode == ProgramMode::Help) {
        std::fputs(kUsage.c_str(), stdout);
        return 0;
    }
    if (mode == ProgramMode::Misused) {
        std::fputs(kUsage.c_str(), stderr);
        return 2;
    }
    // Taken before QApplication, which removes from argv whatever looks like its own options.
    const QString file = mode == ProgramMode::Window ? QString() : QFile::decodeName(argv[2]);
    // Pictures rendered without a window need no display: the offscreen platform, unless the
    // caller chose one.
    if (mode != ProgramMode::Window && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(tav::kProgramName.data(), qsizetype(tav::kProgramName.size())));
    // Ties the window to the installed desktop entry (and its icon) on desktops that ask.
    QGuiApplication::setDesktopFileName(QString::fromUtf8(tav::kProgramName.data(), qsizetype(tav::kProgramName.size())));
    tav::applyMainLook(application);

    // QApplication has taken its own options out of the arguments.
    const QStringList arguments = QApplication::arguments();
    switch (mode) {
    case ProgramMode::Screenshot:
        return runScreenshot(file);
    case ProgramMode::FrameGallery:
        return runFrameGallery(file);
    default:
        break;
    }
    if (arguments.size() != 1) {
        std::fputs(kUsage.c_str(), stderr);
        return 2;
    }
    return runWindow(application);
}
