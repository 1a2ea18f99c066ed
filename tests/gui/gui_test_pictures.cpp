// The pages' pictures, drawn at build time and compiled into zel_gui under :/pictures/, and
// the pictures a kit brings: metafiles drawn record by record, damaged bitmaps.
#include "fuzz/metafile_properties.h"
#include "qt/qt_pictures.h"
#include "tests/support/gui_wizard_fixture.h"

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <link.h>
#include <malloc.h>

namespace {

using zel::test::TempDir;
using zel::test::writeFile;

// Pixmaps need the application.
QPixmap own(const char* file) {
    zel::test::guiApplication();
    return zel::ownPicture(file);
}

TEST(Pictures, PagePicturesArePageSizedArtworkIn256Colours) {
    for (const char* name :
         {"welcome.bmp", "copy.bmp", "install_type.bmp", "connection.bmp", "finish.bmp"}) {
        const QImage picture = own(name).toImage();
        ASSERT_FALSE(picture.isNull()) << name;
        EXPECT_EQ(picture.size(), QSize(160, 120)) << name;
        // Real artwork in a 256-colour palette, not an empty or flat image.
        std::set<QRgb> colours;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                colours.insert(picture.pixel(x, y));
        EXPECT_GT(colours.size(), 16u) << name;
        EXPECT_LE(colours.size(), 256u) << name;
    }
}

TEST(Pictures, ApplicationIconIsSmallAndTransparentAroundTheGlobe) {
    const QImage icon = own("app_icon.xpm").toImage();
    ASSERT_EQ(icon.size(), QSize(32, 32));
    ASSERT_TRUE(icon.hasAlphaChannel());
    EXPECT_EQ(qAlpha(icon.pixel(0, 31)), 0) << "corner not transparent";
    EXPECT_EQ(qAlpha(icon.pixel(14, 17)), 255) << "centre not opaque";
}

TEST(Pictures, ChooserIconsFitTheirLinesAndAreTransparentAround) {
    for (const auto& [file, side] :
         {std::pair{"folder_closed.xpm", 14}, std::pair{"folder_open.xpm", 14},
          std::pair{"drive.xpm", 16}}) {
        const QImage icon = own(file).toImage();
        ASSERT_EQ(icon.size(), QSize(side, side)) << file;
        ASSERT_TRUE(icon.hasAlphaChannel()) << file;
        EXPECT_EQ(qAlpha(icon.pixel(side - 1, 0)), 0) << file;
        EXPECT_EQ(qAlpha(icon.pixel(side / 2, side / 2)), 255) << file;
    }
    EXPECT_NE(own("folder_closed.xpm").toImage(), own("folder_open.xpm").toImage());
}

TEST(Pictures, PicturesDiffer) {
    // Each page has its own picture (a copy-and-paste slip in the resource list shows here).
    const auto picture = [](const char* file) { return own(file).toImage(); };
    const QImage welcome = picture("welcome.bmp");
    const QImage copy = picture("copy.bmp");
    EXPECT_NE(welcome, picture("finish.bmp"));
    EXPECT_NE(welcome, copy);
    EXPECT_NE(copy, picture("connection.bmp"));
    EXPECT_NE(copy, picture("install_type.bmp"));
}

int loadedImagePlugins() {
    int count = 0;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            if (std::strstr(info->dlpi_name, "/imageformats/"))
                ++*static_cast<int*>(data);
            return 0;
        },
        &count);
    return count;
}

// Guessing a format makes Qt load every image-format plugin; the wizard's own pictures and a
// kit's bitmaps are read by their known format and load none.
TEST(Pictures, KnownFormatsAreReadWithoutTheImagePlugins) {
    ASSERT_EQ(loadedImagePlugins(), 0);
    for (const char* file :
         {"welcome.bmp", "copy.bmp", "install_type.bmp", "connection.bmp", "finish.bmp",
          "app_icon.xpm", "folder_closed.xpm", "folder_open.xpm", "drive.xpm"})
        EXPECT_FALSE(own(file).isNull()) << file;
    EXPECT_FALSE(
        zel::readPicture(std::filesystem::path(ZEL_SOURCE_DIR) / "kit" / "PATRO1" / "SABER.BMP")
            .isNull());
    EXPECT_EQ(loadedImagePlugins(), 0);
}

TEST(Pictures, AMissingOwnPictureIsNull) {
    EXPECT_TRUE(own("no_such_picture.bmp").isNull());
}

// ---- Metafiles and bitmaps written byte by byte

