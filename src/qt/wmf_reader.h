#pragma once
// Windows metafiles (.WMF), with or without the placeable header.
#include <QByteArray>
#include <QImage>

namespace zel {

// The metafile drawn at its own size on a white ground; a null image when the data is no
// metafile or its header or a record is damaged. A metafile cut short shows what it drew.
QImage renderWmf(const QByteArray& data);

} // namespace zel
