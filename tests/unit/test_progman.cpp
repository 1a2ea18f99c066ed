// Program Manager: the macro language, the groups it keeps and their store, and the
// conversation with the real progman server, started on demand as the wizard does.
#include "winemu/progman_client.h"
#include "progman/groups.h"
#include "progman/macros.h"
#include "progman/store.h"
#include "winemu/errors.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>
#include <sstream>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace zel::test {
namespace {

using progman::Groups;
using progman::parseMacros;

std::vector<std::string> itemNames(const Groups& groups, std::string_view group) {
    std::vector<std::string> names;
    if (const auto* g = groups.find(group))
        for (const auto& item : g->items)
            names.push_back(item.name);
    return names;
}

std::vector<std::string> groupNames(const Groups& groups) {
    std::vector<std::string> names;
    for (const auto& g : groups.groups())
        names.push_back(g.name);
    return names;
}

using Names = std::vector<std::string>;

// ---------------------------------------------------------------- the macro language

TEST(ProgmanMacros, ArgumentsQuotedBareOrEmptyWithBlanksAnywhere) {
    auto parsed = parseMacros(" [ AddItem ( \"C:\\A B\\X.EXE\" , bare name ,, \"\" , 3 ) ]  ");
    ASSERT_TRUE(parsed.complete);
    ASSERT_EQ(parsed.commands.size(), 1u);
    EXPECT_EQ(parsed.commands[0].name, "AddItem");
    EXPECT_EQ(parsed.commands[0].args, (Names{"C:\\A B\\X.EXE", "bare name", "", "", "3"}));

    // Quotes protect what would otherwise end an argument or a command.
    parsed = parseMacros("[AddItem(\"a,b)c]d[e\")]");
    ASSERT_TRUE(parsed.complete);
    EXPECT_EQ(parsed.commands[0].args, (Names{"a,b)c]d[e"}));

    // Trailing empty arguments are no arguments; a command may go without parentheses.
    parsed = parseMacros("[CreateGroup(\"A\", ,)][ExitProgman()][Reload]");
    ASSERT_TRUE(parsed.complete);
    ASSERT_EQ(parsed.commands.size(), 3u);
    EXPECT_EQ(parsed.commands[0].args, (Names{"A"}));
    EXPECT_TRUE(parsed.commands[1].args.empty());
    EXPECT_TRUE(parsed.commands[2].args.empty());
    EXPECT_TRUE(parseMacros("   ").complete);
}

TEST(ProgmanMacros, ParsingStopsAtTheFirstMalformedCommand) {
    for (std::string_view bad :
         {"[CreateGroup(A)] junk [Reload(A)]", "[CreateGroup(A)][(x)]",
          "[CreateGroup(A)][AddItem(\"open)]", "[CreateGroup(A)][Reload(A)",
          "[CreateGroup(A)][AddItem(A\"B\")]", "[CreateGroup(A)][AddItem(\"A\" \"B\")]"}) {
        auto parsed = parseMacros(bad);
        EXPECT_FALSE(parsed.complete) << bad;
        ASSERT_EQ(parsed.commands.size(), 1u) << bad;
        EXPECT_EQ(parsed.commands[0].args, (Names{"A"})) << bad;
    }
    EXPECT_TRUE(parseMacros("CreateGroup(A)").commands.empty());
}

// ---------------------------------------------------------------- the groups

TEST(ProgmanGroups, ItemsGoToTheCurrentGroupAndAnItemOfTheSameNameIsReplacedInPlace) {
    Groups g;
    EXPECT_TRUE(g.execute("[CreateGroup(\"StartUp\")][AddItem(\"C:\\U.EXE\",\"ZEL Update\")]"
                          "[CreateGroup(Kit)][AddItem(C:\\A.EXE,A)][AddItem(C:\\B.EXE,B,"
                          "C:\\b.ico,2)][AddItem(C:\\C.EXE,C)]"));
    EXPECT_EQ(groupNames(g), (Names{"StartUp", "Kit"}));
    EXPECT_EQ(itemNames(g, "StartUp"), (Names{"ZEL Update"}));

    // Same name in other letter case: replaced where it stood, not added.
    EXPECT_TRUE(g.execute("[AddItem(C:\\NEW\\B.EXE,b)]"));
    ASSERT_EQ(itemNames(g, "kit"), (Names{"A", "b", "C"}));
    const auto& replaced = g.find("Kit")->items[1];
    EXPECT_EQ(replaced.command, "C:\\NEW\\B.EXE");
    EXPECT_EQ(replaced.icon, "");
    EXPECT_EQ(g.find("Kit")->items[0].iconIndex, 0);

    // CreateGroup on an existing group makes it current without a second one.
    EXPECT_TRUE(g.execute("[CreateGroup(STARTUP)][AddItem(\"C:\\Meu Kit\\NAVEGA.EXE /s\")]"
                          "[AddItem(C:\\Meu Kit\\TOOLS)]"));
    EXPECT_EQ(groupNames(g), (Names{"StartUp", "Kit"}));
    EXPECT_EQ(itemNames(g, "StartUp"),
              (Names{"ZEL Update", "NAVEGA", "TOOLS"})); // named after the file
    EXPECT_TRUE(g.execute("[ShowGroup(Kit,1)][AddItem(C:\\D.EXE,D,C:\\d.ico,7)]"));
    EXPECT_EQ(g.find("Kit")->items.back().iconIndex, 7);
    EXPECT_EQ(g.find("Kit")->items.back().icon, "C:\\d.ico");
}

TEST(ProgmanGroups, TheFirstFailingCommandStopsTheRestOfItsText) {
    Groups g;
    EXPECT_FALSE(g.execute("[AddItem(C:\\X.EXE,X)][CreateGroup(Never)]")); // no current group
    EXPECT_TRUE(g.groups().empty());
    EXPECT_FALSE(g.execute("[CreateGroup(A)][Bogus(1)][CreateGroup(B)]"));
    EXPECT_FALSE(g.execute("[ShowGroup(A)] junk [CreateGroup(C)]"));
    EXPECT_FALSE(g.execute("[AddItem(C:\\X.EXE,X,,notanumber)][CreateGroup(D)]"));
    EXPECT_FALSE(g.execute("[DeleteItem(Missing)][CreateGroup(E)]"));
    EXPECT_FALSE(g.execute("[ShowGroup(Missing)][CreateGroup(F)]"));
    EXPECT_FALSE(g.execute("[CreateGroup()][CreateGroup(G)]"));
    EXPECT_EQ(groupNames(g), (Names{"A"}));
    EXPECT_TRUE(itemNames(g, "A").empty());
    // Each execute text stands alone: the next one runs again.
    EXPECT_TRUE(g.execute("[CreateGroup(B)]"));
    EXPECT_EQ(groupNames(g), (Names{"A", "B"}));
}

TEST(ProgmanGroups, ReplaceDeleteAndDeleteGroup) {
    Groups g;
    ASSERT_TRUE(g.execute("[CreateGroup(K)][AddItem(a.exe,a)][AddItem(b.exe,b)][AddItem(c.exe,c)]"
                          "[CreateGroup(Other)][ShowGroup(K)]"));
    EXPECT_TRUE(g.execute("[ReplaceItem(b)]"));
    EXPECT_EQ(itemNames(g, "K"), (Names{"a", "c"}));
    EXPECT_TRUE(g.execute("[AddItem(n.exe,N)][AddItem(z.exe,Z)]"));
    EXPECT_EQ(itemNames(g, "K"), (Names{"a", "N", "c", "Z"})); // only the next one takes its place
    EXPECT_FALSE(g.execute("[ReplaceItem(missing)]"));
    EXPECT_TRUE(g.execute("[DeleteItem(A)][Reload(K)]"));
    EXPECT_EQ(itemNames(g, "K"), (Names{"N", "c", "Z"}));

    EXPECT_TRUE(g.execute("[DeleteGroup(k)]"));
    EXPECT_EQ(groupNames(g), (Names{"Other"}));
    EXPECT_EQ(g.currentGroup(), "");
    EXPECT_FALSE(g.execute("[AddItem(x.exe,x)]")); // the current group went with it
    EXPECT_FALSE(g.execute("[DeleteGroup(k)]"));
    EXPECT_FALSE(g.exitRequested());
    EXPECT_TRUE(g.execute("[ExitProgman()]"));
    EXPECT_TRUE(g.exitRequested());
}

TEST(ProgmanGroups, TheStoreKeepsEveryTextAsReceived) {
    TempDir tmp;
    const auto file = progman::storePath(tmp.path());
    EXPECT_TRUE(progman::loadStore(file).groups().empty());

    Groups g;
    // Texts the format must protect: its separators, its escape and code page 1252 letters.
    const std::string awkward = "Tab\there 100% %41 line\r\nnext Eletr\xF4nico #";
    ASSERT_TRUE(g.execute("[CreateGroup(\"" + awkward + "\")][AddItem(\"C:\\A B\\X.EXE /x\",\"" +
                          awkward + "\",\"C:\\i.ico\",-3)][CreateGroup(Empty)]"));
    progman::saveStore(file, g);
    const Groups loaded = progman::loadStore(file);
    EXPECT_EQ(progman::storeText(loaded), progman::storeText(g));
    ASSERT_EQ(groupNames(loaded), (Names{awkward, "Empty"}));
    const auto& item = loaded.groups()[0].items.at(0);
    EXPECT_EQ(item.command, "C:\\A B\\X.EXE /x");
    EXPECT_EQ(item.name, awkward);
    EXPECT_EQ(item.icon, "C:\\i.ico");
    EXPECT_EQ(item.iconIndex, -3);
    // Written whole by rename: nothing else is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);

    // A store that does not read is refused, not taken for empty, and the message says where.
    const auto refusal = [&](const std::string& content) -> std::string {
        writeFile(file, content);
        try {
            progman::loadStore(file);
        } catch (const PlatformError& e) {
            return e.what();
        }
        return "(read)";
    };
    EXPECT_EQ(refusal("zel-progman 1\ngroup\tA\nitem\tonly two\tfields\n"),
              file.string() + ": line 3: unknown entry");
    EXPECT_EQ(refusal("# a comment\nsomething else\n"), file.string() + ": line 2: not a progman store");
    EXPECT_EQ(refusal("zel-progman 1\ngroup\tA\ngroup\ta\n"), file.string() + ": line 3: group listed twice");
    EXPECT_EQ(refusal("zel-progman 1\nitem\tc\tn\t\t0\n"), file.string() + ": line 2: item before any group");
    EXPECT_EQ(refusal("zel-progman 1\ngroup\tA%4\n"), file.string() + ": line 2: bad %-escape");
    EXPECT_EQ(refusal("zel-progman 1\ngroup\tA\nitem\tc\tn\t\tx1\n"),
              file.string() + ": line 3: bad icon index");
}

// Names come from kits: listed for people, their control characters cannot fake lines or
// drive the terminal.
TEST(ProgmanList, ControlCharactersInNamesAreEscaped) {
    TempDir tmp;
    Groups g;
    ASSERT_TRUE(g.execute("[CreateGroup(\"Kit\x1B[2J\nFake group\")]"
                          "[AddItem(\"C:\\A.EXE\",\"Item\r\x7F\x81\")]"));
    progman::saveStore(progman::storePath(tmp.path()), g);
    const auto r = runCommand("ZEL_PREFIX='" + tmp.path().string() + "' '" +
                              (binDir() / "progman").string() + "' --list");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "Kit\\x1B[2J\\x0AFake group\n    Item\\x0D\\x7F\\x81: C:\\A.EXE\n");
}

