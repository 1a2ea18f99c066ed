// One machine, one writer: the wizard's installation and the uninstaller hold the machine's
// lock, and a second writer waits a little, then is refused without changing anything. And a
// machine named by a relative ZEL_PREFIX is still one place, Program Manager's included.
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace zel::test {
namespace {

const std::string kBusy = "est\xc3\xa1 sendo alterada por outro programa (uma "
                          "instala\xc3\xa7\xc3\xa3o ou desinstala\xc3\xa7\xc3\xa3o); tente de novo "
                          "quando ele terminar";

class OneWriterTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        useDemoKitWithTheWizard();
        writeFile(tmp / "answers.ini", "[Respostas]\ntipo=tipica\nporta=COM2\n"
                                       "modem_inicializacao=ATZ\nmodem_discagem=ATDT\n");
    }
    void TearDown() override {
        EXPECT_TRUE(awaitProgmanExit());
        ::unsetenv("ZEL_PREFIX");
        ::unsetenv("ZEL_PROGMAN_IDLE");
    }

    CommandResult run(const std::string& command, const std::string& errors = "stderr.txt") {
        CommandResult result =
            runCommand("{ " + command + "; } 2>'" + (tmp / errors).string() + "' </dev/null");
        result.errors = readFile(tmp / errors);
        return result;
    }
    std::string install() {
        return "cd '" + medium().string() + "' && ./SETUP --answers ../answers.ini";
    }
    std::string uninstall() {
        return "'" + (prefix / "bin" / "zel-uninstall").string() + "' --quiet";
    }
    // The machine's lock as another program would hold it.
    FileDescriptor holdLock() {
        FileDescriptor fd(::open((prefix / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        EXPECT_TRUE(fd);
        EXPECT_EQ(::flock(fd.get(), LOCK_EX | LOCK_NB), 0);
        return fd;
    }
    bool installed() const { return fs::exists(driveC() / "Program Files" / "ZEL"); }
};

std::string lastLine(const std::string& text) {
    const std::string body = text.substr(0, text.size() - text.ends_with('\n'));
    return body.substr(body.rfind('\n') + 1);
}

// Each row: who holds the machine, who comes second, and what the second does.
TEST_F(OneWriterTest, ASecondWriterWaitsThenIsRefused) {
    const std::string machine = "A m\xc3\xa1quina " + prefix.string() + " ";
    // The wizard that comes second, while the lock is held: nothing installed.
    {
        FileDescriptor held = holdLock();
        const auto start = std::chrono::steady_clock::now();
        const CommandResult second = run(install());
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)); // it waited
        EXPECT_EQ(second.status, 1);
        EXPECT_EQ(lastLine(second.errors), machine + kBusy) << second.errors;
        EXPECT_FALSE(installed());
    }
    // A lock let go during the wait: the wizard goes on.
    {
        FileDescriptor held = holdLock();
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(800));
            held.reset();
        });
        const CommandResult later = run(install());
        release.join();
        EXPECT_EQ(later.status, 0) << later.errors;
        EXPECT_TRUE(installed());
    }
    ASSERT_TRUE(awaitProgmanExit());
    // The uninstaller that comes second: nothing undone.
    {
        FileDescriptor held = holdLock();
        const CommandResult second = run(uninstall());
        EXPECT_EQ(second.status, 1);
        EXPECT_EQ(second.errors, "zel-uninstall: " + machine + kBusy +
                                     "\nzel-uninstall: Nada foi desinstalado.\n");
        EXPECT_TRUE(installed());
    }
    const CommandResult alone = run(uninstall());
    EXPECT_EQ(alone.status, 0) << alone.errors;
    EXPECT_FALSE(installed());
}

// Two wizards and an uninstaller started together on one machine: each either does all of its
// work (in turn) or is refused as busy; none fails half-way for another's work.
TEST_F(OneWriterTest, WritersStartedTogetherTakeTurns) {
    ASSERT_EQ(run(install()).status, 0);
    ASSERT_TRUE(awaitProgmanExit());
    const CommandResult together = runCommand(
        "cd '" + medium().string() + "' && { ./SETUP --answers ../answers.ini 2>'" +
        (tmp / "w1").string() + "' </dev/null; echo w1 $? >'" + (tmp / "s1").string() +
        "'; } & { '" + (prefix / "bin" / "zel-uninstall").string() + "' --quiet 2>'" +
        (tmp / "u").string() + "' </dev/null; echo u $? >'" + (tmp / "su").string() +
        "'; } & cd '" + medium().string() + "' && ./SETUP --answers ../answers.ini 2>'" +
        (tmp / "w2").string() + "' </dev/null; echo w2 $? >'" + (tmp / "s2").string() + "'; wait");
    ASSERT_EQ(together.status, 0);
    for (const char* who : {"1", "2", "u"}) {
        SCOPED_TRACE(who);
        const std::string status = readFile(tmp / (std::string("s") + who));
        const std::string errors =
            readFile(tmp / (std::string(who) == "u" ? "u" : std::string("w") + who));
        // Done whole, or refused as busy; an uninstall may also find nothing left to undo.
        if (!status.ends_with(" 0\n")) {
            EXPECT_NE(errors.find(kBusy), std::string::npos) << status << errors;
        }
    }
}

// A relative ZEL_PREFIX is made absolute once, at start: the machine, its Program Manager and
// its uninstaller are all the one place it named.
TEST_F(OneWriterTest, ARelativePrefixIsOnePlace) {
    ::unsetenv("ZEL_PREFIX");
    const std::string relative = "../" + fs::relative(prefix, medium().parent_path()).string();
    const CommandResult r =
        run("ZEL_PREFIX='" + relative + "' && export ZEL_PREFIX && " + install());
    ::setenv("ZEL_PREFIX", prefix.c_str(), 1);
    EXPECT_EQ(r.status, 0) << r.errors;
    EXPECT_EQ(r.errors.find("NOT delivered"), std::string::npos) << r.errors;
    ASSERT_TRUE(awaitProgmanExit());
    const CommandResult groups =
        runCommand("'" + (binDir() / "progman").string() + "' --list 2>&1");
    EXPECT_NE(groups.output.find("ZEL Internet\n"), std::string::npos) << groups.output;
    EXPECT_TRUE(installed());
}

} // namespace
} // namespace zel::test
