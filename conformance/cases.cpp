// The generated cases: profile files of every shape kits write, our registry file, and the
// batches of queries both sides answer.
#include "conformance/cases.h"

#include "winemu/host_file.h"
#include "winemu/registry.h"

#include <array>
#include <cstdint>
#include <random>
#include <set>
#include <stdexcept>

namespace zel::conformance {

namespace fs = std::filesystem;

std::string hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes)
        out += {digits[c >> 4], digits[c & 15]};
    return out;
}

namespace {

using Random = std::mt19937;

int below(Random& r, int n) {
    return std::uniform_int_distribution<int>(0, n - 1)(r);
}

bool chance(Random& r, int percent) {
    return below(r, 100) < percent;
}

const std::string& pick(Random& r, const std::vector<std::string>& from) {
    return from[static_cast<std::size_t>(below(r, static_cast<int>(from.size())))];
}

// Names in several spellings of one name (letter case, code page 1252 letters with their
// capitals: c-cedilla, a-tilde, y-diaeresis, s-caron, ae), as kits spell them.
const std::vector<std::string> kSectionNames = {
    "Setup",        "setup",           "SETUP",       "Patro2",      "patro2",
    "Zel Internet", "Trumpet Winsock", "Se\xe7\xe3o", "SE\xc7\xc3O", "\xfftem",
    "\x9fTEM",      "\x9a\x61la",      "\x8a\x41LA",  "a;b"};
const std::vector<std::string> kKeyNames = {
    "Arquivo", "ARQUIVO",     "arquivo",  "Imagem",   "imagem", "destino",
    "grupo",   "Chave Longa", "ch\xe1ve", "CH\xc1VE", "n\xba",  "\xe6sir",
    "\xc6SIR", "k1",          "k2",       "[k3]",     "k;4"};

const std::string kBlanks[] = {"", " ", "  ", "\t", " \t "};

std::string blank(Random& r) {
    return kBlanks[below(r, 5)];
}

// Text bytes as kits write them: ASCII, code page 1252 letters and signs, blanks inside.
std::string text(Random& r, int length) {
    static const std::string alphabet =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,:-_/\\()[]{}$%&+*#!?@~"
        "\xe1\xe9\xed\xf3\xfa\xe7\xe3\xf5\xc1\xc9\xc7\xc3\xaa\xba\x80\x91\x92\x93\x94\xa0\xff";
    std::string out;
    for (int i = 0; i < length; ++i)
        out += alphabet[static_cast<std::size_t>(below(r, static_cast<int>(alphabet.size())))];
    return out;
}

std::string value(Random& r) {
    switch (below(r, 14)) {
    case 0: return "";
    case 1: return "\"" + text(r, below(r, 12)) + "\"";
    case 2: return "'" + text(r, below(r, 12)) + "'";
    case 3: return "\"" + text(r, 1 + below(r, 8)); // an opening quote alone
    case 4: return "\"" + text(r, 3) + "'";
    case 5: return "\" " + text(r, 4) + " \"";
    case 6:
    case 7: return text(r, 1022 + below(r, 479)); // about the 1023-character cut
    case 8: return "\"" + text(r, 1021 + below(r, 5)) + "\"";
    case 9: return text(r, 3) + "=" + text(r, 3);
    case 10: return text(r, 4) + " ;" + text(r, 4);
    case 11: return "\"";
    default: return text(r, 1 + below(r, 30));
    }
}

// Line forms: N the name, V the value, _ a run of blanks, T a short text. The first form, the
// plain one, also stands for every draw beyond the list.
const std::vector<std::string_view> kSectionForms = {"[N]", "_[N]_", "[_N_]", "[N] ; T", "[N]T",
                                                     "_[N", "[N]]",  "[N]x]", "[N=T",    "[]"};
const std::vector<std::string_view> kKeyForms = {"N=V", "_N_=_V_", "N=",   "N_=_", "N",
                                                 "=V",  "N==V",    ";N=V", "_;N=V"};
const std::vector<std::string_view> kOtherForms = {"", "_", "; T", "T T"}; // no section or key

std::string line(Random& r, const std::vector<std::string_view>& forms, int draws,
                 const std::string& name = "", const std::string& v = "") {
    const auto at = static_cast<std::size_t>(below(r, draws));
    std::string out;
    for (const char c : forms[at < forms.size() ? at : 0])
        out += c == 'N'   ? name
               : c == 'V' ? v
               : c == '_' ? blank(r)
               : c == 'T' ? text(r, 5)
                          : std::string(1, c);
    return out;
}

struct ProfileCase {
    std::string content;
    std::set<std::string> sections; // names the file uses
    std::set<std::string> keys;
};

// Line ends CR LF, LF or both mixed; with loneCr, CR alone as well.
ProfileCase profile(Random& r, int maxSections, bool loneCr = false) {
    ProfileCase c;
    std::vector<std::string> lines;
    const auto addKeys = [&](int n) {
        for (int i = 0; i < n; ++i) {
            const std::string& key = chance(r, 15) ? "" : *c.keys.insert(pick(r, kKeyNames)).first;
            lines.push_back(key.empty() ? line(r, kOtherForms, 5)
                                        : line(r, kKeyForms, 16, key, value(r)));
        }
    };
    if (chance(r, 20))
        addKeys(1 + below(r, 2)); // keys before any section belong to none
    const int sections = 1 + below(r, maxSections);
    for (int s = 0; s < sections; ++s) {
        const std::string& name = pick(r, kSectionNames);
        c.sections.insert(name);
        lines.push_back(line(r, kSectionForms, 16, name));
        addKeys(below(r, 9));
    }
    // One line end throughout, or mixed ones; the last line with or without its own.
    const int style = below(r, 10);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        c.content += lines[i];
        if (i + 1 == lines.size() && chance(r, 20))
            break;
        const int mixed = below(r, loneCr ? 3 : 2), fixed = loneCr ? 2 : style < 4 ? 0 : 1;
        c.content += std::array{"\r\n", "\n", "\r"}[style < (loneCr ? 5 : 7) ? fixed : mixed];
    }
    return c;
}

