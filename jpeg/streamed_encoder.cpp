#include "jpeg/streamed_encoder.h"
#include "platform/program_environment.h"

#include "jpeg/block_encoder.h"
#include "jpeg/file_writer.h"
#include "jpeg/markers.h"
#include "jpeg/quantize.h"
#include "platform/run_time_error.h"
#include "platform/second_core.h"
#include "platform/stretch.h"

#include <cstdio>
#include <map>
#include <utility>
#include <vector>

namespace tav {

namespace {

// Room for every segment before the scan, the longest comment included, so that their lengths
// are patched before the first bytes go to the file.
constexpr std::size_t kWindowBytes = 128 * 1024;

// What the block loop reads for one component of the scan.
struct ComponentSource {
    int wc = 0;
    int hc = 0;
    const DIBSection* surface = nullptr;  // the subsampled image, or null for the picture's rows
    std::array<double, 64> scale{};
    const ColourRow* colour = nullptr;
};

// Bands made ahead of the coder: one thread reads and transforms while the other codes.
constexpr int kBandSlots = 4;

class StreamedEncoder {
public:
    StreamedEncoder(const cJpeg& settings, const PictureOpener& open, std::vector<JpegComponent>& components,
        BandedScan& scan, int width, int height)
        : m_settings(settings)
        , m_open(open)
        , m_scan(scan)
        , m_height(height)
    {
        // Subsampled components are drawn as SampleHDC draws them, with the HALFTONE stretch
        // of the whole picture; components of the same size share one image.
        for (std::size_t c = 0; c < components.size(); ++c) {
            const JpegComponent& component = components[c];
            ComponentSource source;
            source.wc = int(ceilDiv(std::int64_t(component.Hi) * width, settings.hmax()));
            source.hc = int(ceilDiv(std::int64_t(component.Vi) * height, settings.vmax()));
            source.scale = rasterScale(settings.quantTable(component.Tqi).FScale, settings.zigZag());
            source.colour = &kColourConversion[c];
            const std::size_t bandCoefficients =
                std::size_t(scan.blockRowsPerBand(c)) * std::size_t(scan.blocksAcross(c)) * 64;
            for (auto& slot : m_slots)
                slot.push_back(CoefficientBand(bandCoefficients));
            if (source.wc != width || source.hc != height) {
                Surface& surface = m_surfaces[{source.wc, source.hc}];
                if (!surface.bitmap) {
                    // Plain pages, not the huge ones of a large bitmap: this encoder is about
                    // holding little, and the image is small beside the picture.
                    const BITMAPINFO info = makeBitmapInfo(source.wc, source.hc, 24);
                    const std::size_t stride = (std::size_t(source.wc) * kBytesPerPixel + 3) / 4 * 4;
                    surface.memory.resize(stride * std::size_t(source.hc));
                    surface.bitmap = DIBSection::wrap(info, surface.memory.data(), source.hc);
                    if (!surface.bitmap || !StretchPicture(*m_open(), *surface.bitmap))
                        throw RunTimeError(kErrOutOfMemory, kMsgOutOfMemory);
                }
                source.surface = surface.bitmap.get();
            } else {
                m_bandRows = std::max(m_bandRows, 8 * scan.blockRowsPerBand(c));
            }
            m_sources.push_back(std::move(source));
        }
        m_rows.resize(std::size_t(m_bandRows));
    }

    // Makes the coefficients of every band in order and hands each band to `visit`, in order;
    // with a second core, bands are read and transformed a few ahead of `visit`.
    template <class Visit> void forEachBand(Visit&& visit)
    {
        const std::unique_ptr<PictureReader> picture = m_open();
        picture->keepRows(m_bandRows);
        m_rowsBand = -1;
        std::vector<const std::int16_t*> coefficients(m_sources.size());
        runPipelined(
            useSecondCore(true), m_scan.bands(), kBandSlots,
            [&](std::int64_t band) { makeBand(*picture, band, m_slots[std::size_t(band % kBandSlots)]); },
            [&](std::int64_t band) {
                const auto& slot = m_slots[std::size_t(band % kBandSlots)];
                for (std::size_t c = 0; c < slot.size(); ++c)
                    coefficients[c] = slot[c].data();
                visit(band, std::span<const std::int16_t* const>(coefficients));
            });
    }

private:
    using CoefficientBand = std::vector<std::int16_t>;

