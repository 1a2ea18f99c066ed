#pragma once
// Picture files shown by the pages: bitmaps (.BMP), icons (.ICO) and metafiles (.WMF, .EMF),
// chosen by the file's extension, and PNG, JPEG and GIF by their content.
#include <QByteArray>
#include <QImage>
#include <QPixmap>

#include <filesystem>
#include <string_view>

class QIODevice;
class QLabel;

namespace zel {

class Machine;

// Data of a known format decoded by Qt's reader for that format alone, so that Qt loads no
// other image-format plugin; a null image when the data does not decode.
QImage decodeAs(QIODevice& device, const QByteArray& format);
QImage decodeAs(const QByteArray& data, const char* format);

// The decoded picture; a null image when the file cannot be read or decoded, or is refused as
// the medium's files are (see readBoundedFile: no regular file, larger than kMaxPictureBytes,
// outside `within` when given). Metafiles are drawn at their own size (on a white ground) with
// the drawing records pictures use: pens, brushes, lines, rectangles, ellipses, polygons, text
// and embedded bitmaps.
QImage readPicture(const std::filesystem::path& hostFile, const std::filesystem::path& within = {});

// One of the program's own pictures (":/pictures/FILE", read in the format its suffix names);
// a null pixmap when there is none.
QPixmap ownPicture(const char* file);

// Loads the picture into the label. On failure (missing or undecodable file) the label's
// picture is left empty and the result is false. A Windows path's picture must lie on its drive.
bool loadPicture(QLabel& target, const std::filesystem::path& hostFile,
                 const std::filesystem::path& within = {});
bool loadPicture(QLabel& target, const Machine& machine, std::string_view winPath);

} // namespace zel
