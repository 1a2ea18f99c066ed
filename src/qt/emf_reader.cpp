#include "qt/emf_reader.h"

#include "qt/metafile_painter.h"
#include "qt/metafile_records.h"

#include <map>
#include <vector>

namespace zel {

namespace {

using namespace metafile;

// A LOGFONTW: the height, the weight, the style bytes and a UTF-16 face name.
LogFont logFontW(const ByteReader& in, qsizetype at) {
    LogFont font;
    font.height = in.s32(at);
    font.weight = in.s32(at + 16);
    font.italic = in.u8(at + 20) != 0;
    font.underline = in.u8(at + 21) != 0;
    font.strikeOut = in.u8(at + 22) != 0;
    for (int i = 0; i < 32; ++i) {
        const auto c = static_cast<char16_t>(in.u16(at + 28 + 2 * i));
        if (c == 0)
            break;
        font.face.append(QChar(c));
    }
    return font;
}

// The page transform that the mapping mode, the window and the viewport make.
class PageSpace {
public:
    explicit PageSpace(MetafilePainter& out) : out_(out) {}

    // Drawing states saved and not yet restored.
    int savedStates = 0;

    void setMapMode(int mode) {
        mapMode_ = mode;
        update();
    }
    void setWindowOrigin(QPointF origin) {
        windowOrg_ = origin;
        update();
    }
    void setWindowExtent(QSizeF extent) {
        windowExt_ = extent;
        update();
    }
    void setViewportOrigin(QPointF origin) {
        viewportOrg_ = origin;
        update();
    }
    void setViewportExtent(QSizeF extent) {
        viewportExt_ = extent;
        update();
    }

private:
    void update() {
        QTransform page;
        if (mapMode_ == kMapIsotropic || mapMode_ == kMapAnisotropic) {
            const qreal sx =
                windowExt_.width() != 0 ? viewportExt_.width() / windowExt_.width() : 1;
            const qreal sy =
                windowExt_.height() != 0 ? viewportExt_.height() / windowExt_.height() : 1;
            page.translate(viewportOrg_.x(), viewportOrg_.y());
            page.scale(sx, sy);
            page.translate(-windowOrg_.x(), -windowOrg_.y());
        } else {
            page.translate(viewportOrg_.x() - windowOrg_.x(), viewportOrg_.y() - windowOrg_.y());
        }
        out_.setPageTransform(page);
    }

