// Program Manager's groups in the desktop's menu, as its server keeps them: entries made and
// removed with their groups, and started through progman --run on the machine.
#include "tests/support/fixtures.h"
#include "winemu/progman_client.h"

#include <regex>

namespace zel::test {
namespace {

using DesktopEntriesTest = MachineTest;

// Off, nothing appears; the next server shows the group already stored, its entry started on the
// machine; the group's removal takes every file with it.
TEST_F(DesktopEntriesTest, MadeStartedAndRemovedWithTheirGroup) {
    ::setenv("ZEL_PROGMAN_IDLE", "30", 1); // ExitProgman ends each server
    ::setenv("ZEL_PREFIX", fs::absolute(prefix).c_str(), 1);
    const fs::path kit = sourceDir() / "kit";
    fs::create_directories(driveC() / "ZEL" / "TRUMPET");
    fs::copy_file(kit / "TRUMPET" / "TCPMAN.EXE", driveC() / "ZEL" / "TRUMPET" / "TCPMAN.EXE");
    fs::copy_file(kit / "UPDATE" / "ZELNET.ICO", driveC() / "ZEL" / "ZELNET.ICO");
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
        "xdg-config/menus/applications-merged/zel-setup-([0-9a-f]{8})\\.menu\n"
        "xdg-data/applications/zel-setup/\\1-zel-internet_discador-trumpet\\.desktop\n"
        "xdg-data/applications/zel-setup/\\1-zel-internet_nada\\.desktop\n"
        "xdg-data/desktop-directories/zel-setup-\\1-zel-internet\\.directory\n"
        "xdg-data/icons/hicolor/32x32/apps/zel-setup-\\1-[0-9a-f]{8}\\.png\n");
    ASSERT_TRUE(std::regex_match(files, made)) << files;
    std::smatch tag;
    std::regex_search(files, tag, std::regex("zel-setup-([0-9a-f]{8})"));
    const fs::path entry = tmp / "xdg-data/applications/zel-setup" /
                           (tag[1].str() + "-zel-internet_discador-trumpet.desktop");

    // The entry's command line, as a desktop runs it: the demo dialer says who it is.
    std::smatch exec;
    const std::string text = readFile(entry);
    ASSERT_TRUE(std::regex_search(text, exec, std::regex("\nExec=([^\n]*)")));
    const std::string line = std::regex_replace(
        std::regex_replace(exec[1].str(), std::regex("\\\\\\\\"), "\\"), std::regex("%%"), "%");
    ::unsetenv("ZEL_PREFIX"); // the entry names its machine itself
    EXPECT_EQ(runCommand(line + " 2>&1").output,
              "Discador ZEL (demonstracao do kit ZEL Internet)\n");
    const std::pair<const char*, const char*> misuses[] = {
        {"--run 'ZEL Internet' nada 1",
         "1 progman: cannot start C:\\ZEL\\NADA.EXE: file not found\n"},
        {"--run 'ZEL Internet' Outro", "1 progman: no item Outro in ZEL Internet\n"},
        {"--run Outro Nada", "1 progman: no group Outro\n"},
        {"--run 'ZEL Internet' nada 2", "1 progman: no item nada in ZEL Internet\n"},
        {"--run 'ZEL Internet'", "2 progman: usage: progman --run GROUP ITEM [N]\n"},
        {"--run 'ZEL Internet' Nada 0", "2 progman: usage: progman --run GROUP ITEM [N]\n"},
        {"--run 'ZEL Internet' Nada 1x", "2 progman: usage: progman --run GROUP ITEM [N]\n"},
    };
    ::setenv("ZEL_PREFIX", fs::absolute(prefix).c_str(), 1);
    for (const auto& [args, result] : misuses) {
        const CommandResult r = runTool("progman", args, tmp);
        EXPECT_EQ(std::to_string(r.status) + " " + r.output + r.errors, result) << args;
    }

    ASSERT_TRUE(send({"[DeleteGroup(ZEL Internet)]"}));
    EXPECT_EQ(desktopFiles(), "");
}

} // namespace
} // namespace zel::test
