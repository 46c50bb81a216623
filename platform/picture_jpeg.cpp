// JPEG reader: libjpeg-turbo decodes every process it knows (baseline, extended, progressive,
// arithmetic) into 24-bit BGR rows with its default (accurate integer) IDCT and smooth
// upsampling, so its output matches TurboJPEG's for the same file byte for byte.
//
// Four-component files are read as CMYK (libjpeg turns YCCK into CMYK) and converted here.
// Files with an Adobe APP14 marker hold inverted CMYK, as Adobe's applications write it:
// the stored values are 255 - C and so on, so R = stored C * stored K / 255. Without that
// marker the values are plain, and R = (255 - C) * (255 - K) / 255. Rounded to nearest.
//
// libjpeg reports errors by longjmp. Each call into it sits in a small function that owns
// the setjmp and holds no C++ object with a destructor; the failure is turned into our error
// outside it. libjpeg only warns about data that ends early or cannot be decoded (and fills
// the rest grey); those warnings are errors here, because a damaged picture must not pass. A
// file that lacks only its end-of-image marker is not damaged, and passes (see
// endOfFileIsHarmless).
#include "picture_decoders.h"

#include "picture.h"

#include "jpeg_scan_split.h"
#include "row_sharing.h"
#include "spin_wait.h"
#include "thread_placement.h"
#include "usable_cores.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

// jpeglib.h first: it brings the configuration that decides which messages jerror.h declares.
#include <jpeglib.h>
//
#include <jerror.h>

