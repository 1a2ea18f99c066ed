// The files a user names to the program (the answers, the log, the printout, the saved
// answers) and the display it is started on: anything but a regular file, a file that fills
// up, a display that is not there, each told in Portuguese with the right exit status, and
// nothing installed when the run is refused.
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace zel::test {
namespace {

std::string lastLine(const std::string& text) {
    const std::string body = text.substr(0, text.size() - text.ends_with('\n'));
    return body.substr(body.rfind('\n') + 1);
}

class UserFilesTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        useDemoKitWithTheWizard();
        makeMachine(true);
        ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0600), 0);
        fs::create_directory(tmp / "dir");
    }
    void TearDown() override { EXPECT_TRUE(awaitProgmanExit()); }

    // The program from the medium, with `env` changing its environment; a run that hangs is
    // ended after a minute (status 124).
    CommandResult run(const std::string& env, const std::string& command,
                      const fs::path& machineDir = {}) {
        const fs::path errors = tmp / "stderr.txt";
        CommandResult result =
            runCommand("cd '" + medium().string() + "' && env " + env + " ZEL_PREFIX='" +
                       (machineDir.empty() ? prefix : machineDir).string() + "' timeout 60 " +
                       command + " 2>'" + errors.string() + "' </dev/null");
        result.errors = readFile(errors);
        return result;
    }
    bool installed() const {
        return fs::exists(driveC() / "Program Files" / "ZEL") ||
               fs::exists(driveC() / "WINDOWS" / "zelun.ini");
    }
};

constexpr const char* kComplete =
    "porta=1\nnome=Maria\ntelefone_comercial=555-0123\ncartao_numero=5555 4444\n";
const std::string kNotRegular = " n\u00e3o \u00e9 um arquivo comum (\u00e9 ";
const std::string kNoScreen = "SETUP: para instalar sem tela, use --answers ARQUIVO (veja --help).";

// Each row: the environment, the arguments, the [Respostas] lines, the exit status and the
// last line on stderr. None installs anything.
TEST_F(UserFilesTest, WhatCannotBeUsedIsRefusedBeforeAnythingIsDone) {
    const struct {
        const char* name;
        std::string env, args, answers;
        int status;
        std::string said;
    } rows[] = {
        {"answers a pipe", "", "--answers ../fifo", "", 2,
         "O arquivo de respostas ../fifo" + kNotRegular + "um pipe)"},
        {"answers a device", "", "--answers /dev/zero", "", 2,
         "O arquivo de respostas /dev/zero" + kNotRegular + "um dispositivo)"},
        {"log a pipe", "", "--answers ../a.ini --log ../fifo", "porta=1\n", 2,
         "SETUP: --log: ../fifo" + kNotRegular + "um pipe)"},
        {"log a device", "", "--answers ../a.ini --log /dev/full", "porta=1\n", 2,
         "SETUP: --log: /dev/full" + kNotRegular + "um dispositivo)"},
        {"log in no folder", "", "--answers ../a.ini --log ../none/a.log", "porta=1\n", 2,
         "SETUP: --log: N\u00e3o foi poss\u00edvel gravar ../none/a.log (arquivo ou pasta "
         "inexistente)"},
        {"printout a device", "", "--answers ../a.ini",
         kComplete + std::string("impressao_pdf=/dev/full\n"), 1,
         "impressao_pdf: /dev/full" + kNotRegular + "um dispositivo)"},
        {"printout a pipe", "", "--answers ../a.ini",
         kComplete + std::string("impressao_pdf=../fifo\n"), 1,
         "impressao_pdf: ../fifo" + kNotRegular + "um pipe)"},
        {"saved answers a folder", "QT_QPA_PLATFORM=offscreen", "--save-answers ../dir", "", 2,
         "SETUP: --save-answers: ../dir" + kNotRegular + "uma pasta)"},
        {"a key twice", "", "--answers ../a.ini", "porta=1\nporta=2\n", 1,
         "A chave porta aparece de novo em [Respostas] na linha 3 (a primeira est\u00e1 na "
         "linha 2)"},
        {"a dial command alone", "", "--answers ../a.ini",
         "porta=1\nmodem_inicializacao=\nmodem_discagem=ATDT\n", 1,
         "modem_discagem foi dado, mas modem_inicializacao est\u00e1 vazio: o discador s\u00f3 "
         "usa os dois comandos juntos"},
        {"no display", "-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM", "", "", 1, kNoScreen},
        {"a local display not there", "-u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:57", "", "",
         1, kNoScreen},
        {"another host's display not answering",
         "-u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=localhost:57", "", "", 1, kNoScreen},
        {"a stale local socket", "-u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:58", "", "", 1,
         kNoScreen},
    };
    ASSERT_FALSE(fs::exists("/tmp/.X11-unix/X57"));
    // A socket file whose server has gone: the file is there, nobody answers on it.
    const fs::path stale = "/tmp/.X11-unix/X58";
    fs::create_directories(stale.parent_path());
    ASSERT_FALSE(fs::exists(stale));
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, stale.c_str());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    struct Removed {
        fs::path path;
        ~Removed() { fs::remove(path); }
    } removed{stale};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        writeFile(tmp / "a.ini", "[Respostas]\n" + row.answers);
        const CommandResult r = run(row.env, "./SETUP " + row.args);
        EXPECT_EQ(r.status, row.status) << r.errors;
        EXPECT_EQ(lastLine(r.errors), row.said) << r.errors;
        EXPECT_FALSE(installed());
        EXPECT_EQ(fs::status(tmp / "fifo").type(), fs::file_type::fifo);
        EXPECT_TRUE(fs::is_empty(tmp / "dir"));
    }
}

