#include "qt/metafile_painter.h"

#include "qt/metafile_records.h"
#include "qt/qt_pictures.h"
#include "qt/qt_ui.h"

#include <QFontMetricsF>
#include <QPainterPath>

#include <cmath>
#include <iterator>

namespace zel::metafile {

QByteArray ByteReader::bytes(qsizetype at, qsizetype count) const {
    if (at < 0 || count < 0 || at > size() || count > size() - at) {
        ok_ = false;
        return {};
    }
    return data_.mid(begin_ + at, count);
}

QColor colorRef(std::uint32_t value) {
    return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
}

QImage decodeDib(const QByteArray& info, const QByteArray& bits) {
    if (info.size() < qsizetype{kCoreHeaderSize})
        return {};
    // A bitmap file: "BM", its size, two reserved words, and where the pixels begin.
    QByteArray file("BM");
    const auto put32 = [&file](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file.append(static_cast<char>((v >> (8 * i)) & 0xff));
    };
    constexpr qsizetype kFileHeaderSize = 14;
    const qsizetype total = kFileHeaderSize + info.size() + bits.size();
    put32(static_cast<std::uint32_t>(total));
    put32(0);
    put32(static_cast<std::uint32_t>(kFileHeaderSize + info.size()));
    file.append(info);
    file.append(bits);
    return decodeAs(file, "BMP");
}

qsizetype dibInfoSize(const ByteReader& in, qsizetype at) {
    const std::uint32_t headerSize = in.u32(at);
    if (headerSize == kCoreHeaderSize) {
        const std::uint32_t bitCount = in.u16(at + 10);
        return kCoreHeaderSize + (bitCount <= 8 ? (qsizetype{1} << bitCount) * 3 : 0);
    }
    if (headerSize < kInfoHeaderSize || headerSize > 1024)
        return 0;
    const std::uint32_t bitCount = in.u16(at + 14);
    const std::uint32_t compression = in.u32(at + 16);
    std::uint32_t colours = in.u32(at + 32);
    if (colours == 0 && bitCount <= 8)
        colours = 1u << bitCount;
    if (colours > 256 && bitCount <= 8)
        return 0;
    qsizetype size = headerSize + qsizetype{colours} * 4;
    if (headerSize == kInfoHeaderSize &&
        (compression == kBitFields || compression == kAlphaBitFields))
        size += compression == kBitFields ? 12 : 16;
    return size;
}

GdiObject makePen(std::uint32_t style, int width, std::uint32_t color) {
    GdiObject object;
    object.kind = GdiObject::Pen;
    QPen& pen = object.pen;
    if ((style & kPenStyleMask) == kPenNull) {
        pen = QPen(Qt::NoPen);
        return object;
    }
    pen = QPen(colorRef(color));
    pen.setWidth(std::max(0, width));
    pen.setCosmetic(width <= 1);
    switch (style & kPenStyleMask) {
    case kPenDash: pen.setStyle(Qt::DashLine); break;
    case kPenDot: pen.setStyle(Qt::DotLine); break;
    case kPenDashDot: pen.setStyle(Qt::DashDotLine); break;
    case kPenDashDotDot: pen.setStyle(Qt::DashDotDotLine); break;
    default: break;
    }
    return object;
}

GdiObject makeBrush(std::uint32_t style, std::uint32_t color, std::uint32_t hatch) {
    GdiObject object;
    object.kind = GdiObject::Brush;
    switch (style) {
    case kBrushSolid: object.brush = QBrush(colorRef(color)); break;
    case kBrushHatched: {
        // In the order of the hatch numbers: horizontal, vertical, falling and rising
        // diagonals, cross, diagonal cross.
        static constexpr Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                     Qt::FDiagPattern, Qt::BDiagPattern,
                                                     Qt::CrossPattern, Qt::DiagCrossPattern};
        object.brush =
            QBrush(colorRef(color), hatch < std::size(hatches) ? hatches[hatch] : Qt::SolidPattern);
        break;
    }
    default: // the null brush and the pattern brushes we do not draw
        object.brush = QBrush(Qt::NoBrush);
        break;
    }
    return object;
}

GdiObject makeFont(const LogFont& logFont) {
    GdiObject object;
    object.kind = GdiObject::Font;
    object.font.setBold(logFont.weight >= kWeightSemiBold);
    object.font.setItalic(logFont.italic);
    object.font.setUnderline(logFont.underline);
    object.font.setStrikeOut(logFont.strikeOut);
    object.font.setFamily(
        hostFontFamily(logFont.face.isEmpty() ? QStringLiteral("MS Sans Serif") : logFont.face));
    object.fontHeight = logFont.height;
    return object;
}

