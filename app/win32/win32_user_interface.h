// The window's dialogs and message boxes on Windows: the common file dialogs, the shell's
// folder browser and MessageBoxW, in their wide forms, so that every name the file system
// holds can be chosen. The records the calls take are filled by the field classes below, which
// tests check without showing anything.
#pragma once

#include "app/user_interface.h"

#include <string>
#include <vector>

#include <windows.h>

#include <commdlg.h>
#include <shlobj.h>

namespace tav {

// The longest path the wide calls take (32,767 characters and the closing NUL). The classic
// 250-character buffer refuses many of today's paths: the dialog then fails as if cancelled.
inline constexpr std::size_t kPathBufferCharacters = 32768;

// OPENFILENAMEW and the text it points to, filled from a request: the owner; the filter as
// description NUL pattern NUL ... NUL, its first pair selected; the default name in a buffer of
// kPathBufferCharacters; the initial folder, title and default extension (each null when empty,
// so the system's default applies); open: OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
// OFN_HIDEREADONLY, save: OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT. The
// record points into the object, which therefore neither copies nor moves.
class OpenFileNameFields {
public:
    OpenFileNameFields(HWND owner, const FileDialogRequest& request);
    OpenFileNameFields(const OpenFileNameFields&) = delete;
    OpenFileNameFields& operator=(const OpenFileNameFields&) = delete;

    FileDialogMode mode() const { return m_mode; }
    OPENFILENAMEW& record() { return m_record; }
    const OPENFILENAMEW& record() const { return m_record; }
    // The file buffer up to its first NUL, as UTF-8: the path chosen once the dialog returned.
    std::string chosenPath() const;

private:
    FileDialogMode m_mode;
    std::wstring m_filter;
    std::vector<wchar_t> m_file;
    std::vector<wchar_t> m_fileTitle;
    std::wstring m_initialFolder;
    std::wstring m_title;
    std::wstring m_defaultExtension;
    OPENFILENAMEW m_record{};
};

// BROWSEINFOW and its text: the owner, the title shown above the tree, file-system folders
// only, the classic dialog (no BIF_NEWDIALOGSTYLE), the browser starting at the top of the
// namespace.
class BrowseInfoFields {
public:
    BrowseInfoFields(HWND owner, const std::string& title);
    BrowseInfoFields(const BrowseInfoFields&) = delete;
    BrowseInfoFields& operator=(const BrowseInfoFields&) = delete;

    BROWSEINFOW& record() { return m_record; }
    const BROWSEINFOW& record() const { return m_record; }

private:
    std::wstring m_title;
    std::vector<wchar_t> m_displayName;
    BROWSEINFOW m_record{};
};

// What MessageBoxW is given for a message: its text, then a blank line and the detail when
// there is one; the title; one OK button and the icon.
struct MessageBoxFields {
    std::wstring text;
    std::wstring caption;
    UINT type = 0;
};
MessageBoxFields messageBoxFields(const UserMessage& message);

// Made, used and destroyed on the window's thread, which it joins to a single-threaded COM
// apartment for as long as it lives: the folder browser needs one.
class Win32UserInterface : public UserInterface {
public:
    explicit Win32UserInterface(HWND owner);
    ~Win32UserInterface() override;
    Win32UserInterface(const Win32UserInterface&) = delete;
    Win32UserInterface& operator=(const Win32UserInterface&) = delete;

    std::string ShowFileDialog(const FileDialogRequest& request) override;
    std::string BrowseForFolder(const std::string& title) override;
    void showMessage(const UserMessage& message) override;

private:
    HWND m_owner;  // borrowed
    bool m_comJoined;
};

}  // namespace tav