// The names to ask for: the file's own, a name in none, and each pool name that, beside some
// name of the file, differs in length or at most in its first letter.
std::vector<std::string> askedNames(const std::set<std::string>& used,
                                    const std::vector<std::string>& pool, const char* absent) {
    std::set<std::string> asked(used.begin(), used.end());
    for (const std::string& name : pool)
        for (const std::string& u : used)
            if (name.size() != u.size() || name.substr(1) == u.substr(1))
                asked.insert(name);
    asked.insert(absent);
    return {asked.begin(), asked.end()};
}

void addReads(std::vector<Query>& batch, char kind, const std::vector<std::string>& paths,
              const ProfileCase& c) {
    for (const std::string& section : askedNames(c.sections, kSectionNames, "Nenhuma"))
        for (const std::string& key : askedNames(c.keys, kKeyNames, "nenhuma"))
            for (const std::string& path : paths)
                batch.push_back({kind, path, section, key, "", {}});
}

constexpr std::string_view kRegistryKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\ZelConformance";

// A value of each kind kits and our registry keep, some with no plain text form.
std::pair<RegType, std::string> registryValue(Random& r) {
    const int kind = below(r, 14);
    const std::string t = text(r, below(r, 60)), nul(1, '\0');
    switch (kind) {
    case 0: return {RegType::DWord, std::string("\x2a\0\0\0", 4)};
    case 1: {
        std::string data(static_cast<std::size_t>(below(r, 300)), '\0');
        for (char& b : data)
            b = static_cast<char>(below(r, 256));
        return {RegType::Binary, data};
    }
    case 2: return {RegType::ExpandString, "%SystemRoot%\\" + t + nul};
    case 3: return {RegType::MultiString, t + nul + "dois" + nul + nul};
    case 4: return {RegType::DWord, "\xff\xff\xff\xff"};
    case 5: return {static_cast<RegType>(0xb), "\1\2\3\4\5\6\7\x08"};
    case 6: return {RegType::None, t};
    case 7: return {RegType::String, "\"" + t + "\\\"" + nul};
    case 8: return {RegType::String, t};                    // a string without its closing NUL...
    case 9: return {RegType::String, t + "\r\n" + t + nul}; // ... or with a line break inside
    default: return {RegType::String, t + nul};
    }
}

