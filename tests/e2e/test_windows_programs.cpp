// Windows programs started through Wine on the machine's own Wine side, or refused without
// Wine; a kit of Windows programs installed, its dialer started from the menu and progman.
#include "tests/e2e/e2e.h"
#include "winemu/cp1252.h"
#include "winemu/profile.h"
#include "winemu/programs.h"
#include "winemu/wine.h"

namespace zel::test {
namespace {

const fs::path kPeDir = ZEL_PE_DIR;
constexpr const char* kNoPe = "x86_64-w64-mingw32-gcc was not found at configure time: no Windows "
                              "programs (scripts/install-deps --test installs it)";
constexpr const char* kNoWine =
    "Wine is not installed (scripts/install-deps --test installs wine64)";
constexpr const char* kGroup = "ZEL Internet";
constexpr const char* kDialer = "Discador (Trumpet Winsock)";

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
    ScriptedUi ui;
};

// Without Wine a Windows program is refused, naming the package; a host script still runs.
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
        EXPECT_EQ(said.empty(), starts) << said; // its words: the Windows kit's test without Wine
    }
    EXPECT_EQ(awaitFile(prefix / "ran"), "ran\n");
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"minimise", "restore", "minimise", "restore"}));
    EXPECT_FALSE(fs::exists(prefix / "wine")); // nothing made for a Wine that is not there
}

// One Wine side for all the cases: its first set-up takes seconds.
TEST_F(WindowsProgramsTest, WindowsProgramsRunThroughWineOnTheMachine) {
    if (kPeDir.empty())
        GTEST_SKIP() << kNoPe;
    if (!findWine())
        GTEST_SKIP() << kNoWine;
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
    EXPECT_THAT(said, HasSubstr("Preparando o Wine"));

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

    // The side in the prefix, one WINDOWS, our registry Wine's to read only, no copy left on C:.
    EXPECT_EQ(fs::read_symlink(prefix / "wine" / "dosdevices" / "c:"), "../../drive_c");
    EXPECT_TRUE(fs::equivalent(prefix / "wine" / "dosdevices" / "d:", medium()));
    int windows = 0;
    for (const auto& entry : fs::directory_iterator(driveC()))
        windows += equalsNoCase(entry.path().filename().string(), "windows");
    EXPECT_EQ(windows, 1);
    EXPECT_TRUE(fs::is_directory(driveC() / "WINDOWS" / "system32"));
    EXPECT_NE(readFile(prefix / "system.reg"), ours); // only by our own second write
    EXPECT_THAT(readFile(prefix / "system.reg"), HasSubstr("Zoom 28800"));
    for (const auto& entry : fs::recursive_directory_iterator(driveC() / "WINDOWS"))
        EXPECT_FALSE(entry.path().filename().string().starts_with("zel-registry")) << entry.path();
    EXPECT_EQ(fs::status(prefix / "wine").permissions() & fs::perms::all, fs::perms::owner_all);
}

// The demo kit with Windows programs for the browser setup and the dialer, installed unattended
// (its output to files: its programs outlive it); each check is of what a user sees.
class WindowsKitTest : public WindowsProgramsTest {
protected:
    void SetUp() override {
        WindowsProgramsTest::SetUp();
        if (kPeDir.empty())
            GTEST_SKIP() << kNoPe;
        ::setenv("ZEL_PROGMAN_IDLE", "0.3", 1);
        ::unsetenv("ZEL_NO_DESKTOP");
        ::unsetenv("ZEL_WINE");
        fs::remove_all(prefix);
        fs::copy(sourceDir() / "kit", medium(),
                 fs::copy_options::overwrite_existing | fs::copy_options::recursive);
        for (const char* program : {"NAVEGA/SETUP.EXE", "TRUMPET/TCPMAN.EXE"})
            fs::copy_file(kPeDir / "marker.exe", medium() / program,
                          fs::copy_options::overwrite_existing);
        fs::remove(program);
        fs::create_symlink(binDir() / "zel-setup", program);
    }
    CommandResult install(const std::string& env) {
        writeFile(tmp / "a.ini", "[Respostas]\nporta=1\nnavegador=1\n");
        const CommandResult r = runIn(medium(),
                                      "env " + env + " ZEL_PREFIX=" + q(prefix) +
                                          " timeout 300 ./SETUP --answers ../a.ini --log "
                                          "../setup.log >" +
                                          q(tmp / "stdout.txt"),
                                      tmp / "stderr.txt");
        EXPECT_TRUE(awaitProgmanExit());
        EXPECT_EQ(r.status, 0) << r.errors;
        // The registry file's lines end in CR LF, as the platform's regedit writes them.
        EXPECT_THAT(
            readFile(prefix / "system.reg"),
            HasSubstr("\\CurrentVersion\\Uninstall\\ZEL Internet]\r\n\"DisplayName\"=\"ZEL "
                      "Internet\"\r\n\"UninstallString\"=\"C:\\\\WINDOWS\\\\zelun.exe\"\r\n"));
        EXPECT_THAT(progmanList(prefix),
                    HasSubstr(std::string("    ") + kDialer +
                              ": C:\\Program Files\\ZEL\\TRUMPET\\TCPMAN.EXE"));
        return r;
    }
};

