#include "app/logo_run.h"

#include "app/jpeg_export.h"
#include "app/ozj_container.h"
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

RunOutcome LogoRun::make(SeasonIndex season, LogoType type, const std::string& picturePath)
{
    if (!isSeason(season))
        return {};
    if (type == LogoType::StartupLogo && !seasonLayout(season).hasStartupLogo) {
        const StartupLogoLayout& logo = startupLogoLayout();
        m_ui.showMessage(std::string(logo.noStartupLogoText), std::string(logo.noStartupLogoTitle),
            MessageIcon::Information);
        RunOutcome outcome;
        outcome.status = RunOutcome::Status::Refused;
        return outcome;
    }
    return type == LogoType::StartupLogo ? MakeStartupLogo(season, picturePath)
                                         : MakeLoadingScreens(season, picturePath);
}

RunOutcome LogoRun::MakeStartupLogo(SeasonIndex season, const std::string& picturePath)
{
    RunOutcome outcome;
    if (!isSeason(season) || !seasonLayout(season).hasStartupLogo)
        return outcome;
    const StartupLogoLayout& logo = startupLogoLayout();
    FileDialogRequest request;
    request.mode = FileDialogMode::Save;
    request.title = logo.saveDialogTitle;
    request.defaultFileName = logo.defaultFileName;
    request.filters = {{std::string(logo.filterDescription), std::string(logo.filterPattern)}};
    request.initialFolder = m_dialogFolder.string();
    request.defaultExtension = logo.defaultExtension;
    const std::string destination = m_ui.ShowFileDialog(request);
    if (destination.empty()) {
        outcome.status = RunOutcome::Status::Cancelled;
        return outcome;
    }
    if (!cut(outcome, [&] { m_cutter.CutStartupLogo(picturePath); }))
        return outcome;
    writeImage(m_cutter.logoSurface().bitmap(), logo.jpegName, destination, outcome);
    report(outcome, logo.completionText);
    return outcome;
}

RunOutcome LogoRun::MakeLoadingScreens(SeasonIndex season, const std::string& picturePath)
{
    RunOutcome outcome;
    if (!isSeason(season))
        return outcome;
    const SeasonLayout& layout = seasonLayout(season);
    const std::string folder = m_ui.BrowseForFolder(std::string(layout.folderBrowserTitle));
    if (folder.empty()) {
        outcome.status = RunOutcome::Status::Cancelled;
        return outcome;
    }
    if (!cut(outcome, [&] { m_cutter.CutLoadingScreen(season, picturePath); }))
        return outcome;
    for (std::size_t i = 0; i < layout.parts.size(); ++i) {
        const PartLayout& part = layout.parts[i];
        writeImage(m_cutter.partSurface(season, int(i)).bitmap(), part.jpegName, pathIn(folder, part.ozjName),
            outcome);
    }
    report(outcome, layout.completionText);
    return outcome;
}

bool LogoRun::cut(RunOutcome& outcome, const std::function<void()>& cutPicture)
{
    try {
        cutPicture();
        return true;
    } catch (const RunTimeError& e) {
        outcome.status = RunOutcome::Status::Unreadable;
        outcome.problem = e.what();
    }
    m_ui.showMessage(std::string(kPictureUnreadableText) + "\n" + outcome.problem, std::string(kRunErrorTitle),
        MessageIcon::Critical);
    return false;
}

void LogoRun::writeImage(const DIBSection& surface, std::string_view jpegName, const std::filesystem::path& ozjPath,
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
        outcome.failed.push_back({ozjPath, e.what()});
    } catch (const std::bad_alloc&) {
        outcome.failed.push_back({ozjPath, "not enough memory"});
    }
}

void LogoRun::report(RunOutcome& outcome, std::string_view completionText)
{
    if (outcome.failed.empty()) {
        outcome.status = RunOutcome::Status::Done;
        m_ui.showMessage(std::string(completionText), std::string(completionTitle()), MessageIcon::Information);
        return;
    }
    outcome.status = RunOutcome::Status::Incomplete;
    std::string text(kFilesNotWrittenText);
    for (const RunOutcome::Failed& f : outcome.failed)
        text += "\n" + f.path.string() + " (" + f.reason + ")";
    m_ui.showMessage(text, std::string(kRunErrorTitle), MessageIcon::Critical);
}

}  // namespace tav