// Little-endian fields, 16 or 32 bits each.
std::string words(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out += {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff)};
    return out;
}
std::string dwords(std::initializer_list<std::int64_t> values) {
    std::string out;
    for (std::int64_t v : values)
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>((v >> (8 * i)) & 0xff);
    return out;
}

constexpr std::uint32_t kRed = 0x0000ff, kGreen = 0x00ff00, kBlue = 0xff0000; // COLORREFs

// A placeable metafile of 100 x 100 pixels (96 units an inch), or one that takes its size
// from its window, with the records given.
std::string wmfRecord(int function, const std::string& params) {
    return dwords({static_cast<std::int64_t>(3 + params.size() / 2)}) + words({function}) + params;
}
std::string wmfFile(const std::vector<std::string>& records, bool placeable = true) {
    std::string out;
    if (placeable)
        out = dwords({0x9AC6CDD7}) + words({0, 0, 0, 100, 100, 96}) + dwords({0}) + words({0});
    out += words({1, 9, 0x0300}) + dwords({0}) + words({0}) + dwords({0}) + words({0});
    for (const std::string& record : records)
        out += record;
    return out + wmfRecord(0x0000, "");
}
std::string wmfBrush(std::uint32_t colour) {
    return wmfRecord(0x02FC, words({0}) + dwords({colour}) + words({0}));
}
std::string wmfNullPen() {
    return wmfRecord(0x02FA, words({5, 0, 0}) + dwords({0}));
}
std::string wmfSelect(int slot) {
    return wmfRecord(0x012D, words({slot}));
}
std::string wmfRectangle(int left, int top, int right, int bottom) {
    return wmfRecord(0x041B, words({bottom, right, top, left}));
}
std::string wmfPolyPolygon(const std::vector<std::vector<std::pair<int, int>>>& polygons) {
    std::string counts, points;
    for (const auto& polygon : polygons) {
        counts += words({static_cast<int>(polygon.size())});
        for (const auto& [x, y] : polygon)
            points += words({x, y});
    }
    return wmfRecord(0x0538, words({static_cast<int>(polygons.size())}) + counts + points);
}

// An enhanced metafile of 100 x 100 pixels (its bounds; no reference device) with the records
// given.
std::string emfRecord(std::uint32_t type, const std::string& params) {
    return dwords({type, static_cast<std::int64_t>(8 + params.size())}) + params;
}
std::string emfFile(const std::vector<std::string>& records) {
    std::string header = dwords({0, 0, 99, 99, 0, 0, 0, 0, 0x464D4520, 0x10000, 0, 0});
    header += words({0, 0}) + dwords({0, 0, 0, 0, 0, 0, 0});
    std::string out = emfRecord(1, header);
    for (const std::string& record : records)
        out += record;
    return out + emfRecord(14, dwords({0, 16, 20}));
}
std::string emfBrush(int handle, std::uint32_t colour) {
    return emfRecord(39, dwords({handle, 0, colour, 0}));
}
std::string emfSelect(std::int64_t handle) {
    return emfRecord(37, dwords({handle}));
}
const std::string kEmfNullPen = emfSelect(0x80000008);
std::string emfRectangle(int left, int top, int right, int bottom) {
    return emfRecord(43, dwords({left, top, right, bottom}));
}
std::string emfPolyPolygon(int type, bool small,
                           const std::vector<std::vector<std::pair<int, int>>>& polygons) {
    std::string counts, points;
    int total = 0;
    for (const auto& polygon : polygons) {
        counts += dwords({static_cast<std::int64_t>(polygon.size())});
        total += static_cast<int>(polygon.size());
        for (const auto& [x, y] : polygon)
            points += small ? words({x, y}) : dwords({x, y});
    }
    return emfRecord(type, dwords({0, 0, 0, 0, static_cast<std::int64_t>(polygons.size()), total}) +
                               counts + points);
}

// A bitmap's info header and colour table, and its rows (bottom row first) of 8-bit indices
// or 24-bit colours, each padded to four bytes.
std::string dib(int width, int height, int bitCount, const std::vector<std::uint32_t>& palette,
                const std::vector<std::string>& rows) {
    std::string out = dwords({40, width, height}) + words({1, bitCount}) +
                      dwords({0, 0, 0, 0, static_cast<std::int64_t>(palette.size()), 0});
    for (std::uint32_t colour : palette) // RGBQUAD: blue, green, red, 0
        out += dwords({((colour & 0xff) << 16) | (colour & 0xff00) | ((colour >> 16) & 0xff)});
    for (std::string row : rows) {
        row.resize((row.size() + 3) / 4 * 4, '\0');
        out += row;
    }
    return out;
}
std::string bmpFile(const std::string& dibBytes, int paletteSize) {
    return "BM" +
           dwords({static_cast<std::int64_t>(14 + dibBytes.size()), 0, 54 + 4 * paletteSize}) +
           dibBytes;
}

