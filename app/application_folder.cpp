#include "app/application_folder.h"
#include "platform/program_environment.h"

#include "platform/file_access.h"
#include "platform/run_time_error.h"

#include <string>

namespace tav {

std::filesystem::path applicationFolder(const std::filesystem::path& preferred)
{
    if (folderIsWritable(preferred))
        return preferred;
    const std::filesystem::path fallback = privateCacheFolder();
    std::error_code ec;
    if (!fallback.empty()) {
        std::filesystem::create_directories(fallback, ec);
        if (folderIsWritable(fallback))
            return fallback;
    }
    throw RunTimeError(kErrPathFileAccess, "no folder for intermediate files: neither " + utf8(preferred) +
            (fallback.empty() ? std::string() : " nor " + utf8(fallback)) + " can be written");
}

}  // namespace tav
