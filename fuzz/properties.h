#pragma once
// The fuzz targets' properties, also replayed by the tests: each check answers "" when all hold
// for one input, or what broke.
#include "progman/progman_macros.h"
#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/machine.h"
#include "winemu/profile.h"
#include "winemu/registry.h"
#include "winemu/winpath.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace zel::fuzz {

namespace fs = std::filesystem;

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The fields before the input's first `count` NUL bytes, then the rest.
inline std::vector<std::string_view> splitFields(std::string_view input, int count) {
    std::vector<std::string_view> fields;
    for (int i = 0; i < count; ++i) {
        const std::size_t nul = input.find('\0');
        fields.push_back(input.substr(0, nul));
        input = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
    }
    fields.push_back(input);
    return fields;
}

inline std::string show(std::string_view s) {
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (unsigned char c : s)
        out += c >= 0x20 && c < 0x7F && c != '"' && c != '\\'
                   ? std::string(1, static_cast<char>(c))
                   : std::string{'\\', 'x', hex[c >> 4], hex[c & 15]};
    return out + "\"";
}

inline bool hasAny(std::string_view s, std::string_view chars) {
    return s.find_first_of(chars) != std::string_view::npos;
}

// Profile files. Input: section NUL key NUL value NUL content.
inline std::string_view trimmed(std::string_view s) {
    const std::size_t first = std::min(s.find_first_not_of(" \t\v"), s.size());
    return s.substr(first, s.find_last_not_of(" \t\v") + 1 - first);
}

// The first 64 (section, key) pairs that look like entries of the content.
inline std::vector<std::pair<std::string, std::string>> entriesOf(std::string_view content) {
    std::vector<std::pair<std::string, std::string>> out;
    std::string section;
    for (std::size_t pos = 0, end = 0; pos < content.size() && out.size() < 64; pos = end + 1) {
        end = std::min(content.find_first_of("\r\n", pos), content.size());
        const std::string_view line = trimmed(content.substr(pos, end - pos));
        if (line.starts_with('['))
            section = trimmed(line.substr(1, line.find(']') - 1));
        else if (const std::size_t eq = line.find('='); eq != std::string_view::npos)
            out.emplace_back(section, trimmed(line.substr(0, eq)));
    }
    return out;
}

// With a scratch file, ProfileFile's cached index must answer as the line-by-line lookup does.
inline std::string checkProfile(std::string_view input, const fs::path* scratch = nullptr) {
    const auto f = splitFields(input, 3);
    const std::string_view section = f[0], key = f[1], value = f[2], content = f[3];
    const std::string_view breaks("\r\n\0", 3);
    if (const auto found = ini::lookup(content, section, key); found && found->size() > 1023)
        return "lookup returned more than 1023 characters";
    const auto entries = entriesOf(content);
    if (scratch) {
        std::ofstream(*scratch, std::ios::binary | std::ios::trunc)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
        const ProfileFile file = ProfileFile::atHostPath(*scratch);
        auto asked = entries;
        asked.emplace_back(section, key);
        for (const auto& [s, k] : asked)
            if (file.readText(s, k, "\x01") != ini::lookup(content, s, k).value_or("\x01"))
                return "the profile file and lookup differ on " + show(s) + "/" + show(k);
    }

    const std::string out = ini::write(content, section, key, value);

    // Outside one stretch, the output is the content byte for byte: what the write replaced
    // lies within one line (the key's value, or nothing when lines were added).
    const std::size_t prefix =
        std::mismatch(content.begin(), content.end(), out.begin(), out.end()).first -
        content.begin();
    const std::size_t suffix =
        std::mismatch(content.rbegin(), content.rend() - prefix, out.rbegin(), out.rend() - prefix)
            .first -
        content.rbegin();
    const std::string_view replaced = content.substr(prefix, content.size() - prefix - suffix);
    const std::string_view inserted =
        std::string_view(out).substr(prefix, out.size() - prefix - suffix);
    if (hasAny(replaced, "\r\n") || (!replaced.empty() && hasAny(inserted, "\r\n") &&
                                     !hasAny(section, "\r\n") && !hasAny(key, "\r\n")))
        return "the write changed more than one line: " + show(replaced) + " -> " + show(inserted);

    // Names the format holds as they are: "[section]", "key=value".
    const auto plain = [&](std::string_view name) {
        return !name.empty() && trimmed(name) == name && !hasAny(name, breaks);
    };
    if (!plain(section) || hasAny(section, "]") || !plain(key) || hasAny(key, "=") ||
        key.front() == '[' || key.front() == ';')
        return {};

    // With such names, the written value (up to its first line break or NUL) reads back...
    const std::string_view written = value.substr(0, value.find_first_of(breaks));
    const bool quoted = written.size() >= 2 &&
                        (written.front() == '"' || written.front() == '\'') &&
                        written.back() == written.front();
    if (!quoted && trimmed(written) == written &&
        ini::lookup(out, section, key) != written.substr(0, 1023))
        return "the written value " + show(written) + " does not read back";
    // ... every other entry reads as before ...
    for (const auto& [s, k] : entries)
        if (!(equalsNoCase(s, section) && equalsNoCase(k, key)) &&
            ini::lookup(content, s, k) != ini::lookup(out, s, k))
            return "writing " + show(section) + "/" + show(key) + " changed " + show(s) + "/" +
                   show(k);
    // ... and writing the same value again changes nothing.
    if (ini::write(out, section, key, value) != out)
        return "writing the same value twice changed the file";
    return {};
}

