// Our side of the conformance suite beside probe.c: makes the cases, answers a batch through our
// layer, compares. Query: kind, path, hex section, key and value, source. Answers: R, B "V <hex>";
// W (platform to path, ours to source), I, E (regedit imports, exports) "1"; D "K", "V" items.
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
    std::string kind, path, section, key, value, source; // section: for D and E the registry key
};

constexpr std::string_view kAbsent = "\x01zel-absent\x01"; // every read's default: none found
const std::string kLoneCrPrefix = "cr-p"; // names the files whose lines also end with CR alone

std::string hex(std::string_view bytes) {
    std::string out;
    for (const unsigned char c : bytes)
        out += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
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

struct Random : std::mt19937 {
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(*this); }
    bool chance(int percent) { return below(100) < percent; }
    std::string blank() { return std::array{"", " ", "  ", "\t", " \t "}[below(5)]; }
    const std::string& pick(const std::vector<std::string>& of) { return of[below(of.size())]; }
};

// Spellings of one name: letter case, code page 1252 letters (c-cedilla, a-tilde, y-diaeresis...).
const std::vector<std::string> kSectionNames = {
    "Setup",        "setup",           "SETUP",       "Patro2",      "patro2",
    "Zel Internet", "Trumpet Winsock", "Se\xe7\xe3o", "SE\xc7\xc3O", "\xfftem",
    "\x9fTEM",      "\x9a\x61la",      "\x8a\x41LA",  "a;b"};
const std::vector<std::string> kKeyNames = {
    "Arquivo", "ARQUIVO",     "arquivo",  "Imagem",   "imagem", "destino",
    "grupo",   "Chave Longa", "ch\xe1ve", "CH\xc1VE", "n\xba",  "\xe6sir",
    "\xc6SIR", "k1",          "k2",       "[k3]",     "k;4"};

// Text bytes as kits write them: ASCII, code page 1252 letters and signs, blanks inside.
std::string text(Random& r, int length) {
    static const std::string alphabet =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,:-_/\\()[]{}$%&+*#!?@~"
        "\xe1\xe9\xed\xf3\xfa\xe7\xe3\xf5\xc1\xc9\xc7\xc3\xaa\xba\x80\x91\x92\x93\x94\xa0\xff";
    std::string out;
    for (int i = 0; i < length; ++i)
        out += alphabet[r.below(alphabet.size())];
    return out;
}

std::string value(Random& r) {
    switch (r.below(14)) {
    case 0: return "";
    case 1: return "\"" + text(r, r.below(12)) + "\"";
    case 2: return "'" + text(r, r.below(12)) + "'";
    case 3: return "\"" + text(r, 1 + r.below(8)); // an opening quote alone
    case 4: return "\"" + text(r, 3) + "'";
    case 5: return "\" " + text(r, 4) + " \"";
    case 6:
    case 7: return text(r, 1022 + r.below(479)); // about the 1023-character cut
    case 8: return "\"" + text(r, 1021 + r.below(5)) + "\"";
    case 9: return text(r, 3) + "=" + text(r, 3);
    case 10: return text(r, 4) + " ;" + text(r, 4);
    case 11: return "\"";
    default: return text(r, 1 + r.below(30));
    }
}

// Line forms: N the name, V the value, _ blanks, T a text; draws beyond the list take the first.
const std::vector<std::string_view> kSectionForms = {"[N]", "_[N]_", "[_N_]", "[N] ; T", "[N]T",
                                                     "_[N", "[N]]",  "[N]x]", "[N=T",    "[]"};
const std::vector<std::string_view> kKeyForms = {"N=V", "_N_=_V_", "N=",   "N_=_", "N",
                                                 "=V",  "N==V",    ";N=V", "_;N=V"};
const std::vector<std::string_view> kOtherForms = {"", "_", "; T", "T T"}; // no section or key

std::string line(Random& r, const std::vector<std::string_view>& forms, int draws,
                 const std::string& name = "", const std::string& v = "") {
    const auto at = static_cast<std::size_t>(r.below(draws));
    std::string out;
    for (const char c : forms[at < forms.size() ? at : 0])
        out += c == 'N'   ? name
               : c == 'V' ? v
               : c == '_' ? r.blank()
               : c == 'T' ? text(r, 5)
                          : std::string(1, c);
    return out;
}

struct ProfileCase {
    std::string content;
    std::set<std::string> sections, keys; // names the file uses
};

