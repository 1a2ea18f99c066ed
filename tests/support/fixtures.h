#pragma once
// Temporary directories, prefixes and kit media for the tests.
#include "services/platform.h"
#include "setup/catalogue.h"
#include "tests/support/doubles.h"
#include "winemu/errors.h"
#include "winemu/machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace zel::test {

namespace fs = std::filesystem;

// A directory under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(std::string_view name) const { return path_ / name; }

private:
    fs::path path_;
};

void writeFile(const fs::path& path, std::string_view content); // creates parent directories
void writeProgram(const fs::path& path, std::string_view script);
std::string readFile(const fs::path& path); // "" when missing
ino_t inode(const fs::path& path);          // 0 when missing
inline int modeOf(const fs::path& path) {   // a link's own, all bits when missing
    return int(fs::symlink_status(path).permissions() & fs::perms::mask);
}
// Each of `lines` followed by `end`.
template <class Lines> std::string joined(const Lines& lines, std::string_view end = "\n") {
    std::string out;
    for (const auto& line : lines)
        out.append(line).append(end);
    return out;
}

fs::path sourceDir(); // the repository's

// fuzz/corpus/TARGET (not empty), fuzz/regressions/TARGET, $ZEL_FUZZ_CORPUS through `check`.
using FuzzCheck = std::function<std::string(std::string_view input)>;
void replayFuzzCorpus(const std::string& target, const FuzzCheck& check);
fs::path binDir(); // the build's

// What a shell command printed and how it ended (exit status, -1 when it did not exit).
struct CommandResult {
    int status = -1;
    std::string output, errors; // standard output, standard error (for runTool)
};
CommandResult runCommand(const std::string& shellCommand);
// `body` forked (no destructors run) during `meanwhile`: its exit status, 3 if it raised, -signal.
int inChild(
    const std::function<void()>& body, const std::function<void(pid_t)>& meanwhile = [](pid_t) {});
void fullDisk(); // writes past 4 KiB fail
// Runs `body` as inChild does, as the user nobody, once `tmp` is searchable by others.
int asNobody(const TempDir& tmp, const std::function<void()>& body);
// The message of the PlatformError that f raises ("" when it raises none).
template <class F> std::string errorOf(F&& f) {
    try {
        f();
    } catch (const PlatformError& e) {
        return e.what();
    }
    return "";
}
std::string le(std::uint32_t v, int bytes); // v's low `bytes` bytes, little-endian
// A one-picture icon, every colour byte `pixel`, the mask clearing the left half.
std::string paletteIcon(int w, int h, int bits, int colors, char pixel);
std::string twoPictures(const std::string& a, const std::string& b); // a's picture, then b's
// One of the project's programs from the build's bin directory, standard error kept apart.
CommandResult runTool(const std::string& tool, const std::string& args, const TempDir& tmp);

inline constexpr const char* kModemKey = "System\\CurrentControlSet\\Services\\Class\\Modem\\0000";
inline const std::string kModemInitKey = std::string(kModemKey) + "\\Settings\\Init";

// A fresh machine at <tmp>/prefix, the running program <tmp>/medium/SETUP (D:, current).
class MachineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override; // nothing the test's code opened is left open
    // (Re)creates the machine; with installProgman as the wizard's own start makes it.
    Machine& makeMachine(bool installProgman = false);
    Machine& machine() { return *machine_; }

    fs::path driveC() const { return tmp / "prefix" / "drive_c"; }
    fs::path medium() const { return tmp / "medium"; }
    // Waits until no Program Manager server holds the prefix's lock; after 10 s kills it: false.
    bool awaitProgmanExit();
    // The demo kit as the medium, the real wizard its SETUP, Program Manager idle only briefly.
    void useDemoKitWithTheWizard();
    // A string value of HKEY_LOCAL_MACHINE, its key created when missing.
    void writeRegistry(std::string_view key, std::string_view name, std::string_view value);

    TempDir tmp;
    fs::path prefix, program;
    std::unique_ptr<Machine> machine_;
    std::multiset<std::string> openAtStart_; // what each of the process's descriptors is
};

// A machine with the recording services and a kit description loaded by load().
class PlatformTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        platform = std::make_unique<Platform>(machine(), ui, printer, sound);
    }
    void load(const std::string& ini) {
        writeFile(tmp / "K.INI", ini);
        catalogue = Catalogue();
        catalogue.load(ProfileFile::atHostPath(tmp / "K.INI"));
    }

    ScriptedUi ui;
    RecordingPrinter printer;
    RecordingSound sound;
    std::unique_ptr<Platform> platform;
    Catalogue catalogue;
};

} // namespace zel::test
