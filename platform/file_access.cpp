// The file rules on POSIX systems: open(2) with O_NONBLOCK (a FIFO opened without it waits
// for a writer) and fstat on the descriptor opened, so what is checked is what is read; pread,
// so that several readers of one file never move each other's position; mkstemp + rename for
// replacing.
#include "file_access.h"

#include "run_time_error.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tav {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void accessError(const std::string& reason)
{
    throw RunTimeError(kErrPathFileAccess, std::string(kMsgPathFileAccess) + ": " + reason);
}

// A destination's errors name the file and the reason only: "IntroLogo.ozj: is a folder, not a file".
[[noreturn]] void destinationError(const fs::path& path, const std::string& reason)
{
    throw RunTimeError(kErrPathFileAccess, path.string() + ": " + reason);
}

const char* notRegularReason(mode_t mode)
{
    return S_ISDIR(mode) ? "is a folder, not a file" : "is not a regular file (a pipe, device or socket)";
}

// The file a chain of symbolic links at `path` ends in (`path` itself when it is no link).
fs::path linkTarget(const fs::path& path)
{
    fs::path target = path;
    // As many links as the system follows in one open.
    for (int links = 0; links < 40; ++links) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(target, ec)))
            return target;
        const fs::path next = fs::read_symlink(target, ec);
        if (ec)
            destinationError(path, ec.message());
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    destinationError(path, std::strerror(ELOOP));
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = EIO;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

}  // namespace

InputFile::InputFile(const fs::path& path) : m_fd(-1), m_size(0), m_path(path)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw RunTimeError(kErrFileNotFound, kMsgFileNotFound);
        accessError(std::strerror(errno));
    }
    struct stat info { };
    if (::fstat(m_fd, &info) != 0) {
        const int error = errno;
        ::close(m_fd);
        accessError(std::strerror(error));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(m_fd);
        accessError(notRegularReason(info.st_mode));
    }
    m_size = std::uint64_t(info.st_size);
}

InputFile::~InputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

InputFile::InputFile(InputFile&& other) noexcept
    : m_fd(other.m_fd), m_size(other.m_size), m_path(std::move(other.m_path))
{
    other.m_fd = -1;
}

std::size_t InputFile::readAt(std::uint64_t offset, std::span<std::uint8_t> bytes) const
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::pread(m_fd, bytes.data() + done, bytes.size() - done, off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            accessError(std::strerror(errno));
        if (got == 0)
            break;
        done += std::size_t(got);
    }
    return done;
}

std::vector<std::uint8_t> InputFile::readRest(std::uint64_t offset, std::uint64_t maxBytes, int tooLongNumber,
    const char* tooLongText) const
{
    // The length at opening is only a hint: the file is read until it ends, in one read when
    // the hint holds, then in chunks.
    constexpr std::uint64_t kChunk = 1 << 20;
    const std::uint64_t hint = m_size > offset ? m_size - offset : 0;
    std::vector<std::uint8_t> bytes;
    if (hint <= maxBytes)
        bytes.reserve(std::size_t(hint));
    for (;;) {
        const std::size_t used = bytes.size();
        if (used == hint && used > 0) {
            // Just as long as at opening, the usual case: one byte more tells whether it grew.
            std::uint8_t probe = 0;
            if (readAt(offset + used, std::span(&probe, 1)) == 0)
                return bytes;
            bytes.push_back(probe);
            continue;
        }
        const std::uint64_t want = std::min(used < hint ? hint - used : kChunk, maxBytes + 1 - used);
        bytes.resize(used + std::size_t(want));
        const std::size_t got = readAt(offset + used, std::span(bytes).subspan(used));
        bytes.resize(used + got);
        if (bytes.size() > maxBytes)
            throw RunTimeError(tooLongNumber, tooLongText);
        if (got < want)
            return bytes;
    }
}

InputFile openNamed(const fs::path& path)
{
    try {
        return InputFile(path);
    } catch (const RunTimeError& e) {
        throw RunTimeError(e.number(), path.string() + ": " + e.what());
    }
}

std::vector<std::uint8_t> readWholeFile(const fs::path& path)
{
    const InputFile file = openNamed(path);
    try {
        return file.readRest(0, std::uint64_t(PTRDIFF_MAX), kErrOutOfMemory, kMsgOutOfMemory);
    } catch (const RunTimeError& e) {
        throw RunTimeError(e.number(), path.string() + ": " + e.what());
    }
}

void replaceFile(const fs::path& path, std::span<const std::uint8_t> bytes)
{
    const fs::path target = linkTarget(path);
    struct stat old { };
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode))
        destinationError(path, notRegularReason(old.st_mode));

    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string hidden = ".";
    hidden += target.filename().string();
    hidden += ".XXXXXX";
    std::string temp = (folder / hidden).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        destinationError(path, std::string("cannot write in its folder (") + std::strerror(errno) + ")");

    // mkstemp makes the file 0600: it takes the old file's bits, or those of a new file.
    mode_t mode = old.st_mode & 07777;
    if (!replacing) {
        mode = ::umask(0);
        ::umask(mode);
        mode = 0666 & ~mode;
    }
    int error = 0;
    if (!writeAll(fd, bytes))
        error = errno;
    if (error == 0 && ::fchmod(fd, mode) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && std::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        destinationError(path, std::string("cannot be written (") + std::strerror(error) + ")");
    }
}

}  // namespace tav
