// A picture file read row by row, top to bottom, as 24-bit rows (blue, green, red), for work
// that needs each row once and never the whole picture at once, such as scaling it.
//
// The rows are the picture as LoadPicture shows it (upright, sRGB, transparency composed) under
// the same options. A JPEG is decoded a few rows at a time; it can be decoded at reduced scale
// when it is much larger than the size it is wanted at. One that must be turned upright is
// decoded whole (at that scale) and turned. An uncompressed 24-bit BMP is read from the file
// row by row into a few row buffers, never copied whole. Other pictures are loaded by
// LoadPicture and their rows handed out from its bitmap. Errors are LoadPicture's, with the same numbers and
// messages; a damage found in the middle of a JPEG is raised by the row whose reading meets it
// (rows are read a little ahead of the one asked for).
#pragma once

#include "dib.h"
#include "file_access.h"
#include "picture_decoders.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tav {

enum class JpegScaling {
    Full,  // every pixel of the file
    // A JPEG at least four times the target size on both axes is decoded at 1/2, 1/4 or 1/8 of
    // each side, the smallest that keeps at least twice the target size (libjpeg's DCT
    // scaling); see reducedScaleDenominator.
    Reduced,
};

class PictureReader {
public:
    // Opens `path`. The target size (of the upright picture) matters only for
    // JpegScaling::Reduced. Throws RunTimeError as LoadPicture does.
    static std::unique_ptr<PictureReader> open(const std::filesystem::path& path, int targetWidth = 0,
        int targetHeight = 0, JpegScaling scaling = JpegScaling::Full, const PictureOptions& options = {});
    // The same for a file already open, which the reader takes over.
    static std::unique_ptr<PictureReader> open(InputFile file, int targetWidth = 0, int targetHeight = 0,
        JpegScaling scaling = JpegScaling::Full, const PictureOptions& options = {});
    virtual ~PictureReader();
    PictureReader(const PictureReader&) = delete;
    PictureReader& operator=(const PictureReader&) = delete;

    // The size of the rows handed out; smaller than the file's own for a reduced JPEG.
    int width() const { return m_width; }
    int height() const { return m_height; }
    // 1, or the reduction of each side of a JPEG decoded at reduced scale.
    int denominator() const { return m_denominator; }
    // True when reading the rows again costs little more than reading the file (an uncompressed
    // BMP): a reader of several passes may then open the picture again rather than hold it.
    virtual bool rereadsCheaply() const { return false; }
    // What was passed over while decoding (a damaged colour profile, say).
    const std::vector<std::string>& warnings() const { return m_warnings; }

    // How many rows behind the furthest one asked for stay valid (at least 1). Set it before the
    // first row is asked for (error 9 otherwise).
    void keepRows(int count);

    // Row y (0 at the top) as width() pixels of 3 bytes. y must lie in [f - k + 1, height()),
    // f being the furthest row asked for so far and k the rows kept. The row stays valid until a
    // row k or more beyond it is asked for. Throws RunTimeError when the file turns out damaged,
    // error 9 for a row outside that range.
    const std::uint8_t* row(int y);

protected:
    PictureReader(std::filesystem::path path, int width, int height, int denominator);
    // Fills the rows first .. first + count - 1 (the next ones in order) into `rows`.
    virtual void readRows(int first, int count, std::uint8_t* const* rows) = 0;
    // A row that needs no copy (a bitmap in memory), else null.
    virtual const std::uint8_t* rowInPlace(int y);
    [[noreturn]] void fail(const char* problem, int number) const;

    std::filesystem::path m_path;
    std::vector<std::string> m_warnings;

private:
    int m_width;
    int m_height;
    int m_denominator;
    int m_kept = 1;
    int m_next = 0;  // the first row not read yet
    int m_furthest = -1;  // the furthest row asked for
    // 2 * m_kept rows of width * 3 bytes, row y in slot y mod 2 * m_kept; each slot is read
    // into before it is handed out, so the ring is never cleared (fresh memory is costly).
    std::vector<std::uint8_t> m_ring;
    // The slots of one read, kept between reads: the decoder's second thread shares the heap's
    // lock, and an allocation per read made it wait.
    std::vector<std::uint8_t*> m_run;
    std::size_t m_rowBytes;
};

}  // namespace tav
