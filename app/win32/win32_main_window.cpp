// The Win32 main window: its controls from the window's table, the artwork behind them, the
// colours and backdrops of transparent texts, owner-drawn preview, tool tips, dropped files
// and the wait cursor.
#include "app/win32/win32_main_window.h"

#include "app/main_window_layout.h"
#include "app/win32/resources.h"
#include "app/win32/win32_user_interface.h"
#include "controls/win32/frame_window.h"
#include "controls/win32/top_down_bitmap.h"
#include "platform/picture_decoders.h"
#include "platform/wide_text.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace tav {
namespace {

constexpr const wchar_t* kClassName = L"TavrenixMain";
constexpr const wchar_t* kPanelClassName = L"TavrenixPanel";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr UINT kTakeDroppedFile = WM_APP + 1;
constexpr int kFirstControlId = 100;

// A top-down 32-bit bitmap of a 24-bit one, or null when there is none.
::HBITMAP bitmapOf(const DIBSection* picture)
{
    if (!picture || picture->bitCount() != 24)
        return nullptr;
    std::uint32_t* pixels = nullptr;
    ::HBITMAP bitmap = createTopDownBitmap(nullptr, picture->width(), picture->height(), &pixels);
    if (!bitmap)
        return nullptr;
    auto* out = reinterpret_cast<std::uint8_t*>(pixels);
    for (int y = 0; y < picture->height(); ++y) {
        const std::uint8_t* in = picture->row(y);
        for (int x = 0; x < picture->width(); ++x, out += 4, in += 3) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 0;
        }
    }
    return bitmap;
}

// Artwork built into the program; null when it cannot be decoded (the window still works).
::HBITMAP artwork(int resource, DecodedPicture (*decode)(std::span<const std::uint8_t>, const PictureOptions&))
{
    const auto bytes = resourceBytes(resource);
    if (!bytes)
        return nullptr;
    try {
        const DecodedPicture decoded = decode(*bytes, PictureOptions{});
        return bitmapOf(decoded.bitmap.get());
    } catch (const std::exception&) {
        return nullptr;
    }
}

SIZE bitmapSize(::HBITMAP bitmap)
{
    ::BITMAP info{};
    GetObjectW(bitmap, sizeof(info), &info);
    return {info.bmWidth, std::abs(info.bmHeight)};
}

void drawBitmap(::HDC dc, ::HBITMAP bitmap, int x, int y, int width, int height)
{
    ::HDC source = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(source, bitmap);
    const SIZE size = bitmapSize(bitmap);
    ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchBlt(dc, x, y, width, height, source, 0, 0, size.cx, size.cy, SRCCOPY);
    ::SelectObject(source, old);
    DeleteDC(source);
}

std::wstring wide(const std::string& text) { return toWide(text); }

// A plain panel in its colour (kept in the window's user data) that passes on to the top-level
// window what its children ask of a parent.
LRESULT CALLBACK panelProc(::HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(window, &client);
        HBRUSH brush = CreateSolidBrush(COLORREF(GetWindowLongPtrW(window, GWLP_USERDATA)));
        FillRect(reinterpret_cast<::HDC>(wParam), &client, brush);
        DeleteObject(brush);
        return 1;
    }
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return SendMessageW(GetAncestor(window, GA_ROOT), message, wParam, lParam);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

Win32MainWindow::Win32MainWindow(std::filesystem::path applicationFolder, const FrameText& text, UserInterface* ui)
    : m_text(text),
      m_ownUi(ui ? nullptr : std::make_unique<Win32UserInterface>(nullptr)),
      m_logic(*this, ui ? *ui : *m_ownUi, std::move(applicationFolder))
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    static const bool registered = [instance] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &Win32MainWindow::windowProc;
        wc.hInstance = instance;
        wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        WNDCLASSEXW panel{};
        panel.cbSize = sizeof(panel);
        panel.lpfnWndProc = panelProc;
        panel.hInstance = instance;
        panel.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        panel.lpszClassName = kPanelClassName;
        return RegisterClassExW(&wc) != 0 && RegisterClassExW(&panel) != 0;
    }();
    if (!registered)
        throw std::runtime_error("the main window's class cannot be registered");

    RECT frame{0, 0, kMainWidth, kMainHeight};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
    m_window = CreateWindowExW(0, kClassName, wide(mainWindowTitle()).c_str(), kWindowStyle, CW_USEDEFAULT,
                               CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                               instance, this);
    if (!m_window)
        throw std::runtime_error("the main window cannot be made");
    if (m_ownUi)
        static_cast<Win32UserInterface&>(*m_ownUi).setOwner(m_window);
    m_background = artwork(kBackgroundResource, decodeJpeg);
    m_placeholder = artwork(kPlaceholderResource, decodePng);
    DragAcceptFiles(m_window, TRUE);
    buildControls();
}

