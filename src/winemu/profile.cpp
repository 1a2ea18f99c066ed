#include "winemu/profile.h"

#include "winemu/events.h"

#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/host_file.h"
#include "winemu/text_scan.h"

#include <array>
#include <cstdint>
#include <unordered_map>

namespace zel {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------------------------
// Blanks: what profile files count as blank around section names, keys, values and integers.

namespace {

bool isProfileBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v';
}

std::string_view trimProfileBlanks(std::string_view text, Ends ends = Ends::Both) {
    return trimBlanks(text, isProfileBlank, ends);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The integer rule

std::optional<std::int32_t> parseIntegerRule(std::string_view text) {
    std::string replaced;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        replaced = "$";
        replaced.append(text.substr(2));
        text = replaced;
    }
    text = trimProfileBlanks(text, Ends::Leading);
    std::size_t i = 0;
    if (text.empty())
        return std::nullopt;

    if (text[i] == '$') {
        const auto pattern = parseHex32(text.substr(1));
        if (!pattern)
            return std::nullopt;
        return static_cast<std::int32_t>(*pattern); // 80000000 and above come out negative
    }

    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > 2147483647)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

// ---------------------------------------------------------------------------------------------
// Profile text

namespace {

constexpr std::size_t kMaxValue = 1023;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kCrLf = "\r\n";

// Names are compared through one table of upper-case forms; a load compares hundreds of names.
const std::array<char, 256> kUpper = [] {
    std::array<char, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[static_cast<std::size_t>(c)] = upperCp1252(static_cast<char>(c));
    return t;
}();

inline char upper(char c) {
    return kUpper[static_cast<unsigned char>(c)];
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

// One line of the content: [begin, end) is its text, next is where the following line starts
// (end plus the length of the line break, which is 0 for a last line without one).
struct Line {
    std::size_t begin = 0, end = 0, next = 0;
    bool terminated() const { return next > end; }
};

// Splits at CR, LF and CR LF. A file may start with a UTF-8 byte order mark, which is no text.
class Lines {
public:
    explicit Lines(std::string_view content)
        : content_(content), pos_(content.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0) {}

    bool next(Line& line) {
        if (pos_ >= content_.size())
            return false;
        line.begin = pos_;
        std::size_t br = pos_;
        while (br < content_.size() && content_[br] != '\r' && content_[br] != '\n')
            ++br;
        if (br == content_.size()) {
            line.end = line.next = content_.size();
        } else {
            line.end = br;
            line.next = br + 1;
            if (content_[br] == '\r' && br + 1 < content_.size() && content_[br + 1] == '\n')
                ++line.next;
        }
        pos_ = line.next;
        return true;
    }

private:
    std::string_view content_;
    std::size_t pos_;
};

// Bare: a name alone, without "=". The platform takes it for the key without a value: it reads
// as absent, and hides a later line of the same name in its section.
enum class Kind { Blank, Section, Key, Bare };

struct Parsed {
    Kind kind = Kind::Blank;
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // key value, trimmed, before the quote and length rules
};

Parsed parseLine(std::string_view text) {
    Parsed p;
    text = trimProfileBlanks(text, Ends::Leading);
    if (text.empty() || text.front() == ';') {
        p.kind = Kind::Blank; // blank or comment
        return p;
    }
    if (text.front() == '[') {
        // As the platform reads a header: the name is what lies between the "[" and the line's
        // last "]", trimmed, and the rest is ignored. A line with no "]" opens no section; it
        // reads as any other line.
        if (const std::size_t close = text.rfind(']'); close != std::string_view::npos) {
            p.kind = Kind::Section;
            p.name = trimProfileBlanks(text.substr(1, close - 1));
            return p;
        }
    }
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) {
        p.kind = Kind::Bare;
        p.name = trimProfileBlanks(text);
        return p;
    }
    p.kind = Kind::Key;
    p.name = trimProfileBlanks(text.substr(0, eq));
    p.value = trimProfileBlanks(text.substr(eq + 1));
    return p;
}

// What a reader gets of a trimmed value: one outer pair of equal quotes removed, the text up
// to a NUL (readers see C strings), at most 1023 characters.
std::string finishValue(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    if (const std::size_t nul = v.find('\0'); nul != std::string_view::npos)
        v = v.substr(0, nul);
    return std::string(v.substr(0, kMaxValue));
}

bool endsWithLineBreak(std::string_view s) {
    return !s.empty() && (s.back() == '\n' || s.back() == '\r');
}

} // namespace

namespace ini {

std::optional<std::string> lookup(std::string_view content, std::string_view section,
                                  std::string_view key) {
    Lines lines(content);
    Line line;
    bool inSection = false;
    bool seen = false; // only the first section of the name counts
    while (lines.next(line)) {
        const Parsed p = parseLine(content.substr(line.begin, line.end - line.begin));
        if (p.kind == Kind::Section) {
            if (seen)
                return std::nullopt;
            inSection = sameName(p.name, section);
            seen = inSection;
        } else if (inSection && (p.kind == Kind::Key || p.kind == Kind::Bare) &&
                   sameName(p.name, key)) {
            return p.kind == Kind::Key ? std::optional(finishValue(p.value)) : std::nullopt;
        }
    }
    return std::nullopt;
}

std::string write(std::string_view content, std::string_view section, std::string_view key,
                  std::string_view value) {
    // A line break in the value would smuggle lines into the file.
    value = value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));

