// zel-kit pack and the sums that vouch for a medium; the tools' command lines; a packed medium
// tampered with. (The Acme kit's tests install a packed medium away from the build.)
#include "tests/e2e/e2e.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>
#include <regex>
#include <sys/stat.h>

namespace zel::test {
namespace {

// A sanitizer build's own settings (its suppressions) survive the emptied environment.
constexpr const char* kSanitizerSettings = "ASAN_OPTIONS=\"$ASAN_OPTIONS\" "
                                           "LSAN_OPTIONS=\"$LSAN_OPTIONS\" "
                                           "UBSAN_OPTIONS=\"$UBSAN_OPTIONS\"";

class MediumTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        fs::copy(sourceDir() / "kit", kit, fs::copy_options::recursive);
        fs::create_directories(tools); // zel-kit beside stand-ins of the wizard and its helpers
        fs::copy_file(binDir() / "zel-kit", tools / "zel-kit");
        for (const char* name :
             {"zel-setup", "progman", "zel-uninstall", "libzel-print.so", "libzel-media.so"})
            writeProgram(tools / name, std::string("#!/bin/sh\n# ") + name + "\n");
    }
    CommandResult run(const fs::path& tool, const std::string& args) {
        return runIn(tmp.path(), q(tool) + " " + args, tmp / "stderr");
    }
    CommandResult pack(const fs::path& dir, const std::string& more = "") {
        return run(dir / "zel-kit", "pack " + q(kit) + " " + q(out) + more);
    }

    fs::path kit = tmp / "kit", tools = tmp / "tools", out = tmp / "out";
};

// The sums as sha256sum reads them (each padding boundary, many blocks); no hidden files.
TEST_F(MediumTest, PackWritesTheSumsSha256sumReads) {
    for (const int size : {0, 3, 55, 56, 63, 64, 65, 119, 120, 128, 1000000})
        writeFile(kit / "SUMS" / std::to_string(size), std::string(size, 'x'));
    writeFile(kit / ".git" / "HEAD", "hidden: not on a medium");
    writeFile(kit / "SETUP", "an earlier wizard, replaced");
    ASSERT_EQ(pack(tools).status, 0);
    const CommandResult verified =
        runCommand("cd " + q(out) + " && sha256sum --quiet -c SHA256SUMS 2>&1");
    EXPECT_EQ(std::to_string(verified.status) + verified.output, "0");
    EXPECT_EQ(run(tools / "zel-kit", "check " + q(out)).status, 0); // every file listed
    EXPECT_EQ(readFile(out / "SETUP"), "#!/bin/sh\n# zel-setup\n");
    EXPECT_FALSE(fs::exists(out / ".git"));
    for (const char* program : {"SETUP", "progman", "zel-uninstall"})
        EXPECT_EQ(fs::status(out / program).permissions(), static_cast<fs::perms>(0755));
}

// pack makes the medium whole or not at all; `holds` is a file then at OUT ("" for no OUT).
TEST_F(MediumTest, PackRefusesWhatWouldMakeABrokenMedium) {
    const std::string noMedium = " in " + kit.string() + ": no medium made";
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
         "", 1, "zel-kit: pack: 1 error, 0 warnings, 1 note" + noMedium, ""},
        {"a link to nothing", [&] { fs::create_symlink("NADA", kit / "IRC" / "LINK"); }, "", 1,
         "zel-kit: pack: " + (kit / "IRC" / "LINK").string() +
             ": not a regular file (a link to a directory, a pipe, a device, or a link to "
             "nothing): nothing packed",
         ""},
        {"an earlier medium changed since", [&] { writeFile(kit / "SHA256SUMS", "old\n"); }, "", 0,
         "", "SHA256SUMS"},
        {"another name", [&] { fs::rename(kit / "SETUP.INI", kit / "instala.ini"); },
         " --name INSTALA", 0, "", "INSTALA"},
        {"a name without its description", [] {}, " --name INSTALA", 1,
         "zel-kit: " + kit.string() +
             ": no INSTALA.INI, the description the wizard named INSTALA reads",
         ""},
        {"a name that is a path", [] {}, " --name a/b", 2, "  zel-kit --help | --version", ""},
        {"a directory with files", [&] { writeFile(out / "KEEP", "mine"); }, "", 1,
         "zel-kit: pack: " + out.string() + " already exists: give a new directory for the medium",
         "KEEP"},
        {"an empty directory", [&] { fs::create_directory(out); }, "", 0, "", "SETUP"},
        {"a helper missing beside zel-kit", [&] { fs::remove(tools / "libzel-media.so"); }, "", 1,
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
        const CommandResult r = pack(tools, row.args);
        EXPECT_EQ(std::to_string(r.status) + (r.status == 0 ? "" : lastLine(r.errors)),
                  std::to_string(row.status) + row.lastError);
        EXPECT_EQ(*row.holds != 0, fs::exists(out / row.holds));
        EXPECT_EQ(*row.holds != 0, fs::exists(out));
        EXPECT_EQ(row.status == 0 ? run(tools / "zel-kit", "check " + q(out)).status : 0, 0);
        for (const auto& entry : fs::directory_iterator(tmp.path())) // nothing half-made beside
            EXPECT_FALSE(entry.path().filename().string().starts_with(".out")) << entry.path();
    }
}

