#include "progman/progman_macros.h"

#include "winemu/cp1252.h"
#include "winemu/host_file.h"
#include "winemu/text_scan.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <utility>

namespace zel::progman {

namespace {

// What macro texts count as blank around commands, names and arguments.
bool isMacroBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}
    void skipBlanks() {
        while (pos_ < text_.size() && isMacroBlank(text_[pos_]))
            ++pos_;
    }
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    bool accept(char c) {
        if (peek() != c || atEnd())
            return false;
        ++pos_;
        return true;
    }
    char next() { return text_[pos_++]; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Reads "(args)" after the command name; the scanner stands on '('.
bool parseArguments(Scanner& s, std::vector<std::string>& args) {
    s.accept('(');
    s.skipBlanks();
    if (s.accept(')'))
        return true;
    for (;;) {
        s.skipBlanks();
        std::string arg;
        if (s.accept('"')) {
            while (!s.atEnd() && s.peek() != '"')
                arg += s.next();
            if (!s.accept('"'))
                return false; // unterminated quote
            s.skipBlanks();
        } else {
            std::string raw;
            while (!s.atEnd() && s.peek() != ',' && s.peek() != ')') {
                if (s.peek() == '"' || s.peek() == '(' || s.peek() == '[' || s.peek() == ']')
                    return false;
                raw += s.next();
            }
            arg = trimBlanks(raw, isMacroBlank);
        }
        args.push_back(std::move(arg));
        if (s.accept(','))
            continue;
        if (s.accept(')'))
            break;
        return false;
    }
    while (!args.empty() && args.back().empty())
        args.pop_back();
    return true;
}

std::optional<int> toInt(std::string_view s) {
    if (s.empty() || s.size() > 9)
        return std::nullopt;
    int value = 0;
    std::size_t i = 0;
    bool negative = s[0] == '-';
    if (negative)
        i = 1;
    if (i == s.size())
        return std::nullopt;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return std::nullopt;
        value = value * 10 + (s[i] - '0');
    }
    return negative ? -value : value;
}

std::string arg(const std::vector<std::string>& args, std::size_t i) {
    return i < args.size() ? args[i] : std::string();
}

// An item added without a name is called after its program's file name, as Program Manager
// does when it has no description to go by.
std::string nameFromCommand(std::string_view command) {
    std::string_view program = command;
    if (!program.empty() && program.front() == '"') {
        program.remove_prefix(1);
        program = program.substr(0, program.find('"'));
    } else {
        // An unquoted program may hold blanks: it ends at the first blank after a component
        // with an extension ("C:\Meu Kit\NAVEGA.EXE /s"); without one it is all of it.
        std::size_t end = std::string_view::npos;
        for (std::size_t at = 0; at != std::string_view::npos; at = program.find(' ', at + 1)) {
            std::string_view head = program.substr(0, at);
            std::string_view last =
                head.substr(std::min(head.size(), head.find_last_of("\\/:") + 1));
            if (last.find('.') != std::string_view::npos) {
                end = at;
                break;
            }
        }
        program = program.substr(0, end);
    }
    auto slash = program.find_last_of("\\/:");
    if (slash != std::string_view::npos)
        program.remove_prefix(slash + 1);
    auto dot = program.rfind('.');
    if (dot != std::string_view::npos && dot > 0)
        program = program.substr(0, dot);
    return std::string(program);
}

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

constexpr std::string_view kStoreHeader = "zel-progman 1";

} // namespace

ParsedMacros parseMacros(std::string_view text) {
    ParsedMacros result;
    Scanner s(text);
    for (;;) {
        s.skipBlanks();
        if (s.atEnd())
            return result;
        if (!s.accept('[')) {
            result.complete = false;
            return result;
        }
        s.skipBlanks();
        MacroCommand command;
        while (!s.atEnd() && (std::isalnum(static_cast<unsigned char>(s.peek())) != 0))
            command.name += s.next();
        s.skipBlanks();
        bool ok = !command.name.empty();
        if (ok && s.peek() == '(')
            ok = parseArguments(s, command.args);
        s.skipBlanks();
        if (!ok || !s.accept(']')) {
            result.complete = false;
            return result;
        }
        result.commands.push_back(std::move(command));
    }
}

const Group* Groups::find(std::string_view name) const {
    for (const auto& g : groups_)
        if (equalsNoCase(g.name, name))
            return &g;
    return nullptr;
}

Group* Groups::findGroup(std::string_view name) {
    return const_cast<Group*>(std::as_const(*this).find(name));
}

bool Groups::execute(std::string_view text) {
    ParsedMacros parsed = parseMacros(text);
    for (const auto& command : parsed.commands)
        if (!run(command))
            return false;
    return parsed.complete;
}

bool Groups::addItem(const std::vector<std::string>& args) {
    Group* group = findGroup(current_);
    if (group == nullptr || arg(args, 0).empty())
        return false;
    Item item;
    item.command = args[0];
    item.name = arg(args, 1).empty() ? nameFromCommand(item.command) : args[1];
    item.icon = arg(args, 2);
    if (!arg(args, 3).empty()) {
        auto index = toInt(args[3]);
        if (!index)
            return false;
        item.iconIndex = *index;
    }
    // Positions, directory, hot key and the rest are accepted and have no meaning here.
    auto& items = group->items;
    std::optional<std::size_t> at;
    if (replaceAt_ && equalsNoCase(replaceAt_->first, group->name))
        at = std::min(replaceAt_->second, items.size());
    replaceAt_.reset();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (equalsNoCase(items[i].name, item.name)) {
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
            if (!at)
                at = i;
            else if (*at > i)
                --*at;
            break;
        }
    }
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(at.value_or(items.size())),
                 std::move(item));
    return true;
}