QImage readBytes(const TempDir& tmp, const char* name, const std::string& bytes) {
    zel::test::guiApplication();
    writeFile(tmp / name, bytes);
    return zel::readPicture(tmp / name);
}

const std::vector<std::vector<std::pair<int, int>>> kNestedSquares = {
    {{10, 10}, {90, 10}, {90, 90}, {10, 90}}, {{30, 30}, {70, 30}, {70, 70}, {30, 70}}};

struct Drawn {
    const char* what;
    const char* file;
    std::string bytes;
    QSize size;
    std::vector<std::pair<QPoint, QRgb>> pixels;
};

TEST(Pictures, MetafileRecordsDrawWhatTheySay) {
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255),
               white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
    const std::string stretchDib = [] {
        // A 2 x 1 bitmap, red then blue, stretched over the whole picture.
        const std::string bits = dib(2, 1, 24, {}, {std::string("\x00\x00\xff\xff\x00\x00", 6)});
        const std::string fixed = dwords({0, 0, 0, 0, 0, 0, 0, 0, 2, 1});
        const std::int64_t at = 8 + fixed.size() + 4 * 8;
        return emfRecord(81, fixed + dwords({at, 40, at + 40, 8, 0, 0x00CC0020, 100, 100}) + bits);
    }();
    const std::vector<Drawn> cases = {
        {"a rectangle in the selected brush",
         "RECT.WMF",
         wmfFile({wmfBrush(kRed), wmfNullPen(), wmfSelect(0), wmfSelect(1),
                  wmfRectangle(10, 10, 50, 50)}),
         {100, 100},
         {{{30, 30}, red}, {{70, 70}, white}}},
        {"an ellipse inside its box",
         "ELLIPSE.WMF",
         wmfFile({wmfBrush(kGreen), wmfNullPen(), wmfSelect(0), wmfSelect(1),
                  wmfRecord(0x0418, words({100, 100, 0, 0}))}),
         {100, 100},
         {{{50, 50}, green}, {{3, 3}, white}}},
        {"nested polygons keep their hole when filled alternately",
         "HOLE.WMF",
         wmfFile({wmfBrush(kBlue), wmfNullPen(), wmfSelect(0), wmfSelect(1),
                  wmfPolyPolygon(kNestedSquares)}),
         {100, 100},
         {{{20, 20}, blue}, {{50, 50}, white}}},
        {"nested polygons filled by winding lose their hole",
         "WINDING.WMF",
         wmfFile({wmfRecord(0x0106, words({2})), wmfBrush(kBlue), wmfNullPen(), wmfSelect(0),
                  wmfSelect(1), wmfPolyPolygon(kNestedSquares)}),
         {100, 100},
         {{{20, 20}, blue}, {{50, 50}, blue}}},
        {"a deleted object's slot is the next object's",
         "SLOTS.WMF",
         wmfFile({wmfNullPen(), wmfBrush(kRed), wmfBrush(kBlue), wmfRecord(0x01F0, words({1})),
                  wmfBrush(kGreen), wmfSelect(0), wmfSelect(1), wmfRectangle(0, 0, 100, 100)}),
         {100, 100},
         {{{50, 50}, green}}},
        {"a blit without a bitmap fills with the brush",
         "PATTERN.WMF",
         wmfFile({wmfBrush(kRed), wmfSelect(0),
                  wmfRecord(0x0940, dwords({0x00F00021}) + words({0, 0, 0, 30, 30, 20, 20}))}),
         {100, 100},
         {{{35, 35}, red}, {{60, 60}, white}}},
        {"a line as wide as its pen",
         "LINE.WMF",
         wmfFile({wmfRecord(0x02FA, words({0, 6, 0}) + dwords({0})), wmfSelect(0),
                  wmfRecord(0x0214, words({50, 0})), wmfRecord(0x0213, words({50, 100}))}),
         {100, 100},
         {{{50, 50}, black}, {{50, 40}, white}}},
        {"without the placeable header the window gives the size and the origin",
         "WINDOW.WMF",
         wmfFile({wmfRecord(0x020B, words({100, 100})), wmfRecord(0x020C, words({40, 120})),
                  wmfBrush(kRed), wmfNullPen(), wmfSelect(0), wmfSelect(1),
                  wmfRectangle(100, 100, 160, 140)},
                 false),
         {120, 40},
         {{{30, 20}, red}, {{90, 20}, white}}},
        {"a stock brush",
         "STOCK.EMF",
         emfFile({emfSelect(0x80000002), kEmfNullPen, emfRectangle(10, 10, 90, 90)}),
         {100, 100},
         {{{50, 50}, qRgb(0x80, 0x80, 0x80)}, {{5, 5}, white}}},
        {"the anisotropic mapping scales the window to the viewport",
         "MAPPING.EMF",
         emfFile({emfRecord(17, dwords({8})), emfRecord(9, dwords({1000, 1000})),
                  emfRecord(11, dwords({100, 100})), emfBrush(1, kRed), emfSelect(1), kEmfNullPen,
                  emfRectangle(0, 0, 500, 500)}),
         {100, 100},
         {{{25, 25}, red}, {{75, 75}, white}}},
        {"restoring the saved state restores the brush",
         "SAVED.EMF",
         emfFile({emfBrush(1, kRed), emfBrush(2, kBlue), emfSelect(1), emfRecord(33, ""),
                  emfSelect(2), emfRecord(34, dwords({-1})), kEmfNullPen,
                  emfRectangle(0, 0, 100, 100)}),
         {100, 100},
         {{{50, 50}, red}}},
        {"16-bit nested polygons filled by winding",
         "WINDING.EMF",
         emfFile({emfRecord(19, dwords({2})), emfBrush(1, kBlue), emfSelect(1), kEmfNullPen,
                  emfPolyPolygon(91, true, kNestedSquares)}),
         {100, 100},
         {{{20, 20}, blue}, {{50, 50}, blue}}},
        {"32-bit nested polygons filled alternately",
         "HOLE.EMF",
         emfFile({emfBrush(1, kGreen), emfSelect(1), kEmfNullPen,
                  emfPolyPolygon(8, false, kNestedSquares)}),
         {100, 100},
         {{{20, 20}, green}, {{50, 50}, white}}},
        {"a stretched bitmap",
         "BITMAP.EMF",
         emfFile({stretchDib}),
         {100, 100},
         {{{25, 50}, red}, {{75, 50}, blue}}},
        {"a blit without a bitmap fills with the brush",
         "PATTERN.EMF",
         emfFile({emfBrush(1, kRed), emfSelect(1),
                  emfRecord(76, dwords({0, 0, 0, 0, 20, 20, 30, 30, 0x00F00021, 0, 0}) +
                                    std::string(24, '\0') + dwords({0, 0, 0, 0, 0, 0}))}),
         {100, 100},
         {{{35, 35}, red}, {{60, 60}, white}}},
    };
    TempDir tmp;
    for (const Drawn& c : cases) {
        const QImage image = readBytes(tmp, c.file, c.bytes);
        ASSERT_EQ(image.size(), c.size) << c.what;
        for (const auto& [at, colour] : c.pixels)
            EXPECT_EQ(image.pixel(at), colour) << c.what << " at " << at.x() << "," << at.y();
    }
}