    Lines lines(content);
    Line line;
    bool inSection = false;
    std::optional<Line> insertAfter; // the section's header, then its last key line
    while (lines.next(line)) {
        const Parsed p = parseLine(content.substr(line.begin, line.end - line.begin));
        if (p.kind == Kind::Section) {
            if (insertAfter)
                break; // the first section of the name has ended
            inSection = sameName(p.name, section);
            if (inSection)
                insertAfter = line;
        } else if ((p.kind == Kind::Key || p.kind == Kind::Bare) && inSection) {
            if (sameName(p.name, key)) { // a bare name takes the value, as on the platform
                std::string out;
                out.reserve(content.size() + value.size());
                out.append(content.substr(0, line.begin));
                out.append(p.name).append("=").append(value);
                out.append(content.substr(line.end));
                return out;
            }
            insertAfter = line;
        }
    }

    std::string out;
    out.reserve(content.size() + section.size() + key.size() + value.size() + 8);
    if (insertAfter) {
        out.append(content.substr(0, insertAfter->next));
        if (!insertAfter->terminated())
            out.append(kCrLf);
        out.append(key).append("=").append(value).append(kCrLf);
        out.append(content.substr(insertAfter->next));
        return out;
    }
    out.append(content);
    const std::string_view text = content.starts_with(kUtf8Bom) ? content.substr(3) : content;
    if (!text.empty() && !endsWithLineBreak(text))
        out.append(kCrLf);
    out.append("[").append(section).append("]").append(kCrLf);
    out.append(key).append("=").append(value).append(kCrLf);
    return out;
}

std::vector<ScannedLine> scan(std::string_view content) {
    std::vector<ScannedLine> out;
    Lines lines(content);
    Line line;
    while (lines.next(line)) {
        ScannedLine s;
        s.number = static_cast<int>(out.size()) + 1;
        s.text = content.substr(line.begin, line.end - line.begin);
        const Parsed p = parseLine(s.text);
        switch (p.kind) {
        case Kind::Blank: s.kind = ScannedLine::Kind::Blank; break;
        case Kind::Section: s.kind = ScannedLine::Kind::Section; break;
        case Kind::Key:
            s.kind = ScannedLine::Kind::Key;
            s.value = finishValue(p.value);
            break;
        case Kind::Bare: s.kind = ScannedLine::Kind::Ignored; break;
        }
        s.name = p.name;
        out.push_back(std::move(s));
    }
    return out;
}

} // namespace ini

// ---------------------------------------------------------------------------------------------
// Profile files

namespace {

// Case-blind hashing and comparison of names, straight on the file's text.
struct NameHash {
    std::size_t operator()(std::string_view s) const {
        std::size_t h = 14695981039346656037ull;
        for (char c : s)
            h = (h ^ static_cast<unsigned char>(upper(c))) * 1099511628211ull;
        return h;
    }
};
struct NameEqual {
    bool operator()(std::string_view a, std::string_view b) const { return sameName(a, b); }
};
template <typename T> using NameMap = std::unordered_map<std::string_view, T, NameHash, NameEqual>;

} // namespace

struct ProfileFile::Content {
    std::string text;
    // Views into text: section -> key -> trimmed value (nothing for a bare name). The first
    // section and key of a name win.
    NameMap<NameMap<std::optional<std::string_view>>> sections;

