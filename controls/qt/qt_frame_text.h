// The frame control's text on Linux: Qt's fonts and text layout, drawn into the control's
// surface through a QImage over its pixels, and the conversions between the control's plain
// values and Qt's.
#pragma once

#include "controls/frame_picture.h"
#include "controls/frame_text.h"

#include <QFont>
#include <QImage>
#include <QString>

namespace tav {

class QtFrameText : public FrameText {
public:
    double lineWidth(const FrameFont& font, std::u16string_view line) const override;
    double lineHeight(const FrameFont& font) const override;
    TextSize wrappedSize(const FrameFont& font, int width, std::u16string_view text) const override;
    void draw(FrameCanvas& canvas, const FrameFont& font, Colour colour, const FrameRect& rect, int format,
              std::u16string_view text) const override;
};

// The one text engine the Qt side's frames share.
const QtFrameText& qtFrameText();

// The control's font as Qt draws it at 96 dots per inch: aliased glyphs on whole-pixel
// advances, as the classic desktop drew small captions.
QFont toQFont(const FrameFont& font);
FrameFont fromQFont(const QFont& font);

inline QString toQString(std::u16string_view text) { return QString(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size())); }
inline std::u16string fromQString(const QString& text) { return text.toStdU16String(); }

// The surface's pixels seen as a QImage (RGB32), sharing them; valid while the surface keeps
// its size.
QImage surfaceImage(const FrameCanvas& canvas);
// A picture object from an image: its pixels as straight-alpha ARGB.
PictureRef pictureFromImage(const QImage& image, FramePicture::Kind kind);

}  // namespace tav
