#pragma once
// What the end-to-end tests share.
#include "progman/store.h"
#include "tests/support/fixtures.h"

#include <gmock/gmock.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
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
// The shell command run in `dir` with nothing on its standard input, its stderr kept in `errors`.
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
inline bool haveTool(const char* tool) {
    return runCommand(std::string("command -v ") + tool + " >/dev/null 2>&1").status == 0;
}
// `text` with each `was` in it made `now`.
inline std::string replaced(std::string text, const std::string& was, const std::string& now) {
    for (auto at = text.find(was); at != std::string::npos; at = text.find(was, at + now.size()))
        text.replace(at, was.size(), now);
    return text;
}
// The file with each `was` in it made `now`; `was` must be there.
inline void edit(const fs::path& file, const std::string& was, const std::string& now) {
    const std::string text = readFile(file);
    ASSERT_NE(text.find(was), std::string::npos) << was << " in " << file;
    writeFile(file, replaced(text, was, now));
}
// Waits up to `seconds` for `done` to hold; whether it came to.
inline bool eventually(const std::function<bool()>& done, int seconds = 10) {
    for (int i = 0; i < seconds * 100 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}
// Waits up to 30 s for a program's report (a text file, its lines ended); "" when none came.
inline std::string awaitFile(const fs::path& file) {
    eventually([&] { return readFile(file).ends_with('\n'); }, 30);
    return readFile(file);
}

// Program Manager's groups on the machine at `prefix`, as `progman --list` prints them.
inline std::string progmanList(const fs::path& prefix, const std::string& options = "") {
    return runCommand("ZEL_PREFIX=" + q(prefix) + " " + q(binDir() / "progman") + " --list" +
                      options)
        .output;
}
// Each path under `root` with its mode and content; `normalize` rewrites paths and times.
using Tree = std::map<std::string, std::string>;
inline Tree
snapshot(const fs::path& root,
         const std::function<std::string(const fs::path&, std::string)>& normalize = {}) {
    Tree tree;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().lexically_relative(root).string();
        const auto mode = static_cast<unsigned>(it->symlink_status().permissions());
        if (it->is_symlink())
            tree[name] = "-> " + fs::read_symlink(it->path()).string();
        else if (it->is_directory())
            tree[name] = "dir " + std::to_string(mode);
        else
            tree[name] =
                std::to_string(mode) + " " +
                (normalize ? normalize(it->path(), readFile(it->path())) : readFile(it->path()));
    }
    return tree;
}

// C:'s files (mode, content, date when `dated`), registry, groups (empty ones too).
inline std::set<std::string> machineState(const fs::path& dir, const std::string& own,
                                          const std::function<bool(const fs::path&)>& dated) {
    std::set<std::string> lines;
    const auto hashed = [&](const fs::path& file, const std::string& text) {
        return std::to_string(std::hash<std::string>{}(replaced(text, own, "<machine>"))) + " " +
               std::to_string(dated(file) ? fs::last_write_time(file).time_since_epoch().count()
                                          : 0);
    };
    for (const auto& [name, state] : snapshot(dir / "drive_c", hashed))
        lines.insert(name + "\t" + state);
    std::istringstream registry(readFile(dir / "system.reg")), groups(progmanList(dir));
    for (std::string line; std::getline(registry, line);)
        lines.insert("registry " + line.substr(0, line.find('\r')));
    std::string group;
    for (std::string line; std::getline(groups, line);)
        lines.insert("group " +
                     (line.starts_with("    ") ? group + ":" + line.substr(3) : group = line));
    return lines;
}
// A desktop entry's Exec line as a shell runs it ("\\" and "%%" undone); "" when it has none.
inline std::string execLine(const std::string& entry) {
    std::smatch exec;
    if (!std::regex_search(entry, exec, std::regex("\nExec=([^\n]*)")))
        return "";
    return std::regex_replace(std::regex_replace(exec[1].str(), std::regex("\\\\\\\\"), "\\"),
                              std::regex("%%"), "%");
}

// The demo kit beside the wizard; the user's own files, group, a pipe and a folder on the machine.
class UnattendedTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        useDemoKitWithTheWizard();
        writeFile(tmp / "answers.ini", "[Respostas]\ntipo=tipica\nporta=COM2\n"
                                       "modem_inicializacao=ATZ\nmodem_discagem=ATDT\n");
        makeMachine(true);
        const fs::path library = driveC() / "WINDOWS" / "SYSTEM" / "MAILAPI.DLL";
        writeFile(library, "the user's own library");
        writeFile(library.parent_path() / "~sock32.dll", "the user's socket library");
        fs::last_write_time(library, fs::file_time_type::clock::now() - std::chrono::hours(9600));
        fs::permissions(library, fs::perms(0640));
        progman::Groups groups;
        ASSERT_TRUE(groups.execute("[CreateGroup(\"StartUp\")][AddItem(\"C:\\WINDOWS\\X.EXE\","
                                   "\"Meu programa\")]"));
        progman::saveStore(progman::storePath(prefix), groups);
        ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0600), 0);
        fs::create_directory(tmp / "dir");
    }

    void TearDown() override { EXPECT_TRUE(awaitProgmanExit()); }

    // With a relative ZEL_PREFIX, made absolute once at start: Program Manager serves that place.
    CommandResult install() {
        const std::string relative = "../" + fs::relative(prefix, tmp.path()).string();
        return runIn(medium(), "ZEL_PREFIX=" + q(relative) + " ./SETUP --answers ../answers.ini",
                     tmp / "err");
    }
    // As the uninstall key's command starts it (which it removes: then the machine's copy).
    CommandResult uninstall() {
        const fs::path kits = driveC() / "WINDOWS" / "zelun.exe";
        return runIn(tmp.path(),
                     q(fs::exists(kits) ? kits : prefix / "bin" / "zel-uninstall") + " --quiet",
                     tmp / "err");
    }
    // Started from the medium, `env` changing its environment; ended after a minute.
    CommandResult run(const std::string& command, const std::string& env = "",
                      const fs::path& machineDir = {}) {
        return runIn(medium(),
                     "env " + env + " ZEL_PREFIX=" + q(machineDir.empty() ? prefix : machineDir) +
                         " timeout 60 " + command,
                     tmp / "err");
    }

    // The run with strace injecting `fault` ("call:how"); unchecked for leaks, which need ptrace.
    CommandResult withFault(const std::string& fault) {
        return run("strace -qq -o /dev/null -e trace=" + fault.substr(0, fault.find(':')) +
                       " -e inject=" + fault + " ./SETUP --answers ../answers.ini",
                   "ASAN_OPTIONS=detect_leaks=0");
    }
    // `profileDates`: whether the dates of profile files count (one that was there is rewritten).
    std::set<std::string> snapshot(bool profileDates = true) {
        EXPECT_TRUE(awaitProgmanExit());
        return machineState(prefix, (tmp / "prefix").string(), [&](const fs::path& file) {
            return profileDates ? file.filename() != "ZELUN.INI"
                                : ::strcasecmp(file.extension().c_str(), ".INI") != 0;
        });
    }
    FileDescriptor holdLock() {
        FileDescriptor fd(::open((prefix / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        EXPECT_TRUE(fd);
        EXPECT_EQ(::flock(fd.get(), LOCK_EX | LOCK_NB), 0);
        return fd;
    }
    bool installed() const {
        return fs::exists(driveC() / "Program Files" / "ZEL") ||
               fs::exists(driveC() / "WINDOWS" / "zelun.ini");
    }
};

} // namespace zel::test
