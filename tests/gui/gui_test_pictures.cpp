// The pages' pictures are drawn at build time and compiled into zel_gui under :/pictures/.
#include "qt/qt_pictures.h"
#include "tests/support/gui_wizard_fixture.h"

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <utility>

#include <link.h>

namespace {

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

} // namespace
