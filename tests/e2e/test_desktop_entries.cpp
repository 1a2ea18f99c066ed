// Program Manager's groups in the desktop's menu: made and removed with them, started by progman.
#include "tests/e2e/e2e.h"
#include "winemu/progman_client.h"

#include "progman/store.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zel::test {
namespace {

using DesktopEntriesTest = MachineTest;

// Off, nothing appears; the next server shows the stored group; its removal takes every file.
// The machine's path holds '=', blanks and quotes: its entries start its own progman.
TEST_F(DesktopEntriesTest, MadeStartedAndRemovedWithTheirGroup) {
    prefix = tmp / "ZEL_PREFIX=a b \"c\" 'd' $e";
    makeMachine();
    ::setenv("ZEL_PROGMAN_IDLE", "30", 1); // ExitProgman ends each server
    ::setenv("ZEL_PREFIX", fs::absolute(prefix).c_str(), 1);
    const fs::path kit = sourceDir() / "kit";
    const fs::path zel = prefix / "drive_c" / "ZEL";
    fs::create_directories(zel / "TRUMPET");
    fs::copy_file(kit / "TRUMPET" / "TCPMAN.EXE", zel / "TRUMPET" / "TCPMAN.EXE");
    fs::copy_file(kit / "UPDATE" / "ZELNET.ICO", zel / "ZELNET.ICO");
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
    // The desktop's files, relative to the test's directory, sorted.
    const auto desktopFiles = [&] {
        return runCommand("cd '" + tmp.path().string() +
                          "' && find xdg-data xdg-config -type f 2>/dev/null | LC_ALL=C sort")
            .output;
    };
    ::setenv("ZEL_NO_DESKTOP", "1", 1);
    ASSERT_TRUE(
        send({"[CreateGroup(ZEL Internet)]",
              "[AddItem(C:\\ZEL\\TRUMPET\\TCPMAN.EXE,\"Discador (Trumpet)\",C:\\ZEL\\ZELNET.ICO)]",
              "[AddItem(C:\\ZEL\\NADA.EXE,Nada)]"}));
    EXPECT_EQ(desktopFiles(), "");
    ::unsetenv("ZEL_NO_DESKTOP");
    // A server that serves nothing and leaves.
    ASSERT_EQ(runCommand("ZEL_PROGMAN_IDLE=0.1 '" + (binDir() / "progman").string() + "'").status,
              0);
    const std::string files = desktopFiles();
    const std::regex made(
        "xdg-config/menus/applications-merged/zel-setup-([0-9a-f]{16})-zel-internet\\.menu\n"
        "xdg-data/applications/zel-setup/\\1-zel-internet_discador-trumpet\\.desktop\n"
        "xdg-data/applications/zel-setup/\\1-zel-internet_nada\\.desktop\n"
        "xdg-data/desktop-directories/zel-setup-\\1-zel-internet\\.directory\n"
        "xdg-data/icons/hicolor/32x32/apps/zel-setup-\\1-[0-9a-f]{16}\\.png\n");
    ASSERT_TRUE(std::regex_match(files, made)) << files;
    std::smatch tag;
    std::regex_search(files, tag, std::regex("zel-setup-([0-9a-f]{16})"));
    // The entry's command line names its machine itself: the demo dialer says who it is.
    const fs::path entry = tmp / "xdg-data/applications/zel-setup" /
                           (tag[1].str() + "-zel-internet_discador-trumpet.desktop");
    EXPECT_EQ(runCommand("desktop-file-validate " + q(entry) + " 2>&1; echo $?").output, "0\n");
    EXPECT_EQ(runCommand("cd / && env -u ZEL_PREFIX " + execLine(readFile(entry)) + " 2>&1").output,
              "Discador ZEL (demonstracao do kit ZEL Internet)\n");
    const std::string usage = "2 progman: usage: progman [--prefix MACHINE] --run GROUP ITEM [N]\n";
    const std::pair<const char*, std::string> misuses[] = {
        {"--run 'ZEL Internet' nada 1",
         "1 progman: cannot start C:\\ZEL\\NADA.EXE: file not found\n"},
        {"--run 'ZEL Internet' Outro", "1 progman: no item Outro in ZEL Internet\n"},
        {"--run Outro Nada", "1 progman: no group Outro\n"},
        {"--run 'ZEL Internet' nada 2", "1 progman: no item nada in ZEL Internet\n"},
        {"--run 'ZEL Internet'", usage},
        {"--run 'ZEL Internet' Nada 0", usage},
        {"--run 'ZEL Internet' Nada 1x", usage},
        {"--prefix '' --run 'ZEL Internet' Nada", usage},
        {"--prefix . --list", usage},
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

// A client is answered before a large menu is made; SIGTERM then ends the server with what it
// was told stored; the next server finishes the menu.
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
        std::ptrdiff_t n = 0;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
            ++n;
        return n;
    };
    const std::string server = (binDir() / "progman").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(server.c_str(), server.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    std::optional<FileDescriptor> socket;
    for (int tries = 0; !socket && tries < 30000; ++tries)
        if (!(socket = connectToProgman(progmanSocketPath(prefix))))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(socket);
    const std::string packet = *macroPacket("[CreateGroup(Tarde)]");
    ASSERT_TRUE(writeAll(socket->get(), packet));
    char outcome = 0;
    EXPECT_EQ(::recv(socket->get(), &outcome, 1, 0), 1);
    EXPECT_EQ(outcome, '+');
    // Answered, and the menu far from made.
    EXPECT_LT(count(menus), kGroups);
    socket->reset();
    while (count(entries) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_LT(count(entries), kGroups);
    EXPECT_LT(count(menus), kGroups);
    EXPECT_EQ(progman::loadStore(progman::storePath(prefix)).groups().size(), kGroups + 1u);

    ASSERT_EQ(runCommand("ZEL_PROGMAN_IDLE=0.1 '" + server + "'").status, 0);
    EXPECT_EQ(count(entries), kGroups);
    EXPECT_EQ(count(menus), kGroups + 1); // "Tarde" has no items
}

} // namespace
} // namespace zel::test
