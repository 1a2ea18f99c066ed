// Program Manager: its macros, their store, the progman program and its server.
#include "progman/groups.h"
#include "progman/store.h"
#include "tests/support/fixtures.h"
#include "winemu/events.h"
#include "winemu/progman_client.h"

#include <chrono>
#include <csignal>
#include <poll.h>
#include <sys/syscall.h>

namespace zel::test {
namespace {

using progman::Groups;

std::string render(const Groups& groups) {
    std::string out;
    for (const auto& g : groups.groups()) {
        out += g.name + "{";
        for (const auto& item : g.items) {
            out += (&item == &g.items[0] ? "" : "|") + item.name + "=" + item.command;
            if (!item.icon.empty() || item.iconIndex != 0)
                out += "," + item.icon + "," + std::to_string(item.iconIndex);
        }
        out += "};";
    }
    return out;
}

const std::string kProgman = "'" + (binDir() / "progman").string() + "' ";

// Each text runs left to right and stops at its first failing command or non-command.
TEST(ProgmanGroups, ExecuteTextsChangeTheGroupsStepByStep) {
    // clang-format off
    const std::tuple<const char*, bool, const char*> steps[] = {
        {"[AddItem(C:\\X.EXE,X)][CreateGroup(Never)]", false, ""}, // no current group
        {"[CreateGroup(\"StartUp\")][AddItem(\"C:\\U.EXE\",\"ZEL Update\")][CreateGroup(Kit)]\r\n"
         " [ AddItem ( \"a,b)c]d[e\" , A B ,, -12345678 ) ] [AddItem(C:\\B.EXE,B,C:\\b.ico,2)]"
         "[AddItem(C:\\C.EXE,C,,,)][Reload]", true,
         "StartUp{ZEL Update=C:\\U.EXE};Kit{A B=a,b)c]d[e,,-12345678|B=C:\\B.EXE,C:\\b.ico,2|C=C:\\C.EXE};"},
        // Other case: same item, same place; existing group current; nameless item named.
        {"[addItem(C:\\N.EXE,b)][CreateGroup(STARTUP)][DeleteItem(zel update)][AddItem(N.EXE a.b)]"
         "[AddItem(\"C:\\Meu Kit\\NAVEGA.EXE /s\")][AddItem(C:\\Meu Kit\\TOOLS)][AddItem(C:\\.ini)]", true,
         "StartUp{N=N.EXE a.b|NAVEGA=C:\\Meu Kit\\NAVEGA.EXE /s|TOOLS=C:\\Meu Kit\\TOOLS|.ini=C:\\.ini};"
         "Kit{A B=a,b)c]d[e,,-12345678|b=C:\\N.EXE|C=C:\\C.EXE};"},
        {"[DeleteGroup(startup)][ShowGroup(Kit)][DeleteItem(C)][DeleteItem(a b)][AddItem(A,A)]", true,
         "Kit{b=C:\\N.EXE|A=A};"},
        {"[ReplaceItem(b)][AddItem(z,Z)][AddItem(y,Y)]", true, "Kit{Z=z|A=A|Y=y};"},
        {"[ReplaceItem(Y)][AddItem(b2,a)]", true, "Kit{Z=z|a=b2};"},
        {"[ReplaceItem(Z)][CreateGroup(O)][AddItem(o,O)][ShowGroup(Kit)][AddItem(w,W)]", true,
         "Kit{a=b2|W=w};O{O=o};"},
        {"[CreateGroup(A)][Bogus(1)][CreateGroup(B)]", false, "Kit{a=b2|W=w};O{O=o};A{};"},
        {"[ShowGroup(O)] junk [CreateGroup(C)]", false, "Kit{a=b2|W=w};O{O=o};A{};"},
    };
    // clang-format on
    Groups g;
    for (const auto& [macros, ok, groups] : steps) {
        EXPECT_EQ(g.execute(macros), ok) << macros;
        EXPECT_EQ(render(g), groups) << macros;
    }
    for (const char* failing :
         {"[AddItem(,X)]", "[AddItem(x,X,,1x)]", "[AddItem(x,X,,-)]", "[AddItem(x,X,,1234567890)]",
          "[DeleteItem(Missing)]", "[DeleteItem()]", "[ReplaceItem(Missing)]", "[ShowGroup(None)]",
          "[CreateGroup()]", "[DeleteGroup(None)]", "CreateGroup(X)", "[(x)]", "[AddItem(\"x)]",
          "[Reload(A]", "[Reload(A)", "[AddItem(A\"B\")]", "[AddItem(\"A\" \"B\")]",
          "[AddItem(A(B))]", "[DeleteGroup(o)][AddItem(x,x)]"})
        EXPECT_FALSE(g.execute(failing)) << failing;
    ASSERT_TRUE(g.execute("[ShowGroup(A)]") && // a quoted program: no macro can, a caller can
                g.run({"AddItem", {"\"C:\\Meu Kit\\NAVEGA\" /s"}}));
    EXPECT_EQ(render(g), "Kit{a=b2|W=w};A{NAVEGA=\"C:\\Meu Kit\\NAVEGA\" /s};");
}

// Texts kept as received; an unreadable store refused; listed names cannot drive the terminal.
TEST(ProgmanStore, KeepsEveryTextListsItAndRefusesWhatDoesNotRead) {
    TempDir tmp;
    const auto file = progman::storePath(tmp.path());
    ::setenv("ZEL_PREFIX", tmp.path().c_str(), 1);
    const auto list = [&] { return runTool("progman", "--list", tmp); };
    writeFile(file, "zel-progman 1\r\n# note\r\n\r\ngroup\tA%25\r\nitem\t\t\t\t-12\r\n");
    EXPECT_EQ(render(progman::loadStore(file)), "A%{=,,-12};");
    Groups g;
    const std::string awkward = "Kit\x1B[2J\nFake group\t100% %41\r\x7F Eletr\xF4nico #";
    ASSERT_TRUE(g.execute("[CreateGroup(\"" + awkward + "\")][AddItem(\"C:\\A B\\X.EXE /x\",\"" +
                          awkward +
                          "\",\"C:\\i.ico\",-3)][AddItem(C:\\B,B,C:\\b.ico)][CreateGroup(E)]"));
    progman::saveStore(file, g);
    const std::string kit = "Kit%1B[2J%0AFake group%09100%25 %2541%0D%7F Eletr\xF4nico #";
    const std::string text = readFile(file); // only '%' and control characters escaped
    EXPECT_EQ(text.substr(text.find("\ngroup")),
              "\ngroup\t" + kit + "\nitem\tC:\\A B\\X.EXE /x\t" + kit +
                  "\tC:\\i.ico\t-3\nitem\tC:\\B\tB\tC:\\b.ico\t0\ngroup\tE\n");
    const std::string shown = "Kit\\x1B[2J\\x0AFake group\\x09100% %41\\x0D\\x7F Eletrônico #";
    EXPECT_EQ(list().output, shown + "\n    " + shown +
                                 ": C:\\A B\\X.EXE /x  [icon C:\\i.ico, -3]\n" +
                                 "    B: C:\\B  [icon C:\\b.ico]\nE\n    (no items)\n");
    // clang-format off
    const std::pair<const char*, const char*> refused[] = {
        {"zel-progman 1\ngroup\tA\nitem\tonly\ttwo\n", "line 3: unknown entry"}, {"\n", "line 1: not a progman store"},
        {"# note\nsomething else\n", "line 2: not a progman store"}, {"zel-progman 1\ngroup\t\n", "line 2: unknown entry"},
        {"zel-progman 1\ngroup\tA\ngroup\ta\n", "line 3: group listed twice"},
        {"zel-progman 1\nitem\tc\tn\t\t0\n", "line 2: item before any group"},
        {"zel-progman 1\ngroup\tA%4\n", "line 2: bad %-escape"}, {"zel-progman 1\ngroup\tA%4G\n", "line 2: bad %-escape"},
        {"zel-progman 1\ngroup\tA\nitem\tc\tn\t\tx1\n", "line 3: bad icon index"}};
    // clang-format on
    for (const auto& [text, why] : refused) {
        writeFile(file, text);
        EXPECT_EQ(list().errors, "progman: " + file.string() + ": " + why + "\n");
    }
    // Nor does a server start on it (its groups would be lost).
    EXPECT_EQ(runCommand(kProgman + "PROGMAN PROGMAN").status, 1);
    EXPECT_EQ(readFile(file), "zel-progman 1\ngroup\tA\nitem\tc\tn\t\tx1\n");
    // A relative machine named from a working directory that is gone: said, not an abort.
    EXPECT_EQ(
        runCommand("cd '" + tmp.path().string() + "' && mkdir d && cd d && rmdir ../d && " +
                   "ZEL_PREFIX=rel " + kProgman + "--list 2>&1; echo $?")
            .output,
        "progman: Não foi possível encontrar a máquina rel: arquivo ou pasta inexistente\n1\n");
    ::unsetenv("ZEL_PREFIX");
}

class ProgmanServerTest : public MachineTest {
protected:
    void SetUp() override {
        ::setenv("ZEL_PROGMAN_IDLE", "1", 1); // servers started here leave soon after
        MachineTest::SetUp();
        converse();
    }
    void TearDown() override {
        conversation.reset();
        EXPECT_TRUE(awaitProgmanExit()) << "progman did not leave";
        MachineTest::TearDown();
    }

