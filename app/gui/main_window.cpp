// The main window in Qt: the controls of the window's table over the window's artwork, the
// handlers' view, a picture dropped on the window taken as if browsed for, the preview
// following a path typed into the text box, and the wait cursor while a picture is decoded or
// a run works.
#include "app/gui/main_window.h"

#include "app/gui/picture_preview.h"
#include "app/gui/qt_user_interface.h"
#include "controls/qt/frame_widget.h"
#include "controls/qt/qt_frame_text.h"

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

#include <map>
#include <utility>

namespace tav {
namespace {

// The artwork, built into the program.
const char* const kBackgroundResource = ":/tavrenix/background.jpg";
const char* const kPlaceholderResource = ":/tavrenix/placeholder.png";
const char* const kIconResource = ":/tavrenix/icon.png";

QString text(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
QColor qColour(Colour c) { return QColor(redOf(c), greenOf(c), blueOf(c)); }

QFont arialBold(double points)
{
    QFont font(text(kWindowFontName));
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

// Labels are transparent: the artwork or the frame shows around their text.
QLabel* makeLabel(QWidget* parent, const QString& name, const QRect& geometry, const QString& caption, double points,
                  Colour colour, TextPlacement placement)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setFont(arialBold(points));
    const bool centred = placement == TextPlacement::Centred;
    label->setAlignment(centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(!centred);
    setForeground(label, qColour(colour));
    return label;
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

}  // namespace

void applyMainLook(QApplication& application)
{
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        application.setStyle(fusion);
    application.setPalette(QPalette(qColour(kButtonFace)));
}

Main::Main(std::filesystem::path applicationFolder, UserInterface* ui, QWidget* parent)
    : QWidget(parent),
      m_ownUi(ui ? nullptr : std::make_unique<QtUserInterface>(this)),
      m_logic(*this, ui ? *ui : *m_ownUi, std::move(applicationFolder))
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(text(mainWindowTitle()));
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
    for (FrameWidget* frame : {m_jcfSeason, m_jcFrames1, m_jcFrames2})
        frame->frame().setAmbient(nullptr);
}

void Main::buildControls()
{
    std::map<std::string, QWidget*, std::less<>> parents;
    std::size_t frames = 0;
    for (const ControlSpec& spec : mainWindowControls()) {
        QWidget* parent = spec.parent.empty() ? this : parents.at(spec.parent);
        const QString name = text(spec.name);
        const QRect geometry(spec.x, spec.y, spec.width, spec.height);
        QWidget* made = nullptr;
        switch (spec.kind) {
        case ControlKind::Frame: {
            StoredFrame stored = storedMainWindowFrame(storedFrameOf(spec));
            // The host's ambient properties: the window's back colour, the instance's name,
            // the window's font.
            auto& ambient = m_ambients.at(frames++);
            ambient = std::make_unique<FixedAmbient>(systemColourRef(kColorBtnFace), stored.name, mainWindowFrameFont());
            auto* frame = new FrameWidget(parent);
            frame->setObjectName(name);
            frame->frame().setName(stored.name);
            frame->frame().setAmbient(ambient.get());
            frame->setGeometry(geometry);
            frame->frame().readProperties(stored.properties);
            made = frame;
            break;
        }
        case ControlKind::Option: {
            auto* option = new QRadioButton(text(spec.text), parent);
            option->setGeometry(geometry);
            option->setFont(arialBold(spec.points));
            made = option;
            break;
        }
        case ControlKind::HeaderBar: {
            auto* header = new QWidget(parent);
            header->setGeometry(geometry);
            header->setAutoFillBackground(true);
            QPalette palette = header->palette();
            palette.setColor(QPalette::Window, qColour(spec.colour));
            header->setPalette(palette);
            made = header;
            break;
        }
        case ControlKind::Label:
            made = makeLabel(parent, name, geometry, text(spec.text), spec.points, spec.colour, spec.placement);
            break;
        case ControlKind::Button: {
            auto* button = new QPushButton(text(spec.text), parent);
            button->setGeometry(geometry);
            button->setFont(arialBold(spec.points));
            button->setAutoDefault(false);
            made = button;
            break;
        }
        case ControlKind::TextBox: {
            auto* box = new QLineEdit(parent);
            box->setGeometry(geometry);
            box->setFont(arialBold(spec.points));
            // A file dropped on the text box is taken by the window, like one dropped anywhere else.
            box->setAcceptDrops(false);
            made = box;
            break;
        }
        case ControlKind::Preview: {
            auto* preview = new QLabel(parent);
            preview->setGeometry(geometry);
            preview->setScaledContents(true);
            made = preview;
            break;
        }
        }
        made->setObjectName(name);
        if (!spec.toolTip.empty())
            made->setToolTip(text(spec.toolTip));
        parents.emplace(spec.name, made);
    }

    const auto find = [&parents](std::string_view name) { return parents.at(std::string(name)); };
    m_jcfSeason = static_cast<FrameWidget*>(find("jcfSeason"));
    m_jcFrames1 = static_cast<FrameWidget*>(find("jcFrames1"));
    m_jcFrames2 = static_cast<FrameWidget*>(find("jcFrames2"));
    for (SeasonIndex s = 0; s < kSeasonCount; ++s)
        m_OptVersion[std::size_t(s)] = static_cast<QRadioButton*>(find(seasonOptionName(s)));
    for (int t = 0; t < 2; ++t)
        m_OptType[std::size_t(t)] = static_cast<QRadioButton*>(find(logoTypeOptionName(t)));
    m_PicHeader = find("PicHeader");
    m_lblWeb = static_cast<QLabel*>(find("lblWeb"));
    m_CmdAceptar = static_cast<QPushButton*>(find(kMakeButtonName));
    m_TxtArchivo = static_cast<QLineEdit*>(find(kPathBoxName));
    m_CmdExaminar = static_cast<QPushButton*>(find(kBrowseButtonName));
    m_ImgPrev = static_cast<QLabel*>(find(kPreviewName));
    m_LblImageFile = static_cast<QLabel*>(find("LblImageFile"));
    m_Lblinfo2 = static_cast<QLabel*>(find("Lblinfo2"));
    m_LblForo = static_cast<QLabel*>(find("LblForo"));
    m_OptVersion[0]->setChecked(true);
    m_OptType[0]->setChecked(true);

    const ReasonBox box = kPreviewReasonBox;
    m_previewReason = makeLabel(m_ImgPrev, QStringLiteral("previewReason"), QRect(box.x, box.y, box.width, box.height),
                                QString(), kBrowsePoints, kReasonColour, TextPlacement::TopLeftWrapped);
    m_previewReason->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    showPreview(nullptr, {});

    connect(m_CmdExaminar, &QPushButton::clicked, this, &Main::CmdExaminar_Click);
    connect(m_CmdAceptar, &QPushButton::clicked, this, &Main::CmdAceptar_Click);
    connect(m_TxtArchivo, &QLineEdit::editingFinished, this, [this] { m_logic.previewTypedPath(); });
}

void Main::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_background.isNull())
        painter.fillRect(rect(), qColour(kBackgroundFallback));
    else
        painter.drawPixmap(0, 0, m_background);  // from the top-left corner, clipped by the window
}

bool Main::takePicture(const QString& path)
{
    return m_logic.takePicture(toLocalPath(path));
}

std::string Main::pathText() const
{
    return toLocalPath(m_TxtArchivo->text());
}

void Main::setPathText(const std::string& path)
{
    m_TxtArchivo->setText(fromLocalPath(path));
}

bool Main::isSeasonSelected(SeasonIndex season) const
{
    return m_OptVersion.at(std::size_t(season))->isChecked();
}

bool Main::isLoadingScreenSelected() const
{
    return m_OptType[1]->isChecked();
}

void Main::showPreview(const DIBSection* logo, const std::string& reason)
{
    m_preview = logo ? toQImage(*logo) : m_placeholder;
    m_ImgPrev->setPixmap(QPixmap::fromImage(m_preview));
    const QString said = QString::fromStdString(reason);
    m_previewReason->setText(said);
    // The label holds four lines; a longer reason is read whole in its tool tip.
    m_previewReason->setToolTip(said);
    m_previewReason->setVisible(!said.isEmpty());
}

void Main::beginWait()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void Main::endWait()
{
    QGuiApplication::restoreOverrideCursor();
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