// ---------------------------------------------------------------- the conversation

class ProgmanConversationTest : public MachineTest {
protected:
    void SetUp() override {
        // Servers started by the tests leave soon after their last conversation.
        ::setenv("ZEL_PROGMAN_IDLE", "1", 1);
        MachineTest::SetUp();
        ASSERT_TRUE(fs::exists(binDir() / "progman")) << "build the progman target first";
        ensureProgmanExe();
    }

    void TearDown() override { EXPECT_TRUE(awaitServerExit()) << "progman did not leave"; }

    void ensureProgmanExe() {
        const auto exe = driveC() / "WINDOWS" / "PROGMAN.EXE";
        if (!fs::exists(exe)) {
            writeFile(exe, "#!/bin/sh\nexec '" + (binDir() / "progman").string() + "' \"$@\"\n");
            fs::permissions(exe, fs::perms::owner_all);
        }
    }

    void useMachine() {
        programs = std::make_unique<Programs>(machine(), ui);
        conversation = std::make_unique<DdeConversation>(machine(), *programs);
        ::setenv("ZEL_PREFIX", fs::absolute(prefix).c_str(), 1);
    }

    // Waits until no server holds the prefix's lock; one that stays is killed.
    bool awaitServerExit() {
        const auto lock = prefix / "progman.lock";
        if (!fs::exists(lock))
            return true;
        for (int i = 0; i < 1000; ++i) {
            int fd = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
            if (fd < 0)
                return true;
            bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            ::close(fd);
            if (free)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (int pid = std::atoi(readFile(lock).c_str()); pid > 0)
            ::kill(pid, SIGKILL);
        return false;
    }

    nlohmann::json listJson() {
        auto r = runCommand("ZEL_PREFIX='" + prefix.string() + "' '" +
                            (binDir() / "progman").string() + "' --list --json");
        EXPECT_EQ(r.status, 0);
        return nlohmann::json::parse(r.output);
    }

    ScriptedUi ui;
    std::unique_ptr<Programs> programs;
    std::unique_ptr<DdeConversation> conversation;
};

TEST_F(ProgmanConversationTest, StartedOnDemandItExecutesEveryMacroHandedOverBeforeClose) {
    useMachine();
    ASSERT_FALSE(fs::exists(prefix / "progman.lock")); // nobody serves yet
    ASSERT_TRUE(conversation->open("PROGMAN", "PROGMAN"));
    EXPECT_TRUE(conversation->execute("[CreateGroup(\"StartUp\")]"));
    EXPECT_TRUE(conversation->execute(
        "[AddItem(\"C:\\Program Files\\ACESSO\\ATUALIZA.EXE\",\"ZEL Update\")]"));
    EXPECT_TRUE(conversation->execute("[CreateGroup(\"Acesso Internet\")]"));
    EXPECT_TRUE(conversation->execute("[AddItem(\"C:\\Program Files\\ACESSO\\DISCADOR.EXE\","
                                      "\"Discador\",\"C:\\PROGRA~1\\ACESSO\\inet.ico\")]"));
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(conversation->execute("[AddItem(\"C:\\X" + std::to_string(i) +
                                          ".EXE\",\"Correio Eletr\xF4nico " + std::to_string(i) +
                                          "\")]"));
    EXPECT_TRUE(conversation->execute("[Reload(\"StartUp\")]"));
    EXPECT_TRUE(conversation->execute("[Reload(\"Acesso Internet\")]"));
    conversation->close();
    EXPECT_FALSE(conversation->execute("[CreateGroup(\"Late\")]"));

    auto list = listJson();
    ASSERT_EQ(list["groups"].size(), 2u);
    EXPECT_EQ(list["groups"][0], nlohmann::json::parse(R"({"name": "StartUp", "items": [{"command":
                  "C:\\Program Files\\ACESSO\\ATUALIZA.EXE", "name": "ZEL Update", "icon": ""}]})"));
    const auto& kit = list["groups"][1];
    EXPECT_EQ(kit["name"], "Acesso Internet");
    ASSERT_EQ(kit["items"].size(), 201u);
    EXPECT_EQ(kit["items"][0]["icon"], "C:\\PROGRA~1\\ACESSO\\inet.ico");
    EXPECT_EQ(kit["items"][200]["name"], "Correio Eletrônico 199"); // printed as UTF-8
    EXPECT_EQ(kit["items"][200]["command"], "C:\\X199.EXE");

    auto people = runCommand("ZEL_PREFIX='" + prefix.string() + "' '" +
                             (binDir() / "progman").string() + "' --list");
    EXPECT_EQ(people.status, 0);
    EXPECT_NE(people.output.find("Acesso Internet\n    Discador: C:\\Program Files\\ACESSO\\"
                                 "DISCADOR.EXE"),
              std::string::npos)
        << people.output;
}

