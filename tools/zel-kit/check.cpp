#include "tools/zel-kit/check.h"

#include "tools/zel-kit/pack.h"

#include "winemu/cp1252.h"
#include "winemu/host_file.h"
#include "winemu/name_lookup.h"
#include "winemu/profile.h"
#include "winemu/winpath.h"
#include "setup/catalogue.h"
#include "setup/finish.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <unordered_map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zelkit {

namespace fs = std::filesystem;
using zel::equalsNoCase;
using zel::ini::ScannedLine;

const char* severityName(Severity severity) {
    switch (severity) {
    case Severity::Error:
        return "error";
    case Severity::Warning:
        return "warning";
    case Severity::Note:
        return "note";
    }
    return "error";
}

namespace {

std::string plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

Tally tally(const std::vector<Problem>& problems) {
    Tally counts;
    for (const Problem& p : problems) {
        switch (p.severity) {
        case Severity::Error:
            ++counts.errors;
            break;
        case Severity::Warning:
            ++counts.warnings;
            break;
        case Severity::Note:
            ++counts.notes;
            break;
        }
    }
    return counts;
}

std::string summary(const Tally& counts) {
    const auto count = [](int n) { return static_cast<std::size_t>(n); };
    return plural(count(counts.errors), "error", "errors") + ", " +
           plural(count(counts.warnings), "warning", "warnings") + ", " +
           plural(count(counts.notes), "note", "notes");
}

namespace {

constexpr std::string_view kDescriptionName = "SETUP.INI";

// ---------------------------------------------------------------------------------------------
// Texts

// A text of the kit (code page 1252) quoted for a message.
std::string q(std::string_view cp1252) {
    return "\"" + zel::cp1252ToUtf8(cp1252) + "\"";
}

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

// The decimal number after prefix when name is prefix + a number as the wizard spells it
// (no sign, no leading zero), compared without regard to case; nothing otherwise.
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

// ---------------------------------------------------------------------------------------------
// The setup description file, line by line

struct Key {
    std::string_view name;
    std::string value;
    int line = 0;
};

struct Section {
    std::string_view name;
    int line = 0;
    bool first = true;       // false: a later section of a name already seen, never read
    std::vector<Key> keys;   // the keys a reader sees: the first of each name
    std::vector<Key> repeat; // later keys of a name already in the section, never read
    std::unordered_map<std::string, std::size_t> index; // upper-cased name -> its place in keys

    const Key* find(std::string_view key) const {
        const auto it = index.find(zel::upperCp1252Text(key));
        return it == index.end() ? nullptr : &keys[it->second];
    }
    // Keeps the key among those read when it is the first of its name.
    void add(Key key) {
        if (index.emplace(zel::upperCp1252Text(key.name), keys.size()).second)
            keys.push_back(std::move(key));
        else
            repeat.push_back(std::move(key));
    }
};

struct Description {
    std::string text;
    std::vector<ScannedLine> lines;
    std::vector<Section> sections;
    std::vector<const ScannedLine*> keysOutside; // keys before the first section
    std::vector<const ScannedLine*> ignored;     // lines readers pass over
    std::unordered_map<std::string, std::size_t> index; // upper-cased name -> the first section