namespace tav {

namespace {

// A progressive file may hold any number of scans, each of which costs a pass over the whole
// coefficient buffer; a few hundred bytes of scan headers could otherwise keep us busy for
// minutes. Real files have about ten.
constexpr int kMaxScans = 1000;

// libjpeg's own working memory. A progressive or multi-scan file keeps every coefficient of
// the image (2 bytes per sample): 3 bytes per pixel for 4:2:0, 6 for 4:4:4, 8 for CMYK. A few
// hundred bytes of arithmetic-coded header can claim the largest picture and would make it
// take 1.2 to 1.6 GB on top of the 600 MB bitmap. Four bytes per pixel of the largest picture
// keep every 4:2:0 and 4:2:2 file within the size limits readable; over this, libjpeg stops
// with "backing store not supported" (no temporary files here), reported below as a clear
// refusal before the memory is allocated.
constexpr long kMaxWorkingMemory = 4 * long(kMaxPicturePixels);

struct ErrorManager {
    jpeg_error_mgr pub;  // first, so libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// The decompressor and what its callbacks reach; destroyed by the owner, never inside a
// function that may longjmp.
class Session {
public:
    Session()
    {
        std::memset(&m_cinfo, 0, sizeof m_cinfo);
        std::memset(&m_progress, 0, sizeof m_progress);
        std::memset(m_err.message, 0, sizeof m_err.message);
    }
    ~Session() { jpeg_destroy_decompress(&m_cinfo); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    jpeg_decompress_struct m_cinfo;
    ErrorManager m_err;
    jpeg_progress_mgr m_progress;
};

[[noreturn]] void failWith(j_common_ptr cinfo, const char* text)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::snprintf(err->message, sizeof err->message, "%s", text);
    std::longjmp(err->jump, 1);
}

void errorExit(j_common_ptr cinfo)
{
    char text[JMSG_LENGTH_MAX];
    if (cinfo->err->msg_code == JERR_NO_BACKING_STORE) {
        std::snprintf(text, sizeof text, "the picture needs more than %ld MB of working memory to decode",
            kMaxWorkingMemory / 1'000'000);
        failWith(cinfo, text);
    }
    (*cinfo->err->format_message)(cinfo, text);
    failWith(cinfo, text);
}

// A file whose scan data is complete but whose end-of-image marker is missing is common, and
// every viewer shows it; libjpeg then warns only that the file ends. Data cut short inside a
// Huffman-coded scan is still found, by the warning that the scan's bits ran out. So the end
// of the file passes only for a sequential Huffman file whose scan holds every component:
// no later scan can be missing there, and arithmetic coding, which never warns of running out,
// plays no part.
bool endOfFileIsHarmless(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return false;
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    return !d->progressive_mode && !d->arith_code && d->comps_in_scan == d->num_components;
}

bool fatalWarning(j_common_ptr cinfo, int code)
{
    switch (code) {
    case JWRN_JPEG_EOF:        // the file ends early
        return !endOfFileIsHarmless(cinfo);
    case JWRN_HIT_MARKER:      // a scan's data ends early
    case JWRN_HUFF_BAD_CODE:   // entropy-coded data is garbage
    case JWRN_ARITH_BAD_CODE:  //
    case JWRN_MUST_RESYNC:     // a restart marker is missing or out of order
        return true;
    default: return false;
    }
}

void emitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;  // trace messages
    if (fatalWarning(cinfo, cinfo->err->msg_code))
        errorExit(cinfo);
    ++cinfo->err->num_warnings;  // harmless ones (extraneous bytes, unknown markers) pass quietly
}

void progressMonitor(j_common_ptr cinfo)
{
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        failWith(cinfo, "too many scans");
}

bool isCmyk(J_COLOR_SPACE space) { return space == JCS_CMYK || space == JCS_YCCK; }

// A stream in two pieces of memory, read one after the other: the lower part of a split picture.
struct TwoPieceSource {
    jpeg_source_mgr pub;  // first, so libjpeg's pointer to it is a pointer to the whole
    std::span<const std::uint8_t> second;
    bool secondGiven = false;
};

constexpr JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void initTwoPieces(j_decompress_ptr) { }
void termTwoPieces(j_decompress_ptr) { }

boolean fillTwoPieces(j_decompress_ptr cinfo)
{
    auto* source = reinterpret_cast<TwoPieceSource*>(cinfo->src);
    if (!source->secondGiven && !source->second.empty()) {
        source->secondGiven = true;
        source->pub.next_input_byte = source->second.data();
        source->pub.bytes_in_buffer = source->second.size();
        return TRUE;
    }
    // As libjpeg's own memory source: warn (an error here) and end the image.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source->pub.next_input_byte = kEndOfImage;
    source->pub.bytes_in_buffer = sizeof kEndOfImage;
    return TRUE;
}

void skipTwoPieces(j_decompress_ptr cinfo, long count)
{
    jpeg_source_mgr& pub = *cinfo->src;
    while (count > long(pub.bytes_in_buffer)) {
        count -= long(pub.bytes_in_buffer);
        fillTwoPieces(cinfo);
    }
    if (count > 0) {
        pub.next_input_byte += count;
        pub.bytes_in_buffer -= std::size_t(count);
    }
}

void attachTwoPieces(j_decompress_ptr cinfo, TwoPieceSource& source, std::span<const std::uint8_t> first)
{
    source.pub.init_source = initTwoPieces;
    source.pub.fill_input_buffer = fillTwoPieces;
    source.pub.skip_input_data = skipTwoPieces;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = termTwoPieces;
    source.pub.next_input_byte = first.data();
    source.pub.bytes_in_buffer = first.size();
    cinfo->src = &source.pub;
}

// Reads the headers from memory (`data`), or from two pieces of memory (`data`, then
// `pieces->second`), and chooses the output colour space. False on failure.
bool readHeader(Session& s, const std::uint8_t* data, std::size_t size, TwoPieceSource* pieces = nullptr)
{
    s.m_cinfo.err = jpeg_std_error(&s.m_err.pub);
    s.m_err.pub.error_exit = errorExit;
    s.m_err.pub.emit_message = emitMessage;
    if (setjmp(s.m_err.jump))
        return false;
    jpeg_create_decompress(&s.m_cinfo);
    s.m_cinfo.mem->max_memory_to_use = kMaxWorkingMemory;
    s.m_progress.progress_monitor = progressMonitor;
    s.m_cinfo.progress = &s.m_progress;
    if (pieces)
        attachTwoPieces(&s.m_cinfo, *pieces, {data, size});
    else
        jpeg_mem_src(&s.m_cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&s.m_cinfo, TRUE);
    s.m_cinfo.out_color_space = isCmyk(s.m_cinfo.jpeg_color_space) ? JCS_CMYK : JCS_EXT_BGR;
    return true;
}

void cmykToBgr(const JSAMPLE* cmyk, std::uint8_t* row, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, row += 3) {
        const unsigned c = inverted ? cmyk[0] : 255u - cmyk[0];
        const unsigned m = inverted ? cmyk[1] : 255u - cmyk[1];
        const unsigned y = inverted ? cmyk[2] : 255u - cmyk[2];
        const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
        // Round to nearest: v / 255 never has a fraction of exactly one half.
        row[0] = JSAMPLE((y * k + 127) / 255);
        row[1] = JSAMPLE((m * k + 127) / 255);
        row[2] = JSAMPLE((c * k + 127) / 255);
    }
}

// Decodes every scan line into `out` (already of the image's size, 24 bits). False on failure.
bool readPixels(Session& s, DIBSection& out)
{
    j_decompress_ptr cinfo = &s.m_cinfo;
    if (setjmp(s.m_err.jump))
        return false;
    jpeg_start_decompress(cinfo);
    if (int(cinfo->output_width) != out.width() || int(cinfo->output_height) != out.height())
        failWith(reinterpret_cast<j_common_ptr>(cinfo), "output size differs from the header");
    if (cinfo->out_color_space == JCS_CMYK) {
        const bool inverted = cinfo->saw_Adobe_marker;
        JSAMPARRAY buffer = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
            cinfo->output_width * 4, 1);
        while (cinfo->output_scanline < cinfo->output_height) {
            std::uint8_t* row = out.row(int(cinfo->output_scanline));
            jpeg_read_scanlines(cinfo, buffer, 1);
            cmykToBgr(buffer[0], row, cinfo->output_width, inverted);
        }
    } else {
        while (cinfo->output_scanline < cinfo->output_height) {
            JSAMPROW row = out.row(int(cinfo->output_scanline));
            jpeg_read_scanlines(cinfo, &row, 1);
        }
    }
    // Reads the rest of the file up to the end-of-image marker, so what lies there is checked too.
    jpeg_finish_decompress(cinfo);
    return true;
}

[[noreturn]] void invalidJpeg(const char* problem) { invalidPicture((std::string("JPEG: ") + problem).c_str()); }

