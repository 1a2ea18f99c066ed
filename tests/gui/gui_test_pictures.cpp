// The pictures the pages show: metafiles record by record, damaged bitmaps, a kit's and our own.
#include "fuzz/metafile_properties.h"
#include "qt/metafile_records.h"
#include "qt/qt_pictures.h"
#include "tests/support/gui_wizard_fixture.h"

#include <QImageReader>
#include <QLabel>

#include <sstream>

#include <malloc.h>

namespace zel::test {
namespace {

using Bytes = std::string;
using W = metafile::WmfRecord;
using E = metafile::EmfRecord;
constexpr std::int64_t R = 0x0000ff, G = 0x00ff00, B = 0xff0000, K = 0; // COLORREFs

// Words (w) and double words (d), little-endian.
template <int N> Bytes packed(std::initializer_list<std::int64_t> values) {
    Bytes out;
    for (std::int64_t v : values)
        out += le(static_cast<std::uint32_t>(v), N);
    return out;
}
constexpr auto w = packed<2>, d = packed<4>;

// Two nested squares, 16 or 32-bit points.
Bytes points(bool small) {
    Bytes out;
    for (int v : {10, 10, 90, 10, 90, 90, 10, 90, 30, 30, 70, 30, 70, 70, 30, 70})
        out += small ? w({v}) : d({v});
    return out;
}

// Windows metafiles: placeable header (frame, units an inch), header, records; 100 x 100 pixels.
const auto rec = [](W f, const Bytes& p) {
    return d({3 + std::int64_t(p.size() / 2)}) + w({int(f)}) + p;
};
const auto placeable = [](int left, int top, int right, int bottom, int inch = 96) {
    return d({0x9AC6CDD7}) + w({0, left, top, right, bottom, inch}) + d({0}) + w({0});
};
const Bytes kHead = w({1, 9, 0x300}) + d({0}) + w({0}) + d({0}) + w({0}), kEnd = rec(W::Eof, "");
const auto wmf = [](const Bytes& records) {
    return placeable(0, 0, 100, 100) + kHead + records + kEnd;
};
const auto brush = [](std::int64_t c, int style = 0, int hatch = 0) {
    return rec(W::CreateBrushIndirect, w({style}) + d({c}) + w({hatch}));
};
const auto pen = [](int style, int width, std::int64_t c) {
    return rec(W::CreatePenIndirect, w({style, width, 0}) + d({c}));
};
const auto sel = [](int slot) { return rec(W::SelectObject, w({slot})); };
const auto del = [](int slot) { return rec(W::DeleteObject, w({slot})); };
const auto rect = [](int l, int t, int r, int b) { return rec(W::Rectangle, w({b, r, t, l})); };
const auto line = [](int y) { return rec(W::MoveTo, w({y, 0})) + rec(W::LineTo, w({y, 100})); };
const Bytes kRedBrush = brush(R) + sel(0), kNoPen = pen(5, 0, 0);
const Bytes kRed = brush(R) + kNoPen + sel(0) + sel(1); // slots 0 and 1, no outline
const Bytes kAll = rect(0, 0, 100, 100), kFill = kRed + kAll;
const Bytes kNested = rec(W::PolyPolygon, w({2, 4, 4}) + points(true)); // even-odd by default
// A 20-pixel bold font and red text aligned as given, then the text record.
const auto text = [](int align, const Bytes& record, const Bytes& face = "Arial") {
    return rec(W::CreateFontIndirect,
               w({-20, 0, 0, 0, 700}) + Bytes(8, 0) + face + Bytes(32 - face.size(), 0)) +
           sel(0) + rec(W::SetTextColor, d({R})) + rec(W::SetTextAlign, w({align})) + record;
};
const auto textOut = [](const Bytes& s, int x, int y) {
    return rec(W::TextOut, w({int(s.size())}) + s + Bytes(s.size() % 2, 0) + w({y, x}));
};
const Bytes kStretchDib = d({0xCC0020}) + w({0}); // the raster operation, colours as RGB

// Enhanced metafiles: header (bounds, frame in 0.01 mm, device in pixels and mm), records, end.
const auto erec = [](E type, const Bytes& p) {
    return d({int(type), 8 + std::int64_t(p.size())}) + p;
};
using Box = std::array<int, 4>;
Bytes emfHead(Box bounds = {0, 0, 99, 99}, Box frame = {}, Box device = {}, int size = 88,
              int signature = 0x464D4520) {
    return d({1, size, bounds[0], bounds[1], bounds[2], bounds[3], frame[0], frame[1], frame[2],
              frame[3], signature, 0x10000, 0, 0}) +
           w({0, 0}) + d({0, 0, 0, device[0], device[1], device[2], device[3]});
}
const Bytes kEmfEnd = erec(E::Eof, d({0, 16, 20}));
const auto emf = [](const Bytes& records) { return emfHead() + records + kEmfEnd; };
const auto ebrush = [](int h, std::int64_t c) {
    return erec(E::CreateBrushIndirect, d({h, 0, c, 0}));
};
const auto esel = [](std::int64_t handle) { return erec(E::SelectObject, d({handle})); };
const auto erect = [](int l, int t, int r, int b) { return erec(E::Rectangle, d({l, t, r, b})); };
const auto eline = [](int y) {
    return erec(E::MoveToEx, d({0, y})) + erec(E::LineTo, d({100, y}));
};
const Bytes kNullPen = esel(0x80000008), kERedBrush = ebrush(1, R) + esel(1);
const Bytes kERed = kERedBrush + kNullPen, kEAll = erect(0, 0, 100, 100);
const auto mapped = [](int mode, int window, const Bytes& records) { // window units on 100 pixels
    return erec(E::SetMapMode, d({mode})) + erec(E::SetWindowExtEx, d({window, window})) +
           erec(E::SetViewportExtEx, d({100, 100})) + records + kERed;
};
const auto blit = [](E type, Box target, std::int64_t rop, const Bytes& rest) {
    return erec(type, d({0, 0, 0, 0, target[0], target[1], target[2], target[3], rop, 0, 0}) +
                          Bytes(24, 0) + rest);
};

// A 20-pixel font (s: italic, underline, strike-out bytes; bold with any), "HHHH" at 50,50.
const auto etext = [](int s, const Bytes& face) { // the face in UTF-16
    const Bytes font = d({1, -20, 0, 0, 0, s ? 700 : 0, s, 0}) + face + Bytes(64 - face.size(), 0);
    return emf(erec(E::ExtCreateFontIndirectW, font) + esel(1) + erec(E::SetTextColor, d({R})) +
               erec(E::ExtTextOutW, d({0, 0, 0, 0, 1, 0, 0, 50, 50, 4, 76, 0, 0, 0, 0, 0, 0}) +
                                        w({'H', 'H', 'H', 'H'})));
};

const auto epoly = [](E type, bool small, int polys = 2) {
    return erec(type, d({0, 0, 0, 0, polys, 8, 4, 4}) + points(small));
};
// A 2 x 1 bitmap: red, blue.
const Bytes kDib = d({40, 2, 1}) + w({1, 24}) + d({0, 8, 0, 0, 0, 0}) +
                   Bytes("\x00\x00\xff\xff\x00\x00\x00\x00", 8);
// The same in 32 bits a pixel, its colour masks between the header and the pixels.
const Bytes kMaskedDib = d({40, 2, 1}) + w({1, 32}) +
                         d({3, 8, 0, 0, 0, 0, 0xff0000, 0xff00, 0xff}) +
                         Bytes("\x00\x00\xff\x00\xff\x00\x00\x00", 8);

// The picture as `expected` asks: "WxH" unless 100 x 100, each "x,y" colour (R G B W K Y grey, ?),
// for "ink WITHIN REACHES" the boxes when the red lies within the one and over the other.
std::string describe(const QImage& image, const std::string& expected) {
    std::ostringstream out;
    if (image.size() != QSize(100, 100))
        out << image.width() << "x" << image.height();
    std::istringstream in(expected);
    for (std::string token; in >> token;) {
        int x = 0, y = 0, width = 0, height = 0;
        if (token == "ink") {
            QRect ink, box[2];
            for (QRect& b : box) {
                in >> token;
                std::sscanf(token.c_str(), "%d,%d,%d,%d", &x, &y, &width, &height);
                b = QRect(x, y, width, height);
            }
            for (y = 0; y < image.height(); ++y)
                for (x = 0; x < image.width(); ++x)
                    ink |= image.pixel(x, y) == qRgb(255, 0, 0) ? QRect(x, y, 1, 1) : QRect();
            if (box[0].contains(ink) && ink.contains(box[1]))
                ink = box[0], box[0] = box[1];
            out << " ink";
            for (const QRect& r : {ink, box[0]})
                out << " " << r.x() << "," << r.y() << "," << r.width() << "," << r.height();
        } else if (std::sscanf(token.c_str(), "%d,%d", &x, &y) == 2) {
            const QRgb known[] = {qRgb(255, 0, 0),     qRgb(0, 255, 0), qRgb(0, 0, 255),
                                  qRgb(255, 255, 255), qRgb(0, 0, 0),   qRgb(128, 128, 128)};
            out << " " << x << "," << y
                << "RGBWKY?"[std::find(known, known + 6, image.pixel(x, y)) - known];
        }
    }
    return out.str().substr(out.str().rfind(' ', 0) == 0 ? 1 : 0);
}

// What the readers made of the bytes: "refused" by both, else as described above.
std::string seen(const Bytes& bytes, const std::string& expected) {
    const QByteArray data(bytes.data(), qsizetype(bytes.size()));
    const QImage wmfImage = renderWmf(data), emfImage = renderEmf(data);
    if (wmfImage.isNull() == emfImage.isNull())
        return wmfImage.isNull() ? "refused" : "drawn by both readers";
    return describe(wmfImage.isNull() ? emfImage : wmfImage, expected);
}

TEST(Metafiles, EachRecordDrawsWhatItSaysWithinItsCapsOrRefusesThePicture) {
    const int max = metafile::kMaxPictureSide;
    const Box frame = {0, 0, 999, 999}, device = {1000, 1000, 100, 100}; // 10 pixels a mm
    const std::pair<Bytes, std::string> rows[] = {
        // Windows metafiles: records
        {wmf(kRed + rect(10, 10, 50, 50)), "10,30R 49,30R 50,30W"},
        {wmf(kRedBrush + rect(10, 10, 50, 50)), "30,30R 10,30K"}, // the default pen
        {wmf(pen(0, 6, R) + sel(0) + line(50)), "50,52R 50,45W"},
        {wmf(pen(0, 6, R) + sel(0) + line(50) + rec(W::LineTo, w({90, 50}))), "75,70R 25,70W"},
        {placeable(0, 0, 50, 50, 48) + kHead + pen(0, 1, R) + sel(0) + line(25) + kEnd,
         "50,50R 50,48W 50,52W"}, // a one-unit pen stays one pixel at any scale
        {wmf(kRed + rec(W::Ellipse, w({100, 100, 0, 0}))), "50,50R 3,3W"},
        {wmf(kRed + rec(W::RoundRect, w({60, 60, 100, 100, 0, 0}))), "50,50R 2,2W"},
        {wmf(kRed + rec(W::Polygon, w({3, 0, 0, 100, 0, 0, 100}))), "20,20R 80,80W"},
        {wmf(kRedBrush + rec(W::Polyline, w({3, 10, 10, 90, 10, 10, 90}))), "30,30W 50,10K"},
        {wmf(kRed + kNested), "20,20R 50,50W"},
        {wmf(rec(W::SetPolyFillMode, w({2})) + kRed + kNested), "20,20R 50,50R"},
        {wmf(kNoPen + brush(R) + brush(B) + del(1) + brush(G) + sel(0) + sel(1) + kAll),
         "50,50G"}, // a freed slot is the next object's
        {wmf(rec(W::CreatePalette, w({0x300, 0})) + brush(R) + brush(B) + kNoPen + sel(3) + sel(2) +
             kAll),
         "50,50B"}, // a palette takes a slot
        {wmf(kRed + brush(B) + del(2) + sel(2) + kAll), "50,50R"},
        {wmf(brush(R, 2, 9) + kNoPen + sel(0) + sel(1) + kAll), "50,50R 51,53R"},
        {wmf(kRedBrush + rec(W::DibBitBlt, d({0xF00021}) + w({0, 0, 0, 30, 30, 20, 20}))),
         "35,35R 60,60W 19,35W"}, // no bitmap: the brush
        {wmf(kRedBrush + rec(W::DibStretchBlt, d({0xF00021}) + w({0, 0, 0, 0, 0, 30, 30, 20, 20}))),
         "35,35R 60,60W"},
        {wmf(rec(W::DibBitBlt, d({0xCC0020}) + w({0, 0, 1, 2, 50, 50}) + kDib)),
         "50,50R 51,50B 52,50W"},
        {wmf(rec(W::DibBitBlt, d({0xCC0020}) + w({0, 0, 1, 2, 50, 50}) + kMaskedDib)),
         "50,50R 51,50B 52,50W"},
        {wmf(rec(W::DibStretchBlt, d({0xCC0020}) + w({1, 2, 0, 0, 100, 100, 0, 0}) + kDib)),
         "25,50R 75,50B"},
        {wmf(rec(W::StretchDib, kStretchDib + w({1, 1, 0, 1, 100, 100, 0, 0}) + kDib)),
         "25,50B 75,50B"},
        {wmf(text(0, textOut("HHHH", 50, 50))), "ink 50,50,50,50 52,56,47,12 53,57R"}, // top left
        {wmf(text(0, textOut("HHHH", 50, 50), "Courier New")),
         "ink 50,50,47,20 53,56,42,10"},                                        // narrower
        {wmf(text(10, textOut("HHHH", 50, 50))), "ink 0,0,51,51 5,34,40,10"},   // bottom right
        {wmf(text(30, textOut("HHH", 50, 50))), "ink 20,30,60,21 32,38,34,10"}, // on its baseline
        {wmf(text(0, rec(W::ExtTextOut, w({10, 10, 4, 4, 0, 0, 0, 0}) + "HHHH"))), // clipped
         "ink 10,10,90,40 12,16,47,12"},
        {wmf(text(0, rec(W::ExtTextOut, w({10, 10, 4, 0}) + "HHHH"))),
         "ink 10,10,90,40 12,16,47,12"},
        {wmf(text(0, textOut("H", 0, 0) + line(80))), "50,80K"}, // the text's colour not kept
        {wmf(rec(W::SetWindowOrg, w({0, 50})) + kRed + rect(50, 0, 100, 100)), "25,50R 75,50W"},
        {wmf(rec(W::SetWindowExt, w({200, 200})) + kFill), "25,25R 75,75W"},
        {wmf(rec(W::SetWindowExt, w({0, 200})) + kRed + rect(0, 0, 50, 100)), "25,50R 75,50W"},
        {wmf(kFill + kEnd + brush(B) + sel(2) + kAll), "50,50R"},
        {placeable(0, 0, 100, 100) + kHead + kFill, "50,50R"}, // no end record
        // Windows metafiles: headers
        {kHead + rec(W::SetWindowOrg, w({100, 100})) + rec(W::SetWindowExt, w({40, 120})) + kRed +
             rect(100, 100, 160, 140) + kEnd,
         "120x40 30,20R 90,20W"}, // no frame: the window
        {kHead + rec(W(0x1E), "") + rec(W::SetWindowExt, w({40, 120})) + kEnd, "120x40"},
        {placeable(0, 0, 1440, 720, 0) + kHead + kEnd, "96x48"},           // no units: twips
        {placeable(0, 0, 100, 100) + w({2}) + kHead.substr(2) + kEnd, ""}, // on disk
        {placeable(0, 0, max, max) + kHead + kEnd, "1024x1024"},
        {placeable(0, 0, max + 1, 10) + kHead + kEnd, "refused"},
        {placeable(0, 0, 10, max + 1) + kHead + kEnd, "refused"},
        {placeable(0, 0, 100, 0) + kHead + kEnd, "refused"},
        {kHead + kFill + kEnd, "refused"},
        {kHead + d({0}) + w({int(W::Rectangle)}) + kEnd, "refused"},    // a record of no size
        {kHead + kEnd + rec(W::SetWindowExt, w({40, 120})), "refused"}, // a window past the end
        {placeable(0, 0, 100, 100) + w({3}) + kHead.substr(2) + kEnd, "refused"},
        {placeable(0, 0, 100, 100) + w({1, 10}) + kHead.substr(4) + kEnd, "refused"},
        {wmf(d({2}) + w({int(W::Rectangle)})), "refused"},
        {placeable(0, 0, 100, 100) + kHead + d({8}) + w({int(W::Rectangle), 0, 0, 9, 9}),
         "refused"},
        {wmf(rec(W::Polygon, w({10, 0, 0, 100, 0}))), "refused"},
        {wmf(rec(W::PolyPolygon, w({2, 4, 40}) + points(true).substr(0, 16))), "refused"},
        // Enhanced metafiles: records
        {emf(kNullPen + esel(0x80000002) + erect(50, 0, 100, 100) + esel(0x80000004) +
             erect(0, 0, 50, 100)),
         "25,50K 75,50Y"},
        {emf(kERed + kEAll + esel(0x80000005) + esel(0x80000006) + erect(20, 20, 80, 80) +
             esel(0x80000007) + erect(30, 30, 70, 70)),
         "50,50R 20,50W 30,50K"},
        {emf(erec(E::CreatePen, d({1, 0, 6, 0, R})) + esel(1) + eline(50)), "50,52R 50,45W"},
        {emf(erec(E::ExtCreatePen, d({1, 0, 0, 0, 0, 0, 6, 0, R, 0, 0})) + esel(1) + eline(50)),
         "50,52R 50,45W"},
        {emf(kERed + erec(E::Ellipse, d({0, 0, 100, 100}))), "50,50R 3,3W"},
        {emf(kERed + erec(E::RoundRect, d({0, 0, 100, 100, 60, 60}))), "50,50R 2,2W"},
        {emf(kERed + erec(E::Polygon16, d({0, 0, 0, 0, 3}) + w({0, 0, 100, 0, 0, 100}))),
         "20,20R 80,80W"},
        {emf(kERedBrush + erec(E::Polyline, d({0, 0, 0, 0, 3, 10, 10, 90, 10, 10, 90}))),
         "30,30W 50,10K"},
        {emf(erec(E::SetPolyFillMode, d({2})) + kERed + epoly(E::PolyPolygon16, true)),
         "20,20R 50,50R"},
        {emf(kERed + epoly(E::PolyPolygon, false)), "20,20R 50,50W"},
        {emf(kERedBrush + epoly(E::PolyPolyline16, true)), "20,20W 50,10K"},
        {emf(mapped(8, 1000, "") + erect(0, 0, 500, 500)), "25,25R 75,75W 25,75W"},
        {emf(mapped(7, 1000, "") + erect(0, 0, 500, 500)), "25,25R 75,75W"},
        {emf(mapped(8, 0, "") + erect(0, 0, 50, 50)), "25,25R 75,75W"},
        {emf(mapped(8, 1000, erec(E::SetWindowOrgEx, d({500, 0}))) + erect(500, 0, 1000, 1000)),
         "25,50R 75,50W"},
        {emf(erec(E::SetWindowOrgEx, d({50, 0})) + kERed + erect(50, 0, 100, 100)),
         "25,50R 75,50W"},
        {emf(erec(E::SetViewportOrgEx, d({50, 0})) + kERed + erect(0, 0, 50, 100)),
         "75,50R 25,50W"},
        {emf(ebrush(1, R) + ebrush(2, B) + esel(1) + erec(E::SaveDC, "") + esel(2) +
             erec(E::RestoreDC, d({-1})) + kNullPen + kEAll),
         "50,50R"},
        {emf(ebrush(1, R) + ebrush(2, B) + esel(2) + erec(E::DeleteObject, d({1})) + esel(1) +
             kNullPen + kEAll),
         "50,50B"},
        {emf(erec(E::StretchDIBits,
                  d({0, 0, 0, 0, 0, 0, 0, 0, 2, 1, 80, 40, 120, 8, 0, 0xCC0020, 100, 100}) + kDib)),
         "25,50R 75,50B"},
        {emf(kERedBrush + blit(E::BitBlt, {20, 20, 30, 30}, 0xF00021, d({0, 0, 0, 0, 0, 0}))),
         "35,35R 60,60W"},
        {emf(blit(E::BitBlt, {50, 50, 2, 1}, 0xCC0020, d({0, 0, 100, 40, 140, 8}) + kDib)),
         "50,50R 51,50B 52,50W"},
        {emf(blit(E::StretchBlt, {0, 0, 100, 100}, 0xCC0020,
                  d({0, 0, 108, 40, 148, 8, 2, 1}) + kDib)),
         "25,50R 75,50B"},
        {etext(0, ""), "ink 50,50,50,50 52,56,47,12 50,61W"}, // no line struck through
        {etext(65793, Bytes((const char*)u"Courier New", 22)),
         "ink 50,54,48,17 51,56,46,12 62,61R 62,70R"},
        {emf(kERed + kEAll + kEmfEnd + ebrush(2, B) + esel(2) + kEAll), "50,50R"},
        {emfHead() + kERed + kEAll, "50,50R"}, // no end record
        // Enhanced metafiles: headers
        {emfHead({0, 0, max - 1, 0}) + kEmfEnd, "1024x1"},
        {emfHead({0, 0, max, 0}) + kEmfEnd, "refused"},
        {emfHead({0, 0, 0, max}) + kEmfEnd, "refused"},
        {emfHead({0, 0, -2, 9}) + kEmfEnd, "refused"},
        {emfHead({0, 0, 49, 49}, frame, device) + kEmfEnd, ""}, // the frame on the device
        {emfHead({0, 0, 49, 49}, frame, {0, 1000, 100, 100}) + kEmfEnd, "50x50"},
        {emfHead({0, 0, 49, 49}, frame, {1000, 0, 100, 100}) + kEmfEnd, "50x50"},
        {emfHead({0, 0, 49, 49}, frame, {1000, 1000, 0, 100}) + kEmfEnd, "50x50"},
        {emfHead({0, 0, 49, 49}, frame, {1000, 1000, 100, 0}) + kEmfEnd, "50x50"},
        {emfHead({0, 0, 49, 49}, {0, 0, -1, 999}, device) + kEmfEnd, "50x50"},
        {emfHead({0, 0, 49, 49}, {0, 0, 999, -1}, device) + kEmfEnd, "50x50"},
        {emfHead({0, 0, 99, 99}, {}, {}, 88, 0x464D4521) + kEmfEnd, "refused"},
        {"\x02" + emfHead().substr(1) + kEmfEnd, "refused"},
        {emfHead({0, 0, 99, 99}, {}, {}, 84) + kEmfEnd, "refused"},
        {emfHead({0, 0, 99, 99}, {}, {}, 120), "refused"},
        {emf(d({43, 4})), "refused"},
        {emf(d({43, 10, 0})), "refused"},
        {emfHead() + d({43, 28, 0, 0, 0, 0}), "refused"},
        {emf(erec(E::Polygon16, d({0, 0, 0, 0, 9}) + w({0, 0, 100, 0}))), "refused"},
        {emf(epoly(E::PolyPolygon16, true, -1)), "refused"},
        {emf(epoly(E::PolyPolygon16, true, 60)), "refused"},
        {emf(erec(E::PolyPolygon, d({0, 0, 0, 0, 2, 44, 4, 40}) + points(false).substr(0, 32))),
         "refused"},
    };
    guiApplication();
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(seen(rows[i].first, rows[i].second), rows[i].second) << "row " << i;
    // A hostile picture cannot take the wizard's time or memory: records, objects, saves capped.
    for (const bool enhanced : {false, true}) {
        const int first = metafile::kMaxMetafileRecords - (enhanced ? 4 : 5);
        for (const int before : {first, first + 1}) {
            Bytes records; // a red square after records that draw nothing
            for (int i = 0; i < before; ++i)
                records +=
                    enhanced ? erec(E::SetPolyFillMode, d({1})) : rec(W::SetPolyFillMode, w({1}));
            records += enhanced ? kERed + kEAll : kFill;
            EXPECT_EQ(seen(enhanced ? emf(records) : wmf(records), "50,50"),
                      before == first ? "50,50R" : "50,50W");
        }
    }
    // A full table makes nothing more: a freed slot is taken again, an existing handle replaced.
    const std::size_t cap = metafile::kMaxMetafileObjects;
    Bytes objects;
    for (std::size_t i = 0; i < cap + 10; ++i)
        objects += brush(B);
    objects += del(7) + brush(R) + brush(G) + sel(7) + kAll + sel(int(cap)) + kAll;
    EXPECT_EQ(seen(wmf(objects), "50,50"), "50,50R");
    objects = "";
    for (std::size_t i = 1; i <= cap; ++i)
        objects += ebrush(int(i), B);
    objects += ebrush(99999, R) + ebrush(5, G) + kNullPen + esel(5) + erect(0, 0, 50, 100) +
               esel(99999) + erect(50, 0, 100, 100);
    EXPECT_EQ(seen(emf(objects), "25,50 75,50"), "25,50G 75,50G");
    // One save more than the cap is not made: the restore goes back to the last one made.
    Bytes saves = ebrush(1, R) + ebrush(2, G) + ebrush(3, B) + kNullPen + esel(1);
    for (int i = 0; i < metafile::kMaxSavedStates; ++i)
        saves += erec(E::SaveDC, "");
    saves += esel(2) + erec(E::SaveDC, "") + esel(3) + erec(E::RestoreDC, d({-1})) + kEAll;
    EXPECT_EQ(seen(emf(saves), "50,50"), "50,50R");
}

TEST(FuzzReplay, MetafileReaders) {
    guiApplication();
    replayFuzzCorpus("metafile", fuzz::checkMetafiles);
}

using PicturesTest = MachineTest;

// A bitmap cut short shows its first colour past its end; pixels past a short palette are black.
TEST_F(PicturesTest, DamagedBitmapsShowWhatTheyCanAndALabelOnlyAPictureOnItsDrive) {
    guiApplication();
    const auto bitmap = [](int side, std::int64_t first, std::int64_t second, const Bytes& pixels) {
        const Bytes info =
            d({40, side, side / 2 + side % 2}) + w({1, 8}) + d({0, 0, 0, 0, 2, 0, first, second});
        return "BM" + d({std::int64_t(54 + 8 + pixels.size()), 0, 62}) + info + pixels;
    };
    writeFile(tmp / "CUT.BMP", bitmap(64, 0xff, 0xff0000, Bytes(16 * 64, 1))); // half the rows
    const Bytes bmp = bitmap(3, 0xff0000, 0xff00, Bytes("\x01\x09\0\0\x01\x09\0\0", 8));
    writeFile(tmp / "SHORT.BMP", bmp);
    writeFile(tmp / "EDGE.BMP", bitmap(2048, 0xff, 0xff0000, Bytes(2048, 1))); // just the limit
    const int limit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(2);
    mallopt(M_MMAP_THRESHOLD, 8 << 20); // large blocks too from the heap, not fresh pages
    mallopt(M_PERTURB, 0x5A); // memory from the allocator filled rather than, by chance, clear
    const QImage cut = readPicture(tmp / "CUT.BMP"), shortPalette = readPicture(tmp / "SHORT.BMP"),
                 edge = readPicture(tmp / "EDGE.BMP");
    mallopt(M_PERTURB, 0);
    QImageReader::setAllocationLimit(limit);
    EXPECT_EQ(describe(edge, "3,3 3,1023"), "2048x1024 3,3B 3,1023R");
    EXPECT_EQ(describe(cut, "3,3 60,15 3,16"), "64x32 3,3B 60,15B 3,16R"); // rows 16 on read
    EXPECT_EQ(describe(shortPalette, "0,0 1,0"), "3x2 0,0G 1,0K");
    // Of two pictures the larger shows, and of two of one size the one of more colours.
    const fs::path kit = sourceDir() / "kit/UPDATE/ZELNET.ICO";
    const Bytes four = paletteIcon(32, 32, 4, 16, 1);
    for (const Bytes& two : {twoPictures(paletteIcon(16, 16, 1, 2, 0), readFile(kit)),
                             twoPictures(four, readFile(kit)), twoPictures(readFile(kit), four)}) {
        writeFile(tmp / "TWO.ICO", two);
        EXPECT_EQ(readPicture(tmp / "TWO.ICO"), readPicture(kit));
    }
    const Bytes dib = bmp.substr(14);
    EXPECT_EQ(seen(wmf(rec(W::StretchDib, kStretchDib + w({2, 2, 0, 0, 100, 100, 0, 0}) + dib)),
                   "25,50 75,50"),
              "25,50G 75,50K");
    // Only a picture on its drive shows: not a link off it, too large, undecodable, missing.
    QImage image(6, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(QString::fromStdString((driveC() / "Logo.bmp").string()), "PNG"));
    fs::copy_file(driveC() / "Logo.bmp", tmp / "host.bmp");
    fs::create_symlink(tmp / "host.bmp", driveC() / "LINK.BMP");
    fs::copy_file(driveC() / "Logo.bmp", driveC() / "BIG.BMP");
    fs::resize_file(driveC() / "BIG.BMP", kMaxPictureBytes + 1);
    writeFile(driveC() / "BAD.WMF", "not a metafile");
    QLabel label;
    std::string loaded; // each as "loaded WxH"
    for (const char* path : {"C:\\LOGO.BMP", "C:\\LINK.BMP", "C:\\BIG.BMP", "C:\\BAD.WMF",
                             "C:\\NO.BMP", "Q:\\LOGO.BMP"}) {
        label.setPixmap(QPixmap::fromImage(image));
        const bool shown = loadPicture(label, machine(), path);
        loaded += std::to_string(shown) + " " + std::to_string(label.pixmap().width()) + "x" +
                  std::to_string(label.pixmap().height()) + "; ";
    }
    EXPECT_EQ(loaded, "1 6x4; 0 0x0; 0 0x0; 0 0x0; 0 0x0; 0 0x0; ");
}

} // namespace
} // namespace zel::test
