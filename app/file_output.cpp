// Atomic file replacement: mkstemp in the destination folder, write, rename. There is no fsync:
// it cost 1 to 8 ms a file, more than encoding a startup logo, and no image tool waits for the
// disk; the rename alone keeps other programs (and a crash of this one) from ever seeing a
// partial file.
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
    if (error == 0 && std::rename(temp.c_str(), path.c_str()) != 0)
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
