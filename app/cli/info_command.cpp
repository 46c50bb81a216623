// tavrenix-cli info PICTURE...: what the header reader finds in each file, one line a file:
//   photo.jpg: JPEG, ImageType 2, 640 x 480, depth 24, 53211 bytes
// A file that is not recognised is reported as "unknown" with ImageType 0 (that is a finding,
// not an error); a file that cannot be read is reported on standard error and the others are
// still examined.
#include "app/cli/commands.h"

#include "image/cls_image.h"
#include "platform/program_environment.h"
#include "platform/run_time_error.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace tav {

namespace {

// "ImageType: 0 unknown, 1 GIF, ..." for the help text.
std::string imageTypeLegend()
{
    std::string legend = "ImageType:";
    for (std::int32_t type = kImageUnknown; type <= kImageTiff; ++type)
        legend += (type == kImageUnknown ? " " : ", ") + std::to_string(type) + " " + std::string(imageTypeName(type));
    return legend;
}

// Reports every file; false when any of them could not be read.
bool reportFiles(const std::vector<std::string>& files)
{
    bool allRead = true;
    clsImage info;
    for (const std::string& file : files) {
        try {
            info.ReadImageInfo(pathFromUtf8(file));
        } catch (const RunTimeError& e) {
            std::cout << std::flush;  // keep the lines in order when both streams are one
            printError(file + ": " + describeReadError(e, info));
            allRead = false;
            continue;
        }
        std::cout << file << ": " << imageTypeName(info.ImageType()) << ", ImageType " << info.ImageType() << ", "
                  << info.Width() << " x " << info.Height() << ", depth " << unsigned(info.Depth()) << ", "
                  << info.FileSize() << " bytes\n";
    }
    std::cout << std::flush;
    return allRead;
}

}  // namespace

void addInfoCommand(CLI::App& app)
{
    CLI::App* command = app.add_subcommand("info",
        "Show the format, size and colour depth that each picture's "
        "header gives, without decoding it");
    auto files = std::make_shared<std::vector<std::string>>();
    command->add_option("PICTURE", *files, "Picture files (GIF, JPEG, PNG, BMP, PCX, TIFF)")
        ->required()
        ->check(kNonEmptyName);
    command->footer(imageTypeLegend());
    command->callback([files] {
        if (!reportFiles(*files))
            throw CommandFailed();
    });
}

}  // namespace tav