// Starts decoding at 1/denominator of each side (libjpeg's DCT scaling: the inverse transform
// of each block is computed at 8/denominator points a side, which averages like an area
// reduction). False on failure.
bool startScaled(Session& s, int denominator, JSAMPARRAY& cmykRow)
{
    j_decompress_ptr cinfo = &s.m_cinfo;
    if (setjmp(s.m_err.jump))
        return false;
    cinfo->scale_num = 1;
    cinfo->scale_denom = unsigned(denominator);
    jpeg_start_decompress(cinfo);
    cmykRow = cinfo->out_color_space == JCS_CMYK
        ? (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, cinfo->output_width * 4, 1)
        : nullptr;
    return true;
}

// Decodes the next `count` rows; after the last row of the picture, reads the rest of the file
// up to the end-of-image marker, so what lies there is checked too. False on failure.
bool readRows(Session& s, std::uint8_t* const* rows, int count, JSAMPARRAY cmykRow)
{
    j_decompress_ptr cinfo = &s.m_cinfo;
    if (setjmp(s.m_err.jump))
        return false;
    int done = 0;
    while (done < count && cinfo->output_scanline < cinfo->output_height) {
        if (cmykRow) {
            jpeg_read_scanlines(cinfo, cmykRow, 1);
            cmykToBgr(cmykRow[0], rows[done], cinfo->output_width, cinfo->saw_Adobe_marker);
            ++done;
        } else {
            done += int(jpeg_read_scanlines(cinfo, const_cast<JSAMPARRAY>(rows + done), JDIMENSION(count - done)));
        }
    }
    if (cinfo->output_scanline == cinfo->output_height)
        jpeg_finish_decompress(cinfo);
    return true;
}

}  // namespace

constexpr std::int64_t kReducedScaleMargin = 2;

int reducedScaleDenominator(
    std::int64_t width, std::int64_t height, std::int64_t targetWidth, std::int64_t targetHeight)
{
    if (targetWidth <= 0 || targetHeight <= 0)
        return 1;
    // The scaled picture keeps at least twice the target size: the exact stretch that follows
    // then still averages two or more of its pixels into each output pixel. Scaled down to
    // barely the target size, a finely textured photograph came out 39.8 dB from the full
    // decode in one part; with this margin every part measured stays above 40 dB.
    for (int denominator : {8, 4, 2}) {
        // libjpeg rounds each scaled side up.
        if ((width + denominator - 1) / denominator >= kReducedScaleMargin * targetWidth &&
            (height + denominator - 1) / denominator >= kReducedScaleMargin * targetHeight)
            return denominator;
    }
    return 1;
}

namespace {

// Less Huffman-coded data than this is decoded faster than a second thread starts and parses it.
constexpr std::size_t kSplitMinimumBytes = 64 * 1024;
// Where JpegSplit::Always cuts, as shares of the MCU rows: the lower thread decodes the rows
// from the first cut, then those between the two, as it does when it takes rows from the upper
// one; the upper thread decodes the rows from the last cut and the last rows, as it does when
// it takes rows from the lower one.
constexpr std::array<double, 2> kFixedLowerCutShares{2.0 / 3, 1.0 / 3};
constexpr double kFixedUpperTakesShare = 5.0 / 6;

// The scan as the splitter needs it; nothing unless the file is one interleaved baseline scan
// (or a single-component one) without restart markers, which is what the splitter handles.
std::optional<JpegScanLayout> scanLayout(const jpeg_decompress_struct& cinfo, std::span<const std::uint8_t> file)
{
    if (cinfo.progressive_mode || cinfo.arith_code || cinfo.data_precision != 8 || cinfo.restart_interval != 0 ||
        cinfo.comps_in_scan != cinfo.num_components || cinfo.Ss != 0 || cinfo.Se != DCTSIZE2 - 1 ||
        cinfo.Ah != 0 || cinfo.Al != 0 || cinfo.src == nullptr)
        return std::nullopt;
    JpegScanLayout layout;
    const std::optional<std::size_t> heightField = sequentialFrameHeightField(file);
    if (!heightField || *heightField + 2 > file.size() ||
        (unsigned(file[*heightField]) << 8 | file[*heightField + 1]) != cinfo.image_height)
        return std::nullopt;
    layout.heightField = *heightField;
    layout.entropyStart = std::size_t(cinfo.src->next_input_byte - file.data());
    layout.height = int(cinfo.image_height);
    int maxH = 1, maxV = 1;
    for (int i = 0; i < cinfo.num_components; ++i) {
        maxH = std::max(maxH, cinfo.comp_info[i].h_samp_factor);
        maxV = std::max(maxV, cinfo.comp_info[i].v_samp_factor);
    }
    const auto copyTable = [](const JHUFF_TBL* table) -> std::optional<JpegScanLayout::HuffmanSpec> {
        if (!table)
            return std::nullopt;
        JpegScanLayout::HuffmanSpec spec;
        std::size_t count = 0;
        for (int length = 1; length <= 16; ++length)
            count += spec.bits[std::size_t(length)] = table->bits[length];
        spec.huffval.assign(table->huffval, table->huffval + std::min<std::size_t>(count, 256));
        return spec;
    };
    for (int i = 0; i < cinfo.comps_in_scan; ++i) {
        const jpeg_component_info& c = *cinfo.cur_comp_info[i];
        // libjpeg checks the table numbers only when it starts decoding.
        if (c.dc_tbl_no < 0 || c.dc_tbl_no >= NUM_HUFF_TBLS || c.ac_tbl_no < 0 || c.ac_tbl_no >= NUM_HUFF_TBLS)
            return std::nullopt;
        // A single-component scan codes one block per MCU, whatever the sampling factors say.
        const bool interleaved = cinfo.comps_in_scan > 1;
        layout.components.push_back({interleaved ? c.h_samp_factor : 1, interleaved ? c.v_samp_factor : 1,
            c.dc_tbl_no, c.ac_tbl_no});
        layout.dcTables[std::size_t(c.dc_tbl_no)] = copyTable(cinfo.dc_huff_tbl_ptrs[c.dc_tbl_no]);
        layout.acTables[std::size_t(c.ac_tbl_no)] = copyTable(cinfo.ac_huff_tbl_ptrs[c.ac_tbl_no]);
        if (!interleaved) {
            const long width = (long(cinfo.image_width) * c.h_samp_factor + maxH - 1) / maxH;
            const long height = (long(cinfo.image_height) * c.v_samp_factor + maxV - 1) / maxV;
            layout.mcusPerRow = int((width + DCTSIZE - 1) / DCTSIZE);
            layout.mcuRows = int((height + DCTSIZE - 1) / DCTSIZE);
            layout.mcuHeight = DCTSIZE * maxV / c.v_samp_factor;
        }
    }
    if (cinfo.comps_in_scan > 1) {
        layout.mcusPerRow = int((cinfo.image_width + DCTSIZE * maxH - 1) / (DCTSIZE * maxH));
        layout.mcuRows = int((cinfo.image_height + DCTSIZE * maxV - 1) / (DCTSIZE * maxV));
        layout.mcuHeight = DCTSIZE * maxV;
    }
    return layout;
}

// The rows from the first cut down, decoded on a thread of their own in parts and handed over
// as they are made. The thread parses the scan row by row and cuts it where the rows left below
// are as many as the upper session still has to decode above: the two then end together if
// both run at the same speed. When they do not (a cold cache, the stretch on the upper thread,
// a core the host slows down), whichever is done first takes rows from the other, as many as
// make the two end together at the speeds measured since the part began:
//  - this thread, done with a part, takes the last rows the upper session has not reserved yet
//    as a part of its own, and again after that part while one is worth it; the upper session
//    reserves the rows it is about to decode, and no cut falls among them;
//  - the upper thread, at the cut with rows still to come, takes the last rows of this
//    thread's part: it parses on to them and decodes them itself while this thread makes the
//    rest; this thread claims each batch of rows before it decodes it, and the upper thread
//    takes none that are claimed.
class LowerParts {
public:
    // Cuts fixed for tests: the MCU rows this thread starts its parts at, from the bottom up,
    // and the row the upper thread takes the rest of the first part from; or nothing to cut
    // where the two end together.
    struct FixedCuts {
        std::vector<int> lowerParts;
        int upperTakesFrom = 0;  // none when 0
    };

