// Our side of the conformance suite against the platform's own functions (run under Wine by
// tests/conformance/run). It generates the cases, answers the same batch of queries that the
// platform probe (probe.c) answers, through our layer, and compares the two sets of answers.
//
//   zel-conformance generate DIR FILES SEED   profile files, registry file and the batch
//   zel-conformance answer BATCH ANSWERS      our answers (profile writes are carried out)
//   zel-conformance compare (BATCH PLATFORM OURS)...
//                                             every difference, the kept ones with their
//                                             reason, and "N passed, N failed"
//
// The batch format is the probe's (see probe.c); ours reads two more fields: a dump ("D") names
// the registry file whose tree we read, and a read-back pair ("B") marks the profile files
// written by the platform and by us with the same writes.
#include "tests/conformance/cases.h"

#include "winemu/host_file.h"
#include "winemu/profile.h"
#include "winemu/regedit4.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;
using namespace zel::conformance;

namespace {

// ---- our answers ------------------------------------------------------------------------------

std::vector<std::string> dumpOurTree(const fs::path& file, const std::string& keyPath) {
    std::vector<std::string> lines;
    const auto text = zel::readHostFile(file);
    if (!text)
        return lines;
    auto tree = zel::parseRegistryFile(*text);
    if (!tree)
        return {"unreadable " + file.string()};
    const zel::RegKey* key = tree->get();
    std::string_view rest = keyPath;
    rest.remove_prefix(std::min(rest.size(), zel::kRootKeyName.size()));
    while (key && !rest.empty()) {
        if (rest.front() == '\\')
            rest.remove_prefix(1);
        const std::size_t end = rest.find('\\');
        key = key->child(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    }
    if (!key)
        return lines;
    // Depth first, as the probe walks the platform's tree.
    std::vector<std::pair<const zel::RegKey*, std::string>> pending{{key, keyPath}};
    while (!pending.empty()) {
        auto [k, path] = pending.back();
        pending.pop_back();
        lines.push_back("K " + hex(path));
        for (const zel::RegValue& v : k->values)
            lines.push_back("V " + hex(path) + " " + hex(v.name) + " " +
                            std::to_string(static_cast<std::uint32_t>(v.type)) + " " +
                            hex(std::string(v.data.begin(), v.data.end())));
        for (const auto& child : k->children)
            pending.emplace_back(child.get(), path + "\\" + child->name);
    }
    return lines;
}

int answer(const fs::path& batchFile, const fs::path& answersFile) {
    const std::vector<Query> batch = readBatch(batchFile);
    std::string out;
    // One reader per file, as a file is read once and then asked many times; a write drops it.
    std::map<std::string, zel::ProfileFile> readers;
    const auto reader = [&](const std::string& path) -> zel::ProfileFile& {
        auto it = readers.find(path);
        if (it == readers.end())
            it = readers.emplace(path, zel::ProfileFile::atHostPath(path)).first;
        return it->second;
    };
    for (const Query& q : batch) {
        switch (q.kind) {
        case 'R':
        case 'B': {
            const std::string value = reader(q.path).readText(q.section, q.key, kAbsent);
            out += value == kAbsent ? "-\n" : "V " + hex(value) + "\n";
            break;
        }
        case 'W': // the platform's write
            out += "-\n";
            break;
        case 'O':
            try {
                readers.erase(q.path);
                zel::ProfileFile::atHostPath(q.path).writeText(q.section, q.key, q.value);
                out += "1\n";
            } catch (const std::exception&) {
                out += "0\n";
            }
            break;
        case 'D':
            for (const std::string& line : dumpOurTree(q.source, q.section))
                out += line + "\n";
            out += ".\n";
            break;
        default: // platform actions (import, export, delete): nothing of ours to do
            out += "1\n";
            break;
        }
    }
    zel::writeHostFile(answersFile, out);
    return 0;
}

// ---- comparison -------------------------------------------------------------------------------

struct Tally {
    int passed = 0;
    int failed = 0;
    std::map<std::string, int> kept; // reason -> cases
    int limit = 40; // failures shown; the rest are counted

    void fail(const std::string& what) {
        if (++failed <= limit)
            std::cout << "FAIL " << what << "\n";
    }
};

std::string describe(const Query& q) {
    return q.path + " [" + printable(q.section) + "] " + printable(q.key);
}

std::string shown(const Answer& a) {
    return a.lines.empty() ? "(nothing)" : printable(unhexAnswer(a.lines.front()));
}

void compare(const fs::path& batchFile, const fs::path& platformFile, const fs::path& oursFile,
             Tally& tally) {
    const std::vector<Query> batch = readBatch(batchFile);
    const std::vector<Answer> platform = readAnswers(platformFile, batch);
    const std::vector<Answer> ours = readAnswers(oursFile, batch);
    std::map<std::string, std::string> fileText; // profile files, read once for the reasons
    const auto text = [&](const std::string& path) -> const std::string& {
        auto it = fileText.find(path);
        if (it == fileText.end())
            it = fileText.emplace(path, zel::readHostFile(path).value_or(std::string())).first;
        return it->second;
    };

    for (std::size_t i = 0; i < batch.size(); ++i) {
        const Query& q = batch[i];
        switch (q.kind) {
        case 'R':
        case 'B': {
            if (platform[i] == ours[i]) {
                ++tally.passed;
                break;
            }
            if (const auto reason = keptProfileDifference(text(q.path), q, platform[i], ours[i]))
                ++tally.kept[*reason];
            else
                tally.fail("read " + describe(q) + ": platform " + shown(platform[i]) + ", ours " +
                           shown(ours[i]));
            // A read-back pair: the second file holds our writes, the first the platform's.
            break;
        }
        case 'W': // the platform's write, followed by ours of the same
            if (i + 1 < batch.size() && batch[i + 1].kind == 'O' && platform[i] == ours[i + 1])
                ++tally.passed;
            else
                tally.fail("write " + describe(q) + " = " + printable(q.value) + ": platform " +
                           shown(platform[i]) + ", ours " +
                           (i + 1 < batch.size() ? shown(ours[i + 1]) : "missing"));
            break;
        case 'O':
            break;
        case 'D': {
            std::vector<std::string> a = platform[i].lines, b = ours[i].lines;
            std::sort(a.begin(), a.end());
            std::sort(b.begin(), b.end());
            if (a.empty()) {
                tally.fail("registry dump of " + printable(q.section) +
                           ": the platform has no such key");
                break;
            }
            std::vector<std::string> onlyPlatform, onlyOurs;
            std::set_difference(a.begin(), a.end(), b.begin(), b.end(),
                                std::back_inserter(onlyPlatform));
            std::set_difference(b.begin(), b.end(), a.begin(), a.end(),
                                std::back_inserter(onlyOurs));
            // Every key and value line is one check.
            tally.passed += static_cast<int>(a.size() - onlyPlatform.size());
            for (const std::string& line : onlyPlatform) {
                std::optional<std::string> reason;
                const auto partner =
                    std::find_if(onlyOurs.begin(), onlyOurs.end(), [&](const std::string& ours) {
                        reason = keptRegistryDifference(line, ours);
                        return reason.has_value();
                    });
                if (partner != onlyOurs.end())
                    onlyOurs.erase(partner);
                if (reason)
                    ++tally.kept[*reason];
                else
                    tally.fail("registry " + q.source.filename().string() +
                               ": only the platform has " + describeDumpLine(line));
            }
            for (const std::string& line : onlyOurs)
                tally.fail("registry " + q.source.filename().string() + ": only ours has " +
                           describeDumpLine(line));
            break;
        }
        default: // a platform action must have succeeded for the checks after it to mean anything
            if (!platform[i].lines.empty() && platform[i].lines.front() == "1")
                ++tally.passed;
            else
                tally.fail(std::string("platform action ") + q.kind + " on " + q.path + ": " +
                           (platform[i].lines.empty() ? "no answer" : platform[i].lines.front()));
            break;
        }
        // Read-back pairs: the platform reads its own written file and ours alike.
        if (q.kind == 'B' && i + 1 < batch.size() && batch[i + 1].kind == 'B' &&
            batch[i + 1].section == q.section && batch[i + 1].key == q.key) {
            const Answer& platformOfPlatformFile = platform[i];
            const Answer& platformOfOurFile = platform[i + 1];
            if (platformOfPlatformFile == platformOfOurFile)
                ++tally.passed;
            else if (const auto reason =
                         keptWriteDifference(text(q.path), text(batch[i + 1].path), batch[i + 1],
                                             platformOfPlatformFile, platformOfOurFile))
                ++tally.kept[*reason];
            else
                tally.fail("written " + describe(batch[i + 1]) + ": the platform reads " +
                           shown(platformOfOurFile) + " from our file, " +
                           shown(platformOfPlatformFile) + " from its own");
        }
    }
}

// Each triple: a batch, the platform's answers, ours.
int compare(const std::vector<std::string>& files) {
    Tally tally;
    for (std::size_t i = 0; i + 2 < files.size(); i += 3)
        compare(files[i], files[i + 1], files[i + 2], tally);
    for (const auto& [reason, count] : tally.kept)
        std::cout << "kept difference (" << count << (count == 1 ? " case): " : " cases): ")
                  << reason << "\n";
    if (tally.failed > tally.limit)
        std::cout << "... " << (tally.failed - tally.limit) << " more failures not shown\n";
    std::cout << tally.passed << " passed, " << tally.failed << " failed\n";
    return tally.failed == 0 ? 0 : 1;
}

int usage() {
    std::cerr << "usage: zel-conformance generate DIR FILES SEED\n"
                 "       zel-conformance answer BATCH ANSWERS\n"
                 "       zel-conformance compare (BATCH PLATFORM_ANSWERS OUR_ANSWERS)...\n";
    return 2;
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
        if (args.size() >= 4 && args.size() % 3 == 1 && args[0] == "compare")
            return compare({args.begin() + 1, args.end()});
    } catch (const std::exception& e) {
        std::cerr << "zel-conformance: " << e.what() << "\n";
        return 2;
    }
    return usage();
}
