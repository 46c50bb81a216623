// GIF reader: the first image of a GIF file, through giflib's record-level API.
//
// The picture is the GIF's logical screen (its size from the screen descriptor), transparent,
// with the first image drawn at its offset and clipped to the screen. Pixels of the transparent
// index of the image's graphic control extension stay transparent; what is transparent shows
// the background of the options. Interlaced images arrive in the
// four passes of GIF89a appendix E (rows 0, 8, 16 ...; 4, 12 ...; 2, 6 ...; 1, 3 ...).
// Records after the first image are never read, so a long animation costs one frame. An
// index past the colour table (the format leaves it undefined) shows black.
#include "picture_decoders.h"

#include "picture.h"
#include "transparency.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace tav {

namespace {

struct MemorySource {
    std::span<const std::uint8_t> data;
    std::size_t position = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* buffer, int length)
{
    auto* source = static_cast<MemorySource*>(gif->UserData);
    if (length <= 0)
        return 0;
    const std::size_t n = std::min(std::size_t(length), source->data.size() - source->position);
    std::memcpy(buffer, source->data.data() + source->position, n);
    source->position += n;
    return int(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

[[noreturn]] void invalidGif(const std::string& problem) { invalidPicture(("GIF: " + problem).c_str()); }

[[noreturn]] void giflibFailed(int error)
{
    const char* text = GifErrorString(error);
    invalidGif(text ? text : "unknown giflib error " + std::to_string(error));
}

constexpr int kInterlaceStart[] = {0, 4, 2, 1};
constexpr int kInterlaceStep[] = {8, 8, 4, 2};

// Draws the current image of `gif` onto the screen bitmap, which shows the background.
void drawImage(GifFileType* gif, int transparent, DIBSection& screen)
{
    const GifImageDesc& image = gif->Image;
    const ColorMapObject* colorMap = image.ColorMap ? image.ColorMap : gif->SColorMap;
    if (!colorMap)
        invalidGif("the first image has no colour table");

    // One BGR triple per index, decided before the pixel loop.
    std::uint8_t palette[256][3] = {};
    for (int i = 0; i < std::min(colorMap->ColorCount, 256); ++i) {
        palette[i][0] = colorMap->Colors[i].Blue;
        palette[i][1] = colorMap->Colors[i].Green;
        palette[i][2] = colorMap->Colors[i].Red;
    }
    const bool transparentUsed = transparent >= 0 && transparent < 256;

    const int width = image.Width;
    const int height = image.Height;
    if (width <= 0 || height <= 0)
        return;  // nothing to draw (and no pixel data to read)
    // Every pixel of the image is decoded, even those off the screen: the same limit holds.
    checkPictureSize(width, height);
    // The columns of the image that land on the screen.
    const int firstColumn = std::max(0, -image.Left);
    const int endColumn = std::min(width, screen.width() - image.Left);

    std::vector<GifPixelType> line(static_cast<std::size_t>(width));
    const int passes = image.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = image.Interlace ? kInterlaceStart[pass] : 0;
        const int step = image.Interlace ? kInterlaceStep[pass] : 1;
        for (int y = start; y < height; y += step) {
            if (DGifGetLine(gif, line.data(), width) == GIF_ERROR)
                giflibFailed(gif->Error);
            const int screenRow = image.Top + y;
            if (screenRow >= screen.height() || firstColumn >= endColumn)
                continue;
            std::uint8_t* out = screen.row(screenRow) + 3 * std::ptrdiff_t(image.Left + firstColumn);
            for (int x = firstColumn; x < endColumn; ++x, out += 3) {
                const GifPixelType index = line[std::size_t(x)];
                if (transparentUsed && index == transparent)
                    continue;  // the background shows through
                std::memcpy(out, palette[index], 3);
            }
        }
    }
}

}  // namespace

DecodedPicture decodeGif(std::span<const std::uint8_t> data, const PictureOptions& options)
{
    MemorySource source{data, 0};
    int error = 0;
    GifPtr gif(DGifOpen(&source, readFromMemory, &error));
    if (!gif)
        giflibFailed(error);

    checkPictureSize(gif->SWidth, gif->SHeight);
    auto screen = DIBSection::create(makeBitmapInfo(gif->SWidth, gif->SHeight, 24));
    if (!screen)
        invalidGif("not enough memory for the picture");
    const BgrPixel background = bgrOf(options.background);
    for (int y = 0; y < screen->height(); ++y) {
        std::uint8_t* p = screen->row(y);
        for (int x = 0; x < screen->width(); ++x, p += 3)
            std::memcpy(p, &background, 3);
    }

    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR)
            giflibFailed(gif->Error);
        switch (record) {
        case IMAGE_DESC_RECORD_TYPE:
            if (DGifGetImageHeader(gif.get()) == GIF_ERROR)
                giflibFailed(gif->Error);
            drawImage(gif.get(), transparent, *screen);
            return DecodedPicture{std::move(screen), 1, {}};
        case EXTENSION_RECORD_TYPE: {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR)
                giflibFailed(gif->Error);
            if (code == GRAPHICS_EXT_FUNC_CODE && block) {
                // A malformed control block is ignored: it only ever adds transparency.
                GraphicsControlBlock control{};
                if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                    transparent = control.TransparentColor;
            } else if (code == PLAINTEXT_EXT_FUNC_CODE) {
                transparent = NO_TRANSPARENT_COLOR;  // a control block governs the next graphic only
            }
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR)
                    giflibFailed(gif->Error);
            }
            break;
        }
        case TERMINATE_RECORD_TYPE: invalidGif("the file holds no image");
        default: invalidGif("unknown record in the file");
        }
    }
}

}  // namespace tav
