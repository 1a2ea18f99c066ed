#include "qt/qt_pictures.h"

#include "winemu/cp1252.h"
#include "winemu/machine.h"
#include "qt/qt_ui.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace zel {

namespace {

// Decodes data of a known format with Qt's own reader for it. Left to guess, Qt first asks
// every image-format plugin whether it knows the data, and so loads them all (and the
// libraries they need) for a picture it could read itself.
QImage decodeAs(QIODevice& device, const QByteArray& format) {
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QImage decodeAs(const QByteArray& data, const char* format) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return decodeAs(buffer, format);
}

// Metafiles say how large they are; anything beyond this is a damaged header, not a picture.
constexpr int kMaxPictureSide = 8192;

// Little-endian reads that never leave the data; a read past the end marks the reader bad.
class Reader {
public:
    Reader(const QByteArray& data, qsizetype begin, qsizetype end)
        : data_(data), begin_(begin), end_(std::min(end, data.size())) {}

    bool ok() const { return ok_; }
    qsizetype size() const { return end_ - begin_; }

    uint32_t u8(qsizetype at) const { return byte(at); }
    uint32_t u16(qsizetype at) const { return byte(at) | (byte(at + 1) << 8); }
    uint32_t u32(qsizetype at) const { return u16(at) | (u16(at + 2) << 16); }
    int s16(qsizetype at) const { return static_cast<int16_t>(u16(at)); }
    int s32(qsizetype at) const { return static_cast<int32_t>(u32(at)); }
    QByteArray bytes(qsizetype at, qsizetype count) const {
        if (at < 0 || count < 0 || at > size() || count > size() - at) {
            ok_ = false;
            return {};
        }
        return data_.mid(begin_ + at, count);
    }

private:
    uint32_t byte(qsizetype at) const {
        if (at < 0 || at >= size()) {
            ok_ = false;
            return 0;
        }
        return static_cast<uint8_t>(data_[begin_ + at]);
    }

    const QByteArray& data_;
    qsizetype begin_;
    qsizetype end_;
    mutable bool ok_ = true;
};

QColor colorRef(uint32_t value) {
    return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
}

// A device-independent bitmap (info header, colours, pixels) decoded through the BMP reader.
QImage decodeDib(const QByteArray& info, const QByteArray& bits) {
    if (info.size() < 12)
        return {};
    QByteArray file("BM");
    const auto put32 = [&file](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file.append(static_cast<char>((v >> (8 * i)) & 0xff));
    };
    const qsizetype total = 14 + info.size() + bits.size();
    put32(static_cast<uint32_t>(total));
    put32(0);
    put32(static_cast<uint32_t>(14 + info.size()));
    file.append(info);
    file.append(bits);
    return decodeAs(file, "BMP");
}

// The size of a DIB's info part (header, masks and colour table), 0 when it is not a DIB.
qsizetype dibInfoSize(const Reader& in, qsizetype at) {
    const uint32_t headerSize = in.u32(at);
    if (headerSize == 12) { // BITMAPCOREHEADER: three-byte colours
        const uint32_t bitCount = in.u16(at + 10);
        return 12 + (bitCount <= 8 ? (qsizetype{1} << bitCount) * 3 : 0);
    }
    if (headerSize < 40 || headerSize > 1024)
        return 0;
    const uint32_t bitCount = in.u16(at + 14);
    const uint32_t compression = in.u32(at + 16);
    uint32_t colours = in.u32(at + 32);
    if (colours == 0 && bitCount <= 8)
        colours = 1u << bitCount;
    if (colours > 256 && bitCount <= 8)
        return 0;
    qsizetype size = headerSize + qsizetype{colours} * 4;
    if (headerSize == 40 && (compression == 3 || compression == 6))
        size += compression == 3 ? 12 : 16; // BI_BITFIELDS / BI_ALPHABITFIELDS masks
    return size;
}

struct GdiObject {
    enum Kind { Other, Pen, Brush, Font } kind = Other;
    QPen pen;
    QBrush brush;
    QFont font;
    int fontHeight = 0; // logical units; negative = character height
};

QPen makePen(uint32_t style, int width, uint32_t color) {
    if ((style & 0x0f) == 5) // PS_NULL
        return QPen(Qt::NoPen);
    QPen pen(colorRef(color));
    pen.setWidth(std::max(0, width));
    pen.setCosmetic(width <= 1);
    switch (style & 0x0f) {
    case 1:
        pen.setStyle(Qt::DashLine);
        break;
    case 2:
        pen.setStyle(Qt::DotLine);
        break;
    case 3:
        pen.setStyle(Qt::DashDotLine);
        break;
    case 4:
        pen.setStyle(Qt::DashDotDotLine);
        break;
    default:
        break;
    }
    return pen;
}

QBrush makeBrush(uint32_t style, uint32_t color, uint32_t hatch) {
    switch (style) {
    case 0: // BS_SOLID
        return QBrush(colorRef(color));
    case 2: { // BS_HATCHED
        static constexpr Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                     Qt::FDiagPattern, Qt::BDiagPattern,
                                                     Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(colorRef(color), hatch < 6 ? hatches[hatch] : Qt::SolidPattern);
    }
    default: // BS_NULL and the pattern brushes we do not draw
        return QBrush(Qt::NoBrush);
    }
}

// The drawing state both metafile kinds share, and the drawing itself.
class MetafilePainter {
public:
    explicit MetafilePainter(QImage& image) : painter_(&image) {
        painter_.setRenderHint(QPainter::Antialiasing, false);
        painter_.setPen(QPen(Qt::black, 0));
        painter_.setBrush(Qt::white);
        font_.setFamily(hostFontFamily(QStringLiteral("MS Sans Serif")));
    }

