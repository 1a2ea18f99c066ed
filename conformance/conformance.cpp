// Our side of the conformance suite (conformance/run runs it beside probe.c under Wine): it
// generates the cases, answers a batch through our layer and compares both sides' answers.
// A batch line is a query's six tab-separated fields, texts in hex so that any byte travels;
// each query gets one answer line:
//   R, B  read a profile value (B: a written file read back): "V <hex value>", "-" for the default
//   W     write a profile value, the platform to path, ours to its twin source: "1", "0" refused
//   I, E  regedit imports the file, exports the key as REGEDIT4 into it: "1" when done
//   D     the key's tree, "K <path>;" and "V <path> <name> <type> <data>;" items (hex); ours
//         reads it from the source file
#include "winemu/cp1252.h"
#include "winemu/host_file.h"
#include "winemu/profile.h"
#include "winemu/regedit4.h"
#include "winemu/registry.h"

#include <algorithm>
#include <array>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <vector>

namespace zel::conformance {
namespace {

namespace fs = std::filesystem;

struct Query {
    char kind = 0;
    std::string path;    // the profile file or the registry file (host path)
    std::string section; // a profile section; for D and E the registry key
    std::string key, value;
    fs::path source;
};

// The default of every read, so that "not found" is told from any value.
constexpr std::string_view kAbsent = "\x01zel-absent\x01";
// Generated profile files whose lines also end with CR alone are named with this prefix.
constexpr std::string_view kLoneCrPrefix = "cr-p";
constexpr std::string_view kRegistryKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\ZelConformance";

std::string hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes)
        out += {digits[c >> 4], digits[c & 15]};
    return out;
}

std::string unhex(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out += static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16));
    return out;
}

std::vector<std::string> split(std::string_view line, char separator) {
    std::vector<std::string> f;
    for (std::size_t start = 0, end = 0; end != std::string_view::npos; start = end + 1) {
        end = line.find(separator, start);
        f.emplace_back(line.substr(start, end == std::string_view::npos ? end : end - start));
    }
    return f;
}

// ---- the cases: profile files of every shape kits write, our registry file, the batches

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

