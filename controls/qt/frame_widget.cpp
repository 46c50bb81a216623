// The frame widget: the control's image painted as it is, the mask following the window
// region after every repaint.
#include "controls/qt/frame_widget.h"

#include "controls/qt/qt_frame_text.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QResizeEvent>

namespace tav {
namespace {

// Mouse buttons and shift keys in the platform's bit layout.
qint16 buttonBits(Qt::MouseButtons buttons)
{
    qint16 bits = 0;
    if (buttons & Qt::LeftButton)
        bits |= 1;
    if (buttons & Qt::RightButton)
        bits |= 2;
    if (buttons & Qt::MiddleButton)
        bits |= 4;
    return bits;
}

qint16 shiftBits(Qt::KeyboardModifiers modifiers)
{
    qint16 bits = 0;
    if (modifiers & Qt::ShiftModifier)
        bits |= 1;
    if (modifiers & Qt::ControlModifier)
        bits |= 2;
    if (modifiers & Qt::AltModifier)
        bits |= 4;
    return bits;
}

QRegion toQRegion(const FrameRegion& region)
{
    QRegion result;
    for (const RegionBox& box : region.boxes())
        result += QRect(box.x, box.y, box.width, box.height);
    return result;
}

}  // namespace

FrameWidget::FrameWidget(QWidget* parent) : QWidget(parent), m_frame(qtFrameText())
{
    setMinimumSize(kMinimumWidthPixels, kMinimumHeightPixels);
    setMouseTracking(true);
    // The image is shown whole on every paint; Qt need not clear behind it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_frame.onRepainted = [this] { showRepaint(); };
    m_frame.onEnabledChanged = [this](bool enabled) {
        // One contained widget that fails must not keep the others from following.
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            try {
                child->setEnabled(enabled);
            } catch (...) {
            }
        }
    };
    m_frame.onPropertyChanged = [this](std::string_view key) {
        emit propertyChanged(QString::fromLatin1(key.data(), qsizetype(key.size())));
    };
    m_frame.onMouseMove = [this](std::int16_t button, std::int16_t shift, float x, float y) {
        emit MouseMove(button, shift, x, y);
    };
    m_frame.resize(width(), height());
}

void FrameWidget::showRepaint()
{
    if (const auto& region = m_frame.windowRegion())
        setMask(toQRegion(*region));
    else
        clearMask();
    update();
}

void FrameWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, surfaceImage(m_frame.surface()));
}

void FrameWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The minimum size normally keeps the host from going below it; a host that sets the
    // geometry around it is put right here, width first.
    if (width() < kMinimumWidthPixels)
        resize(kMinimumWidthPixels, height());
    if (height() < kMinimumHeightPixels)
        resize(width(), kMinimumHeightPixels);
    m_frame.resize(width(), height());
}

void FrameWidget::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF position = event->position();
    m_frame.MouseMove(buttonBits(event->buttons()), shiftBits(event->modifiers()), float(position.x()),
                      float(position.y()));
}

}  // namespace tav