QImage blankPicture(QSize size) {
    if (size.width() <= 0 || size.height() <= 0 || size.width() > kMaxPictureSide ||
        size.height() > kMaxPictureSide)
        return {};
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

MetafilePainter::MetafilePainter(QImage& image) : painter_(&image) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setPen(QPen(Qt::black, 0));
    painter_.setBrush(Qt::white);
    font_.setFamily(hostFontFamily(QStringLiteral("MS Sans Serif")));
}

void MetafilePainter::setLogicalFrame(const QRectF& logical, const QSizeF& pixels) {
    base_ =
        QTransform::fromScale(pixels.width() / logical.width(), pixels.height() / logical.height());
    base_.translate(-logical.x(), -logical.y());
    painter_.setTransform(base_);
}

void MetafilePainter::select(const GdiObject& object) {
    switch (object.kind) {
    case GdiObject::Pen: painter_.setPen(object.pen); break;
    case GdiObject::Brush: painter_.setBrush(object.brush); break;
    case GdiObject::Font:
        font_ = object.font;
        fontHeight_ = object.fontHeight;
        break;
    case GdiObject::Other: break;
    }
}

void MetafilePainter::selectStock(std::uint32_t index) {
    // The brushes from white to black, in the order of their numbers.
    static const QColor greys[] = {Qt::white, QColor(0xc0, 0xc0, 0xc0), QColor(0x80, 0x80, 0x80),
                                   QColor(0x40, 0x40, 0x40), Qt::black};
    if (index <= kBlackBrush)
        painter_.setBrush(greys[index]);
    else if (index == kNullBrush)
        painter_.setBrush(Qt::NoBrush);
    else if (index == kWhitePen)
        painter_.setPen(QPen(Qt::white, 0));
    else if (index == kBlackPen)
        painter_.setPen(QPen(Qt::black, 0));
    else if (index == kNullPen)
        painter_.setPen(Qt::NoPen);
}

void MetafilePainter::lineTo(QPointF at) {
    painter_.drawLine(position_, at);
    position_ = at;
}

void MetafilePainter::roundRect(const QRectF& box, QSizeF corner) {
    painter_.drawRoundedRect(box.normalized(), corner.width() / 2, corner.height() / 2);
}

void MetafilePainter::polygon(const QPolygonF& points) {
    painter_.drawPolygon(points, winding_ ? Qt::WindingFill : Qt::OddEvenFill);
}

void MetafilePainter::polyPolygon(const std::vector<QPolygonF>& polygons) {
    QPainterPath path;
    path.setFillRule(winding_ ? Qt::WindingFill : Qt::OddEvenFill);
    for (const QPolygonF& p : polygons) {
        path.addPolygon(p);
        path.closeSubpath();
    }
    painter_.drawPath(path);
}

void MetafilePainter::bitmap(const QRectF& target, const QImage& image, const QRectF& source) {
    if (!image.isNull())
        painter_.drawImage(target.normalized(), image, source);
}

void MetafilePainter::text(QPointF at, const QString& text) {
    // Drawn in pixels, so the font's height in logical units becomes its pixel size.
    const QTransform toPixels = painter_.transform();
    QFont font = font_;
    const qreal height = fontHeight_ != 0 ? std::abs(fontHeight_) : 12;
    font.setPixelSize(std::max(1, qRound(height * std::abs(toPixels.m22()))));
    const QFontMetricsF metrics(font);
    QPointF pos = toPixels.map(at);
    const qreal width = metrics.horizontalAdvance(text);
    if ((textAlign_ & kAlignCenter) == kAlignCenter)
        pos.rx() -= width / 2;
    else if (textAlign_ & kAlignRight)
        pos.rx() -= width;
    // Text aligned on its baseline is drawn at the point itself.
    if ((textAlign_ & kAlignBaseline) != kAlignBaseline) {
        if (textAlign_ & kAlignBottom)
            pos.ry() -= metrics.descent();
        else // aligned at the top
            pos.ry() += metrics.ascent();
    }
    painter_.save();
    painter_.resetTransform();
    painter_.setFont(font);
    painter_.setPen(textColor_);
    painter_.drawText(pos, text);
    painter_.restore();
}

} // namespace zel::metafile
