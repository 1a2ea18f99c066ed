#pragma once
// zel-kit check: what on a kit medium would make the wizard misbehave, with the file and line
// that cause it.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zel::kit {

enum class Severity { Error, Warning, Note };

struct Problem {
    std::string file; // relative to the medium, as the host spells it
    int line = 0;     // 1-based; 0 when the problem belongs to no single line
    Severity severity = Severity::Error;
    std::string message; // UTF-8; the kit's own texts quoted
};

const char* severityName(Severity severity);

// How many problems of each severity.
struct Tally {
    int errors = 0;
    int warnings = 0;
    int notes = 0;
};
Tally tally(const std::vector<Problem>& problems);
// "2 errors, 1 warning, 0 notes".
std::string summary(const Tally& counts);

// Every problem of the medium, each once, ordered by file and line: with its description file
// as given, or as the wizard on the medium finds it. Raises std::runtime_error when the medium
// is not a directory that can be read. The sums of a packed medium are verified when asked.
std::vector<Problem> checkMedium(const std::filesystem::path& medium,
                                 const std::optional<std::filesystem::path>& description = {},
                                 bool verifySums = true);

} // namespace zel::kit
