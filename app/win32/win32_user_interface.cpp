// The dialogs of the window on Windows. Each call fills its record (the field classes), shows
// the system's dialog modal to the owner and turns a cancel or any failure into the empty
// string, as the interface asks; none shows a message of its own.
#include "app/win32/win32_user_interface.h"

#include "platform/wide_text.h"

#include <algorithm>
#include <memory>

#include <objbase.h>

namespace tav {

namespace {

// The wide calls take backslashes only; a name given with slashes means the same path.
std::wstring windowsPath(const std::string& utf8)
{
    std::wstring path = toWide(utf8);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

const wchar_t* orNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

// Description NUL pattern NUL ... NUL. An empty description would end the list early, so the
// pattern stands in for it; a filter without a pattern is left out.
std::wstring filterList(const std::vector<FileFilter>& filters)
{
    std::wstring list;
    for (const FileFilter& filter : filters) {
        if (filter.pattern.empty())
            continue;
        const std::wstring pattern = toWide(filter.pattern);
        list += filter.description.empty() ? pattern : toWide(filter.description);
        list += L'\0';
        list += pattern;
        list += L'\0';
    }
    if (!list.empty())
        list += L'\0';
    return list;
}

// The flags of the two dialogs: an open dialog takes only an existing file in an existing
// folder, a save dialog asks before it returns an existing file; neither shows the read-only
// check box.
constexpr DWORD kOpenFlags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
constexpr DWORD kSaveFlags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
static_assert(kOpenFlags == 0x1804 && kSaveFlags == 0x806);

struct ItemListFree {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};

}  // namespace

OpenFileNameFields::OpenFileNameFields(HWND owner, const FileDialogRequest& request)
    : m_mode(request.mode),
      m_filter(filterList(request.filters)),
      m_file(kPathBufferCharacters, L'\0'),
      m_fileTitle(MAX_PATH, L'\0'),
      m_initialFolder(windowsPath(request.initialFolder)),
      m_title(toWide(request.title)),
      m_defaultExtension(toWide(request.defaultExtension))
{
    const std::wstring name = windowsPath(request.defaultFileName);
    std::copy_n(name.begin(), std::min(name.size(), m_file.size() - 1), m_file.begin());

    // The record's first form, without the fields added after it (a reserved pointer and
    // word, and FlagsEx): nothing here uses them.
    m_record.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    m_record.hwndOwner = owner;
    m_record.lpstrFilter = orNull(m_filter);
    m_record.nFilterIndex = 1;
    m_record.lpstrFile = m_file.data();
    m_record.nMaxFile = DWORD(m_file.size());
    m_record.lpstrFileTitle = m_fileTitle.data();
    m_record.nMaxFileTitle = DWORD(m_fileTitle.size());
    m_record.lpstrInitialDir = orNull(m_initialFolder);
    m_record.lpstrTitle = orNull(m_title);
    m_record.Flags = request.mode == FileDialogMode::Open ? kOpenFlags : kSaveFlags;
    m_record.lpstrDefExt = orNull(m_defaultExtension);
}

std::string OpenFileNameFields::chosenPath() const
{
    const auto end = std::find(m_file.begin(), m_file.end(), L'\0');
    return toUtf8(std::wstring_view(m_file.data(), std::size_t(end - m_file.begin())));
}

BrowseInfoFields::BrowseInfoFields(HWND owner, const std::string& title)
    : m_title(toWide(title)), m_displayName(MAX_PATH, L'\0')
{
    m_record.hwndOwner = owner;
    m_record.pidlRoot = nullptr;
    // The chosen folder's display name is not used, but the call documents no way to decline
    // it: it writes up to MAX_PATH characters here.
    m_record.pszDisplayName = m_displayName.data();
    m_record.lpszTitle = orNull(m_title);
    m_record.ulFlags = BIF_RETURNONLYFSDIRS;
}

MessageBoxFields messageBoxFields(const UserMessage& message)
{
    MessageBoxFields fields;
    fields.text = toWide(message.text);
    if (!message.detail.empty())
        fields.text += L"\n\n" + toWide(message.detail);
    fields.caption = toWide(message.title);
    UINT icon = MB_ICONERROR;
    switch (message.icon) {
    case MessageIcon::Information:
        icon = MB_ICONINFORMATION;
        break;
    case MessageIcon::Exclamation:
        icon = MB_ICONEXCLAMATION;
        break;
    case MessageIcon::Critical:
        break;
    }
    fields.type = MB_OK | icon;
    return fields;
}

Win32UserInterface::Win32UserInterface(HWND owner) : m_owner(owner)
{
    // S_FALSE (the thread had joined already) is balanced by CoUninitialize like S_OK. A
    // thread already in the multi-threaded apartment cannot join; the browser is then shown
    // as the system manages.
    const HRESULT joined = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    m_comJoined = SUCCEEDED(joined);
}

Win32UserInterface::~Win32UserInterface()
{
    if (m_comJoined)
        CoUninitialize();
}

std::string Win32UserInterface::ShowFileDialog(const FileDialogRequest& request)
{
    OpenFileNameFields fields(m_owner, request);
    const BOOL chosen = fields.mode() == FileDialogMode::Open ? GetOpenFileNameW(&fields.record())
                                                              : GetSaveFileNameW(&fields.record());
    return chosen ? fields.chosenPath() : std::string();
}

std::string Win32UserInterface::BrowseForFolder(const std::string& title)
{
    BrowseInfoFields fields(m_owner, title);
    const std::unique_ptr<ITEMIDLIST, ItemListFree> chosen(SHBrowseForFolderW(&fields.record()));
    if (!chosen)
        return {};
    std::vector<wchar_t> path(kPathBufferCharacters, L'\0');
    if (!SHGetPathFromIDListEx(chosen.get(), path.data(), DWORD(path.size()), GPFIDL_DEFAULT))
        return {};
    return toUtf8(std::wstring_view(path.data()));
}

void Win32UserInterface::showMessage(const UserMessage& message)
{
    const MessageBoxFields fields = messageBoxFields(message);
    MessageBoxW(m_owner, fields.text.c_str(), fields.caption.c_str(), fields.type);
}

}  // namespace tav
