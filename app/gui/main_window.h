// Main: the program's only window. It leads the user through three numbered steps, each in a
// frame control (the client generation, the logo type, the picture), and its make button runs
// the logo run on the chosen picture.
//
// Every control sits at a fixed pixel position in a fixed-size window, over artwork the window
// draws itself. Dialogs and messages go through a UserInterface: the window's own (file dialogs
// and message boxes) unless the caller hands it another one, as the tests do.
#pragma once

#include "app/production_table.h"
#include "app/user_interface.h"

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

class QApplication;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tav {

class FixedAmbient;
class QtUserInterface;
class LogoCutter;
class jcFrames;

// The maker's web address, shown in the title and at the foot of the window.
inline constexpr std::string_view kWebAddress = "www.tavrenix.example";

// The client area's size.
inline constexpr int kMainWidth = 743;
inline constexpr int kMainHeight = 468;

// The look every window of the program shares: the Fusion style (it keeps the fixed pixel
// layout the same on every desktop) in the classic grey the frame controls are drawn in.
void applyMainLook(QApplication& application);

class Main : public QWidget {
    Q_OBJECT

public:
    // `applicationFolder` is where the open dialog starts and the run keeps its intermediate
    // files. `ui` is borrowed; null means the window's own dialogs and message boxes.
    explicit Main(std::filesystem::path applicationFolder, UserInterface* ui = nullptr, QWidget* parent = nullptr);
    ~Main() override;

    // The browse button: choose a picture and preview it.
    void CmdExaminar_Click();
    // The make button: check the picture path and start the logo run.
    void CmdAceptar_Click();

    // Where the file dialogs start instead of the application folder. An installed program
    // works in a private cache folder, which is no place to look for pictures or to leave a
    // logo in; the dialogs then start in the user's own folder.
    void setDialogFolder(const std::filesystem::path& folder);

    // Takes a picture file as the browse button takes its choice: the path into the text box
    // and the picture into the preview. A file that cannot be read as a picture changes
    // neither; the user is told why. Returns whether the file was taken.
    bool takePicture(const QString& path);

    // The controls, as the window's table names them.
    jcFrames* jcfSeason() const { return m_jcfSeason; }
    jcFrames* jcFrames1() const { return m_jcFrames1; }
    jcFrames* jcFrames2() const { return m_jcFrames2; }
    QWidget* PicHeader() const { return m_PicHeader; }
    QLabel* lblWeb() const { return m_lblWeb; }
    QRadioButton* OptVersion(int index) const { return m_OptVersion.at(std::size_t(index)); }
    QRadioButton* OptType(int index) const { return m_OptType.at(std::size_t(index)); }
    QPushButton* CmdAceptar() const { return m_CmdAceptar; }
    QLineEdit* TxtArchivo() const { return m_TxtArchivo; }
    QPushButton* CmdExaminar() const { return m_CmdExaminar; }
    QLabel* ImgPrev() const { return m_ImgPrev; }
    QLabel* LblImageFile() const { return m_LblImageFile; }
    QLabel* Lblinfo2() const { return m_Lblinfo2; }
    QLabel* LblForo() const { return m_LblForo; }
    // Over the lower part of the preview, shown only while the preview is the placeholder for
    // a typed path that could not be previewed: why not.
    QLabel* previewReason() const { return m_previewReason; }

    // The picture the preview shows, at the preview's size.
    QImage previewImage() const { return m_preview; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The file a preview was made from, as it was then: the same path naming a file that has
    // since changed is previewed again.
    struct PreviewedFile {
        QString path;
        bool exists = false;
        std::uintmax_t size = 0;
        std::filesystem::file_time_type modified {};
        bool operator==(const PreviewedFile&) const = default;
    };
    static PreviewedFile previewedFile(const QString& path);

    void buildControls();
    // The preview shows `image`, made for `file` (none: for nothing the text box may name
    // again, so the next finished edit previews afresh); `reason` is said over it, or the
    // reason label hides when it is empty.
    void showPreview(const QImage& image, std::optional<PreviewedFile> file, const QString& reason = {});
    // When editing the path ends: the preview follows the text box, so that it never shows
    // a picture other than the one the box names.
    void previewTypedPath();
    // The cutter, made at its first use; null when memory runs out. cutter() tells the user
    // so, madeCutter() does not.
    LogoCutter* madeCutter() noexcept;
    LogoCutter* cutter();
    // Runs the logo run for the selected season and logo type on `picturePath`.
    void run(SeasonIndex season, const QString& picturePath);

    std::filesystem::path m_applicationFolder;
    std::filesystem::path m_dialogFolder;
    std::unique_ptr<QtUserInterface> m_ownUi;  // the window's own dialogs, when none was handed in
    UserInterface* m_ui;
    // Made at the first use and kept: the drawing surfaces and the image-information reader.
    std::unique_ptr<LogoCutter> m_cutter;
    // The host's ambient properties of each frame control; the frames borrow them.
    std::array<std::unique_ptr<FixedAmbient>, 3> m_ambients;
    QPixmap m_background;
    QImage m_placeholder;
    QImage m_preview;
    // What the preview was last made for; the text box's editingFinished comes at every
    // focus loss and Enter, and a picture is decoded again only when this differs.
    std::optional<PreviewedFile> m_previewed;

    jcFrames* m_jcfSeason = nullptr;
    std::array<QRadioButton*, kSeasonCount> m_OptVersion {};
    QWidget* m_PicHeader = nullptr;
    QLabel* m_lblWeb = nullptr;
    jcFrames* m_jcFrames1 = nullptr;
    std::array<QRadioButton*, 2> m_OptType {};
    jcFrames* m_jcFrames2 = nullptr;
    QPushButton* m_CmdAceptar = nullptr;
    QLineEdit* m_TxtArchivo = nullptr;
    QPushButton* m_CmdExaminar = nullptr;
    QLabel* m_ImgPrev = nullptr;
    QLabel* m_LblImageFile = nullptr;
    QLabel* m_Lblinfo2 = nullptr;
    QLabel* m_LblForo = nullptr;
    QLabel* m_previewReason = nullptr;
};

}  // namespace tav
