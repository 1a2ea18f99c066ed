#include "winemu/regedit4.h"

#include "winemu/cp1252.h"
#include "winemu/text_scan.h"

#include <unordered_map>
#include <utility>

namespace zel {

// --- names ---------------------------------------------------------------------------------

namespace {

bool hasLineBreakOrNul(std::string_view name) {
    return name.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos;
}

} // namespace

bool validKeyName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxKeyNameLength && !hasLineBreakOrNul(name) &&
           name.find('\\') == std::string_view::npos;
}

bool validValueName(std::string_view name) {
    return !hasLineBreakOrNul(name);
}

std::unique_ptr<RegKey> makeRootKey() {
    auto root = std::make_unique<RegKey>();
    root->name = std::string(kRootKeyName);
    return root;
}

// --- file format ---------------------------------------------------------------------------

namespace {

constexpr std::size_t kHexLineLimit = 77; // regedit's wrapping of hex lists

// What REGEDIT4 counts as blank around the parts of a line, the bytes of a hex list and a
// continued line.
bool isRegedit4Blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimRegedit4Blanks(std::string_view s, Ends ends = Ends::Both) {
    return trimBlanks(s, isRegedit4Blank, ends);
}

// Takes `keyword` (any case) off the front of s.
bool takeKeyword(std::string_view& s, std::string_view keyword) {
    if (s.size() < keyword.size() || !equalsNoCase(s.substr(0, keyword.size()), keyword))
        return false;
    s.remove_prefix(keyword.size());
    return true;
}

// A quoted text at the front of s (which starts with '"'): "\\" and "\"" are escapes, and so
// are "\n" and "\r" for the line breaks that regedit writes them as; a "\" before anything
// else stands for itself. Leaves s after the closing quote.
std::optional<std::string> takeQuoted(std::string_view& s) {
    if (s.empty() || s.front() != '"')
        return std::nullopt;
    std::string out;
    std::size_t i = 1;
    while (i < s.size()) {
        char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return out;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[i + 1];
            i += 2;
            continue;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == 'n' || s[i + 1] == 'r')) {
            out += s[i + 1] == 'n' ? '\n' : '\r';
            i += 2;
            continue;
        }
        out += c;
        ++i;
    }
    return std::nullopt; // unterminated
}

// "01,02,ff" (blanks allowed around the bytes); "" is no bytes.
std::optional<std::vector<std::uint8_t>> parseHexList(std::string_view s) {
    std::vector<std::uint8_t> out;
    s = trimRegedit4Blanks(s);
    if (s.empty())
        return out;
    out.reserve(s.size() / 3 + 1);
    while (true) {
        std::size_t comma = s.find(',');
        std::string_view token = trimRegedit4Blanks(s.substr(0, comma));
        if (token.empty() || token.size() > 2)
            return std::nullopt;
        auto v = parseHex32(token);
        if (!v)
            return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(*v));
        if (comma == std::string_view::npos)
            break;
        s.remove_prefix(comma + 1);
    }
    return out;
}

// Splits text into lines at LF, each without its LF and one trailing CR.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    bool next(std::string_view& line) {
        if (pos_ >= text_.size())
            return false;
        std::size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos)
            end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Builds the tree while parsing, with indexes so that many keys or values stay linear.
class TreeBuilder {
public:
    TreeBuilder() : root_(makeRootKey()) {}

    RegKey* child(RegKey* parent, std::string_view name) {
        auto& index = keys_[parent];
        auto [it, inserted] = index.try_emplace(upperCp1252Text(name), nullptr);
        if (inserted) {
            auto key = std::make_unique<RegKey>();
            key->name = std::string(name);
            it->second = key.get();
            parent->children.push_back(std::move(key));
        }
        return it->second;
    }

    void setValue(RegKey* key, RegValue value) {
        auto& index = values_[key];
        auto [it, inserted] = index.try_emplace(upperCp1252Text(value.name), key->values.size());
        if (inserted) {
            key->values.push_back(std::move(value));
        } else {
            RegValue& old = key->values[it->second];
            old.type = value.type;
            old.data = std::move(value.data);
        }
    }

    RegKey* root() { return root_.get(); }
    std::unique_ptr<RegKey> take() { return std::move(root_); }

private:
    std::unique_ptr<RegKey> root_;
    std::unordered_map<const RegKey*, std::unordered_map<std::string, RegKey*>> keys_;
    std::unordered_map<const RegKey*, std::unordered_map<std::string, std::size_t>> values_;
};