// A desktop menu that cannot be written (its data directory is a file) is said on stderr and in
// the log; the installation is done all the same. Without the mirror nothing is said.
TEST_F(UserFilesTest, AMenuThatCannotBeWrittenIsSaidAndTheRunStillSucceeds) {
    writeFile(tmp / "a.ini", "[Respostas]\nporta=1\n");
    writeFile(tmp / "not-a-dir", "");
    const std::string warning = "SETUP: aviso: as entradas do menu da \u00e1rea de trabalho "
                                "n\u00e3o podem ser gravadas em " +
                                (tmp / "not-a-dir" / "applications" / "zel-setup").string() +
                                " (parte do caminho n\u00e3o \u00e9 uma pasta)";
    const struct {
        const char* name;
        std::string env;
        bool said;
    } rows[] = {
        {"menu under a file", "ZEL_NO_DESKTOP=0 XDG_DATA_HOME=" + (tmp / "not-a-dir").string(),
         true},
        {"menu turned off", "ZEL_NO_DESKTOP=1 XDG_DATA_HOME=" + (tmp / "not-a-dir").string(),
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(prefix);
        makeMachine(true);
        fs::remove(tmp / "run.log");
        const CommandResult r = run(row.env, "./SETUP --answers ../a.ini --log ../run.log");
        EXPECT_EQ(r.status, 0) << r.errors;
        EXPECT_TRUE(installed());
        EXPECT_EQ(r.errors.find(warning) != std::string::npos, row.said) << r.errors;
        EXPECT_EQ(readFile(tmp / "run.log").find(warning.substr(7)) != std::string::npos, row.said);
        EXPECT_TRUE(awaitProgmanExit());
    }
}

// A kit value that would break Program Manager's macros stops nothing: as on the finish page,
// the run installs, leaves out the group or item it cannot make, and says which.
TEST_F(UserFilesTest, AQuoteInAKitValueLeavesOutItsGroupOrItemAndSaysSo) {
    const struct {
        const char* name;
        std::string line, quoted, lost;
    } rows[] = {
        {"the group", "grupo=ZEL Internet", "grupo=ZEL \"Internet\"", "ZEL \"Internet\""},
        {"an item", "nome=Bate-papo (IRC)", "nome=Bate-papo \"IRC\"", "Bate-papo \"IRC\""},
    };
    writeFile(tmp / "a.ini", "[Respostas]\ntipo=personalizada\nprogramas=1,2,3,4,5,6\nporta=1\n");
    const std::string kit = readFile(medium() / "SETUP.INI");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(prefix);
        makeMachine(true);
        std::string changed = kit;
        const std::size_t at = changed.find(row.line);
        ASSERT_NE(at, std::string::npos);
        changed.replace(at, row.line.size(), row.quoted);
        writeFile(medium() / "SETUP.INI", changed);
        const CommandResult r = run("", "./SETUP --answers ../a.ini");
        EXPECT_EQ(r.status, 0) << r.errors;
        EXPECT_TRUE(installed());
        EXPECT_NE(r.errors.find("O Gerenciador de Programas n\u00e3o criou os seguintes grupos e "
                                "itens:"),
                  std::string::npos)
            << r.errors;
        EXPECT_NE(r.errors.find(row.lost), std::string::npos) << r.errors;
        EXPECT_TRUE(awaitProgmanExit());
    }
    writeFile(medium() / "SETUP.INI", kit);
}

