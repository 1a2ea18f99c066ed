#include "qt/qt_pictures.h"

#include "winemu/cp1252.h"
#include "winemu/machine.h"
#include "qt/emf_reader.h"
#include "qt/wmf_reader.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>

#include <algorithm>

namespace zel {

// Left to guess, Qt first asks every image-format plugin whether it knows the data, and so
// loads them all (and the libraries they need) for a picture it could read itself.
QImage decodeAs(QIODevice& device, const QByteArray& format) {
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QImage decodeAs(const QByteArray& data, const char* format) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return decodeAs(buffer, format);
}

namespace {

QByteArray readWholeFile(const std::filesystem::path& hostFile) {
    QFile file(QString::fromStdString(hostFile.string()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QImage readIcon(const QByteArray& data) {
    // An icon file holds several sizes: the largest, most colourful one shows best.
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ICO");
    QImage best;
    for (int i = 0; i < std::max(1, reader.imageCount()); ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        QImage candidate = reader.read();
        if (candidate.isNull())
            continue;
        if (best.isNull() ||
            candidate.width() * candidate.height() > best.width() * best.height() ||
            (candidate.size() == best.size() && candidate.depth() > best.depth()))
            best = candidate;
    }
    return best;
}

} // namespace

QImage readPicture(const std::filesystem::path& hostFile) {
    const QByteArray data = readWholeFile(hostFile);
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

bool loadPicture(QLabel& target, const std::filesystem::path& hostFile) {
    const QImage image = readPicture(hostFile);
    if (image.isNull()) {
        target.setPixmap(QPixmap());
        return false;
    }
    target.setPixmap(QPixmap::fromImage(image));
    return true;
}

bool loadPicture(QLabel& target, const Machine& machine, std::string_view winPath) {
    const auto host = machine.toHost(winPath);
    if (!host) {
        target.setPixmap(QPixmap());
        return false;
    }
    return loadPicture(target, *host);
}

} // namespace zel
