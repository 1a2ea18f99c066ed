#pragma once
// The metafile readers' property, for their fuzz target and its replay in the tests: whatever
// the bytes, each reader returns (within the fuzzer's caps of time and memory) no picture or one
// no larger than a picture may be. Both read the same bytes: each refuses what is not its kind.
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