// With Wine: the browser setup at the finish, then the dialer by progman --run and by its
// desktop entry, each in its own directory.
TEST_F(WindowsKitTest, TheFinishProgmanAndTheDesktopMenuStartWindowsProgramsThroughWine) {
    const auto loader = findWine();
    if (!loader)
        GTEST_SKIP() << kNoWine;
    // Wine's server lingers a few seconds after its last program: it goes with the machine.
    struct StopWine {
        fs::path server, side;
        ~StopWine() { runCommand("WINEPREFIX=" + q(side) + " " + q(server) + " -k 2>/dev/null"); }
    } stopWine{fs::weakly_canonical(*loader).parent_path() / "wineserver", prefix / "wine"};
    const CommandResult r = install("");
    EXPECT_EQ(awaitFile(driveC() / "SETUP.TXT"), "D:\\NAVEGA\\SETUP.EXE|D:\\NAVEGA|0\r\n");
    EXPECT_THAT(r.errors, HasSubstr("Preparando o Wine para os programas do Windows em " +
                                    (prefix / "wine").string()));
    const std::string log = readFile(tmp / "setup.log");
    const auto setUp = log.find("\nwine-setup " + (prefix / "wine").string() + "\n");
    EXPECT_LT(setUp, log.find("\nstart D:\\NAVEGA\\SETUP.EXE\n")) << log;
    EXPECT_NE(setUp, std::string::npos) << log;
    EXPECT_TRUE(fs::is_directory(driveC() / "WINDOWS" / "system32"));

    std::string fromEntry;
    for (const auto& entry : fs::directory_iterator(tmp / "xdg-data/applications/zel-setup"))
        if (readFile(entry).find("\nName=" + std::string(kDialer) + "\n") != std::string::npos)
            fromEntry = execLine(readFile(entry));
    ASSERT_FALSE(fromEntry.empty()) << "no desktop entry for " << kDialer;
    for (const std::string& command : {q(binDir() / "progman") + " --prefix " + q(prefix) +
                                           " --run '" + kGroup + "' '" + kDialer + "'",
                                       fromEntry}) {
        SCOPED_TRACE(command);
        fs::remove(driveC() / "TCPMAN.TXT");
        EXPECT_EQ(outcome(runIn("/", "env -u ZEL_PREFIX " + command, tmp / "run.txt")), "0");
        EXPECT_EQ(awaitFile(driveC() / "TCPMAN.TXT"),
                  "C:\\Program Files\\ZEL\\TRUMPET\\TCPMAN.EXE|C:\\Program "
                  "Files\\ZEL\\TRUMPET|0\r\n");
    }
}

// Without Wine the finish completes all the same, naming the browser setup that could not start
// with the package that would run it.
TEST_F(WindowsKitTest, WithoutWineTheFinishCompletesAndSaysTheBrowserSetupNeedsWine) {
    const CommandResult r = install("ZEL_WINE=" + q(tmp / "no-wine"));
    EXPECT_THAT(r.errors,
                HasSubstr("N\u00e3o foi poss\u00edvel iniciar D:\\NAVEGA\\SETUP.EXE: \u00e9 um "
                          "programa do Windows, que precisa do Wine, e o Wine n\u00e3o est\u00e1 "
                          "instalado. Instale o pacote wine64 (apt-get install wine64).\n"));
    const std::string log = readFile(tmp / "setup.log");
    EXPECT_THAT(log, HasSubstr("\nstart D:\\NAVEGA\\SETUP.EXE FAILED\n"));
    EXPECT_THAT(log, HasSubstr("\noutcome 0 "));
    EXPECT_THAT(log, Not(HasSubstr("wine-setup")));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(fs::exists(driveC() / "SETUP.TXT"));
    EXPECT_FALSE(fs::exists(prefix / "wine"));
}

} // namespace
} // namespace zel::test