    QPainter& painter() { return painter_; }

    // The frame of reference: logical coordinates to the picture's pixels.
    void setLogicalFrame(const QRectF& logical, const QSizeF& pixels) {
        base_ = QTransform::fromScale(pixels.width() / logical.width(),
                                      pixels.height() / logical.height());
        base_.translate(-logical.x(), -logical.y());
        painter_.setTransform(base_);
    }
    void setPageTransform(const QTransform& page) { painter_.setTransform(page * base_); }

    void select(const GdiObject& object) {
        switch (object.kind) {
        case GdiObject::Pen:
            painter_.setPen(object.pen);
            break;
        case GdiObject::Brush:
            painter_.setBrush(object.brush);
            break;
        case GdiObject::Font:
            font_ = object.font;
            fontHeight_ = object.fontHeight;
            break;
        case GdiObject::Other:
            break;
        }
    }
    void selectStock(uint32_t index) {
        static const QColor greys[] = {Qt::white, QColor(0xc0, 0xc0, 0xc0),
                                       QColor(0x80, 0x80, 0x80), QColor(0x40, 0x40, 0x40),
                                       Qt::black};
        if (index <= 4)
            painter_.setBrush(greys[index]);
        else if (index == 5)
            painter_.setBrush(Qt::NoBrush);
        else if (index == 6)
            painter_.setPen(QPen(Qt::white, 0));
        else if (index == 7)
            painter_.setPen(QPen(Qt::black, 0));
        else if (index == 8)
            painter_.setPen(Qt::NoPen);
    }

