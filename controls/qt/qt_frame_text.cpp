// Qt's text engine behind the frame control's text interface. The surface is wrapped in a
// QImage at 96 dots per inch, so that point sizes give the window's pixels.
#include "controls/qt/qt_frame_text.h"

#include "controls/frame_canvas.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace tav {
namespace {

// 96 dots per inch in dots per metre (96 / 0.0254 = 3779.5...).
constexpr int kDotsPerMetre96 = 3780;

// The platform's text flags in Qt's terms. Vertical centring only works on a single line;
// with word breaks the text starts at the top of its rectangle.
int qtTextFlags(int format)
{
    int flags = 0;
    // Centring wins over the right edge, as the platform's call decides between the two.
    if (format & kDtCenter)
        flags |= Qt::AlignHCenter;
    else if (format & kDtRight)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;
    if (format & kDtSingleLine) {
        flags |= Qt::TextSingleLine;
        flags |= (format & kDtVCenter) ? Qt::AlignVCenter : Qt::AlignTop;
    } else {
        flags |= Qt::AlignTop;
        if (format & kDtWordBreak)
            flags |= Qt::TextWordWrap;
    }
    return flags;
}

// Metrics at 96 dots per inch: taken against an image of that resolution.
const QImage& metricsDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(kDotsPerMetre96);
        image.setDotsPerMeterY(kDotsPerMetre96);
        return image;
    }();
    return device;
}

QImage wrap(FrameCanvas& canvas)
{
    QImage image(reinterpret_cast<uchar*>(canvas.pixels.data()), canvas.width(), canvas.height(),
                 qsizetype(canvas.width()) * 4, QImage::Format_RGB32);
    image.setDotsPerMeterX(kDotsPerMetre96);
    image.setDotsPerMeterY(kDotsPerMetre96);
    return image;
}

}  // namespace

QFont toQFont(const FrameFont& font)
{
    QFont q(toQString(font.name));
    q.setPointSizeF(font.points);
    q.setBold(font.bold);
    q.setItalic(font.italic);
    q.setUnderline(font.underline);
    q.setStrikeOut(font.strikethrough);
    q.setStyleStrategy(QFont::NoAntialias);
    q.setHintingPreference(QFont::PreferFullHinting);
    return q;
}

FrameFont fromQFont(const QFont& font)
{
    FrameFont f;
    f.name = fromQString(font.family());
    f.points = font.pointSizeF();
    f.bold = font.bold();
    f.italic = font.italic();
    f.underline = font.underline();
    f.strikethrough = font.strikeOut();
    return f;
}

double QtFrameText::lineWidth(const FrameFont& font, std::u16string_view line) const
{
    // As the platform's text calls measure: each character's advance from the font's design,
    // rounded to whole pixels, added up without kerning. Full hinting widens some glyphs by a
    // pixel (bold 13-pixel 'a'), which would move the frames' caption gaps and tab edges
    // away from where the other platform puts them.
    QFont unhinted = toQFont(font);
    unhinted.setHintingPreference(QFont::PreferNoHinting);
    unhinted.setKerning(false);
    const QFontMetricsF metrics(unhinted, &metricsDevice());
    double width = 0.0;
    const QString text = toQString(line);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        width += std::floor(metrics.horizontalAdvance(text.mid(i, length)) + 0.5);
        i += length - 1;
    }
    return width;
}

double QtFrameText::lineHeight(const FrameFont& font) const
{
    // A cell of whole pixels, as the platform's text metrics give it.
    return std::ceil(QFontMetricsF(toQFont(font), &metricsDevice()).height());
}

TextSize QtFrameText::wrappedSize(const FrameFont& font, int width, std::u16string_view text) const
{
    // The platform's word breaking, measured as lineWidth measures: words go on a line while
    // they fit, a word wider than the line stands alone on it, '\n' ends a line, and the
    // blanks between words count once. A line broken at a blank keeps it in its width, as the
    // platform's calculated rectangle does.
    double widest = 0.0;
    int lines = 0;
    const QStringList paragraphs = toQString(text).split(QLatin1Char('\n'));
    for (const QString& paragraph : paragraphs) {
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (!line.isEmpty() && lineWidth(font, fromQString(longer)) > width) {
                widest = std::max(widest, lineWidth(font, fromQString(line + QLatin1Char(' '))));
                ++lines;
                line = word;
            } else {
                line = longer;
            }
        }
        widest = std::max(widest, lineWidth(font, fromQString(line)));
        ++lines;
    }
    return {widest, lineHeight(font) * lines};
}

void QtFrameText::draw(FrameCanvas& canvas, const FrameFont& font, Colour colour, const FrameRect& rect, int format,
                       std::u16string_view text) const
{
    QImage image = wrap(canvas);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(toQFont(font));
    painter.setPen(QColor(redOf(colour), greenOf(colour), blueOf(colour)));
    painter.setBackgroundMode(Qt::TransparentMode);
    const QRect box(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    painter.setClipRect(box);
    painter.drawText(box, qtTextFlags(format), toQString(text));
}

const QtFrameText& qtFrameText()
{
    static const QtFrameText text;
    return text;
}

QImage surfaceImage(const FrameCanvas& canvas)
{
    return QImage(reinterpret_cast<const uchar*>(canvas.pixels.data()), canvas.width(), canvas.height(),
                  qsizetype(canvas.width()) * 4, QImage::Format_RGB32);
}

PictureRef pictureFromImage(const QImage& image, FramePicture::Kind kind)
{
    auto picture = std::make_shared<FramePicture>();
    picture->kind = kind;
    if (image.isNull())
        return picture;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    picture->width = argb.width();
    picture->height = argb.height();
    picture->pixels.reserve(std::size_t(argb.width()) * std::size_t(argb.height()));
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        picture->pixels.insert(picture->pixels.end(), row, row + argb.width());
    }
    return picture;
}

}  // namespace tav