// check finds every change to a packed medium, naming the file (or the line of the sums).
TEST_F(MediumTest, CheckFindsEachChangeToAPackedMedium) {
    ASSERT_EQ(pack(tools).status, 0);
    // The demo kit's one note: [Patro3] has a picture but no hint on purpose.
    const std::string note =
        "SETUP.INI:105: note: [Patro3] has no Texto: the sponsor is never shown";
    const CommandResult clean = run(tools / "zel-kit", "check " + q(out));
    EXPECT_EQ(std::to_string(clean.status) + clean.output,
              "0" + note + "\n0 errors, 0 warnings, 1 note\n");
    const fs::path sums = out / "SHA256SUMS";
    const std::string original = readFile(sums), first = firstLine(original);
    const std::string next =
        "SHA256SUMS:" + std::to_string(std::count(original.begin(), original.end(), '\n') + 1);
    const std::pair<std::function<void()>, std::string> rows[] = {
        {[&] { writeProgram(out / "progman", "#!/bin/sh\n"); },
         "progman: error: differs from its sum in SHA256SUMS: changed since the medium was packed"},
        {[&] { fs::remove(out / "README.md"); },
         "README.md: error: is listed in SHA256SUMS but missing from the medium"},
        {[&] { writeFile(out / "IRC" / "NOVO.TXT", ""); },
         "IRC/NOVO.TXT: error: is not listed in SHA256SUMS: added after the medium was packed"},
        {[&] { writeFile(out / "IRC" / ".oculto", ""); }, // hidden files are on no medium
         "IRC/.oculto: error: is not listed in SHA256SUMS: added after the medium was packed"},
        {[&] { writeFile(out / ".git" / "HEAD", ""); },
         ".git/HEAD: error: is not listed in SHA256SUMS: added after the medium was packed"},
        {[&] { writeFile(sums, original + "SETUP\n"); },
         next + ": error: is no line of SHA-256 sums (\"SUM  FILE\")"},
        {[&] { writeFile(sums, original + first.substr(0, 66) + "../kit/SETUP.INI\n"); },
         next + ": error: names ../kit/SETUP.INI, which is not on the medium"},
        {[&] { writeFile(sums, original + first + "\n"); },
         next + ": error: lists " + first.substr(66) + " a second time"},
    };
    for (const auto& [tamper, problem] : rows) {
        SCOPED_TRACE(problem);
        fs::remove_all(out);
        ASSERT_EQ(pack(tools).status, 0);
        tamper();
        const CommandResult r = run(tools / "zel-kit", "check " + q(out));
        EXPECT_EQ(std::to_string(r.status) + r.output,
                  "1" + note + "\n" + problem + "\n1 error, 0 warnings, 1 note\n");
    }
    // A helper that is a link is named as such, not taken for a kit file off the medium.
    fs::create_symlink("/etc/shadow", kit / "progman");
    fs::create_symlink("/etc/gshadow", kit / "zel-uninstall");
    EXPECT_EQ(outcome(run(tools / "zel-kit", "check " + q(kit))),
              "1" + note +
                  "\nprogman: error: helper progman is a link: the wizard refuses it; put the file "
                  "itself on the medium\nzel-uninstall: error: helper zel-uninstall is a link: the "
                  "wizard refuses it; put the file itself on the medium\n2 errors, 0 warnings, 1 "
                  "note\n");
}

