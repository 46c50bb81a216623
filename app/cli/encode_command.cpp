// tavrenix-cli encode [--quality Q] [--sampling H1xV1,H2xV2,H3xV3 | --grey] [--comment TEXT]
//                     PICTURE OUT.jpg
// Encodes one picture with the project's own baseline encoder: the stream of sampling the
// picture's 24-bit bitmap whole at (0, 0) and saving it. An uncompressed BMP is read row by row
// and coded a band at a time (jpeg/streamed_encoder.h); other pictures, and settings that need
// several scans, are loaded whole into a 24-bit buffer that is sampled.
// Settings left out are the encoder's own defaults (quality 75, sampling 2x2,1x1,1x1, no
// comment). An existing OUT is never replaced.
#include "app/cli/commands.h"

#include "jpeg/cjpeg.h"
#include "jpeg/streamed_encoder.h"
#include "platform/program_environment.h"
#include "platform/memory_surface.h"
#include "platform/picture_reader.h"
#include "platform/run_time_error.h"
#include "platform/transfer.h"

#include <charconv>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <string>

namespace tav {

namespace {

struct EncodeOptions {
    int quality = 75;
    std::string sampling;
    bool grey = false;
    std::optional<std::string> comment;
    std::string picture;
    std::string output;
};

struct SamplingFactors {
    int h[3] = {0, 0, 0};
    int v[3] = {0, 0, 0};
};

// "H1xV1,H2xV2,H3xV3" with whole numbers; the encoder itself judges the values.
std::optional<SamplingFactors> parseSampling(const std::string& text)
{
    static const std::regex pattern(R"(^(-?\d+)x(-?\d+),(-?\d+)x(-?\d+),(-?\d+)x(-?\d+)$)");
    std::smatch match;
    if (!std::regex_match(text, match, pattern))
        return std::nullopt;
    SamplingFactors factors;
    for (int i = 0; i < 6; ++i) {
        const std::string part = match[std::size_t(i + 1)].str();
        int value = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (error != std::errc() || end != part.data() + part.size())
            return std::nullopt;
        (i % 2 == 0 ? factors.h : factors.v)[i / 2] = value;
    }
    return factors;
}

// Reads the picture into a 24-bit surface, row by row: the file is never held in memory besides
// the bitmap (a BMP's rows go from the file straight into it), and the rows are what copying the
// loaded picture into 24 bits would give.
std::unique_ptr<MemorySurface> loadInto24Bit(PictureReader& reader, const std::string& path)
{
    std::unique_ptr<MemorySurface> surface = MemorySurface::create(reader.width(), reader.height(), 24);
    if (!surface)
        throw RunTimeError(kErrPathFileAccess, path + ": the picture is too large for a 24-bit buffer");
    const std::size_t rowBytes = std::size_t(reader.width()) * 3;
    for (int y = 0; y < reader.height(); ++y)
        std::memcpy(surface->bitmap().row(y), reader.row(y), rowBytes);
    return surface;
}

// Nothing to say for a written file; otherwise the reason, and the command fails.
void reportSaved(cJpeg::SaveStatus status, const std::string& notWritten)
{
    switch (status) {
    case cJpeg::SaveStatus::Written:
        return;
    case cJpeg::SaveStatus::NoFileName:
        printError("no output file name given");
        break;
    case cJpeg::SaveStatus::FileExists:
        printError(notWritten + "the file exists already and is never replaced");
        break;
    }
    throw CommandFailed();
}

void runEncode(const EncodeOptions& options)
{
    const std::string notWritten = options.output + ": not written: ";
    const std::filesystem::path picturePath = pathFromUtf8(options.picture);
    const std::filesystem::path outputPath = pathFromUtf8(options.output);
    std::error_code ignored;
    if (std::filesystem::exists(std::filesystem::symlink_status(outputPath, ignored))) {
        printError(notWritten + "the file exists already and is never replaced");
        throw CommandFailed();
    }

    // Settings first, so that a refused value is reported before any work is done; the
    // encoder's own message says what was wrong.
    cJpeg jpeg;
    try {
        jpeg.Quality(options.quality);
        if (options.grey) {
            jpeg.SetSamplingFrequencies(1, 1, 0, 0, 0, 0);
        } else if (!options.sampling.empty()) {
            const SamplingFactors f = *parseSampling(options.sampling);
            jpeg.SetSamplingFrequencies(f.h[0], f.v[0], f.h[1], f.v[1], f.h[2], f.v[2]);
        }
        if (options.comment)
            jpeg.Comment(*options.comment);
    } catch (const RunTimeError& e) {
        printError(e.what());
        throw CommandFailed();
    }

    try {
        // A picture that is cheap to read again (an uncompressed BMP) is read row by row, once
        // per pass, with a band of coefficients in memory at a time; one that has to be decoded
        // is decoded once into a 24-bit buffer, as are pictures whose settings need several scans.
        std::unique_ptr<PictureReader> picture = PictureReader::open(picturePath);
        if (picture->rereadsCheaply()) {
            const PictureOpener open = [&] {
                return picture ? std::move(picture) : PictureReader::open(picturePath);
            };
            if (const std::optional<cJpeg::SaveStatus> streamed = encodeStreamed(jpeg, open, outputPath)) {
                reportSaved(*streamed, notWritten);
                return;
            }
            picture = PictureReader::open(picturePath);
        }
        const std::unique_ptr<MemorySurface> buffer = loadInto24Bit(*picture, options.picture);
        picture.reset();
        const int width = buffer->width();
        const int height = buffer->height();
        if (jpeg.SampleHDC(buffer->hdc(), width, height, 0, 0) != cJpeg::SampleStatus::Sampled) {
            printError(notWritten + "the encoder could not make its working surface");
            throw CommandFailed();
        }
        reportSaved(jpeg.SaveFile(outputPath), notWritten);
        return;
    } catch (const RunTimeError& e) {
        printError(notWritten + e.what());
    }
    throw CommandFailed();
}

}  // namespace

void addEncodeCommand(CLI::App& app)
{
    CLI::App* command = app.add_subcommand("encode",
        "Encode a picture (JPEG, GIF, PNG, BMP) as a baseline JPEG with "
        "the project's own encoder");
    auto options = std::make_shared<EncodeOptions>();
    command->add_option("--quality", options->quality, "Quality 1 to 100 (default 75)")->check(CLI::Range(1, 100));
    CLI::Option* sampling =
        command
            ->add_option("--sampling", options->sampling,
                "Sampling factors of Y, Cb and Cr, each 1 to 4 "
                "(default 2x2,1x1,1x1)")
            ->type_name("H1xV1,H2xV2,H3xV3")
            ->check(CLI::Validator(
                [](std::string& text) {
                    return parseSampling(text) ? std::string() : "expected H1xV1,H2xV2,H3xV3, got " + text;
                },
                ""));
    command->add_flag("--grey", options->grey, "One grey component instead of Y, Cb and Cr")->excludes(sampling);
    command->add_option("--comment", options->comment, "Text of a comment segment (at most 65533 characters)");
    command->add_option("PICTURE", options->picture, "The picture to encode")->required()->check(kNonEmptyName);
    command->add_option("OUT", options->output, "The JPEG file to write; it must not exist yet")
        ->required()
        ->check(kNonEmptyName);
    command->callback([options] { runEncode(*options); });
}

}  // namespace tav
