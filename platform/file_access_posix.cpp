// The file rules on POSIX systems: open(2) with O_NONBLOCK (a FIFO opened without it waits
// for a writer) and fstat on the descriptor opened, so what is checked is what is read; pread,
// so that several readers of one file never move each other's position; mkstemp + rename for
// replacing.
#include "file_access.h"
#include "file_access_internal.h"

#include "run_time_error.h"

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
using namespace file_access;

namespace {

const char* notRegularReason(mode_t mode) { return S_ISDIR(mode) ? kFolderReason : kNotRegularReason; }

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

InputFile::InputFile(const fs::path& path) : m_native(-1), m_size(0), m_path(path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw RunTimeError(kErrFileNotFound, kMsgFileNotFound);
        accessError(std::strerror(errno));
    }
    struct stat info { };
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        accessError(std::strerror(error));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        accessError(notRegularReason(info.st_mode));
    }
    m_native = fd;
    m_size = std::uint64_t(info.st_size);
}

InputFile::~InputFile()
{
    if (m_native >= 0)
        ::close(int(m_native));
}

std::size_t InputFile::readAt(std::uint64_t offset, std::span<std::uint8_t> bytes) const
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::pread(int(m_native), bytes.data() + done, bytes.size() - done, off_t(offset + done));
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

NewFile createNewFile(const fs::path& path)
{
    NewFile file(std::fopen(path.c_str(), "wbx"));
    if (!file) {
        const int reason = errno;
        std::error_code error;
        if (reason == EEXIST && !fs::is_directory(path, error))
            return nullptr;
        newFileError(path);
    }
    return file;
}

fs::path executableFolder()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : exe.parent_path();
}

bool folderIsWritable(const fs::path& folder)
{
    std::string probe = (folder / ".tavrenix-probe.XXXXXX").string();
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

fs::path privateCacheFolder()
{
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg)
        return fs::path(xdg) / "tavrenix";
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".cache" / "tavrenix";
    return {};
}

}  // namespace tav
