#pragma once
// Enhanced metafiles (.EMF).
#include <QByteArray>
#include <QImage>

namespace zel {

// The metafile drawn at the size of its frame on its reference device, on a white ground; a
// null image when the data is no enhanced metafile or its header or a record is damaged. A
// metafile cut short shows what it drew.
QImage renderEmf(const QByteArray& data);

} // namespace zel
