// Atomic file replacement: mkstemp in the destination folder, write, move into place. No fsync:
// it cost 1 to 8 ms a file, more than encoding a startup logo, and no image tool waits for the
// disk; moving the whole file into place keeps other programs (and a crash of this one) from
// ever seeing a partial file.
#include "app/file_output.h"

#include "platform/run_time_error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tav {

namespace {

[[noreturn]] void accessError(const std::filesystem::path& path, const std::string& reason)
{
    throw RunTimeError(kErrPathFileAccess, path.string() + ": " + reason);
}

// Puts the written file in the place of `path`; 0 or -1 with errno. A rename over an existing
// file makes ext4 start writing the new one out at once (its auto_da_alloc), 0.1 to 0.4 ms a
// file here: a partial fsync, which this file does without (see the top). Exchanging the two
// names and then removing the old file is as atomic for every reader, and leaves the writing to
// the kernel, as for a file that did not exist before.
int moveIntoPlace(const std::string& temp, const std::filesystem::path& path)
{
#ifdef RENAME_EXCHANGE
    std::error_code ec;
    const auto exchange = [&] {
        return ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0;
    };
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec)) && exchange()) {
        // The older file has the temporary name now.
        if (::unlink(temp.c_str()) == 0 || errno != EISDIR)
            return 0;
        // A folder took the file's place meanwhile: it gets its name back, as a rename fails.
        exchange();
        errno = EISDIR;
        return -1;
    }
    // No file there (or a link, or a file system that cannot exchange): a plain rename.
#endif
    return std::rename(temp.c_str(), path.c_str());
}

}  // namespace

void writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        accessError(path, "is a folder, not a file");
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string hidden = ".";
    hidden += path.filename().string();
    hidden += ".XXXXXX";
    std::string temp = (folder / hidden).string();
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        accessError(path, std::string("cannot write in its folder (") + std::strerror(errno) + ")");

    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size() && error == 0) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            done += std::size_t(n);
    }
    // The new file gets the permissions an ordinary new file would have, not mkstemp's 0600.
    const mode_t mask = umask(0);
    umask(mask);
    if (error == 0 && fchmod(fd, 0666 & ~mask) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && moveIntoPlace(temp, path) != 0)
        error = errno;
    if (error != 0) {
        std::remove(temp.c_str());
        accessError(path, std::string("cannot be written (") + std::strerror(error) + ")");
    }
}

std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& path)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        throw RunTimeError(kErrFileNotFound, path.string() + ": " + kMsgFileNotFound);
    if (std::filesystem::is_directory(path, ec))
        accessError(path, "is a folder, not a file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        accessError(path, "cannot be opened for reading");
    std::vector<std::uint8_t> bytes;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0);
    if (size > 0) {
        bytes.resize(std::size_t(size));
        in.read(reinterpret_cast<char*>(bytes.data()), size);
    }
    if (!in)
        accessError(path, "cannot be read");
    return bytes;
}

}  // namespace tav
