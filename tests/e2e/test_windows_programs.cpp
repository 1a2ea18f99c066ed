// Windows programs of a kit started through Wine on the machine's own Wine side, and what a
// machine without Wine says instead.
#include "tests/support/doubles.h"
#include "tests/support/fixtures.h"
#include "winemu/cp1252.h"
#include "winemu/machine.h"
#include "winemu/profile.h"
#include "winemu/programs.h"
#include "winemu/wine.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

namespace zel::test {
namespace {

const fs::path kPeDir = ZEL_PE_DIR;

// A minimal image: "MZ", the PE header's offset at 0x3C, and the signature there.
std::string peImage(std::uint32_t at, std::string_view signature = std::string_view("PE\0\0", 4)) {
    std::string image(std::max<std::size_t>(64, at), '\0');
    image[0] = 'M';
    image[1] = 'Z';
    for (int i = 0; i < 4; ++i)
        image[0x3C + i] = static_cast<char>((at >> (8 * i)) & 0xFF);
    image.resize(at);
    image += signature;
    return image;
}

TEST(PortableExecutable, OnlyAnMzHeaderLeadingToAPeSignatureIsAWindowsProgram) {
    TempDir tmp;
    const std::pair<std::string, bool> rows[] = {
        {peImage(0x80), true},
        {peImage(0x40), true},
        {peImage(0x80, std::string_view("PE\0\1", 4)), false}, // another signature
        {peImage(0x80, "PE"), false},                          // cut short
        {peImage(0x80).replace(0, 2, "ZM"), false},
        {peImage(0x80).substr(0, 0x80), false}, // offset past the end
        {std::string("MZ\x90 a DOS program\n") + std::string(64, 'x'), false},
        {"#!/bin/sh\necho hi\n", false},
        {"", false},
    };
    int n = 0;
    for (const auto& [content, pe] : rows) {
        const fs::path file = tmp / ("P" + std::to_string(n++) + ".EXE");
        writeFile(file, content);
        EXPECT_EQ(isPortableExecutable(file), pe) << n;
    }
    EXPECT_FALSE(isPortableExecutable(tmp.path())); // a directory
    EXPECT_FALSE(isPortableExecutable(tmp / "missing.exe"));
    if (!kPeDir.empty()) {
        EXPECT_TRUE(isPortableExecutable(kPeDir / "sponsor.exe"));
    }
}

class WindowsProgramsTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        // Never the user's ~/.wine: a Wine side made anywhere but in the prefix would show here.
        ::setenv("HOME", (tmp / "home").c_str(), 1);
        ::unsetenv("WINEPREFIX");
    }
    void TearDown() override {
        ::unsetenv("ZEL_WINE");
        EXPECT_FALSE(fs::exists(tmp / "home" / ".wine"));
    }
    // Waits up to 30 s for a program's report (a text file: lines end in CR LF); "" when none
    // came.
    static std::string awaitFile(const fs::path& file) {
        for (int i = 0; i < 3000 && !readFile(file).ends_with('\n'); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return readFile(file);
    }
    ScriptedUi ui;
};

// Without Wine a Windows program is not started: WinExec's "not executable", and a message
// naming the program and the package; a host script beside it still runs.
TEST_F(WindowsProgramsTest, WithoutWineAWindowsProgramIsToldAndNotStarted) {
    ::setenv("ZEL_WINE", (tmp / "no-wine" / "wine64").c_str(), 1);
    writeProgram(driveC() / "KIT" / "SPONSOR.EXE", peImage(0x80));
    writeProgram(driveC() / "KIT" / "SCRIPT.EXE", "#!/bin/sh\necho ran > \"$ZEL_PREFIX/ran\"\n");
    Programs programs(machine(), ui);
    const std::pair<const char*, bool> runs[] = {{"C:\\KIT\\SPONSOR.EXE", false},
                                                 {"C:\\KIT\\SCRIPT.EXE", true}};
    for (const auto& [path, starts] : runs) {
        testing::internal::CaptureStderr();
        const unsigned code = programs.winExec(std::string(path) + " /x", 1);
        const bool waited = programs.runAndWait(path);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(code, starts ? 33u : 11u) << path;
        EXPECT_EQ(waited, starts) << path;
        if (!starts) {
            EXPECT_NE(said.find(std::string("iniciar ") + path), std::string::npos) << said;
            EXPECT_NE(said.find("pacote wine64"), std::string::npos) << said;
        } else {
            EXPECT_EQ(said, "");
        }
    }
    EXPECT_EQ(awaitFile(prefix / "ran"), "ran\n");
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"minimise", "restore", "minimise", "restore"}));
    EXPECT_FALSE(fs::exists(prefix / "wine")); // nothing made for a Wine that is not there
}