// Line ends: one throughout or mixed, CR LF or LF (with loneCr CR too); the last one optional.
ProfileCase profile(Random& r, int maxSections, bool loneCr = false) {
    ProfileCase c;
    std::vector<std::string> lines;
    const auto addKeys = [&](int n) {
        for (int i = 0; i < n; ++i) {
            const std::string& key = r.chance(15) ? "" : *c.keys.insert(r.pick(kKeyNames)).first;
            lines.push_back(key.empty() ? line(r, kOtherForms, 5)
                                        : line(r, kKeyForms, 16, key, value(r)));
        }
    };
    if (r.chance(20))
        addKeys(1 + r.below(2)); // keys before any section belong to none
    for (int s = r.below(maxSections); s >= 0; --s) {
        const std::string& name = *c.sections.insert(r.pick(kSectionNames)).first;
        lines.push_back(line(r, kSectionForms, 16, name));
        addKeys(r.below(9));
    }
    const int style = r.below(10);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        c.content += lines[i];
        if (i + 1 == lines.size() && r.chance(20))
            break;
        const int mixed = r.below(loneCr ? 3 : 2), fixed = loneCr ? 2 : style < 4 ? 0 : 1;
        c.content += std::array{"\r\n", "\n", "\r"}[style < (loneCr ? 5 : 7) ? fixed : mixed];
    }
    return c;
}

// The file's own names, one in none, and pool names unlike one of them in length or first letter.
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

void addReads(std::vector<Query>& batch, const char* kind, const std::vector<std::string>& paths,
              const ProfileCase& c) {
    for (const std::string& section : askedNames(c.sections, kSectionNames, "Nenhuma"))
        for (const std::string& key : askedNames(c.keys, kKeyNames, "nenhuma"))
            for (const std::string& path : paths)
                batch.push_back({kind, path, section, key, "", {}});
}