// A bitmap whose pixels stop short shows the missing rows in its first colour, every time:
// the reader would leave them as whatever memory held.
// A hostile picture cannot take the wizard's time or memory: a metafile larger than a picture
// may be is refused, one with more records than a picture needs shows what the first ones
// drew, and one that creates objects without end keeps only as many as a picture may.
TEST(Pictures, MetafilesStopAtTheirCaps) {
    using zel::metafile::kMaxMetafileObjects;
    using zel::metafile::kMaxMetafileRecords;
    using zel::metafile::kMaxPictureSide;
    TempDir tmp;
    const auto sized = [](int width) {
        return dwords({0x9AC6CDD7}) + words({0, 0, 0, width, 10, 96}) + dwords({0}) + words({0}) +
               words({1, 9, 0x0300}) + dwords({0}) + words({0}) + dwords({0}) + words({0}) +
               wmfRecord(0x0000, "");
    };
    EXPECT_EQ(readBytes(tmp, "WIDE.WMF", sized(kMaxPictureSide)).width(), kMaxPictureSide);
    EXPECT_TRUE(readBytes(tmp, "WIDER.WMF", sized(kMaxPictureSide + 1)).isNull());

    // A red square after `before` records that change nothing drawn (SetPolyFillMode).
    const auto lateSquare = [&](int before) {
        std::vector<std::string> records(static_cast<std::size_t>(before),
                                         wmfRecord(0x0106, words({1})));
        for (const std::string& r : {wmfNullPen(), wmfSelect(0), wmfBrush(kRed), wmfSelect(1),
                                     wmfRectangle(0, 0, 100, 100)})
            records.push_back(r);
        const QImage image = readBytes(tmp, "LATE.WMF", wmfFile(records));
        EXPECT_FALSE(image.isNull()) << before;
        return image.isNull() ? QRgb{} : image.pixel(50, 50);
    };
    EXPECT_EQ(lateSquare(kMaxMetafileRecords - 5), qRgb(255, 0, 0));
    EXPECT_EQ(lateSquare(kMaxMetafileRecords - 4), qRgb(255, 255, 255));

    // Objects beyond the cap are not created: their slots do not exist, and the table's slots
    // freed before them are taken lowest first.
    std::vector<std::string> records;
    for (std::size_t i = 0; i < kMaxMetafileObjects + 10; ++i)
        records.push_back(wmfBrush(kBlue));
    records.push_back(wmfRecord(0x01F0, words({7})));  // frees slot 7
    records.push_back(wmfBrush(kRed));                 // takes slot 7
    records.push_back(wmfBrush(kGreen));               // the table is full again: not created
    records.push_back(wmfNullPen());                   // nor is this one
    records.push_back(wmfSelect(7));
    records.push_back(wmfRectangle(0, 0, 100, 100));
    records.push_back(wmfSelect(static_cast<int>(kMaxMetafileObjects))); // no such slot
    records.push_back(wmfRectangle(0, 0, 100, 100));
    const QImage image = readBytes(tmp, "MANY.WMF", wmfFile(records));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(50, 50), qRgb(255, 0, 0));
}

