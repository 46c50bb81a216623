// Fuzzes the TIFF decoder behind LoadPicture on raw bytes. See picture_check.h for what is checked.
#include "picture_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tav::fuzz::decodeOnce(tav::decodeTiff, data, size);
    return 0;
}