// The integer rule against a model built on strtoll/strtoull.
inline std::optional<std::int32_t> integerRuleModel(std::string_view text) {
    std::string t(text);
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
        t = "$" + t.substr(2);
    const std::string rest = t.substr(std::min(t.find_first_not_of(" \t\v"), t.size()));
    const bool hex = rest.starts_with('$');
    const bool signOrDollar = hex || rest.starts_with('+') || rest.starts_with('-');
    const std::string digits = rest.substr(signOrDollar ? 1 : 0);
    if (digits.empty() || (hex && digits.size() > 8) ||
        digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
            std::string::npos)
        return std::nullopt;
    if (hex)
        return static_cast<std::int32_t>(
            static_cast<std::uint32_t>(std::strtoull(digits.c_str(), nullptr, 16)));
    errno = 0;
    const long long v = std::strtoll(rest.c_str(), nullptr, 10);
    if (errno == ERANGE || v > 2147483647LL || v < -2147483647LL)
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

inline std::string checkIntegerRule(std::string_view input) {
    const auto shown = [](std::optional<std::int32_t> v) { return v ? std::to_string(*v) : "-"; };
    if (const auto got = parseIntegerRule(input), want = integerRuleModel(input); got != want)
        return "integer rule on " + show(input) + ": " + shown(got) + ", model " + shown(want);
    return {};
}

// The registry file: a parsed file survives formatting unchanged.
inline std::string checkRegistry(std::string_view input) {
    const auto tree = parseRegistryFile(input);
    if (!tree)
        return {};
    const std::string text = formatRegistryFile(**tree);
    if (const auto again = parseRegistryFile(text); !again || !(**again == **tree))
        return "parse(format(tree)) differs from the tree; formatted " + show(text);
    return {};
}

// Macros written back parse the same; the groups they build survive the store's text form.
inline std::string checkMacros(std::string_view input) {
    const progman::ParsedMacros parsed = progman::parseMacros(input);
    std::string text;
    for (const auto& c : parsed.commands) {
        if (!c.args.empty() && c.args.back().empty())
            return "a trailing empty argument was kept";
        text += "[" + c.name + (c.args.empty() ? "" : "(");
        for (std::size_t i = 0; i < c.args.size(); ++i) {
            if (hasAny(c.args[i], "\""))
                return "an argument holds a quote: " + show(c.args[i]);
            text += (i ? ",\"" : "\"") + c.args[i] + "\"";
        }
        text += c.args.empty() ? "]" : ")]";
    }
    const progman::ParsedMacros again = progman::parseMacros(text);
    const auto fields = [](const progman::MacroCommand& c) { return std::tie(c.name, c.args); };
    if (!again.complete || !std::ranges::equal(again.commands, parsed.commands, {}, fields, fields))
        return "the commands written back do not parse the same: " + show(text);

    progman::Groups groups;
    groups.execute(input);
    std::optional<progman::Groups> stored;
    try {
        stored = progman::groupsFromStoreText(progman::storeText(groups));
    } catch (const PlatformError& e) {
        return std::string("the store of the groups does not read back: ") + e.what();
    }
    const auto rows = [](const progman::Groups& g) { // a group, then its items
        std::vector<std::tuple<std::string, std::string, std::string, std::string, int>> out;
        for (const progman::Group& group : g.groups()) {
            out.emplace_back(group.name, "", "", "", -1);
            for (const progman::Item& i : group.items)
                out.emplace_back(group.name, i.command, i.name, i.icon, i.iconIndex);
        }
        return out;
    };
    if (rows(groups) != rows(*stored))
        return "the groups changed in the store: " + show(progman::storeText(groups));
    return {};
}

// Windows paths parse to a normal form and a host path within the drive. Input: path NUL current
// directory. The machine: entries for the caseless lookup, and a second drive.
inline Machine makeFuzzMachine(const fs::path& dir) {
    fs::create_directories(dir / "medium" / "Sub");
    fs::create_directories(dir / "prefix" / "drive_c" / "Dir" / "Inner");
    fs::create_directories(dir / "prefix" / "dosdevices");
    std::ofstream(dir / "medium" / "SETUP") << "#!/bin/sh\n";
    std::ofstream(dir / "prefix" / "drive_c" / "Dir" / "File.txt") << "x";
    std::error_code ec;
    fs::create_directory_symlink(dir / "other", dir / "prefix" / "dosdevices" / "e:", ec);
    fs::create_directories(dir / "other", ec);
    Machine::Options options;
    options.prefix = dir / "prefix";
    options.programHostPath = dir / "medium" / "SETUP";
    options.hostWorkingDir = dir / "medium";
    return Machine(options);
}

// The path lies under root by its text alone (no link followed).
inline bool lexicallyWithin(const fs::path& path, const fs::path& root) {
    const fs::path rest = path.lexically_normal().lexically_relative(root.lexically_normal());
    return !rest.empty() && *rest.begin() != "..";
}

inline std::string checkWinPath(const Machine& machine, std::string_view input) {
    const auto f = splitFields(input, 1);
    const std::string_view path = f[0];
    for (std::string_view current : {std::string_view("C:\\WINDOWS"), f[1]}) {
        const auto parsed = parseWinPath(path, current);
        if (!parsed)
            continue;
        if (parsed->drive < 'A' || parsed->drive > 'Z')
            return "drive " + show(std::string(1, parsed->drive)) + " is no upper-case letter";
        for (const auto& c : parsed->components)
            if (c.empty() || c == "." || c == ".." || hasAny(c, std::string_view("\\/\0", 3)))
                return "component " + show(c) + " is not resolved";
        const std::string text = parsed->text();
        const auto again = parseWinPath(text, current);
        if (!again || again->text() != text || again->components != parsed->components)
            return "the normal form " + show(text) + " does not parse to itself";
        if (const auto other = parseWinPath(text, "Q:\\ELSEWHERE"); !other || other->text() != text)
            return "the normal form " + show(text) + " depends on the current directory";
    }
    const auto host = machine.toHost(path);
    const auto parsed = machine.parse(path);
    const auto root = parsed ? machine.driveRoot(parsed->drive) : std::nullopt;
    if (host.has_value() != root.has_value())
        return "toHost and the drives disagree on whether " + show(path) + " has a host path";
    if (host && !lexicallyWithin(*host, *root))
        return show(path) + " maps to " + show(host->string()) + ", outside its drive's " +
               show(root->string());
    return {};
}

} // namespace zel::fuzz
