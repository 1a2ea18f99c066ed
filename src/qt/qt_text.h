#pragma once
// Windows texts (code page 1252) on the Qt side and back.
#include "winemu/cp1252.h"

#include <QString>

#include <string>
#include <string_view>

namespace zel {

inline QString toQt(std::string_view cp1252) {
    return QString::fromStdString(cp1252ToUtf8(cp1252));
}
inline std::string fromQt(const QString& text) {
    return utf8ToCp1252(text.toStdString());
}

} // namespace zel
