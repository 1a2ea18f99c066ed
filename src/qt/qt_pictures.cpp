#include "qt/qt_pictures.h"

#include "qt/emf_reader.h"
#include "qt/wmf_reader.h"
#include "setup/catalogue.h"
#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/files.h"
#include "winemu/machine.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>

#include <algorithm>

namespace zel {

namespace {

// The BMP reader stops at the first row it cannot read whole and leaves the rows after it (and
// the pixels that a compressed bitmap skips) as the memory held. Handed an image of the size
// and format it reports, it fills that one instead: cleared first, whatever is missing shows
// as the first colour of the palette, or black.
QImage clearedCanvas(const QImageReader& reader) {
    const QSize size = reader.size();
    const QImage::Format format = reader.imageFormat();
    if (size.isEmpty() || format == QImage::Format_Invalid)
        return {};
    // No larger than the reader itself would allocate.
    const qint64 bytes =
        qint64{size.width()} * size.height() * QImage::toPixelFormat(format).bitsPerPixel() / 8;
    const qint64 limit = qint64{QImageReader::allocationLimit()} * 1024 * 1024;
    if (limit > 0 && bytes > limit)
        return {};
    QImage canvas(size, format);
    canvas.fill(0);
    return canvas;
}

// A bitmap's palette may hold fewer colours than its pixels name; drawing such a pixel would
// read past the palette. Those pixels show black, as a palette filled up with black has it.
void completePalette(QImage& image) {
    if (image.depth() > 8 || image.colorCount() == 0)
        return;
    const int full = 1 << image.depth();
    QList<QRgb> colours = image.colorTable();
    if (colours.size() >= full)
        return;
    colours.resize(full, qRgb(0, 0, 0));
    image.setColorTable(colours);
}

} // namespace

// Left to guess, Qt first asks every image-format plugin whether it knows the data, and so
// loads them all (and the libraries they need) for a picture it could read itself.
QImage decodeAs(QIODevice& device, const QByteArray& format) {
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(false);
    const bool bitmap = format.compare("BMP", Qt::CaseInsensitive) == 0;
    QImage image;
    if (bitmap)
        image = clearedCanvas(reader);
    if (!reader.read(&image))
        return {};
    if (bitmap)
        completePalette(image);
    return image;
}

QImage decodeAs(const QByteArray& data, const char* format) {
    QBuffer buffer;
    buffer.setData(data); // the reader opens it
    return decodeAs(buffer, format);
}

namespace {

QByteArray readWholeFile(const std::filesystem::path& hostFile,
                         const std::filesystem::path& within) {
    try {
        const auto content = readBoundedFile(hostFile, kMaxPictureBytes, within);
        return content ? QByteArray(content->data(), static_cast<qsizetype>(content->size()))
                       : QByteArray();
    } catch (const PlatformError&) {
        return {}; // unreadable: no picture, as for a missing file
    }
}

QImage readIcon(const QByteArray& data) {
    // An icon file holds several sizes: the largest, most colourful one shows best.
    QBuffer buffer;
    buffer.setData(data); // the reader opens it
    QImageReader reader(&buffer, "ICO");
    QImage best;
    int bestDepth = 0;
    for (int i = 0; i < std::max(1, reader.imageCount()); ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        // The colours the icon stores: the picture read is 32-bit whatever they were.
        const int depth = QImage::toPixelFormat(reader.imageFormat()).bitsPerPixel();
        QImage candidate = reader.read();
        if (candidate.isNull())
            continue;
        if (best.isNull() ||
            candidate.width() * candidate.height() > best.width() * best.height() ||
            (candidate.size() == best.size() && depth > bestDepth)) {
            best = candidate;
            bestDepth = depth;
        }
    }
    return best;
}

} // namespace

QImage readPicture(const std::filesystem::path& hostFile, const std::filesystem::path& within) {
    const QByteArray data = readWholeFile(hostFile, within);
    if (data.isEmpty())
        return {};
    const std::string ext = upperAscii(hostFile.extension().string());
    QImage image;
    if (ext == ".WMF")
        image = renderWmf(data);
    else if (ext == ".EMF")
        image = renderEmf(data);
    else if (ext == ".ICO")
        image = readIcon(data);
    else if (ext == ".BMP")
        image = decodeAs(data, "BMP");
    // A picture saved under another extension than its kind still shows.
    if (image.isNull())
        image.loadFromData(data);
    return image;
}

QPixmap ownPicture(const char* file) {
    QFile data(QStringLiteral(":/pictures/") + QLatin1String(file));
    if (!data.open(QIODevice::ReadOnly))
        return {};
    return QPixmap::fromImage(decodeAs(data, QFileInfo(data.fileName()).suffix().toLatin1()));
}

bool loadPicture(QLabel& target, const std::filesystem::path& hostFile,
                 const std::filesystem::path& within) {
    const QImage image = readPicture(hostFile, within);
    if (image.isNull()) {
        target.setPixmap(QPixmap());
        return false;
    }
    target.setPixmap(QPixmap::fromImage(image));
    return true;
}

bool loadPicture(QLabel& target, const Machine& machine, std::string_view winPath) {
    const auto host = machine.toHost(winPath);
    const auto drive = driveDirectoryOf(machine, winPath);
    if (!host || !drive) {
        target.setPixmap(QPixmap());
        return false;
    }
    return loadPicture(target, *host, *drive);
}

} // namespace zel
