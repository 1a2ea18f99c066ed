// A kit made a medium (zel-kit pack) and the sums that vouch for it; the tools' command lines;
// and a packed medium run as a subscriber runs it: copied anywhere, with nothing of this build
// within reach, clicked through on a virtual screen (xvfb-run and xdotool).
#include "tests/support/fixtures.h"
#include "winemu/progman_client.h"
#include "winemu/programs.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <sys/stat.h>

namespace zel::test {
namespace {

std::string q(const fs::path& path) {
    return "'" + path.string() + "'";
}
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}
// The project's version, where the build takes it from.
std::string projectVersion() {
    std::smatch m;
    const std::string cmake = readFile(sourceDir() / "CMakeLists.txt");
    return std::regex_search(cmake, m, std::regex(R"(project\(zel-setup VERSION ([0-9.]+))"))
               ? m[1].str()
               : "?";
}

class MediumTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        fs::copy(sourceDir() / "kit", kit, fs::copy_options::recursive);
        // A zel-kit whose wizard and helpers are small stand-ins: media to tamper with cheaply.
        fs::create_directories(tools);
        fs::copy_file(binDir() / "zel-kit", tools / "zel-kit");
        for (const char* name : {"zel-setup", "progman", "libzel-print.so", "libzel-media.so"})
            writeProgram(tools / name, std::string("#!/bin/sh\n# ") + name + "\n");
    }
    CommandResult zelKit(const std::string& args, const fs::path& dir) {
        const CommandResult r =
            runCommand(q(dir / "zel-kit") + " " + args + " 2>" + q(tmp / "stderr"));
        return {r.status, r.output, readFile(tmp / "stderr")};
    }
    // Runs a shell script on a virtual screen; what it printed, standard error included.
    CommandResult onScreen(const std::string& script) {
        writeFile(tmp / "drive.sh", "set -u\n" + script);
        return runCommand("timeout 120 xvfb-run -a -s '-screen 0 1024x768x24' sh " +
                          q(tmp / "drive.sh") + " 2>&1");
    }
    // The packed wizard started from `medium` with nothing but its display and its machine in
    // its environment (no PATH, no LD_LIBRARY_PATH, no ZEL_BIN_DIR); its stderr in tmp/err.
    std::string startWizard(const fs::path& medium) {
        return "cd " + q(medium) +
               "\nenv -i DISPLAY=\"$DISPLAY\" XAUTHORITY=\"$XAUTHORITY\" HOME=" + q(tmp.path()) +
               " ZEL_PREFIX=" + q(prefix) + " ZEL_PROGMAN_IDLE=0.3 ./SETUP >/dev/null 2>" +
               q(tmp / "err") + " &\npid=$!\n" +
               "page() { xdotool search --sync --onlyvisible --name \"$1\" | head -1; }\n"
               "click() { w=$(page \"$1\"); echo \"$1\"; sleep 0.3; "
               "xdotool mousemove --window \"$w\" \"$2\" \"$3\" click 1; }\n";
    }

    fs::path kit = tmp / "kit", tools = tmp / "tools", out = tmp / "out";
    ScriptedUi ui;
};

