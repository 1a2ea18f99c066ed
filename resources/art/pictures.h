// The pictures zel-artgen writes: the pages' pictures and icons (pages.cpp) and the demo kit's
// icons, sponsor pictures and sound (kit.cpp), each drawn in full colour; main.cpp reduces
// them to the palette and stores them.
#pragma once

#include <QByteArray>
#include <QImage>

namespace art {

// The pages' pictures, 160 x 120.
QImage welcomePicture();
QImage copyPicture();
QImage installTypePicture();
QImage connectionPicture();
QImage finishPicture();

// The application's icon and the directory chooser's folder and drive icons.
QImage appIcon();
QImage folderIcon(bool open);
QImage driveIcon();

// The demo kit.
QByteArray icoFile(const QImage& picture);
QImage groupIcon();
QImage bbsIcon();
QImage bookPicture();
QImage cafePicture();
QImage sunPicture();
QImage cafeAdvert();
QByteArray chimeWav();

} // namespace art
