// The program's one way of opening, reading and replacing files, so that every file it reads
// or writes follows the same rules whatever the caller:
//  - opening for reading never blocks and accepts only a regular file: a name that is not there
//    is error 53, a folder, pipe, device or socket, or a file that cannot be opened, error 75
//    with the system's reason;
//  - a file is replaced whole or not at all: the bytes go to a temporary file beside it, which
//    takes its name once everything is written. The new file keeps the old one's permission
//    bits, and a symbolic link is written through, so the link stays a link.
//
// The system calls behind them live in file_access_posix.cpp and file_access_windows.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

namespace tav {

// A regular file open for reading. Messages do not name the file; callers add the name.
class InputFile {
public:
    // Throws RunTimeError 53 ("File not found") or 75 ("Path/File access error: <reason>").
    explicit InputFile(const std::filesystem::path& path);
    ~InputFile();
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&&) = delete;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The length when it was opened.
    std::uint64_t size() const { return m_size; }

    // Reads up to `bytes.size()` bytes at `offset`; fewer only where the file ends. Throws
    // RunTimeError 75 when the system cannot read it.
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> bytes) const;
    // Everything from `offset` to the end as the file is now (it may have grown or shrunk
    // since it was opened). Throws RunTimeError 75 when it cannot be read, `tooLongNumber`
    // with `tooLongText` when more than `maxBytes` would have to be held.
    std::vector<std::uint8_t> readRest(std::uint64_t offset, std::uint64_t maxBytes, int tooLongNumber,
        const char* tooLongText) const;

private:
    std::intptr_t m_native;  // a file descriptor, or a Windows HANDLE; -1 when none
    std::uint64_t m_size;
    std::filesystem::path m_path;
};

// The file at `path` open for reading; the same errors as InputFile's, naming the file.
InputFile openNamed(const std::filesystem::path& path);

// The whole file at `path`. Throws RunTimeError 53 or 75 naming the file.
std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& path);

// Puts `bytes` in place of the file at `path` (or of the file a symbolic link there points
// to), creating it when there is none. Throws RunTimeError 75 "<path>: <reason>" when it
// cannot (a folder, pipe or device there, a folder that cannot be written, a full disk); an
// older file is then as it was and no temporary file is left.
void replaceFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// A file created at `path` for writing, never replacing one: null when anything but a folder
// already has that name. Throws RunTimeError 75 "<path>: Path/File access error" when it cannot
// be created (a folder of that name included).
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using NewFile = std::unique_ptr<std::FILE, FileCloser>;
NewFile createNewFile(const std::filesystem::path& path);

// The folder that holds the running program.
std::filesystem::path executableFolder();

// True when a file can be created in `folder` (tried, not guessed from permission bits).
bool folderIsWritable(const std::filesystem::path& folder);

// The program's private folder under the user's folder for cached files: "tavrenix" under
// $XDG_CACHE_HOME, else under ~/.cache; "Tavrenix" under %LOCALAPPDATA% on Windows. Empty when
// the environment names no such folder. Not created here.
std::filesystem::path privateCacheFolder();

}  // namespace tav
