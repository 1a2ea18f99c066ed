#pragma once
// What the end-to-end tests share.
#include "tests/support/fixtures.h"

#include <gmock/gmock.h>

#include <chrono>
#include <regex>
#include <thread>

namespace zel::test {

using ::testing::HasSubstr;
using ::testing::Not;

inline std::string q(const fs::path& path) {
    return "'" + path.string() + "'";
}
inline std::string lastLine(const std::string& text) {
    const std::string body = text.substr(0, text.size() - text.ends_with('\n'));
    return body.substr(body.rfind('\n') + 1);
}
// `command` (a shell command, e.g. "env X=1 ./SETUP ...") started in `dir` with nothing on its
// standard input; its standard error is read back from `errors`.
inline CommandResult runIn(const fs::path& dir, const std::string& command,
                           const fs::path& errors) {
    CommandResult r =
        runCommand("cd " + q(dir) + " && { " + command + "; } 2>" + q(errors) + " </dev/null");
    r.errors = readFile(errors);
    return r;
}
// The exit status and everything said: "0" for a silent success.
inline std::string outcome(const CommandResult& r) {
    return std::to_string(r.status) + r.output + r.errors;
}
inline std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}
inline bool haveTool(const char* tool) {
    return runCommand(std::string("command -v ") + tool + " >/dev/null 2>&1").status == 0;
}
// Waits up to 30 s for a program's report (a text file, its lines ended); "" when none came.
inline std::string awaitFile(const fs::path& file) {
    for (int i = 0; i < 3000 && !readFile(file).ends_with('\n'); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return readFile(file);
}

// Program Manager's groups on the machine at `prefix`, as `progman --list` prints them.
inline std::string progmanList(const fs::path& prefix) {
    return runCommand("ZEL_PREFIX=" + q(prefix) + " " + q(binDir() / "progman") + " --list").output;
}
// A desktop entry's Exec line as a shell runs it: the value's "\\" and "%%" undone (the quoting
// inside is the shell's own); "" when the entry has none.
inline std::string execLine(const std::string& entry) {
    std::smatch exec;
    if (!std::regex_search(entry, exec, std::regex("\nExec=([^\n]*)")))
        return "";
    return std::regex_replace(std::regex_replace(exec[1].str(), std::regex("\\\\\\\\"), "\\"),
                              std::regex("%%"), "%");
}

} // namespace zel::test