// Each attack on a packed medium stops the wizard (status 1) before the machine exists.
TEST_F(MediumTest, AMediumThatIsNotAsPackedInstallsNothing) {
    ASSERT_EQ(pack(binDir()).status, 0);
    const std::string packedSums = readFile(out / "SHA256SUMS");
    const fs::path cd = tmp / "CD";
    writeFile(tmp / "a.ini", "[Respostas]\ntipo=tipica\nporta=COM2\n");
    const auto linkTo = [&](const fs::path& target, const char* helper) {
        fs::remove(cd / helper);
        fs::create_symlink(target, cd / helper);
        if (target.string().starts_with("/etc")) // without sums, the helper's own check
            fs::remove(cd / "SHA256SUMS");
    };
    const std::string midia = " da m\303\255dia ", nothing = "; nada foi instalado";
    const std::string unverifiable =
        "n\xc3\xa3o p\303\264de ser verificado (um link ou algo que n\xc3\xa3o \xc3\xa9 um "
        "arquivo)";
    const auto linked = [&](const char* helper) {
        return "O arquivo " + std::string(helper) +
               " junto ao programa de instala\xc3\xa7\xc3\xa3o (" + cd.string() +
               ") \xc3\xa9 um link, n\xc3\xa3o um arquivo: nada foi instalado";
    };
    const struct {
        const char* attack;
        std::function<void()> tamper;
        std::string said;
    } rows[] = {
        {"progman a link to /etc/shadow, no sums", [&] { linkTo("/etc/shadow", "progman"); },
         linked("progman")},
        {"progman a link to a copy of itself",
         [&] {
             fs::copy_file(cd / "progman", tmp / "progman-copy");
             linkTo(tmp / "progman-copy", "progman");
         },
         "O arquivo progman" + midia + unverifiable + nothing},
        {"a tampered progman",
         [&] { writeProgram(cd / "progman", "#!/bin/sh\necho owned >/tmp/owned\n"); },
         "O arquivo progman" + midia +
             "n\xc3\xa3o confere com SHA256SUMS: foi alterado depois "
             "que a m\303\255dia foi feita" +
             nothing},
        {"a listed kit file missing", [&] { fs::remove(cd / "README.md"); },
         "O arquivo README.md" + midia +
             "est\xc3\xa1 listado em SHA256SUMS mas n\xc3\xa3o foi "
             "encontrado" +
             nothing},
        {"a listed name off the medium",
         [&] {
             const std::string sums = readFile(cd / "SHA256SUMS");
             writeFile(cd / "SHA256SUMS", sums + sums.substr(0, 66) + "../../etc/passwd\n");
         },
         "O arquivo SHA256SUMS" + midia + "est\xc3\xa1 danificado (linha " +
             std::to_string(std::count(packedSums.begin(), packedSums.end(), '\n') + 1) + ")" +
             nothing},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.attack);
        fs::remove_all(cd);
        fs::copy(out, cd, fs::copy_options::recursive);
        fs::remove_all(prefix);
        row.tamper();
        const CommandResult r =
            runIn(cd,
                  std::string("env -i ") + kSanitizerSettings + " HOME=" + q(tmp.path()) +
                      " ZEL_PREFIX=" + q(prefix) + " ./SETUP --answers ../a.ini",
                  tmp / "err");
        EXPECT_EQ(std::to_string(r.status) + lastLine(r.errors), "1" + row.said);
        EXPECT_FALSE(fs::exists(prefix));
    }
}

