#include "progman/store.h"

#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/host_file.h"
#include "winemu/text_scan.h"

#include <algorithm>
#include <sstream>
#include <unordered_set>
#include <utility>
#include <vector>

namespace zel::progman {

namespace {

constexpr std::string_view kStoreHeader = "zel-progman 1";

// Store fields: '%', tab and control characters as %XX, everything else as it stands, so
// Windows paths stay readable.
std::string escapeField(std::string_view s) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c == '%' || c < 0x20 || c == 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::optional<std::string> unescapeField(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size())
            return std::nullopt;
        const auto hi = hexDigit(s[i + 1]), lo = hexDigit(s[i + 2]);
        if (!hi || !lo)
            return std::nullopt;
        out += static_cast<char>(*hi * 16 + *lo);
        i += 2;
    }
    return out;
}

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        auto tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            return fields;
        line.remove_prefix(tab + 1);
    }
}

} // namespace

std::string storeText(const Groups& groups) {
    std::ostringstream out;
    out << "# Program Manager groups and items, kept by progman. Fields are separated by tabs;\n"
           "# '%' and control characters are written as %XX.\n"
        << kStoreHeader << '\n';
    for (const auto& g : groups.groups()) {
        out << "group\t" << escapeField(g.name) << '\n';
        for (const auto& item : g.items)
            out << "item\t" << escapeField(item.command) << '\t' << escapeField(item.name) << '\t'
                << escapeField(item.icon) << '\t' << item.iconIndex << '\n';
    }
    return out.str();
}

Groups groupsFromStoreText(std::string_view text) {
    std::vector<Group> groups;
    std::unordered_set<std::string> names; // upper-cased: names are unique without regard to case
    bool headerSeen = false;
    int lineNo = 0;
    auto fail = [&](const char* why) {
        return PlatformError("line " + std::to_string(lineNo) + ": " + why);
    };
    while (!text.empty()) {
        auto nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        if (!headerSeen) {
            if (line != kStoreHeader)
                throw fail("not a progman store");
            headerSeen = true;
            continue;
        }
        auto fields = splitTabs(line);
        std::vector<std::string> values;
        for (std::size_t i = 1; i < fields.size(); ++i) {
            auto v = unescapeField(fields[i]);
            if (!v)
                throw fail("bad %-escape");
            values.push_back(std::move(*v));
        }
        if (fields[0] == "group" && values.size() == 1 && !values[0].empty()) {
            if (!names.insert(upperCp1252Text(values[0])).second)
                throw fail("group listed twice");
            groups.push_back(Group{values[0], {}});
        } else if (fields[0] == "item" && values.size() == 4) {
            if (groups.empty())
                throw fail("item before any group");
            auto index = parseIconIndex(values[3]);
            if (!index)
                throw fail("bad icon index");
            groups.back().items.push_back(Item{values[0], values[1], values[2], *index});
        } else {
            throw fail("unknown entry");
        }
    }
    if (!headerSeen && lineNo > 0)
        throw fail("not a progman store");
    return Groups(std::move(groups));
}

std::filesystem::path storePath(const std::filesystem::path& prefix) {
    return prefix / "progman.txt";
}

Groups loadStore(const std::filesystem::path& file) {
    const std::optional<std::string> content = readHostFile(file);
    if (!content)
        return Groups{};
    try {
        return groupsFromStoreText(*content);
    } catch (const PlatformError& e) {
        throw PlatformError(file.string() + ": " + e.what());
    }
}

void saveStore(const std::filesystem::path& file, const Groups& groups) {
    writeHostFile(file, storeText(groups));
}

} // namespace zel::progman
