// Main on Windows: the window's table made of the platform's own controls (BUTTON, EDIT and
// STATIC windows, the frame controls as child windows of their own) over the window's
// artwork, with the same handlers and preview as the Qt window.
#pragma once

#include "app/main_window_logic.h"
#include "controls/property_bag.h"
#include "controls/frame_canvas.h"
#include "controls/frame_text.h"

#include <windows.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

class FrameWindow;

class Win32MainWindow : private MainWindowView {
public:
    // `ui` is borrowed; null means the window's own dialogs and message boxes. The window is
    // made hidden.
    Win32MainWindow(std::filesystem::path applicationFolder, const FrameText& text, UserInterface* ui = nullptr);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    ::HWND handle() const { return m_window; }
    MainWindowLogic& logic() { return m_logic; }
    // A control of the window's table by its name; null for a name the table does not have.
    ::HWND control(std::string_view name) const;
    // The frame control window of that name; null for any other name.
    FrameWindow* frame(std::string_view name) const;

    // Shows the window and paints it and every control at once.
    void showPainted();
    // The client area as the screen shows it, controls included (the window must be shown).
    FrameCanvas capture() const;

    // Runs the window until it is closed; the program's exit code.
    static int runMessageLoop(::HWND window);

private:
    struct Placed {
        ::HWND window = nullptr;
        ::HWND parent = nullptr;
        int x = 0;  // in the parent
        int y = 0;
        Colour colour = 0;  // of the text
    };

    static LRESULT CALLBACK windowProc(::HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void buildControls();
    HFONT font(double points);
    // The brush a child shows behind its text: what its parent shows there.
    HBRUSH backdropOf(const Placed& placed);
    void paintBackground(::HDC dc) const;
    void drawPreview(const DRAWITEMSTRUCT& item);
    void onCommand(int id, int code);
    void onDroppedFiles(HDROP drop);

    // The view the handlers work on.
    std::string pathText() const override;
    void setPathText(const std::string& path) override;
    bool isSeasonSelected(SeasonIndex season) const override;
    bool isLoadingScreenSelected() const override;
    void showPreview(const DIBSection* logo, const std::string& reason) override;
    void beginWait() override;
    void endWait() override;

    const FrameText& m_text;
    ::HWND m_window = nullptr;
    std::unique_ptr<UserInterface> m_ownUi;
    MainWindowLogic m_logic;
    std::vector<std::unique_ptr<AmbientProperties>> m_ambients;
    std::vector<std::unique_ptr<FrameWindow>> m_frames;
    std::map<std::string, Placed, std::less<>> m_controls;
    std::map<double, HFONT> m_fonts;
    // Backdrop brushes by parent, with the bitmap each was made from.
    std::map<::HWND, std::pair<::HBITMAP, HBRUSH>> m_backdrops;
    ::HWND m_toolTips = nullptr;
    std::vector<std::wstring> m_toolTipTexts;  // the tool tip control keeps pointers to them
    ::HBITMAP m_background = nullptr;
    ::HBITMAP m_placeholder = nullptr;
    ::HBITMAP m_preview = nullptr;  // the logo shown; null: the placeholder
    std::wstring m_reason;
    std::wstring m_droppedFile;
    int m_waiting = 0;
};

}  // namespace tav
