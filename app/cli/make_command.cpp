// tavrenix-cli make --season N (--startup-logo OUT.ozj | --loading-screen FOLDER)
//                   [--work-dir DIR] [--keep-orientation] [--background COLOUR] PICTURE
// The logo run of the window, driven by arguments: the destination comes from the options
// instead of a dialog, the run's messages go to standard output (completion) and standard
// error (refusals and failures), and it never asks a question. Prints each file it writes
// with its size and a one-line summary; exits non-zero unless every file was written.
#include "app/cli/commands.h"
#include "platform/program_environment.h"

#include "app/application_folder.h"
#include "app/background_colour.h"
#include "app/logo_cutter.h"
#include "app/logo_run.h"
#include "app/production_table.h"
#include "app/user_interface.h"
#include "platform/run_time_error.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

namespace tav {

namespace {

namespace fs = std::filesystem;

struct MakeOptions {
    int season = 0;
    LogoType type = LogoType::StartupLogo;  // from the destination option given
    std::string startupLogo;
    std::string loadingScreen;
    std::string workDir;
    std::string picture;
    bool keepOrientation = false;
    std::string background;
};

// The destination was chosen on the command line; the run's questions are answered from it.
class ArgumentsInterface : public UserInterface {
public:
    explicit ArgumentsInterface(const MakeOptions& options) : m_options(options) {}

    std::string ShowFileDialog(const FileDialogRequest&) override { return m_options.startupLogo; }
    std::string BrowseForFolder(const std::string&) override { return m_options.loadingScreen; }
    void showMessage(const UserMessage& message) override
    {
        const std::string detail = message.detail.empty() ? "" : " (" + message.detail + ")";
        if (message.icon == MessageIcon::Critical)
            printError(message.text + detail);
        else if (message.icon == MessageIcon::Information && message.title == completionTitle())
            m_completion = message.title + ": " + message.text + detail;  // said last, after the list of files
        else
            std::cerr << kProgramName << ": " << message.title << ": " << message.text << detail << '\n';
    }

    const std::string& completion() const { return m_completion; }

private:
    const MakeOptions& m_options;
    std::string m_completion;
};

[[noreturn]] void refuse(const std::string& message)
{
    printError(message);
    throw CommandFailed();
}

// Checks the destination before anything is cut, so a mistyped folder costs nothing.
void checkDestination(const MakeOptions& o)
{
    std::error_code ec;
    if (o.type == LogoType::LoadingScreen) {
        const fs::file_status status = fs::status(pathFromUtf8(o.loadingScreen), ec);
        if (fs::is_regular_file(status))
            refuse(o.loadingScreen + ": is a file, not a folder");
        if (fs::exists(status) && !fs::is_directory(status))
            refuse(o.loadingScreen + ": is not a folder");
        if (!fs::is_directory(status))
            refuse(o.loadingScreen + ": no such folder");
    } else {
        const fs::path out = pathFromUtf8(o.startupLogo);
        const fs::file_status status = fs::status(out, ec);
        if (fs::is_directory(status))
            refuse(o.startupLogo + ": is a folder, not a file name");
        if (fs::exists(status) && !fs::is_regular_file(status))
            refuse(o.startupLogo + ": is not a regular file, so it cannot be replaced");
        if (out.has_parent_path() && !fs::is_directory(out.parent_path(), ec))
            refuse(o.startupLogo + ": no such folder " + utf8(out.parent_path()));
    }
}

void runMake(const MakeOptions& o)
{
    checkDestination(o);
    const fs::path workDir = o.workDir.empty() ? applicationFolder(executableFolder()) : pathFromUtf8(o.workDir);
    if (!fs::is_directory(workDir) || !folderIsWritable(workDir)) {
        printError(utf8(workDir) + ": the work folder cannot be written");
        throw CommandFailed();
    }
    LogoCutter cutter;
    PictureOptions pictureOptions;
    pictureOptions.applyOrientation = !o.keepOrientation;
    if (!o.background.empty())
        pictureOptions.background = *parseBackgroundColour(o.background);  // checked with the arguments
    cutter.setPictureOptions(pictureOptions);
    ArgumentsInterface ui(o);
    LogoRun run(ui, cutter, workDir);
    const SeasonIndex season = SeasonIndex(o.season);
    RunOutcome outcome;
    try {
        outcome = run.make(season, o.type, o.picture);
    } catch (const RunTimeError& e) {
        // Out of memory in the cut, before anything was written.
        printError(e.what());
        throw CommandFailed();
    }

    for (const std::string& warning : cutter.warnings())
        std::cerr << kProgramName << ": warning: " << o.picture << ": " << warning << '\n';
    for (const RunOutcome::Written& w : outcome.written)
        std::cout << utf8(w.path) << " (" << w.size << " bytes)\n";
    if (outcome.status == RunOutcome::Status::Done || outcome.status == RunOutcome::Status::Incomplete)
        std::cout << seasonLayout(season).caption << ", " << logoTypeCaption(o.type) << ": " << outcome.written.size()
                  << " of " << outcome.written.size() + outcome.failed.size() << " files written\n";
    if (!ui.completion().empty())
        std::cout << ui.completion() << '\n';
    std::cout << std::flush;
    if (outcome.status != RunOutcome::Status::Done)
        throw CommandFailed();
}

}  // namespace

void addMakeCommand(CLI::App& app)
{
    auto options = std::make_shared<MakeOptions>();
    CLI::App* make = app.add_subcommand("make", "Make the startup logo or the loading-screen images from a picture");
    make->add_option("--season", options->season, "Client generation: 0 to 3 (see `tavrenix-cli seasons`)")
        ->required()
        ->check(CLI::Range(0, kSeasonCount - 1));
    auto* logo = make->add_option("--startup-logo", options->startupLogo, "Write the startup logo to this OZJ file")
                     ->check(kNonEmptyName);
    auto* screen = make->add_option("--loading-screen", options->loadingScreen,
                           "Write the loading-screen parts into this folder")
                       ->check(kNonEmptyName);
    logo->excludes(screen);
    make->add_option("--work-dir", options->workDir,
        "Folder for the intermediate files (default: the program's folder, else ~/.cache/tavrenix)")
        ->check(kNonEmptyName);
    make->add_flag("--keep-orientation", options->keepOrientation,
        "Use the pixels as stored, without turning the picture upright by its orientation tag");
    make->add_option("--background", options->background,
           "What transparent areas show: a colour name or #RRGGBB (default: white)")
        ->check(CLI::Validator(
            [](const std::string& text) {
                return parseBackgroundColour(text) ? std::string() : std::string("expected ") + kBackgroundColourForms;
            },
            "COLOUR"));
    make->add_option("PICTURE", options->picture, std::string("The picture: ") + kReadablePictureFormats)
        ->required()
        ->check(kNonEmptyName);
    make->callback([options, logo, screen] {
        if (logo->count() + screen->count() != 1)
            throw CLI::ValidationError("make", "give either --startup-logo OUT.ozj or --loading-screen FOLDER");
        options->type = logo->count() == 1 ? LogoType::StartupLogo : LogoType::LoadingScreen;
        runMake(*options);
    });
}

}  // namespace tav
