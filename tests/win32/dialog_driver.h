// Drives the system's modal dialogs from a second thread while the test's thread sits in the
// dialog call, as a user would: waits for a dialog window to appear, types into it, presses
// its buttons. Whatever a script does, the driver closes every dialog the test's thread still
// shows when the script ends, so a test that goes wrong fails instead of waiting for ever.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

namespace tav::test {

inline constexpr auto kDialogWait = std::chrono::seconds(20);

// The visible top-level dialog windows (class "#32770") of `thread`.
inline std::vector<HWND> dialogsOf(DWORD thread)
{
    std::vector<HWND> found;
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM out) -> BOOL {
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            if (std::wstring(name) == L"#32770" && IsWindowVisible(window))
                reinterpret_cast<std::vector<HWND>*>(out)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

inline std::wstring windowText(HWND window)
{
    std::wstring text(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

// Waits for a dialog of `thread` for which `accept` holds; null after kDialogWait.
inline HWND waitForDialog(DWORD thread, const std::function<bool(HWND)>& accept)
{
    const auto end = std::chrono::steady_clock::now() + kDialogWait;
    while (std::chrono::steady_clock::now() < end) {
        for (HWND dialog : dialogsOf(thread))
            if (accept(dialog))
                return dialog;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

inline HWND waitForDialogTitled(DWORD thread, const std::wstring& title)
{
    return waitForDialog(thread, [&](HWND dialog) { return windowText(dialog) == title; });
}

// A dialog owned by `owner` (a message box a dialog shows, say).
inline HWND waitForDialogOwnedBy(DWORD thread, HWND owner)
{
    return waitForDialog(thread, [&](HWND dialog) { return GetWindow(dialog, GW_OWNER) == owner; });
}

// True once `window` is gone or hidden, false after kDialogWait.
inline bool waitUntilClosed(HWND window)
{
    const auto end = std::chrono::steady_clock::now() + kDialogWait;
    while (std::chrono::steady_clock::now() < end) {
        if (!IsWindow(window) || !IsWindowVisible(window))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// Presses a button by its command id. Posted, not sent: the press may open another modal
// window that this thread must then answer.
inline void press(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// The file name field of a common file dialog: an edit box, on its own (edt1) or inside the
// name combo box (cmb13).
inline HWND fileNameField(HWND dialog)
{
    constexpr int kEdt1 = 0x480;
    constexpr int kCmb13 = 0x47c;
    if (HWND combo = GetDlgItem(dialog, kCmb13))
        if (HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr))
            return edit;
    if (HWND edit = GetDlgItem(dialog, kEdt1))
        return edit;
    // Inside a combo box extended control, one level further down.
    if (HWND combo = GetDlgItem(dialog, kCmb13))
        if (HWND inner = FindWindowExW(combo, nullptr, L"ComboBox", nullptr))
            return FindWindowExW(inner, nullptr, L"Edit", nullptr);
    return nullptr;
}

// The label of the item selected in a tree view, read across threads (the buffer is in this
// process, which the tree's is too).
inline std::wstring selectedLabel(HWND tree)
{
    const LRESULT item = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    if (!item)
        return {};
    wchar_t label[MAX_PATH] = {};
    TVITEMW query{};
    query.mask = TVIF_TEXT;
    query.hItem = reinterpret_cast<HTREEITEM>(item);
    query.pszText = label;
    query.cchTextMax = MAX_PATH;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
    return label;
}

// Selects `folder` in the folder browser `dialog`, as a click in its tree would. The browser
// fills its tree after it shows, and a selection asked for before that is lost, so it is asked
// for until the tree shows the folder's name selected. False when it never does.
inline bool selectFolder(HWND dialog, const std::wstring& folder)
{
    HWND tree = FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr);
    SHFILEINFOW info{};
    if (!tree || !SHGetFileInfoW(folder.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME))
        return false;
    const auto end = std::chrono::steady_clock::now() + kDialogWait;
    while (std::chrono::steady_clock::now() < end) {
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
        if (selectedLabel(tree) == info.szDisplayName)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Runs `script` on a second thread for the lifetime of the object. Make it before the dialog
// call on the test's thread and let it go after.
class DialogDriver {
public:
    explicit DialogDriver(std::function<void(DWORD testThread)> script)
        : m_testThread(GetCurrentThreadId()),
          m_worker([this, script = std::move(script)] {
              script(m_testThread);
              // Nothing may stay open: the test's thread would wait in its dialog for ever.
              const auto end = std::chrono::steady_clock::now() + kDialogWait;
              while (m_running && std::chrono::steady_clock::now() < end) {
                  for (HWND dialog : dialogsOf(m_testThread))
                      press(dialog, IDCANCEL);
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              }
          })
    {
    }
    ~DialogDriver()
    {
        m_running = false;
        m_worker.join();
    }
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Called by the test once its dialog call has returned.
    void done() { m_running = false; }

private:
    DWORD m_testThread;
    std::atomic<bool> m_running{true};
    std::thread m_worker;
};

}  // namespace tav::test