// "[HKEY_LOCAL_MACHINE\A\B]" (already trimmed) -> the key, created with its parents.
RegKey* parseKeyLine(std::string_view line, TreeBuilder& tree) {
    if (line.size() < 2 || line.front() != '[' || line.back() != ']')
        return nullptr;
    std::string_view inner = line.substr(1, line.size() - 2);
    std::size_t slash = inner.find('\\');
    if (!equalsNoCase(inner.substr(0, slash), kRootKeyName))
        return nullptr;
    RegKey* key = tree.root();
    if (slash == std::string_view::npos)
        return key;
    std::string_view rest = inner.substr(slash + 1);
    std::size_t depth = 0;
    while (true) {
        std::size_t end = rest.find('\\');
        std::string_view name = rest.substr(0, end);
        if (!validKeyName(name) || ++depth > kMaxKeyDepth)
            return nullptr;
        key = tree.child(key, name);
        if (end == std::string_view::npos)
            return key;
        rest.remove_prefix(end + 1);
    }
}

// The data after "=" of a value line; continuation lines of hex lists come from `lines`.
std::optional<RegValue> parseValueData(std::string_view data, LineReader& lines) {
    RegValue value;
    data = trimRegedit4Blanks(data);
    if (!data.empty() && data.front() == '"') {
        auto text = takeQuoted(data);
        if (!text || !trimRegedit4Blanks(data).empty())
            return std::nullopt;
        value.type = RegType::String;
        value.data.assign(text->begin(), text->end());
        value.data.push_back(0);
        return value;
    }
    if (takeKeyword(data, "dword:")) {
        auto v = parseHex32(trimRegedit4Blanks(data));
        if (!v)
            return std::nullopt;
        value.type = RegType::DWord;
        for (int i = 0; i < 4; ++i)
            value.data.push_back(static_cast<std::uint8_t>(*v >> (8 * i)));
        return value;
    }
    if (!takeKeyword(data, "hex"))
        return std::nullopt;
    value.type = RegType::Binary;
    if (!data.empty() && data.front() == '(') {
        std::size_t close = data.find(')');
        if (close == std::string_view::npos)
            return std::nullopt;
        auto type = parseHex32(data.substr(1, close - 1));
        if (!type)
            return std::nullopt;
        value.type = static_cast<RegType>(*type);
        data.remove_prefix(close + 1);
    }
    if (data.empty() || data.front() != ':')
        return std::nullopt;
    data.remove_prefix(1);
    // Gather continued lines: a line ending in "\" goes on with the next one.
    std::string list;
    std::string_view part = trimRegedit4Blanks(data, Ends::Trailing);
    while (!part.empty() && part.back() == '\\') {
        part.remove_suffix(1);
        list += part;
        std::string_view next;
        if (!lines.next(next)) {
            part = {};
            break;
        }
        part = trimRegedit4Blanks(next);
    }
    list += part;
    auto bytes = parseHexList(list);
    if (!bytes)
        return std::nullopt;
    value.data = std::move(*bytes);
    return value;
}

void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

// A REG_SZ written as "text": NUL-terminated with no other NUL and no line break.
bool hasTextForm(const RegValue& value) {
    if (value.type != RegType::String || value.data.empty() || value.data.back() != 0)
        return false;
    for (std::size_t i = 0; i + 1 < value.data.size(); ++i) {
        std::uint8_t b = value.data[i];
        if (b == 0 || b == '\r' || b == '\n')
            return false;
    }
    return true;
}

