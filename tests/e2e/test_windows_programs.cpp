// Program Manager's groups in the desktop's menu; Windows programs through Wine, or refused.
#include "tests/e2e/e2e.h"
#include "winemu/profile.h"
#include "winemu/progman_client.h"
#include "winemu/programs.h"
#include "winemu/wine.h"

namespace zel::test {
namespace {

using DesktopEntriesTest = MachineTest;

// Made, started (a machine path holding anything), removed whole with their group.
TEST_F(DesktopEntriesTest, MadeStartedAndRemovedWithTheirGroup) {
    prefix = tmp / "ZEL_PREFIX=a b \"c\" 'd' $e";
    makeMachine();
    ::setenv("ZEL_PROGMAN_IDLE", "30", 1); // ExitProgman ends each server
    ::setenv("ZEL_PREFIX", fs::absolute(prefix).c_str(), 1);
    const fs::path kit = sourceDir() / "kit", zel = prefix / "drive_c" / "ZEL";
    writeProgram(zel / "TRUMPET" / "TCPMAN.EXE", readFile(kit / "TRUMPET" / "TCPMAN.EXE"));
    writeFile(zel / "ZELNET.ICO", readFile(kit / "UPDATE" / "ZELNET.ICO"));
    ScriptedUi ui;
    // Hands the macros to Program Manager, then ends it; true when each was stored.
    const auto send = [&](std::vector<std::string> macros) {
        macros.push_back("[ExitProgman()]");
        Programs programs(machine(), ui);
        DdeConversation conversation(machine(), programs);
        if (!conversation.open("PROGMAN", "PROGMAN"))
            return false;
        for (const auto& macro : macros)
            conversation.execute(macro);
        conversation.close();
        return awaitProgmanExit() &&
               conversation.deliveries() == std::vector<bool>(macros.size(), true);
    };
    const auto desktopFiles = [&] {
        return runCommand("cd " + q(tmp.path()) +
                          " && find xdg-data xdg-config -type f 2>/dev/null | LC_ALL=C sort")
            .output;
    };
    ASSERT_TRUE(
        send({"[CreateGroup(ZEL Internet)]",
              "[AddItem(C:\\ZEL\\TRUMPET\\TCPMAN.EXE,\"Discador (Trumpet)\",C:\\ZEL\\ZELNET.ICO)]",
              "[AddItem(C:\\ZEL\\NADA.EXE,Nada)]"}));
    ASSERT_EQ(runCommand("ZEL_PROGMAN_IDLE=0.1 " + q(binDir() / "progman")).status, 0);
    const std::string files = desktopFiles();
    const std::regex made(
        "xdg-config/menus/applications-merged/zel-setup-([0-9a-f]{16})-zel-internet\\.menu\n"
        "xdg-data/applications/zel-setup/\\1-zel-internet_discador-trumpet\\.desktop\n"
        "xdg-data/applications/zel-setup/\\1-zel-internet_nada\\.desktop\n"
        "xdg-data/desktop-directories/zel-setup-\\1-zel-internet\\.directory\n"
        "xdg-data/icons/hicolor/32x32/apps/zel-setup-\\1-[0-9a-f]{16}\\.png\n");
    std::smatch tag;
    ASSERT_TRUE(std::regex_match(files, tag, made)) << files;
    // The entry's command line names its machine itself: the demo dialer says who it is.
    const fs::path entry = tmp / "xdg-data/applications/zel-setup" /
                           (tag[1].str() + "-zel-internet_discador-trumpet.desktop");
    EXPECT_EQ(runCommand("cd / && env -u ZEL_PREFIX " + execLine(readFile(entry)) + " 2>&1").output,
              "Discador ZEL (demonstracao do kit ZEL Internet)\n");
    const std::string usage = "2 progman: usage: progman [--prefix MACHINE] --run GROUP ITEM [N]\n";
    const std::pair<const char*, std::string> misuses[] = {
        {"--run 'ZEL Internet' nada 1",
         "1 progman: cannot start C:\\ZEL\\NADA.EXE: file not found\n"},
        {"--run 'ZEL Internet' Outro", "1 progman: no item Outro in ZEL Internet\n"},
        {"--run Outro Nada", "1 progman: no group Outro\n"},
        {"--run 'ZEL Internet'", usage},
        {"--prefix /nonexistent/zel --run 'ZEL Internet' Nada",
         "1 progman: no machine at /nonexistent/zel\n"},
    };
    for (const auto& [args, result] : misuses) {
        const CommandResult r = runTool("progman", args, tmp);
        EXPECT_EQ(std::to_string(r.status) + " " + r.output + r.errors, result) << args;
    }

    ASSERT_TRUE(send({"[DeleteGroup(ZEL Internet)]"}));
    EXPECT_EQ(desktopFiles(), "");
}

// Answered before a large menu is made; SIGTERM keeps what was told; the next server finishes.
TEST_F(DesktopEntriesTest, AnsweredBeforeTheMirrorAndEndedMidwayBySigterm) {
    constexpr int kGroups = 10000;
    std::vector<progman::Group> groups;
    for (int g = 0; g < kGroups; ++g)
        groups.push_back({"Grupo " + std::to_string(g), {{"C:\\P.EXE", "Item", "", 0}}});
    progman::saveStore(progman::storePath(prefix), progman::Groups(groups));
    ::setenv("ZEL_PREFIX", fs::absolute(prefix).c_str(), 1);
    ::setenv("ZEL_PROGMAN_IDLE", "30", 1);
    const fs::path entries = tmp / "xdg-data/applications/zel-setup";
    const fs::path menus = tmp / "xdg-config/menus/applications-merged";
    const auto count = [](const fs::path& dir) {
        std::error_code ec;
        return std::distance(fs::directory_iterator(dir, ec), fs::directory_iterator());
    };
    const std::string server = (binDir() / "progman").string();
    const int ended = inChild(
        [&] { ::execl(server.c_str(), server.c_str(), static_cast<char*>(nullptr)); },
        [&](pid_t pid) {
            std::optional<FileDescriptor> socket;
            for (int tries = 0; !socket && tries < 30000; ++tries)
                if (!(socket = connectToProgman(progmanSocketPath(prefix))))
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            char outcome = 0;
            EXPECT_TRUE(socket && writeAll(socket->get(), *macroPacket("[CreateGroup(Tarde)]")) &&
                        ::recv(socket->get(), &outcome, 1, 0) == 1);
            EXPECT_EQ(outcome, '+');
            EXPECT_LT(count(menus), kGroups); // answered, and the menu far from made
            socket.reset();
            while (count(entries) == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ::kill(pid, SIGTERM);
        });
    EXPECT_EQ(ended, 0);
    EXPECT_LT(std::max(count(entries), count(menus)), kGroups);
    EXPECT_EQ(progman::loadStore(progman::storePath(prefix)).groups().size(), kGroups + 1u);

    ASSERT_EQ(runCommand("ZEL_PROGMAN_IDLE=0.1 " + q(server)).status, 0);
    EXPECT_EQ(count(entries), kGroups);
    EXPECT_EQ(count(menus), kGroups + 1); // "Tarde" has no items
}

const fs::path kPeDir = ZEL_PE_DIR;
constexpr const char* kDialer = "Discador (Trumpet Winsock)";

// The demo kit with Windows programs as its browser setup and dialer, installed unattended.
class WindowsKitTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        // Never the user's ~/.wine or WINEPREFIX: a Wine side made outside the prefix shows here.
        ::setenv("HOME", (tmp / "home").c_str(), 1);
        ::setenv("WINEPREFIX", (tmp / "home" / ".wine").c_str(), 1);
        if (kPeDir.empty())
            GTEST_SKIP() << "x86_64-w64-mingw32-gcc was not found at configure time: no Windows "
                            "programs (scripts/install-deps --test installs it)";
        ::unsetenv("ZEL_NO_DESKTOP");
        ::unsetenv("ZEL_WINE");
        fs::remove_all(prefix);
        useDemoKitWithTheWizard();
        for (const char* program : {"NAVEGA/SETUP.EXE", "TRUMPET/TCPMAN.EXE"})
            fs::copy_file(kPeDir / "marker.exe", medium() / program,
                          fs::copy_options::overwrite_existing);
    }
    void TearDown() override {
        ::unsetenv("ZEL_WINE");
        EXPECT_FALSE(fs::exists(tmp / "home" / ".wine"));
    }
    CommandResult install() {
        writeFile(tmp / "a.ini", "[Respostas]\nporta=1\nnavegador=1\n");
        const CommandResult r =
            runIn(medium(),
                  "ZEL_PREFIX=" + q(prefix) +
                      " timeout 300 ./SETUP --answers ../a.ini --log ../setup.log >" +
                      q(tmp / "stdout.txt"),
                  tmp / "stderr.txt");
        EXPECT_TRUE(awaitProgmanExit());
        EXPECT_EQ(r.status, 0) << r.errors;
        return r;
    }
};

// The machine's own Wine side: the browser setup, the dialer by its entry (progman --run).
TEST_F(WindowsKitTest, TheFinishProgmanAndTheDesktopMenuStartWindowsProgramsThroughWine) {
    const auto loader = findWine();
    if (!loader)
        GTEST_SKIP() << "Wine is not installed (scripts/install-deps --test installs wine64)";
    // Wine's server lingers a few seconds after its last program: it goes with the machine.
    struct StopWine {
        fs::path server, side;
        ~StopWine() { runCommand("WINEPREFIX=" + q(side) + " " + q(server) + " -k 2>/dev/null"); }
    } stopWine{fs::weakly_canonical(*loader).parent_path() / "wineserver", prefix / "wine"};
    const CommandResult r = install();
    EXPECT_EQ(awaitFile(driveC() / "SETUP.TXT"),
              "D:\\NAVEGA\\SETUP.EXE|D:\\NAVEGA|0|||none||-1\r\n");
    EXPECT_THAT(r.errors, HasSubstr("Preparando o Wine para os programas do Windows em " +
                                    (prefix / "wine").string()));
    const std::string log = readFile(tmp / "setup.log");
    const auto setUp = log.find("\nwine-setup " + (prefix / "wine").string() + "\n");
    EXPECT_LT(setUp, log.find("\nstart D:\\NAVEGA\\SETUP.EXE\n")) << log;

    std::string fromEntry;
    for (const auto& entry : fs::directory_iterator(tmp / "xdg-data/applications/zel-setup"))
        if (readFile(entry).find("\nName=" + std::string(kDialer) + "\n") != std::string::npos)
            fromEntry = execLine(readFile(entry));
    ASSERT_FALSE(fromEntry.empty()) << "no desktop entry for " << kDialer;
    EXPECT_EQ(outcome(runIn("/", "env -u ZEL_PREFIX " + fromEntry, tmp / "run.txt")), "0");
    EXPECT_EQ(awaitFile(driveC() / "TCPMAN.TXT"),
              "C:\\Program Files\\ZEL\\TRUMPET\\TCPMAN.EXE|C:\\Program "
              "Files\\ZEL\\TRUMPET|0|||none||-1\r\n");
    makeMachine(); // the one the wizard made
    const fs::path kit = driveC() / "Program Files" / "KIT";
    fs::create_directories(kit);
    for (const fs::path& copy : {medium() / "SPONSOR.EXE", kit / "SPONSOR.EXE", kit / "READER.EXE"})
        fs::copy_file(kPeDir / "marker.exe", copy);
    fs::copy_file(kPeDir / "zeltest.dll", driveC() / "WINDOWS" / "SYSTEM" / "ZELTEST.DLL");
    ProfileFile(machine(), "C:\\WINDOWS\\ZELTEST.INI").writeText("Discador", "Telefone", "5551234");
    writeRegistry("SOFTWARE\\ZEL\\Teste", "Modem", "USR Sportster 33600");
    Programs programs(machine(), ui);

    // Waited for, from the medium: it reports what the wizard wrote and what the system's DLL says.
    EXPECT_TRUE(programs.runAndWait("D:\\SPONSOR.EXE"));
    const std::string wrote = "5551234|USR Sportster 33600|42\r\n";
    EXPECT_EQ(readFile(driveC() / "SPONSOR.TXT"), "D:\\SPONSOR.EXE|D:\\|0|||" + wrote);

    // Started as WinExec starts it: its directory current, its arguments passed on.
    fs::remove(driveC() / "SPONSOR.TXT");
    EXPECT_EQ(programs.winExec("C:\\Program Files\\KIT\\SPONSOR.EXE um \"dois tres\"", 1), 33u);
    EXPECT_EQ(awaitFile(driveC() / "SPONSOR.TXT"),
              "C:\\Program Files\\KIT\\SPONSOR.EXE|C:\\Program Files\\KIT|2|um|dois tres|" + wrote);

    // A value written after the side was made reaches the next start too.
    fs::create_directory_symlink("/", prefix / "wine" / "dosdevices" / "q:"); // a drive gone since
    writeRegistry("SOFTWARE\\ZEL\\Teste", "Modem", "Zoom 28800");
    EXPECT_EQ(programs.winExec("C:\\PROGRA~1\\KIT\\READER.EXE", 1), 3u); // no short names
    EXPECT_TRUE(programs.runAndWait("C:\\Program Files\\KIT\\READER.EXE"));
    EXPECT_FALSE(fs::is_symlink(prefix / "wine" / "dosdevices" / "q:"));
    EXPECT_EQ(readFile(driveC() / "READER.TXT"),
              "C:\\Program Files\\KIT\\READER.EXE|D:\\|0|||5551234|Zoom 28800|42\r\n");

    // Our registry is Wine's to read only, its copy for regedit gone; the side the owner's alone.
    EXPECT_THAT(readFile(prefix / "system.reg"), HasSubstr("Zoom 28800"));
    for (const auto& entry : fs::recursive_directory_iterator(driveC() / "WINDOWS"))
        EXPECT_FALSE(entry.path().filename().string().starts_with("zel-registry")) << entry.path();
    EXPECT_EQ(fs::status(prefix / "wine").permissions() & fs::perms::all, fs::perms::owner_all);
}

// Without Wine the finish completes, naming the program that could not start and the package.
TEST_F(WindowsKitTest, WithoutWineTheFinishCompletesAndWindowsProgramsAreToldAndNotStarted) {
    ::setenv("ZEL_WINE", (tmp / "no-wine" / "wine64").c_str(), 1);
    const CommandResult r = install();
    EXPECT_THAT(r.errors, HasSubstr("Não foi possível iniciar D:\\NAVEGA\\SETUP.EXE: é um programa "
                                    "do Windows, que precisa do Wine, e o Wine não está instalado. "
                                    "Instale o pacote wine64 (apt-get install wine64).\n"));
    const std::string log = readFile(tmp / "setup.log");
    EXPECT_THAT(log, ::testing::AllOf(HasSubstr("\nstart D:\\NAVEGA\\SETUP.EXE FAILED\n"),
                                      HasSubstr("\noutcome 0 "), Not(HasSubstr("wine-setup"))));
    // Started by the Windows layer: a Windows program refused, saying why; a host script runs.
    std::string pe(0x84, '\0'); // "MZ", the PE header's offset at 0x3C, its signature there
    writeProgram(driveC() / "KIT" / "SPONSOR.EXE",
                 pe.replace(0, 2, "MZ").replace(0x3C, 1, "\x80").replace(0x80, 2, "PE"));
    writeProgram(driveC() / "KIT" / "SCRIPT.EXE", "#!/bin/sh\necho ran > \"$ZEL_PREFIX/ran\"\n");
    Programs programs(makeMachine(), ui);
    const std::pair<const char*, bool> runs[] = {{"C:\\KIT\\SPONSOR.EXE", false},
                                                 {"C:\\KIT\\SCRIPT.EXE", true}};
    for (const auto& [path, starts] : runs) {
        testing::internal::CaptureStderr();
        const unsigned code = programs.winExec(std::string(path) + " /x", 1);
        const bool waited = programs.runAndWait(path);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::to_string(code) + std::to_string(waited) + std::to_string(said.empty()),
                  starts ? "3311" : "1100")
            << path << said;
    }
    EXPECT_EQ(awaitFile(prefix / "ran"), "ran\n");
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"minimise", "restore", "minimise", "restore"}));
    // The browser setup never ran; nothing was made for a Wine not there.
    EXPECT_FALSE(fs::exists(driveC() / "SETUP.TXT") || fs::exists(prefix / "wine"));
    ::unsetenv("ZEL_WINE"); // then looked for on PATH, folder by folder
    writeProgram(tmp / "bin" / "wine64", "#!/bin/sh\n");
    ::setenv("PATH", ("/nonexistent::" + (tmp / "bin").string()).c_str(), 1);
    EXPECT_EQ(findWine(), tmp / "bin" / "wine64");
}

} // namespace
} // namespace zel::test
