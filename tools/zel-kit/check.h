#pragma once
// zel-kit check: what on a kit medium would make the wizard misbehave, with the file and line
// that cause it.
#include <filesystem>
#include <string>
#include <vector>

namespace zelkit {

enum class Severity { Error, Warning, Note };

struct Problem {
    std::string file; // relative to the medium, as the host spells it
    int line = 0;     // 1-based; 0 when the problem belongs to no single line
    Severity severity = Severity::Error;
    std::string message; // UTF-8; the kit's own texts quoted
};

const char* severityName(Severity severity);

// Every problem of the medium, each once, ordered by file and line. Raises std::runtime_error
// when the medium is not a directory that can be read.
std::vector<Problem> checkMedium(const std::filesystem::path& medium);

} // namespace zelkit
