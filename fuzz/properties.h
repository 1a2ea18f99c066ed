#pragma once
// The properties the fuzz targets check, shared by the libFuzzer targets (fuzz_*.cpp), the
// corpus replay and the regression tests (tests/test_fuzz_regressions.cpp). Each check takes
// one input and answers "" when every property holds, or a description of the first that does
// not; a crash or a sanitizer report is a failure as well.
#include "progman/progman_macros.h"
#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/machine.h"
#include "winemu/profile.h"
#include "winemu/registry.h"
#include "winemu/winpath.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::fuzz {

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Cuts the input at its first `count` NUL bytes: the fields before them, then the rest.
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
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            static const char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out + "\"";
}

// ---------------------------------------------------------------------------------------------
// Profile files. Input: section NUL key NUL value NUL content.

namespace detail {

inline bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v';
}

inline bool hasAny(std::string_view s, std::string_view chars) {
    return s.find_first_of(chars) != std::string_view::npos;
}

inline bool isLineBreak(char c) {
    return c == '\r' || c == '\n';
}

// A name the file format can hold as it is: a section name reads back from "[name]", a key
// name from "name=value".
inline bool plainName(std::string_view name) {
    return !name.empty() && !isBlank(name.front()) && !isBlank(name.back()) &&
           !hasAny(name, std::string_view("\r\n\0", 3));
}
inline bool validSection(std::string_view s) {
    return plainName(s) && !hasAny(s, "]");
}
inline bool validKey(std::string_view k) {
    return plainName(k) && !hasAny(k, "=") && k.front() != '[' && k.front() != ';';
}

// Pairs (section, key) that look like entries of the content, for checking that other entries
// read the same after a write.
inline std::vector<std::pair<std::string, std::string>> entriesOf(std::string_view content) {
    std::vector<std::pair<std::string, std::string>> out;
    std::string section;
    std::size_t pos = 0;
    while (pos < content.size() && out.size() < 64) {
        std::size_t end = pos;
        while (end < content.size() && !isLineBreak(content[end]))
            ++end;
        std::string_view line = content.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && isBlank(line.front()))
            line.remove_prefix(1);
        if (line.empty())
            continue;
        if (line.front() == '[') {
            std::string_view name = line.substr(1, line.find(']') - 1);
            while (!name.empty() && isBlank(name.front()))
                name.remove_prefix(1);
            while (!name.empty() && isBlank(name.back()))
                name.remove_suffix(1);
            section = std::string(name);
        } else if (const std::size_t eq = line.find('='); eq != std::string_view::npos) {
            std::string_view key = line.substr(0, eq);
            while (!key.empty() && isBlank(key.back()))
                key.remove_suffix(1);
            out.emplace_back(section, std::string(key));
        }
    }
    return out;
}

} // namespace detail

