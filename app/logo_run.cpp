#include "app/logo_run.h"

#include "app/jpeg_export.h"
#include "app/ozj_container.h"
#include "platform/program_environment.h"
#include "platform/run_time_error.h"

#include <functional>
#include <utility>

namespace tav {

LogoRun::LogoRun(UserInterface& ui, LogoCutter& cutter, std::filesystem::path applicationFolder,
    std::filesystem::path dialogFolder)
    : m_ui(ui), m_cutter(cutter), m_applicationFolder(std::move(applicationFolder)),
      m_dialogFolder(dialogFolder.empty() ? m_applicationFolder : std::move(dialogFolder))
{
}

std::string writtenSummary(const RunOutcome& outcome, const std::filesystem::path& destination)
{
    const std::size_t count = outcome.written.size();
    if (count == 1 && outcome.written.front().path == destination)
        return "1 file written: " + utf8(destination);
    return std::to_string(count) + (count == 1 ? " file" : " files") + " written in " + utf8(destination);
}

RunOutcome LogoRun::make(SeasonIndex season, LogoType type, const std::string& picturePath)
{
    if (!isSeason(season))
        return refuse(std::string(kNoSuchSeasonText) + " " + std::to_string(season), kRunErrorTitle,
            MessageIcon::Critical);
    const SeasonLayout& layout = seasonLayout(season);
    if (type == LogoType::LoadingScreen)
        return MakeLoadingScreens(season, layout, picturePath);
    if (!layout.hasStartupLogo) {
        const StartupLogoLayout& logo = startupLogoLayout();
        return refuse(std::string(logo.noStartupLogoText), logo.noStartupLogoTitle, MessageIcon::Information);
    }
    return MakeStartupLogo(picturePath);
}

RunOutcome LogoRun::refuse(std::string text, std::string_view title, MessageIcon icon)
{
    RunOutcome outcome;
    outcome.status = RunOutcome::Status::Refused;
    outcome.problem = text;
    m_ui.showMessage({std::move(text), std::string(title), icon});
    return outcome;
}

RunOutcome LogoRun::MakeStartupLogo(const std::string& picturePath)
{
    RunOutcome outcome;
    const StartupLogoLayout& logo = startupLogoLayout();
    FileDialogRequest request;
    request.mode = FileDialogMode::Save;
    request.title = logo.saveDialogTitle;
    request.defaultFileName = logo.defaultFileName;
    request.filters = {{std::string(logo.filterDescription), std::string(logo.filterPattern)}};
    request.initialFolder = utf8(m_dialogFolder);
    request.defaultExtension = logo.defaultExtension;
    const std::string destination = m_ui.ShowFileDialog(request);
    if (destination.empty()) {
        outcome.status = RunOutcome::Status::Cancelled;
        return outcome;
    }
    if (!cut(outcome, [&] { m_cutter.CutStartupLogo(pathFromUtf8(picturePath)); }))
        return outcome;
    writeImage(m_cutter.logoSurface(), logo.jpegName, pathFromUtf8(destination), outcome);
    report(outcome, logo.completionText, pathFromUtf8(destination));
    return outcome;
}

RunOutcome LogoRun::MakeLoadingScreens(SeasonIndex season, const SeasonLayout& layout, const std::string& picturePath)
{
    RunOutcome outcome;
    const std::string folder = m_ui.BrowseForFolder(std::string(layout.folderBrowserTitle));
    if (folder.empty()) {
        outcome.status = RunOutcome::Status::Cancelled;
        return outcome;
    }
    if (!cut(outcome, [&] { m_cutter.CutLoadingScreen(season, pathFromUtf8(picturePath)); }))
        return outcome;
    for (std::size_t i = 0; i < layout.parts.size(); ++i) {
        const PartLayout& part = layout.parts[i];
        writeImage(m_cutter.partSurface(season, int(i)), part.jpegName, pathIn(pathFromUtf8(folder), part.ozjName),
            outcome);
    }
    report(outcome, layout.completionText, pathFromUtf8(folder));
    return outcome;
}

bool LogoRun::cut(RunOutcome& outcome, const std::function<void()>& cutPicture)
{
    try {
        cutPicture();
        return true;
    } catch (const RunTimeError& e) {
        if (e.number() == kErrOutOfMemory)
            throw;  // not the picture's fault; nothing is written
        outcome.status = RunOutcome::Status::Unreadable;
        outcome.problem = e.what();
    }
    m_ui.showMessage(
        {std::string(kPictureUnreadableText) + "\n" + outcome.problem, std::string(kRunErrorTitle), MessageIcon::Critical});
    return false;
}

void LogoRun::writeImage(const MemorySurface& surface, std::string_view jpegName, const std::filesystem::path& ozjPath,
    RunOutcome& outcome)
{
    const std::filesystem::path jpegPath = pathIn(m_applicationFolder, jpegName);
    try {
        ExportJpeg(surface, jpegPath, m_applicationFolder);
        WriteOzj(jpegPath, ozjPath);
        std::error_code ec;
        outcome.written.push_back({ozjPath, std::filesystem::file_size(ozjPath, ec)});
    } catch (const RunTimeError& e) {
        // Leave no intermediate behind for a part that failed.
        std::error_code ignored;
        std::filesystem::remove(jpegPath, ignored);
        // The list names the file already.
        std::string reason = e.what();
        const std::string named = utf8(ozjPath) + ": ";
        if (reason.rfind(named, 0) == 0)
            reason.erase(0, named.size());
        outcome.failed.push_back({ozjPath, reason});
    } catch (const std::bad_alloc&) {
        outcome.failed.push_back({ozjPath, "not enough memory"});
    }
}

void LogoRun::report(RunOutcome& outcome, std::string_view completionText, const std::filesystem::path& destination)
{
    const std::string summary = writtenSummary(outcome, destination);
    if (outcome.failed.empty() && !outcome.written.empty()) {
        outcome.status = RunOutcome::Status::Done;
        m_ui.showMessage(
            {std::string(completionText), std::string(completionTitle()), MessageIcon::Information, summary});
        return;
    }
    outcome.status = RunOutcome::Status::Incomplete;
    std::string text(kFilesNotWrittenText);
    for (const RunOutcome::Failed& f : outcome.failed)
        text += "\n" + utf8(f.path) + " (" + f.reason + ")";
    m_ui.showMessage({text, std::string(kRunErrorTitle), MessageIcon::Critical, summary});
}

}  // namespace tav
