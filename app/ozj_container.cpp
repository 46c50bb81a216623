#include "app/ozj_container.h"
#include "platform/program_environment.h"

#include "platform/file_access.h"
#include "platform/run_time_error.h"

#include <algorithm>
#include <string>

namespace tav {

namespace {

constexpr std::uint8_t kStartOfImage[2] = {0xFF, 0xD8};

}  // namespace

std::vector<std::uint8_t> wrapOzj(std::span<const std::uint8_t> jpeg)
{
    if (jpeg.size() < kOzjHeaderSize)
        throw RunTimeError(kErrBadFileFormat, std::string(kMsgBadFileFormat) + ": " + std::to_string(jpeg.size()) +
                " bytes are too short for a container, which copies the first 24");
    std::vector<std::uint8_t> ozj(jpeg.size() + kOzjHeaderSize);
    std::copy_n(jpeg.data(), kOzjHeaderSize, ozj.data());
    std::copy_n(jpeg.data(), jpeg.size(), ozj.data() + kOzjHeaderSize);
    return ozj;
}

std::vector<std::uint8_t> unwrapOzj(std::span<const std::uint8_t> ozj)
{
    const auto bad = [](const char* why) {
        return RunTimeError(kErrBadFileFormat, std::string(kMsgBadFileFormat) + ": " + why);
    };
    if (ozj.size() < 2 * kOzjHeaderSize)
        throw bad("too short to be a container");
    const auto jpeg = ozj.subspan(kOzjHeaderSize);
    if (!std::equal(jpeg.begin(), jpeg.begin() + 2, kStartOfImage))
        throw bad("no JPEG after the 24-byte header");
    if (!std::equal(ozj.begin(), ozj.begin() + kOzjHeaderSize, jpeg.begin()))
        throw bad("the header is not a copy of the JPEG's first 24 bytes");
    return {jpeg.begin(), jpeg.end()};
}

void WriteOzj(const std::filesystem::path& jpegPath, const std::filesystem::path& ozjPath)
{
    const std::vector<std::uint8_t> jpeg = readWholeFile(jpegPath);
    std::vector<std::uint8_t> ozj;
    try {
        ozj = wrapOzj(jpeg);
    } catch (const RunTimeError& e) {
        throw RunTimeError(e.number(), utf8(jpegPath) + ": " + e.what());
    }
    replaceFile(ozjPath, ozj);
    // The intermediate has done its work; one that cannot be removed is removed before the
    // next export of the same name anyway.
    std::error_code ignored;
    std::filesystem::remove(jpegPath, ignored);
}

}  // namespace tav
