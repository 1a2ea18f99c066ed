#pragma once
// The conformance suite's cases: batches of queries that the platform probe (probe.c) and our
// side (conformance.cpp) both answer. A batch line is a query's six tab-separated fields, texts
// in hex so that any byte travels; each query gets one answer line, a dump several and a ".":
//   R, B  read a profile value (B: a written file read back): "V <hex value>", "-" for the default
//   W     write a profile value, the platform to path, ours to its twin source: "1", "0" refused
//   I, E  regedit imports the file, exports the key as REGEDIT4 into it: "1" when done
//   D     the key's tree: "K <path>" and "V <path> <name> <type> <data>" lines (hex); ours
//         reads it from the source file
#include <filesystem>
#include <string>
#include <string_view>

namespace zel::conformance {

// The default of every read, so that "not found" is told from any value.
inline constexpr std::string_view kAbsent = "\x01zel-absent\x01";
// Generated profile files whose lines also end with CR alone are named with this prefix.
inline constexpr std::string_view kLoneCrPrefix = "cr-p";

struct Query {
    char kind = 0;
    std::string path;    // the profile file or the registry file (host path)
    std::string section; // a profile section; for D and E the registry key
    std::string key;
    std::string value;
    std::filesystem::path source;
};

std::string hex(std::string_view bytes);

// Writes into dir the profile files (profiles/, written/platform, written/ours), our registry
// file (registry/system.reg) and two batches: batch-1.txt reads and writes; batch-2.txt, once
// both have written, reads the written files back and imports, dumps and exports the registry.
// The same seed gives the same cases.
int generate(const std::filesystem::path& dir, int files, unsigned seed);

} // namespace zel::conformance
