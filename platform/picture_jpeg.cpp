// JPEG reader: libjpeg-turbo decodes every process it knows (baseline, extended, progressive,
// arithmetic) into 24-bit BGR rows with its default (accurate integer) IDCT and smooth
// upsampling, so its output matches TurboJPEG's for the same file byte for byte.
//
// Four-component files are read as CMYK (libjpeg turns YCCK into CMYK) and converted here.
// Files with an Adobe APP14 marker hold inverted CMYK, as Adobe's applications write it.
// An ICC profile (APP2 markers, reassembled by libjpeg) converts the colours to sRGB; CMYK
// without one is read plainly (colour_profile.h). The orientation comes from the Exif APP1
// marker.
//
// libjpeg reports errors by longjmp. Each call into it sits in a small function that owns
// the setjmp and holds no C++ object with a destructor; the failure is turned into our error
// outside it. libjpeg only warns about data that ends early or cannot be decoded (and fills
// the rest grey); those warnings are errors here, because a damaged picture must not pass. A
// file that lacks only its end-of-image marker is not damaged, and passes (see
// endOfFileIsHarmless).
#include "picture_decoders.h"
#include "jpeg_row_decoder.h"

#include "colour_profile.h"
#include "orientation.h"
#include "picture.h"

#include <csetjmp>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>

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
    // What the markers say about showing the picture, set after the header is read.
    int m_orientation = 1;
    std::unique_ptr<ColourConversion> m_conversion;
    std::vector<std::string> m_warnings;
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

constexpr int kExifMarker = JPEG_APP0 + 1;
constexpr int kIccMarker = JPEG_APP0 + 2;

bool isCmyk(J_COLOR_SPACE space) { return space == JCS_CMYK || space == JCS_YCCK; }

// Reads the headers from memory and chooses the output colour space. False on failure.
bool readHeader(Session& s, const std::uint8_t* data, std::size_t size)
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
    jpeg_mem_src(&s.m_cinfo, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&s.m_cinfo, kExifMarker, 0xFFFF);
    jpeg_save_markers(&s.m_cinfo, kIccMarker, 0xFFFF);
    jpeg_read_header(&s.m_cinfo, TRUE);
    s.m_cinfo.out_color_space = isCmyk(s.m_cinfo.jpeg_color_space) ? JCS_CMYK : JCS_EXT_BGR;
    return true;
}

// The profile of the APP2 markers, reassembled; false on failure. A damaged or incomplete
// profile gives no profile.
bool readIccProfile(Session& s, JOCTET** profile, unsigned* length)
{
    if (setjmp(s.m_err.jump))
        return false;
    if (!jpeg_read_icc_profile(&s.m_cinfo, profile, length))
        *profile = nullptr;
    return true;
}

bool hasIccMarker(const jpeg_decompress_struct& cinfo)
{
    static constexpr char kIccTag[] = "ICC_PROFILE";  // with its terminating zero
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker == kIccMarker && m->data_length >= sizeof kIccTag &&
            std::memcmp(m->data, kIccTag, sizeof kIccTag) == 0)
            return true;
    }
    return false;
}

// Reads the orientation and sets up the colour conversion from the saved markers.
void readLook(Session& s)
{
    // APP1 carries XMP too; the Exif block is the one that says so.
    static constexpr std::uint8_t kExifTag[] = {'E', 'x', 'i', 'f', 0, 0};
    for (jpeg_saved_marker_ptr m = s.m_cinfo.marker_list; m; m = m->next) {
        if (m->marker == kExifMarker && m->data_length >= sizeof kExifTag &&
            std::memcmp(m->data, kExifTag, sizeof kExifTag) == 0) {
            s.m_orientation = exifOrientation(std::span<const std::uint8_t>(m->data, m->data_length));
            break;
        }
    }
    JOCTET* profile = nullptr;
    unsigned length = 0;
    if (!readIccProfile(s, &profile, &length))
        invalidPicture((std::string("JPEG: ") + s.m_err.message).c_str());
    if (!profile) {
        if (hasIccMarker(s.m_cinfo))
            s.m_warnings.push_back("its colour profile is incomplete or damaged and was ignored");
        return;
    }
    const std::vector<std::uint8_t> bytes(profile, profile + length);
    std::free(profile);
    const SampleLayout layout = s.m_cinfo.out_color_space != JCS_CMYK ? SampleLayout::Bgr
        : s.m_cinfo.saw_Adobe_marker                                   ? SampleLayout::InvertedCmyk
                                                                       : SampleLayout::Cmyk;
    std::string warning;
    s.m_conversion = ColourConversion::toSrgb(bytes, layout, warning);
    if (!warning.empty())
        s.m_warnings.push_back(warning);
}

