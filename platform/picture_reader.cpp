// Picture files read row by row. The file is opened as every file is (53 missing, 75 not a
// readable regular file; 481 not a picture or damaged) and recognised by its signature; JPEG
// and plain 24-bit BMP files are read incrementally, every other picture through LoadPicture. The rows handed out live in a small ring of buffers, so
// the memory used does not grow with the picture.
#include "picture_reader.h"
#include "program_environment.h"

#include "file_access.h"
#include "picture.h"
#include "picture_decoders.h"
#include "jpeg_row_decoder.h"
#include "orientation.h"
#include "pixel_rows.h"
#include "run_time_error.h"

#include <algorithm>
#include <new>
#include <optional>
#include <span>
#include <system_error>


namespace tav {

namespace {

// Enough of the file to hold every header and colour table a BMP can have.
constexpr std::size_t kHeadBytes = 64 * 1024;
// Files longer than this are refused by LoadPicture; they go that way to get its answer.
constexpr std::uint64_t kMaxStreamedFileBytes = 0x7FFFFFFF;

class JpegReader final : public PictureReader {
public:
    JpegReader(std::filesystem::path path, std::unique_ptr<JpegRowDecoder> decoder)
        : PictureReader(std::move(path), decoder->width(), decoder->height(), decoder->denominator())
        , m_decoder(std::move(decoder))
    {
        m_warnings = m_decoder->warnings();
    }

private:
    void readRows(int, int count, std::uint8_t* const* rows) override
    {
        try {
            m_decoder->read(rows, count);
        } catch (const RunTimeError& e) {
            fail(e.what(), e.number());
        }
    }

    std::unique_ptr<JpegRowDecoder> m_decoder;
};

// Rows are read straight from the file into the ring: no copy of the whole pixel array.
class BmpReader final : public PictureReader {
public:
    BmpReader(InputFile file, const BmpRows24& layout)
        : PictureReader(file.path(), layout.width, layout.height, 1)
        , m_file(std::move(file))
        , m_layout(layout)
    {
    }
    bool rereadsCheaply() const override { return true; }

private:
    void readRows(int first, int count, std::uint8_t* const* rows) override
    {
        const std::size_t bytes = std::size_t(m_layout.width) * 3;
        for (int i = 0; i < count; ++i) {
            const int y = first + i;
            const std::uint64_t fileRow = m_layout.topDown ? std::uint64_t(y) : std::uint64_t(m_layout.height - 1 - y);
            std::size_t got = 0;
            try {
                got = m_file.readAt(m_layout.pixelOffset + fileRow * m_layout.stride, std::span(rows[i], bytes));
            } catch (const RunTimeError& e) {
                fail(e.what(), e.number());
            }
            // The file was cut short since it was opened.
            if (got < bytes)
                fail("BMP: pixel data truncated", kErrInvalidPicture);
        }
    }

    InputFile m_file;
    BmpRows24 m_layout;
};

// Any other picture: decoded whole by LoadPicture; 24-bit rows are handed out in place.
class BitmapReader final : public PictureReader {
public:
    BitmapReader(std::filesystem::path path, std::unique_ptr<Picture> picture, int denominator = 1)
        : PictureReader(std::move(path), picture->width(), picture->height(), denominator)
        , m_picture(std::move(picture))
        , m_row(std::size_t(m_picture->width()))
    {
        m_warnings = m_picture->warnings();
    }

private:
    const std::uint8_t* rowInPlace(int y) override
    {
        const DIBSection& bitmap = *m_picture->Handle();
        return bitmap.bitCount() == 24 ? bitmap.row(y) : nullptr;
    }

    void readRows(int first, int count, std::uint8_t* const* rows) override
    {
        const DIBSection& bitmap = *m_picture->Handle();
        for (int i = 0; i < count; ++i) {
            readRgbRow(bitmap, first + i, 0, bitmap.width(), m_row.data());
            std::uint8_t* out = rows[i];
            for (std::uint32_t rgb : m_row) {
                *out++ = std::uint8_t(rgb);
                *out++ = std::uint8_t(rgb >> 8);
                *out++ = std::uint8_t(rgb >> 16);
            }
        }
    }