    MetafilePainter& out_;
    int mapMode_ = kMapText;
    QPointF windowOrg_, viewportOrg_;
    QSizeF windowExt_{1, 1}, viewportExt_{1, 1};
};

// The points of a poly record: 16-bit or 32-bit coordinate pairs.
QPolygonF pointsAt(const ByteReader& r, qsizetype at, int count, bool small) {
    QPolygonF points;
    for (int i = 0; i < count && r.ok(); ++i) {
        if (small)
            points << QPointF(r.s16(at + 4 * i), r.s16(at + 4 * i + 2));
        else
            points << QPointF(r.s32(at + 8 * i), r.s32(at + 8 * i + 4));
    }
    return points;
}

// A RECTL: left, top, right, bottom.
QRectF boxAt(const ByteReader& r, qsizetype at) {
    return QRectF(QPointF(r.s32(at), r.s32(at + 4)), QPointF(r.s32(at + 8), r.s32(at + 12)));
}

// Bitmap parts are placed by offsets that count from the start of the record, before its type
// and size.
QByteArray partAt(const ByteReader& r, std::uint32_t offset, std::uint32_t size) {
    return r.bytes(qsizetype{offset} - 8, size);
}

// Draws one record; false when the record is damaged and the picture with it.
// Keeps a created object under its index; a picture that already keeps as many as it may
// creates no more.
void keep(std::map<std::uint32_t, GdiObject>& objects, std::uint32_t index, GdiObject object) {
    if (objects.size() >= kMaxMetafileObjects && !objects.contains(index))
        return;
    objects[index] = std::move(object);
}

bool play(MetafilePainter& out, PageSpace& page, std::map<std::uint32_t, GdiObject>& objects,
          EmfRecord type, const ByteReader& r) {
    switch (type) {
    case EmfRecord::SetWindowExtEx: page.setWindowExtent(QSizeF(r.s32(0), r.s32(4))); break;
    case EmfRecord::SetWindowOrgEx: page.setWindowOrigin(QPointF(r.s32(0), r.s32(4))); break;
    case EmfRecord::SetViewportExtEx: page.setViewportExtent(QSizeF(r.s32(0), r.s32(4))); break;
    case EmfRecord::SetViewportOrgEx: page.setViewportOrigin(QPointF(r.s32(0), r.s32(4))); break;
    case EmfRecord::SetMapMode: page.setMapMode(r.s32(0)); break;
    case EmfRecord::SetPolyFillMode: out.setFillWinding(r.u32(0) == kFillWinding); break;
    case EmfRecord::SetTextAlign: out.setTextAlign(r.u32(0)); break;
    case EmfRecord::SetTextColor: out.setTextColor(colorRef(r.u32(0))); break;
    case EmfRecord::SaveDC:
        if (page.savedStates < kMaxSavedStates) {
            out.painter().save();
            ++page.savedStates;
        }
        break;
    case EmfRecord::RestoreDC:
        if (page.savedStates > 0) {
            out.painter().restore();
            --page.savedStates;
        }
        break;
    case EmfRecord::SelectObject: {
        const std::uint32_t index = r.u32(0);
        if (index & kStockObject)
            out.selectStock(index & ~kStockObject);
        else if (auto it = objects.find(index); it != objects.end())
            out.select(it->second);
        break;
    }
    case EmfRecord::CreatePen:
        keep(objects, r.u32(0), makePen(r.u32(4), r.s32(8), r.u32(16)));
        break;
    case EmfRecord::ExtCreatePen:
        keep(objects, r.u32(0), makePen(r.u32(20), r.s32(24), r.u32(32)));
        break;
    case EmfRecord::CreateBrushIndirect:
        keep(objects, r.u32(0), makeBrush(r.u32(4), r.u32(8), r.u32(12)));
        break;
    case EmfRecord::ExtCreateFontIndirectW:
        keep(objects, r.u32(0), makeFont(logFontW(r, 4)));
        break;
    case EmfRecord::DeleteObject: objects.erase(r.u32(0)); break;
    case EmfRecord::MoveToEx: out.moveTo(QPointF(r.s32(0), r.s32(4))); break;
    case EmfRecord::LineTo: out.lineTo(QPointF(r.s32(0), r.s32(4))); break;
    case EmfRecord::Ellipse: out.ellipse(boxAt(r, 0)); break;
    case EmfRecord::Rectangle: out.rectangle(boxAt(r, 0)); break;
    case EmfRecord::RoundRect: out.roundRect(boxAt(r, 0), QSizeF(r.s32(16), r.s32(20))); break;
    case EmfRecord::Polygon:
    case EmfRecord::Polyline:
    case EmfRecord::Polygon16:
    case EmfRecord::Polyline16: {
        // The bounds, the number of points, then the points.
        const bool small = type == EmfRecord::Polygon16 || type == EmfRecord::Polyline16;
        const QPolygonF points = pointsAt(r, 20, r.s32(16), small);
        if (!r.ok())
            return false;
        if (type == EmfRecord::Polygon || type == EmfRecord::Polygon16)
            out.polygon(points);
        else
            out.polyline(points);
        break;
    }
    case EmfRecord::PolyPolygon:
    case EmfRecord::PolyPolygon16:
    case EmfRecord::PolyPolyline:
    case EmfRecord::PolyPolyline16: {
        // The bounds, the numbers of polygons and of points, each polygon's count, the points.
        const bool small = type == EmfRecord::PolyPolygon16 || type == EmfRecord::PolyPolyline16;
        const int polys = r.s32(16);
        if (polys < 0 || polys > r.size() / 4)
            return false;
        qsizetype at = 24 + 4 * qsizetype{polys};
        std::vector<QPolygonF> polygons;
        for (int p = 0; p < polys && r.ok(); ++p) {
            const int count = r.s32(24 + 4 * p);
            polygons.push_back(pointsAt(r, at, count, small));
            at += qsizetype{std::max(0, count)} * (small ? 4 : 8);
        }
        if (!r.ok())
            return false;
        if (type == EmfRecord::PolyPolygon || type == EmfRecord::PolyPolygon16)
            out.polyPolygon(polygons);
        else
            for (const QPolygonF& p : polygons)
                out.polyline(p);
        break;
    }
    case EmfRecord::StretchDIBits: {
        const QRectF source(r.s32(24), r.s32(28), r.s32(32), r.s32(36));
        const QRectF target(r.s32(16), r.s32(20), r.s32(64), r.s32(68));
        const QByteArray info = partAt(r, r.u32(40), r.u32(44));
        const QByteArray bits = partAt(r, r.u32(48), r.u32(52));
        if (r.ok())
            out.bitmap(target, decodeDib(info, bits), source);
        break;
    }
    case EmfRecord::BitBlt:
    case EmfRecord::StretchBlt: {
        const QRectF target(r.s32(16), r.s32(20), r.s32(24), r.s32(28));
        const std::uint32_t infoSize = r.u32(80);
        if (infoSize == 0) {
            out.fill(target); // a pattern operation with the current brush
            break;
        }
        QRectF source(r.s32(36), r.s32(40), target.width(), target.height());
        if (type == EmfRecord::StretchBlt)
            source.setSize(QSizeF(r.s32(92), r.s32(96)));
        const QByteArray info = partAt(r, r.u32(76), infoSize);
        const QByteArray bits = partAt(r, r.u32(84), r.u32(88));
        if (r.ok())
            out.bitmap(target, decodeDib(info, bits), source);
        break;
    }
    case EmfRecord::ExtTextOutW: {
        const QPointF at(r.s32(28), r.s32(32));
        const int count = r.s32(36);
        const qsizetype offset = qsizetype{r.u32(40)} - 8;
        QString text;
        for (int i = 0; i < count && r.ok(); ++i)
            text.append(QChar(static_cast<char16_t>(r.u16(offset + 2 * i))));
        if (r.ok())
            out.text(at, text);
        break;
    }
    default: break; // records that change nothing we draw
    }
    return true;
}

} // namespace

QImage renderEmf(const QByteArray& data) {
    const ByteReader file(data, 0, data.size());
    if (static_cast<EmfRecord>(file.u32(0)) != EmfRecord::Header || file.u32(40) != kEmfSignature ||
        !file.ok())
        return {};
    // Inclusive rectangles: bounds in pixels, frame in hundredths of a millimetre. Read as
    // doubles: their sides need not fit an int.
    const auto inclusive = [&file](qsizetype at) {
        const double left = file.s32(at), top = file.s32(at + 4);
        return QRectF(left, top, file.s32(at + 8) - left + 1, file.s32(at + 12) - top + 1);
    };
    const QRectF bounds = inclusive(8), frame = inclusive(24);
    const qsizetype headerSize = file.u32(4);
    if (headerSize < kEmfHeaderMinSize || headerSize > data.size())
        return {};
    // The reference device: its size in pixels and in millimetres gives the frame in pixels.
    const int devW = file.s32(72), devH = file.s32(76), mmW = file.s32(80), mmH = file.s32(84);
    QRectF reference = bounds;
    if (devW > 0 && devH > 0 && mmW > 0 && mmH > 0 && frame.width() > 0 && frame.height() > 0) {
        reference =
            QRectF(frame.left() * devW / (mmW * 100.0), frame.top() * devH / (mmH * 100.0),
                   frame.width() * devW / (mmW * 100.0), frame.height() * devH / (mmH * 100.0));
    }
    // Beyond a picture's size the header is damaged, and rounding it would not fit an int.
    if (!(reference.width() > 0 && reference.width() <= kMaxPictureSide && reference.height() > 0 &&
          reference.height() <= kMaxPictureSide))
        return {};
    const QSize size(qRound(reference.width()), qRound(reference.height()));
    QImage image = blankPicture(size);
    if (image.isNull())
        return {};

    MetafilePainter out(image);
    out.setLogicalFrame(reference, size);
    PageSpace page(out);
    std::map<std::uint32_t, GdiObject> objects;
    // Records are the type and the size in bytes (32 bits each), then the parameters.
    qsizetype pos = headerSize;
    for (int records = 0; pos + 8 <= data.size() && records < kMaxMetafileRecords; ++records) {
        const auto type = static_cast<EmfRecord>(file.u32(pos));
        const qsizetype length = file.u32(pos + 4);
        if (length < 8 || length % 4 != 0 || length > data.size() - pos)
            return {};
        if (type == EmfRecord::Eof)
            break;
        if (!play(out, page, objects, type, ByteReader(data, pos + 8, pos + length)))
            return {};
        pos += length;
    }
    return image;
}

} // namespace zel
