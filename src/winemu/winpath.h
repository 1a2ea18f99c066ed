#pragma once
// Windows path texts: "C:\DIR\FILE.EXT". A '/' is accepted as a separator too.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

struct WinPath {
    char drive = 'C';                    // upper-case letter
    std::vector<std::string> components; // no ".", "..", or empty parts

    // "C:\" for the root, otherwise "C:\A\B" without a trailing "\".
    std::string text() const;
};

// Parses an absolute or relative Windows path. A relative path ("A\B", "\A", "D:A") is taken
// against currentDir (an absolute path such as "C:\WINDOWS"); a path like "D:A" is taken
// against currentDir only when it names the same drive, otherwise against that drive's root.
// "." and ".." are resolved; ".." at a drive's root stays there. Returns nothing for texts
// that are not paths (empty, a bad drive letter, a UNC path).
std::optional<WinPath> parseWinPath(std::string_view path, std::string_view currentDir = {});

// The directory part of a path up to and including its last "\" or ":" ("" when none).
std::string extractFilePath(std::string_view path);
// The part after the last "\" or ":".
std::string extractFileName(std::string_view path);
// The extension of the last component, with its ".", or "" when it has none.
std::string extractFileExt(std::string_view path);
// Replaces the extension of the last component (or appends one when there is none).
std::string changeFileExt(std::string_view path, std::string_view ext);
// Appends "\" unless the text already ends with one.
std::string withTrailingBackslash(std::string_view dir);

} // namespace zel