TEST_F(ProgmanConversationTest, NoConversationNoExecute) {
    useMachine();
    EXPECT_FALSE(conversation->execute("[CreateGroup(\"A\")]"));
    EXPECT_FALSE(conversation->open("", ""));
    EXPECT_FALSE(conversation->isOpen());
    // Nobody serves "FOO" and there is no FOO.EXE to start.
    EXPECT_FALSE(conversation->open("FOO", "BAR"));
    EXPECT_FALSE(conversation->execute("[CreateGroup(\"A\")]"));
    EXPECT_FALSE(fs::exists(prefix / "progman.txt"));
}

TEST_F(ProgmanConversationTest, GroupsOutliveTheServerAndOneServerServesAPrefix) {
    useMachine();
    ASSERT_TRUE(conversation->open("PROGMAN", "PROGMAN"));
    ASSERT_TRUE(conversation->execute("[CreateGroup(Kit)][AddItem(C:\\A.EXE,A)]"));
    conversation->close();
    ASSERT_TRUE(awaitServerExit());

    // A server of our own, and a second one that must leave at once without a word.
    ::setenv("ZEL_PROGMAN_IDLE", "30", 1);
    const std::string exe = (binDir() / "progman").string();
    char* firstArgv[] = {const_cast<char*>(exe.c_str()), nullptr};
    pid_t first = 0;
    ASSERT_EQ(::posix_spawn(&first, exe.c_str(), nullptr, nullptr, firstArgv, environ), 0);
    // Once its socket is there it holds the prefix; before that a start on demand could win.
    for (int i = 0; i < 500 && !fs::exists(prefix / "progman.sock"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(prefix / "progman.sock"));
    // Reaches it, directly or after a start on demand that finds it serving and leaves.
    ASSERT_TRUE(conversation->open("PROGMAN", "PROGMAN"));
    auto second = runCommand("'" + exe + "' PROGMAN PROGMAN 2>&1");
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.output, "");
    EXPECT_EQ(::waitpid(first, nullptr, WNOHANG), 0); // the first one serves on

    EXPECT_TRUE(conversation->execute("[ShowGroup(Kit)][AddItem(C:\\B.EXE,B)][ExitProgman()]"));
    conversation->close();
    // ExitProgman ends it long before its idle time.
    int status = -1;
    for (int i = 0; i < 500 && ::waitpid(first, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (::waitpid(first, &status, WNOHANG) == 0) {
        ::kill(first, SIGKILL);
        ::waitpid(first, &status, 0);
        ADD_FAILURE() << "ExitProgman did not end the server";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(fs::exists(prefix / "progman.sock"));

    auto list = listJson();
    ASSERT_EQ(list["groups"].size(), 1u);
    ASSERT_EQ(list["groups"][0]["items"].size(), 2u);
    EXPECT_EQ(list["groups"][0]["items"][1]["name"], "B");
}

TEST_F(ProgmanConversationTest, APrefixTooLongForASocketPathStillConverses) {
    prefix = tmp / std::string(200, 'p') / "prefix";
    makeMachine();
    ensureProgmanExe();
    useMachine();
    const fs::path socket = progmanSocketPath(machine());
    EXPECT_EQ(socket, fs::canonical(prefix) / "progman.sock"); // a path, never an abstract name
    EXPECT_GT(socket.string().size(), sizeof(sockaddr_un::sun_path));
    EXPECT_EQ(socket, progmanSocketPath(prefix / "." / ".." / "prefix"));
    // Whatever the umask, the server's socket is its user's alone, and it has no abstract name.
    const mode_t umask = ::umask(0);
    const bool opened = conversation->open("PROGMAN", "PROGMAN");
    ::umask(umask);
    ASSERT_TRUE(opened);
    EXPECT_EQ(fs::status(socket).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    const pid_t server = std::atoi(readFile(prefix / "progman.lock").c_str());
    std::set<std::string> serverSockets;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(server) + "/fd")) {
        const std::string target = fs::read_symlink(fd.path()).string();
        if (target.starts_with("socket:["))
            serverSockets.insert(target.substr(8, target.size() - 9));
    }
    ASSERT_FALSE(serverSockets.empty());
    std::istringstream table(readFile("/proc/net/unix"));
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string f[8];
        for (auto& field : f)
            fields >> field;
        if (serverSockets.contains(f[6])) {
            EXPECT_NE(f[7].substr(0, 1), "@") << line;
        }
    }
    EXPECT_TRUE(conversation->execute("[CreateGroup(Long)]"));
    conversation->close();
    EXPECT_EQ(listJson()["groups"][0]["name"], "Long");
}

// One conversation cannot take the server from the others: a macro text is at most 512
// characters, a longer packet ends only its own conversation, and when the server runs out of
// descriptors it neither spins nor stops serving once they are back.
TEST_F(ProgmanConversationTest, NoConversationTakesTheServerFromTheOthers) {
    EXPECT_TRUE(macroPacket(std::string(kMaxMacroText, 'x')));
    EXPECT_FALSE(macroPacket(std::string(kMaxMacroText + 1, 'x')));

    // The server as started on demand, but with few descriptors to spare.
    const auto exe = driveC() / "WINDOWS" / "PROGMAN.EXE";
    writeFile(exe, "#!/bin/sh\nulimit -n 12\nexec '" + (binDir() / "progman").string() +
                       "' \"$@\"\n");
    useMachine();
    ASSERT_TRUE(conversation->open("PROGMAN", "PROGMAN"));
    const pid_t server = std::atoi(readFile(prefix / "progman.lock").c_str());
    ASSERT_GT(server, 0);
    const auto cpuTicks = [&] {
        // utime and stime, the 14th and 15th fields after the command's closing parenthesis.
        const std::string stat = readFile("/proc/" + std::to_string(server) + "/stat");
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string skip;
        for (int i = 3; i < 14; ++i)
            fields >> skip;
        long utime = 0, stime = 0;
        fields >> utime >> stime;
        return utime + stime;
    };

    // A packet longer than the cap ends that conversation, not the server.
    {
        auto raw = connectToProgman(prefix / "progman.sock");
        ASSERT_TRUE(raw);
        std::string packet = *macroPacket(std::string(kMaxMacroText, ' '));
        packet[0] = static_cast<char>(kMaxMacroText + 2);
        packet += std::string(2, ' ');
        ASSERT_EQ(::send(raw->get(), packet.data(), packet.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(packet.size()));
        char c;
        EXPECT_EQ(::recv(raw->get(), &c, 1, 0), 0); // the server ended it
    }
    EXPECT_FALSE(conversation->execute("[CreateGroup(\"" + std::string(kMaxMacroText, 'L') +
                                       "\")]"));

    // More conversations than it has descriptors for.
    std::vector<FileDescriptor> crowd;
    for (int i = 0; i < 40; ++i) {
        auto raw = connectToProgman(prefix / "progman.sock");
        ASSERT_TRUE(raw);
        crowd.push_back(std::move(*raw));
    }
    const long before = cpuTicks();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    // A server that retries a failing accept at once burns the whole second.
    EXPECT_LT(cpuTicks() - before, ::sysconf(_SC_CLK_TCK) / 4) << "the server spins";
    crowd.clear();

    EXPECT_TRUE(conversation->execute("[CreateGroup(Served)]"));
    conversation->close();
    // While the crowd's ends are still being accepted the save may want for a descriptor; the
    // group is then kept and saved before the server leaves.
    ASSERT_TRUE(awaitServerExit());
    const auto groups = listJson()["groups"];
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0]["name"], "Served");
}