// The metafile fuzz target's seeds and kept failures, through its property.
TEST(FuzzReplay, MetafileReaders) {
    zel::test::guiApplication();
    zel::test::replayFuzzCorpus("metafile", zel::fuzz::checkMetafiles);
    // Seeds the readers take for pictures of each kind, not only inputs they refuse.
    int wmf = 0, emf = 0;
    for (const auto& seed :
         std::filesystem::directory_iterator(zel::test::sourceDir() / "fuzz/corpus/metafile")) {
        const std::string bytes = zel::test::readFile(seed.path());
        const QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
        wmf += zel::renderWmf(data).isNull() ? 0 : 1;
        emf += zel::renderEmf(data).isNull() ? 0 : 1;
    }
    EXPECT_GE(wmf, 3);
    EXPECT_GE(emf, 3);
}

TEST(Pictures, ABitmapCutShortShowsItsFirstColourWhereItEnds) {
    TempDir tmp;
    const std::string full = bmpFile(
        dib(64, 64, 8, {kBlue, kRed}, std::vector<std::string>(64, std::string(64, '\1'))), 2);
    // Half the rows: the bottom ones, which a bitmap stores first.
    const std::string cut = full.substr(0, full.size() - 32 * 64);
    // Memory comes from the allocator filled with a pattern rather than, by chance, clear (for
    // blocks as large as these pixels).
    mallopt(M_PERTURB, 0x5A);
    const QImage image = readBytes(tmp, "CUT.BMP", cut);
    mallopt(M_PERTURB, 0);
    ASSERT_EQ(image.size(), QSize(64, 64));
    EXPECT_EQ(image.pixel(3, 3), qRgb(0, 0, 255)) << "row 3, missing";
    EXPECT_EQ(image.pixel(60, 31), qRgb(0, 0, 255)) << "row 31, missing";
    EXPECT_EQ(image.pixel(3, 32), qRgb(255, 0, 0)) << "row 32, read";
}

// Pixels that name a colour beyond a short palette are black, in a bitmap file and in a
// metafile's bitmap alike (drawing them would read past the palette).
TEST(Pictures, PixelsBeyondAShortPaletteAreBlack) {
    TempDir tmp;
    const std::string bitmap =
        dib(2, 1, 8, {kRed, kGreen}, {std::string("\x01\x09", 2)}); // green, then colour 9
    const QImage file = readBytes(tmp, "SHORT.BMP", bmpFile(bitmap, 2));
    ASSERT_EQ(file.size(), QSize(2, 1));
    EXPECT_EQ(file.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(file.pixel(1, 0), qRgb(0, 0, 0));

    const QImage drawn = readBytes(
        tmp, "SHORT.WMF",
        wmfFile({wmfRecord(0x0F43, dwords({0x00CC0020}) + words({0, 1, 2, 0, 0, 100, 100, 0, 0}) +
                                       bitmap)}));
    ASSERT_EQ(drawn.size(), QSize(100, 100));
    EXPECT_EQ(drawn.pixel(25, 50), qRgb(0, 255, 0));
    EXPECT_EQ(drawn.pixel(75, 50), qRgb(0, 0, 0));
}

} // namespace