// A decoded row of CMYK samples or BGR pixels made into the BGR pixels shown.
void finishRow(const Session& s, const JSAMPLE* cmyk, std::uint8_t* row)
{
    const auto width = int(s.m_cinfo.output_width);
    if (cmyk && s.m_conversion)
        s.m_conversion->convert(cmyk, row, width);
    else if (cmyk)
        plainCmykToBgr(cmyk, row, width, s.m_cinfo.saw_Adobe_marker);
    else if (s.m_conversion)
        s.m_conversion->convert(row, row, width);
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
        JSAMPARRAY buffer = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
            cinfo->output_width * 4, 1);
        while (cinfo->output_scanline < cinfo->output_height) {
            std::uint8_t* row = out.row(int(cinfo->output_scanline));
            jpeg_read_scanlines(cinfo, buffer, 1);
            finishRow(s, buffer[0], row);
        }
    } else {
        while (cinfo->output_scanline < cinfo->output_height) {
            JSAMPROW row = out.row(int(cinfo->output_scanline));
            jpeg_read_scanlines(cinfo, &row, 1);
            finishRow(s, nullptr, row);
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
            finishRow(s, cmykRow[0], rows[done]);
            ++done;
        } else {
            const int got =
                int(jpeg_read_scanlines(cinfo, const_cast<JSAMPARRAY>(rows + done), JDIMENSION(count - done)));
            for (int i = done; i < done + got; ++i)
                finishRow(s, nullptr, rows[i]);
            done += got;
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

struct JpegRowDecoder::State {
    std::vector<std::uint8_t> file;  // read by the session as it decodes
    Session session;
    JSAMPARRAY cmykRow = nullptr;
};

JpegRowDecoder::JpegRowDecoder() = default;
JpegRowDecoder::~JpegRowDecoder() = default;

std::unique_ptr<JpegRowDecoder> JpegRowDecoder::open(
    std::vector<std::uint8_t> file, int targetWidth, int targetHeight, bool uprightTarget)
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
    readLook(session);
    // The stored rows of a picture that will be turned a quarter are compared with the target
    // turned the same way.
    if (uprightTarget && swapsAxes(session.m_orientation))
        std::swap(targetWidth, targetHeight);
    decoder->m_denominator =
        reducedScaleDenominator(decoder->m_pictureWidth, decoder->m_pictureHeight, targetWidth, targetHeight);
    const int expectedWidth = (decoder->m_pictureWidth + decoder->m_denominator - 1) / decoder->m_denominator;
    const int expectedHeight = (decoder->m_pictureHeight + decoder->m_denominator - 1) / decoder->m_denominator;
    if (!startScaled(session, decoder->m_denominator, state.cmykRow))
        invalidJpeg(session.m_err.message);
    decoder->m_width = int(session.m_cinfo.output_width);
    decoder->m_height = int(session.m_cinfo.output_height);
    if (decoder->m_width != expectedWidth || decoder->m_height != expectedHeight)
        invalidJpeg("output size differs from the header");
    return decoder;
}

int JpegRowDecoder::orientation() const { return m_state->session.m_orientation; }

const std::vector<std::string>& JpegRowDecoder::warnings() const { return m_state->session.m_warnings; }

void JpegRowDecoder::read(std::uint8_t* const* rows, int count)
{
    if (!readRows(m_state->session, rows, count, m_state->cmykRow))
        invalidJpeg(m_state->session.m_err.message);
}

DecodedPicture decodeJpeg(std::span<const std::uint8_t> data, const PictureOptions&)
{
    Session session;
    if (!readHeader(session, data.data(), data.size()))
        invalidJpeg(session.m_err.message);
    checkPictureSize(session.m_cinfo.image_width, session.m_cinfo.image_height);
    readLook(session);
    DecodedPicture decoded;
    decoded.bitmap = DIBSection::create(
        makeBitmapInfo(int(session.m_cinfo.image_width), int(session.m_cinfo.image_height), 24));
    if (!decoded.bitmap)
        invalidJpeg("not enough memory for the picture");
    if (!readPixels(session, *decoded.bitmap))
        invalidJpeg(session.m_err.message);
    decoded.orientation = session.m_orientation;
    decoded.warnings = std::move(session.m_warnings);
    return decoded;
}

}  // namespace tav