std::string blank(Random& r) {
    return std::array{"", " ", "  ", "\t", " \t "}[below(r, 5)];
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
    std::set<std::string> sections, keys; // names the file uses
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
    for (int s = below(r, maxSections); s >= 0; --s) {
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
    std::string deep;
    for (int i = 0; i < 30; ++i)
        deep += "\\n" + std::to_string(i);
    const std::vector<std::string> subs = {"\\" + std::string(255, 'L'),
                                           "",
                                           "\\Sub",
                                           "\\Espa\xe7o em disco",
                                           "\\with space\\and.dots-dash",
                                           "\\[bracket]",
                                           "\\q\"uote",
                                           "\\Empty",
                                           deep};
    const std::vector<std::string> valueNames = {"Nome",
                                                 "with \"quote\"",
                                                 "back\\slash",
                                                 "\xe9",
                                                 "ProgramFilesDir",
                                                 "=",
                                                 "[x]",
                                                 "@",
                                                 "a;b",
                                                 " lead",
                                                 "trail ",
                                                 std::string(200, 'v')};
    for (const std::string& sub : subs) {
        if (!reg.openKey(base + sub, true))
            throw std::runtime_error("cannot create " + base + sub);
        if (sub == "\\Empty")
            continue;
        if (chance(r, 50))
            reg.writeString("", text(r, below(r, 20))); // the default value
        for (const std::string& name : valueNames)
            if (!chance(r, 30)) {
                const auto [type, data] = registryValue(r);
                reg.writeValue(name, type, {data.begin(), data.end()});
            }
    }
}

// Writes into dir the profile files (profiles/, written/platform, written/ours), our registry
// file (registry/system.reg) and two batches: batch-1.txt reads and writes; batch-2.txt, once
// both have written, reads the written files back and imports, dumps and exports the registry.
void generate(const fs::path& dir, int files, unsigned seed) {
    Random r(seed);
    fs::remove_all(dir);
    for (const char* sub : {"profiles", "written/platform", "written/ours", "registry"})
        fs::create_directories(dir / sub);
    std::vector<Query> batch, second; // second: what needs both sides' writes done

    // Reads: every name the file uses and its other spellings, against every key. A tenth
    // more files end lines with CR alone.
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
}

// ---- our answers

// The lines of a file (both sides end them with LF alone); none after the last line end.
std::vector<std::string> lines(const fs::path& file) {
    const auto text = readHostFile(file);
    if (!text)
        throw std::runtime_error(file.string() + ": no such file");
    std::vector<std::string> out = split(*text, '\n');
    if (out.back().empty())
        out.pop_back();
    return out;
}

std::vector<Query> readBatch(const fs::path& file) {
    std::vector<Query> batch;
    for (const std::string& line : lines(file)) {
        const std::vector<std::string> f = split(line, '\t');
        if (f.size() != 6 || f[0].size() != 1)
            throw std::runtime_error("unknown query in " + file.string() + ": " + line);
        batch.push_back({line[0], f[1], unhex(f[2]), unhex(f[3]), unhex(f[4]), f[5]});
    }
    return batch;
}

void dump(const RegKey& key, const std::string& path, std::string& out) {
    out += "K " + hex(path) + ";";
    for (const RegValue& v : key.values)
        out += "V " + hex(path) + " " + hex(v.name) + " " +
               std::to_string(static_cast<std::uint32_t>(v.type)) + " " +
               hex(std::string(v.data.begin(), v.data.end())) + ";";
    for (const auto& child : key.children)
        dump(*child, path + "\\" + child->name, out);
}

// The tree under keyPath in a registry file, as the probe dumps it.
void dumpOurTree(const fs::path& file, const std::string& keyPath, std::string& out) {
    const auto text = readHostFile(file);
    auto tree = text ? parseRegistryFile(*text) : std::nullopt;
    if (text && !tree)
        out += "unreadable " + file.string();
    const RegKey* key = tree ? tree->get() : nullptr;
    for (const std::string& name : split(keyPath.substr(kRootKeyName.size() + 1), '\\'))
        key = key != nullptr ? key->child(name) : nullptr;
    if (key != nullptr)
        dump(*key, keyPath, out);
}

void answer(const fs::path& batchFile, const fs::path& answersFile) {
    std::string out;
    // One reader per file, as a file is read once and then asked many times; a write drops it.
    std::map<std::string, ProfileFile> readers;
    for (const Query& q : readBatch(batchFile)) {
        if (q.kind == 'R' || q.kind == 'B') {
            auto it = readers.try_emplace(q.path, ProfileFile::atHostPath(q.path)).first;
            const std::string v = it->second.readText(q.section, q.key, kAbsent);
            out += v == kAbsent ? "-" : "V " + hex(v);
        } else if (q.kind == 'W') {
            readers.erase(q.source);
            try {
                ProfileFile::atHostPath(q.source).writeText(q.section, q.key, q.value);
                out += "1";
            } catch (const std::exception&) {
                out += "0";
            }
        } else if (q.kind == 'D') {
            dumpOurTree(q.source, q.section, out);
        } else { // the platform's actions: nothing of ours to do
            out += "1";
        }
        out += "\n";
    }
    writeHostFile(answersFile, out);
}

// ---- the differences kept on purpose, each with its reason; any other is a failure

using Reason = std::optional<std::string>;

// "V <hex>" -> the value; any other answer as it is.
std::string valueOf(const std::string& answer) {
    return answer.starts_with("V ") ? unhex(answer.substr(2)) : answer;
}

// The file names the section or the key only in another case of a letter beyond ASCII.
bool matchesOnlyBeyondAscii(std::string_view fileText, const Query& read) {
    const auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    for (const ini::ScannedLine& line : ini::scan(fileText))
        for (std::string_view asked : {std::string_view(read.section), std::string_view(read.key)})
            if (equalsNoCase(line.name, asked) && !std::ranges::equal(line.name, asked, {}, up, up))
                return true;
    return false;
}

Reason keptProfileDifference(std::string_view fileText, const Query& read,
                             const std::string& platform, const std::string& ours) {
    if (fs::path(read.path).filename().string().starts_with(kLoneCrPrefix))
        return "a CR alone ends a line for us, as in every text the wizard reads; Wine: LF only";
    if (matchesOnlyBeyondAscii(fileText, read))
        return "names differing only in the case of a letter beyond ASCII are one for us; Wine "
               "folds only ASCII";
    const std::string platformValue = valueOf(platform), ourValue = valueOf(ours);
    if (ourValue.size() == 1023 && platformValue == ourValue.substr(0, 1022) &&
        (fileText.find("\"" + ourValue + "\"") != std::string_view::npos ||
         fileText.find("'" + ourValue + "'") != std::string_view::npos))
        return "a quoted value of 1023 characters keeps them all for us; Wine loses the last";
    return std::nullopt;
}

// A value that the platform reads differently from the file we wrote than from its own.
Reason keptWriteDifference(std::string_view platformFileText, std::string_view ourFileText,
                           const Query& read) {
    if (matchesOnlyBeyondAscii(platformFileText, read) || matchesOnlyBeyondAscii(ourFileText, read))
        return "a write to a name differing only in the case of a letter beyond ASCII goes to "
               "that name for us; Wine adds another";
    bool underEmpty = false; // the key stands under a header with an empty name ("[]")
    for (const ini::ScannedLine& line : ini::scan(ourFileText)) {
        if (line.kind == ini::ScannedLine::Kind::Section)
            underEmpty = line.name.empty();
        else if (underEmpty && equalsNoCase(line.name, read.key))
            return "a write keeps every line it does not change for us; Wine drops a \"[]\" "
                   "header, joining its keys to the section before";
    }
    return std::nullopt;
}

// Registry dump items: "K <path>" or "V <path> <name> <type> <data>", texts in hex.
Reason keptRegistryDifference(const std::string& platformItem, const std::string& ourItem) {
    if (!ourItem.starts_with("V ") || split(ourItem, ' ')[3] != "1")
        return std::nullopt;
    if (platformItem == ourItem + "00")
        return "a string stored without its closing NUL: Wine's ANSI query adds one";
    if (platformItem.ends_with(' ') && platformItem + "00" == ourItem)
        return "an empty string stored without its NUL: REGEDIT4 holds it as \"\", which reads "
               "back with one (Wine's query adds none to an empty string)";
    return std::nullopt;
}

// ---- comparison

struct Tally {
    int passed = 0, failed = 0;
    std::map<std::string, int> kept; // reason -> cases

    void check(bool same, const Reason& reason, const std::string& what) {
        if (same)
            ++passed;
        else if (reason)
            ++kept[*reason];
        else if (++failed <= 40) // the rest are only counted
            std::cout << "FAIL " << what << "\n";
    }
};

// Bytes in a report: printable ASCII as it is, anything else as \xNN; long texts cut.
std::string printable(std::string_view bytes) {
    std::string out;
    for (const char c : bytes)
        out += c >= 0x20 && c < 0x7f && c != '\\' ? std::string(1, c) : "\\x" + hex({&c, 1});
    if (out.size() > 120)
        out = out.substr(0, 100) + "...(" + std::to_string(bytes.size()) + " bytes)";
    return "\"" + out + "\"";
}

std::string describe(const Query& q) {
    return q.path + " [" + printable(q.section) + "] " + printable(q.key);
}

// Every key and value item of a registry dump is one check.
void compareDumps(const Query& q, const std::string& platformDump, const std::string& ourDump,
                  Tally& tally) {
    const std::string file = "registry " + q.source.filename().string() + ": ";
    if (platformDump.empty())
        return tally.check(false, std::nullopt, file + "the platform has no dump");
    std::vector<std::string> platform = split(platformDump, ';'), ours = split(ourDump, ';');
    std::vector<std::string> onlyPlatform, onlyOurs;
    for (std::vector<std::string>* items : {&platform, &ours}) {
        std::erase(*items, "");
        std::ranges::sort(*items);
    }
    std::ranges::set_difference(platform, ours, std::back_inserter(onlyPlatform));
    std::ranges::set_difference(ours, platform, std::back_inserter(onlyOurs));
    tally.passed += static_cast<int>(platform.size() - onlyPlatform.size());
    for (const std::string& item : onlyPlatform) {
        Reason reason;
        const auto partner = std::ranges::find_if(onlyOurs, [&](const std::string& ourItem) {
            return (reason = keptRegistryDifference(item, ourItem)).has_value();
        });
        if (partner != onlyOurs.end())
            onlyOurs.erase(partner);
        tally.check(false, reason, file + "only the platform has " + item);
    }
    for (const std::string& item : onlyOurs)
        tally.check(false, std::nullopt, file + "only ours has " + item);
}

void compare(const fs::path& batchFile, const fs::path& platformFile, const fs::path& oursFile,
             Tally& tally) {
    const std::vector<Query> batch = readBatch(batchFile);
    const std::vector<std::string> platform = lines(platformFile), ours = lines(oursFile);
    if (platform.size() != batch.size() || ours.size() != batch.size())
        throw std::runtime_error(batchFile.string() + ": not one answer line a query");
    std::map<std::string, std::string> texts; // profile files, read once for the reasons
    const auto text = [&](const std::string& path) -> const std::string& {
        const auto [it, fresh] = texts.try_emplace(path);
        if (fresh)
            it->second = readHostFile(path).value_or(std::string());
        return it->second;
    };
    const auto shown = [](const std::string& answer) { return printable(valueOf(answer)); };
    for (std::size_t i = 0; i < batch.size(); ++i) {
        const Query& q = batch[i];
        if (q.kind == 'R' || q.kind == 'B' || q.kind == 'W') {
            const bool write = q.kind == 'W';
            tally.check(platform[i] == ours[i],
                        write ? std::nullopt
                              : keptProfileDifference(text(q.path), q, platform[i], ours[i]),
                        (write ? "write " + describe(q) + " = " + printable(q.value)
                               : "read " + describe(q)) +
                            ": platform " + shown(platform[i]) + ", ours " + shown(ours[i]));
        } else if (q.kind == 'D') {
            compareDumps(q, platform[i], ours[i], tally);
        } else { // a platform action must succeed for the checks after it
            tally.check(platform[i] == "1", std::nullopt,
                        std::string("platform action ") + q.kind + " on " + q.path + ": " +
                            platform[i]);
        }
        // A read-back pair: the platform reads its own written file and ours alike.
        const Query* next = i + 1 < batch.size() ? &batch[i + 1] : nullptr;
        if (q.kind == 'B' && next != nullptr && next->kind == 'B' && next->section == q.section &&
            next->key == q.key)
            tally.check(platform[i] == platform[i + 1],
                        keptWriteDifference(text(q.path), text(next->path), *next),
                        "written " + describe(*next) + ": the platform reads " +
                            shown(platform[i + 1]) + " from our file, " + shown(platform[i]) +
                            " from its own");
    }
}

} // namespace
} // namespace zel::conformance

int main(int argc, char** argv) {
    using namespace zel::conformance;
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 4 && args[0] == "generate") {
            generate(args[1], std::stoi(args[2]), static_cast<unsigned>(std::stoul(args[3])));
            return 0;
        }
        if (args.size() == 3 && args[0] == "answer") {
            answer(args[1], args[2]);
            return 0;
        }
        if (args.size() >= 4 && args.size() % 3 == 1 && args[0] == "compare") {
            Tally tally;
            for (std::size_t i = 1; i + 2 < args.size(); i += 3)
                compare(args[i], args[i + 1], args[i + 2], tally);
            for (const auto& [reason, count] : tally.kept)
                std::cout << "kept difference (" << count << (count == 1 ? " case): " : " cases): ")
                          << reason << "\n";
            std::cout << tally.passed << " passed, " << tally.failed << " failed\n";
            return tally.failed == 0 ? 0 : 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "zel-conformance: " << e.what() << "\n";
        return 2;
    }
    std::cerr << "usage: zel-conformance generate DIR FILES SEED | answer BATCH ANSWERS | "
                 "compare (BATCH PLATFORM_ANSWERS OUR_ANSWERS)...\n";
    return 2;
}