void fillRegistry(Random& r, const fs::path& file) {
    Registry::createDefaults(file);
    Registry reg(file);
    const std::string base = "SOFTWARE\\ZelConformance";
    std::vector<std::string> keys = {base + "\\" + std::string(255, 'L')};
    for (const char* sub : {"", "\\Sub", "\\Espa\xe7o em disco", "\\with space\\and.dots-dash",
                            "\\[bracket]", "\\q\"uote", "\\Empty"})
        keys.push_back(base + sub);
    std::string deep = base;
    for (int i = 0; i < 30; ++i)
        deep += "\\n" + std::to_string(i);
    keys.push_back(deep);

    std::vector<std::string> valueNames = {
        "Nome", "with \"quote\"", "back\\slash", "\xe9", "ProgramFilesDir", "=", "[x]", "@",
        "a;b",  " lead",          "trail "};
    valueNames.push_back(std::string(200, 'v'));
    for (const std::string& key : keys) {
        if (!reg.openKey(key, true))
            throw std::runtime_error("cannot create " + key);
        if (key.ends_with("Empty"))
            continue;
        if (chance(r, 50))
            reg.writeString("", text(r, below(r, 20))); // the default value
        for (const std::string& name : valueNames) {
            if (chance(r, 30))
                continue;
            const auto [type, data] = registryValue(r);
            reg.writeValue(name, type, {data.begin(), data.end()});
        }
    }
}

} // namespace

int generate(const fs::path& dir, int files, unsigned seed) {
    Random r(seed);
    fs::remove_all(dir);
    for (const char* sub : {"profiles", "written/platform", "written/ours", "registry"})
        fs::create_directories(dir / sub);
    std::vector<Query> batch;

    // Reads: every name the file uses and its other spellings, against every key. A tenth
    // more files end lines with CR alone (named kLoneCrPrefix...).
    for (int i = 0; i < files + files / 10; ++i) {
        const bool loneCr = i >= files;
        const fs::path file =
            dir / "profiles" /
            ((loneCr ? std::string(kLoneCrPrefix) : "p") + std::to_string(i) + ".ini");
        const ProfileCase c = profile(r, 6, loneCr);
        writeHostFile(file, c.content);
        addReads(batch, 'R', {file.string()}, c);
    }

    // Writes: the same writes on two copies of one file, the platform's and ours; then each
    // name of both is read back from both, in pairs.
    std::vector<Query> second; // the read-backs, for when both sides have written
    for (int i = 0; i < files / 5; ++i) {
        const std::string name = "w" + std::to_string(i) + ".ini";
        const fs::path platformFile = dir / "written/platform" / name;
        const fs::path ourFile = dir / "written/ours" / name;
        ProfileCase c = chance(r, 10) ? ProfileCase{} : profile(r, 3);
        writeHostFile(platformFile, c.content);
        writeHostFile(ourFile, c.content);
        for (int w = 1 + below(r, 4); w > 0; --w) {
            const std::string& section = pick(r, kSectionNames);
            const std::string& key = pick(r, kKeyNames);
            std::string v = chance(r, 80) ? value(r) : blank(r) + text(r, 5) + blank(r);
            c.sections.insert(section);
            c.keys.insert(key);
            batch.push_back({'W', platformFile.string(), section, key, v, ourFile});
        }
        addReads(second, 'B', {platformFile.string(), ourFile.string()}, c);
    }

    // The registry: our file imported by the platform's regedit into its fresh prefix, the
    // tree compared; then exported by its regedit as REGEDIT4 and read by ours.
    const fs::path system = dir / "registry" / "system.reg";
    const fs::path exported = dir / "registry" / "exported.reg";
    fillRegistry(r, system);
    const std::string key(kRegistryKey);
    second.push_back({'I', system.string(), "", "", "", {}});
    second.push_back({'D', "", key, "", "", system});
    second.push_back({'E', exported.string(), key, "", "", {}});
    second.push_back({'D', "", key, "", "", exported});

    for (const auto& [name, queries] :
         {std::pair{"batch-1.txt", &batch}, {"batch-2.txt", &second}}) {
        std::string out;
        for (const Query& q : *queries)
            out += std::string(1, q.kind) + "\t" + q.path + "\t" + hex(q.section) + "\t" +
                   hex(q.key) + "\t" + hex(q.value) + "\t" + q.source.string() + "\n";
        writeHostFile(dir / name, out);
    }
    return 0;
}

} // namespace zel::conformance
