// Our side of the conformance suite (conformance/run runs it beside probe.c under Wine): it
// generates profile files, answers a batch of queries through our layer and compares both
// sides' answers. A query is a line of five tab-separated fields, texts in hex so that any
// byte travels; each gets one answer line:
//   R, B  read a profile value (B: a written file read back): "V <hex value>", "-" for the default
//   W     write a profile value, the platform to path, ours to its twin in ../ours: "1", "0"
#include "winemu/cp1252.h"
#include "winemu/host_file.h"
#include "winemu/profile.h"

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
    std::string path, section, key, value;
};

// The default of every read, so that "not found" is told from any value.
constexpr std::string_view kAbsent = "\x01zel-absent\x01";

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

// The lines of a file (both sides end them with LF alone); none after the last line end.
std::vector<std::string> lines(const fs::path& file) {
    const auto text = readHostFile(file);
    if (!text)
        throw std::runtime_error(file.string() + ": no such file");
    std::vector<std::string> out;
    for (std::size_t start = 0, end = 0; start < text->size(); start = end + 1) {
        end = std::min(text->find('\n', start), text->size());
        out.push_back(text->substr(start, end - start));
    }
    return out;
}

// ---- the cases: profile files of every shape kits write

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

// Line ends CR LF, LF or both mixed; the last line with or without its own.
ProfileCase profile(Random& r, int maxSections) {
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
    const int style = below(r, 10);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        c.content += lines[i];
        if (i + 1 < lines.size() || !chance(r, 20))
            c.content += style < 4 ? "\r\n" : style < 7 || chance(r, 50) ? "\n" : "\r\n";
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
                batch.push_back({kind, path, section, key, ""});
}

// Writes into dir the profile files (profiles/, written/platform, written/ours) and two
// batches: batch-1.txt reads and writes; batch-2.txt, once both have written, reads the written
// files back. The same seed gives the same cases.
void generate(const fs::path& dir, int files, unsigned seed) {
    Random r(seed);
    fs::remove_all(dir);
    for (const char* sub : {"profiles", "written/platform", "written/ours"})
        fs::create_directories(dir / sub);
    std::vector<Query> batch, second;

    // Reads: every name the file uses and its other spellings, against every key.
    for (int i = 0; i < files; ++i) {
        const fs::path file = dir / "profiles" / ("p" + std::to_string(i) + ".ini");
        const ProfileCase c = profile(r, 6);
        writeHostFile(file, c.content);
        addReads(batch, 'R', {file.string()}, c);
    }
    // Writes: the same writes on two copies of one file, the platform's and ours; then each
    // name of both is read back from both, in pairs.
    for (int i = 0; i < files / 5; ++i) {
        const std::string name = "w" + std::to_string(i) + ".ini";
        const fs::path platformFile = dir / "written/platform" / name;
        ProfileCase c = chance(r, 10) ? ProfileCase{} : profile(r, 3);
        writeHostFile(platformFile, c.content);
        writeHostFile(dir / "written/ours" / name, c.content);
        for (int w = 1 + below(r, 4); w > 0; --w) {
            const std::string& section = pick(r, kSectionNames);
            const std::string& key = pick(r, kKeyNames);
            std::string v = chance(r, 80) ? value(r) : blank(r) + text(r, 5) + blank(r);
            c.sections.insert(section);
            c.keys.insert(key);
            batch.push_back({'W', platformFile.string(), section, key, v});
        }
        addReads(second, 'B', {platformFile.string(), (dir / "written/ours" / name).string()}, c);
    }
    for (const auto& [name, queries] :
         {std::pair{"batch-1.txt", &batch}, {"batch-2.txt", &second}}) {
        std::string out;
        for (const Query& q : *queries)
            out += std::string(1, q.kind) + "\t" + q.path + "\t" + hex(q.section) + "\t" +
                   hex(q.key) + "\t" + hex(q.value) + "\n";
        writeHostFile(dir / name, out);
    }
}

// ---- our answers

std::vector<Query> readBatch(const fs::path& file) {
    std::vector<Query> batch;
    for (const std::string& line : lines(file)) {
        std::vector<std::string> f;
        for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
            end = line.find('\t', start);
            f.push_back(line.substr(start, end - start));
        }
        if (f.size() != 5 || f[0].size() != 1)
            throw std::runtime_error("unknown query in " + file.string() + ": " + line);
        batch.push_back({line[0], f[1], unhex(f[2]), unhex(f[3]), unhex(f[4])});
    }
    return batch;
}

// The platform writes written/platform/NAME, we write written/ours/NAME.
fs::path ourTwin(const fs::path& platformFile) {
    return platformFile.parent_path().parent_path() / "ours" / platformFile.filename();
}

void answer(const fs::path& batchFile, const fs::path& answersFile) {
    std::string out;
    // One reader per file, as a file is read once and then asked many times; a write drops it.
    std::map<std::string, ProfileFile> readers;
    for (const Query& q : readBatch(batchFile)) {
        if (q.kind == 'W') {
            readers.erase(ourTwin(q.path));
            try {
                ProfileFile::atHostPath(ourTwin(q.path)).writeText(q.section, q.key, q.value);
                out += "1\n";
            } catch (const std::exception&) {
                out += "0\n";
            }
            continue;
        }
        auto it = readers.try_emplace(q.path, ProfileFile::atHostPath(q.path)).first;
        const std::string v = it->second.readText(q.section, q.key, kAbsent);
        out += (v == kAbsent ? "-" : "V " + hex(v)) + "\n";
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
        const bool write = q.kind == 'W';
        tally.check(
            platform[i] == ours[i],
            write ? std::nullopt : keptProfileDifference(text(q.path), q, platform[i], ours[i]),
            (write ? "write " + describe(q) + " = " + printable(q.value) : "read " + describe(q)) +
                ": platform " + shown(platform[i]) + ", ours " + shown(ours[i]));
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