    void converse() {
        conversation.reset();
        programs = std::make_unique<Programs>(machine(), ui);
        conversation = std::make_unique<DdeConversation>(machine(), *programs);
        ::setenv("ZEL_PREFIX", fs::absolute(prefix).c_str(), 1);
    }

    std::string stored() { return render(progman::loadStore(progman::storePath(prefix))); }

    // Per macro whether it was handed over, "|", then the server's answers.
    std::string deliver(const std::vector<std::string>& macros) {
        EXPECT_TRUE(conversation->open("PROGMAN", "PROGMAN"));
        std::string seen;
        for (const std::string& macro : macros)
            seen += std::to_string(conversation->execute(macro));
        conversation->close();
        seen += "|";
        for (const bool done : conversation->deliveries())
            seen += std::to_string(done);
        return seen;
    }

    static void sendMacro(int fd, const std::string& macro) {
        const std::string packet = *macroPacket(macro);
        ::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL);
    }

    // The answers, each within the time, then "|end" if the server closed, else "|open".
    static std::string answers(int fd, int milliseconds) {
        std::string got;
        for (char c;; got += c) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, milliseconds) <= 0)
                return got + "|open";
            if (::recv(fd, &c, 1, 0) <= 0)
                return got + "|end";
        }
    }

    ScriptedUi ui;
    std::unique_ptr<Programs> programs;
    std::unique_ptr<DdeConversation> conversation;
};