    // The coefficients of band `band` of every component into `slot`.
    void makeBand(PictureReader& picture, std::int64_t band, std::vector<CoefficientBand>& slot)
    {
        for (std::size_t c = 0; c < m_sources.size(); ++c) {
            const ComponentSource& source = m_sources[c];
            const int perBand = m_scan.blockRowsPerBand(c);
            const int r0 = int(band) * perBand;
            const int r1 = int(std::min<std::int64_t>(r0 + perBand, m_scan.blocksDown(c)));
            ComponentImage image{source.surface, 0, 0, source.wc, source.hc};
            if (!source.surface) {
                // The picture's rows of the band, read once for all full-size components; rows
                // past the picture's last are its last row, as the block loop pads.
                if (m_rowsBand != band) {
                    for (int i = 0; i < m_bandRows; ++i)
                        m_rows[std::size_t(i)] = picture.row(std::min(8 * r0 + i, m_height - 1));
                    m_rowsBand = band;
                }
                image.bandRows = m_rows.data();
                image.bandFirst = 8 * r0;
            }
            if (r1 > r0 && !encodeBlocks(image, r0, r1, int(m_scan.blocksAcross(c)), *source.colour, source.scale,
                               m_settings.zigZag(), slot[c].data()))
                raiseOverflow();
        }
    }

    const cJpeg& m_settings;
    const PictureOpener& m_open;
    BandedScan& m_scan;
    int m_height;
    struct Surface {
        std::vector<std::uint8_t> memory;
        std::unique_ptr<DIBSection> bitmap;  // declared last: it ends before its memory
    };
    std::map<std::pair<int, int>, Surface> m_surfaces;
    std::vector<ComponentSource> m_sources;
    std::array<std::vector<CoefficientBand>, kBandSlots> m_slots;
    // The picture's rows of the band being made (8 per block row of a full-size component).
    int m_bandRows = 1;
    std::vector<const std::uint8_t*> m_rows;
    std::int64_t m_rowsBand = -1;
};

}  // namespace

std::optional<cJpeg::SaveStatus> encodeStreamed(const cJpeg& settings, const PictureOpener& open,
    const std::filesystem::path& path)
{
    if (const std::optional<cJpeg::SaveStatus> refused = unwritableName(path))
        return refused;

    std::vector<JpegComponent> components = settings.components();
    std::vector<ScanComponent> list;
    for (std::size_t c = 0; c < components.size(); ++c) {
        components[c].Ci = std::int32_t(c + 1);
        components[c].Coefficients.clear();
        const int tableId = c == 0 ? 0 : 1;
        list.push_back({&components[c], tableId, tableId});
    }
    int width = 0, height = 0;
    {
        const std::unique_ptr<PictureReader> picture = open();
        width = picture->width();
        height = picture->height();
    }
    if (width <= 0 || height <= 0 || width > kMaxFrameSide || height > kMaxFrameSide)
        return std::nullopt;
    const ScanGeometry geometry{width, height, settings.hmax(), settings.vmax()};
    const std::unique_ptr<BandedScan> scan = BandedScan::plan(list, 0, int(list.size()) - 1, geometry);
    if (!scan)
        return std::nullopt;

    StreamedEncoder encoder(settings, open, components, *scan, width, height);
    encoder.forEachBand([&](std::int64_t band, std::span<const std::int16_t* const> coefficients) {
        scan->count(band, coefficients);
    });
    HuffmanTableSet dcTables{}, acTables{};
    scan->buildTables(8, dcTables, acTables);

    NewFile file = createNewFile(path);
    if (!file)
        return cJpeg::SaveStatus::FileExists;
    try {
        OutputBuffer out(file.get(), kWindowBytes);
        const std::array<QuantTable, 2> quantTables{settings.quantTable(0), settings.quantTable(1)};
        WriteStreamHead(out, settings.Comment(), quantTables, 8, width, height, components, dcTables, acTables);
        scan->startWriting(out, dcTables, acTables);
        encoder.forEachBand([&](std::int64_t band, std::span<const std::int16_t* const> coefficients) {
            scan->write(band, coefficients);
        });
        scan->finishWriting();
        WriteMarker(out, kMarkerEOI);
        out.flushToSink();
        if (std::fclose(file.release()) != 0)
            throw RunTimeError(kErrPathFileAccess, utf8(path) + ": " + kMsgPathFileAccess);
    } catch (...) {
        // A short file is worse than none.
        file.reset();
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        throw;
    }
    return cJpeg::SaveStatus::Written;
}

}  // namespace tav
