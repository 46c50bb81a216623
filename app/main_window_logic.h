// What the main window does, apart from its widgets: the browse and make handlers, the
// preview of a chosen, dropped or typed picture, and every message they give. The Qt window
// and the Win32 window each implement MainWindowView over their own widgets and hand their
// clicks and edits to one MainWindowLogic.
#pragma once

#include "app/logo_cutter.h"
#include "app/production_table.h"
#include "app/user_interface.h"
#include "platform/dib.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tav {

inline constexpr std::string_view kNoPictureText = "Please choose image file before create logo !!!";
inline constexpr std::string_view kNoPictureTitle = "No hay una estupida imagen";
inline constexpr std::string_view kUnreadableTitle = "Picture not taken";
inline constexpr std::string_view kUnreadableText = "This file cannot be read as a picture, so the previous choice is kept:";
inline constexpr std::string_view kNoMemoryText = "There is not enough memory to make the logo.";
inline constexpr std::string_view kRunStoppedText = "The logo run stopped unexpectedly:";

// The widgets' side, texts in UTF-8.
class MainWindowView {
public:
    virtual ~MainWindowView() = default;

    virtual std::string pathText() const = 0;
    virtual void setPathText(const std::string& path) = 0;
    virtual bool isSeasonSelected(SeasonIndex season) const = 0;
    virtual bool isLoadingScreenSelected() const = 0;
    // The preview shows `logo` (a 24-bit bitmap, copied at once) or, when it is null, the
    // placeholder; `reason`, when not empty, is written over the placeholder.
    virtual void showPreview(const DIBSection* logo, const std::string& reason) = 0;
    // The wait cursor, from beginWait to endWait.
    virtual void beginWait() = 0;
    virtual void endWait() = 0;
};

class MainWindowLogic {
public:
    // `applicationFolder` is where the open dialog starts and the run keeps its intermediate
    // files. The view and the user interface are borrowed.
    MainWindowLogic(MainWindowView& view, UserInterface& ui, std::filesystem::path applicationFolder);
    ~MainWindowLogic();

    // The browse button: choose a picture and preview it.
    void CmdExaminar_Click();
    // The make button: check the picture path and start the logo run.
    void CmdAceptar_Click();
    // When editing the path ends: the preview follows the text box, so that it never shows a
    // picture other than the one the box names. Said on the preview, not in a message box:
    // this comes at every focus loss, and a box would take the focus from wherever the user
    // was going. The same unchanged file is not decoded again.
    void previewTypedPath();
    // Takes a picture file as the browse button takes its choice: the path into the text box
    // and the picture into the preview. A file that cannot be read as a picture changes
    // neither; the user is told why. Returns whether the file was taken.
    bool takePicture(const std::string& path);

    // Where the file dialogs start instead of the application folder. An installed program
    // works in a private cache folder, which is no place to look for pictures or to leave a
    // logo in; the dialogs then start in the user's own folder.
    void setDialogFolder(const std::filesystem::path& folder) { m_dialogFolder = folder; }

    // The request the browse button makes.
    FileDialogRequest openPictureRequest() const;

private:
    // The file a preview was made from, as it was then: the same path naming a file that has
    // since changed is previewed again.
    struct PreviewedFile {
        std::string path;
        bool exists = false;
        std::uintmax_t size = 0;
        std::filesystem::file_time_type modified{};
        bool operator==(const PreviewedFile&) const = default;
    };
    static PreviewedFile previewedFile(const std::string& path);

    // What previewing a picture came to: the preview on the cutter's logo surface, or why
    // there is none.
    struct PreviewAttempt {
        const DIBSection* logo = nullptr;
        std::string problem;    // names the file and what is wrong with it
        bool noMemory = false;  // memory ran out; the picture is not to blame
    };
    PreviewAttempt previewPicture(const std::string& path);

    void show(const DIBSection* logo, std::optional<PreviewedFile> file, const std::string& reason = {});
    // The cutter, made at its first use; null when memory runs out. cutter() tells the user
    // so, madeCutter() does not.
    LogoCutter* madeCutter() noexcept;
    LogoCutter* cutter();
    void run(SeasonIndex season, const std::string& picturePath);

    MainWindowView& m_view;
    UserInterface& m_ui;
    std::filesystem::path m_applicationFolder;
    std::filesystem::path m_dialogFolder;
    // Made at the first use and kept: the drawing surfaces and the image-information reader.
    std::unique_ptr<LogoCutter> m_cutter;
    // What the preview was last made for.
    std::optional<PreviewedFile> m_previewed;
};

}  // namespace tav
