// The file rules on Windows: CreateFileW with the wide path (any name the file system holds),
// and the handle opened checked with GetFileType and GetFileInformationByHandle, so what is
// checked is what is read; ReadFile at an explicit offset, so that several readers of one file
// never move each other's position; a temporary file beside the target, then ReplaceFileW (which
// keeps the old file's attributes and security) or MoveFileExW for replacing.
#include "file_access.h"
#include "file_access_internal.h"

#include "run_time_error.h"
#include "wide_text.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace tav {

namespace fs = std::filesystem;
using namespace file_access;

namespace {

// The system's text for an error code, as UTF-8 without its closing full stop and line break.
std::string systemReason(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide = length > 0 && text ? std::wstring(text, length) : L"error " + std::to_wstring(error);
    if (text)
        LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.' || wide.back() == L' '))
        wide.pop_back();
    return toUtf8(wide);
}

bool isMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) { }
    ~Handle()
    {
        if (ok())
            CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool ok() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }
    HANDLE release() { return std::exchange(m_handle, INVALID_HANDLE_VALUE); }

private:
    HANDLE m_handle;
};

bool isFolder(const fs::path& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool writeAll(HANDLE handle, std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = DWORD(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

// A name beside `target` that no file has yet, created empty: ".<name>.<number>".
Handle createTemporary(const fs::path& target, fs::path& temp)
{
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        temp = folder /
            (L"." + target.filename().wstring() + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount() + attempt));
        Handle handle(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (handle.ok() || GetLastError() != ERROR_FILE_EXISTS)
            return Handle(handle.release());
    }
    SetLastError(ERROR_FILE_EXISTS);
    return Handle(INVALID_HANDLE_VALUE);
}

}  // namespace

InputFile::InputFile(const fs::path& path) : m_native(-1), m_size(0), m_path(path)
{
    // Backup semantics let a folder be opened too, so that it is told apart from a file that
    // cannot be read.
    Handle handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.ok()) {
        const DWORD error = GetLastError();
        if (isMissing(error))
            throw RunTimeError(kErrFileNotFound, kMsgFileNotFound);
        accessError(systemReason(error));
    }
    if (GetFileType(handle.get()) != FILE_TYPE_DISK)
        accessError(kNotRegularReason);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.get(), &info))
        accessError(systemReason(GetLastError()));
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        accessError(kFolderReason);
    m_size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    m_native = reinterpret_cast<std::intptr_t>(handle.release());
}

InputFile::~InputFile()
{
    if (m_native != -1)
        CloseHandle(reinterpret_cast<HANDLE>(m_native));
}

std::size_t InputFile::readAt(std::uint64_t offset, std::span<std::uint8_t> bytes) const
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::uint64_t at = offset + done;
        OVERLAPPED where{};
        where.Offset = DWORD(at);
        where.OffsetHigh = DWORD(at >> 32);
        const DWORD chunk = DWORD(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(m_native), bytes.data() + done, chunk, &got, &where)) {
            const DWORD error = GetLastError();
            if (error == ERROR_HANDLE_EOF)
                break;
            accessError(systemReason(error));
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

void replaceFile(const fs::path& path, std::span<const std::uint8_t> bytes)
{
    // ReplaceFileW is given full names: Wine's fails with "directory name invalid" on a relative
    // name or one without a drive, where creating and moving files take them.
    std::error_code ec;
    fs::path target = linkTarget(path);
    if (fs::path full = fs::absolute(target, ec); !ec)
        target = std::move(full);
    const bool replacing = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (isFolder(target))
        destinationError(path, kFolderReason);

    fs::path temp;
    Handle handle = createTemporary(target, temp);
    if (!handle.ok())
        destinationError(path, "cannot write in its folder (" + systemReason(GetLastError()) + ")");
    DWORD error = 0;
    if (!writeAll(handle.get(), bytes))
        error = GetLastError();
    if (!CloseHandle(handle.release()) && error == 0)
        error = GetLastError();
    if (error == 0) {
        const BOOL moved = replacing
            ? ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
            : MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!moved)
            error = GetLastError();
    }
    if (error != 0) {
        DeleteFileW(temp.c_str());
        destinationError(path, "cannot be written (" + systemReason(error) + ")");
    }
}

NewFile createNewFile(const fs::path& path)
{
    Handle handle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.ok()) {
        const DWORD error = GetLastError();
        if ((error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) && !isFolder(path))
            return nullptr;
        newFileError(path);
    }
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle.get()), _O_WRONLY | _O_BINARY);
    if (fd == -1)
        newFileError(path);
    handle.release();  // the descriptor owns it now
    NewFile file(_fdopen(fd, "wb"));
    if (!file) {
        _close(fd);
        newFileError(path);
    }
    return file;
}

fs::path executableFolder()
{
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
        if (length == 0)
            return fs::current_path();
        if (length < name.size()) {
            name.resize(length);
            return fs::path(name).parent_path();
        }
        name.resize(name.size() * 2);
    }
}

bool folderIsWritable(const fs::path& folder)
{
    fs::path probe;
    {
        const Handle handle = createTemporary(folder / L"tavrenix-probe", probe);
        if (!handle.ok())
            return false;
    }
    DeleteFileW(probe.c_str());
    return true;
}

fs::path privateCacheFolder()
{
    if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local && *local)
        return fs::path(local) / L"Tavrenix";
    return {};
}

}  // namespace tav