// With a scratch file, the content is also read through ProfileFile, whose cached index must
// answer as the line-by-line lookup does.
inline std::string checkProfile(std::string_view input,
                                const std::filesystem::path* scratch = nullptr) {
    using namespace detail;
    const auto f = splitFields(input, 3);
    const std::string_view section = f[0], key = f[1], value = f[2], content = f[3];

    const auto found = ini::lookup(content, section, key);
    if (found && found->size() > 1023)
        return "lookup returned more than 1023 characters";
    if (scratch) {
        std::ofstream(*scratch, std::ios::binary | std::ios::trunc)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
        const ProfileFile file = ProfileFile::atHostPath(*scratch);
        const std::string missing = "\x01missing";
        const std::string read = file.readText(section, key, missing);
        if (read != found.value_or(missing))
            return "the profile file reads " + show(read) + " where lookup finds " +
                   (found ? show(*found) : "nothing");
        for (const auto& [s, k] : entriesOf(content))
            if (file.readText(s, k, missing) != ini::lookup(content, s, k).value_or(missing))
                return "the profile file reads " + show(s) + "/" + show(k) + " differently";
    }

    const std::string out = ini::write(content, section, key, value);

    // Outside one stretch, the output is the content byte for byte: a common prefix and a
    // common suffix. What the write replaced of the content lies within one line (the key's
    // value, or nothing when lines were added), so no other line changes or disappears.
    std::size_t prefix = 0;
    while (prefix < content.size() && prefix < out.size() && content[prefix] == out[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < content.size() - prefix && suffix < out.size() - prefix &&
           content[content.size() - 1 - suffix] == out[out.size() - 1 - suffix])
        ++suffix;
    const std::string_view replaced = content.substr(prefix, content.size() - prefix - suffix);
    const std::string_view inserted =
        std::string_view(out).substr(prefix, out.size() - prefix - suffix);
    if (hasAny(replaced, "\r\n"))
        return "the write changed more than one line: replaced " + show(replaced) + " by " +
               show(inserted);
    // A value is written up to its first line break or NUL.
    const std::string_view written =
        value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
    if (!replaced.empty() && hasAny(inserted, "\r\n") && !hasAny(section, "\r\n") &&
        !hasAny(key, "\r\n"))
        return "a changed line became several: " + show(inserted);

    if (!validSection(section) || !validKey(key))
        return {};

    // With names the format can hold, the written value reads back...
    std::string expected(written);
    const bool plainValue =
        !(written.size() >= 2 && (written.front() == '"' || written.front() == '\'') &&
          written.back() == written.front()) &&
        (written.empty() || (!isBlank(written.front()) && !isBlank(written.back())));
    if (plainValue) {
        expected.resize(std::min<std::size_t>(expected.size(), 1023));
        const auto back = ini::lookup(out, section, key);
        if (!back || *back != expected)
            return "the written value reads back as " + (back ? show(*back) : "nothing") +
                   ", not " + show(expected);
    }
    // ... every other entry reads as before ...
    for (const auto& [s, k] : entriesOf(content)) {
        if (equalsNoCase(s, section) && equalsNoCase(k, key))
            continue;
        if (ini::lookup(content, s, k) != ini::lookup(out, s, k))
            return "writing " + show(section) + "/" + show(key) + " changed the entry " + show(s) +
                   "/" + show(k);
    }
    // ... and writing the same value again changes nothing.
    if (ini::write(out, section, key, value) != out)
        return "writing the same value twice changed the file";
    return {};
}

// ---------------------------------------------------------------------------------------------
// The integer rule against a model built on strtoll/strtoull.

inline std::optional<std::int32_t> integerRuleModel(std::string_view text) {
    std::string t(text);
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
        t = "$" + t.substr(2);
    std::size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\v'))
        ++i;
    const std::string rest = t.substr(i);
    if (rest.empty())
        return std::nullopt;
    if (rest[0] == '$') {
        const std::string digits = rest.substr(1);
        if (digits.empty() || digits.size() > 8)
            return std::nullopt;
        for (char c : digits)
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return std::nullopt;
        return static_cast<std::int32_t>(
            static_cast<std::uint32_t>(std::strtoull(digits.c_str(), nullptr, 16)));
    }
    std::size_t d = (rest[0] == '+' || rest[0] == '-') ? 1 : 0;
    if (d == rest.size())
        return std::nullopt;
    for (std::size_t k = d; k < rest.size(); ++k)
        if (rest[k] < '0' || rest[k] > '9')
            return std::nullopt;
    errno = 0;
    const long long v = std::strtoll(rest.c_str(), nullptr, 10);
    if (errno == ERANGE || v > 2147483647LL || v < -2147483647LL)
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

inline std::string checkIntegerRule(std::string_view input) {
    const auto got = parseIntegerRule(input);
    const auto want = integerRuleModel(input);
    if (got != want)
        return "integer rule on " + show(input) + " gives " +
               (got ? std::to_string(*got) : "nothing") + ", the model " +
               (want ? std::to_string(*want) : "nothing");
    return {};
}

// ---------------------------------------------------------------------------------------------
// The registry file: a parsed file survives formatting unchanged, and formatting is a fixed
// point.

inline std::string checkRegistry(std::string_view input) {
    auto tree = parseRegistryFile(input);
    if (!tree)
        return {};
    const std::string text = formatRegistryFile(**tree);
    auto again = parseRegistryFile(text);
    if (!again)
        return "the formatted tree does not parse: " + show(text);
    if (!(**again == **tree))
        return "parse(format(tree)) differs from the tree; formatted " + show(text);
    if (formatRegistryFile(**again) != text)
        return "format(parse(format(tree))) is not the formatted text";
    return {};
}

// ---------------------------------------------------------------------------------------------
// Program Manager macros: the parsed commands written back as macro text parse the same, and
// the groups they build survive the store's text form.

inline std::string macroText(const std::vector<progman::MacroCommand>& commands) {
    std::string out;
    for (const auto& c : commands) {
        out += "[" + c.name;
        if (!c.args.empty()) {
            out += "(";
            for (std::size_t i = 0; i < c.args.size(); ++i)
                out += (i ? ",\"" : "\"") + c.args[i] + "\"";
            out += ")";
        }
        out += "]";
    }
    return out;
}

inline std::string checkMacros(std::string_view input) {
    const progman::ParsedMacros parsed = progman::parseMacros(input);
    for (const auto& c : parsed.commands) {
        if (c.name.empty())
            return "a command without a name";
        if (!c.args.empty() && c.args.back().empty())
            return "a trailing empty argument was kept";
        for (const auto& a : c.args)
            if (a.find('"') != std::string::npos)
                return "an argument holds a quote: " + show(a);
    }
    const std::string text = macroText(parsed.commands);
    const progman::ParsedMacros again = progman::parseMacros(text);
    if (!again.complete || again.commands.size() != parsed.commands.size())
        return "the commands written back do not parse the same: " + show(text);
    for (std::size_t i = 0; i < again.commands.size(); ++i)
        if (again.commands[i].name != parsed.commands[i].name ||
            again.commands[i].args != parsed.commands[i].args)
            return "command " + std::to_string(i) + " changed when written back: " + show(text);

    progman::Groups groups;
    groups.execute(input);
    std::optional<progman::Groups> stored;
    try {
        stored = progman::groupsFromStoreText(progman::storeText(groups));
    } catch (const PlatformError& e) {
        return std::string("the store of the groups does not read back: ") + e.what();
    }
    if (stored->groups().size() != groups.groups().size())
        return "the store lost groups";
    for (std::size_t g = 0; g < groups.groups().size(); ++g) {
        const auto& a = groups.groups()[g];
        const auto& b = stored->groups()[g];
        if (a.name != b.name || a.items.size() != b.items.size())
            return "group " + show(a.name) + " changed in the store";
        for (std::size_t k = 0; k < a.items.size(); ++k)
            if (a.items[k].command != b.items[k].command || a.items[k].name != b.items[k].name ||
                a.items[k].icon != b.items[k].icon || a.items[k].iconIndex != b.items[k].iconIndex)
                return "an item of " + show(a.name) + " changed in the store";
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// Windows paths: a normal form that parses to itself, and a host path that never leaves its
// drive's directory. Input: a path text, NUL, a current directory (tried too when it parses).

// A machine on a fresh prefix under `dir`, with a few entries for the case-insensitive lookup
// to find and a second drive.
inline Machine makeFuzzMachine(const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
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

inline bool lexicallyWithin(const std::filesystem::path& path, const std::filesystem::path& root) {
    const auto p = path.lexically_normal();
    const auto r = root.lexically_normal();
    auto pi = p.begin();
    for (auto ri = r.begin(); ri != r.end(); ++ri) {
        if (ri->empty())
            continue; // a trailing separator
        if (pi == p.end() || *pi != *ri)
            return false;
        ++pi;
    }
    for (; pi != p.end(); ++pi)
        if (*pi == "..")
            return false;
    return true;
}

inline std::string checkWinPath(const Machine& machine, std::string_view input) {
    const auto f = splitFields(input, 1);
    const std::string_view path = f[0];
    std::vector<std::string_view> currents{std::string_view("C:\\WINDOWS"), f[1]};
    for (std::string_view current : currents) {
        const auto parsed = parseWinPath(path, current);
        if (!parsed)
            continue;
        if (parsed->drive < 'A' || parsed->drive > 'Z')
            return "drive " + show(std::string(1, parsed->drive)) + " is no upper-case letter";
        for (const auto& c : parsed->components)
            if (c.empty() || c == "." || c == ".." ||
                c.find_first_of(std::string_view("\\/\0", 3)) != std::string::npos)
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
    if (host.has_value() != (parsed && machine.driveRoot(parsed->drive)))
        return "toHost answers for a path whose drive is " +
               std::string(parsed ? "unmapped" : "no path");
    if (host && !lexicallyWithin(*host, *machine.driveRoot(parsed->drive)))
        return show(path) + " maps to " + show(host->string()) + ", outside its drive's " +
               show(machine.driveRoot(parsed->drive)->string());
    return {};
}

} // namespace zel::fuzz
