// Main: the program's only window, the Qt front end of the window's table and handlers. It
// leads the user through three numbered steps, each in a frame control (the client
// generation, the logo type, the picture), and its make button runs the logo run on the
// chosen picture.
//
// Every control sits at a fixed pixel position in a fixed-size window, over artwork the window
// draws itself. Dialogs and messages go through a UserInterface: the window's own (file dialogs
// and message boxes) unless the caller hands it another one, as the tests do.
#pragma once

#include "app/main_window_layout.h"
#include "app/main_window_logic.h"
#include "app/production_table.h"
#include "app/user_interface.h"

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <array>
#include <filesystem>
#include <memory>

class QApplication;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tav {

class FixedAmbient;
class QtUserInterface;
class FrameWidget;

// The look every window of the program shares: the Fusion style (it keeps the fixed pixel
// layout the same on every desktop) in the classic grey the frame controls are drawn in.
void applyMainLook(QApplication& application);

class Main : public QWidget, private MainWindowView {
    Q_OBJECT

public:
    // `applicationFolder` is where the open dialog starts and the run keeps its intermediate
    // files. `ui` is borrowed; null means the window's own dialogs and message boxes.
    explicit Main(std::filesystem::path applicationFolder, UserInterface* ui = nullptr, QWidget* parent = nullptr);
    ~Main() override;

    // The handlers (see MainWindowLogic).
    void CmdExaminar_Click() { m_logic.CmdExaminar_Click(); }
    void CmdAceptar_Click() { m_logic.CmdAceptar_Click(); }
    void setDialogFolder(const std::filesystem::path& folder) { m_logic.setDialogFolder(folder); }
    bool takePicture(const QString& path);

    // The controls, as the window's table names them.
    FrameWidget* jcfSeason() const { return m_jcfSeason; }
    FrameWidget* jcFrames1() const { return m_jcFrames1; }
    FrameWidget* jcFrames2() const { return m_jcFrames2; }
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
    // The view the handlers work on.
    std::string pathText() const override;
    void setPathText(const std::string& path) override;
    bool isSeasonSelected(SeasonIndex season) const override;
    bool isLoadingScreenSelected() const override;
    void showPreview(const DIBSection* logo, const std::string& reason) override;
    void beginWait() override;
    void endWait() override;

    void buildControls();
    std::unique_ptr<QtUserInterface> m_ownUi;  // the window's own dialogs, when none was handed in
    MainWindowLogic m_logic;
    // The host's ambient properties of each frame control; the frames borrow them.
    std::array<std::unique_ptr<FixedAmbient>, 3> m_ambients;
    QPixmap m_background;
    QImage m_placeholder;
    QImage m_preview;

    FrameWidget* m_jcfSeason = nullptr;
    std::array<QRadioButton*, kSeasonCount> m_OptVersion {};
    QWidget* m_PicHeader = nullptr;
    QLabel* m_lblWeb = nullptr;
    FrameWidget* m_jcFrames1 = nullptr;
    std::array<QRadioButton*, 2> m_OptType {};
    FrameWidget* m_jcFrames2 = nullptr;
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