// The sums are SHA-256 (the standard's test messages, padding at each block boundary) in the
// form sha256sum reads; the medium is the kit, the wizard under its name and its helpers.
TEST_F(MediumTest, PackWritesTheSumsSha256sumReads) {
    const struct {
        const char* name;
        std::string content;
        const char* sha256;
    } vectors[] = {
        {"EMPTY", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"ABC", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"TWO", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"LONG",
         "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
         "lmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {"MILLION", std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& v : vectors)
        writeFile(kit / "SUMS" / v.name, v.content);
    for (const int size : {55, 56, 63, 64, 65, 119, 120, 128})
        writeFile(kit / "SUMS" / std::to_string(size), std::string(size, 'x'));
    writeFile(kit / ".git" / "HEAD", "hidden: not on a medium");
    writeFile(kit / "SETUP", "an earlier wizard, replaced");
    ASSERT_EQ(zelKit("pack " + q(kit) + " " + q(out), tools).status, 0);
    const std::string sums = readFile(out / "SHA256SUMS");
    for (const auto& v : vectors)
        EXPECT_NE(sums.find(std::string(v.sha256) + "  SUMS/" + v.name + "\n"), std::string::npos)
            << v.name;
    const CommandResult verified =
        runCommand("cd " + q(out) + " && sha256sum --quiet -c SHA256SUMS 2>&1");
    EXPECT_EQ(std::to_string(verified.status) + verified.output, "0");
    EXPECT_EQ(readFile(out / "SETUP"), "#!/bin/sh\n# zel-setup\n");
    EXPECT_FALSE(fs::exists(out / ".git"));
    for (const char* program : {"SETUP", "progman"})
        EXPECT_EQ(fs::status(out / program).permissions(), static_cast<fs::perms>(0755));
    EXPECT_EQ(linesOf(sums).size(), 37u + 13u); // the demo medium's 37 files and the 13 sums
}

// pack makes the medium whole or not at all; each row: what is prepared, the arguments, the exit
// status, the last line on stderr, and a file the medium must hold ("" for no medium).
TEST_F(MediumTest, PackRefusesWhatWouldMakeABrokenMedium) {
    const std::string gone = "zel-kit: pack: " + out.string() +
                             " already exists: give a new "
                             "directory for the medium";
    const struct {
        const char* name;
        std::function<void()> prepare;
        std::string args;
        int status;
        std::string lastError;
        const char* holds;
    } rows[] = {
        {"a kit with an error",
         [&] {
             std::string ini = readFile(kit / "SETUP.INI");
             writeFile(kit / "SETUP.INI", ini.replace(ini.find("grupo=ZEL"), 9, "grupo=\"ZEL\""));
         },
         "", 1,
         "zel-kit: pack: 1 error, 0 warnings, 1 note in " + kit.string() + ": no medium made", ""},
        {"a pipe in the kit", [&] { ::mkfifo((kit / "PIPE").c_str(), 0600); }, "", 1,
         "zel-kit: pack: 1 error, 0 warnings, 1 note in " + kit.string() + ": no medium made", ""},
        {"another name", [&] { fs::rename(kit / "SETUP.INI", kit / "instala.ini"); },
         " --name INSTALA", 0, "", "INSTALA"},
        {"a name without its description", [] {}, " --name INSTALA", 1,
         "zel-kit: " + kit.string() +
             ": no INSTALA.INI, the description the wizard named "
             "INSTALA reads",
         ""},
        {"a name that is a path", [] {}, " --name a/b", 2, "  zel-kit --help | --version", ""},
        {"a directory with files", [&] { writeFile(out / "KEEP", "mine"); }, "", 1, gone, "KEEP"},
        {"an empty directory", [&] { fs::create_directory(out); }, "", 0, "", "SETUP"},
        {"no wizard beside zel-kit", [&] { fs::remove(tools / "libzel-media.so"); }, "", 1,
         "zel-kit: pack: " + (tools / "libzel-media.so").string() +
             " is missing: build the wizard and its helpers (make demo) before packing",
         ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(kit);
        fs::remove_all(out);
        fs::copy(sourceDir() / "kit", kit, fs::copy_options::recursive);
        writeProgram(tools / "libzel-media.so", "");
        row.prepare();
        const CommandResult r = zelKit("pack " + q(kit) + " " + q(out) + row.args, tools);
        EXPECT_EQ(r.status, row.status);
        if (row.status != 0) {
            EXPECT_EQ(linesOf(r.errors).back(), row.lastError);
        }
        EXPECT_EQ(*row.holds != 0, fs::exists(out / row.holds));
        if (row.status == 0) {
            EXPECT_EQ(zelKit("check " + q(out), tools).status, 0);
        } else if (*row.holds == 0) {
            EXPECT_FALSE(fs::exists(out));
        }
        for (const auto& entry : fs::directory_iterator(tmp.path())) // nothing half-made beside
            EXPECT_FALSE(entry.path().filename().string().starts_with(".out")) << entry.path();
    }
}

// check finds every change to a packed medium, naming the file (or the line of the sums).
TEST_F(MediumTest, CheckFindsEachChangeToAPackedMedium) {
    ASSERT_EQ(zelKit("pack " + q(kit) + " " + q(out), tools).status, 0);
    const std::string note = linesOf(zelKit("check " + q(out), tools).output).front();
    const fs::path sums = out / "SHA256SUMS";
    const std::string original = readFile(sums), firstLine = linesOf(original).front();
    const std::string next = "SHA256SUMS:" + std::to_string(linesOf(original).size() + 1);
    const struct {
        const char* name;
        std::function<void()> tamper;
        std::string problem;
    } rows[] = {
        {"a file changed", [&] { writeProgram(out / "progman", "#!/bin/sh\n"); },
         "progman: error: differs from its sum in SHA256SUMS: changed since the medium was packed"},
        {"a file removed", [&] { fs::remove(out / "README.md"); },
         "README.md: error: is listed in SHA256SUMS but missing from the medium"},
        {"a file added", [&] { writeFile(out / "IRC" / "NOVO.TXT", ""); },
         "IRC/NOVO.TXT: error: is not listed in SHA256SUMS: added after the medium was packed"},
        {"a line that holds no sum", [&] { writeFile(sums, original + "SETUP\n"); },
         next + ": error: is no line of SHA-256 sums (\"SUM  FILE\")"},
        {"a name off the medium",
         [&] { writeFile(sums, original + firstLine.substr(0, 66) + "../kit/SETUP.INI\n"); },
         next + ": error: names ../kit/SETUP.INI, which is not on the medium"},
        {"a file listed twice", [&] { writeFile(sums, original + firstLine + "\n"); },
         next + ": error: lists " + firstLine.substr(66) + " a second time"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(out);
        ASSERT_EQ(zelKit("pack " + q(kit) + " " + q(out), tools).status, 0);
        row.tamper();
        const CommandResult r = zelKit("check " + q(out), tools);
        EXPECT_EQ(std::to_string(r.status) + r.output,
                  "1" + note + "\n" + row.problem + "\n1 error, 0 warnings, 1 note\n");
    }
}

// Each tool's conventions: the exit status, then the first line of its output or error.
TEST_F(MediumTest, ToolsAnswerHelpVersionAndMistakesAlike) {
    writeFile(tmp / "BIN.INI", std::string("[Principal]\0grupo=G\n", 20));
    writeFile(tmp / "PLAIN.INI", "grupo=G\nversao=1\n");
    writeFile(tmp / "SMALL.INI",
              "[Principal]\ngrupo=G\nversao=3\n[Programa1]\nnome=N\ninstala=1\n");
    const std::string none = (tmp / "none").string(), version = projectVersion();
    const struct {
        const char* tool;
        std::string args;
        int status;
        std::string first; // of stdout when it succeeds, of stderr otherwise
    } rows[] = {
        {"progman", "--version", 0, "progman (zel-setup) " + version},
        {"zel-kit", "--version", 0, "zel-kit (zel-setup) " + version},
        {"progman", "--help", 0,
         "usage: progman [PROGMAN [PROGMAN]]   serve Program Manager's conversation"},
        {"zel-kit", "--help", 0, "usage:"},
        {"progman", "list", 2, "progman: unknown argument list"},
        {"progman", "foo", 2, "progman: unknown argument foo"},
        {"progman", "progman PROGMAN PROGMAN", 2, "progman: unknown argument PROGMAN"},
        {"progman", "--list PROGMAN", 2, "progman: --list takes no service or topic"},
        {"progman", "--lista", 2, "progman: unknown option --lista"},
        {"progman", "--list", 1,
         "progman: no machine at " + none + " (ZEL_PREFIX names the machine's directory)"},
        {"progman", "PROGMAN PROGMAN", 1,
         "progman: no machine at " + none + " (ZEL_PREFIX names the machine's directory)"},
        {"zel-kit", "", 2, "zel-kit: no command given"},
        {"zel-kit", "shwo", 2, "zel-kit: unknown command \"shwo\""},
        {"zel-kit", "show --short SMALL.INI", 2, "zel-kit: show: unknown option --short"},
        {"zel-kit", "show BIN.INI", 1, "zel-kit: BIN.INI: not a profile file (binary content)"},
        {"zel-kit", "show PLAIN.INI", 1,
         "zel-kit: PLAIN.INI: not a profile file (no [section] line)"},
        {"zel-kit", "pack kit", 2,
         "zel-kit: pack takes a kit directory and a new directory for the medium"},
        {"zel-kit", "pack --fast kit out", 2, "zel-kit: pack: unknown option --fast"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.tool) + " " + row.args);
        const CommandResult r =
            runCommand("cd " + q(tmp.path()) + " && ZEL_PREFIX=" + q(none) + " " +
                       q(binDir() / row.tool) + " " + row.args + " 2>" + q(tmp / "stderr"));
        const std::string errors = readFile(tmp / "stderr");
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(linesOf(row.status == 0 ? r.output : errors).front(), row.first);
        EXPECT_EQ(row.status == 2,
                  linesOf(errors).size() > 1 && linesOf(errors)[1].starts_with("usage:"));
        EXPECT_EQ(row.status == 0 ? errors : r.output, "");
    }
    EXPECT_FALSE(fs::exists(none));
    // --compact keeps what holds something; an entry keeps its place among the others.
    EXPECT_EQ(runCommand(q(binDir() / "zel-kit") + " show --compact " + q(tmp / "SMALL.INI") +
                         " | tr -d ' \\n'")
                  .output,
              R"({"settings":{"versao":"3","grupo":"G","destino":"erro!\\","homepage":"erro!",)"
              R"("searchpage":"erro!","grupoicone":"erro!","ineticone":"erro!","bbsicone":)"
              R"("erro!","update_programa":"erro!","update_diretorio":"erro!",)"
              R"("uninstall_programa":"erro!","uninstall_diretorio":"erro!","licensa":"erro!",)"
              R"("navegap_setup":"erro!","navegap_version":"erro!","navegai_setup":"erro!",)"
              R"("navegai_version":"erro!"},"programs":[{"nome":"N","instala":1,)"
              R"("diretorio":"\\"},{"diretorio":"\\"}]})");
}

// The demo kit packed, copied to a fresh directory and clicked through (a typical installation)
// with nothing of the build within reach: the wizard finds its helpers on the medium alone,
// installs Program Manager into the machine, and Program Manager serves after the medium is gone.
TEST_F(MediumTest, APackedMediumInstallsAwayFromTheBuild) {
    ASSERT_EQ(runTool("zel-kit", "pack " + q(kit) + " " + q(out), tmp).status, 0);
    const fs::path cd = tmp / "elsewhere" / "CD";
    fs::create_directories(cd.parent_path());
    fs::copy(out, cd, fs::copy_options::recursive);
    fs::remove_all(prefix);
    const CommandResult run = onScreen(
        startWizard(cd) +
        "page '^ZEL - Windows 95/NT$' >/dev/null\n"
        "grep -o '/[^ ]*libzel-media.so' /proc/$pid/maps | head -1\n"
        "click '^ZEL - Windows 95/NT$' 402 252\nclick '^Licensa$' 462 391\n"
        "click '^Cadastro ZEL Internet$' 462 391\nclick '^Tipo de Instala' 402 252\n"
        "click 'da conex' 215 75\nclick 'da conex' 402 252\nclick 'pia dos Arquivos$' 402 252\n"
        "click 'bem sucedida!$' 402 252\nwait $pid; echo \"status=$?\"\n");
    EXPECT_EQ(run.output, (cd / "libzel-media.so").string() +
                              "\n^ZEL - Windows 95/NT$\n^Licensa$\n^Cadastro ZEL Internet$\n"
                              "^Tipo de Instala\nda conex\nda conex\npia dos Arquivos$\n"
                              "bem sucedida!$\nstatus=0\n")
        << readFile(tmp / "err");
    const fs::path installed = prefix / "bin" / "progman";
    EXPECT_EQ(readFile(installed), readFile(cd / "progman"));
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "PROGMAN.EXE"),
              "#!/bin/sh\nexec '" + installed.string() + "' \"$@\"\n");
    ASSERT_TRUE(awaitProgmanExit());

    fs::remove_all(cd);
    ::setenv("ZEL_PREFIX", prefix.c_str(), 1);
    ::setenv("ZEL_PROGMAN_IDLE", "0.3", 1);
    Machine later({prefix, program, program.parent_path(), {}});
    Programs programs(later, ui);
    DdeConversation progman(later, programs);
    ASSERT_TRUE(progman.open("PROGMAN", "PROGMAN"));
    EXPECT_TRUE(progman.execute("[CreateGroup(Depois)]"));
    progman.close();
    EXPECT_EQ(progman.deliveries(), std::vector<bool>{true});
    EXPECT_TRUE(awaitProgmanExit());
    const std::string groups =
        runCommand(q(driveC() / "WINDOWS" / "PROGMAN.EXE") + " --list").output;
    EXPECT_EQ(groups.substr(groups.rfind("ZEL Internet")),
              "ZEL Internet\n"
              "    Discador (Trumpet Winsock): C:\\Program Files\\ZEL\\TRUMPET\\TCPMAN.EXE  "
              "[icon C:\\Program Files\\ZEL\\ZELNET.ICO]\n"
              "    ZEL BBS: C:\\Program Files\\ZEL\\BBS\\ZEL.HT  [icon C:\\Program "
              "Files\\ZEL\\ZELBBS.ICO]\n"
              "    Correio Eletr\xc3\xb4nico: C:\\Program Files\\ZEL\\CORREIO\\CORREIO.EXE\n"
              "    Leitor de Not\xc3\xad"
              "cias: C:\\Program Files\\ZEL\\NOTICIAS.EXE\n"
              "Depois\n    (no items)\n");
    ::unsetenv("ZEL_PROGMAN_IDLE");
}

// Each helper missing from a medium stops the wizard before it touches the machine: a message
// box naming the file (answered here with Enter), the same text on stderr, exit status 1.
TEST_F(MediumTest, AMissingHelperIsAnErrorAtStartUp) {
    ASSERT_EQ(runTool("zel-kit", "pack " + q(kit) + " " + q(out), tmp).status, 0);
    fs::remove_all(prefix);
    for (const char* helper : {"progman", "libzel-print.so", "libzel-media.so"}) {
        SCOPED_TRACE(helper);
        fs::remove(out / helper);
        const CommandResult run = onScreen(
            startWizard(out) +
            "page '^ZEL Internet for Windows 95/NT$' >/dev/null\nsleep 0.3\nxdotool key Return\n"
            "wait $pid; echo \"status=$?\"\n");
        EXPECT_EQ(run.output, "status=1\n");
        EXPECT_EQ(linesOf(readFile(tmp / "err")).back(),
                  "zel-setup: O arquivo " + std::string(helper) +
                      ", necess\xc3\xa1rio \xc3\xa0 instala\xc3\xa7\xc3\xa3o, n\xc3\xa3o foi "
                      "encontrado junto ao programa de instala\xc3\xa7\xc3\xa3o (" +
                      out.string() + ")");
        EXPECT_FALSE(fs::exists(prefix));
        fs::copy_file(binDir() / helper, out / helper);
    }
}

} // namespace
} // namespace zel::test