    LowerParts(std::span<const std::uint8_t> file, JpegScanLayout layout, FixedCuts fixed, int denominator,
        int width, int height)
        : m_file(file), m_layout(std::move(layout)), m_fixed(std::move(fixed)), m_denominator(denominator),
          m_rowBytes(std::size_t(width) * 3), m_endRow(height),
          // Made here, not on the thread: its tables are the thread's only allocations before
          // the cut, and there they met this thread's (libjpeg's and the stretch's set-up) at the
          // heap's lock, where a thread that has to wait sleeps (see spin_wait.h).
          m_parser(JpegScanParser::create(m_file, m_layout))
    {
        if (!m_fixed.lowerParts.empty()) {
            m_cutRow = m_fixed.lowerParts.back();
            m_firstRow.store(outputRow(m_cutRow), std::memory_order_release);
        }
        m_thread = std::thread([this] { run(); });
        keepOffCallersCore(m_thread);
    }
    ~LowerParts()
    {
        m_cancel = true;
        // A thread that is done with this object is let go rather than joined: waiting for
        // the kernel to end it took up to half a millisecond (see spin_wait.h).
        if (spinUntil([&] { return m_done.load(std::memory_order_acquire); }, kSpinBeforeSleep))
            m_thread.detach();
        else
            m_thread.join();
    }
    LowerParts(const LowerParts&) = delete;
    LowerParts& operator=(const LowerParts&) = delete;

    // The first row the upper session does not decode; no row while the first cut is not made.
    int firstRow() const { return m_firstRow.load(std::memory_order_acquire); }
    // How many of `count` rows from `y` the upper session may decode: all while the first cut
    // is not made, those above the last cut once it is; they are then reserved.
    int reserve(int y, int count)
    {
        const std::lock_guard lock(m_mutex);
        if (m_cutRow > 0)
            count = std::max(0, std::min(count, outputRow(m_cutRow) - y));
        m_upperReserved = std::max(m_upperReserved, y + count);
        return count;
    }
    // Whether this thread has taken rows the upper session would otherwise have decoded: it is
    // running then, and the rows from firstRow() on are its to make.
    bool tookOver() const { return m_partCount.load(std::memory_order_acquire) > 1; }
    // The end of the rows made from `y` on within its part (`y` while it is not made).
    int madeFrom(int y) const
    {
        const int parts = m_partCount.load(std::memory_order_acquire);
        for (int i = 0; i < parts; ++i) {
            const Part& part = m_parts[std::size_t(i)];
            if (y >= part.first.load(std::memory_order_relaxed) && y < part.end.load(std::memory_order_relaxed))
                return std::max(y, part.madeUpTo.load(std::memory_order_acquire));
        }
        return y;
    }
    bool failed() const { return m_failed.load(std::memory_order_acquire); }
    // Waits until row y is made: true, or false when the thread gave up (the rows are then to
    // be decoded by the caller, as they would have been without the split).
    bool waitFor(int y)
    {
        waitUntil([&] { return failed() || madeFrom(y) > y; });
        return madeFrom(y) > y;
    }
    const std::uint8_t* row(int y) const { return &m_pixels[std::size_t(y) * m_rowBytes]; }

