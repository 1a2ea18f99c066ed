// Our side of the conformance suite (conformance/run runs it beside probe.c under Wine):
// generates the cases, answers a batch through our layer, and compares both sides' answers.
#include "conformance/cases.h"

#include "winemu/cp1252.h"
#include "winemu/host_file.h"
#include "winemu/profile.h"
#include "winemu/regedit4.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;
using namespace zel::conformance;

namespace {

using Answer = std::vector<std::string>; // one line, or a dump's lines without its "."
using Reason = std::optional<std::string>;

std::string unhex(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out += static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16));
    return out;
}

// "V <hex>" -> the value; any other answer as it is.
std::string value(const Answer& a) {
    return a.empty() ? std::string() : a[0].starts_with("V ") ? unhex(a[0].substr(2)) : a[0];
}

// Bytes in a report: printable ASCII as it is, anything else as \xNN; long texts cut.
std::string printable(std::string_view bytes) {
    std::string out;
    for (const char c : bytes)
        out += c >= 0x20 && c < 0x7f && c != '\\' ? std::string(1, c) : "\\x" + hex({&c, 1});
    if (out.size() > 120)
        out = out.substr(0, 100) + "...(" + std::to_string(bytes.size()) + " bytes)";
    return "\"" + out + "\"";
}

std::vector<std::string> split(std::string_view line, char separator) {
    std::vector<std::string> f;
    for (std::size_t start = 0, end = 0; end != std::string_view::npos; start = end + 1) {
        end = line.find(separator, start);
        f.emplace_back(line.substr(start, end == std::string_view::npos ? end : end - start));
    }
    return f;
}

// The lines of a file (both sides end them with LF alone); none after the last line end.
std::vector<std::string> lines(const fs::path& file) {
    const auto text = zel::readHostFile(file);
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
        if (f.size() != 6 || f[0].size() != 1 ||
            std::string_view("RBWIED").find(line[0]) == std::string_view::npos)
            throw std::runtime_error("unknown query in " + file.string() + ": " + line);
        batch.push_back({line[0], f[1], unhex(f[2]), unhex(f[3]), unhex(f[4]), f[5]});
    }
    return batch;
}

std::vector<Answer> readAnswers(const fs::path& file, const std::vector<Query>& batch) {
    const std::vector<std::string> all = lines(file);
    std::vector<Answer> answers;
    auto at = all.begin();
    for (const Query& q : batch) {
        const bool dump = q.kind == 'D'; // lines up to a "."; any other answer is one line
        const auto end = dump ? std::find(at, all.end(), ".") : at + (at != all.end());
        if (end == (dump ? all.end() : at))
            throw std::runtime_error(file.string() + ": an answer is missing or has no end");
        answers.emplace_back(at, end);
        at = end + dump;
    }
    if (at != all.end())
        throw std::runtime_error(file.string() + ": more answers than queries");
    return answers;
}

// ---- the differences kept on purpose, each with its reason; any other is a failure.

// The file names the section or the key only in another case of a letter beyond ASCII.
bool matchesOnlyBeyondAscii(std::string_view fileText, const Query& read) {
    const auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    for (const zel::ini::ScannedLine& line : zel::ini::scan(fileText))
        for (std::string_view asked : {std::string_view(read.section), std::string_view(read.key)})
            if (zel::equalsNoCase(line.name, asked) &&
                !std::ranges::equal(line.name, asked, {}, up, up))
                return true;
    return false;
}

Reason keptProfileDifference(std::string_view fileText, const Query& read, const Answer& platform,
                             const Answer& ours) {
    if (fs::path(read.path).filename().string().starts_with(kLoneCrPrefix))
        return "a CR alone ends a line for us, as in every text the wizard reads; Wine: LF only";
    if (matchesOnlyBeyondAscii(fileText, read))
        return "names differing only in the case of a letter beyond ASCII are one for us; Wine "
               "folds only ASCII";
    const std::string platformValue = value(platform), ourValue = value(ours);
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
    for (const zel::ini::ScannedLine& line : zel::ini::scan(ourFileText)) {
        if (line.kind == zel::ini::ScannedLine::Kind::Section)
            underEmpty = line.name.empty();
        else if (underEmpty && zel::equalsNoCase(line.name, read.key))
            return "a write keeps every line it does not change for us; Wine drops a \"[]\" "
                   "header, joining its keys to the section before";
    }
    return std::nullopt;
}

// Registry dump lines: "K <path>" or "V <path> <name> <type> <data>", texts in hex.
Reason keptRegistryDifference(const std::string& platformLine, const std::string& ourLine) {
    if (!ourLine.starts_with("V ") || split(ourLine, ' ')[3] != "1")
        return std::nullopt;
    if (platformLine == ourLine + "00")
        return "a string stored without its closing NUL: Wine's ANSI query adds one";
    if (platformLine.ends_with(' ') && platformLine + "00" == ourLine)
        return "an empty string stored without its NUL: REGEDIT4 holds it as \"\", which reads "
               "back with one (Wine's query adds none to an empty string)";
    return std::nullopt;
}

std::string describeDumpLine(std::string_view line) {
    const std::vector<std::string> f = split(line, ' ');
    std::string out = f[0];
    for (std::size_t i = 1; i < f.size(); ++i) // the type (the fourth field) is not in hex
        out += " " + (i == 3 ? f[i] : printable(unhex(f[i])));
    return out;
}

