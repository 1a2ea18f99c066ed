// The files a user names to the program and the display it starts on: what cannot be used is
// told with its exit status, nothing installed; on a real screen the quiet runs show no window.
#include "setup/messages.h"
#include "tests/e2e/e2e.h"
#include "winemu/cp1252.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <thread>

namespace zel::test {
namespace {

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

    // The program from the medium, `env` changing its environment; ended after a minute.
    CommandResult run(const std::string& env, const std::string& command,
                      const fs::path& machineDir = {}) {
        return runIn(medium(),
                     "env " + env + " ZEL_PREFIX=" + q(machineDir.empty() ? prefix : machineDir) +
                         " timeout 60 " + command,
                     tmp / "stderr.txt");
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

// `answers`: the [Respostas] lines, or the whole file when it starts with a section.
TEST_F(UserFilesTest, WhatCannotBeUsedIsRefusedBeforeAnythingIsDone) {
    const struct {
        const char* name;
        std::string env, args, answers;
        int status;
        std::string said;
    } rows[] = {
        {"answers file missing", "", "--answers none.ini", "", 2,
         "N\u00e3o foi poss\u00edvel ler o arquivo de respostas none.ini"},
        {"no answers section", "", "--answers ../a.ini", "[Outra]\n", 2,
         "O arquivo de respostas ../a.ini n\u00e3o tem a se\u00e7\u00e3o [Respostas]"},
        {"program the kit lacks", "", "--answers ../a.ini", "porta=1\nprogramas=1,7\n", 1,
         "Resposta inv\u00e1lida em [Respostas] programas=1,7: o programa 7 n\u00e3o existe neste "
         "kit (programas de 1 a 10 com nome)"},
        {"no port known", "", "--answers ../a.ini", "tipo=tipica\n", 1,
         "Voc\u00ea precisa selecionar uma porta serial"},
        {"drive the machine lacks", "", "--answers ../a.ini", "porta=1\ndestino=Z:\\ZEL\n", 1,
         "O drive do destino Z:\\ZEL\\ n\u00e3o existe ou n\u00e3o est\u00e1 dispon\u00edvel"},
        {"registration incomplete", "", "--answers ../a.ini", "porta=1\nnome=Maria\n", 1,
         cp1252ToUtf8(kIncompleteRegistration)},
        {"registration without its PDF", "", "--answers ../a.ini", kComplete, 1,
         cp1252ToUtf8(kRegistrationWithoutPdf)},
        {"space question refused", "", "--answers ../a.ini", "porta=1\nnavegador=1\n", 1,
         cp1252ToUtf8(kSpaceRefused)},
        {"answers a pipe", "", "--answers ../fifo", "", 2,
         "O arquivo de respostas ../fifo" + kNotRegular + "um pipe)"},
        {"log a device", "", "--answers ../a.ini --log /dev/full", "porta=1\n", 2,
         "SETUP: --log: /dev/full" + kNotRegular + "um dispositivo)"},
        {"log in no folder", "", "--answers ../a.ini --log ../none/a.log", "porta=1\n", 2,
         "SETUP: --log: N\u00e3o foi poss\u00edvel gravar ../none/a.log (arquivo ou pasta "
         "inexistente)"},
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
    // The first browser and the programs take more than any disk can report.
    std::string ini = readFile(medium() / "SETUP.INI");
    writeFile(medium() / "SETUP.INI",
              ini.replace(ini.find("navegap_size=4200"), 17, "navegap_size=2147483647"));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        writeFile(tmp / "a.ini",
                  (row.answers.starts_with("[") ? "" : "[Respostas]\n") + row.answers);
        const CommandResult r = run(row.env, "./SETUP " + row.args);
        EXPECT_EQ(r.status, row.status) << r.errors;
        EXPECT_EQ(lastLine(r.errors), row.said) << r.errors;
        EXPECT_FALSE(installed());
        EXPECT_EQ(fs::status(tmp / "fifo").type(), fs::file_type::fifo);
        EXPECT_TRUE(fs::is_empty(tmp / "dir"));
    }
    // A program away from its kit's description has nothing it could install.
    fs::rename(medium() / "SETUP.INI", medium() / "OUTRO.INI");
    const CommandResult bare = run("", "./SETUP --answers ../a.ini");
    EXPECT_EQ(std::to_string(bare.status) + bare.errors,
              "1" + cp1252ToUtf8(kNoKitDescription) + "D:\\SETUP.INI\n");
}

// A kit value that would break a macro leaves out its group or item, saying which; a desktop menu
// that cannot be written is said on stderr and in the log: the run succeeds all the same. The
// uninstaller on a display that is not there then tells its outcome on stderr.
TEST_F(UserFilesTest, WhatTheRunCannotDoIsSaidAndTheRunStillSucceeds) {
    writeFile(tmp / "a.ini", "[Respostas]\ntipo=personalizada\nprogramas=1,2,3,4,5,6\nporta=1\n");
    const std::string notADir = (tmp / "not-a-dir").string();
    writeFile(notADir, "");
    const std::string warning = "SETUP: aviso: as entradas do menu da \u00e1rea de trabalho "
                                "n\u00e3o podem ser gravadas em " +
                                notADir +
                                "/applications/zel-setup (parte do caminho n\u00e3o "
                                "\u00e9 uma pasta)";
    const struct {
        std::string line, quoted, lost, env;
        bool warned;
    } rows[] = {
        {"grupo=ZEL Internet", "grupo=ZEL \"Internet\"", "ZEL \"Internet\"",
         "ZEL_NO_DESKTOP=0 XDG_DATA_HOME=" + notADir, true},
        {"nome=Bate-papo (IRC)", "nome=Bate-papo \"IRC\"", "Bate-papo \"IRC\"",
         "ZEL_NO_DESKTOP=1 XDG_DATA_HOME=" + notADir, false},
    };
    const std::string kit = readFile(medium() / "SETUP.INI");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.lost);
        fs::remove_all(prefix);
        makeMachine(true);
        fs::remove(tmp / "run.log");
        std::string changed = kit;
        ASSERT_NE(changed.find(row.line), std::string::npos);
        writeFile(medium() / "SETUP.INI",
                  changed.replace(changed.find(row.line), row.line.size(), row.quoted));
        const CommandResult r = run(row.env, "./SETUP --answers ../a.ini --log ../run.log");
        EXPECT_EQ(r.status, 0) << r.errors;
        EXPECT_TRUE(installed());
        EXPECT_THAT(r.errors,
                    HasSubstr("O Gerenciador de Programas n\u00e3o criou os seguintes grupos e "
                              "itens:"));
        EXPECT_THAT(r.errors, HasSubstr(row.lost));
        EXPECT_EQ(r.errors.find(warning) != std::string::npos, row.warned) << r.errors;
        EXPECT_EQ(readFile(tmp / "run.log").find(warning.substr(7)) != std::string::npos,
                  row.warned);
        EXPECT_TRUE(awaitProgmanExit());
    }
    for (const fs::path& machineDir : {tmp / "none", prefix}) {
        const CommandResult r = run("-u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=localhost:57 "
                                    "XDG_RUNTIME_DIR=" +
                                        q(tmp.path()),
                                    q(prefix / "bin" / "zel-uninstall"), machineDir);
        EXPECT_EQ(std::to_string(r.status) + lastLine(r.errors),
                  machineDir == prefix ? "0zel-uninstall: Desinstala\u00e7\u00e3o conclu\u00edda."
                                       : "1zel-uninstall: Nada foi desinstalado.");
    }
    EXPECT_FALSE(installed());
}

// A log that fills up: at its first line nothing is done; later, the run fails, saying so.
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

// On a virtual X screen the unattended wizard and `zel-uninstall --quiet` show nothing; without
// --quiet the box comes up (the screen is really there, through its socket and over TCP).
TEST_F(UserFilesTest, OnAScreenTheQuietRunsShowNoWindow) {
    if (!haveTool("Xvfb") || !haveTool("xdotool") || !haveTool("xauth"))
        GTEST_SKIP() << "Xvfb, xauth or xdotool is not installed (scripts/install-deps --test)";
    // Listening on TCP too, it admits only clients with its cookie (the server takes every
    // cookie of the file, whatever display it names).
    const fs::path number = tmp / "display", cookies = tmp / "xauthority";
    std::string cookie = runCommand("mcookie").output;
    cookie.resize(cookie.find_last_not_of('\n') + 1);
    const auto addCookie = [&](const std::string& display) {
        ASSERT_EQ(runCommand("xauth -f " + q(cookies) + " add " + display + " . " + cookie).status,
                  0);
    };
    addCookie(":0");
    const std::string server = runCommand("Xvfb -displayfd 3 -listen tcp -auth " + q(cookies) +
                                          " 3>" + q(number) + " >/dev/null 2>&1 & echo $!")
                                   .output;
    struct Stop {
        pid_t pid;
        ~Stop() { ::kill(pid, SIGTERM); }
    } stop{std::stoi(server)};
    for (int i = 0; i < 1000 && !readFile(number).ends_with('\n'); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_FALSE(readFile(number).empty()) << "Xvfb did not start";
    const std::string n = readFile(number).substr(0, readFile(number).size() - 1);
    addCookie(":" + n); // a connection over TCP from this host is taken for a local one
    const std::string screen = "export DISPLAY=:" + n + " ZEL_PREFIX=" + q(prefix) +
                               " XAUTHORITY=" + q(cookies) +
                               "; unset QT_QPA_PLATFORM WAYLAND_DISPLAY; ";
    writeFile(tmp / "a.ini", "[Respostas]\nporta=1\nnavegador=nenhum\n"); // no setup's words
    const CommandResult setup =
        runIn(medium(), screen + "timeout 60 ./SETUP --answers ../a.ini", tmp / "err");
    EXPECT_EQ(std::to_string(setup.status) + setup.output, "0") << setup.errors;
    EXPECT_TRUE(installed());
    ASSERT_TRUE(awaitProgmanExit());
    const std::string uninstaller = q(prefix / "bin" / "zel-uninstall");
    const CommandResult quiet =
        runIn(medium(), screen + "timeout 20 " + uninstaller + " --quiet", tmp / "err");
    EXPECT_EQ(std::to_string(quiet.status) + quiet.output + quiet.errors,
              "0zel-uninstall: Desinstala\u00e7\u00e3o conclu\u00edda.\n");
    EXPECT_FALSE(installed());
    for (const std::string display : {":", "localhost:"}) { // its socket, or TCP as from afar
        const CommandResult box = runIn(medium(),
                                        screen + "DISPLAY=" + display + n + " " + uninstaller +
                                            " & timeout 20 xdotool search --sync --pid $! --name "
                                            "'^Desinstalador ZEL Internet$' >/dev/null && echo "
                                            "box; kill $!",
                                        tmp / "err");
        EXPECT_EQ(box.output, "box\n") << display << box.errors;
    }
}

} // namespace
} // namespace zel::test
