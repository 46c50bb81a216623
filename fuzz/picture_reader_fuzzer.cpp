// Fuzzes the row-by-row picture reader (the JPEG row decoder at full and at reduced scale, the
// BMP rows read in runs, and the loader behind the other formats) against LoadPicture: a file
// is refused by both with the invalid-picture error or read by both, and at full scale a 24-bit
// picture's rows are the loaded bitmap's rows, byte for byte.
#include "picture_check.h"
#include "platform/picture_reader.h"

#include <cstring>
#include <string>

namespace {

void expectRefusal(const tav::RunTimeError& e, const std::string& path)
{
    FUZZ_CHECK(e.number() == tav::kErrInvalidPicture);
    FUZZ_CHECK(tav::fuzz::namesTheFile(e.what(), path));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static tav::fuzz::MemoryFile file;
    const std::string& path = file.fill(data, size);
    std::unique_ptr<tav::Picture> loaded;
    try {
        loaded = tav::LoadPicture(path);
    } catch (const tav::RunTimeError& e) {
        expectRefusal(e, path);
    }
    // Full scale, one row kept; then reduced for a small target, rows kept as a stretch keeps them.
    for (const bool reduced : {false, true}) {
        try {
            // Opening reads the headers only: a damage in the pixels is met by the rows.
            const auto reader = tav::PictureReader::open(
                path, 16, 12, reduced ? tav::JpegScaling::Reduced : tav::JpegScaling::Full);
            FUZZ_CHECK(reader->width() > 0 && reader->height() > 0);
            const tav::DIBSection* bitmap = loaded ? loaded->Handle() : nullptr;
            if (bitmap && !reduced) {
                FUZZ_CHECK(reader->width() == bitmap->width() && reader->height() == bitmap->height());
            }
            reader->keepRows(reduced ? 3 : 1);
            const bool compare = bitmap && !reduced && bitmap->bitCount() == 24;
            for (int y = 0; y < reader->height(); ++y) {
                const std::uint8_t* row = reader->row(y);
                if (compare)
                    FUZZ_CHECK(std::memcmp(row, bitmap->row(y), std::size_t(reader->width()) * 3) == 0);
            }
            // Every row read: the loader must have taken the picture too.
            FUZZ_CHECK(loaded != nullptr);
        } catch (const tav::RunTimeError& e) {
            // A damage the loader met as well, found while the rows are read.
            expectRefusal(e, path);
            FUZZ_CHECK(loaded == nullptr);
        }
    }
    return 0;
}
