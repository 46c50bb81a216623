// Picture files read row by row. The file is opened with the same checks and error numbers as
// LoadPicture (53 missing, 75 not a readable regular file, 481 not a picture or damaged) and
// recognised by its signature; JPEG and plain 24-bit BMP files are read incrementally, every
// other picture through LoadPicture. The rows handed out live in a small ring of buffers, so
// the memory used does not grow with the picture.
#include "picture_reader.h"

#include "picture.h"
#include "picture_decoders.h"
#include "pixel_rows.h"
#include "run_time_error.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <system_error>

#include <climits>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace tav {

namespace {

// Enough of the file to hold every header and colour table a BMP can have.
constexpr std::size_t kHeadBytes = 64 * 1024;
// Files longer than this are refused by LoadPicture; they go that way to get its answer.
constexpr std::uint64_t kMaxStreamedFileBytes = 0x7FFFFFFF;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

class JpegReader final : public PictureReader {
public:
    JpegReader(std::filesystem::path path, std::unique_ptr<JpegRowDecoder> decoder)
        : PictureReader(std::move(path), decoder->width(), decoder->height(), decoder->denominator())
        , m_decoder(std::move(decoder))
    {
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
    BmpReader(std::filesystem::path path, FilePtr file, const BmpRows24& layout)
        : PictureReader(std::move(path), layout.width, layout.height, 1)
        , m_file(std::move(file))
        , m_layout(layout)
    {
    }
    bool rereadsCheaply() const override { return true; }

private:
    void readRows(int first, int count, std::uint8_t* const* rows) override
    {
        if (readRun(first, count, rows))
            return;
        // Row by row, which finds and names whatever went wrong.
        const std::size_t bytes = std::size_t(m_layout.width) * 3;
        for (int i = 0; i < count; ++i) {
            const int y = first + i;
            const std::uint64_t fileRow = m_layout.topDown ? std::uint64_t(y) : std::uint64_t(m_layout.height - 1 - y);
            const auto offset = off_t(m_layout.pixelOffset + fileRow * m_layout.stride);
            std::size_t done = 0;
            while (done < bytes) {
                const ssize_t got = ::pread(::fileno(m_file.get()), rows[i] + done, bytes - done, offset + off_t(done));
                if (got < 0 && errno == EINTR)
                    continue;
                if (got < 0)
                    fail(kMsgPathFileAccess, kErrPathFileAccess);
                // The file was cut short since it was opened.
                if (got == 0)
                    fail("BMP: pixel data truncated", kErrInvalidPicture);
                done += std::size_t(got);
            }
        }
    }

    // The rows in one system call: they lie next to each other in the file (in reverse order
    // when bottom-up), each followed by its padding, which goes to a scratch buffer. False when
    // fewer bytes came than asked for.
    bool readRun(int first, int count, std::uint8_t* const* rows)
    {
        const std::size_t bytes = std::size_t(m_layout.width) * 3;
        const std::size_t padding = std::size_t(m_layout.stride) - bytes;
        if (count <= 0 || 2 * std::size_t(count) > std::size_t(IOV_MAX) || padding > sizeof m_padding)
            return false;
        iovec parts[IOV_MAX];
        int used = 0;
        std::size_t total = 0;
        for (int k = 0; k < count; ++k) {
            // File order: top-down rows in order, bottom-up ones from the last of the run.
            const int i = m_layout.topDown ? k : count - 1 - k;
            parts[used++] = {rows[i], bytes};
            total += bytes;
            if (padding > 0 && k + 1 < count) {
                parts[used++] = {m_padding, padding};
                total += padding;
            }
        }
        const int lowest = m_layout.topDown ? first : first + count - 1;
        const std::uint64_t fileRow =
            m_layout.topDown ? std::uint64_t(lowest) : std::uint64_t(m_layout.height - 1 - lowest);
        const auto offset = off_t(m_layout.pixelOffset + fileRow * m_layout.stride);
        return ::preadv(::fileno(m_file.get()), parts, used, offset) == ssize_t(total);
    }

    FilePtr m_file;
    BmpRows24 m_layout;
    std::uint8_t m_padding[3];
};

// Any other picture: decoded whole by LoadPicture; 24-bit rows are handed out in place.
class BitmapReader final : public PictureReader {
public:
    BitmapReader(std::filesystem::path path, std::unique_ptr<Picture> picture)
        : PictureReader(std::move(path), picture->width(), picture->height(), 1)
        , m_picture(std::move(picture))
        , m_row(std::size_t(m_picture->width()))
    {
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
    throw RunTimeError(number, path.string() + ": " + text);
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
        throw std::logic_error("PictureReader::keepRows: set a positive count before the first row");
    m_kept = count;
}

const std::uint8_t* PictureReader::rowInPlace(int) { return nullptr; }

void PictureReader::fail(const char* problem, int number) const { fileError(number, problem, m_path); }

const std::uint8_t* PictureReader::row(int y)
{
    if (y < 0 || y >= m_height || y <= m_furthest - m_kept)
        throw std::logic_error("PictureReader::row: row " + std::to_string(y) + " is no longer or never held");
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

std::unique_ptr<PictureReader> PictureReader::open(
    const std::filesystem::path& path, int targetWidth, int targetHeight, JpegScaling scaling)
{
    // The checks of LoadPicture, in its order, so that every refusal reads the same.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        fileError(kErrFileNotFound, kMsgFileNotFound, path);
    if (ec || status.type() != std::filesystem::file_type::regular)
        fileError(kErrPathFileAccess, kMsgPathFileAccess, path);
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        if (errno == ENOENT)
            fileError(kErrFileNotFound, kMsgFileNotFound, path);
        fileError(kErrPathFileAccess, kMsgPathFileAccess, path);
    }
    struct stat info { };
    // The signature first: a JPEG is then read whole into its own buffer, and only a BMP reads
    // the rest of its head (fresh memory touched for nothing costs a page fault per 4 KB).
    std::vector<std::uint8_t> head(kPictureSignatureBytes);
    head.resize(std::fread(head.data(), 1, head.size(), file.get()));
    if (std::ferror(file.get()) || ::fstat(::fileno(file.get()), &info) != 0)
        fileError(kErrPathFileAccess, kMsgPathFileAccess, path);
    const auto fileSize = std::uint64_t(info.st_size);

    if (!head.empty() && fileSize <= kMaxStreamedFileBytes) {
        switch (sniffPictureFormat(head)) {
        case PictureFormat::Jpeg: {
            // The compressed data is read whole: a few bytes per pixel at most, and the decoder
            // may read its two halves at once.
            const std::size_t headBytes = head.size();
            UninitialisedBytes data;
            try {
                data.resize(std::max<std::size_t>(headBytes, std::size_t(fileSize)));
            } catch (const std::bad_alloc&) {
                fileError(kErrInvalidPicture, "not enough memory to decode the picture", path);
            }
            std::copy(head.begin(), head.end(), data.begin());
            // A file cut short since it was opened keeps what was read; the decoder says where it ends.
            data.resize(headBytes + std::fread(data.data() + headBytes, 1, data.size() - headBytes, file.get()));
            file.reset();
            const bool reduced = scaling == JpegScaling::Reduced;
            try {
                auto decoder =
                    JpegRowDecoder::open(std::move(data), reduced ? targetWidth : 0, reduced ? targetHeight : 0);
                return std::make_unique<JpegReader>(path, std::move(decoder));
            } catch (const RunTimeError& e) {
                fileError(e.number(), e.what(), path);
            }
        }
        case PictureFormat::Bmp: {
            const std::size_t signatureBytes = head.size();
            head.resize(kHeadBytes);
            head.resize(signatureBytes + std::fread(head.data() + signatureBytes, 1, kHeadBytes - signatureBytes, file.get()));
            if (std::ferror(file.get()))
                fileError(kErrPathFileAccess, kMsgPathFileAccess, path);
            if (const std::optional<BmpRows24> layout = plainBmpRows24(head, fileSize))
                return std::make_unique<BmpReader>(path, std::move(file), *layout);
            break;
        }
        default:
            break;
        }
    }
    file.reset();
    return std::make_unique<BitmapReader>(path, LoadPicture(path));
}

}  // namespace tav