    // Called by the upper thread when it first reaches firstRow(): takes the last rows of this
    // thread's part and decodes them before it returns, if that ends the two sooner. True when
    // it took rows (or failed to decode them: failed() then says so).
    bool shareAtCut()
    {
        // Fixed cuts: after this thread's first, which its parse reaches first.
        if (!m_fixed.lowerParts.empty())
            waitUntil([&] { return failed() || m_partCount.load(std::memory_order_acquire) > 0; });
        if (!m_parser || failed())
            return false;
        std::unique_lock parserLock(m_parserMutex);
        const std::optional<int> from = rowsForUpper();
        if (!from)
            return false;
        // Rows this thread cannot parse it fails at too, and the upper session gives the error.
        bool parsed = true;
        while (parsed && m_parser->row() < *from - 1)
            parsed = m_parser->parseRow();
        const std::optional<JpegLowerStream> stream =
            parsed ? m_parser->lowerStream(*from - 1) : std::nullopt;
        parserLock.unlock();
        Part* mine = stream ? takeRowsFrom(*from) : nullptr;
        if (mine && decodePart(*stream, *mine))
            return true;
        // Fixed cuts leave the last rows to this thread: without them, none is taken.
        if (mine || !m_fixed.lowerParts.empty())
            giveUp();
        return mine != nullptr;
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr int kNoCut = std::numeric_limits<int>::max();
    static constexpr std::chrono::microseconds kSpinBeforeSleep{2000};
    static constexpr int kMaxParts = 8;

    // Output rows from `first` to `end`, made by one thread or the other.
    struct Part {
        std::atomic<int> first{0};
        std::atomic<int> end{0};  // lowered when the upper thread takes the last rows
        std::atomic<int> madeUpTo{0};
        int claimedUpTo = 0;  // the rows before this one are being made (under m_mutex)
    };

    // The lower thread makes a batch of rows every few tenths of a millisecond.
    template <typename Predicate> void waitUntil(Predicate ready)
    {
        if (!spinUntil(ready, kSpinBeforeSleep)) {
            std::unique_lock lock(m_mutex);
            m_progress.wait(lock, ready);
        }
    }

    int outputRow(int mcuRow) const { return std::min(mcuRow * m_layout.mcuHeight / m_denominator, m_endRow); }
    // The MCU row that output row y lies in, or the next one if y starts none.
    int mcuRowAtOrAfter(int y) const { return (y * m_denominator + m_layout.mcuHeight - 1) / m_layout.mcuHeight; }
    double mcuRows(int outputRows) const { return double(outputRows) * m_denominator / m_layout.mcuHeight; }

    // Adds a part of output rows and returns it (under m_mutex).
    Part& addPart(int first, int end)
    {
        Part& part = m_parts[std::size_t(m_partCount.load(std::memory_order_relaxed))];
        part.first.store(first, std::memory_order_relaxed);
        part.end.store(end, std::memory_order_relaxed);
        part.madeUpTo.store(first, std::memory_order_relaxed);
        part.claimedUpTo = first;
        m_partCount.fetch_add(1, std::memory_order_release);
        return part;
    }
    // Adds this thread's part from MCU row `cut` to its latest part (the picture's end at
    // first, or where the upper thread is to take over) and cuts there (under m_mutex).
    Part& addLowerPart(int cut)
    {
        const int end = m_lowerPart ? m_lowerPart->first.load(std::memory_order_relaxed)
            : m_fixed.upperTakesFrom > 0 ? outputRow(m_fixed.upperTakesFrom) : m_endRow;
        m_lowerPart = &addPart(outputRow(cut), end);
        ++m_lowerParts;
        m_progress.notify_all();
        // Fixed cuts hold the upper session at the last from the start.
        if (m_fixed.lowerParts.empty()) {
            m_cutRow = cut;
            m_firstRow.store(outputRow(cut), std::memory_order_release);
        }
        m_partStart = Clock::now();
        m_upperAtPartStart = m_upperReserved;
        return *m_lowerPart;
    }

    // Cuts at MCU row `cut` if the upper session has reserved no row from it on and has as
    // many rows left to decode above it as this thread below it (and the row above it).
    Part* tryFirstCut(int cut)
    {
        const std::lock_guard lock(m_mutex);
        if (!m_fixed.lowerParts.empty()) {
            if (cut != m_fixed.lowerParts.front())
                return nullptr;
        } else {
            const int upperMcuRow = mcuRowAtOrAfter(m_upperReserved);
            if (cut < upperMcuRow || cut - upperMcuRow < m_layout.mcuRows - cut + 1)
                return nullptr;
        }
        return &addLowerPart(cut);
    }

    // MCU rows per second of the upper session and of this thread since the part began (under
    // m_mutex); none for a thread that has made none.
    RowSpeeds speeds(const Part& part) const
    {
        const double seconds = std::chrono::duration<double>(Clock::now() - m_partStart).count();
        const int made = part.madeUpTo.load(std::memory_order_relaxed) - part.first.load(std::memory_order_relaxed);
        if (seconds <= 0 || made <= 0)
            return {};
        return {mcuRows(m_upperReserved - m_upperAtPartStart) / seconds, (mcuRows(made) + kPartOverheadRows) / seconds};
    }

    // Where this thread's next part starts, taken from the upper session's rows; nothing when
    // no part is worth making.
    std::optional<int> nextLowerCut(const Part& done)
    {
        const std::lock_guard lock(m_mutex);
        if (!m_fixed.lowerParts.empty()) {
            return m_lowerParts < int(m_fixed.lowerParts.size())
                ? std::optional(m_fixed.lowerParts[std::size_t(m_lowerParts)])
                : std::nullopt;
        }
        // A part's stream starts a row above it, and not at the top.
        const int taken = rowsForLowerThread(speeds(done), m_cutRow - mcuRowAtOrAfter(m_upperReserved), m_cutRow - 2);
        return taken > 0 ? std::optional(m_cutRow - taken) : std::nullopt;
    }

    // Cuts at MCU row `cut` if the upper session has reserved no row from it on yet.
    Part* tryCutAbove(int cut)
    {
        const std::lock_guard lock(m_mutex);
        if (cut < mcuRowAtOrAfter(m_upperReserved) || m_failed.load(std::memory_order_relaxed) ||
            m_partCount.load(std::memory_order_relaxed) == kMaxParts)
            return nullptr;
        return &addLowerPart(cut);
    }

    // The MCU row from which the upper thread is to take the rest of this thread's latest part
    // (with m_parserMutex held); nothing when that would not end the two sooner.
    std::optional<int> rowsForUpper()
    {
        const std::lock_guard lock(m_mutex);
        if (!m_fixed.lowerParts.empty())
            return m_fixed.upperTakesFrom > 0 ? std::optional(m_fixed.upperTakesFrom) : std::nullopt;
        if (!m_lowerPart || m_failed.load(std::memory_order_relaxed))
            return std::nullopt;
        const Part& part = *m_lowerPart;
        const int end = mcuRowAtOrAfter(part.end.load(std::memory_order_relaxed));
        // The parser stands at the row above its next; a part's stream starts a row above it.
        const int taken = rowsForUpperThread(speeds(part), end - mcuRowAtOrAfter(part.claimedUpTo),
            end - 1 - m_parser->row(), end - 2);
        return taken > 0 ? std::optional(end - taken) : std::nullopt;
    }

    // Takes this thread's latest part's rows from MCU row `from` on for the upper thread, if
    // this thread has not begun on them; the upper thread's part, or nothing.
    Part* takeRowsFrom(int from)
    {
        const std::lock_guard lock(m_mutex);
        if (!m_lowerPart || m_partCount.load(std::memory_order_relaxed) == kMaxParts ||
            m_failed.load(std::memory_order_relaxed))
            return nullptr;
        Part& lower = *m_lowerPart;
        const int first = outputRow(from);
        const int end = m_fixed.lowerParts.empty() ? lower.end.load(std::memory_order_relaxed) : m_endRow;
        if (lower.claimedUpTo > first || first >= end)
            return nullptr;
        lower.end.store(std::min(first, lower.end.load(std::memory_order_relaxed)), std::memory_order_relaxed);
        return &addPart(first, end);
    }

    void run()
    {
        bool decoded = false;
        try {
            decoded = decode();
        } catch (...) {  // no memory: the caller decodes the rows
        }
        if (!decoded)
            giveUp();
        m_done.store(true, std::memory_order_release);  // the last use of this object
    }

    // The rows not handed over yet are the upper session's to decode.
    void giveUp()
    {
        const std::lock_guard lock(m_mutex);
        m_failed.store(true, std::memory_order_release);
        m_progress.notify_all();
    }

    bool decode()
    {
        // A part's stream starts one MCU row above its first: a row of filler, then the row
        // above, which gives the rows below it whatever context smooth upsampling reads.
        if (!m_parser)
            return false;
        // Before the cut: the upper thread may decode into it from then on.
        m_pixels.resize(std::size_t(m_endRow) * m_rowBytes);
        std::optional<JpegLowerStream> stream;
        Part* part = nullptr;
        {
            const std::lock_guard parserLock(m_parserMutex);
            while (m_parser->row() < 1 || !(part = tryFirstCut(m_parser->row() + 1))) {
                if (m_cancel || m_parser->row() + 2 >= m_layout.mcuRows || !m_parser->parseRow())
                    return false;
            }
            stream = m_parser->lowerStream(m_parser->row());
        }
        while (stream) {
            if (!decodePart(*stream, *part))
                return false;
            const std::optional<int> next = nextLowerCut(*part);
            if (!next)
                return true;
            // Made before the cut, which then cannot fail: once cut, the rows are this thread's.
            // Fixed cuts hold the upper session above the rows, which must then be made.
            const std::lock_guard parserLock(m_parserMutex);
            stream = m_parser->lowerStream(*next - 1);
            if (!stream || m_cancel || !(part = tryCutAbove(*next)))
                return m_fixed.lowerParts.empty();
        }
        return false;
    }

    // Decodes the part's rows from `stream`, a batch at a time, each claimed before it is made.
    bool decodePart(const JpegLowerStream& stream, Part& part)
    {
        TwoPieceSource source;  // declared before the session that reads it
        source.second = m_file.subspan(stream.tailOffset);
        Session session;
        JSAMPARRAY cmykRow = nullptr;
        if (!readHeader(session, stream.head.data(), stream.head.size(), &source) ||
            !startScaled(session, m_denominator, cmykRow) || cmykRow ||
            std::size_t(session.m_cinfo.output_width) * 3 != m_rowBytes)
            return false;
        const int skipped = 2 * m_layout.mcuHeight / m_denominator;
        const int first = part.first.load(std::memory_order_relaxed);
        if (int(session.m_cinfo.output_height) != skipped + m_endRow - first)
            return false;
        std::vector<std::uint8_t> scratch(m_rowBytes);
        std::uint8_t* scratchRow = scratch.data();
        for (int y = 0; y < skipped; ++y)
            if (!readRows(session, &scratchRow, 1, nullptr))
                return false;
        constexpr int kRowsAtOnce = 16;
        std::array<std::uint8_t*, kRowsAtOnce> batch{};
        int y = first;
        int count = claim(part, y, kRowsAtOnce);
        while (count > 0) {
            if (m_cancel)
                return false;
            for (int i = 0; i < count; ++i)
                batch[std::size_t(i)] = &m_pixels[std::size_t(y + i) * m_rowBytes];
            if (!readRows(session, batch.data(), count, nullptr))
                return false;
            const std::lock_guard lock(m_mutex);
            y += count;
            part.madeUpTo.store(y, std::memory_order_release);
            m_progress.notify_all();
            count = std::min(kRowsAtOnce, part.end.load(std::memory_order_relaxed) - y);
            part.claimedUpTo = y + std::max(count, 0);
        }
        return true;
    }

    int claim(Part& part, int y, int count)
    {
        const std::lock_guard lock(m_mutex);
        count = std::min(count, part.end.load(std::memory_order_relaxed) - y);
        part.claimedUpTo = y + std::max(count, 0);
        return count;
    }

    const std::span<const std::uint8_t> m_file;
    const JpegScanLayout m_layout;
    const FixedCuts m_fixed;
    const int m_denominator;
    const std::size_t m_rowBytes;
    const int m_endRow;
    const std::unique_ptr<JpegScanParser> m_parser;  // null for tables it cannot parse with
    std::mutex m_parserMutex;  // held by whichever thread parses or makes a stream
    UninitialisedBytes m_pixels;  // of the whole picture; only the parts' rows are touched
    std::array<Part, kMaxParts> m_parts;
    std::atomic<int> m_partCount{0};
    std::atomic<bool> m_cancel{false};
    std::atomic<int> m_firstRow{kNoCut};
    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_done{false};  // the thread no longer touches this object
    std::mutex m_mutex;
    // Under m_mutex:
    int m_cutRow = 0;           // MCU row the upper session stops at; 0 until the first cut
    int m_upperReserved = 0;    // the upper session's rows before this one are taken
    Part* m_lowerPart = nullptr;    // this thread's latest part
    int m_lowerParts = 0;           // how many it made
    Clock::time_point m_partStart;  // of its latest part
    int m_upperAtPartStart = 0;     // m_upperReserved then
    std::condition_variable m_progress;
    std::thread m_thread;  // last: started once everything it uses exists
};

}  // namespace

std::optional<JpegScanLayout> splittableJpegLayout(std::span<const std::uint8_t> file)
{
    Session session;
    if (!readHeader(session, file.data(), file.size()))
        return std::nullopt;
    return scanLayout(session.m_cinfo, file);
}

struct JpegRowDecoder::State {
    UninitialisedBytes file;  // read by both sessions
    Session session;
    JSAMPARRAY cmykRow = nullptr;
    int nextRow = 0;     // the next row handed out
    int sessionRow = 0;  // the next row of this thread's session
    std::unique_ptr<LowerParts> lower;
    bool lowerTakenOver = false;  // the rows from the lower thread's first on come from it
    bool waitForLower = false;    // take them from it even when this thread is ahead
    bool sharedAtCut = false;     // this thread has offered to take the last of them
};

JpegRowDecoder::JpegRowDecoder() = default;
JpegRowDecoder::~JpegRowDecoder() = default;

std::unique_ptr<JpegRowDecoder> JpegRowDecoder::open(
    UninitialisedBytes file, int targetWidth, int targetHeight, JpegSplit split)
{
    std::unique_ptr<JpegRowDecoder> decoder(new JpegRowDecoder);
    decoder->m_state = std::make_unique<State>();
    State& state = *decoder->m_state;
    state.file = std::move(file);
    Session& session = state.session;
    if (!readHeader(session, state.file.data(), state.file.size()))
        invalidJpeg(session.m_err.message);
    decoder->m_pictureWidth = int(session.m_cinfo.image_width);
    decoder->m_pictureHeight = int(session.m_cinfo.image_height);
    checkPictureSize(decoder->m_pictureWidth, decoder->m_pictureHeight);
    decoder->m_denominator =
        reducedScaleDenominator(decoder->m_pictureWidth, decoder->m_pictureHeight, targetWidth, targetHeight);
    const int expectedWidth = (decoder->m_pictureWidth + decoder->m_denominator - 1) / decoder->m_denominator;
    const int expectedHeight = (decoder->m_pictureHeight + decoder->m_denominator - 1) / decoder->m_denominator;

    // The lower thread starts first, so that its start-up overlaps this session's.
    std::optional<JpegScanLayout> layout;
    if (split != JpegSplit::Never && session.m_cinfo.out_color_space != JCS_CMYK)
        layout = scanLayout(session.m_cinfo, state.file);
    const bool worthIt = split == JpegSplit::Always ||
        (usableCores() >= 2 && layout &&
            state.file.size() - layout->entropyStart >= kSplitMinimumBytes);
    // The lower stream starts one MCU row above its first row wanted, and not at the top.
    if (layout && layout->mcuRows >= 3 && worthIt) {
        // Tests cut where they can be sure of a lower thread: at fixed rows, the rows above
        // the cuts waiting for it, and the upper thread takes the last rows at a fixed row.
        LowerParts::FixedCuts fixed;
        if (split == JpegSplit::Always) {
            const auto rowAt = [&](double share) {
                return std::clamp(int(layout->mcuRows * share + 0.5), 2, layout->mcuRows - 1);
            };
            for (const double share : kFixedLowerCutShares) {
                const int cut = rowAt(share);
                if (fixed.lowerParts.empty() || cut < fixed.lowerParts.back())
                    fixed.lowerParts.push_back(cut);
            }
            if (rowAt(kFixedUpperTakesShare) > fixed.lowerParts.front())
                fixed.upperTakesFrom = rowAt(kFixedUpperTakesShare);
        }
        state.waitForLower = split == JpegSplit::Always;
        try {
            state.lower = std::make_unique<LowerParts>(state.file, std::move(*layout), std::move(fixed),
                decoder->m_denominator, expectedWidth, expectedHeight);
        } catch (const std::system_error&) {
            // No thread to be had (a process limit): this one decodes every row.
        }
    }

    if (!startScaled(session, decoder->m_denominator, state.cmykRow))
        invalidJpeg(session.m_err.message);
    decoder->m_width = int(session.m_cinfo.output_width);
    decoder->m_height = int(session.m_cinfo.output_height);
    if (decoder->m_width != expectedWidth || decoder->m_height != expectedHeight)
        invalidJpeg("output size differs from the header");
    return decoder;
}

bool JpegRowDecoder::isSplit() const { return m_state->lowerTakenOver; }

void JpegRowDecoder::read(std::uint8_t* const* rows, int count)
{
    State& state = *m_state;
    const std::size_t rowBytes = std::size_t(m_width) * 3;
    int done = 0;
    while (done < count) {
        LowerParts* lower = state.lower.get();
        if (lower && state.nextRow >= lower->firstRow()) {
            // The lower thread takes over once it is ahead of this thread or has taken rows
            // from it; until then (it may not even run, on a busy machine) this thread decodes
            // on by itself.
            if (!state.sharedAtCut) {
                state.sharedAtCut = true;
                state.lowerTakenOver = lower->shareAtCut();
            }
            if (!state.lowerTakenOver && !lower->failed() &&
                (state.waitForLower || lower->tookOver() || lower->madeFrom(state.nextRow) > state.nextRow))
                state.lowerTakenOver = true;
            if (state.lowerTakenOver && lower->waitFor(state.nextRow)) {
                const int end = std::min(lower->madeFrom(state.nextRow), state.nextRow + count - done);
                for (; state.nextRow < end; ++done, ++state.nextRow)
                    std::memcpy(rows[done], lower->row(state.nextRow), rowBytes);
                continue;
            }
            if (lower->failed()) {
                state.lower.reset();
                state.lowerTakenOver = false;
                lower = nullptr;
            }
        }
        // This thread's own session, first brought up to the row wanted (it stood still while
        // a lower thread that then gave up handed out rows).
        std::vector<std::uint8_t> skipped;
        while (state.sessionRow < state.nextRow) {
            skipped.resize(rowBytes);
            std::uint8_t* row = skipped.data();
            if (!readRows(state.session, &row, 1, state.cmykRow))
                invalidJpeg(state.session.m_err.message);
            ++state.sessionRow;
        }
        const int here = lower && state.nextRow < lower->firstRow() ? lower->reserve(state.nextRow, count - done)
                                                                   : count - done;
        if (here == 0)
            continue;  // the cut was made at this row meanwhile
        if (!readRows(state.session, rows + done, here, state.cmykRow))
            invalidJpeg(state.session.m_err.message);
        done += here;
        state.nextRow += here;
        state.sessionRow += here;
    }
}

std::unique_ptr<DIBSection> decodeJpeg(std::span<const std::uint8_t> data)
{
    Session session;
    if (!readHeader(session, data.data(), data.size()))
        invalidJpeg(session.m_err.message);
    checkPictureSize(session.m_cinfo.image_width, session.m_cinfo.image_height);
    auto bitmap = DIBSection::create(
        makeBitmapInfo(int(session.m_cinfo.image_width), int(session.m_cinfo.image_height), 24));
    if (!bitmap)
        invalidJpeg("not enough memory for the picture");
    if (!readPixels(session, *bitmap))
        invalidJpeg(session.m_err.message);
    return bitmap;
}

}  // namespace tav
