#include "qt/wmf_reader.h"

#include "qt/metafile_painter.h"
#include "qt/metafile_records.h"
#include "qt/qt_text.h"

#include <cmath>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace zel {

namespace {

using namespace metafile;

// A WMF's GDI objects: each created object takes the lowest free slot, and records name
// objects by slot.
class ObjectTable {
public:
    void place(GdiObject object) {
        if (!free_.empty()) {
            const std::size_t slot = *free_.begin();
            free_.erase(free_.begin());
            used_[slot] = true;
            objects_[slot] = std::move(object);
            return;
        }
        if (objects_.size() >= kMaxMetafileObjects)
            return; // the table is full: the object is not created
        used_.push_back(true);
        objects_.push_back(std::move(object));
    }
    const GdiObject* find(std::uint32_t slot) const {
        return slot < objects_.size() && used_[slot] ? &objects_[slot] : nullptr;
    }
    void erase(std::uint32_t slot) {
        if (slot < used_.size() && used_[slot]) {
            used_[slot] = false;
            objects_[slot] = GdiObject{};
            free_.insert(slot);
        }
    }

private:
    std::vector<GdiObject> objects_;
    std::vector<bool> used_;
    std::set<std::size_t> free_; // slots freed below the end: the lowest is taken first
};

// Records are the size in 16-bit words (32 bits), the function (16 bits), then the parameters.
constexpr qsizetype kRecordHead = 6;

WmfRecord functionAt(const ByteReader& file, qsizetype at) {
    return static_cast<WmfRecord>(file.u16(at + 4));
}

// The 16-bit LOGFONT: five 16-bit fields, then the byte fields and a code page 1252 face.
LogFont logFont16(const ByteReader& in) {
    LogFont font;
    font.height = in.s16(0);
    font.weight = in.s16(8);
    font.italic = in.u8(10) != 0;
    font.underline = in.u8(11) != 0;
    font.strikeOut = in.u8(12) != 0;
    std::string name;
    for (int i = 0; i < 32; ++i) {
        const char c = static_cast<char>(in.u8(18 + i));
        if (c == 0)
            break;
        name.push_back(c);
    }
    font.face = toQt(name);
    return font;
}

// Without the placeable header the picture is as large as its window: the first window
// extent, from the window origin set before it.
std::optional<QRectF> windowFrame(const ByteReader& file, qsizetype pos, qsizetype end) {
    QPointF origin;
    for (qsizetype at = pos; at + kRecordHead <= end;) {
        const qsizetype words = file.u32(at);
        const WmfRecord function = functionAt(file, at);
        if (function == WmfRecord::SetWindowOrg)
            origin = QPointF(file.s16(at + 8), file.s16(at + 6));
        if (function == WmfRecord::SetWindowExt)
            return QRectF(origin, QSizeF(file.s16(at + 8), file.s16(at + 6)));
        if (words < kWmfRecordMinWords || function == WmfRecord::Eof)
            break;
        at += words * 2;
    }
    return std::nullopt;
}

QString textOf(const QByteArray& cp1252) {
    return toQt(std::string_view(cp1252.constData(), static_cast<std::size_t>(cp1252.size())));
}

// Draws one record; false when the record is damaged and the picture with it.
bool play(MetafilePainter& out, ObjectTable& objects, QRectF& window, QSize size,
          WmfRecord function, const ByteReader& r) {
    const auto pt = [&r](qsizetype at) { return QPointF(r.s16(at), r.s16(at + 2)); };
    switch (function) {
    case WmfRecord::SetWindowOrg:
        window.moveTopLeft(QPointF(r.s16(2), r.s16(0)));
        out.setLogicalFrame(window, size);
        break;
    case WmfRecord::SetWindowExt:
        if (r.s16(0) != 0 && r.s16(2) != 0) {
            window.setSize(QSizeF(r.s16(2), r.s16(0)));
            out.setLogicalFrame(window, size);
        }
        break;
    case WmfRecord::SetPolyFillMode: out.setFillWinding(r.u16(0) == kFillWinding); break;
    case WmfRecord::SetTextColor: out.setTextColor(colorRef(r.u32(0))); break;
    case WmfRecord::SetTextAlign: out.setTextAlign(r.u16(0)); break;
    case WmfRecord::CreatePenIndirect: objects.place(makePen(r.u16(0), r.s16(2), r.u32(6))); break;
    case WmfRecord::CreateBrushIndirect:
        objects.place(makeBrush(r.u16(0), r.u32(2), r.u16(6)));
        break;
    case WmfRecord::CreateFontIndirect: objects.place(makeFont(logFont16(r))); break;
    case WmfRecord::CreatePalette:
    case WmfRecord::CreatePatternBrush:
    case WmfRecord::DibCreatePatternBrush:
    case WmfRecord::CreateRegion:
        objects.place(GdiObject{}); // takes its slot, draws nothing
        break;
    case WmfRecord::SelectObject:
        if (const GdiObject* object = objects.find(r.u16(0)))
            out.select(*object);
        break;
    case WmfRecord::DeleteObject: objects.erase(r.u16(0)); break;
    case WmfRecord::MoveTo: out.moveTo(QPointF(r.s16(2), r.s16(0))); break;
    case WmfRecord::LineTo: out.lineTo(QPointF(r.s16(2), r.s16(0))); break;
    case WmfRecord::Rectangle:
        out.rectangle(QRectF(QPointF(r.s16(6), r.s16(4)), QPointF(r.s16(2), r.s16(0))));
        break;
    case WmfRecord::Ellipse:
        out.ellipse(QRectF(QPointF(r.s16(6), r.s16(4)), QPointF(r.s16(2), r.s16(0))));
        break;
    case WmfRecord::RoundRect:
        out.roundRect(QRectF(QPointF(r.s16(10), r.s16(8)), QPointF(r.s16(6), r.s16(4))),
                      QSizeF(r.s16(2), r.s16(0)));
        break;
    case WmfRecord::Polygon:
    case WmfRecord::Polyline: {
        const int count = r.s16(0);
        QPolygonF points;
        for (int i = 0; i < count && r.ok(); ++i)
            points << pt(2 + 4 * i);
        if (!r.ok())
            return false;
        if (function == WmfRecord::Polygon)
            out.polygon(points);
        else
            out.polyline(points);
        break;
    }
    case WmfRecord::PolyPolygon: {
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
            return false;
        out.polyPolygon(polygons);
        break;
    }
    case WmfRecord::StretchDib: {
        const QRectF source(r.s16(12), r.s16(10), r.s16(8), r.s16(6));
        const QRectF target(r.s16(20), r.s16(18), r.s16(16), r.s16(14));
        const qsizetype info = dibInfoSize(r, 22);
        if (info > 0)
            out.bitmap(target,
                       decodeDib(r.bytes(22, info), r.bytes(22 + info, r.size() - 22 - info)),
                       source);
        break;
    }
    case WmfRecord::DibStretchBlt:
    case WmfRecord::DibBitBlt: {
        const bool stretch = function == WmfRecord::DibStretchBlt;
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
            out.bitmap(
                target,
                decodeDib(r.bytes(fields, info), r.bytes(fields + info, r.size() - fields - info)),
                source);
        break;
    }
    case WmfRecord::TextOut: {
        const int count = r.s16(0);
        const qsizetype padded = (count + 1) / 2 * 2;
        const QByteArray text = r.bytes(2, count);
        const QPointF at(r.s16(2 + padded + 2), r.s16(2 + padded));
        if (r.ok())
            out.text(at, textOf(text));
        break;
    }
    case WmfRecord::ExtTextOut: {
        const QPointF at(r.s16(2), r.s16(0));
        const int count = r.s16(4);
        const std::uint32_t options = r.u16(6);
        // The clipping or opaque rectangle, when there is one, stands before the text.
        const qsizetype textAt = (options & (kTextOpaque | kTextClipped)) ? 16 : 8;
        const QByteArray text = r.bytes(textAt, count);
        if (r.ok())
            out.text(at, textOf(text));
        break;
    }
    default: break; // records that change nothing we draw
    }
    return true;
}

} // namespace

