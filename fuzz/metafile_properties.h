#pragma once
// The metafile readers' property (fuzz target and replay): whatever the bytes, each reader gives
// no picture or one no larger than a picture may be, refusing what is not its kind.
#include "qt/emf_reader.h"
#include "qt/metafile_painter.h"
#include "qt/wmf_reader.h"

#include <QByteArray>
#include <QImage>

#include <string>
#include <string_view>

namespace zel::fuzz {

inline std::string checkMetafiles(std::string_view input) {
    const QByteArray data(input.data(), static_cast<qsizetype>(input.size()));
    for (const auto& [reader, image] :
         {std::pair{"WMF", renderWmf(data)}, {"EMF", renderEmf(data)}})
        if (image.width() > metafile::kMaxPictureSide || image.height() > metafile::kMaxPictureSide)
            return std::string(reader) + " reader drew a picture of " +
                   std::to_string(image.width()) + " x " + std::to_string(image.height()) +
                   " pixels";
    return {};
}

} // namespace zel::fuzz