Win32MainWindow::~Win32MainWindow()
{
    m_frames.clear();
    if (m_window) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
    for (auto& [points, font] : m_fonts)
        DeleteObject(font);
    for (auto& [parent, backdrop] : m_backdrops)
        DeleteObject(backdrop.second);
    for (::HBITMAP bitmap : {m_background, m_placeholder, m_preview}) {
        if (bitmap)
            DeleteObject(bitmap);
    }
}

HFONT Win32MainWindow::font(double points)
{
    auto& made = m_fonts[points];
    if (!made) {
        // Sizes in points at 96 dots per inch, the pixels the window was laid out in.
        const int height = -int(std::lround(points * 96.0 / 72.0));
        made = CreateFontW(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH,
                           wide(std::string(kWindowFontName)).c_str());
    }
    return made;
}

void Win32MainWindow::buildControls()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    m_toolTips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_window, nullptr, instance, nullptr);
    m_toolTipTexts.reserve(mainWindowControls().size());
    int id = kFirstControlId;
    for (const ControlSpec& spec : mainWindowControls()) {
        const ::HWND parent = spec.parent.empty() ? m_window : m_controls.at(spec.parent).window;
        ::HWND made = nullptr;
        const std::wstring text = wide(spec.text);
        const auto child = [&](const wchar_t* windowClass, DWORD style, DWORD exStyle = 0) {
            return CreateWindowExW(exStyle, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, spec.x, spec.y,
                                   spec.width, spec.height, parent, reinterpret_cast<HMENU>(INT_PTR(id)), instance,
                                   nullptr);
        };
        switch (spec.kind) {
        case ControlKind::Frame: {
            StoredFrame stored = storedMainWindowFrame(storedFrameOf(spec));
            m_ambients.push_back(
                std::make_unique<FixedAmbient>(systemColourRef(kColorBtnFace), stored.name, mainWindowFrameFont()));
            auto frame = std::make_unique<FrameWindow>(parent, m_text, spec.x, spec.y, spec.width, spec.height);
            frame->frame().setName(stored.name);
            frame->frame().setAmbient(m_ambients.back().get());
            frame->frame().readProperties(stored.properties);
            made = frame->handle();
            m_frames.push_back(std::move(frame));
            break;
        }
        case ControlKind::Option: {
            // The first option of a frame starts its group.
            const bool first = GetWindow(parent, GW_CHILD) == nullptr;
            made = child(L"BUTTON", BS_AUTORADIOBUTTON | (first ? WS_GROUP | WS_TABSTOP : 0));
            break;
        }
        case ControlKind::HeaderBar:
            made = child(kPanelClassName, 0);
            SetWindowLongPtrW(made, GWLP_USERDATA, LONG_PTR(spec.colour));
            break;
        case ControlKind::Label:
            made = child(L"STATIC",
                         SS_NOPREFIX | (spec.placement == TextPlacement::Centred ? SS_CENTER | SS_CENTERIMAGE : SS_LEFT));
            break;
        case ControlKind::Button:
            made = child(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP);
            break;
        case ControlKind::TextBox:
            made = child(L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
            break;
        case ControlKind::Preview:
            made = child(L"STATIC", SS_OWNERDRAW | SS_NOTIFY);
            break;
        }
        SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(font(spec.points)), FALSE);
        if (!spec.toolTip.empty()) {
            m_toolTipTexts.push_back(wide(spec.toolTip));
            TOOLINFOW tool{};
            tool.cbSize = sizeof(tool);
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = parent;
            tool.uId = reinterpret_cast<UINT_PTR>(made);
            tool.lpszText = m_toolTipTexts.back().data();
            SendMessageW(m_toolTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
        m_controls.emplace(spec.name, Placed{made, parent, spec.x, spec.y, spec.colour});
        ++id;
    }
    SendMessageW(control(seasonOptionName(0)), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(control(logoTypeOptionName(0)), BM_SETCHECK, BST_CHECKED, 0);
    showPreview(nullptr, {});
}

::HWND Win32MainWindow::control(std::string_view name) const
{
    const auto found = m_controls.find(name);
    return found == m_controls.end() ? nullptr : found->second.window;
}

FrameWindow* Win32MainWindow::frame(std::string_view name) const
{
    const ::HWND window = control(name);
    for (const auto& frame : m_frames) {
        if (frame->handle() == window)
            return frame.get();
    }
    return nullptr;
}

HBRUSH Win32MainWindow::backdropOf(const Placed& placed)
{
    ::HBITMAP source = nullptr;
    for (const auto& frame : m_frames) {
        if (frame->handle() == placed.parent)
            source = frame->surfaceBitmap();
    }
    if (placed.parent == m_window)
        source = m_background;
    auto& backdrop = m_backdrops[placed.parent];
    if (!backdrop.second || backdrop.first != source) {
        if (backdrop.second)
            DeleteObject(backdrop.second);
        // A panel of the table shows its own colour; frames and the window their pictures.
        Colour panel = kBackgroundFallback;
        for (const auto& [name, other] : m_controls) {
            if (other.window == placed.parent)
                panel = other.colour;
        }
        backdrop = {source, source ? CreatePatternBrush(source) : CreateSolidBrush(panel)};
    }
    return backdrop.second;
}

void Win32MainWindow::paintBackground(::HDC dc) const
{
    RECT client{0, 0, kMainWidth, kMainHeight};
    if (!m_background) {
        HBRUSH fallback = CreateSolidBrush(kBackgroundFallback);
        FillRect(dc, &client, fallback);
        DeleteObject(fallback);
        return;
    }
    // From the top-left corner, clipped by the window.
    const SIZE size = bitmapSize(m_background);
    ::HDC source = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(source, m_background);
    ::BitBlt(dc, 0, 0, size.cx, size.cy, source, 0, 0, SRCCOPY);
    ::SelectObject(source, old);
    DeleteDC(source);
}

void Win32MainWindow::drawPreview(const DRAWITEMSTRUCT& item)
{
    const RECT& box = item.rcItem;
    ::HBITMAP shown = m_preview ? m_preview : m_placeholder;
    if (shown) {
        drawBitmap(item.hDC, shown, box.left, box.top, box.right - box.left, box.bottom - box.top);
    } else {
        FillRect(item.hDC, &box, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    if (m_reason.empty())
        return;
    RECT reason{kPreviewReasonBox.x, kPreviewReasonBox.y, kPreviewReasonBox.x + kPreviewReasonBox.width,
                kPreviewReasonBox.y + kPreviewReasonBox.height};
    HGDIOBJ old = ::SelectObject(item.hDC, const_cast<Win32MainWindow*>(this)->font(kBrowsePoints));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, kReasonColour);
    DrawTextW(item.hDC, m_reason.c_str(), int(m_reason.size()), &reason,
              DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS);
    ::SelectObject(item.hDC, old);
}

void Win32MainWindow::showPainted()
{
    ShowWindow(m_window, SW_SHOWNORMAL);
    RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    RedrawWindow(m_window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

FrameCanvas Win32MainWindow::capture() const
{
    FrameCanvas canvas;
    canvas.resize(kMainWidth, kMainHeight);
    ::HDC screen = ::GetDC(m_window);
    std::uint32_t* pixels = nullptr;
    ::HBITMAP bitmap = createTopDownBitmap(screen, kMainWidth, kMainHeight, &pixels);
    if (!bitmap) {
        ReleaseDC(m_window, screen);
        throw std::runtime_error("no bitmap to copy the window into");
    }
    ::HDC target = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(target, bitmap);
    ::BitBlt(target, 0, 0, kMainWidth, kMainHeight, screen, 0, 0, SRCCOPY);
    GdiFlush();
    for (std::size_t i = 0; i < canvas.pixels.size(); ++i)
        canvas.pixels[i] = pixels[i] & 0xFFFFFF;
    ::SelectObject(target, old);
    DeleteDC(target);
    DeleteObject(bitmap);
    ReleaseDC(m_window, screen);
    return canvas;
}

int Win32MainWindow::runMessageLoop(::HWND window)
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab moves between the controls, arrows between the options, Enter finishes an edit.
        if (IsDialogMessageW(window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return int(message.wParam);
}

LRESULT CALLBACK Win32MainWindow::windowProc(::HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || !self->m_window)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->handleMessage(message, wParam, lParam);
}

LRESULT Win32MainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        paintBackground(reinterpret_cast<::HDC>(wParam));
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        BeginPaint(m_window, &paint);
        EndPaint(m_window, &paint);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        const ::HWND child = reinterpret_cast<::HWND>(lParam);
        for (const auto& [name, placed] : m_controls) {
            if (placed.window != child)
                continue;
            const ::HDC dc = reinterpret_cast<::HDC>(wParam);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, placed.colour);
            // The parent's picture behind the control, lined up with the parent.
            SetBrushOrgEx(dc, -placed.x, -placed.y, nullptr);
            return reinterpret_cast<LRESULT>(backdropOf(placed));
        }
        break;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->hwndItem == control(kPreviewName)) {
            drawPreview(*item);
            return TRUE;
        }
        break;
    }
    case WM_COMMAND:
        onCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DROPFILES:
        onDroppedFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case kTakeDroppedFile:
        m_logic.takePicture(toUtf8(m_droppedFile));
        return 0;
    case WM_SETCURSOR:
        if (m_waiting > 0) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

void Win32MainWindow::onCommand(int id, int code)
{
    if (id == IDOK) {
        // Enter in the text box finishes the edit, as leaving it does.
        if (GetFocus() == control(kPathBoxName))
            m_logic.previewTypedPath();
        return;
    }
    const auto is = [&](std::string_view name) {
        const ::HWND window = control(name);
        return window && GetDlgCtrlID(window) == id;
    };
    if (is(kBrowseButtonName) && code == BN_CLICKED)
        m_logic.CmdExaminar_Click();
    else if (is(kMakeButtonName) && code == BN_CLICKED)
        m_logic.CmdAceptar_Click();
    else if (is(kPathBoxName) && code == EN_KILLFOCUS)
        m_logic.previewTypedPath();
}

void Win32MainWindow::onDroppedFiles(HDROP drop)
{
    std::wstring path;
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        path.resize(DragQueryFileW(drop, 0, nullptr, 0) + 1);
        path.resize(DragQueryFileW(drop, 0, path.data(), UINT(path.size())));
    }
    DragFinish(drop);
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    // Taken once the drop has ended: a message about an unreadable file must not open while
    // the drag source still waits for the drop to finish.
    m_droppedFile = path;
    PostMessageW(m_window, kTakeDroppedFile, 0, 0);
}

std::string Win32MainWindow::pathText() const
{
    const ::HWND box = control(kPathBoxName);
    std::wstring text(std::size_t(GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(box, text.data(), int(text.size()))));
    return toUtf8(text);
}

void Win32MainWindow::setPathText(const std::string& path)
{
    SetWindowTextW(control(kPathBoxName), wide(path).c_str());
}

bool Win32MainWindow::isSeasonSelected(SeasonIndex season) const
{
    return SendMessageW(control(seasonOptionName(season)), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool Win32MainWindow::isLoadingScreenSelected() const
{
    return SendMessageW(control(logoTypeOptionName(1)), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32MainWindow::showPreview(const DIBSection* logo, const std::string& reason)
{
    if (m_preview)
        DeleteObject(m_preview);
    m_preview = bitmapOf(logo);
    m_reason = wide(reason);
    InvalidateRect(control(kPreviewName), nullptr, FALSE);
}

void Win32MainWindow::beginWait()
{
    if (m_waiting++ == 0)
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void Win32MainWindow::endWait()
{
    if (--m_waiting == 0)
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

}  // namespace tav
