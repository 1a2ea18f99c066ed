#pragma once
// The conformance suite's cases: the batch of queries that the platform probe and our side both
// answer, their answers, and the generator of the profile files and the registry file.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::conformance {

// What a read returns when neither side found the key (the probe passes it as the default).
inline constexpr std::string_view kAbsent = "\x01zel-absent\x01";

// The generated profile files whose lines end with CR alone too are named with this prefix.
inline constexpr std::string_view kLoneCrPrefix = "cr-p";

struct Query {
    // R read, B read-back, W the platform's write, O our write, I import, E export, D dump,
    // X delete. Each side carries out its own writes and answers "-" to the other side's.
    char kind = 0;
    std::string path;    // the profile file or the registry file (host path)
    std::string section; // a profile section; for D, E and X the registry key
    std::string key;
    std::string value;
    std::filesystem::path source; // D: the registry file whose tree we read
};

struct Answer {
    std::vector<std::string> lines; // one line, or a dump's lines without its closing "."
    friend bool operator==(const Answer&, const Answer&) = default;
};

std::vector<Query> readBatch(const std::filesystem::path& file);
std::vector<Answer> readAnswers(const std::filesystem::path& file, const std::vector<Query>& batch);

std::string hex(std::string_view bytes);
std::string unhex(std::string_view text);
// "V <hex>" -> the value; any other answer as it is.
std::string unhexAnswer(std::string_view line);
// Bytes shown in a report: printable ASCII as it is, anything else as \xNN.
std::string printable(std::string_view bytes);
// A registry dump line in words.
std::string describeDumpLine(std::string_view line);

// Writes into dir: `files` generated profile files (profiles/), the files that the platform
// and we each write with the same writes (written/platform, written/ours), our registry file
// (registry/system.reg) and two batches: batch-1.txt reads the profile files and writes,
// batch-2.txt (once both sides have written) reads the written files back, and imports,
// dumps and exports the registry. The same seed gives the same cases.
int generate(const std::filesystem::path& dir, int files, unsigned seed);

// ---- kept differences (kept_differences.cpp) ---------------------------------------------
// The differences from the platform that we keep on purpose, each with its reason (as the
// platform's own conformance tests mark what they know to differ). A difference that none of
// them explains is a failure.
// The reason a read of a profile file answers differently from the platform, when it is one
// we keep. fileText is the file that was read.
std::optional<std::string> keptProfileDifference(std::string_view fileText, const Query& read,
                                                 const Answer& platform, const Answer& ours);

// The same for a value that the platform reads differently from the file we wrote than from
// the file it wrote with the same writes.
std::optional<std::string> keptWriteDifference(std::string_view platformFileText,
                                               std::string_view ourFileText, const Query& read,
                                               const Answer& fromPlatformFile,
                                               const Answer& fromOurFile);

// The reason a registry value (a dump line, see probe.c) that the platform holds differs from
// ours, when it is one we keep.
std::optional<std::string> keptRegistryDifference(std::string_view platformLine,
                                                  std::string_view ourLine);

} // namespace zel::conformance
