// PNG writer: the pixels go row by row through libpng into memory, and the finished file
// through the file module's replaceFile, so that a failure at any point leaves no file cut
// short where the user expects a picture.
//
// libpng reports errors by longjmp. The call into it sits in one small function that owns the
// setjmp and holds no C++ object with a destructor; the failure is turned into our error
// outside it (as the PNG reader does, picture_png.cpp).
#include "png_file.h"

#include "file_access.h"
#include "program_environment.h"
#include "run_time_error.h"

#include <png.h>

#include <cstdio>
#include <new>
#include <span>
#include <vector>

namespace tav {

namespace {

struct Session {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<std::uint8_t> file;  // the encoded bytes so far
    std::vector<png_byte> row;       // one row as R, G, B
    char message[256] = {};

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

void onError(png_structp png, png_const_charp text)
{
    auto* s = static_cast<Session*>(png_get_error_ptr(png));
    std::snprintf(s->message, sizeof s->message, "%s", text ? text : "unknown libpng error");
    png_longjmp(png, 1);
}

// Nothing libpng warns about when writing changes the file it writes.
void onWarning(png_structp, png_const_charp) {}

// False when the memory for the bytes cannot be had; the caller then raises libpng's error,
// outside any C++ scope.
bool append(Session& s, const png_byte* data, std::size_t length) noexcept
{
    try {
        s.file.insert(s.file.end(), data, data + length);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void writeToMemory(png_structp png, png_bytep data, png_size_t length)
{
    if (!append(*static_cast<Session*>(png_get_io_ptr(png)), data, length))
        png_error(png, "out of memory");
}

void flushMemory(png_structp) {}

// Encodes the whole picture into s.file. False on failure, with libpng's message in s.message.
bool encode(Session& s, int width, int height, const std::uint32_t* pixels)
{
    if (setjmp(png_jmpbuf(s.png)))
        return false;
    png_set_write_fn(s.png, &s, writeToMemory, flushMemory);
    png_set_IHDR(s.png, s.info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(s.png, s.info);
    png_byte* out = s.row.data();
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* in = pixels + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x) {
            out[3 * x] = png_byte(in[x] >> 16);
            out[3 * x + 1] = png_byte(in[x] >> 8);
            out[3 * x + 2] = png_byte(in[x]);
        }
        png_write_row(s.png, out);
    }
    png_write_end(s.png, s.info);
    return true;
}

[[noreturn]] void cannotEncode(const std::string& path, const char* why)
{
    throw RunTimeError(kErrPathFileAccess, path + ": cannot be written as a PNG picture (" + why + ")");
}

}  // namespace

void writePng(const std::string& path, int width, int height, const std::uint32_t* pixels)
{
    if (width <= 0 || height <= 0 || !pixels) {
        throw RunTimeError(kErrInvalidPicture, path + ": " + kMsgInvalidPicture + " (" + std::to_string(width) +
                " x " + std::to_string(height) + " pixels)");
    }
    Session s;
    // Three bytes a pixel, counted in 64 bits, where no int width overflows.
    s.row.resize(std::size_t(std::int64_t(width) * 3));
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s, onError, onWarning);
    if (!s.png)
        cannotEncode(path, "libpng could not be initialised");
    s.info = png_create_info_struct(s.png);
    if (!s.info)
        cannotEncode(path, "libpng could not be initialised");
    if (!encode(s, width, height, pixels))
        cannotEncode(path, s.message);
    replaceFile(pathFromUtf8(path), std::span<const std::uint8_t>(s.file));
}

}  // namespace tav