// Each execute's outcome comes back: executed and stored, or not. A store that cannot be saved
// keeps the changes in memory, says so to the conversation that made them, and saves them with
// the next change.
TEST_F(ProgmanConversationTest, EachExecuteLearnsWhetherItWasExecutedAndStored) {
    useMachine();
    ASSERT_TRUE(conversation->open("PROGMAN", "PROGMAN"));
    EXPECT_TRUE(conversation->execute("[CreateGroup(Kit)]"));
    EXPECT_TRUE(conversation->execute("[DeleteItem(Nothing)]")); // handed over, fails there
    EXPECT_TRUE(conversation->execute("[AddItem(C:\\A.EXE,A)]"));
    // The store's place taken by a directory: no save can replace it.
    const fs::path store = prefix / "progman.txt";
    ASSERT_TRUE(conversation->execute("[Reload(Kit)]"));
    conversation->close();
    ASSERT_EQ(conversation->deliveries(), (std::vector<bool>{true, false, true, true}));
    ASSERT_TRUE(conversation->open("PROGMAN", "PROGMAN"));
    fs::rename(store, tmp / "saved.txt");
    fs::create_directory(store);
    EXPECT_TRUE(conversation->execute("[AddItem(C:\\B.EXE,B)]"));
    EXPECT_TRUE(conversation->execute("[AddItem(C:\\C.EXE,C)]"));
    // Too long for one macro: never handed over.
    EXPECT_FALSE(conversation->execute("[AddItem(C:\\" + std::string(kMaxMacroText, 'D') + ")]"));
    conversation->close();
    EXPECT_EQ(conversation->deliveries(), (std::vector<bool>{false, false, false}));
    fs::remove(store);
    ASSERT_TRUE(conversation->open("PROGMAN", "PROGMAN"));
    EXPECT_TRUE(conversation->execute("[ShowGroup(Kit)][AddItem(C:\\E.EXE,E)]"));
    conversation->close();
    EXPECT_EQ(conversation->deliveries(), (std::vector<bool>{true}));
    const auto items = listJson()["groups"][0]["items"];
    ASSERT_EQ(items.size(), 4u); // B and C were kept and saved with E
    EXPECT_EQ(items[1]["name"], "B");
    EXPECT_EQ(items[3]["name"], "E");

    // No Program Manager at all: nothing is delivered.
    ASSERT_TRUE(awaitServerExit());
    fs::remove(driveC() / "WINDOWS" / "PROGMAN.EXE");
    EXPECT_FALSE(conversation->open("PROGMAN", "PROGMAN"));
    EXPECT_FALSE(conversation->execute("[CreateGroup(Kit)]"));
    conversation->close();
    EXPECT_EQ(conversation->deliveries(), (std::vector<bool>{false}));
}

