#include "setup/brand.h"

#include <charconv>

namespace zel {

std::string brandedText(std::string_view text, const SetupSettings& s) {
    // Longest first: "ZEL Internet" before "ZEL".
    const std::array<std::pair<std::string_view, const std::string*>, 4> words = {{
        {kBuiltInName, &s.brandName},
        {kBuiltInFax, &s.brandFax},
        {kBuiltInSupport, &s.brandSupport},
        {kBuiltInShortName, &s.brandShortName},
    }};
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        bool replaced = false;
        for (const auto& [word, value] : words) {
            if (!value->empty() && text.substr(i).starts_with(word)) {
                out += *value;
                i += word.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            out += text[i++];
    }
    return out;
}

std::optional<std::array<int, 3>> brandColour(std::string_view value) {
    std::array<int, 3> rgb{};
    std::size_t at = 0;
    const auto skipBlanks = [&] {
        while (at < value.size() && (value[at] == ' ' || value[at] == '\t'))
            ++at;
    };
    for (std::size_t c = 0; c < rgb.size(); ++c) {
        skipBlanks();
        if (c > 0) {
            if (at >= value.size() || value[at] != ',')
                return std::nullopt;
            ++at;
            skipBlanks();
        }
        const char* begin = value.data() + at;
        const char* end = value.data() + value.size();
        const auto [next, ec] = std::from_chars(begin, end, rgb[c]);
        if (ec != std::errc{} || next == begin || rgb[c] < 0 || rgb[c] > 255)
            return std::nullopt;
        at += static_cast<std::size_t>(next - begin);
    }
    skipBlanks();
    if (at != value.size())
        return std::nullopt;
    return rgb;
}

} // namespace zel