    // The section a reader finds: the first of the name.
    const Section* find(std::string_view name) const {
        const auto it = index.find(zel::upperCp1252Text(name));
        return it == index.end() ? nullptr : &sections[it->second];
    }
};

void scanDescription(Description& d) {
    d.lines = zel::ini::scan(d.text);
    for (const ScannedLine& line : d.lines) {
        switch (line.kind) {
        case ScannedLine::Kind::Blank:
            break;
        case ScannedLine::Kind::Ignored:
            d.ignored.push_back(&line);
            break;
        case ScannedLine::Kind::Section: {
            Section s;
            s.name = line.name;
            s.line = line.number;
            s.first = d.index.emplace(zel::upperCp1252Text(line.name), d.sections.size()).second;
            d.sections.push_back(std::move(s));
            break;
        }
        case ScannedLine::Kind::Key: {
            if (d.sections.empty()) {
                d.keysOutside.push_back(&line);
                break;
            }
            d.sections.back().add(Key{line.name, line.value, line.number});
            break;
        }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The medium

// Host files of the medium, found the way the wizard's layer finds them: each component of the
// path by the machine's own lookup.
class Medium {
public:
    explicit Medium(fs::path root) : root_(std::move(root)) {}
    const fs::path& root() const { return root_; }

    // Whether a host path, its links followed, stays on the medium; the wizard's layer treats a
    // file whose real path leaves its drive as missing.
    bool staysOn(const fs::path& host) const {
        std::error_code ec;
        const fs::path real = fs::canonical(host, ec);
        if (ec)
            return false;
        const fs::path base = fs::canonical(root_, ec);
        auto r = real.begin();
        for (auto b = base.begin(); b != base.end(); ++b, ++r)
            if (r == real.end() || *r != *b)
                return false;
        return true;
    }

    // The regular file that a path relative to the medium names, if any.
    std::optional<fs::path> findFile(std::string_view relative) const {
        const auto parsed = zel::parseWinPath("D:\\" + std::string(relative));
        if (!parsed || parsed->components.empty())
            return std::nullopt;
        fs::path host = root_;
        for (const std::string& component : parsed->components) {
            const auto next = findEntry(host, component);
            if (!next)
                return std::nullopt;
            host = *next;
        }
        std::error_code ec;
        if (!fs::is_regular_file(host, ec) || !staysOn(host))
            return std::nullopt;
        return host;
    }

    // The description file the wizard on this medium reads: the one named after an executable
    // beside it with the extension .INI, SETUP.INI first (the wizard is usually copied as
    // SETUP), then by name.
    std::optional<fs::path> findDescription() const {
        if (auto setup = findFile(kDescriptionName))
            return setup;
        std::vector<std::string> names;
        std::error_code ec;
        for (fs::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_regular_file(ec) && ::access(it->path().c_str(), X_OK) == 0)
                names.push_back(it->path().filename().string());
        std::sort(names.begin(), names.end());
        for (const std::string& name : names)
            if (auto ini = findFile(zel::changeFileExt(zel::utf8ToCp1252(name), ".INI")))
                return ini;
        return std::nullopt;
    }

    // The medium-relative name of a host file, for reports.
    std::string display(const fs::path& host) const {
        return host.lexically_relative(root_).generic_string();
    }

private:
    static std::optional<fs::path> findEntry(const fs::path& dir, std::string_view cp1252Name) {
        const auto name = zel::findCaseless(dir, cp1252Name);
        return name ? std::optional(dir / *name) : std::nullopt;
    }

    fs::path root_;
};

// A file's whole content, read as the machine reads its own files (a regular file only, so a
// pipe cannot hold the check up); nothing when it is missing or cannot be read.
std::optional<std::string> readWhole(const fs::path& path) {
    try {
        return zel::readHostFile(path);
    } catch (const zel::HostFileError&) {
        return std::nullopt;
    }
}

// ---------------------------------------------------------------------------------------------
// What the wizard reads

// The keys come from the catalogue's own table; what follows is how much each matters.

using zel::DescriptionKey;
using zel::KeyKind;

bool numbered(std::string_view section) {
    return section == zel::kProgramSection || section == zel::kSponsorSection;
}

// The sections without a number, in the order the keys first name them.
std::vector<std::string_view> fixedSections() {
    std::vector<std::string_view> sections;
    for (const DescriptionKey& key : zel::descriptionKeys())
        if (!numbered(key.section) &&
            std::find(sections.begin(), sections.end(), key.section) == sections.end())
            sections.push_back(key.section);
    return sections;
}

bool isFixedSection(std::string_view name) {
    const auto sections = fixedSections();
    return std::any_of(sections.begin(), sections.end(),
                       [&](std::string_view s) { return equalsNoCase(name, s); });
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

// The keys whose missing value becomes "erro!", which flows on into paths, names and macros.
bool marked(const DescriptionKey& key) {
    return key.fallback == zel::kMissing;
}

// What a missing marked key spoils: the version is only shown, some texts are only written
// for the update program or shown in the browser choice, and the rest names files,
// directories and groups.
enum class Use { Version, PathOrMacro, Shown };

Use useOf(const DescriptionKey& key) {
    if (key.name == "versao")
        return Use::Version;
    for (std::string_view shown : {"homepage", "searchpage", "navegap_version", "navegai_version"})
        if (key.name == shown)
            return Use::Shown;
    return Use::PathOrMacro;
}

Severity severityOf(Use use) {
    switch (use) {
    case Use::Version:
        return Severity::Note;
    case Use::PathOrMacro:
        return Severity::Error;
    case Use::Shown:
        return Severity::Warning;
    }
    return Severity::Error;
}

// What a number the integer rule refuses counts as: 0, a size of nothing or a flag not set.
const char* zeroMeaning(const DescriptionKey& key) {
    if (key.kind == KeyKind::Integer)
        return " kbytes"; // the numbers are sizes
    if (key.name == "instala")
        return " (not selected)";
    if (key.name == "criadir")
        return " (files to the destination itself)";
    return "";
}

class Checker {
public:
    Checker(const fs::path& medium, std::optional<fs::path> description, bool verifySums)
        : medium_(medium), description_(std::move(description)), verifySums_(verifySums) {}

    std::vector<Problem> run() {
        std::error_code ec;
        if (!fs::is_directory(medium_.root(), ec))
            throw std::runtime_error(medium_.root().string() + ": not a directory");
        checkEntries();
        if (verifySums_)
            for (Problem& p : verifyManifest(medium_.root()))
                problems_.push_back(std::move(p));
        const std::optional<fs::path> description =
            description_ ? description_ : medium_.findDescription();
        if (!description) {
            file_ = std::string(kDescriptionName);
            report(Severity::Error, 0,
                   "no setup description file: the wizard, copied to the medium as SETUP, reads "
                   "SETUP.INI beside itself and would run with every setting at its default");
            return finish();
        }
        file_ = medium_.display(*description);
        std::optional<std::string> text = readWhole(*description);
        if (!text)
            throw std::runtime_error(description->string() + ": cannot be read");
        d_.text = std::move(*text);
        scanDescription(d_);

        checkEncoding(file_, d_.text, d_.lines);
        checkLayout();
        checkGlobals();
        checkPrograms();
        checkSponsors();
        checkUnreadSections();
        checkMacroQuotes(*description);
        checkProgmanStandIn(description->parent_path());
        return finish();
    }

private:
    void report(Severity severity, int line, std::string message) {
        problems_.push_back({file_, line, severity, std::move(message)});
    }
    void reportIn(const std::string& file, Severity severity, int line, std::string message) {
        problems_.push_back({file, line, severity, std::move(message)});
    }

    std::vector<Problem> finish() {
        // The description file first, then the files it names, each by line.
        std::stable_sort(problems_.begin(), problems_.end(),
                         [&](const Problem& a, const Problem& b) {
                             const bool aMain = a.file == file_, bMain = b.file == file_;
                             if (aMain != bMain)
                                 return aMain;
                             if (a.file != b.file)
                                 return a.file < b.file;
                             return a.line < b.line;
                         });
        return std::move(problems_);
    }

    // Program Manager's macros have no escape: a '"' in a value they carry would end its
    // argument and run the rest as macros of their own. The wizard refuses such a kit at the end.
    void checkMacroQuotes(const fs::path& description) {
        zel::Catalogue catalogue;
        catalogue.load(zel::ProfileFile::atHostPath(description));
        for (const zel::KitKey& key : zel::macroBreakingKeys(catalogue, true)) {
            const Section* s = d_.find(key.section);
            const Key* k = s ? s->find(key.key) : nullptr;
            report(Severity::Error, k ? k->line : 0,
                   key.name() + " holds '\"', which would end its Program Manager macro argument "
                                "early: the wizard refuses to finish");
        }
    }

    // ----- what the medium holds

    // What a hostile medium may put where files are expected: links that lead off it (the
    // wizard treats them as missing; copied, they would hand out the host's files) and pipes or
    // devices (which would block the wizard or never end).
    void checkEntries() {
        std::error_code ec;
        for (fs::recursive_directory_iterator it(medium_.root(), ec), end; !ec && it != end;
             it.increment(ec)) {
            const fs::file_status status = it->symlink_status(ec);
            if (ec)
                break;
            const std::string name = medium_.display(it->path());
            if (fs::is_symlink(status)) {
                if (fs::exists(it->path(), ec) && !medium_.staysOn(it->path()))
                    reportIn(name, Severity::Error, 0,
                             "is a link to " + fs::read_symlink(it->path(), ec).string() +
                                 ", off the medium: the wizard treats it as missing");
            } else if (!fs::is_regular_file(status) && !fs::is_directory(status)) {
                reportIn(name, Severity::Error, 0,
                         "is a pipe, socket or device, not a file: the wizard treats it as "
                         "missing");
            }
        }
    }

    // The wizard's fallback start of Program Manager ("PROGMAN PROGMAN") finds a PROGMAN.EXE in
    // the wizard's own directory before the machine's.
    void checkProgmanStandIn(const fs::path& wizardDirectory) {
        std::error_code ec;
        for (fs::directory_iterator it(wizardDirectory, ec), end; !ec && it != end;
             it.increment(ec)) {
            if (equalsNoCase(zel::utf8ToCp1252(it->path().filename().string()), "PROGMAN.EXE"))
                reportIn(medium_.display(it->path()), Severity::Error, 0,
                         "would run instead of Program Manager when the wizard starts it: "
                         "remove it from the medium");
        }
    }

    // ----- the text itself

    // Texts the wizard reads as code page 1252 that were saved as UTF-8.
    void checkEncoding(const std::string& file, std::string_view text,
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
    void checkLayout() {
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
    void checkKeys(const Section& s, std::string_view section) {
        for (const Key& k : s.repeat) {
            const Key* first = s.find(k.name);
            report(Severity::Warning, k.line,
                   q(k.name) + " appears again in [" + zel::cp1252ToUtf8(s.name) +
                       "] (first at line " + std::to_string(first->line) +
                       "); only the first counts");
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

    // The file list whose keys the name looks like, whatever its number.
    static const DescriptionKey* fileListNamed(std::string_view name) {
        for (const DescriptionKey& key : zel::descriptionKeys())
            if (key.kind == KeyKind::FileList && name.size() > key.name.size() &&
                equalsNoCase(name.substr(0, key.name.size()), key.name))
                return &key;
        return nullptr;
    }

    // The key of the section closest to a misspelt name, when one is close enough.
    static std::optional<std::string_view> meantKey(std::string_view section,
                                                    std::string_view name) {
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

    // ----- [Principal], [Update], [Uninstall]

    // The numbers and flags of the section that the integer rule refuses, which silently
    // count as 0.
    void checkNumbers(const Section& s, std::string_view section) {
        for (const DescriptionKey& key : zel::descriptionKeys()) {
            if (key.section != section ||
                (key.kind != KeyKind::Integer && key.kind != KeyKind::Flag))
                continue;
            const Key* k = s.find(key.name);
            if (k && !k->value.empty() && !numberIn(k))
                report(Severity::Warning, k->line,
                       "[" + zel::cp1252ToUtf8(s.name) + "] " + zel::cp1252ToUtf8(k->name) + "=" +
                           zel::cp1252ToUtf8(k->value) +
                           " is no number the wizard reads (decimal, 0x1F or $1F); it silently "
                           "counts as 0" +
                           zeroMeaning(key));
        }
    }

    // A value read by the integer rule; nothing when it is missing, empty or refused.
    static std::optional<std::int32_t> numberIn(const Key* k) {
        if (!k || k->value.empty())
            return std::nullopt;
        return zel::parseIntegerRule(k->value);
    }

    // A file named relative to the medium; reports it when missing.
    // A file the wizard reads only up to a size (a picture) is reported when larger.
    bool checkFile(Severity severity, const Key& k, const std::string& path, const char* what,
                   std::uintmax_t maxBytes = static_cast<std::uintmax_t>(-1)) {
        if (const auto host = medium_.findFile(path)) {
            std::error_code ec;
            if (const auto size = fs::file_size(*host, ec); !ec && size > maxBytes)
                report(Severity::Error, k.line,
                       what + std::string(" ") + q(path) + " is larger than the wizard reads (" +
                           std::to_string(maxBytes) + " bytes): it is not shown");
            return true;
        }
        std::string message = what + std::string(" ") + q(path) + " (" + zel::cp1252ToUtf8(k.name) +
                              ") is not on the medium";
        if (k.value.empty())
            message =
                what + std::string(" is empty: ") + zel::cp1252ToUtf8(k.name) + " names no file";
        report(severity, k.line, std::move(message));
        return false;
    }

    void checkGlobals() {
        const Section* principal = d_.find("Principal");
        const Section* update = d_.find("Update");
        const Section* uninstall = d_.find("Uninstall");
        const std::vector<std::string_view> sections = fixedSections();

        // Missing "erro!" keys: one problem per key, or one for a whole missing section.
        for (std::string_view name : sections) {
            if (d_.find(name))
                continue;
            Severity worst = Severity::Note;
            std::string list;
            for (const DescriptionKey& key : zel::descriptionKeys()) {
                if (key.section != name || !marked(key))
                    continue;
                worst = std::min(worst, severityOf(useOf(key)));
                list += (list.empty() ? "" : ", ") + std::string(key.name);
            }
            if (!list.empty())
                report(worst, 0,
                       "no section [" + std::string(name) + "]: " + list +
                           " read as \"erro!\", which flows on into paths, group names and macros");
        }
        for (const DescriptionKey& key : zel::descriptionKeys()) {
            if (numbered(key.section) || !marked(key))
                continue;
            const Section* s = d_.find(key.section);
            if (!s || s->find(key.name))
                continue;
            const Use use = useOf(key);
            report(severityOf(use), s->line,
                   "[" + std::string(key.section) + "] has no " + std::string(key.name) + ": " +
                       std::string(key.what) + (use == Use::Version ? " reads" : " becomes") +
                       " \"erro!\"");
        }

        for (std::string_view name : sections) {
            if (const Section* s = d_.find(name)) {
                checkKeys(*s, name);
                checkNumbers(*s, name);
            }
        }

        // The fixed files: a missing one is skipped silently by the run, so a warning.
        const auto value = [](const Section* s, const char* key) -> const Key* {
            return s ? s->find(key) : nullptr;
        };
        const auto directory = [&](const Section* s) -> std::optional<std::string> {
            const Key* k = value(s, "diretorio");
            if (!k)
                return std::nullopt; // reported as missing
            const std::string& dir = k->value;
            if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') {
                report(Severity::Error, k->line,
                       "[" + zel::cp1252ToUtf8(s->name) + "] diretorio " + q(dir) +
                           " does not end with \"\\\"; the wizard adds none, so its files are "
                           "looked for as " +
                           q(dir + "NAME"));
                return std::nullopt;
            }
            return dir;
        };
        if (const auto dir = directory(update)) {
            if (const Key* k = value(update, "programa"))
                checkFile(Severity::Warning, *k, *dir + k->value, "the update program");
            for (const char* icon : {"grupoicone", "ineticone", "bbsicone"})
                if (const Key* k = value(principal, icon))
                    checkFile(Severity::Warning, *k, *dir + k->value, "the icon");
        }
        if (const auto dir = directory(uninstall))
            if (const Key* k = value(uninstall, "programa"))
                checkFile(Severity::Warning, *k, *dir + k->value, "the uninstaller");

        for (const char* browser : {"navegap_setup", "navegai_setup"})
            if (const Key* k = value(principal, browser))
                checkFile(Severity::Warning, *k, k->value, "the browser setup");
        if (const Key* k = value(principal, "StartWave"); k && !k->value.empty())
            checkFile(Severity::Warning, *k, k->value, "the start sound");
        if (const Key* k = value(principal, "licensa")) {
            if (checkFile(Severity::Warning, *k, k->value, "the licence text"))
                checkLicence(*medium_.findFile(k->value));
        }
    }

    void checkLicence(const fs::path& host) {
        std::error_code ec;
        if (const auto size = fs::file_size(host, ec); !ec && size > zel::kMaxLicenceBytes) {
            report(Severity::Error, 0,
                   "the licence text " + medium_.display(host) + " is larger than the wizard " +
                       "reads (" + std::to_string(zel::kMaxLicenceBytes) +
                       " bytes): the licence page shows no text");
            return;
        }
        const std::optional<std::string> text = readWhole(host);
        if (!text) {
            report(Severity::Warning, 0,
                   "the licence text " + medium_.display(host) + " cannot be read");
            return;
        }
        // The licence splits into lines as a profile file does: at CR, LF and CR LF.
        checkEncoding(medium_.display(host), *text, zel::ini::scan(*text));
    }

    // ----- [Programa1] .. [Programa12]

    struct Slot {
        const Key* key = nullptr; // nothing for an empty slot
        std::string name;         // as stored: cut to 12 characters
    };

    // Reads one file list as the catalogue does and reports what it loses.
    std::vector<Slot> checkSlots(const Section& s, const char* prefix) {
        std::vector<Slot> slots;
        int end = zel::kFileSlots + 1; // the first slot that is never read
        for (int k = 1; k <= zel::kFileSlots; ++k) {
            const Key* key = s.find(prefix + std::to_string(k));
            if (!key || key->value.empty()) {
                end = k + 1;
                break;
            }
            Slot slot{key, key->value};
            if (key->value.size() > zel::kFileNameLength) {
                slot.name.resize(zel::kFileNameLength);
                report(Severity::Error, key->line,
                       q(key->value) + " is longer than 12 characters: the wizard keeps " +
                           q(slot.name) + ", which then fails to copy");
            }
            slots.push_back(std::move(slot));
        }
        // Names after the gap: one report for the list, at the first of them.
        std::vector<const Key*> lost;
        for (const Key& key : s.keys) {
            const auto n = numberAfter(key.name, prefix);
            if (n && *n >= end && *n <= zel::kFileSlots && !key.value.empty())
                lost.push_back(&key);
        }
        if (!lost.empty()) {
            const int gap = end - 1;
            std::string message = q(lost.front()->name);
            if (lost.size() > 1)
                message += " and " + plural(lost.size() - 1, "later name", "later names");
            message += std::string(lost.size() > 1 ? " are" : " is") + " never read: the list " +
                       "ends at the empty or missing " + prefix + std::to_string(gap);
            report(Severity::Warning,
                   (*std::min_element(lost.begin(), lost.end(),
                                      [](const Key* a, const Key* b) { return a->line < b->line; }))
                       ->line,
                   std::move(message));
        }
        return slots;
    }

    void checkPrograms() {
        lastProgram_ = 0;
        for (int n = 1; n <= zel::kProgramEntries; ++n) {
            lastProgram_ = n;
            const std::string name = std::string(zel::kProgramSection) + std::to_string(n);
            const Section* s = d_.find(name);
            // The table ends after the first entry without a name; a missing section is one.
            if (!s || !checkProgram(n, *s))
                break;
        }
    }

    // Returns whether the entry has a name (so the table goes on).
    bool checkProgram(int n, const Section& s) {
        checkKeys(s, zel::kProgramSection);
        checkNumbers(s, zel::kProgramSection);

        const Key* nome = s.find("nome");
        const bool named = nome && !nome->value.empty();
        const auto instala = numberIn(s.find("instala"));
        const auto tamanho = numberIn(s.find("tamanho"));
        const bool selected = instala.value_or(0) != 0;

        const std::string section = "[" + zel::cp1252ToUtf8(s.name) + "]";
        // Entries 1 to 10 with a name have a check box; the rest install only when preselected.
        const bool shown = named && n <= 10;
        const bool installable = shown || selected;
        if (!named) {
            const bool hasContent = std::any_of(s.keys.begin(), s.keys.end(),
                                                [](const Key& k) { return !k.value.empty(); });
            if (selected)
                report(Severity::Warning, s.line,
                       section + " has no nome but instala is set: it is installed on every "
                                 "installation without being shown, and it ends the program "
                                 "table");
            else if (hasContent)
                report(Severity::Warning, s.line,
                       section + " has no nome: it ends the program table and is never shown "
                                 "nor installed");
        } else if (n > 10) {
            report(Severity::Warning, s.line,
                   section + " " + q(nome->value) +
                       (selected ? " has no check box: it is installed on every installation "
                                   "without being shown, and the user cannot deselect it"
                                 : " has no check box and is not preselected: it is never "
                                   "installed"));
        }

        const Key* dirKey = s.find("diretorio");
        std::string dir = zel::withTrailingBackslash(dirKey ? dirKey->value : "");
        if (dir == "\\")
            dir.clear(); // the medium's root itself

        const Severity missing = installable ? Severity::Error : Severity::Warning;
        std::int64_t bytes = 0;
        for (const char* prefix : {"Arquivo", "System"}) {
            for (const Slot& slot : checkSlots(s, prefix)) {
                if (slot.name.size() < slot.key->value.size())
                    continue; // cut: reported as too long
                const std::string path = dir + slot.name;
                if (const auto host = medium_.findFile(path)) {
                    std::error_code ec;
                    const auto size = fs::file_size(*host, ec);
                    if (!ec)
                        bytes += static_cast<std::int64_t>(size);
                } else {
                    report(missing, slot.key->line,
                           q(path) + " (" + zel::cp1252ToUtf8(slot.key->name) + " of " + section +
                               ") is not on the medium" +
                               (installable ? ": the installation stops there" : ""));
                }
            }
        }

        // The copy page's space check counts entries 1 to 10 by tamanho.
        const Key* sizeKey = s.find("tamanho");
        const bool sizeReadable = !sizeKey || sizeKey->value.empty() || tamanho.has_value();
        const std::int64_t needed = (bytes + 1023) / 1024;
        const std::int64_t declared = tamanho.value_or(0);
        if (n <= 10 && installable && sizeReadable && declared < needed)
            report(Severity::Warning, sizeKey ? sizeKey->line : s.line,
                   section + " tamanho " + std::to_string(declared) + " is less than the " +
                       std::to_string(needed) +
                       " kbytes its files take; the free-space check would pass too easily");
        return named;
    }

    // ----- [Patro1] .. [Patro5]

    void checkSponsors() {
        for (int k = 1; k <= zel::kSponsorEntries; ++k) {
            const Section* s = d_.find(std::string(zel::kSponsorSection) + std::to_string(k));
            if (!s)
                continue;
            checkKeys(*s, zel::kSponsorSection);
            const std::string section = "[" + zel::cp1252ToUtf8(s->name) + "]";
            const auto text = [&](const char* key) {
                const Key* found = s->find(key);
                return found ? found->value : std::string();
            };
            const Key* imagem = s->find("Imagem");
            const Key* programa = s->find("Programa");
            if (text("Texto").empty()) {
                if (!text("Imagem").empty() || !text("Programa").empty())
                    report(Severity::Note, s->line,
                           section + " has no Texto: the sponsor is never shown");
                continue;
            }
            std::string base = text("Diretorio");
            if (!base.empty() && base.back() != '\\')
                base += '\\';
            if (!imagem || imagem->value.empty())
                report(Severity::Warning, s->line,
                       section + " has no Imagem: an empty area is shown with the hint");
            else
                checkFile(Severity::Warning, *imagem, base + imagem->value,
                          "the sponsor's picture", zel::kMaxPictureBytes);
            if (programa && !programa->value.empty())
                checkFile(Severity::Warning, *programa, base + programa->value,
                          "the sponsor's program");
        }
    }

    // ----- sections nobody reads

    void checkUnreadSections() {
        for (const Section& s : d_.sections) {
            if (!s.first)
                continue; // reported as a repeat
            const std::string section = "[" + zel::cp1252ToUtf8(s.name) + "]";
            if (const auto n = numberAfter(s.name, zel::kProgramSection)) {
                const std::string last =
                    std::string(zel::kProgramSection) + std::to_string(lastProgram_);
                if (*n > zel::kProgramEntries)
                    report(Severity::Warning, s.line,
                           section + " is never read: the wizard reads at most " +
                               std::to_string(zel::kProgramEntries) + " programs");
                else if (*n > lastProgram_)
                    report(Severity::Warning, s.line,
                           section + " is never read: the program table ends at entry " +
                               std::to_string(lastProgram_) + ", whose section is " +
                               (d_.find(last) ? "without nome" : "missing"));
                continue;
            }
            if (const auto k = numberAfter(s.name, zel::kSponsorSection)) {
                if (*k > zel::kSponsorEntries)
                    report(Severity::Warning, s.line,
                           section + " is never read: the welcome page shows at most " +
                               std::to_string(zel::kSponsorEntries) + " sponsors");
                continue;
            }
            if (isFixedSection(s.name))
                continue;
            report(Severity::Warning, s.line,
                   section + " is no section the wizard reads; its keys are never read");
        }
    }

    Medium medium_;
    std::optional<fs::path> description_;
    bool verifySums_;
    Description d_;
    std::string file_;
    std::vector<Problem> problems_;
    int lastProgram_ = 0; // the last entry the catalogue reads
};

} // namespace

std::vector<Problem> checkMedium(const fs::path& medium, const std::optional<fs::path>& description,
                                 bool verifySums) {
    return Checker(medium, description, verifySums).run();
}

} // namespace zelkit
