#include "app/application_folder.h"

#include "platform/run_time_error.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace tav {

std::filesystem::path executableFolder()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path() : exe.parent_path();
}

bool folderIsWritable(const std::filesystem::path& folder)
{
    std::string probe = (folder / ".tavrenix-probe.XXXXXX").string();
    const int fd = mkstemp(probe.data());
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

std::filesystem::path applicationFolder(const std::filesystem::path& preferred)
{
    if (folderIsWritable(preferred))
        return preferred;
    std::filesystem::path cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg)
        cache = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        cache = std::filesystem::path(home) / ".cache";
    const std::filesystem::path fallback = cache.empty() ? cache : cache / "tavrenix";
    std::error_code ec;
    if (!fallback.empty()) {
        std::filesystem::create_directories(fallback, ec);
        if (folderIsWritable(fallback))
            return fallback;
    }
    throw RunTimeError(kErrPathFileAccess, "no folder for intermediate files: neither " + preferred.string() +
            (fallback.empty() ? std::string() : " nor " + fallback.string()) + " can be written");
}

}  // namespace tav
