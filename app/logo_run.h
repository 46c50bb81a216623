// The logo run: one press of the make button (or one `tavrenix-cli make`) turned into the
// files the game client needs. Each routine asks for the destination, has the picture scaled
// and cut, then takes every image of the production table in order through the JPEG export
// and the container writer, completing one image before the next starts.
//
// Unlike a run that reports success whatever happened, this one stops before writing anything
// when the picture cannot be read, goes on past a file that cannot be written, and says
// "Done" only when every file was written; otherwise it names the files that were not.
#pragma once

#include "app/logo_cutter.h"
#include "app/production_table.h"
#include "app/user_interface.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

// Texts of the run's own messages (the completion texts live in the production table).
inline constexpr std::string_view kRunErrorTitle = "Error";
inline constexpr std::string_view kPictureUnreadableText = "The picture cannot be read, so nothing was written:";
inline constexpr std::string_view kFilesNotWrittenText = "These files were not written:";
inline constexpr std::string_view kNoSuchSeasonText = "There is no such season; the seasons are 0 to 3:";

struct RunOutcome {
    enum class Status {
        NothingDone,  // the run has not got as far as an answer
        Done,         // every file written
        Cancelled,    // the user cancelled the destination dialog; nothing written, nothing said
        Refused,      // no such season, or no startup logo for it; nothing written
        Unreadable,   // the picture cannot be read; nothing written
        Incomplete,   // some files not written
    };
    struct Written {
        std::filesystem::path path;
        std::uintmax_t size;
    };
    struct Failed {
        std::filesystem::path path;
        std::string reason;
    };

    Status status = Status::NothingDone;
    std::vector<Written> written;
    std::vector<Failed> failed;
    std::string problem;  // why the picture could not be read, or the season refused
};

// Where the files of a run went, as the completion message shows it under its text:
// "3 files written in /home/me/parts", "1 file written: /home/me/IntroLogo.ozj".
std::string writtenSummary(const RunOutcome& outcome, const std::filesystem::path& destination);

class LogoRun {
public:
    // `applicationFolder` holds the intermediate JPEGs (and the export's scratch bitmap, were a
    // surface not 24 bits deep); the startup
    // logo's save dialog starts there too, unless `dialogFolder` names another folder (an
    // installed program whose application folder fell back to the private cache folder).
    LogoRun(UserInterface& ui, LogoCutter& cutter, std::filesystem::path applicationFolder,
        std::filesystem::path dialogFolder = {});

    // The make button's dispatch: a startup logo for a season that has one, the "Info"
    // refusal for one that has not, or the loading screens; a season outside the table is
    // refused with a message. Running out of memory in the cut (RunTimeError 7) is passed on
    // to the caller, who says it; nothing has been written then.
    RunOutcome make(SeasonIndex season, LogoType type, const std::string& picturePath);

private:
    RunOutcome MakeStartupLogo(const std::string& picturePath);
    RunOutcome MakeLoadingScreens(SeasonIndex season, const SeasonLayout& layout, const std::string& picturePath);

    // Export and wrap one image; records what happened in `outcome`.
    void writeImage(const MemorySurface& surface, std::string_view jpegName, const std::filesystem::path& ozjPath,
        RunOutcome& outcome);
    // Says how the run ended: the completion text and where the files went, or what was not
    // written.
    void report(RunOutcome& outcome, std::string_view completionText, const std::filesystem::path& destination);
    bool cut(RunOutcome& outcome, const std::function<void()>& cutPicture);
    RunOutcome refuse(std::string text, std::string_view title, MessageIcon icon);

    UserInterface& m_ui;
    LogoCutter& m_cutter;
    std::filesystem::path m_applicationFolder;
    std::filesystem::path m_dialogFolder;
};

}  // namespace tav