bool Groups::run(const MacroCommand& command) {
    const auto& args = command.args;
    const std::string name = upperAscii(command.name);
    if (name == "CREATEGROUP") {
        if (arg(args, 0).empty())
            return false;
        if (findGroup(args[0]) == nullptr)
            groups_.push_back(Group{args[0], {}});
        current_ = findGroup(args[0])->name;
        return true;
    }
    if (name == "SHOWGROUP") {
        Group* g = findGroup(arg(args, 0));
        if (g == nullptr)
            return false;
        current_ = g->name;
        return true;
    }
    if (name == "ADDITEM")
        return addItem(args);
    if (name == "DELETEITEM" || name == "REPLACEITEM") {
        Group* g = findGroup(current_);
        if (g == nullptr || arg(args, 0).empty())
            return false;
        for (std::size_t i = 0; i < g->items.size(); ++i) {
            if (equalsNoCase(g->items[i].name, args[0])) {
                g->items.erase(g->items.begin() + static_cast<std::ptrdiff_t>(i));
                if (name == "REPLACEITEM")
                    replaceAt_ = {g->name, i};
                return true;
            }
        }
        return false;
    }
    if (name == "DELETEGROUP") {
        for (std::size_t i = 0; i < groups_.size(); ++i) {
            if (equalsNoCase(groups_[i].name, arg(args, 0))) {
                if (equalsNoCase(current_, groups_[i].name))
                    current_.clear();
                if (replaceAt_ && equalsNoCase(replaceAt_->first, groups_[i].name))
                    replaceAt_.reset();
                groups_.erase(groups_.begin() + static_cast<std::ptrdiff_t>(i));
                return true;
            }
        }
        return false;
    }
    if (name == "RELOAD")
        return true; // the store is saved after every execute anyway
    if (name == "EXITPROGMAN") {
        exit_ = true;
        return true;
    }
    return false;
}

// The store: a header line, then "group<TAB>name" lines, each followed by its
// "item<TAB>command<TAB>name<TAB>icon<TAB>index" lines. Lines starting with '#' are comments.
std::string Groups::serialise() const {
    std::ostringstream out;
    out << "# Program Manager groups and items, kept by progman. Fields are separated by tabs;\n"
           "# '%' and control characters are written as %XX.\n"
        << kStoreHeader << '\n';
    for (const auto& g : groups_) {
        out << "group\t" << escapeField(g.name) << '\n';
        for (const auto& item : g.items)
            out << "item\t" << escapeField(item.command) << '\t' << escapeField(item.name) << '\t'
                << escapeField(item.icon) << '\t' << item.iconIndex << '\n';
    }
    return out.str();
}

std::optional<Groups> Groups::deserialise(std::string_view text, std::string* error) {
    Groups result;
    bool headerSeen = false;
    int lineNo = 0;
    auto fail = [&](const std::string& why) -> std::optional<Groups> {
        if (error != nullptr)
            *error = "line " + std::to_string(lineNo) + ": " + why;
        return std::nullopt;
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
                return fail("not a progman store");
            headerSeen = true;
            continue;
        }
        auto fields = splitTabs(line);
        std::vector<std::string> values;
        for (std::size_t i = 1; i < fields.size(); ++i) {
            auto v = unescapeField(fields[i]);
            if (!v)
                return fail("bad %-escape");
            values.push_back(std::move(*v));
        }
        if (fields[0] == "group" && values.size() == 1 && !values[0].empty()) {
            if (result.find(values[0]) != nullptr)
                return fail("group listed twice");
            result.groups_.push_back(Group{values[0], {}});
        } else if (fields[0] == "item" && values.size() == 4) {
            if (result.groups_.empty())
                return fail("item before any group");
            auto index = toInt(values[3]);
            if (!index)
                return fail("bad icon index");
            result.groups_.back().items.push_back(Item{values[0], values[1], values[2], *index});
        } else {
            return fail("unknown entry");
        }
    }
    if (!headerSeen && lineNo > 0)
        return fail("not a progman store");
    return result;
}

std::filesystem::path storePath(const std::filesystem::path& prefix) {
    return prefix / "progman.txt";
}

std::optional<Groups> loadStore(const std::filesystem::path& file, std::string* error) {
    std::optional<std::string> content;
    try {
        content = readHostFile(file);
    } catch (const HostFileError& e) {
        if (error != nullptr)
            *error = e.what();
        return std::nullopt;
    }
    if (!content)
        return Groups{};
    std::string why;
    auto groups = Groups::deserialise(*content, &why);
    if (!groups && error != nullptr)
        *error = file.string() + ": " + why;
    return groups;
}

bool saveStore(const std::filesystem::path& file, const Groups& groups, std::string* error) {
    try {
        writeHostFile(file, groups.serialise(), 0644);
        return true;
    } catch (const HostFileError& e) {
        if (error != nullptr)
            *error = e.what();
        return false;
    }
}

} // namespace zel::progman
