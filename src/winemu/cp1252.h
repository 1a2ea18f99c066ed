#pragma once
// Windows texts are code page 1252; the host speaks UTF-8. Conversion happens at the boundary.
#include <string>
#include <string_view>

namespace zel {

// Every byte has a form in UTF-8 (the five unassigned bytes map to their C1 control points).
std::string cp1252ToUtf8(std::string_view text);
// A character with no code page 1252 form, or a malformed UTF-8 sequence, becomes '?'.
std::string utf8ToCp1252(std::string_view text);

// A UTF-8 text fit for a terminal: control characters (C0, DEL and the C1 controls) written as
// \xHH (the code point), so a name cannot fake lines or drive the terminal. Backslashes stay
// as they are: Windows paths are full of them.
std::string escapeControls(std::string_view utf8);

// ASCII-only case folding, as the kit's names are compared ("Arquivo", ".EXE").
std::string upperAscii(std::string_view text);
// Case-insensitive comparison of Windows names (code page 1252 letters included).
bool equalsNoCase(std::string_view a, std::string_view b);
char upperCp1252(char c);
// The whole text upper-cased, code page 1252 letters included.
std::string upperCp1252Text(std::string_view text);

} // namespace zel
