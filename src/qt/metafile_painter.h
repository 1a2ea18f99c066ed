#pragma once
// What the two metafile readers share: reading the little-endian records, the GDI objects
// they create, embedded bitmaps, and the drawing itself.
#include <QBrush>
#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zel::metafile {

// Metafiles say how large they are; anything beyond this is a damaged header, not a picture
// (the wizard shows pictures in frames of 64 x 64 and 320 x 240 pixels).
inline constexpr int kMaxPictureSide = 1024;
// What a picture may ask for, so that its time and memory stay bounded whatever the file: the
// records drawn (a picture with more shows what the first ones drew), the GDI objects it keeps
// at once (one more is not created) and the drawing states it saves (one more is not saved).
inline constexpr int kMaxMetafileRecords = 10000;
inline constexpr std::size_t kMaxMetafileObjects = 4096;
inline constexpr int kMaxSavedStates = 64;

// Little-endian reads that never leave the data; a read past the end marks the reader bad.
class ByteReader {
public:
    ByteReader(const QByteArray& data, qsizetype begin, qsizetype end)
        : data_(data), begin_(begin), end_(std::min(end, data.size())) {}

    bool ok() const { return ok_; }
    qsizetype size() const { return end_ - begin_; }

    std::uint32_t u8(qsizetype at) const { return byte(at); }
    std::uint32_t u16(qsizetype at) const { return byte(at) | (byte(at + 1) << 8); }
    std::uint32_t u32(qsizetype at) const { return u16(at) | (u16(at + 2) << 16); }
    int s16(qsizetype at) const { return static_cast<std::int16_t>(u16(at)); }
    int s32(qsizetype at) const { return static_cast<std::int32_t>(u32(at)); }
    QByteArray bytes(qsizetype at, qsizetype count) const;

private:
    std::uint32_t byte(qsizetype at) const {
        if (at < 0 || at >= size()) {
            ok_ = false;
            return 0;
        }
        return static_cast<std::uint8_t>(data_[begin_ + at]);
    }

    const QByteArray& data_;
    qsizetype begin_;
    qsizetype end_;
    mutable bool ok_ = true;
};

// A COLORREF: red in the low byte, then green and blue.
QColor colorRef(std::uint32_t value);

// A device-independent bitmap (info header, colours, pixels) decoded through the BMP reader.
QImage decodeDib(const QByteArray& info, const QByteArray& bits);
// The size of a DIB's info part (header, masks and colour table), 0 when it is not a DIB.
qsizetype dibInfoSize(const ByteReader& in, qsizetype at);

struct GdiObject {
    enum Kind { Other, Pen, Brush, Font } kind = Other;
    QPen pen;
    QBrush brush;
    QFont font;
    int fontHeight = 0; // logical units; negative = character height
};

// The fields of a LOGFONT that the drawing uses; each metafile kind stores them its own way.
struct LogFont {
    int height = 0; // logical units; negative = character height
    int weight = 0;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    QString face; // empty: the wizard's own sans serif
};

GdiObject makePen(std::uint32_t style, int width, std::uint32_t color);
GdiObject makeBrush(std::uint32_t style, std::uint32_t color, std::uint32_t hatch);
GdiObject makeFont(const LogFont& logFont);

// A white picture of the size a metafile declares; a null image for an impossible size.
QImage blankPicture(QSize size);

// The drawing state both metafile kinds share, and the drawing itself.
class MetafilePainter {
public:
    explicit MetafilePainter(QImage& image);

    QPainter& painter() { return painter_; }

    // The frame of reference: logical coordinates to the picture's pixels.
    void setLogicalFrame(const QRectF& logical, const QSizeF& pixels);
    void setPageTransform(const QTransform& page) { painter_.setTransform(page * base_); }

    void select(const GdiObject& object);
    void selectStock(std::uint32_t index);

    void setFillWinding(bool winding) { winding_ = winding; }
    void setTextColor(QColor color) { textColor_ = color; }
    void setTextAlign(std::uint32_t align) { textAlign_ = align; }
    void moveTo(QPointF at) { position_ = at; }
    void lineTo(QPointF at);
    void rectangle(const QRectF& box) { painter_.drawRect(box.normalized()); }
    void ellipse(const QRectF& box) { painter_.drawEllipse(box.normalized()); }
    void roundRect(const QRectF& box, QSizeF corner);
    void polygon(const QPolygonF& points);
    void polyline(const QPolygonF& points) { painter_.drawPolyline(points); }
    void polyPolygon(const std::vector<QPolygonF>& polygons);
    void fill(const QRectF& box) { painter_.fillRect(box.normalized(), painter_.brush()); }
    void bitmap(const QRectF& target, const QImage& image, const QRectF& source);
    void text(QPointF at, const QString& text);

private:
    QPainter painter_;
    QTransform base_;
    QPointF position_;
    bool winding_ = false;
    QColor textColor_ = Qt::black;
    std::uint32_t textAlign_ = 0;
    QFont font_;
    int fontHeight_ = 0;
};

} // namespace zel::metafile
