#include "winemu/winpath.h"

#include <cctype>

namespace zel {

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// Adds the components of `rest` to `into`, resolving "." and ".." (which stops at the root).
bool appendComponents(std::vector<std::string>& into, std::string_view rest) {
    std::size_t i = 0;
    while (i <= rest.size()) {
        std::size_t j = i;
        while (j < rest.size() && !isSeparator(rest[j]))
            ++j;
        std::string_view part = rest.substr(i, j - i);
        if (part.find('\0') != std::string_view::npos)
            return false;
        if (part == "..") {
            if (!into.empty())
                into.pop_back();
        } else if (!part.empty() && part != ".") {
            into.emplace_back(part);
        }
        i = j + 1;
    }
    return true;
}

std::size_t lastDelimiter(std::string_view path) {
    auto pos = path.find_last_of("\\:/");
    return pos;
}

} // namespace

std::string WinPath::text() const {
    std::string out;
    out += drive;
    out += ":\\";
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i)
            out += '\\';
        out += components[i];
    }
    return out;
}

std::optional<WinPath> parseWinPath(std::string_view path, std::string_view currentDir) {
    if (path.empty())
        return std::nullopt;
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]))
        return std::nullopt; // UNC names have no drive here
    auto parseCurrent = [&]() -> std::optional<WinPath> {
        if (currentDir.size() < 2 || currentDir[1] != ':' ||
            !std::isalpha(static_cast<unsigned char>(currentDir[0])))
            return std::nullopt;
        WinPath cur;
        cur.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(currentDir[0])));
        if (!appendComponents(cur.components, currentDir.substr(2)))
            return std::nullopt;
        return cur;
    };
    WinPath result;
    std::string_view rest;
    if (path.size() >= 2 && path[1] == ':') {
        if (!std::isalpha(static_cast<unsigned char>(path[0])))
            return std::nullopt;
        result.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        rest = path.substr(2);
        if (rest.empty() || !isSeparator(rest[0])) {
            // "D:NAME" is relative to the current directory when that is on drive D.
            if (auto cur = parseCurrent(); cur && cur->drive == result.drive)
                result.components = cur->components;
        }
    } else {
        auto cur = parseCurrent();
        if (!cur)
            return std::nullopt;
        result.drive = cur->drive;
        rest = path;
        if (!isSeparator(path[0]))
            result.components = cur->components;
    }
    if (!appendComponents(result.components, rest))
        return std::nullopt;
    return result;
}

std::string extractFilePath(std::string_view path) {
    auto pos = lastDelimiter(path);
    return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos + 1));
}

std::string extractFileName(std::string_view path) {
    auto pos = lastDelimiter(path);
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string extractFileExt(std::string_view path) {
    auto dot = path.rfind('.');
    auto delim = lastDelimiter(path);
    if (dot == std::string_view::npos || (delim != std::string_view::npos && dot < delim))
        return {};
    return std::string(path.substr(dot));
}

std::string changeFileExt(std::string_view path, std::string_view ext) {
    auto dot = path.rfind('.');
    auto delim = lastDelimiter(path);
    if (dot == std::string_view::npos || (delim != std::string_view::npos && dot < delim))
        return std::string(path) + std::string(ext);
    return std::string(path.substr(0, dot)) + std::string(ext);
}

std::string withTrailingBackslash(std::string_view dir) {
    std::string out(dir);
    if (out.empty() || out.back() != '\\')
        out += '\\';
    return out;
}

} // namespace zel
