// Fuzzes the container unwrapping. A container that is accepted holds a JPEG that wraps back into
// exactly the same bytes; anything else is refused with the invalid-file-format error.
#include "app/ozj_container.h"
#include "fuzz_support.h"
#include "platform/run_time_error.h"

#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> ozj(data, size);
    try {
        const std::vector<std::uint8_t> jpeg = tav::unwrapOzj(ozj);
        FUZZ_CHECK(jpeg.size() + tav::kOzjHeaderSize == size);
        const std::vector<std::uint8_t> again = tav::wrapOzj(jpeg);
        FUZZ_CHECK(std::equal(again.begin(), again.end(), ozj.begin(), ozj.end()));
    } catch (const tav::RunTimeError& e) {
        FUZZ_CHECK(e.number() == tav::kErrBadFileFormat);
    }
    return 0;
}
