// The main window: controls at fixed pixel positions over the window's artwork, the browse
// and make handlers, a picture dropped on the window taken as if browsed for, the preview
// following a path typed into the text box, and the wait cursor while a picture is decoded or
// a run works.
#include "app/gui/main_window.h"

#include "app/gui/picture_preview.h"
#include "app/gui/qt_user_interface.h"
#include "app/logo_cutter.h"
#include "app/logo_run.h"
#include "controls/jc_frames.h"
#include "app/gui/main_window_frames.h"
#include "platform/run_time_error.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QUrl>

#include <exception>
#include <new>
#include <utility>

namespace tav {
namespace {

// The window's own texts; the captions of the seasons and logo types, and every text of the
// run, come from the production table.
constexpr std::string_view kTitlePrefix = "Tavrenix - Written by Kelbrin - ";
constexpr std::string_view kHeaderText = "Tavrenix";
constexpr std::string_view kMakeText = "Make my logo now!";
constexpr std::string_view kBrowseText = "...";
constexpr std::string_view kBrowseToolTip = "Browse your system for images";
constexpr std::string_view kPreviewToolTip = "Your selected image";
constexpr std::string_view kImageFileText = "Image file ( JPG, GIF, BMP )";
constexpr std::string_view kResizeInfoText = "All logos are auto-resized to the right size for the logo.";

constexpr std::string_view kNoPictureText = "Please choose image file before create logo !!!";
constexpr std::string_view kNoPictureTitle = "No hay una estupida imagen";

constexpr std::string_view kOpenTitle = "Abrir";
constexpr std::string_view kOpenDefaultName = "Files";
constexpr std::string_view kImagesDescription = "Imagenes ";
constexpr std::string_view kImagesPattern = "*.jpg;*.bmp;*.gif";
constexpr std::string_view kAllFilesDescription = "Todos los archivos";
constexpr std::string_view kAllFilesPattern = "*.*";
constexpr std::string_view kOpenDefaultExtension = "jpg";

constexpr std::string_view kUnreadableTitle = "Picture not taken";
constexpr std::string_view kUnreadableText = "This file cannot be read as a picture, so the previous choice is kept:";
constexpr std::string_view kNoMemoryText = "There is not enough memory to make the logo.";
constexpr std::string_view kNoPreviewText = ": the picture cannot be shown";
constexpr std::string_view kTooLargeText = ": the picture is too large for the memory available";
constexpr std::string_view kRunStoppedText = "The logo run stopped unexpectedly:";

// The artwork, built into the program.
const char* const kBackgroundResource = ":/tavrenix/background.jpg";
const char* const kPlaceholderResource = ":/tavrenix/placeholder.png";
const char* const kIconResource = ":/tavrenix/icon.png";

// The classic button face, the grey the frame controls are drawn in.
const QColor kButtonFace(212, 208, 200);
const QColor kHeaderColour(255, 255, 255);
const QColor kDarkText(0, 0, 0);
const QColor kInfoColour(255, 255, 0);
const QColor kWebColour(255, 255, 255);
// Dark red, readable on the placeholder's pale panel.
const QColor kReasonColour(150, 0, 0);
// Shown where the background picture is missing; as dark as the artwork.
const QColor kBackgroundFallback(14, 16, 48);

// Font sizes in points.
constexpr qreal kControlPoints = 9.75;
constexpr qreal kBrowsePoints = 8.25;
constexpr qreal kLargePoints = 27.75;

constexpr int kHeaderHeight = 51;

QString text(std::string_view s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }
std::string str(std::string_view s) { return std::string(s); }

QFont arialBold(qreal points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

void setForeground(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

// Labels are transparent: the artwork or the frame shows around their text. Text starts at the
// top left and wraps at word boundaries, unless centred on one line.
QLabel* makeLabel(QWidget* parent, const char* name, const QRect& geometry, std::string_view caption, qreal points,
    const QColor& colour, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop)
{
    auto* label = new QLabel(text(caption), parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFont(arialBold(points));
    label->setAlignment(alignment);
    label->setWordWrap(alignment & Qt::AlignLeft);
    setForeground(label, colour);
    return label;
}

QRadioButton* makeOption(QWidget* parent, const QString& name, const QRect& geometry, std::string_view caption)
{
    auto* option = new QRadioButton(text(caption), parent);
    option->setObjectName(name);
    option->setGeometry(geometry);
    option->setFont(arialBold(kControlPoints));
    return option;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QRect& geometry, std::string_view caption,
    qreal points)
{
    auto* button = new QPushButton(text(caption), parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setFont(arialBold(points));
    button->setAutoDefault(false);
    return button;
}

jcFrames* loadFrame(QWidget* parent, MainWindowFrame which, QPoint position, std::unique_ptr<FixedAmbient>& ambient)
{
    StoredFrame stored = storedMainWindowFrame(which);
    // The host's ambient properties: the window's back colour, the instance's name, the
    // window's font.
    ambient = std::make_unique<FixedAmbient>(systemColourRef(kColorBtnFace), stored.name, mainWindowFrameFont());
    auto* frame = new jcFrames(parent);
    frame->setObjectName(stored.name);
    frame->setAmbient(ambient.get());
    frame->setGeometry(QRect(position, stored.size));
    frame->readProperties(stored.properties);
    return frame;
}

// The one local file a drag carries, or an empty string.
QString draggedFile(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls())
        return {};
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    const QString path = urls.first().toLocalFile();
    return QFileInfo(path).isDir() ? QString() : path;
}

// What previewing a picture came to: the preview, or why there is none.
struct PreviewAttempt {
    QImage image;  // null when there is no preview
    std::string problem;  // names the file and what is wrong with it
    bool noMemory = false;  // memory ran out; the picture is not to blame
};

// The preview of the picture at `path`, under the wait cursor: a large picture takes a while
// to decode. The one way the window makes a preview, whether the path was browsed for, dropped
// or typed. A null cutter is memory that ran out.
PreviewAttempt previewPicture(LogoCutter* cutter, const QString& path);

// The wait cursor for the lifetime of the object.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

PreviewAttempt previewPicture(LogoCutter* cutter, const QString& path)
{
    PreviewAttempt attempt;
    if (!cutter) {
        attempt.noMemory = true;
        return attempt;
    }
    WaitCursor wait;
    try {
        attempt.image = previewOf(*cutter, toLocalPath(path));
        if (attempt.image.isNull())
            attempt.problem = toLocalPath(path) + str(kNoPreviewText);
    } catch (const RunTimeError& e) {
        // Out of memory, the picture is not to blame: the surface it is drawn on could not be
        // had.
        attempt.noMemory = e.number() == kErrOutOfMemory;
        attempt.problem = e.what();
    } catch (const std::bad_alloc&) {
        attempt.problem = toLocalPath(path) + str(kTooLargeText);
    }
    return attempt;
}

}  // namespace

void applyMainLook(QApplication& application)
{
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        application.setStyle(fusion);
    application.setPalette(QPalette(kButtonFace));
}

Main::Main(std::filesystem::path applicationFolder, UserInterface* ui, QWidget* parent)
    : QWidget(parent),
      m_applicationFolder(std::move(applicationFolder)),
      m_dialogFolder(m_applicationFolder),
      m_ui(ui)
{
    if (!m_ui) {
        m_ownUi = std::make_unique<QtUserInterface>(this);
        m_ui = m_ownUi.get();
    }
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(text(kTitlePrefix) + text(kWebAddress));
    setWindowIcon(QIcon(QLatin1String(kIconResource)));
    setFixedSize(kMainWidth, kMainHeight);
    setAcceptDrops(true);
    m_background.load(QLatin1String(kBackgroundResource));
    m_placeholder.load(QLatin1String(kPlaceholderResource));
    buildControls();
}

Main::~Main()
{
    // The ambient properties end with this object, before QWidget deletes the frames.
    for (jcFrames* frame : {m_jcfSeason, m_jcFrames1, m_jcFrames2})
        frame->setAmbient(nullptr);
}

void Main::buildControls()
{
    // Step 1: the client generation.
    m_jcfSeason = loadFrame(this, MainWindowFrame::Season, {14, 63}, m_ambients[0]);
    const std::array<QRect, kSeasonCount> seasonGeometry
        = {QRect(5, 35, 231, 21), QRect(5, 60, 231, 21), QRect(5, 85, 231, 21), QRect(7, 112, 231, 21)};
    for (SeasonIndex s = 0; s < kSeasonCount; ++s)
        m_OptVersion[std::size_t(s)] = makeOption(m_jcfSeason, QStringLiteral("OptVersion%1").arg(s),
            seasonGeometry[std::size_t(s)], seasonLayout(s).caption);
    m_OptVersion[0]->setChecked(true);

    // The header bar.
    m_PicHeader = new QWidget(this);
    m_PicHeader->setObjectName(QStringLiteral("PicHeader"));
    m_PicHeader->setGeometry(0, 0, kMainWidth, kHeaderHeight);
    m_PicHeader->setAutoFillBackground(true);
    QPalette headerPalette = m_PicHeader->palette();
    headerPalette.setColor(QPalette::Window, kHeaderColour);
    m_PicHeader->setPalette(headerPalette);
    m_lblWeb = makeLabel(m_PicHeader, "lblWeb", QRect(220, 5, 274, 44), kHeaderText, kLargePoints, kDarkText,
        Qt::AlignCenter);

    // Step 2: the logo type.
    m_jcFrames1 = loadFrame(this, MainWindowFrame::LogoType, {14, 217}, m_ambients[1]);
    m_OptType[0] = makeOption(m_jcFrames1, QStringLiteral("OptType0"), QRect(5, 35, 231, 21),
        logoTypeCaption(LogoType::StartupLogo));
    m_OptType[1] = makeOption(m_jcFrames1, QStringLiteral("OptType1"), QRect(5, 60, 231, 21),
        logoTypeCaption(LogoType::LoadingScreen));
    m_OptType[0]->setChecked(true);

    // Step 3: the picture.
    m_jcFrames2 = loadFrame(this, MainWindowFrame::Image, {336, 63}, m_ambients[2]);
    m_ImgPrev = new QLabel(m_jcFrames2);
    m_ImgPrev->setObjectName(QStringLiteral("ImgPrev"));
    m_ImgPrev->setGeometry(75, 35, 256, 195);
    m_ImgPrev->setScaledContents(true);
    m_ImgPrev->setToolTip(text(kPreviewToolTip));
    // Below the placeholder's pictogram, inside its dashed border.
    m_previewReason = makeLabel(m_ImgPrev, "previewReason", QRect(12, 134, 232, 50), "", kBrowsePoints, kReasonColour,
        Qt::AlignHCenter | Qt::AlignTop);
    m_previewReason->setWordWrap(true);
    showPreview(m_placeholder, previewedFile({}));
    m_LblImageFile
        = makeLabel(m_jcFrames2, "LblImageFile", QRect(15, 240, 243, 16), kImageFileText, kControlPoints, kDarkText);
    m_TxtArchivo = new QLineEdit(m_jcFrames2);
    m_TxtArchivo->setObjectName(QStringLiteral("TxtArchivo"));
    m_TxtArchivo->setGeometry(15, 260, 301, 21);
    m_TxtArchivo->setFont(arialBold(kBrowsePoints));
    // A file dropped on the text box is taken by the window, like one dropped anywhere else.
    m_TxtArchivo->setAcceptDrops(false);
    m_CmdExaminar = makeButton(m_jcFrames2, "CmdExaminar", QRect(325, 260, 33, 21), kBrowseText, kBrowsePoints);
    m_CmdExaminar->setToolTip(text(kBrowseToolTip));
    m_CmdAceptar = makeButton(m_jcFrames2, "CmdAceptar", QRect(100, 290, 162, 30), kMakeText, kControlPoints);

    // On the artwork.
    m_Lblinfo2 = makeLabel(this, "Lblinfo2", QRect(21, 329, 250, 36), kResizeInfoText, kControlPoints, kInfoColour);
    m_LblForo
        = makeLabel(this, "LblForo", QRect(56, 413, 676, 44), kWebAddress, kLargePoints, kWebColour, Qt::AlignCenter);

    connect(m_CmdExaminar, &QPushButton::clicked, this, &Main::CmdExaminar_Click);
    connect(m_CmdAceptar, &QPushButton::clicked, this, &Main::CmdAceptar_Click);
    connect(m_TxtArchivo, &QLineEdit::editingFinished, this, &Main::previewTypedPath);
}

void Main::setDialogFolder(const std::filesystem::path& folder)
{
    m_dialogFolder = folder;
}

void Main::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_background.isNull())
        painter.fillRect(rect(), kBackgroundFallback);
    else
        painter.drawPixmap(0, 0, m_background);  // from the top-left corner, clipped by the window
}

Main::PreviewedFile Main::previewedFile(const QString& path)
{
    PreviewedFile file {path};
    const std::filesystem::path local = toLocalPath(path);
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

void Main::showPreview(const QImage& image, std::optional<PreviewedFile> file, const QString& reason)
{
    m_preview = image;
    m_previewed = std::move(file);
    m_ImgPrev->setPixmap(QPixmap::fromImage(image));
    m_previewReason->setText(reason);
    // The label holds four lines; a longer reason is read whole in its tool tip.
    m_previewReason->setToolTip(reason);
    m_previewReason->setVisible(!reason.isEmpty());
}

void Main::CmdExaminar_Click()
{
    FileDialogRequest request;
    request.mode = FileDialogMode::Open;
    request.title = str(kOpenTitle);
    request.defaultFileName = str(kOpenDefaultName);
    request.filters
        = {{str(kImagesDescription), str(kImagesPattern)}, {str(kAllFilesDescription), str(kAllFilesPattern)}};
    request.initialFolder = m_dialogFolder.string();
    request.defaultExtension = str(kOpenDefaultExtension);
    const std::string chosen = m_ui->ShowFileDialog(request);
    if (chosen.empty())
        return;
    takePicture(fromLocalPath(chosen));
}

LogoCutter* Main::madeCutter() noexcept
{
    if (!m_cutter) {
        try {
            m_cutter = std::make_unique<LogoCutter>();
        } catch (const std::bad_alloc&) {
        }
    }
    return m_cutter.get();
}

LogoCutter* Main::cutter()
{
    LogoCutter* made = madeCutter();
    if (!made)
        m_ui->showMessage({str(kNoMemoryText), str(kRunErrorTitle), MessageIcon::Critical});
    return made;
}

bool Main::takePicture(const QString& path)
{
    const PreviewAttempt attempt = previewPicture(madeCutter(), path);
    if (attempt.noMemory) {
        m_ui->showMessage({str(kNoMemoryText), str(kRunErrorTitle), MessageIcon::Critical});
        return false;
    }
    if (attempt.image.isNull()) {
        m_ui->showMessage(
            {str(kUnreadableText) + "\n" + attempt.problem, str(kUnreadableTitle), MessageIcon::Exclamation});
        return false;
    }
    m_TxtArchivo->setText(path);
    showPreview(attempt.image, previewedFile(path));
    return true;
}

void Main::previewTypedPath()
{
    const QString path = m_TxtArchivo->text();
    PreviewedFile file = previewedFile(path);
    if (file == m_previewed)
        return;
    if (path.isEmpty()) {
        showPreview(m_placeholder, std::move(file));
        return;
    }
    // Said on the preview, not in a message box: this comes at every focus loss, and a box
    // would take the focus from wherever the user was going.
    const PreviewAttempt attempt = previewPicture(madeCutter(), path);
    if (attempt.noMemory)
        showPreview(m_placeholder, std::nullopt, text(kNoMemoryText));  // may be had on a later try
    else if (attempt.image.isNull())
        showPreview(m_placeholder, std::move(file), QString::fromStdString(attempt.problem));
    else
        showPreview(attempt.image, std::move(file));
}

void Main::CmdAceptar_Click()
{
    const QString picturePath = m_TxtArchivo->text();
    if (picturePath.isEmpty()) {
        m_ui->showMessage({str(kNoPictureText), str(kNoPictureTitle), MessageIcon::Exclamation});
        return;
    }
    for (SeasonIndex season = 0; season < kSeasonCount; ++season) {
        if (m_OptVersion[std::size_t(season)]->isChecked()) {
            run(season, picturePath);
            return;
        }
    }
}

void Main::run(SeasonIndex season, const QString& picturePath)
{
    const LogoType type = m_OptType[1]->isChecked() ? LogoType::LoadingScreen : LogoType::StartupLogo;
    LogoCutter* logoCutter = cutter();
    if (!logoCutter)
        return;
    WaitCursor wait;
    try {
        LogoRun logoRun(*m_ui, *logoCutter, m_applicationFolder, m_dialogFolder);
        logoRun.make(season, type, toLocalPath(picturePath));
    } catch (const RunTimeError& e) {
        // Only running out of memory leaves the run as an error.
        m_ui->showMessage({e.number() == kErrOutOfMemory ? str(kNoMemoryText) : str(kRunStoppedText) + "\n" + e.what(),
            str(kRunErrorTitle), MessageIcon::Critical});
    } catch (const std::bad_alloc&) {
        m_ui->showMessage({str(kNoMemoryText), str(kRunErrorTitle), MessageIcon::Critical});
    } catch (const std::exception& e) {
        // Nothing may leave a click handler; whatever the run did not expect is still said.
        m_ui->showMessage({str(kRunStoppedText) + "\n" + e.what(), str(kRunErrorTitle), MessageIcon::Critical});
    }
}

void Main::dragEnterEvent(QDragEnterEvent* event)
{
    if (!draggedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Main::dropEvent(QDropEvent* event)
{
    const QString path = draggedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // Taken once the drop has ended: a message about an unreadable file must not open while
    // the drag source still waits for the drop to finish.
    QMetaObject::invokeMethod(
        this, [this, path] { takePicture(path); }, Qt::QueuedConnection);
}

}  // namespace tav
