#pragma once
// Small pieces the layer's text formats (profile files, REGEDIT4, Program Manager's macros and
// store) scan with. What counts as a blank belongs to each format, which names its own rule and
// trims with it everywhere in that format.
#include <cstdint>
#include <optional>
#include <string_view>

namespace zel {

enum class Ends { Both, Leading, Trailing };

template <class IsBlank>
constexpr std::string_view trimBlanks(std::string_view text, IsBlank isBlank,
                                      Ends ends = Ends::Both) {
    if (ends != Ends::Trailing)
        while (!text.empty() && isBlank(text.front()))
            text.remove_prefix(1);
    if (ends != Ends::Leading)
        while (!text.empty() && isBlank(text.back()))
            text.remove_suffix(1);
    return text;
}

// The value of a hex digit (either case); nothing for any other character.
constexpr std::optional<unsigned> hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<unsigned>(c - 'A' + 10);
    return std::nullopt;
}

// 1 to 8 hex digits, the whole text, as a 32-bit pattern; nothing for any other text.
constexpr std::optional<std::uint32_t> parseHex32(std::string_view text) {
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        const auto digit = hexDigit(c);
        if (!digit)
            return std::nullopt;
        value = (value << 4) | *digit;
    }
    return value;
}

} // namespace zel
