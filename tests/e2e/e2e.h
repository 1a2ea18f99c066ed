#pragma once
// What the end-to-end tests share.
#include "tests/support/fixtures.h"

#include <gmock/gmock.h>

#include <chrono>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
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
// Every file under the machine's C: (mode, content, and date when `dated`), the registry's lines
// and Program Manager's groups (empty ones too), one line each; `own`, the machine's path that its
// launcher names, reads <machine> in a file.
inline std::set<std::string>
machineState(const fs::path& dir, const std::string& own,
             const std::function<bool(const fs::directory_entry&)>& dated) {
    std::set<std::string> lines;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "drive_c")) {
        std::ostringstream line;
        line << fs::relative(entry.path(), dir / "drive_c").string();
        if (entry.is_regular_file()) {
            std::string content = readFile(entry);
            for (std::size_t at; (at = content.find(own)) != std::string::npos;)
                content.replace(at, own.size(), "<machine>");
            line << "\t" << std::oct << int(entry.status().permissions()) << std::dec << " "
                 << std::hash<std::string>{}(content) << " "
                 << (dated(entry) ? entry.last_write_time().time_since_epoch().count() : 0);
        }
        lines.insert(line.str());
    }
    std::istringstream registry(readFile(dir / "system.reg")), groups(progmanList(dir));
    for (std::string line; std::getline(registry, line);)
        lines.insert("registry " + line.substr(0, line.find('\r')));
    std::string group;
    for (std::string line; std::getline(groups, line);)
        lines.insert("group " +
                     (line.starts_with("    ") ? group + ":" + line.substr(3) : group = line));
    return lines;
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
