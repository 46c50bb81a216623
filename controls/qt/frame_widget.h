// The frame control as a Qt widget: it shows the control's surface, cut to the control's
// window region, and passes on its size, its mouse moves and Enabled to the widgets it holds.
#pragma once

#include "controls/jc_frames.h"

#include <QWidget>

namespace tav {

class FrameWidget : public QWidget {
    Q_OBJECT

public:
    explicit FrameWidget(QWidget* parent = nullptr);

    jcFrames& frame() { return m_frame; }
    const jcFrames& frame() const { return m_frame; }

signals:
    // The control's property-changed notification and mouse moves, as Qt signals.
    void propertyChanged(const QString& key);
    void MouseMove(qint16 Button, qint16 Shift, float X, float Y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void showRepaint();

    jcFrames m_frame;
};

}  // namespace tav
