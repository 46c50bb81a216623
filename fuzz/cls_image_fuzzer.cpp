// Fuzzes clsImage::ReadImageInfo, the header reader. A readable file gives a format code of the
// table and its own length, or one of the documented errors: 6 (a depth or length that does not
// fit) and 9 (the file ends inside the header it was recognised as).
#include "fuzz_support.h"
#include "image/cls_image.h"
#include "platform/run_time_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static tav::fuzz::MemoryFile file;
    tav::clsImage info;
    try {
        info.ReadImageInfo(file.fill(data, size));
        FUZZ_CHECK(info.ImageType() >= tav::kImageUnknown && info.ImageType() <= tav::kImageTiff);
        FUZZ_CHECK(info.FileSize() == std::int32_t(size));
    } catch (const tav::RunTimeError& e) {
        FUZZ_CHECK(e.number() == tav::kErrOverflow || e.number() == tav::kErrSubscriptOutOfRange);
        FUZZ_CHECK(!tav::describeReadError(e, info).empty());
    }
    return 0;
}