// ---- our answers

void dump(const zel::RegKey& key, const std::string& path, std::string& out) {
    out += "K " + hex(path) + "\n";
    for (const zel::RegValue& v : key.values)
        out += "V " + hex(path) + " " + hex(v.name) + " " +
               std::to_string(static_cast<std::uint32_t>(v.type)) + " " +
               hex(std::string(v.data.begin(), v.data.end())) + "\n";
    for (const auto& child : key.children)
        dump(*child, path + "\\" + child->name, out);
}

// The tree under keyPath in a registry file, in the probe's dump lines.
void dumpOurTree(const fs::path& file, const std::string& keyPath, std::string& out) {
    const auto text = zel::readHostFile(file);
    auto tree = text ? zel::parseRegistryFile(*text) : std::nullopt;
    if (text && !tree)
        out += "unreadable " + file.string() + "\n";
    const zel::RegKey* key = tree ? tree->get() : nullptr;
    for (const std::string& name : split(keyPath.substr(zel::kRootKeyName.size() + 1), '\\'))
        key = key != nullptr ? key->child(name) : nullptr;
    if (key != nullptr)
        dump(*key, keyPath, out);
}

int answer(const fs::path& batchFile, const fs::path& answersFile) {
    std::string out;
    // One reader per file, as a file is read once and then asked many times; a write drops it.
    std::map<std::string, zel::ProfileFile> readers;
    for (const Query& q : readBatch(batchFile)) {
        if (q.kind == 'R' || q.kind == 'B') {
            auto it = readers.try_emplace(q.path, zel::ProfileFile::atHostPath(q.path)).first;
            const std::string v = it->second.readText(q.section, q.key, kAbsent);
            out += v == kAbsent ? "-" : "V " + hex(v);
        } else if (q.kind == 'W') { // the platform writes q.path, we write its twin q.source
            readers.erase(q.source);
            try {
                zel::ProfileFile::atHostPath(q.source).writeText(q.section, q.key, q.value);
                out += "1";
            } catch (const std::exception&) {
                out += "0";
            }
        } else if (q.kind == 'D') {
            dumpOurTree(q.source, q.section, out);
            out += ".";
        } else { // the platform's actions: nothing of ours to do
            out += "1";
        }
        out += "\n";
    }
    zel::writeHostFile(answersFile, out);
    return 0;
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

std::string describe(const Query& q) {
    return q.path + " [" + printable(q.section) + "] " + printable(q.key);
}

std::string shown(const Answer& a) {
    return a.empty() ? "(nothing)" : printable(value(a));
}

// Every key and value line of a registry dump is one check.
void compareDumps(const Query& q, Answer platform, Answer ours, Tally& tally) {
    const std::string file = "registry " + q.source.filename().string();
    if (platform.empty())
        return tally.check(false, std::nullopt, file + ": the platform has no dump");
    std::ranges::sort(platform);
    std::ranges::sort(ours);
    Answer onlyPlatform, onlyOurs;
    std::ranges::set_difference(platform, ours, std::back_inserter(onlyPlatform));
    std::ranges::set_difference(ours, platform, std::back_inserter(onlyOurs));
    tally.passed += static_cast<int>(platform.size() - onlyPlatform.size());
    for (const std::string& line : onlyPlatform) {
        Reason reason;
        const auto partner = std::ranges::find_if(onlyOurs, [&](const std::string& ourLine) {
            return (reason = keptRegistryDifference(line, ourLine)).has_value();
        });
        if (partner != onlyOurs.end())
            onlyOurs.erase(partner);
        tally.check(false, reason, file + ": only the platform has " + describeDumpLine(line));
    }
    for (const std::string& line : onlyOurs)
        tally.check(false, std::nullopt, file + ": only ours has " + describeDumpLine(line));
}

void compare(const fs::path& batchFile, const fs::path& platformFile, const fs::path& oursFile,
             Tally& tally) {
    const std::vector<Query> batch = readBatch(batchFile);
    const std::vector<Answer> platform = readAnswers(platformFile, batch);
    const std::vector<Answer> ours = readAnswers(oursFile, batch);
    std::map<std::string, std::string> texts; // profile files, read once for the reasons
    const auto text = [&](const std::string& path) -> const std::string& {
        const auto [it, fresh] = texts.try_emplace(path);
        if (fresh)
            it->second = zel::readHostFile(path).value_or(std::string());
        return it->second;
    };
    for (std::size_t i = 0; i < batch.size(); ++i) {
        const Query& q = batch[i];
        const Query* next = i + 1 < batch.size() ? &batch[i + 1] : nullptr;
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
            tally.check(!platform[i].empty() && platform[i][0] == "1", std::nullopt,
                        std::string("platform action ") + q.kind + " on " + q.path + ": " +
                            shown(platform[i]));
        }
        // A read-back pair: the platform reads its own written file and ours alike.
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

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 4 && args[0] == "generate")
            return generate(args[1], std::stoi(args[2]),
                            static_cast<unsigned>(std::stoul(args[3])));
        if (args.size() == 3 && args[0] == "answer")
            return answer(args[1], args[2]);
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