// One Wine side for all the cases: its first set-up takes seconds.
TEST_F(WindowsProgramsTest, WindowsProgramsRunThroughWineOnTheMachine) {
    if (kPeDir.empty())
        GTEST_SKIP() << "x86_64-w64-mingw32-gcc was not found at configure time: no Windows "
                        "programs to start (scripts/install-deps --test installs it)";
    if (!findWine())
        GTEST_SKIP() << "Wine is not installed (scripts/install-deps --test installs wine64)";
    const fs::path kit = driveC() / "Program Files" / "KIT";
    fs::create_directories(kit);
    fs::copy_file(kPeDir / "sponsor.exe", medium() / "SPONSOR.EXE");
    fs::copy_file(kPeDir / "sponsor.exe", kit / "SPONSOR.EXE");
    fs::copy_file(kPeDir / "reader.exe", kit / "READER.EXE");
    fs::copy_file(kPeDir / "zeltest.dll", driveC() / "WINDOWS" / "SYSTEM" / "ZELTEST.DLL");
    ProfileFile(machine(), "C:\\WINDOWS\\ZELTEST.INI").writeText("Discador", "Telefone", "5551234");
    writeRegistry("SOFTWARE\\ZEL\\Teste", "Modem", "USR Sportster 33600");
    const std::string ours = readFile(prefix / "system.reg");
    Programs programs(machine(), ui);

    // The sponsor's program from the medium, waited for: its report is there on return.
    testing::internal::CaptureStderr();
    EXPECT_TRUE(programs.runAndWait("D:\\SPONSOR.EXE"));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(readFile(driveC() / "SPONSOR.TXT"), "D:\\|0||\r\n");
    EXPECT_NE(said.find("Preparando o Wine"), std::string::npos) << said;

    // Started as WinExec starts it: its directory current, its arguments passed on.
    fs::remove(driveC() / "SPONSOR.TXT");
    EXPECT_EQ(programs.winExec("C:\\Program Files\\KIT\\SPONSOR.EXE um \"dois tres\"", 1), 33u);
    EXPECT_EQ(awaitFile(driveC() / "SPONSOR.TXT"), "C:\\Program Files\\KIT|2|um|dois tres\r\n");

    // What the wizard wrote is what the program reads; the DLL comes from the system directory.
    EXPECT_EQ(programs.winExec("\"C:\\Program Files\\KIT\\READER.EXE\"", 1), 33u);
    EXPECT_EQ(awaitFile(driveC() / "READER.TXT"), "5551234|USR Sportster 33600|42\r\n");

    // A value written after the side was made reaches the next start too.
    writeRegistry("SOFTWARE\\ZEL\\Teste", "Modem", "Zoom 28800");
    fs::remove(driveC() / "READER.TXT");
    EXPECT_EQ(programs.winExec("C:\\PROGRA~1\\KIT\\READER.EXE", 1), 3u); // no short names
    EXPECT_TRUE(programs.runAndWait("C:\\Program Files\\KIT\\READER.EXE"));
    EXPECT_EQ(readFile(driveC() / "READER.TXT"), "5551234|Zoom 28800|42\r\n");

    // The side lives in the prefix with the machine's drives; one WINDOWS directory; our
    // registry file is Wine's to read, never to write; no copy of it left on C:.
    EXPECT_EQ(fs::read_symlink(prefix / "wine" / "dosdevices" / "c:"), "../../drive_c");
    EXPECT_TRUE(fs::equivalent(prefix / "wine" / "dosdevices" / "d:", medium()));
    int windows = 0;
    for (const auto& entry : fs::directory_iterator(driveC()))
        windows += equalsNoCase(entry.path().filename().string(), "windows");
    EXPECT_EQ(windows, 1);
    EXPECT_TRUE(fs::is_directory(driveC() / "WINDOWS" / "system32"));
    EXPECT_NE(readFile(prefix / "system.reg"), ours); // only by our own second write
    EXPECT_NE(readFile(prefix / "system.reg").find("Zoom 28800"), std::string::npos);
    for (const auto& entry : fs::recursive_directory_iterator(driveC() / "WINDOWS"))
        EXPECT_FALSE(entry.path().filename().string().starts_with("zel-registry")) << entry.path();
    EXPECT_EQ(fs::status(prefix / "wine").permissions() & fs::perms::all, fs::perms::owner_all);
}

} // namespace
} // namespace zel::test