void appendValue(std::string& out, const RegValue& value) {
    std::size_t lineStart = out.size();
    if (value.name.empty())
        out += '@';
    else
        appendQuoted(out, value.name);
    out += '=';
    if (hasTextForm(value)) {
        appendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                           value.data.size() - 1));
        out += "\r\n";
        return;
    }
    static const char digits[] = "0123456789abcdef";
    if (value.type == RegType::DWord && value.data.size() == 4) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | value.data[static_cast<std::size_t>(i)];
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4)
            out += digits[(v >> shift) & 0xF];
        out += "\r\n";
        return;
    }
    if (value.type == RegType::Binary) {
        out += "hex:";
    } else {
        auto type = static_cast<std::uint32_t>(value.type);
        std::string n;
        do {
            n.insert(n.begin(), digits[type & 0xF]);
            type >>= 4;
        } while (type != 0);
        out += "hex(" + n + "):";
    }
    // As regedit: count "xx," per byte and break after the one that reaches the limit.
    std::size_t lineLength = out.size() - lineStart;
    const std::size_t size = value.data.size();
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[value.data[i] >> 4];
        out += digits[value.data[i] & 0xF];
        if (i + 1 == size)
            break;
        out += ',';
        lineLength += 3;
        if (lineLength >= kHexLineLimit) {
            out += "\\\r\n  ";
            lineLength = 2;
        }
    }
    out += "\r\n";
}

} // namespace

// --- tree ----------------------------------------------------------------------------------

RegKey* RegKey::child(std::string_view childName) const {
    for (const auto& c : children) {
        if (equalsNoCase(c->name, childName))
            return c.get();
    }
    return nullptr;
}

RegValue* RegKey::value(std::string_view valueName) {
    for (auto& v : values) {
        if (equalsNoCase(v.name, valueName))
            return &v;
    }
    return nullptr;
}

bool RegKey::operator==(const RegKey& other) const {
    // Iterative, so that no tree is too deep to compare.
    std::vector<std::pair<const RegKey*, const RegKey*>> pending{{this, &other}};
    while (!pending.empty()) {
        auto [a, b] = pending.back();
        pending.pop_back();
        if (a->name != b->name || a->values != b->values ||
            a->children.size() != b->children.size())
            return false;
        for (std::size_t i = 0; i < a->children.size(); ++i) {
            const RegKey* ca = a->children[i].get();
            const RegKey* cb = b->children[i].get();
            if (!ca || !cb) {
                if (ca != cb)
                    return false;
                continue;
            }
            pending.emplace_back(ca, cb);
        }
    }
    return true;
}

// --- file format ---------------------------------------------------------------------------

std::optional<std::unique_ptr<RegKey>> parseRegistryFile(std::string_view text) {
    LineReader lines(text);
    std::string_view line;
    if (!lines.next(line) || trimRegedit4Blanks(line, Ends::Trailing) != "REGEDIT4")
        return std::nullopt;
    TreeBuilder tree;
    RegKey* current = nullptr;
    while (lines.next(line)) {
        std::string_view content = trimRegedit4Blanks(line);
        if (content.empty() || content.front() == ';')
            continue;
        if (content.front() == '[') {
            current = parseKeyLine(content, tree);
            if (!current)
                return std::nullopt;
            continue;
        }
        if (!current)
            return std::nullopt; // a value before any key
        std::string name;
        if (content.front() == '@') {
            content.remove_prefix(1);
        } else {
            auto quoted = takeQuoted(content);
            if (!quoted || !validValueName(*quoted))
                return std::nullopt;
            name = std::move(*quoted);
        }
        content = trimRegedit4Blanks(content, Ends::Leading);
        if (content.empty() || content.front() != '=')
            return std::nullopt;
        content.remove_prefix(1);
        auto value = parseValueData(content, lines);
        if (!value)
            return std::nullopt;
        value->name = std::move(name);
        tree.setValue(current, std::move(*value));
    }
    return tree.take();
}

std::string formatRegistryFile(const RegKey& hklm) {
    std::string out = "REGEDIT4\r\n";
    if (!hklm.values.empty()) {
        out += "\r\n[" + std::string(kRootKeyName) + "]\r\n";
        for (const auto& v : hklm.values)
            appendValue(out, v);
    }
    // Depth first, parents before children, siblings in order; iterative for any depth.
    struct Frame {
        const RegKey* key;
        std::size_t next;
        std::size_t pathLength; // of the key's path in `path`
    };
    std::string path(kRootKeyName);
    std::vector<Frame> stack{{&hklm, 0, path.size()}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.key->children.size()) {
            stack.pop_back();
            continue;
        }
        const RegKey* key = top.key->children[top.next++].get();
        if (!key)
            continue;
        path.resize(top.pathLength);
        path += '\\';
        path += key->name;
        out += "\r\n[" + path + "]\r\n";
        for (const auto& v : key->values)
            appendValue(out, v);
        stack.push_back({key, 0, path.size()});
    }
    out += "\r\n";
    return out;
}

} // namespace zel
