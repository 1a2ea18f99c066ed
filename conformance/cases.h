#pragma once
// The conformance suite's queries: a batch that the platform probe (probe.c) and our side
// (conformance.cpp) both answer, one answer line each (a dump: lines up to a ".").
#include <filesystem>
#include <string>
#include <string_view>

namespace zel::conformance {

// The default of every read, so that "not found" is told from any value.
inline constexpr std::string_view kAbsent = "\x01zel-absent\x01";
// Generated profile files whose lines also end with CR alone are named with this prefix.
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

std::string hex(std::string_view bytes);
// One batch line: the six tab-separated fields, texts in hex so that any byte can travel.
std::string batchLine(const Query& q);

// Writes into dir the generated profile files (profiles/), the files both sides write with the
// same writes (written/platform, written/ours), our registry file (registry/system.reg) and
// two batches: batch-1.txt reads and writes; batch-2.txt, once both have written, reads the
// written files back and imports, dumps and exports the registry.
int generate(const std::filesystem::path& dir, int files, unsigned seed);

} // namespace zel::conformance