QImage renderWmf(const QByteArray& data) {
    const ByteReader file(data, 0, data.size());
    qsizetype pos = 0;
    std::optional<QRectF> frame;
    QSize size;
    if (file.u32(0) == kPlaceableKey) {
        // The frame in logical units, and how many of them make an inch.
        const int left = file.s16(6), top = file.s16(8), right = file.s16(10),
                  bottom = file.s16(12);
        int inch = static_cast<int>(file.u16(14));
        if (inch <= 0)
            inch = kTwipsPerInch;
        frame = QRectF(left, top, right - left, bottom - top);
        size = QSize(qRound(std::abs(right - left) * 96.0 / inch),
                     qRound(std::abs(bottom - top) * 96.0 / inch));
        pos = 22;
    }
    const std::uint32_t type = file.u16(pos), headerWords = file.u16(pos + 2);
    if (!file.ok() || (type != kWmfInMemory && type != kWmfOnDisk) ||
        headerWords != kWmfHeaderWords)
        return {};
    pos += 2 * kWmfHeaderWords;

    if (!frame) {
        frame = windowFrame(file, pos, data.size());
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
    ObjectTable objects;
    for (int records = 0; pos + kRecordHead <= data.size() && records < kMaxMetafileRecords;
         ++records) {
        const qsizetype words = file.u32(pos);
        const WmfRecord function = functionAt(file, pos);
        if (function == WmfRecord::Eof)
            break;
        if (words < kWmfRecordMinWords || words > (data.size() - pos) / 2)
            return {};
        const ByteReader record(data, pos + kRecordHead, pos + words * 2);
        if (!play(out, objects, window, size, function, record))
            return {};
        pos += words * 2;
    }
    return image;
}

} // namespace zel
