// The files and the display a user names: what cannot be used is told, nothing installed.
#include "setup/messages.h"
#include "tests/e2e/e2e.h"
#include "winemu/cp1252.h"

namespace zel::test {
namespace {

constexpr const char* kComplete =
    "porta=1\nnome=Maria\ntelefone_comercial=555-0123\ncartao_numero=5555 4444\n";
const std::string kNotRegular = " não é um arquivo comum (é ";
// A socket file whose server has gone, nobody answering: the first number free from 58, printed.
const std::string kStaleSocket =
    "mkdir -p /tmp/.X11-unix && cd /tmp/.X11-unix && "
    "[ ! -e X57 ] && for n in $(seq 58 98); do python3 -c \"import socket; socket.socket("
    "socket.AF_UNIX).bind('X$n')\" 2>/dev/null && exec printf $n; done"; // :57 stays none
const std::string kNoScreen = "SETUP: para instalar sem tela, use --answers ARQUIVO (veja --help).";

// `answers`: the [Respostas] lines, or the whole file when it starts with a section.
TEST_F(UnattendedTest, WhatCannotBeUsedIsRefusedBeforeAnythingIsDone) {
    const std::string a = "--answers ../a.ini", offscreen = "QT_QPA_PLATFORM=offscreen",
                      noScreen = "-u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
    const std::string stale = runCommand(kStaleSocket).output; // runs side by side share none
    const struct {
        const char* name;
        std::string env, args, answers, said; // said: the exit status, the last line on stderr
    } rows[] = {
        {"answers file missing", "", "--answers none.ini --log ../dir/a.log", "",
         "2Não foi possível ler o arquivo de respostas none.ini"},
        {"no answers section", "", a, "[Outra]\n",
         "2O arquivo de respostas ../a.ini não tem a seção [Respostas]"},
        {"program the kit lacks", "", a, "porta=1\nprogramas=1,7\n",
         "1Resposta inválida em [Respostas] programas=1,7: o programa 7 não existe neste kit "
         "(programas de 1 a 10 com nome)"},
        {"no port known", "", a, "tipo=tipica\n", "1Você precisa selecionar uma porta serial"},
        {"drive the machine lacks", "", a, "porta=1\ndestino=Z:\\ZEL\n",
         "1O drive do destino Z:\\ZEL\\ não existe ou não está disponível"},
        {"registration incomplete", "", a, "porta=1\nnome=Maria\n",
         "1" + cp1252ToUtf8(kIncompleteRegistration)},
        {"registration without its PDF", "", a, kComplete,
         "1" + cp1252ToUtf8(kRegistrationWithoutPdf)},
        {"space question refused", "", a, "porta=1\nnavegador=1\n",
         "1" + cp1252ToUtf8(kSpaceRefused)},
        {"answers a pipe", "", "--answers ../fifo", "",
         "2O arquivo de respostas ../fifo" + kNotRegular + "um pipe)"},
        {"log a device", "", a + " --log /dev/full", "porta=1\n",
         "2SETUP: --log: /dev/full" + kNotRegular + "um dispositivo)"},
        {"log in no folder", "", a + " --log ../none/a.log", "porta=1\n",
         "2SETUP: --log: Não foi possível gravar ../none/a.log (arquivo ou pasta inexistente)"},
        {"printout a pipe", "", a, kComplete + std::string("impressao_pdf=../fifo\n"),
         "1impressao_pdf: ../fifo" + kNotRegular + "um pipe)"},
        {"saved answers a folder", offscreen, "--save-answers ../dir", "",
         "2SETUP: --save-answers: ../dir" + kNotRegular + "uma pasta)"},
        {"saved answers read-only, even to root", offscreen,
         "--save-answers /proc/sys/kernel/osrelease", "",
         "2SETUP: --save-answers: Não foi possível gravar /proc/sys/kernel/osrelease (permissão "
         "negada)"},
        {"a dial command alone", "", a, "porta=1\nmodem_inicializacao=\nmodem_discagem=ATDT\n",
         "1modem_discagem foi dado, mas modem_inicializacao está vazio: o discador só usa os dois "
         "comandos juntos"},
        {"no display", noScreen + "-u DISPLAY", "", "", "1" + kNoScreen},
        {"a Wayland name with no socket, an X name with no number",
         noScreen + "DISPLAY=:w WAYLAND_DISPLAY=w XDG_RUNTIME_DIR=/proc", "", "", "1" + kNoScreen},
        {"a local display not there", noScreen + "DISPLAY=:57", "", "", "1" + kNoScreen},
        {"a remote display silent", noScreen + "DISPLAY=localhost:57", "", "", "1" + kNoScreen},
        {"a stale local socket", noScreen + "DISPLAY=:" + stale, "", "", "1" + kNoScreen},
    };
    // The first browser and the programs take more than any disk can report.
    edit(medium() / "SETUP.INI", "navegap_size=4200", "navegap_size=2147483647");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        writeFile(tmp / "a.ini",
                  (row.answers.starts_with("[") ? "" : "[Respostas]\n") + row.answers);
        const CommandResult r = run("./SETUP " + row.args, row.env);
        EXPECT_EQ(std::to_string(r.status) + lastLine(r.errors), row.said) << r.errors;
        EXPECT_TRUE(!installed() && fs::status(tmp / "fifo").type() == fs::file_type::fifo &&
                    fs::is_empty(tmp / "dir"));
    }
    EXPECT_TRUE(fs::remove("/tmp/.X11-unix/X" + stale)); // it was made; a later run meets none
    // A program away from its kit's description has nothing it could install.
    fs::rename(medium() / "SETUP.INI", medium() / "OUTRO.INI");
    const CommandResult bare = run("./SETUP --answers ../a.ini");
    EXPECT_EQ(std::to_string(bare.status) + bare.errors,
              "1" + cp1252ToUtf8(kNoKitDescription) + "D:\\SETUP.INI\n");
    fs::permissions(prefix, fs::perms::group_write, fs::perm_options::add); // before the kit
    const std::string shared = "A máquina " + prefix.string() + " pode ser alterada por outros";
    EXPECT_EQ(lastLine(run("./SETUP --answers ../a.ini").errors), shared + " usuários");
    EXPECT_THAT(run("timeout 5 ./SETUP", offscreen).errors,
                HasSubstr("ZEL Internet for Windows 95/NT: " + shared + " usuários.\n"));
}

// A quote in a group or item, a menu that cannot be written: said, the run still succeeds.
TEST_F(UnattendedTest, WhatTheRunCannotDoIsSaidAndTheRunSucceedsUnlessItsLogFillsUp) {
    // A log filling up (room left; installed, status): at once nothing is done, later it fails.
    writeFile(tmp / "a.ini", "[Respostas]\nporta=1\n");
    for (const auto& [room, status] : {std::pair(0, "0 2"), {100, "1 1"}}) {
        writeFile(tmp / "full.log", "");
        fs::resize_file(tmp / "full.log", (std::uintmax_t(1) << 30) - room); // sparse: no disk used
        const CommandResult r = run("bash -c 'trap \"\" XFSZ; ulimit -f 1048576; exec ./SETUP "
                                    "--answers ../a.ini --log ../full.log'"); // as a full disk
        EXPECT_EQ(std::to_string(installed()) + " " + std::to_string(r.status) + lastLine(r.errors),
                  status +
                      std::string("SETUP: o registro da instalação está incompleto: Não foi "
                                  "possível gravar ../full.log (o arquivo ficou grande demais)"))
            << room << r.errors;
        EXPECT_TRUE(awaitProgmanExit());
    }
    writeFile(tmp / "a.ini", "[Respostas]\ntipo=personalizada\nprogramas=1,2,3,4,5,6\nporta=1\n");
    const std::string notADir = (tmp / "not-a-dir").string();
    writeFile(notADir, "");
    const std::string warning =
        "SETUP: aviso: as entradas do menu da área de trabalho não podem ser gravadas em " +
        notADir + "/applications/zel-setup (parte do caminho não é uma pasta)";
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
        writeFile(medium() / "SETUP.INI", kit);
        edit(medium() / "SETUP.INI", row.line, row.quoted);
        const CommandResult r = run("./SETUP --answers ../a.ini --log ../run.log", row.env);
        EXPECT_EQ(std::to_string(r.status) + std::to_string(installed()), "01") << r.errors;
        EXPECT_THAT(r.errors,
                    HasSubstr("O Gerenciador de Programas não criou os seguintes grupos e itens:"));
        EXPECT_THAT(r.errors, HasSubstr(row.lost));
        EXPECT_EQ(r.errors.find(warning) != std::string::npos, row.warned) << r.errors;
        EXPECT_EQ(readFile(tmp / "run.log").find(warning.substr(7)) != std::string::npos,
                  row.warned);
        EXPECT_TRUE(awaitProgmanExit());
    }
    const std::string silentDisplay =
        "-u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=localhost:57 XDG_RUNTIME_DIR=" +
        q(tmp.path());
    for (const fs::path& machineDir : {tmp / "none", prefix}) {
        const CommandResult r = run(q(prefix / "bin" / "zel-uninstall"), silentDisplay, machineDir);
        EXPECT_EQ(std::to_string(r.status) + lastLine(r.errors),
                  machineDir == prefix ? "0zel-uninstall: Desinstalação concluída."
                                       : "1zel-uninstall: Nada foi desinstalado.");
    }
}