// A log that cannot take its lines (a disk full, here the process's file size limit): at its
// first line nothing is done; later, the installation is done but the run fails, saying so.
TEST_F(UserFilesTest, ALogThatFillsUpFailsTheRun) {
    constexpr rlim_t kLimit = rlim_t(1) << 30; // above any file the run makes
    const struct {
        const char* name;
        std::size_t room; // bytes left in the log under the limit
        int status;
        bool installs;
    } rows[] = {
        {"full from the start", 0, 2, false},
        {"full after its first line", 100, 1, true},
    };
    writeFile(tmp / "a.ini", "[Respostas]\nporta=1\n");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        writeFile(tmp / "full.log", "");
        fs::resize_file(tmp / "full.log", kLimit - row.room); // sparse: no disk used
        const fs::path errors = tmp / "stderr.txt";
        const int status = inChild([&] {
            std::signal(SIGXFSZ, SIG_IGN); // writes fail, as on a full disk
            const rlimit limit{kLimit, kLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, 2);
            ::setenv("ZEL_PREFIX", prefix.c_str(), 1);
            if (::chdir(medium().c_str()) == 0)
                ::execl("./SETUP", "./SETUP", "--answers", "../a.ini", "--log", "../full.log",
                        nullptr);
        });
        const std::string said = readFile(errors);
        EXPECT_EQ(status, row.status) << said;
        EXPECT_EQ(lastLine(said),
                  "SETUP: o registro da instala\u00e7\u00e3o est\u00e1 incompleto: N\u00e3o foi "
                  "poss\u00edvel gravar ../full.log (o arquivo ficou grande demais)");
        EXPECT_EQ(installed(), row.installs) << said;
        EXPECT_TRUE(awaitProgmanExit());
    }
}

// The uninstaller on a display that is not there tells its outcome on stderr and ends with
// it, before its work (nothing to uninstall) and after it.
TEST_F(UserFilesTest, TheUninstallerWithoutAScreenFallsBackToStderr) {
    writeFile(tmp / "a.ini", "[Respostas]\nporta=1\n");
    ASSERT_EQ(run("", "./SETUP --answers ../a.ini").status, 0);
    ASSERT_TRUE(awaitProgmanExit());
    const std::string uninstaller = "'" + (prefix / "bin" / "zel-uninstall").string() + "'";
    const struct {
        const char* display;
        fs::path prefix;
        int status;
        std::string said;
    } rows[] = {
        {":57", tmp / "none", 1, "zel-uninstall: Nada foi desinstalado."},
        {"localhost:57", tmp / "none", 1, "zel-uninstall: Nada foi desinstalado."},
        {"localhost:57", prefix, 0, "zel-uninstall: Desinstala\u00e7\u00e3o conclu\u00edda."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.display) + " " + row.prefix.string());
        const CommandResult r =
            run("-u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=" + std::string(row.display) +
                    " XDG_RUNTIME_DIR='" + tmp.path().string() + "'",
                uninstaller, row.prefix);
        EXPECT_EQ(r.status, row.status) << r.errors;
        EXPECT_EQ(lastLine(r.errors), row.said) << r.errors;
    }
    EXPECT_FALSE(installed());
}

} // namespace
} // namespace zel::test
