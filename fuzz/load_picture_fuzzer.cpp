// Fuzzes LoadPicture as a whole: reading the file, recognising the format by its signature and
// the four decoders behind it. A file that exists and can be read is either a picture within the
// limits or refused with the invalid-picture error, whose message names the file.
#include "picture_check.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static tav::fuzz::MemoryFile file;
    const std::string& path = file.fill(data, size);
    try {
        const std::unique_ptr<tav::Picture> picture = tav::LoadPicture(path);
        FUZZ_CHECK(picture != nullptr);
        tav::fuzz::checkBitmap(picture->Handle());
    } catch (const tav::RunTimeError& e) {
        FUZZ_CHECK(e.number() == tav::kErrInvalidPicture);
        FUZZ_CHECK(tav::fuzz::namesTheFile(e.what(), path));
    }
    return 0;
}