// One server a prefix, started on demand; a store not saved is saved with the next change.
TEST_F(ProgmanServerTest, StartedOnDemandItTellsEachExecutesOutcome) {
    ASSERT_TRUE(conversation->open("PROGMAN", "PROGMAN"));
    std::string opened;
    for (const auto& [service, topic] :
         {std::pair("", ""), std::pair("FOO", "PROGMAN"), std::pair("", "OTHER"),
          std::pair("", "PROGMAN"), std::pair("progman", "")})
        opened += std::to_string(conversation->open(service, topic));
    EXPECT_EQ(opened, "00011");
    EXPECT_EQ(deliver({"[CreateGroup(Kit)]", "[DeleteItem(Nothing)]", "[AddItem(C:\\A,A)]",
                       "[AddItem(C:\\" + std::string(kMaxMacroText, 'D') + ")]"}),
              "1110|1010");
    const fs::path store = progman::storePath(prefix);
    fs::rename(store, tmp / "saved.txt");
    fs::create_directory(store); // unsaveable
    EXPECT_EQ(deliver({"[AddItem(C:\\B,B)]"}), "1|0");
    fs::remove(store);
    // While one serves, another start only tells which idle time it ignores.
    ASSERT_TRUE(conversation->open("PROGMAN", "PROGMAN")); // the server stays meanwhile
    const auto start = [&](const std::string& idle) {
        return runCommand("ZEL_PROGMAN_IDLE='" + idle + "' " + kProgman + "PROGMAN 2>&1; echo $?");
    };
    EXPECT_EQ(start("999999.5").output, "0\n"); // the highest taken
    for (const std::string idle : {"1e6", "0", " ", "2s"})
        EXPECT_EQ(start(idle).output,
                  "progman: ignoring ZEL_PROGMAN_IDLE=" + idle + " (not a positive number)\n0\n");
    EXPECT_EQ(deliver({"[AddItem(C:\\C,Eletr\xF4nico)]"}), "1|1");
    EXPECT_EQ(stored(), "Kit{A=C:\\A|B=C:\\B|Eletr\xF4nico=C:\\C};");
}