    void setFillWinding(bool winding) { winding_ = winding; }
    void setTextColor(QColor color) { textColor_ = color; }
    void setTextAlign(uint32_t align) { textAlign_ = align; }
    void moveTo(QPointF at) { position_ = at; }
    void lineTo(QPointF at) {
        painter_.drawLine(position_, at);
        position_ = at;
    }
    void rectangle(const QRectF& box) { painter_.drawRect(box.normalized()); }
    void ellipse(const QRectF& box) { painter_.drawEllipse(box.normalized()); }
    void roundRect(const QRectF& box, QSizeF corner) {
        painter_.drawRoundedRect(box.normalized(), corner.width() / 2, corner.height() / 2);
    }
    void polygon(const QPolygonF& points) {
        painter_.drawPolygon(points, winding_ ? Qt::WindingFill : Qt::OddEvenFill);
    }
    void polyline(const QPolygonF& points) { painter_.drawPolyline(points); }
    void polyPolygon(const std::vector<QPolygonF>& polygons) {
        QPainterPath path;
        path.setFillRule(winding_ ? Qt::WindingFill : Qt::OddEvenFill);
        for (const QPolygonF& p : polygons) {
            path.addPolygon(p);
            path.closeSubpath();
        }
        painter_.drawPath(path);
    }
    void fill(const QRectF& box) { painter_.fillRect(box.normalized(), painter_.brush()); }
    void bitmap(const QRectF& target, const QImage& image, const QRectF& source) {
        if (!image.isNull())
            painter_.drawImage(target.normalized(), image, source);
    }
    void text(QPointF at, const QString& text) {
        // Drawn in pixels, so the font's height in logical units becomes its pixel size.
        const QTransform toPixels = painter_.transform();
        QFont font = font_;
        const qreal height = fontHeight_ != 0 ? std::abs(fontHeight_) : 12;
        font.setPixelSize(std::max(1, qRound(height * std::abs(toPixels.m22()))));
        const QFontMetricsF metrics(font);
        QPointF pos = toPixels.map(at);
        const qreal width = metrics.horizontalAdvance(text);
        if ((textAlign_ & 6) == 6) // TA_CENTER
            pos.rx() -= width / 2;
        else if (textAlign_ & 2) // TA_RIGHT
            pos.rx() -= width;
        if ((textAlign_ & 24) == 24) // TA_BASELINE
            ;
        else if (textAlign_ & 8) // TA_BOTTOM
            pos.ry() -= metrics.descent();
        else // TA_TOP
            pos.ry() += metrics.ascent();
        painter_.save();
        painter_.resetTransform();
        painter_.setFont(font);
        painter_.setPen(textColor_);
        painter_.drawText(pos, text);
        painter_.restore();
    }

private:
    QPainter painter_;
    QTransform base_;
    QPointF position_;
    bool winding_ = false;
    QColor textColor_ = Qt::black;
    uint32_t textAlign_ = 0;
    QFont font_;
    int fontHeight_ = 0;
};

QImage blankPicture(QSize size) {
    if (size.width() <= 0 || size.height() <= 0 || size.width() > kMaxPictureSide ||
        size.height() > kMaxPictureSide)
        return {};
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// A LOGFONTW: the height, the weight, the style bytes and a UTF-16 face name.
QFont logFontW(const Reader& in, qsizetype at, int& height) {
    height = in.s32(at);
    const int weight = in.s32(at + 16);
    QFont font;
    font.setBold(weight >= 600);
    font.setItalic(in.u8(at + 20) != 0);
    font.setUnderline(in.u8(at + 21) != 0);
    font.setStrikeOut(in.u8(at + 22) != 0);
    QString face;
    for (int i = 0; i < 32; ++i) {
        const auto c = static_cast<char16_t>(in.u16(at + 28 + 2 * i));
        if (c == 0)
            break;
        face.append(QChar(c));
    }
    font.setFamily(hostFontFamily(face.isEmpty() ? QStringLiteral("MS Sans Serif") : face));
    return font;
}

// ---- Windows metafiles (.WMF), with or without the placeable header ----

QImage renderWmf(const QByteArray& data) {
    Reader file(data, 0, data.size());
    qsizetype pos = 0;
    std::optional<QRectF> frame;
    QSize size;
    if (file.u32(0) == 0x9AC6CDD7u) {
        const int left = file.s16(6), top = file.s16(8), right = file.s16(10),
                  bottom = file.s16(12);
        int inch = static_cast<int>(file.u16(14));
        if (inch <= 0)
            inch = 1440;
        frame = QRectF(left, top, right - left, bottom - top);
        size = QSize(qRound(std::abs(right - left) * 96.0 / inch),
                     qRound(std::abs(bottom - top) * 96.0 / inch));
        pos = 22;
    }
    const uint32_t type = file.u16(pos), headerWords = file.u16(pos + 2);
    if (!file.ok() || (type != 1 && type != 2) || headerWords != 9)
        return {};
    pos += 18;

    // Without the placeable header the picture is as large as its window.
    if (!frame) {
        QPointF origin;
        for (qsizetype at = pos; at + 6 <= data.size();) {
            const qsizetype words = file.u32(at);
            const uint32_t function = file.u16(at + 4);
            if (function == 0x020B)
                origin = QPointF(file.s16(at + 8), file.s16(at + 6));
            if (function == 0x020C) {
                frame = QRectF(origin, QSizeF(file.s16(at + 8), file.s16(at + 6)));
                break;
            }
            if (words < 3 || function == 0)
                break;
            at += words * 2;
        }
        if (!frame)
            return {};
        size = QSize(qRound(std::abs(frame->width())), qRound(std::abs(frame->height())));
    }
    if (frame->width() == 0 || frame->height() == 0)
        return {};
    QImage image = blankPicture(size);
    if (image.isNull())
        return {};

    MetafilePainter out(image);
    QRectF window = *frame;
    out.setLogicalFrame(window, size);
    std::vector<GdiObject> objects;
    std::vector<bool> used;
    const auto place = [&](GdiObject object) {
        for (std::size_t i = 0; i < used.size(); ++i) {
            if (!used[i]) {
                used[i] = true;
                objects[i] = std::move(object);
                return;
            }
        }
        used.push_back(true);
        objects.push_back(std::move(object));
    };

    while (pos + 6 <= data.size()) {
        const qsizetype words = file.u32(pos);
        const uint32_t function = file.u16(pos + 4);
        if (function == 0) // EOF
            break;
        if (words < 3 || words > (data.size() - pos) / 2)
            return {};
        const Reader r(data, pos + 6, pos + words * 2);
        const auto pt = [&r](qsizetype at) { return QPointF(r.s16(at), r.s16(at + 2)); };
        switch (function) {
        case 0x020B: // SETWINDOWORG
            window.moveTopLeft(QPointF(r.s16(2), r.s16(0)));
            out.setLogicalFrame(window, size);
            break;
        case 0x020C: // SETWINDOWEXT
            if (r.s16(0) != 0 && r.s16(2) != 0) {
                window.setSize(QSizeF(r.s16(2), r.s16(0)));
                out.setLogicalFrame(window, size);
            }
            break;
        case 0x0106: // SETPOLYFILLMODE
            out.setFillWinding(r.u16(0) == 2);
            break;
        case 0x0209: // SETTEXTCOLOR
            out.setTextColor(colorRef(r.u32(0)));
            break;
        case 0x012E: // SETTEXTALIGN
            out.setTextAlign(r.u16(0));
            break;
        case 0x02FA: { // CREATEPENINDIRECT
            GdiObject pen;
            pen.kind = GdiObject::Pen;
            pen.pen = makePen(r.u16(0), r.s16(2), r.u32(6));
            place(pen);
            break;
        }
        case 0x02FC: { // CREATEBRUSHINDIRECT
            GdiObject brush;
            brush.kind = GdiObject::Brush;
            brush.brush = makeBrush(r.u16(0), r.u32(2), r.u16(6));
            place(brush);
            break;
        }
        case 0x02FB: { // CREATEFONTINDIRECT
            GdiObject font;
            font.kind = GdiObject::Font;
            int height = 0;
            // The 16-bit LOGFONT: five 16-bit fields, then the byte fields and the face.
            Reader lf(data, pos + 6, pos + words * 2);
            height = lf.s16(0);
            font.font.setBold(lf.s16(8) >= 600);
            font.font.setItalic(lf.u8(10) != 0);
            font.font.setUnderline(lf.u8(11) != 0);
            font.font.setStrikeOut(lf.u8(12) != 0);
            std::string name;
            for (int i = 0; i < 32; ++i) {
                const char c = static_cast<char>(lf.u8(18 + i));
                if (c == 0)
                    break;
                name.push_back(c);
            }
            font.font.setFamily(hostFontFamily(name.empty()
                                                   ? QStringLiteral("MS Sans Serif")
                                                   : QString::fromStdString(cp1252ToUtf8(name))));
            font.fontHeight = height;
            place(font);
            break;
        }
        case 0x00F7: // CREATEPALETTE
        case 0x01F9: // CREATEPATTERNBRUSH
        case 0x0142: // DIBCREATEPATTERNBRUSH
        case 0x06FF: // CREATEREGION
            place(GdiObject{});
            break;
        case 0x012D: { // SELECTOBJECT
            const uint32_t index = r.u16(0);
            if (index < objects.size() && used[index])
                out.select(objects[index]);
            break;
        }
        case 0x01F0: { // DELETEOBJECT
            const uint32_t index = r.u16(0);
            if (index < used.size())
                used[index] = false;
            break;
        }
        case 0x0214: // MOVETO
            out.moveTo(QPointF(r.s16(2), r.s16(0)));
            break;
        case 0x0213: // LINETO
            out.lineTo(QPointF(r.s16(2), r.s16(0)));
            break;
        case 0x041B: // RECTANGLE
            out.rectangle(QRectF(QPointF(r.s16(6), r.s16(4)), QPointF(r.s16(2), r.s16(0))));
            break;
        case 0x0418: // ELLIPSE
            out.ellipse(QRectF(QPointF(r.s16(6), r.s16(4)), QPointF(r.s16(2), r.s16(0))));
            break;
        case 0x061C: // ROUNDRECT
            out.roundRect(QRectF(QPointF(r.s16(10), r.s16(8)), QPointF(r.s16(6), r.s16(4))),
                          QSizeF(r.s16(2), r.s16(0)));
            break;
        case 0x0324:   // POLYGON
        case 0x0325: { // POLYLINE
            const int count = r.s16(0);
            QPolygonF points;
            for (int i = 0; i < count && r.ok(); ++i)
                points << pt(2 + 4 * i);
            if (!r.ok())
                return {};
            if (function == 0x0324)
                out.polygon(points);
            else
                out.polyline(points);
            break;
        }
        case 0x0538: { // POLYPOLYGON
            const int polys = r.s16(0);
            std::vector<QPolygonF> polygons;
            qsizetype at = 2 + 2 * qsizetype{std::max(0, polys)};
            for (int p = 0; p < polys && r.ok(); ++p) {
                QPolygonF points;
                const int count = r.s16(2 + 2 * p);
                for (int i = 0; i < count && r.ok(); ++i, at += 4)
                    points << pt(at);
                polygons.push_back(points);
            }
            if (!r.ok())
                return {};
            out.polyPolygon(polygons);
            break;
        }
        case 0x0F43: { // STRETCHDIB
            const QRectF source(r.s16(12), r.s16(10), r.s16(8), r.s16(6));
            const QRectF target(r.s16(20), r.s16(18), r.s16(16), r.s16(14));
            const qsizetype info = dibInfoSize(r, 22);
            if (info > 0)
                out.bitmap(target,
                           decodeDib(r.bytes(22, info), r.bytes(22 + info, r.size() - 22 - info)),
                           source);
            break;
        }
        case 0x0B41:   // DIBSTRETCHBLT
        case 0x0940: { // DIBBITBLT
            const bool stretch = function == 0x0B41;
            // Without a bitmap the record is two words shorter (a pattern fill).
            const qsizetype fields = stretch ? 20 : 16;
            if (r.size() <= fields + 2) {
                const QRectF target(r.s16(fields), r.s16(fields - 2), r.s16(fields - 4),
                                    r.s16(fields - 6));
                out.fill(target);
                break;
            }
            QRectF source, target;
            if (stretch) {
                source = QRectF(r.s16(10), r.s16(8), r.s16(6), r.s16(4));
                target = QRectF(r.s16(18), r.s16(16), r.s16(14), r.s16(12));
            } else {
                target = QRectF(r.s16(14), r.s16(12), r.s16(10), r.s16(8));
                source = QRectF(r.s16(6), r.s16(4), target.width(), target.height());
            }
            const qsizetype info = dibInfoSize(r, fields);
            if (info > 0)
                out.bitmap(target,
                           decodeDib(r.bytes(fields, info),
                                     r.bytes(fields + info, r.size() - fields - info)),
                           source);
            break;
        }
        case 0x0521: { // TEXTOUT
            const int count = r.s16(0);
            const qsizetype padded = (count + 1) / 2 * 2;
            const QByteArray text = r.bytes(2, count);
            const QPointF at(r.s16(2 + padded + 2), r.s16(2 + padded));
            if (!r.ok())
                break;
            out.text(at, QString::fromStdString(cp1252ToUtf8(text.toStdString())));
            break;
        }
        case 0x0A32: { // EXTTEXTOUT
            const QPointF at(r.s16(2), r.s16(0));
            const int count = r.s16(4);
            const uint32_t options = r.u16(6);
            const qsizetype textAt = (options & 0x6) ? 16 : 8;
            const QByteArray text = r.bytes(textAt, count);
            if (!r.ok())
                break;
            out.text(at, QString::fromStdString(cp1252ToUtf8(text.toStdString())));
            break;
        }
        default:
            break; // records that change nothing we draw
        }
        pos += words * 2;
    }
    // A metafile cut short still shows what it drew.
    return image;
}

// ---- Enhanced metafiles (.EMF) ----

QImage renderEmf(const QByteArray& data) {
    Reader file(data, 0, data.size());
    if (file.u32(0) != 1 || file.u32(40) != 0x464D4520u || !file.ok())
        return {};
    const QRect bounds(QPoint(file.s32(8), file.s32(12)), QPoint(file.s32(16), file.s32(20)));
    const QRect frame(QPoint(file.s32(24), file.s32(28)), QPoint(file.s32(32), file.s32(36)));
    const qsizetype headerSize = file.u32(4);
    if (headerSize < 88 || headerSize > data.size())
        return {};
    // The reference device: its size in pixels and in millimetres gives the frame in pixels.
    const int devW = file.s32(72), devH = file.s32(76), mmW = file.s32(80), mmH = file.s32(84);
    QRectF reference = QRectF(bounds);
    if (devW > 0 && devH > 0 && mmW > 0 && mmH > 0 && frame.width() > 0 && frame.height() > 0) {
        reference =
            QRectF(frame.left() * devW / (mmW * 100.0), frame.top() * devH / (mmH * 100.0),
                   frame.width() * devW / (mmW * 100.0), frame.height() * devH / (mmH * 100.0));
    }
    if (reference.width() <= 0 || reference.height() <= 0)
        return {};
    const QSize size(qRound(reference.width()), qRound(reference.height()));
    QImage image = blankPicture(size);
    if (image.isNull())
        return {};

    MetafilePainter out(image);
    out.setLogicalFrame(reference, size);
    std::map<uint32_t, GdiObject> objects;
    int mapMode = 1; // MM_TEXT
    QPointF windowOrg, viewportOrg;
    QSizeF windowExt(1, 1), viewportExt(1, 1);
    const auto updatePage = [&] {
        QTransform page;
        if (mapMode == 7 || mapMode == 8) { // MM_ISOTROPIC, MM_ANISOTROPIC
            const qreal sx = windowExt.width() != 0 ? viewportExt.width() / windowExt.width() : 1;
            const qreal sy =
                windowExt.height() != 0 ? viewportExt.height() / windowExt.height() : 1;
            page.translate(viewportOrg.x(), viewportOrg.y());
            page.scale(sx, sy);
            page.translate(-windowOrg.x(), -windowOrg.y());
        } else {
            page.translate(viewportOrg.x() - windowOrg.x(), viewportOrg.y() - windowOrg.y());
        }
        out.setPageTransform(page);
    };

    qsizetype pos = headerSize;
    while (pos + 8 <= data.size()) {
        const uint32_t type = file.u32(pos);
        const qsizetype length = file.u32(pos + 4);
        if (length < 8 || length % 4 != 0 || length > data.size() - pos)
            return {};
        if (type == 14) // EOF
            break;
        const Reader r(data, pos + 8, pos + length);
        const auto polyPoints = [&r](qsizetype at, int count, bool small) {
            QPolygonF points;
            for (int i = 0; i < count && r.ok(); ++i) {
                if (small)
                    points << QPointF(r.s16(at + 4 * i), r.s16(at + 4 * i + 2));
                else
                    points << QPointF(r.s32(at + 8 * i), r.s32(at + 8 * i + 4));
            }
            return points;
        };
        const auto box = [&r](qsizetype at) {
            return QRectF(QPointF(r.s32(at), r.s32(at + 4)),
                          QPointF(r.s32(at + 8), r.s32(at + 12)));
        };
        switch (type) {
        case 9: // SETWINDOWEXTEX
            windowExt = QSizeF(r.s32(0), r.s32(4));
            updatePage();
            break;
        case 10: // SETWINDOWORGEX
            windowOrg = QPointF(r.s32(0), r.s32(4));
            updatePage();
            break;
        case 11: // SETVIEWPORTEXTEX
            viewportExt = QSizeF(r.s32(0), r.s32(4));
            updatePage();
            break;
        case 12: // SETVIEWPORTORGEX
            viewportOrg = QPointF(r.s32(0), r.s32(4));
            updatePage();
            break;
        case 17: // SETMAPMODE
            mapMode = r.s32(0);
            updatePage();
            break;
        case 19: // SETPOLYFILLMODE
            out.setFillWinding(r.u32(0) == 2);
            break;
        case 22: // SETTEXTALIGN
            out.setTextAlign(r.u32(0));
            break;
        case 24: // SETTEXTCOLOR
            out.setTextColor(colorRef(r.u32(0)));
            break;
        case 33: // SAVEDC
            out.painter().save();
            break;
        case 34: // RESTOREDC
            out.painter().restore();
            break;
        case 37: { // SELECTOBJECT
            const uint32_t index = r.u32(0);
            if (index & 0x80000000u)
                out.selectStock(index & 0x7fffffffu);
            else if (auto it = objects.find(index); it != objects.end())
                out.select(it->second);
            break;
        }
        case 38: { // CREATEPEN
            GdiObject pen;
            pen.kind = GdiObject::Pen;
            pen.pen = makePen(r.u32(4), r.s32(8), r.u32(16));
            objects[r.u32(0)] = pen;
            break;
        }
        case 95: { // EXTCREATEPEN
            GdiObject pen;
            pen.kind = GdiObject::Pen;
            pen.pen = makePen(r.u32(20), r.s32(24), r.u32(32));
            objects[r.u32(0)] = pen;
            break;
        }
        case 39: { // CREATEBRUSHINDIRECT
            GdiObject brush;
            brush.kind = GdiObject::Brush;
            brush.brush = makeBrush(r.u32(4), r.u32(8), r.u32(12));
            objects[r.u32(0)] = brush;
            break;
        }
        case 82: { // EXTCREATEFONTINDIRECTW
            GdiObject font;
            font.kind = GdiObject::Font;
            font.font = logFontW(r, 4, font.fontHeight);
            objects[r.u32(0)] = font;
            break;
        }
        case 40: // DELETEOBJECT
            objects.erase(r.u32(0));
            break;
        case 27: // MOVETOEX
            out.moveTo(QPointF(r.s32(0), r.s32(4)));
            break;
        case 54: // LINETO
            out.lineTo(QPointF(r.s32(0), r.s32(4)));
            break;
        case 42: // ELLIPSE
            out.ellipse(box(0));
            break;
        case 43: // RECTANGLE
            out.rectangle(box(0));
            break;
        case 44: // ROUNDRECT
            out.roundRect(box(0), QSizeF(r.s32(16), r.s32(20)));
            break;
        case 3:    // POLYGON
        case 4:    // POLYLINE
        case 86:   // POLYGON16
        case 87: { // POLYLINE16
            const bool small = type >= 86;
            const QPolygonF points = polyPoints(20, r.s32(16), small);
            if (!r.ok())
                return {};
            if (type == 3 || type == 86)
                out.polygon(points);
            else
                out.polyline(points);
            break;
        }
        case 8:    // POLYPOLYGON
        case 91:   // POLYPOLYGON16
        case 7:    // POLYPOLYLINE
        case 90: { // POLYPOLYLINE16
            const bool small = type == 91 || type == 90;
            const int polys = r.s32(16);
            if (polys < 0 || polys > r.size() / 4)
                return {};
            qsizetype at = 24 + 4 * qsizetype{polys};
            std::vector<QPolygonF> polygons;
            for (int p = 0; p < polys && r.ok(); ++p) {
                const int count = r.s32(24 + 4 * p);
                polygons.push_back(polyPoints(at, count, small));
                at += qsizetype{std::max(0, count)} * (small ? 4 : 8);
            }
            if (!r.ok())
                return {};
            if (type == 8 || type == 91)
                out.polyPolygon(polygons);
            else
                for (const QPolygonF& p : polygons)
                    out.polyline(p);
            break;
        }
        case 81: { // STRETCHDIBITS
            const QRectF source(r.s32(24), r.s32(28), r.s32(32), r.s32(36));
            const QRectF target(r.s32(16), r.s32(20), r.s32(64), r.s32(68));
            // Offsets count from the start of the record, before its type and size.
            const QByteArray info = r.bytes(r.u32(40) - 8, r.u32(44));
            const QByteArray bits = r.bytes(r.u32(48) - 8, r.u32(52));
            if (r.ok())
                out.bitmap(target, decodeDib(info, bits), source);
            break;
        }
        case 76:   // BITBLT
        case 77: { // STRETCHBLT
            const QRectF target(r.s32(16), r.s32(20), r.s32(24), r.s32(28));
            const uint32_t infoSize = r.u32(80);
            if (infoSize == 0) {
                out.fill(target); // a pattern operation with the current brush
                break;
            }
            QRectF source(r.s32(36), r.s32(40), target.width(), target.height());
            if (type == 77)
                source.setSize(QSizeF(r.s32(92), r.s32(96)));
            const QByteArray info = r.bytes(r.u32(76) - 8, infoSize);
            const QByteArray bits = r.bytes(r.u32(84) - 8, r.u32(88));
            if (r.ok())
                out.bitmap(target, decodeDib(info, bits), source);
            break;
        }
        case 84: { // EXTTEXTOUTW
            const QPointF at(r.s32(28), r.s32(32));
            const int count = r.s32(36);
            const qsizetype offset = r.u32(40) - 8;
            QString text;
            for (int i = 0; i < count && r.ok(); ++i)
                text.append(QChar(static_cast<char16_t>(r.u16(offset + 2 * i))));
            if (!r.ok())
                break;
            out.text(at, text);
            break;
        }
        default:
            break; // records that change nothing we draw
        }
        pos += length;
    }
    // A metafile cut short still shows what it drew.
    return image;
}

QByteArray readWholeFile(const std::filesystem::path& hostFile) {
    QFile file(QString::fromStdString(hostFile.string()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QImage readIcon(const QByteArray& data) {
    // An icon file holds several sizes: the largest, most colourful one shows best.
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ICO");
    QImage best;
    for (int i = 0; i < std::max(1, reader.imageCount()); ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        QImage candidate = reader.read();
        if (candidate.isNull())
            continue;
        if (best.isNull() ||
            candidate.width() * candidate.height() > best.width() * best.height() ||
            (candidate.size() == best.size() && candidate.depth() > best.depth()))
            best = candidate;
    }
    return best;
}

} // namespace

QImage readPicture(const std::filesystem::path& hostFile) {
    const QByteArray data = readWholeFile(hostFile);
    if (data.isEmpty())
        return {};
    const std::string ext = upperAscii(hostFile.extension().string());
    QImage image;
    if (ext == ".WMF")
        image = renderWmf(data);
    else if (ext == ".EMF")
        image = renderEmf(data);
    else if (ext == ".ICO")
        image = readIcon(data);
    else if (ext == ".BMP")
        image = decodeAs(data, "BMP");
    // A picture saved under another extension than its kind still shows.
    if (image.isNull())
        image.loadFromData(data);
    return image;
}

QPixmap ownPicture(const char* file) {
    QFile data(QStringLiteral(":/pictures/") + QLatin1String(file));
    if (!data.open(QIODevice::ReadOnly))
        return {};
    return QPixmap::fromImage(decodeAs(data, QFileInfo(data.fileName()).suffix().toLatin1()));
}

bool loadPicture(QLabel& target, const std::filesystem::path& hostFile) {
    const QImage image = readPicture(hostFile);
    if (image.isNull()) {
        target.setPixmap(QPixmap());
        return false;
    }
    target.setPixmap(QPixmap::fromImage(image));
    return true;
}

bool loadPicture(QLabel& target, const Machine& machine, std::string_view winPath) {
    const auto host = machine.toHost(winPath);
    if (!host) {
        target.setPixmap(QPixmap());
        return false;
    }
    return loadPicture(target, *host);
}

} // namespace zel