// A value of each kind kits and our registry keep, some with no plain text form.
std::pair<RegType, std::string> registryValue(Random& r) {
    const int kind = r.below(14);
    const std::string t = text(r, r.below(60)), nul(1, '\0');
    switch (kind) {
    case 0: return {RegType::DWord, std::string("\x2a\0\0\0", 4)};
    case 1: {
        std::string data(static_cast<std::size_t>(r.below(300)), '\0');
        for (char& b : data)
            b = static_cast<char>(r.below(256));
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
    const std::string longKey = "\\" + std::string(255, 'L');
    const std::vector<std::string> subs = {
        longKey,     "",        "\\Sub", "\\Espa\xe7o em disco", "\\dots.dash-\\a b", "\\[bracket]",
        "\\q\"uote", "\\Empty", deep};
    const std::string longName(200, 'v');
    const std::vector<std::string> valueNames = {
        "Nome", "with \"quote\"", "back\\slash", "\xe9",  "ProgramFilesDir", "=", "[x]", "@",
        "a;b",  " lead",          "trail ",      longName};
    for (const std::string& sub : subs) {
        if (!reg.openKey(base + sub, true))
            throw std::runtime_error("cannot create " + base + sub);
        if (sub != "\\Empty" && r.chance(50))
            reg.writeString("", text(r, r.below(20))); // the default value
        for (const std::string& name : valueNames)
            if (sub != "\\Empty" && !r.chance(30)) {
                const auto [type, data] = registryValue(r);
                reg.writeValue(name, type, {data.begin(), data.end()});
            }
    }
}

void generate(const fs::path& dir, int files, unsigned seed) {
    Random r{std::mt19937(seed)};
    for (const char* sub : {"profiles", "written/platform", "written/ours", "registry"})
        fs::create_directories(dir / sub);
    std::vector<Query> batch, second; // batch-2.txt: what needs both sides' writes done first
    // Reads of every name the file uses and its other spellings; a tenth more end lines with CR.
    for (int i = 0; i < files + files / 10; ++i) {
        const bool loneCr = i >= files;
        const fs::path file =
            dir / "profiles" / ((loneCr ? kLoneCrPrefix : "p") + std::to_string(i) + ".ini");
        const ProfileCase c = profile(r, 6, loneCr);
        writeHostFile(file, c.content);
        addReads(batch, "R", {file.string()}, c);
    }
    // The same writes on the platform's and our copy of a file, each name read back from both.
    for (int i = 0; i < files / 5; ++i) {
        const std::string name = "w" + std::to_string(i) + ".ini";
        const fs::path platformFile = dir / "written/platform" / name,
                       ourFile = dir / "written/ours" / name;
        ProfileCase c = r.chance(10) ? ProfileCase{} : profile(r, 3);
        writeHostFile(platformFile, c.content);
        writeHostFile(ourFile, c.content);
        // The braced list draws in order: the section, the key, the value.
        for (int w = 1 + r.below(4); w > 0; --w)
            batch.push_back(
                {"W", platformFile.string(), *c.sections.insert(r.pick(kSectionNames)).first,
                 *c.keys.insert(r.pick(kKeyNames)).first,
                 r.chance(80) ? value(r) : r.blank() + text(r, 5) + r.blank(), ourFile.string()});
        addReads(second, "B", {platformFile.string(), ourFile.string()}, c);
    }
    // Our registry file imported by the platform's regedit, then exported by it as REGEDIT4.
    const fs::path system = dir / "registry/system.reg", exported = dir / "registry/exported.reg";
    fillRegistry(r, system);
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\ZelConformance";
    second.insert(second.end(), {{"I", system.string(), "", "", "", {}},
                                 {"D", "", key, "", "", system.string()},
                                 {"E", exported.string(), key, "", "", {}},
                                 {"D", "", key, "", "", exported.string()}});
    for (const auto& [name, queries] :
         {std::pair{"batch-1.txt", &batch}, {"batch-2.txt", &second}}) {
        std::string out;
        for (const Query& q : *queries)
            out += q.kind + "\t" + q.path + "\t" + hex(q.section) + "\t" + hex(q.key) + "\t" +
                   hex(q.value) + "\t" + q.source + "\n";
        writeHostFile(dir / name, out);
    }
}

std::vector<std::string> lines(const fs::path& file) {
    std::vector<std::string> out = split(readHostFile(file).value_or(""), '\n');
    out.pop_back();
    return out;
}

std::vector<Query> readBatch(const fs::path& file) {
    std::vector<Query> batch;
    for (const std::string& line : lines(file)) {
        const std::vector<std::string> f = split(line, '\t');
        if (f.size() != 6 || f[0].size() != 1)
            throw std::runtime_error("unknown query in " + file.string() + ": " + line);
        batch.push_back({f[0], f[1], unhex(f[2]), unhex(f[3]), unhex(f[4]), f[5]});
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
    const auto tree = parseRegistryFile(readHostFile(file).value_or(""));
    const RegKey* key = tree ? tree->get() : nullptr;
    for (const std::string& name : split(keyPath.substr(kRootKeyName.size() + 1), '\\'))
        key = key != nullptr ? key->child(name) : nullptr;
    if (key != nullptr)
        dump(*key, keyPath, out);
}

void answer(const fs::path& batchFile, const fs::path& answersFile) {
    std::string out;
    // One reader per file, read once and then asked many times (no batch writes what it reads).
    std::map<std::string, ProfileFile> readers;
    for (const Query& q : readBatch(batchFile)) {
        if (q.kind == "W")
            ProfileFile::atHostPath(q.source).writeText(q.section, q.key, q.value);
        if (q.kind == "R" || q.kind == "B")
            out += "V " + hex(readers.try_emplace(q.path, ProfileFile::atHostPath(q.path))
                                  .first->second.readText(q.section, q.key, kAbsent));
        else if (q.kind == "D")
            dumpOurTree(q.source, q.section, out);
        else // W (written above: a failure ends the run); I and E are the platform's alone
            out += "1";
        out += "\n";
    }
    writeHostFile(answersFile, out);
}

using Reason = std::optional<std::string>;

std::string valueOf(const std::string& answer) {
    return answer.starts_with("V ") ? unhex(answer.substr(2)) : answer;
}

// The file names the section or the key only in another case of a letter beyond ASCII.
bool matchesOnlyBeyondAscii(const Query& read) {
    const auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    const std::string text = readHostFile(read.path).value_or(""); // scanned lines point in
    for (const ini::ScannedLine& line : ini::scan(text))
        for (std::string_view asked : {std::string_view(read.section), std::string_view(read.key)})
            if (equalsNoCase(line.name, asked) && !std::ranges::equal(line.name, asked, {}, up, up))
                return true;
    return false;
}

Reason keptProfileDifference(const Query& read, const std::string& platform,
                             const std::string& ours) {
    if (fs::path(read.path).filename().string().starts_with(kLoneCrPrefix))
        return "a CR alone ends a line for us, as in every text the wizard reads; Wine: LF only";
    if (matchesOnlyBeyondAscii(read))
        return "names differing only in the case of a letter beyond ASCII are one for us; Wine "
               "folds only ASCII";
    const std::string platformValue = valueOf(platform), ourValue = valueOf(ours),
                      text = readHostFile(read.path).value_or("");
    if (ourValue.size() == 1023 && platformValue == ourValue.substr(0, 1022) &&
        (text.find("\"" + ourValue + "\"") != std::string::npos ||
         text.find("'" + ourValue + "'") != std::string::npos))
        return "a quoted value of 1023 characters keeps them all for us; Wine loses the last";
    return std::nullopt;
}

// A value that the platform reads differently from the file we wrote than from its own.
Reason keptWriteDifference(const Query& platformRead, const Query& ourRead) {
    if (matchesOnlyBeyondAscii(platformRead) || matchesOnlyBeyondAscii(ourRead))
        return "a write to a name differing only in the case of a letter beyond ASCII goes to "
               "that name for us; Wine adds another";
    bool underEmpty = false; // the key stands under a header with an empty name ("[]")
    const std::string text = readHostFile(ourRead.path).value_or("");
    for (const ini::ScannedLine& line : ini::scan(text)) {
        if (line.kind == ini::ScannedLine::Kind::Section)
            underEmpty = line.name.empty();
        else if (underEmpty && equalsNoCase(line.name, ourRead.key))
            return "a write keeps every line it does not change for us; Wine drops a \"[]\" "
                   "header, joining its keys to the section before";
    }
    return std::nullopt;
}

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
    std::string out = "\"";
    for (const char c : bytes.substr(0, 100))
        out += c >= 0x20 && c < 0x7f && c != '\\' ? std::string(1, c) : "\\x" + hex({&c, 1});
    return out + "\"" +
           (bytes.size() > 100 ? "...(" + std::to_string(bytes.size()) + " bytes)" : "");
}

std::string describe(const Query& q) {
    return q.kind + " " + q.path + " [" + printable(q.section) + "] " + printable(q.key) +
           (q.kind == "W" ? " = " + printable(q.value) : "");
}

// Every key and value item of a registry dump is one check (a string's type is 1).
void compareDumps(const Query& q, const std::string& platformDump, const std::string& ourDump,
                  Tally& tally) {
    const std::string file = "registry " + fs::path(q.source).filename().string() + ": ";
    const std::vector<std::string> p = split(platformDump, ';'), o = split(ourDump, ';');
    std::set<std::string> platform(p.begin(), p.end() - 1), ours(o.begin(), o.end() - 1);
    for (const std::string& item : platform) {
        const bool string = item.starts_with("V ") && split(item, ' ')[3] == "1";
        if (ours.erase(item) == 1)
            ++tally.passed;
        else if (string && item.ends_with("00") && ours.erase(item.substr(0, item.size() - 2)))
            ++tally.kept["a string stored without its closing NUL: Wine's ANSI query adds one"];
        else if (string && item.ends_with(' ') && ours.erase(item + "00"))
            ++tally.kept["an empty string stored without its NUL: REGEDIT4 holds it as \"\", "
                         "which reads back with one (Wine's query adds none to an empty string)"];
        else
            tally.check(false, std::nullopt, file + "only the platform has " + item);
    }
    for (const std::string& item : ours)
        tally.check(false, std::nullopt, file + "only ours has " + item);
}

int compare(const std::vector<std::string>& args) {
    Tally tally;
    for (std::size_t f = 1; f + 2 < args.size(); f += 3) {
        const std::vector<Query> batch = readBatch(args[f]);
        const std::vector<std::string> platform = lines(args[f + 1]), ours = lines(args[f + 2]);
        if (platform.size() != batch.size() || ours.size() != batch.size())
            throw std::runtime_error(args[f] + ": not one answer line a query");
        const auto shown = [](const std::string& answer) { return printable(valueOf(answer)); };
        for (std::size_t i = 0; i < batch.size(); ++i) {
            const Query& q = batch[i];
            const bool same = platform[i] == ours[i], read = q.kind == "R" || q.kind == "B";
            if (q.kind == "D")
                compareDumps(q, platform[i], ours[i], tally);
            else
                tally.check(
                    same, same || !read ? Reason() : keptProfileDifference(q, platform[i], ours[i]),
                    describe(q) + ": platform " + shown(platform[i]) + ", ours " + shown(ours[i]));
            // B queries pair a read of the platform's written file with ours: both read alike.
            if (q.kind == "B" && i % 2 == 0) {
                const bool alike = platform[i] == platform[i + 1];
                tally.check(alike, alike ? Reason() : keptWriteDifference(q, batch[i + 1]),
                            describe(batch[i + 1]) + ": platform " + shown(platform[i + 1]) +
                                ", from its own file " + shown(platform[i]));
            }
        }
    }
    for (const auto& [reason, count] : tally.kept)
        std::cout << "kept difference (cases: " << count << "): " << reason << "\n";
    std::cout << tally.passed << " passed, " << tally.failed << " failed\n";
    return tally.failed == 0 ? 0 : 1;
}

} // namespace
} // namespace zel::conformance

int main(int argc, char** argv) {
    using namespace zel::conformance;
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 4 && args[0] == "generate")
            generate(args[1], std::stoi(args[2]), static_cast<unsigned>(std::stoul(args[3])));
        else if (args.size() == 3 && args[0] == "answer")
            answer(args[1], args[2]);
        else if (args.size() >= 4 && args.size() % 3 == 1 && args[0] == "compare")
            return compare(args);
        else
            throw std::runtime_error(
                "usage: zel-conformance generate DIR FILES SEED | answer BATCH "
                "ANSWERS | compare (BATCH PLATFORM_ANSWERS OUR_ANSWERS)...");
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "zel-conformance: " << e.what() << "\n";
        return 2;
    }
}