// On a real screen the quiet runs show nothing; without --quiet the uninstaller's box comes up.
TEST_F(UnattendedTest, OnAScreenTheQuietRunsShowNoWindow) {
    if (!haveTool("Xvfb") || !haveTool("xdotool") || !haveTool("xauth"))
        GTEST_SKIP() << "Xvfb, xauth or xdotool is not installed (scripts/install-deps --test)";
    // Listening on TCP too, it admits only holders of a cookie (of any display) in the file.
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
    ASSERT_TRUE(eventually([&] { return readFile(number).ends_with('\n'); })) << "no Xvfb";
    const std::string n = readFile(number).substr(0, readFile(number).size() - 1);
    addCookie(":" + n); // a connection over TCP from this host is taken for a local one
    const auto onScreen = [&](const std::string& command) { // run from the medium
        return runIn(medium(),
                     "export DISPLAY=:" + n + " ZEL_PREFIX=" + q(prefix) + " XAUTHORITY=" +
                         q(cookies) + "; unset QT_QPA_PLATFORM WAYLAND_DISPLAY; " + command,
                     tmp / "err");
    };
    writeFile(tmp / "a.ini", "[Respostas]\nporta=1\nnavegador=nenhum\n"); // no setup's words
    const CommandResult setup = onScreen("timeout 60 ./SETUP --answers ../a.ini");
    EXPECT_EQ(std::to_string(setup.status) + setup.output, "0") << setup.errors;
    ASSERT_TRUE(installed() && awaitProgmanExit());
    const std::string uninstaller = q(prefix / "bin" / "zel-uninstall");
    EXPECT_EQ(outcome(onScreen("timeout 20 " + uninstaller + " --quiet")),
              "0zel-uninstall: Desinstalação concluída.\n");
    EXPECT_FALSE(installed());
    for (const std::string display : {":", "localhost:"}) { // its socket, or TCP as from afar
        const CommandResult box = onScreen("DISPLAY=" + display + n + " " + uninstaller +
                                           " & timeout 20 xdotool search --sync --pid $! --name "
                                           "'^Desinstalador ZEL Internet$' >/dev/null && echo box; "
                                           "kill $!");
        EXPECT_EQ(box.output, "box\n") << display << box.errors;
    }
    // The wizard's pages stay, waiting for the user, until the wizard is ended.
    const std::string pages = "./SETUP & timeout 20 xdotool search --sync --onlyvisible --pid $! "
                              ">/dev/null; kill $!; wait $!";
    EXPECT_EQ(onScreen(pages).status, 128 + SIGTERM);
}

} // namespace
} // namespace zel::test