// A malformed packet ends its own conversation, nothing after it runs; the server serves on.
TEST_F(ProgmanServerTest, MalformedPacketsEndOnlyTheirConversationAndCrowdsWait) {
    ASSERT_TRUE(conversation->open("PROGMAN", "PROGMAN"));
    const std::string longest = "[CreateGroup(" + std::string(kMaxMacroText - 15, 'L') + ")]";
    EXPECT_FALSE(macroPacket(longest + " "));
    const auto packet = [](const std::string& macro) { return *macroPacket(macro); };
    // clang-format off
    const std::tuple<const char*, std::string, bool, const char*> rows[] = {
        {"the longest macro", packet(longest), true, "+|end"},
        {"two at once, one failing", packet("[CreateGroup(T)]") + packet("[Bogus]"), true, "+-|end"},
        {"a text ends at its NUL", le(19, 4) + std::string("[CreateGroup(N)]\0[B", 19), true, "+|end"},
        {"cut short by the end of input", le(20, 4) + "[CreateGroup(Cut)]", true, "|end"},
        {"length zero", le(0, 4) + packet("[CreateGroup(Z)]"), false, "|end"},
        {"one byte too long", le(514, 4) + std::string(514, ' ') + packet("[CreateGroup(O)]"), false, "|end"},
        {"a good one before a bad one", packet("[CreateGroup(G)]") + le(0, 4), false, "+|end"},
    };
    // clang-format on
    for (const auto& [what, bytes, endInput, expected] : rows) {
        const FileDescriptor raw = connectToProgman(prefix / "progman.sock").value();
        ::send(raw.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (endInput)
            ::shutdown(raw.get(), SHUT_WR);
        EXPECT_EQ(answers(raw.get(), 5000), expected) << what;
    }
    EXPECT_EQ(deliver({"[CreateGroup(Served)]"}), "1|1");
    EXPECT_EQ(stored(), longest.substr(13, kMaxMacroText - 15) + "{};T{};N{};G{};Served{};");
    // Beyond 32 conversations the rest wait, also under a prefix too long for a socket's address.
    prefix = tmp / std::string(200, 'p') / "prefix";
    makeMachine();
    converse();
    ASSERT_TRUE(conversation->open("PROGMAN", "PROGMAN"));
    std::vector<FileDescriptor> crowd;
    for (int i = 0; i < 32; ++i)
        crowd.push_back(connectToProgman(prefix / "progman.sock").value());
    sendMacro(crowd[31].get(), "[Reload()]");
    ::shutdown(crowd[31].get(), SHUT_WR);
    EXPECT_EQ(answers(crowd[31].get(), 500), "|open"); // the 33rd waits
    crowd[0].reset();
    EXPECT_EQ(answers(crowd[31].get(), 5000), "+|end");
}

// Told to stop, the server still serves a conversation that was waiting to be taken. Once it
// has gone, nothing more is handed over, nor counted as delivered.
TEST_F(ProgmanServerTest, AConversationWaitingWhenTheServerIsStoppedIsServedNoneAfterItsEnd) {
    ASSERT_TRUE(conversation->open("PROGMAN", "PROGMAN"));
    const pid_t server = std::atoi(readFile(prefix / "progman.lock").c_str());
    const FileDescriptor gone(static_cast<int>(::syscall(SYS_pidfd_open, server, 0)));
    ::kill(server, SIGSTOP);
    while (readFile("/proc/" + std::to_string(server) + "/stat").find(") T ") == std::string::npos)
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // stopped before the connect
    const FileDescriptor late = connectToProgman(prefix / "progman.sock").value();
    sendMacro(late.get(), "[CreateGroup(Late)]");
    ::shutdown(late.get(), SHUT_WR);
    ::kill(server, SIGTERM);
    ::kill(server, SIGCONT);
    EXPECT_EQ(answers(late.get(), 5000), "+|end");
    ASSERT_TRUE(gone && ::kill(server, SIGKILL) == 0);
    pollfd ended{gone.get(), POLLIN, 0}; // readable once it has ended, its sockets closed
    ASSERT_EQ(::poll(&ended, 1, -1), 1);
    struct : InstallObserver { // each macro's fate is told when it is known, not at the end
        std::string told;
        void record(const InstallEvent& e) override { told += e.path + std::to_string(e.ok); }
    } listener;
    const JournalSubscription listening(listener);
    EXPECT_FALSE(conversation->execute("[CreateGroup(Lost)]") || conversation->execute("[Reload]"));
    EXPECT_EQ(listener.told, "[CreateGroup(Lost)]1[CreateGroup(Lost)]0[Reload]1[Reload]0");
}

// Another user neither serves us nor is served, even through an opened socket (StartUp runs).
TEST_F(ProgmanServerTest, AnotherUserCanNeitherServeNorBeServed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs the superuser";
    ASSERT_TRUE(conversation->open("PROGMAN", "PROGMAN"));
    fs::permissions(prefix, fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(prefix / "progman.sock", fs::perms::all);
    const auto intrude = [&] {
        if (connectToProgman(prefix / "progman.sock"))
            ::_exit(4); // the client takes no server of another user's
        const FileDescriptor raw(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const LocalSocketAddress at(prefix / "progman.sock");
        if (::connect(raw.get(), at.get(), at.size()) != 0)
            ::_exit(5);
        sendMacro(raw.get(), "[CreateGroup(Intruder)]");
        ::_exit(answers(raw.get(), 3000) == "|end" ? 0 : 2);
    };
    EXPECT_EQ(asNobody(tmp, intrude), 0);
    EXPECT_EQ(deliver({"[CreateGroup(Owner)]"}), "1|1");
    EXPECT_EQ(stored(), "Owner{};");
}

} // namespace
} // namespace zel::test
