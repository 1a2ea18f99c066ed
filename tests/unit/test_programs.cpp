// Starting programs: WinExec's parsing, search order and results, detached starts, and the
// start-and-wait of sponsor programs.
#include "winemu/programs.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zel::test {
namespace {

// A shell script named like a Windows program.
void writeScript(const fs::path& path, const std::string& body, bool executable = true) {
    writeFile(path, "#!/bin/sh\n" + body);
    fs::permissions(path, executable ? fs::perms::owner_all
                                     : fs::perms::owner_read | fs::perms::owner_write);
}

// The detached program's trace, once it is there (it runs on after winExec returned).
std::string awaitTrace(const fs::path& trace) {
    for (int i = 0; i < 500 && !fs::exists(trace); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // The trace is written by one echo; give it a moment to be complete.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return readFile(trace);
}

class ProgramsTest : public MachineTest {
protected:
    ScriptedUi ui;
    Programs& programs() {
        if (!programs_)
            programs_ = std::make_unique<Programs>(machine(), ui);
        return *programs_;
    }
    std::unique_ptr<Programs> programs_;
};

TEST_F(ProgramsTest, WinExecStartsTheProgramWithItsArgumentsInItsOwnDirectory) {
    writeScript(driveC() / "KIT" / "TOOL.EXE", "echo \"$#|$1|$2|$(pwd)|$ZEL_PREFIX\" > trace\n");
    EXPECT_EQ(programs().winExec("C:\\KIT\\TOOL.EXE one \"two words\"", 1), 33u);
    std::string trace = awaitTrace(driveC() / "KIT" / "trace");
    fs::path kitDir = fs::canonical(driveC() / "KIT");
    EXPECT_EQ(trace,
              "2|one|two words|" + kitDir.string() + "|" + fs::absolute(prefix).string() + "\n");
}

TEST_F(ProgramsTest, WinExecReportsWhatIsMissingOrUnusable) {
    writeScript(driveC() / "KIT" / "NOEXEC.EXE", "exit 0\n", false);
    writeFile(driveC() / "KIT" / "GARBAGE.EXE", "MZ\x90\x00 not a host program");
    fs::permissions(driveC() / "KIT" / "GARBAGE.EXE", fs::perms::owner_all);
    fs::create_directories(driveC() / "KIT" / "DIR.EXE");

    EXPECT_EQ(programs().winExec("C:\\KIT\\MISSING.EXE", 1), 2u);
    EXPECT_EQ(programs().winExec("NOWHERE", 1), 2u);
    EXPECT_EQ(programs().winExec("C:\\KIT\\DIR.EXE", 1), 2u);
    EXPECT_EQ(programs().winExec("C:\\NO\\SUCH\\DIR\\X.EXE", 1), 3u);
    EXPECT_EQ(programs().winExec("Q:\\X.EXE", 1), 3u);
    EXPECT_EQ(programs().winExec("C:\\KIT\\NOEXEC.EXE", 1), 11u);
    EXPECT_EQ(programs().winExec("C:\\KIT\\GARBAGE.EXE", 1), 11u);
    EXPECT_EQ(programs().winExec("   ", 1), 2u);
}

TEST_F(ProgramsTest, WinExecAppendsExeAndMatchesNamesWithoutRegardToCase) {
    writeScript(medium() / "NAVEGA" / "Setup.exe", "touch ran\n");
    EXPECT_EQ(programs().winExec("d:\\navega\\SETUP", 1), 33u);
    awaitTrace(medium() / "NAVEGA" / "ran");
    EXPECT_TRUE(fs::exists(medium() / "NAVEGA" / "ran"));
}

TEST_F(ProgramsTest, ABareNameIsSearchedInProgramCurrentSystemAndWindowsDirectories) {
    const fs::path trace = tmp / "who";
    const std::vector<fs::path> places = {
        medium() / "TOOL.EXE",                        // the program's directory, D:\ (first)
        driveC() / "WORK" / "TOOL.EXE",               // the current directory
        driveC() / "WINDOWS" / "SYSTEM" / "TOOL.EXE", // the system directory
        driveC() / "WINDOWS" / "TOOL.EXE",            // the Windows directory (last)
    };
    for (const auto& place : places)
        writeScript(place, "echo '" + place.string() + "' > '" + trace.string() + "'\n");
    ASSERT_TRUE(machine().setCurrentDirectory("C:\\WORK"));

    for (const auto& expected : places) {
        fs::remove(trace);
        ASSERT_EQ(programs().winExec("TOOL", 1), 33u) << expected;
        EXPECT_EQ(awaitTrace(trace), expected.string() + "\n");
        fs::remove(expected); // the next place in the order answers now
    }
    EXPECT_EQ(programs().winExec("TOOL", 1), 2u);
}

TEST_F(ProgramsTest, AnUnquotedNameWithBlanksIsTriedWordByWord) {
    const fs::path dir = driveC() / "Meu Kit" / "NAVEGA";
    writeScript(dir / "SETUP.EXE", "echo \"$#|$1|$2\" > trace\n");
    EXPECT_EQ(programs().winExec("C:\\Meu Kit\\NAVEGA\\SETUP.EXE /s  fast", 1), 33u);
    EXPECT_EQ(awaitTrace(dir / "trace"), "2|/s|fast\n");

    fs::remove(dir / "trace");
    EXPECT_EQ(programs().winExec("\"C:\\Meu Kit\\NAVEGA\\SETUP.EXE\" quoted", 1), 33u);
    EXPECT_EQ(awaitTrace(dir / "trace"), "1|quoted|\n");

    // The last attempt (the whole line) decides what is reported.
    EXPECT_EQ(programs().winExec("C:\\Meu Kit\\NAVEGA\\OTHER.EXE arg", 1), 2u);
    EXPECT_EQ(programs().winExec("C:\\Meu Kit\\NOPE\\SETUP.EXE arg", 1), 3u);
}

TEST_F(ProgramsTest, ADetachedProgramRunsInItsOwnSessionAndLeavesNoChildBehind) {
    writeScript(medium() / "BG.EXE", "sleep 0.2\ncut -d' ' -f6 /proc/$$/stat > trace\n");
    ASSERT_EQ(programs().winExec("D:\\BG.EXE", 1), 33u);
    // The intermediate process is reaped and the program itself is not ours to wait for.
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    std::string session = awaitTrace(medium() / "trace");
    ASSERT_FALSE(session.empty());
    EXPECT_NE(std::stoi(session), ::getsid(0));
}

TEST_F(ProgramsTest, RunAndWaitBlocksUntilTheProgramEndsBetweenMinimiseAndRestore) {
    // A handle of the wizard's that the program must not inherit.
    int leaked = ::open((tmp / "open-file").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(leaked, 0);
    const std::string fd = std::to_string(leaked);
    writeScript(medium() / "SPONSOR.EXE", "sleep 0.3\n"
                                          "if [ -e /proc/$$/fd/" +
                                              fd +
                                              " ]; then echo leaked; else echo clean; fi > done\n");
    EXPECT_TRUE(programs().runAndWait("D:\\SPONSOR.EXE"));
    ::close(leaked);
    EXPECT_EQ(readFile(medium() / "done"), "clean\n"); // written 0.3 s in, before the return
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"minimise", "restore"}));
}

TEST_F(ProgramsTest, RunAndWaitRestoresAtOnceWhenTheProgramCannotStart) {
    writeScript(medium() / "NOEXEC.EXE", "exit 0\n", false);
    EXPECT_FALSE(programs().runAndWait("D:\\MISSING.EXE"));
    EXPECT_FALSE(programs().runAndWait("D:\\NOEXEC.EXE"));
    EXPECT_FALSE(programs().runAndWait("Q:\\NOT\\MAPPED.EXE"));
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"minimise", "restore", "minimise", "restore",
                                                  "minimise", "restore"}));
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1); // the failed start left no zombie
    EXPECT_EQ(errno, ECHILD);
}

} // namespace
} // namespace zel::test