// Each tool's exit status and first line said (the usage after it for a usage error).
TEST_F(MediumTest, ToolsAnswerHelpVersionAndMistakesAlike) {
    writeFile(tmp / "BIN.INI", std::string("[Principal]\0grupo=G\n", 20));
    writeFile(tmp / "PLAIN.INI", "grupo=G\nversao=1\n");
    writeFile(tmp / "SMALL.INI", "[Principal]\ngrupo=G\n[Programa1]\nnome=N\ninstala=1\n");
    std::smatch version; // the project's, where the build takes it from
    const std::string cmake = readFile(sourceDir() / "CMakeLists.txt");
    ASSERT_TRUE(
        std::regex_search(cmake, version, std::regex(R"(project\(zel-setup VERSION ([0-9.]+))")));
    const std::string noMachine =
        "no machine at " + (tmp / "none").string() + " (ZEL_PREFIX names the machine's directory)";
    const struct {
        const char* tool;
        std::string args;
        int status;
        std::string first;
    } rows[] = {
        {"progman", "--version", 0, "progman (zel-setup) " + version[1].str()},
        {"zel-kit", "--version", 0, "zel-kit (zel-setup) " + version[1].str()},
        {"zel-setup", "--version", 0, "zel-setup " + version[1].str()},
        {"zel-setup", "--help", 0,
         "Uso: zel-setup [--answers ARQUIVO] [--save-answers ARQUIVO] [--log ARQUIVO]"},
        {"zel-setup", "--bogus", 2, "zel-setup: argumento desconhecido: --bogus"},
        {"progman", "--help", 0,
         "usage: progman [PROGMAN [PROGMAN]]   serve Program Manager's conversation"},
        {"progman", "list", 2, "progman: unknown argument list"},
        {"progman", "progman PROGMAN PROGMAN", 2, "progman: unknown argument PROGMAN"},
        {"progman", "--list PROGMAN", 2, "progman: --list takes no service or topic"},
        {"progman", "--list", 1, "progman: " + noMachine},
        {"progman", "PROGMAN PROGMAN", 1, "progman: " + noMachine},
        {"zel-kit", "", 2, "zel-kit: no command given"},
        {"zel-kit", "shwo", 2, "zel-kit: unknown command \"shwo\""},
        {"zel-kit", "show --short SMALL.INI", 2, "zel-kit: show: unknown option --short"},
        {"zel-kit", "show BIN.INI", 1, "zel-kit: BIN.INI: not a profile file (binary content)"},
        {"zel-kit", "show PLAIN.INI", 1,
         "zel-kit: PLAIN.INI: not a profile file (no [section] line)"},
        {"zel-kit", "pack kit", 2,
         "zel-kit: pack takes a kit directory and a new directory for the medium"},
        {"zel-kit", "check", 2,
         "zel-kit: check takes one kit medium directory, wizard or description file"},
        {"zel-kit", "show", 2, "zel-kit: show takes one setup description file"},
        {"zel-kit", "check --frob kit", 2, "zel-kit: check: unknown option --frob"},
        {"zel-kit", "keys", 2, "zel-kit: keys takes --markdown"},
        {"zel-kit", "keys --json", 2, "zel-kit: keys takes --markdown"},
        {"zel-kit", "keys --markdown extra", 2, "zel-kit: keys takes --markdown"},
        {"zel-uninstall", "--version", 0, "zel-uninstall (zel-setup) " + version[1].str()},
        {"zel-uninstall", "--help", 0, "Uso: zel-uninstall [--quiet]"},
        {"zel-uninstall", "--quiet --bogus", 2, "zel-uninstall: argumento desconhecido: --bogus"},
    };
    ::setenv("ZEL_PREFIX", (tmp / "none").c_str(), 1);
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.tool) + " " + row.args);
        const CommandResult r = run(binDir() / row.tool, row.args);
        const std::string& said = row.status == 0 ? r.output : r.errors;
        EXPECT_EQ(std::to_string(r.status) + firstLine(said),
                  std::to_string(row.status) + row.first);
        const std::string rest = said.substr(said.find('\n') + 1);
        EXPECT_EQ(rest.starts_with("usage:") || rest.starts_with("Uso:"), row.status == 2);
        EXPECT_EQ(row.status == 0 ? r.errors : r.output, "");
    }
    ::unsetenv("ZEL_PREFIX");
    EXPECT_FALSE(fs::exists(tmp / "none"));
    // --compact keeps what holds something; an entry keeps its place among the others.
    const auto shown =
        nlohmann::ordered_json::parse(run(binDir() / "zel-kit", "show --compact SMALL.INI").output);
    EXPECT_EQ(shown["programs"].dump() + std::to_string(shown.contains("welcome")),
              R"([{"nome":"N","instala":1,"diretorio":"\\"},{"diretorio":"\\"}]0)");
}

// An installed zel-kit packs bin's programs and lib/zel-setup's modules (one beside it first).
TEST_F(MediumTest, AnInstalledZelKitPacksTheInstalledModules) {
    const fs::path bin = tmp / "usr" / "bin", lib = tmp / "usr" / "lib" / "zel-setup";
    fs::create_directories(bin);
    fs::copy_file(tools / "zel-kit", bin / "zel-kit");
    for (const char* name : {"zel-setup", "progman", "zel-uninstall"})
        writeProgram(bin / name, std::string("#!/bin/sh\n# bin/") + name + "\n");
    for (const char* name : {"libzel-print.so", "libzel-media.so"})
        writeFile(lib / name, std::string("lib/") + name);
    ASSERT_EQ(pack(bin).status, 0) << readFile(tmp / "stderr");
    EXPECT_EQ(readFile(out / "SETUP") + readFile(out / "libzel-print.so") +
                  readFile(out / "libzel-media.so"),
              "#!/bin/sh\n# bin/zel-setup\nlib/libzel-print.solib/libzel-media.so");

    fs::remove_all(out);
    writeFile(bin / "libzel-media.so", "beside");
    ASSERT_EQ(pack(bin).status, 0);
    EXPECT_EQ(readFile(out / "libzel-media.so"), "beside");
}

} // namespace
} // namespace zel::test
