// zel-artgen: draws the wizard's pictures and the demo kit's pictures, icons and start-up sound.
//
//   zel-artgen pictures DIR   the pages' pictures (160 x 120, as BMP) and the application and
//                             directory chooser's icons (as XPM, which keeps transparency):
//                             formats the wizard reads in microseconds, without a decompressor
//   zel-artgen kit DIR        the demo kit's binary files (sponsor pictures, icons, sound)
//
// Everything is drawn with QPainter and then reduced to a 256-colour palette with error
// diffusion, so the pictures have the look of a setup program of the Windows 95 years.
//
// The drawing is in draw.cpp (shared), pages.cpp and kit.cpp; this file stores the results.
#include "draw.h"
#include "pictures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>

namespace {

using namespace art;

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "zel-artgen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool writeImage(const QString& path, const QImage& img, const char* format) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!img.save(path, format)) {
        std::fprintf(stderr, "zel-artgen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// A page's picture: reduced to the palette, then stored with full pixels, which the wizard
// shows without converting them first.
QImage pagePicture(const QImage& img) {
    return to256Colours(img).convertToFormat(QImage::Format_RGB32);
}

int pictures(const QString& dir) {
    bool ok = true;
    ok = writeImage(dir + "/welcome.bmp", pagePicture(welcomePicture()), "BMP") && ok;
    ok = writeImage(dir + "/copy.bmp", pagePicture(copyPicture()), "BMP") && ok;
    ok = writeImage(dir + "/install_type.bmp", pagePicture(installTypePicture()), "BMP") && ok;
    ok = writeImage(dir + "/connection.bmp", pagePicture(connectionPicture()), "BMP") && ok;
    ok = writeImage(dir + "/finish.bmp", pagePicture(finishPicture()), "BMP") && ok;
    // The XPM writer keeps transparency only for pixels that carry their own alpha.
    const auto icon = [&dir](const char* name, const QImage& img) {
        return writeImage(dir + "/" + name,
                          to256Colours(img, true).convertToFormat(QImage::Format_ARGB32), "XPM");
    };
    ok = icon("app_icon.xpm", appIcon()) && ok;
    ok = icon("folder_closed.xpm", folderIcon(false)) && ok;
    ok = icon("folder_open.xpm", folderIcon(true)) && ok;
    ok = icon("drive.xpm", driveIcon()) && ok;
    return ok ? 0 : 1;
}

// The icons keep the palette's colours but carry full 32-bit pixels.
QImage iconColours(const QImage& img) {
    return to256Colours(img, true).convertToFormat(QImage::Format_ARGB32);
}

int kit(const QString& dir) {
    bool ok = true;
    ok = writeBytes(dir + "/UPDATE/ZELGRP.ICO", icoFile(iconColours(groupIcon()))) && ok;
    ok = writeBytes(dir + "/UPDATE/ZELNET.ICO", icoFile(iconColours(appIcon()))) && ok;
    ok = writeBytes(dir + "/UPDATE/ZELBBS.ICO", icoFile(iconColours(bbsIcon()))) && ok;
    ok = writeImage(dir + "/PATRO1/SABER.BMP", to256Colours(bookPicture()), "BMP") && ok;
    ok = writeImage(dir + "/PATRO2/CAFE.BMP", to256Colours(cafePicture()), "BMP") && ok;
    ok = writeImage(dir + "/PATRO2/CAFETELA.PNG", to256Colours(cafeAdvert()), "PNG") && ok;
    ok = writeImage(dir + "/PATRO3/VERAO.BMP", to256Colours(sunPicture()), "BMP") && ok;
    ok = writeBytes(dir + "/ZELSOM.WAV", chimeWav()) && ok;
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    // Lettering needs the font database, which needs a GUI application; no window is opened.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 || (args[1] != "pictures" && args[1] != "kit")) {
        std::fprintf(stderr, "usage: zel-artgen pictures|kit DIRECTORY\n");
        return 2;
    }
    return args[1] == "pictures" ? pictures(args[2]) : kit(args[2]);
}
