#pragma once
// The provider's brand in the wizard's own texts: the built-in provider's names and numbers in
// a page's text replaced by the kit's ([Marca]), and the values that are more than a text.
#include "setup/catalogue.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace zel {

// The built-in provider's words as the pages' texts spell them.
inline constexpr std::string_view kBuiltInName = "ZEL Internet";
inline constexpr std::string_view kBuiltInShortName = "ZEL";
inline constexpr std::string_view kBuiltInFax = "(011) 555-0190";
inline constexpr std::string_view kBuiltInSupport = "(011) 555-0175";

// The text (code page 1252) with each of the built-in provider's words replaced by the kit's,
// in one pass from the left, the longest word first where two start at the same place: a
// replacement is never looked at again, so a kit's name that holds "ZEL" stays as written.
// Without [Marca] the text comes back as it is; an empty value keeps the built-in word.
std::string brandedText(std::string_view text, const SetupSettings& settings);

// The background's colour at the top from "R,G,B" (each 0 to 255, blanks allowed); nothing for
// an empty or malformed value, which keeps the built-in blue.
std::optional<std::array<int, 3>> brandColour(std::string_view value);

} // namespace zel
