// The main window's handlers and its preview: the picture cut as the startup logo by the logo
// run's own cutter, so that the preview is the logo as it will be written (256 x 195, the
// aspect ratio not kept).
#include "app/main_window_logic.h"

#include "app/logo_run.h"
#include "platform/program_environment.h"
#include "platform/run_time_error.h"

#include <exception>
#include <new>
#include <utility>

namespace tav {
namespace {

constexpr std::string_view kOpenTitle = "Abrir";
constexpr std::string_view kOpenDefaultName = "Files";
constexpr std::string_view kImagesDescription = "Imagenes ";
constexpr std::string_view kImagesPattern = "*.jpg;*.bmp;*.gif";
constexpr std::string_view kAllFilesDescription = "Todos los archivos";
constexpr std::string_view kAllFilesPattern = "*.*";
constexpr std::string_view kOpenDefaultExtension = "jpg";

constexpr std::string_view kNoPreviewText = ": the picture cannot be shown";
constexpr std::string_view kTooLargeText = ": the picture is too large for the memory available";

std::string str(std::string_view s) { return std::string(s); }

// The wait cursor for the lifetime of the object.
class WaitCursor {
public:
    explicit WaitCursor(MainWindowView& view) : m_view(view) { m_view.beginWait(); }
    ~WaitCursor() { m_view.endWait(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    MainWindowView& m_view;
};

}  // namespace

MainWindowLogic::MainWindowLogic(MainWindowView& view, UserInterface& ui, std::filesystem::path applicationFolder)
    : m_view(view), m_ui(ui), m_applicationFolder(std::move(applicationFolder)), m_dialogFolder(m_applicationFolder)
{
}

MainWindowLogic::~MainWindowLogic() = default;

FileDialogRequest MainWindowLogic::openPictureRequest() const
{
    FileDialogRequest request;
    request.mode = FileDialogMode::Open;
    request.title = str(kOpenTitle);
    request.defaultFileName = str(kOpenDefaultName);
    request.filters
        = {{str(kImagesDescription), str(kImagesPattern)}, {str(kAllFilesDescription), str(kAllFilesPattern)}};
    request.initialFolder = utf8(m_dialogFolder);
    request.defaultExtension = str(kOpenDefaultExtension);
    return request;
}

void MainWindowLogic::CmdExaminar_Click()
{
    const std::string chosen = m_ui.ShowFileDialog(openPictureRequest());
    if (chosen.empty())
        return;
    takePicture(chosen);
}

MainWindowLogic::PreviewedFile MainWindowLogic::previewedFile(const std::string& path)
{
    PreviewedFile file{path};
    const std::filesystem::path local = pathFromUtf8(path);
    std::error_code error;
    file.modified = std::filesystem::last_write_time(local, error);
    if (error)
        return file;
    file.exists = true;
    file.size = std::filesystem::file_size(local, error);
    if (error)
        file.size = 0;  // a folder: its time alone tells that it changed
    return file;
}

LogoCutter* MainWindowLogic::madeCutter() noexcept
{
    if (!m_cutter) {
        try {
            m_cutter = std::make_unique<LogoCutter>();
        } catch (const std::bad_alloc&) {
        }
    }
    return m_cutter.get();
}

LogoCutter* MainWindowLogic::cutter()
{
    LogoCutter* made = madeCutter();
    if (!made)
        m_ui.showMessage({str(kNoMemoryText), str(kRunErrorTitle), MessageIcon::Critical});
    return made;
}

// The one way the window makes a preview, whether the path was browsed for, dropped or
// typed; under the wait cursor, since a large picture takes a while to decode.
MainWindowLogic::PreviewAttempt MainWindowLogic::previewPicture(const std::string& path)
{
    PreviewAttempt attempt;
    LogoCutter* logoCutter = madeCutter();
    if (!logoCutter) {
        attempt.noMemory = true;
        return attempt;
    }
    WaitCursor wait(m_view);
    try {
        logoCutter->CutStartupLogo(pathFromUtf8(path));
        const DIBSection& logo = logoCutter->logoSurface().bitmap();
        if (logo.bitCount() == 24)
            attempt.logo = &logo;
        else
            attempt.problem = path + str(kNoPreviewText);
    } catch (const RunTimeError& e) {
        // Out of memory, the picture is not to blame: the surface it is drawn on could not be
        // had.
        attempt.noMemory = e.number() == kErrOutOfMemory;
        attempt.problem = e.what();
    } catch (const std::bad_alloc&) {
        attempt.problem = path + str(kTooLargeText);
    }
    return attempt;
}

void MainWindowLogic::show(const DIBSection* logo, std::optional<PreviewedFile> file, const std::string& reason)
{
    m_previewed = std::move(file);
    m_view.showPreview(logo, reason);
}

bool MainWindowLogic::takePicture(const std::string& path)
{
    const PreviewAttempt attempt = previewPicture(path);
    if (attempt.noMemory) {
        m_ui.showMessage({str(kNoMemoryText), str(kRunErrorTitle), MessageIcon::Critical});
        return false;
    }
    if (!attempt.logo) {
        m_ui.showMessage({str(kUnreadableText) + "\n" + attempt.problem, str(kUnreadableTitle), MessageIcon::Exclamation});
        return false;
    }
    m_view.setPathText(path);
    show(attempt.logo, previewedFile(path));
    return true;
}

void MainWindowLogic::previewTypedPath()
{
    const std::string path = m_view.pathText();
    PreviewedFile file = previewedFile(path);
    if (file == m_previewed)
        return;
    if (path.empty()) {
        show(nullptr, std::move(file));
        return;
    }
    const PreviewAttempt attempt = previewPicture(path);
    if (attempt.noMemory)
        show(nullptr, std::nullopt, str(kNoMemoryText));  // may be had on a later try
    else if (!attempt.logo)
        show(nullptr, std::move(file), attempt.problem);
    else
        show(attempt.logo, std::move(file));
}

void MainWindowLogic::CmdAceptar_Click()
{
    const std::string picturePath = m_view.pathText();
    if (picturePath.empty()) {
        m_ui.showMessage({str(kNoPictureText), str(kNoPictureTitle), MessageIcon::Exclamation});
        return;
    }
    for (SeasonIndex season = 0; season < kSeasonCount; ++season) {
        if (m_view.isSeasonSelected(season)) {
            run(season, picturePath);
            return;
        }
    }
}

void MainWindowLogic::run(SeasonIndex season, const std::string& picturePath)
{
    const LogoType type = m_view.isLoadingScreenSelected() ? LogoType::LoadingScreen : LogoType::StartupLogo;
    LogoCutter* logoCutter = cutter();
    if (!logoCutter)
        return;
    WaitCursor wait(m_view);
    try {
        LogoRun logoRun(m_ui, *logoCutter, m_applicationFolder, m_dialogFolder);
        logoRun.make(season, type, picturePath);
    } catch (const RunTimeError& e) {
        // Only running out of memory leaves the run as an error.
        m_ui.showMessage({e.number() == kErrOutOfMemory ? str(kNoMemoryText) : str(kRunStoppedText) + "\n" + e.what(),
                          str(kRunErrorTitle), MessageIcon::Critical});
    } catch (const std::bad_alloc&) {
        m_ui.showMessage({str(kNoMemoryText), str(kRunErrorTitle), MessageIcon::Critical});
    } catch (const std::exception& e) {
        // Nothing may leave a click handler; whatever the run did not expect is still said.
        m_ui.showMessage({str(kRunStoppedText) + "\n" + e.what(), str(kRunErrorTitle), MessageIcon::Critical});
    }
}

}  // namespace tav
