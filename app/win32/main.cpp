// tavrenix.exe: the desktop program on Windows.
//
//   tavrenix.exe                            opens the main window.
//   tavrenix.exe --screenshot FILE.png      renders the main window in its start state into
//                                           FILE.png (its client area), then exits.
//   tavrenix.exe --frame-gallery FILE.png   renders the frame-control gallery into FILE.png
//                                           without a window, then exits.
#include "app/application_folder.h"
#include "app/desktop_program.h"
#include "app/frame_gallery.h"
#include "app/win32/win32_main_window.h"
#include "controls/win32/gdi_frame_text.h"
#include "platform/file_access.h"
#include "platform/png_file.h"
#include "platform/program_environment.h"
#include "platform/run_time_error.h"
#include "platform/wide_text.h"

#include <windows.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <stdexcept>
#include <shlobj.h>
#include <string>
#include <vector>

namespace {

const std::string kUsage = tav::usageText("");

// The frame controls' text engine, made once for the program.
const tav::FrameText& frameText()
{
    static const std::unique_ptr<tav::GdiFrameText> text = tav::GdiFrameText::create();
    if (!text)
        throw std::runtime_error("the system has no memory device context to draw text in");
    return *text;
}

int failed(const std::exception& e)
{
    tav::printError(e.what());
    return 1;
}

int runScreenshot(const std::string& path)
{
    try {
        // Nothing is written by a window that is only rendered, so the folder of the
        // executable serves whether or not it may be written.
        tav::Win32MainWindow window(tav::executableFolder(), frameText());
        window.showPainted();
        const tav::FrameCanvas shot = window.capture();
        tav::writePng(path, shot.width(), shot.height(), shot.pixels.data());
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

int runFrameGallery(const std::string& path)
{
    try {
        const tav::FrameCanvas gallery = tav::renderFrameGallery(frameText());
        tav::writePng(path, gallery.width(), gallery.height(), gallery.pixels.data());
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

// Where an installed program's dialogs start: the user's pictures, else the profile folder.
std::filesystem::path userFolder()
{
    for (const int folder : {CSIDL_MYPICTURES, CSIDL_PROFILE}) {
        wchar_t path[MAX_PATH] = {};
        if (SUCCEEDED(SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path)))
            return std::filesystem::path(path);
    }
    return tav::executableFolder();
}

int runWindow()
{
    std::filesystem::path folder;
    try {
        folder = tav::applicationFolder(tav::executableFolder());
    } catch (const tav::RunTimeError& e) {
        const std::wstring text = tav::toWide(std::string(tav::kNoWorkFolderText) + "\n" + e.what());
        MessageBoxW(nullptr, text.c_str(), tav::toWide(std::string(tav::kNoWorkFolderTitle)).c_str(),
                    MB_OK | MB_ICONERROR);
        return 1;
    }
    try {
        tav::Win32MainWindow window(folder, frameText());
        if (folder != tav::executableFolder())
            window.logic().setDialogFolder(userFolder());
        ShowWindow(window.handle(), SW_SHOWNORMAL);
        return tav::Win32MainWindow::runMessageLoop(window.handle());
    } catch (const std::exception& e) {
        MessageBoxW(nullptr, tav::toWide(e.what()).c_str(), tav::toWide(std::string(tav::kNoWorkFolderTitle)).c_str(),
                    MB_OK | MB_ICONERROR);
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments = tav::programArguments(argc, argv);
    const std::vector<std::string> given(arguments.begin() + std::min<std::ptrdiff_t>(1, std::ptrdiff_t(arguments.size())),
                                         arguments.end());
    using tav::ProgramMode;
    switch (tav::programModeOf(given, nullptr)) {
    case ProgramMode::Help:
        std::fputs(kUsage.c_str(), stdout);
        return 0;
    case ProgramMode::Misused:
        std::fputs(kUsage.c_str(), stderr);
        return 2;
    case ProgramMode::Screenshot:
        return runScreenshot(given[1]);
    case ProgramMode::FrameGallery:
        return runFrameGallery(given[1]);
    case ProgramMode::Window:
        break;
    }
    return runWindow();
}