// Another user can neither reach the socket (mode 0600) nor, should its mode be opened up,
// hand the server anything; nor is a server of another user taken for one's own. Needs the
// superuser to act as another user.
TEST_F(ProgmanConversationTest, OnlyItsOwnUserConverses) {
    useMachine();
    ASSERT_TRUE(conversation->open("PROGMAN", "PROGMAN"));
    const fs::path socket = prefix / "progman.sock";
    EXPECT_EQ(fs::status(socket).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    if (::geteuid() != 0) {
        conversation->close();
        GTEST_SKIP() << "acting as another user needs the superuser";
    }

    // As nobody: 1 when the socket cannot be reached, 4 when the client takes the root's server
    // for one of its own, 2 when a packet went to the server (which must not execute it).
    const auto converseAsNobody = [&]() -> int {
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(3);
            FileDescriptor raw(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
            const LocalSocketAddress address(socket);
            if (::connect(raw.get(), address.get(), address.size()) != 0)
                ::_exit(1);
            if (connectToProgman(socket))
                ::_exit(4);
            const std::string packet = *macroPacket("[CreateGroup(Intruder)]");
            (void)!::send(raw.get(), packet.data(), packet.size(), MSG_NOSIGNAL);
            ::shutdown(raw.get(), SHUT_WR);
            char c;
            while (::recv(raw.get(), &c, 1, 0) > 0) {
            }
            ::_exit(2);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(converseAsNobody(), 1) << "another user reached the socket through its mode";
    fs::permissions(prefix, fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(socket, fs::perms::all);
    EXPECT_EQ(converseAsNobody(), 2);

    EXPECT_TRUE(conversation->execute("[CreateGroup(Owner)]"));
    conversation->close();
    const auto groups = listJson()["groups"];
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0]["name"], "Owner");
}

} // namespace
} // namespace zel::test