    std::unique_ptr<Picture> m_picture;
    std::vector<std::uint32_t> m_row;
};

[[noreturn]] void fileError(int number, const char* text, const std::filesystem::path& path)
{
    throw RunTimeError(number, utf8(path) + ": " + text);
}

// A JPEG decoded whole, each band of stored rows put straight into the upright picture.
std::unique_ptr<Picture> uprightPicture(JpegRowDecoder& decoder)
{
    UprightPicture upright(decoder.width(), decoder.height(), decoder.orientation());
    if (!upright.bitmap())
        throw RunTimeError(kErrInvalidPicture, "not enough memory to decode the picture");
    constexpr int kBand = 32;
    const std::size_t rowBytes = 3 * std::size_t(decoder.width());
    std::vector<std::uint8_t> band(kBand * rowBytes);
    std::uint8_t* rows[kBand];
    for (int i = 0; i < kBand; ++i)
        rows[i] = &band[std::size_t(i) * rowBytes];
    for (int y = 0; y < decoder.height(); y += kBand) {
        const int count = std::min(kBand, decoder.height() - y);
        decoder.read(rows, count);
        upright.putStoredRows(y, rows, count);
    }
    return std::make_unique<Picture>(std::move(upright.bitmap()), decoder.warnings());
}

}  // namespace

PictureReader::PictureReader(std::filesystem::path path, int width, int height, int denominator)
    : m_path(std::move(path))
    , m_width(width)
    , m_height(height)
    , m_denominator(denominator)
    , m_rowBytes(std::size_t(width) * 3)
{
}

PictureReader::~PictureReader() = default;

void PictureReader::keepRows(int count)
{
    if (m_next > 0 || count < 1)
        raiseSubscriptOutOfRange();  // a positive count, before the first row
    m_kept = count;
}

const std::uint8_t* PictureReader::rowInPlace(int) { return nullptr; }

void PictureReader::fail(const char* problem, int number) const { fileError(number, problem, m_path); }

const std::uint8_t* PictureReader::row(int y)
{
    if (y < 0 || y >= m_height || y <= m_furthest - m_kept)
        raiseSubscriptOutOfRange();  // a row no longer or never held
    m_furthest = std::max(m_furthest, y);
    if (const std::uint8_t* inPlace = rowInPlace(y)) {
        m_next = std::max(m_next, y + 1);
        return inPlace;
    }
    // The ring has room for twice the rows kept: the rows up to y are read together with as
    // many after it as leave rows y - kept + 1 .. y in place, in runs of slots that do not wrap
    // round the ring. Fewer, larger reads.
    const int slots = 2 * m_kept;
    if (m_ring.empty()) {
        m_ring.resize(std::size_t(slots) * m_rowBytes);
        m_run.reserve(std::size_t(slots));
    }
    if (m_next <= y) {
        const int end = std::min(m_height, y + m_kept + 1);
        while (m_next < end) {
            const int slot = m_next % slots;
            const int count = std::min(end - m_next, slots - slot);
            m_run.clear();
            for (int i = 0; i < count; ++i)
                m_run.push_back(&m_ring[std::size_t(slot + i) * m_rowBytes]);
            readRows(m_next, count, m_run.data());
            m_next += count;
        }
    }
    return &m_ring[std::size_t(y % slots) * m_rowBytes];
}

std::unique_ptr<PictureReader> PictureReader::open(const std::filesystem::path& path, int targetWidth,
    int targetHeight, JpegScaling scaling, const PictureOptions& options)
{
    return open(openNamed(path), targetWidth, targetHeight, scaling, options);
}

std::unique_ptr<PictureReader> PictureReader::open(
    InputFile file, int targetWidth, int targetHeight, JpegScaling scaling, const PictureOptions& options)
{
    const std::filesystem::path path = file.path();
    const std::uint64_t fileSize = file.size();
    try {
        std::vector<std::uint8_t> head(kPictureSignatureBytes);
        head.resize(file.readAt(0, head));
        if (!head.empty() && fileSize <= kMaxStreamedFileBytes) {
            switch (sniffPictureFormat(head)) {
            case PictureFormat::Jpeg: {
                // The compressed data is read whole: a few bytes per pixel at most. A file cut
                // short since it was opened keeps what was read; the decoder says where it ends.
                std::vector<std::uint8_t> data;
                try {
                    data.resize(std::size_t(fileSize));
                } catch (const std::bad_alloc&) {
                    throw RunTimeError(kErrInvalidPicture, "not enough memory to decode the picture");
                }
                data.resize(file.readAt(0, std::span(data.data(), data.size())));
                const bool reduced = scaling == JpegScaling::Reduced;
                auto decoder = JpegRowDecoder::open(std::move(data), reduced ? targetWidth : 0,
                    reduced ? targetHeight : 0, options.applyOrientation);
                if (options.applyOrientation && decoder->orientation() != 1) {
                    const int denominator = decoder->denominator();
                    return std::make_unique<BitmapReader>(path, uprightPicture(*decoder), denominator);
                }
                return std::make_unique<JpegReader>(path, std::move(decoder));
            }
            case PictureFormat::Bmp: {
                head.resize(std::size_t(std::min<std::uint64_t>(kHeadBytes, fileSize)));
                head.resize(file.readAt(0, head));
                if (const std::optional<BmpRows24> layout = plainBmpRows24(head, fileSize))
                    return std::make_unique<BmpReader>(std::move(file), *layout);
                break;
            }
            default:
                break;
            }
        }
    } catch (const RunTimeError& e) {
        fileError(e.number(), e.what(), path);
    }
    return std::make_unique<BitmapReader>(path, LoadPicture(file, options));
}

}  // namespace tav
