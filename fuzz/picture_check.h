// What every picture decoder promises, checked after each fuzz input: a refusal is the
// invalid-picture error and nothing else, and a bitmap that comes out is within the size limits
// and has a depth the loader documents.
#pragma once

#include "fuzz_support.h"
#include "platform/dib.h"
#include "platform/picture.h"
#include "platform/picture_decoders.h"
#include "platform/run_time_error.h"

#include <memory>
#include <span>
#include <string>

namespace tav::fuzz {

inline void checkBitmap(const DIBSection* bitmap)
{
    FUZZ_CHECK(bitmap != nullptr);
    FUZZ_CHECK(bitmap->width() > 0 && bitmap->width() <= kMaxPictureSide);
    FUZZ_CHECK(bitmap->height() > 0 && bitmap->height() <= kMaxPictureSide);
    FUZZ_CHECK(std::int64_t(bitmap->width()) * bitmap->height() <= kMaxPicturePixels);
    const int bits = bitmap->bitCount();
    FUZZ_CHECK(bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

// A refusal names the file first: "PATH: problem", or "PATH is a HEIC picture; ..." for a
// format that is recognised but not read.
inline bool namesTheFile(const std::string& message, const std::string& path)
{
    return message.rfind(path + ": ", 0) == 0 || message.rfind(path + " is ", 0) == 0;
}

// Runs one decoder on the input; any exception but the invalid-picture error escapes to the engine.
template <typename Decoder> void decodeOnce(Decoder decode, const std::uint8_t* data, std::size_t size)
{
    try {
        const std::unique_ptr<DIBSection> bitmap = decode(std::span<const std::uint8_t>(data, size), PictureOptions{}).bitmap;
        checkBitmap(bitmap.get());
    } catch (const RunTimeError& e) {
        FUZZ_CHECK(e.number() == kErrInvalidPicture);
    }
}

}  // namespace tav::fuzz
