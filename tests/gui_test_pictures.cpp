// The pages' pictures are drawn at build time and compiled into zel_gui under :/pictures/.
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(Pictures, PagePicturesArePageSizedArtworkIn256Colours) {
    for (const char* name : {"welcome", "copy", "install_type", "connection", "finish"}) {
        const QImage picture(QStringLiteral(":/pictures/%1.png").arg(QLatin1String(name)));
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
    const QImage icon(QStringLiteral(":/pictures/app_icon.png"));
    ASSERT_EQ(icon.size(), QSize(32, 32));
    ASSERT_TRUE(icon.hasAlphaChannel());
    EXPECT_EQ(qAlpha(icon.pixel(0, 31)), 0) << "corner not transparent";
    EXPECT_EQ(qAlpha(icon.pixel(14, 17)), 255) << "centre not opaque";
}

TEST(Pictures, PicturesDiffer) {
    // Each page has its own picture (a copy-and-paste slip in the resource list shows here).
    const QImage welcome(QStringLiteral(":/pictures/welcome.png"));
    const QImage finish(QStringLiteral(":/pictures/finish.png"));
    const QImage copy(QStringLiteral(":/pictures/copy.png"));
    EXPECT_NE(welcome, finish);
    EXPECT_NE(welcome, copy);
    EXPECT_NE(copy, QImage(QStringLiteral(":/pictures/connection.png")));
    EXPECT_NE(copy, QImage(QStringLiteral(":/pictures/install_type.png")));
}

} // namespace
