// The text of the kit's files and the keys of each section: encoding, lines readers pass over,
// repeats, keys the wizard never reads, numbers the integer rule refuses.
#include "tools/zel-kit/checker.h"

#include "winemu/cp1252.h"
#include "winemu/winpath.h"

#include <algorithm>

namespace zel::kit {

using zel::DescriptionKey;
using zel::equalsNoCase;
using zel::KeyKind;
using zel::ini::ScannedLine;

std::string q(std::string_view cp1252) {
    return "\"" + zel::cp1252ToUtf8(cp1252) + "\"";
}

std::string plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::optional<int> numberAfter(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() || !equalsNoCase(name.substr(0, prefix.size()), prefix))
        return std::nullopt;
    const std::string_view digits = name.substr(prefix.size());
    if (digits.size() > 6 || digits[0] == '0')
        return std::nullopt;
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

namespace {

// A long line cut for a message.
std::string shortened(std::string_view text) {
    return text.size() <= 60 ? std::string(text) : std::string(text.substr(0, 57)) + "...";
}

// The length of a well-formed UTF-8 sequence of two or more bytes at text[i], or 0. Text in code
// page 1252 almost never forms one, so finding one means the file was saved as UTF-8.
std::size_t utf8SequenceAt(std::string_view text, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = at(i);
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0)
            low = 0xA0; // no overlong forms
        if (b == 0xED)
            high = 0x9F; // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0)
            low = 0x90;
        if (b == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size() || at(i + 1) < low || at(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (at(i + k) < 0x80 || at(i + k) > 0xBF)
            return 0;
    return length;
}

bool holdsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80 && utf8SequenceAt(text, i) > 0)
            return true;
    return false;
}

// Edit distance, for "did you mean" on misspelt keys.
std::size_t distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            const bool same = zel::upperCp1252(a[i - 1]) == zel::upperCp1252(b[j - 1]);
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Whether the wizard reads a key of this name in the section (a numbered one without its
// number).
bool isKeyOf(std::string_view section, std::string_view name) {
    for (const DescriptionKey& key : zel::descriptionKeys()) {
        if (key.section != section)
            continue;
        if (key.kind != KeyKind::FileList) {
            if (equalsNoCase(name, key.name))
                return true;
        } else if (const auto slot = numberAfter(name, key.name);
                   slot && *slot >= 1 && *slot <= zel::kFileSlots) {
            return true;
        }
    }
    return false;
}

// The file list whose keys the name looks like, whatever its number.
const DescriptionKey* fileListNamed(std::string_view name) {
    for (const DescriptionKey& key : zel::descriptionKeys())
        if (key.kind == KeyKind::FileList && name.size() > key.name.size() &&
            equalsNoCase(name.substr(0, key.name.size()), key.name))
            return &key;
    return nullptr;
}

// The key of the section closest to a misspelt name, when one is close enough.
std::optional<std::string_view> meantKey(std::string_view section, std::string_view name) {
    std::optional<std::string_view> best;
    std::size_t bestDistance = 3;
    for (const DescriptionKey& key : zel::descriptionKeys()) {
        if (key.section != section || key.kind == KeyKind::FileList)
            continue;
        // The lengths alone may tell that it is not closer.
        const std::size_t apart = name.size() > key.name.size() ? name.size() - key.name.size()
                                                                : key.name.size() - name.size();
        if (apart >= bestDistance)
            continue;
        const std::size_t dist = distance(name, key.name);
        if (dist < bestDistance) {
            bestDistance = dist;
            best = key.name;
        }
    }
    return best;
}

} // namespace

// Texts the wizard reads as code page 1252 that were saved as UTF-8.
void Checker::checkEncoding(const std::string& file, std::string_view text,
                            const std::vector<ScannedLine>& lines) {
    const bool bom = text.starts_with("\xEF\xBB\xBF");
    int firstUtf8 = 0;
    for (const ScannedLine& line : lines) {
        if (holdsUtf8(line.text)) {
            firstUtf8 = line.number;
            break;
        }
    }
    if (bom) {
        reportIn(file, Severity::Warning, 1,
                 std::string("starts with a UTF-8 byte order mark") +
                     (firstUtf8 ? " and holds UTF-8 text" : "") +
                     ": the wizard reads it as code page 1252; save it as code page 1252");
    } else if (firstUtf8) {
        reportIn(file, Severity::Warning, firstUtf8,
                 "holds UTF-8 text, which the wizard reads as code page 1252 (accented "
                 "letters come out garbled); save it as code page 1252");
    }
}

// Lines and sections that readers pass over or take only once.
void Checker::checkLayout() {
    for (const ScannedLine* line : d_.keysOutside)
        report(Severity::Warning, line->number,
               "key " + q(line->name) + " stands before any section and is never read");
    for (const ScannedLine* line : d_.ignored)
        report(Severity::Warning, line->number,
               "line " + q(shortened(line->text)) +
                   " is neither a section, a key=value nor a comment; it is ignored");
    for (const Section& s : d_.sections) {
        if (s.first)
            continue;
        const Section* first = d_.find(s.name);
        const std::size_t count = s.keys.size() + s.repeat.size();
        report(Severity::Warning, s.line,
               "section [" + zel::cp1252ToUtf8(s.name) + "] appears again (first at line " +
                   std::to_string(first->line) + "); only the first is read, so " +
                   (count == 0   ? std::string("this one is ignored")
                    : count == 1 ? std::string("its key is ignored")
                                 : "its " + std::to_string(count) + " keys are ignored"));
    }
}

// Duplicate keys and keys the wizard never reads, for a section it reads; `section` is the
// name the keys give it (a numbered one without its number).
void Checker::checkKeys(const Section& s, std::string_view section) {
    for (const Key& k : s.repeat) {
        const Key* first = s.find(k.name);
        report(Severity::Warning, k.line,
               q(k.name) + " appears again in [" + zel::cp1252ToUtf8(s.name) + "] (first at line " +
                   std::to_string(first->line) + "); only the first counts");
    }
    for (const Key& k : s.keys) {
        if (isKeyOf(section, k.name))
            continue;
        std::string message = q(k.name) + " is no key of [" + zel::cp1252ToUtf8(s.name) +
                              "]; the wizard never reads it";
        if (const DescriptionKey* list = fileListNamed(k.name)) {
            const std::string name(list->name);
            message += " (file keys run from " + name + "1 to " + name +
                       std::to_string(zel::kFileSlots) + ")";
        } else if (const auto meant = meantKey(section, k.name)) {
            message += " (did you mean " + q(*meant) + "?)";
        }
        report(Severity::Warning, k.line, std::move(message));
    }
}

// The numbers and flags of the section that the integer rule refuses, which silently count
// as 0.
void Checker::checkNumbers(const Section& s, std::string_view section) {
    for (const DescriptionKey& key : zel::descriptionKeys()) {
        if (key.section != section || (key.kind != KeyKind::Integer && key.kind != KeyKind::Flag))
            continue;
        const Key* k = s.find(key.name);
        if (k && !k->value.empty() && !numberIn(k))
            report(severityOf(key.ifBad), k->line,
                   "[" + zel::cp1252ToUtf8(s.name) + "] " + zel::cp1252ToUtf8(k->name) + "=" +
                       zel::cp1252ToUtf8(k->value) +
                       " is no number the wizard reads (decimal, 0x1F or $1F); it silently "
                       "counts as 0" +
                       (key.zero.empty() ? "" : " " + std::string(key.zero)));
    }
}

std::optional<std::int32_t> Checker::numberIn(const Key* k) {
    if (!k || k->value.empty())
        return std::nullopt;
    return zel::parseIntegerRule(k->value);
}

} // namespace zel::kit