    Content(const Content&) = delete; // the views must stay with their text
    Content& operator=(const Content&) = delete;
    explicit Content(std::string fileText) : text(std::move(fileText)) {
        const std::string_view content = text;
        Lines lines(content);
        Line line;
        NameMap<std::optional<std::string_view>>* current = nullptr;
        while (lines.next(line)) {
            const Parsed p = parseLine(content.substr(line.begin, line.end - line.begin));
            if (p.kind == Kind::Section) {
                auto [it, added] = sections.try_emplace(p.name);
                current = added ? &it->second : nullptr;
            } else if (p.kind == Kind::Key && current) {
                current->try_emplace(p.name, p.value);
            } else if (p.kind == Kind::Bare && current) {
                current->try_emplace(p.name, std::nullopt);
            }
        }
    }

    std::optional<std::string> find(std::string_view section, std::string_view key) const {
        const auto s = sections.find(section);
        if (s == sections.end())
            return std::nullopt;
        const auto k = s->second.find(key);
        if (k == s->second.end() || !k->second)
            return std::nullopt;
        return finishValue(*k->second);
    }
};

namespace {

bool hasSection(std::string_view content, std::string_view section) {
    for (const ini::ScannedLine& line : ini::scan(content))
        if (line.kind == ini::ScannedLine::Kind::Section && equalsNoCase(line.name, section))
            return true;
    return false;
}

bool isBareName(std::string_view name) {
    return name.find_first_of("\\/:") == std::string::npos;
}

} // namespace

ProfileFile::ProfileFile(const Machine& machine, std::string name) : name_(std::move(name)) {
    path_ = isBareName(name_) ? machine.windowsDirectory() + "\\" + name_ : name_;
    host_ = machine.toHost(path_);
}

ProfileFile::ProfileFile(std::optional<fs::path> hostPath, std::string name)
    : name_(std::move(name)), path_(name_), host_(std::move(hostPath)) {}

ProfileFile ProfileFile::atHostPath(fs::path hostPath) {
    std::string name = hostPath.string();
    return ProfileFile(std::optional<fs::path>(std::move(hostPath)), std::move(name));
}

const ProfileFile::Content& ProfileFile::content() const {
    if (!content_) {
        std::string text;
        // A missing or unreadable file reads as an empty one: every key takes its default.
        if (host_) {
            try {
                text = readHostFile(*host_).value_or(std::string());
            } catch (const HostFileError&) {
            }
        }
        content_ = std::make_shared<const Content>(std::move(text));
    }
    return *content_;
}

std::string ProfileFile::readText(std::string_view section, std::string_view key,
                                  std::string_view defaultText) const {
    std::optional<std::string> value = content().find(section, key);
    return value ? std::move(*value) : std::string(defaultText);
}

std::int32_t ProfileFile::readInteger(std::string_view section, std::string_view key,
                                      std::int32_t defaultValue) const {
    return parseIntegerRule(readText(section, key, "")).value_or(defaultValue);
}

bool ProfileFile::readFlag(std::string_view section, std::string_view key,
                           bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileFile::writeText(std::string_view section, std::string_view key,
                            std::string_view value) {
    const auto fail = [this] { return PlatformError("Unable to write to " + name_); };
    if (!host_)
        throw fail();
    // Start from the file as it is now, not from what this handle read earlier, so that a
    // change made meanwhile through another handle is kept. A file that cannot be read is not
    // written either: what could not be read would be lost.
    try {
        const std::optional<std::string> current = readHostFile(*host_);
        std::string updated = ini::write(current.value_or(std::string()), section, key, value);
        if (!current || updated != *current)
            writeHostFile(*host_, updated);
        InstallEvent written{InstallEvent::Kind::ProfileKey};
        written.path = path_;
        written.section = section;
        written.name = key;
        written.before = ini::lookup(current.value_or(std::string()), section, key);
        written.after = ini::lookup(updated, section, key).value_or(std::string());
        written.created = !current.has_value();
        written.sectionCreated = !hasSection(current.value_or(std::string()), section);
        written.host = host_->string();
        content_ = std::make_shared<const Content>(std::move(updated));
        report(written);
    } catch (const HostFileError&) {
        throw fail();
    }
}

void ProfileFile::writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
    writeText(section, key, std::to_string(value));
}

} // namespace zel
