// zel-kit pack and check of a medium's sums; the tools' command lines; SETUP --medium.
#include "tests/e2e/e2e.h"
#include "winemu/cp1252.h"
#include "winemu/iso_image.h"
#include "winemu/sha256.h"

namespace zel::test {
namespace {

constexpr const char* kSanitizerSettings = // a sanitizer build's own survive "env -i"
    "ASAN_OPTIONS=\"$ASAN_OPTIONS\" LSAN_OPTIONS=\"$LSAN_OPTIONS\" "
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

// pack makes the medium whole or not at all; `holds`: a file then at OUT ("" for no OUT).
TEST_F(MediumTest, PackRefusesWhatWouldMakeABrokenMedium) {
    const std::string noMedium = " in " + kit.string() + ": no medium made";
    const struct {
        const char* name;
        std::function<void()> prepare;
        std::string args;
        int status;
        std::string said;
        const char* holds;
    } rows[] = {
        {"a kit with an error", [&] { edit(kit / "SETUP.INI", "grupo=ZEL", "grupo=\"ZEL\""); }, "",
         1,
         "SETUP.INI:6: error: [Principal] grupo holds '\"', which would end its Program Manager "
         "macro argument early: the wizard does not create that group or item\nzel-kit: pack: 1 "
         "error, 0 warnings, 1 note" +
             noMedium,
         ""},
        {"a name with a backslash", [&] { writeFile(kit / "A\\B", ""); }, "", 1,
         "zel-kit: pack: " + (kit / "A\\B").string() +
             ": a name with a line break or a backslash cannot be listed in SHA256SUMS",
         ""},
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
        {"a name that is a path", [] {}, " --name a/b", 2,
         "zel-kit: pack: --name takes the wizard's file name, such as SETUP, and no name the "
         "medium already uses: a/b",
         ""},
        {"a directory with files", [&] { writeFile(out / "KEEP", "mine"); }, "", 1,
         "zel-kit: pack: " + out.string() + " already exists: give a new directory for the medium",
         "KEEP"},
        {"a helper missing beside zel-kit", [&] { fs::remove(tools / "libzel-media.so"); }, "", 1,
         "zel-kit: pack: " + (tools / "libzel-media.so").string() +
             " is missing: build the wizard and its helpers (make demo) before packing",
         ""},
        {"an empty directory; sums over each padding boundary, a one-letter name, no hidden files",
         [&] {
             fs::create_directory(out);
             for (const int n : {0, 3, 55, 56, 63, 64, 65, 119, 120, 128, 1000000})
                 writeFile(n ? kit / "S" / std::to_string(n) : kit / "0", std::string(n, 'x'));
             writeFile(kit / ".git" / "HEAD", "hidden: not on a medium");
             writeFile(kit / "SETUP", "an earlier wizard, replaced");
         },
         "", 0, "", "SETUP"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(kit);
        fs::remove_all(out);
        fs::copy(sourceDir() / "kit", kit, fs::copy_options::recursive);
        writeProgram(tools / "libzel-media.so", "");
        row.prepare();
        const CommandResult r = pack(tools, row.args);
        std::string said = std::to_string(r.status), line;
        for (std::istringstream in(r.errors); std::getline(in, line) && line != "usage:";)
            said += line.find(": note: ") == std::string::npos ? "\n" + line : "";
        EXPECT_EQ(said, std::to_string(row.status) + (row.said.empty() ? "" : "\n") + row.said);
        EXPECT_EQ(*row.holds != 0, fs::exists(out / row.holds));
        if (row.status == 0) { // as sha256sum reads the sums, every file listed
            EXPECT_EQ(
                outcome(runCommand("cd " + q(out) + " && sha256sum --quiet -c SHA256SUMS 2>&1")),
                "0");
            EXPECT_EQ(run(tools / "zel-kit", "check " + q(out)).status, 0);
            EXPECT_FALSE(fs::exists(out / ".git"));
        }
        for (const auto& entry : fs::directory_iterator(tmp.path())) // nothing half-made beside
            EXPECT_FALSE(entry.path().filename().string().starts_with(".out")) << entry.path();
    }
    EXPECT_EQ(readFile(out / "SETUP"), "#!/bin/sh\n# zel-setup\n");
    for (const char* program : {"SETUP", "progman", "zel-uninstall"})
        EXPECT_EQ(fs::status(out / program).permissions(), static_cast<fs::perms>(0755));
}

// check finds every change to a packed medium, naming the file (or the line of the sums); an
// installed zel-kit packs bin's programs and lib/zel-setup's modules.
TEST_F(MediumTest, CheckFindsEachChangeToAPackedMedium) {
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
    const std::string note = // the demo kit's one, on purpose
        "SETUP.INI:105: note: [Patro3] has no Texto: the sponsor is never shown";
    const CommandResult clean = run(tools / "zel-kit", "check " + q(out));
    EXPECT_EQ(std::to_string(clean.status) + clean.output,
              "0" + note + "\n0 errors, 0 warnings, 1 note\n");
    const fs::path sums = out / "SHA256SUMS";
    const std::string original = readFile(sums), first = original.substr(0, original.find('\n'));
    const std::string next =
        "SHA256SUMS:" + std::to_string(std::count(original.begin(), original.end(), '\n') + 1);
    const std::string added =
        ": error: is not listed in SHA256SUMS: added after the medium was packed";
    const std::pair<std::function<void()>, std::string> rows[] = {
        {[&] { writeProgram(out / "progman", "#!/bin/sh\n"); },
         "progman: error: differs from its sum in SHA256SUMS: changed since the medium was packed"},
        {[&] { fs::remove(out / "README.md"); },
         "README.md: error: is listed in SHA256SUMS but missing from the medium"},
        {[&] { writeFile(out / "IRC" / "NOVO.TXT", ""); }, "IRC/NOVO.TXT" + added},
        {[&] { writeFile(out / "IRC" / ".oculto", ""); }, "IRC/.oculto" + added}, // on no medium
        {[&] { writeFile(out / ".git" / "HEAD", ""); }, ".git/HEAD" + added},
        {[&] { writeFile(sums, original + std::string(63, 'f') + "g  SETUP\n"); }, // not hex
         next + ": error: is no line of SHA-256 sums (\"SUM  FILE\")"},
        {[&] { writeFile(sums, original + first.substr(0, 66) + "../kit/SETUP.INI\n"); },
         next + ": error: names ../kit/SETUP.INI, which is not on the medium"},
        {[&] { writeFile(sums, original + first); }, // its last line without a break
         next + ": error: lists " + first.substr(66) + " a second time"},
        {[&] { fs::remove(sums), fs::create_directory(sums); },
         "SHA256SUMS: error: " + sums.string() + ": cannot be read: Is a directory"},
    };
    for (const auto& [tamper, problem] : rows) { // a failure's expected text names the row
        fs::remove_all(out);
        ASSERT_EQ(pack(bin).status, 0);
        tamper();
        const CommandResult r = run(tools / "zel-kit", "check " + q(out));
        EXPECT_EQ(std::to_string(r.status) + r.output,
                  "1" + note + "\n" + problem + "\n1 error, 0 warnings, 1 note\n");
    }
    // A helper that is a link is named as such, not taken for a kit file off the medium.
    fs::create_symlink("/etc/shadow", kit / "progman");
    fs::create_symlink("/etc/gshadow", kit / "zel-uninstall");
    EXPECT_EQ(
        outcome(run(tools / "zel-kit", "check " + q(kit))),
        "1" + note +
            "\nprogman: error: helper progman is a link: the wizard refuses it; put the file "
            "itself on the medium\nzel-uninstall: error: helper zel-uninstall is a link: the "
            "wizard refuses it; put the file itself on the medium\n2 errors, 0 warnings, 1 note\n");
}

// Each attack on a packed medium, each helper missing, stops the wizard before the machine exists.
TEST_F(MediumTest, AMediumThatIsNotAsPackedInstallsNothing) {
    ASSERT_EQ(pack(binDir()).status, 0);
    const std::string sums = readFile(out / "SHA256SUMS"), nothing = "; nada foi instalado";
    const fs::path cd = tmp / "CD";
    writeFile(tmp / "a.ini", "[Respostas]\ntipo=tipica\nporta=COM2\n");
    const auto linkTo = [&](const fs::path& target) {
        fs::remove(cd / "progman");
        fs::create_symlink(target, cd / "progman");
    };
    std::vector<std::pair<std::function<void()>, std::string>> rows = {
        {[&] { // without the sums, the helper's own check
             fs::remove(cd / "SHA256SUMS");
             linkTo("/etc/shadow");
         },
         "O arquivo progman junto ao programa de instalação (" + cd.string() +
             ") é um link, não um arquivo: nada foi instalado"},
        {[&] {
             fs::copy_file(cd / "progman", tmp / "progman-copy");
             linkTo(tmp / "progman-copy");
         },
         "O arquivo progman da mídia não pôde ser verificado (um link ou algo que não é um "
         "arquivo)" +
             nothing},
        {[&] { writeProgram(cd / "progman", "#!/bin/sh\necho owned >/tmp/owned\n"); },
         "O arquivo progman da mídia não confere com SHA256SUMS: foi alterado depois que a mídia "
         "foi feita" +
             nothing},
        {[&] { fs::remove(cd / "README.md"); },
         "O arquivo README.md da mídia está listado em SHA256SUMS mas não foi encontrado" +
             nothing},
        {[&] { writeFile(cd / "SHA256SUMS", std::string(64, 'g') + sums.substr(64)); },
         "O arquivo SHA256SUMS da mídia está danificado (linha 1)" + nothing},
        {[&] { writeFile(cd / "SHA256SUMS", sums + sums.substr(0, 66) + "../../etc/passwd\n"); },
         "O arquivo SHA256SUMS da mídia está danificado (linha " +
             std::to_string(std::count(sums.begin(), sums.end(), '\n') + 1) + ")" + nothing},
    };
    // Each helper missing, with no sums; a module is looked for beside the file a link names only.
    for (const auto& [helper, linked] : {std::pair<std::string, bool>{"progman", false},
                                         {"zel-uninstall", false},
                                         {"libzel-print.so", false},
                                         {"libzel-media.so", false},
                                         {"libzel-print.so", true}}) {
        const fs::path dir = linked ? tmp / "real" : cd;
        rows.emplace_back(
            [&, helper, dir] {
                fs::remove(cd / "SHA256SUMS");
                if (dir != cd) {
                    fs::rename(cd, dir);
                    fs::create_directory(cd);
                    fs::create_symlink(dir / "SETUP", cd / "SETUP");
                    fs::copy_file(dir / helper, cd / helper); // beside the link: not taken
                }
                fs::remove(dir / helper);
            },
            "O arquivo " + helper +
                ", necessário à instalação, não foi encontrado junto ao programa de instalação (" +
                dir.string() + ")");
    }
    for (const auto& [tamper, said] : rows) {
        fs::remove_all(cd);
        fs::copy(out, cd, fs::copy_options::recursive);
        fs::remove_all(prefix);
        tamper();
        const CommandResult r =
            runIn(cd,
                  std::string("env -i ") + kSanitizerSettings + " HOME=" + q(tmp.path()) +
                      " ZEL_PREFIX=" + q(prefix) + " ./SETUP --answers ../a.ini",
                  tmp / "err");
        EXPECT_EQ(std::to_string(r.status) + lastLine(r.errors) + (fs::exists(prefix) ? "+" : ""),
                  "1" + said); // "+": a machine was made
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
        {"zel-kit", "-h", 0, "usage:"},
        {"zel-kit", "shwo", 2, "zel-kit: unknown command \"shwo\""},
        {"zel-kit", "show --short SMALL.INI", 2, "zel-kit: show: unknown option --short"},
        {"zel-kit", "show BIN.INI", 1, "zel-kit: BIN.INI: not a profile file (binary content)"},
        {"zel-kit", "show PLAIN.INI", 1,
         "zel-kit: PLAIN.INI: not a profile file (no [section] line)"},
        {"zel-kit", "pack kit", 2,
         "zel-kit: pack takes a kit directory and a new directory for the medium"},
        {"zel-kit", "pack --name", 2, "zel-kit: pack: unknown option --name without a name"},
        {"zel-kit", "check", 2,
         "zel-kit: check takes one kit medium directory, wizard or description file"},
        {"zel-kit", "show", 2, "zel-kit: show takes one setup description file"},
        {"zel-kit", "check --frob kit", 2, "zel-kit: check: unknown option --frob"},
        {"zel-kit", "keys", 2, "zel-kit: keys takes --markdown"},
        {"zel-kit", "keys --markdown extra", 2, "zel-kit: keys takes --markdown"},
        {"zel-uninstall", "--version", 0, "zel-uninstall (zel-setup) " + version[1].str()},
        {"zel-uninstall", "--help", 0, "Uso: zel-uninstall [--quiet]"},
        {"zel-uninstall", "--quiet --bogus", 2, "zel-uninstall: argumento desconhecido: --bogus"},
    };
    ::setenv("ZEL_PREFIX", (tmp / "none").c_str(), 1);
    for (const auto& row : rows) {
        const CommandResult r = run(binDir() / row.tool, row.args);
        const std::string& said = row.status == 0 ? r.output : r.errors;
        EXPECT_EQ(std::to_string(r.status) + said.substr(0, said.find('\n')),
                  std::to_string(row.status) + row.first);
        const std::string rest = said.substr(said.find('\n') + 1);
        EXPECT_EQ(rest.starts_with("usage:") || rest.starts_with("Uso:"), row.status == 2);
        EXPECT_EQ(row.status == 0 ? r.errors : r.output, "");
    }
    ::unsetenv("ZEL_PREFIX");
    EXPECT_FALSE(fs::exists(tmp / "none"));
}

constexpr const char* kNoXorriso = "xorriso is not installed (scripts/install-deps --test)";

class MediumApartTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy(sourceDir() / "kit", kit, fs::copy_options::recursive);
        fs::create_directories(images);
        writeFile(answers, readFile(sourceDir() / "scripts" / "demo-answers.ini"));
    }
    void TearDown() override { runCommand("chmod -R u+w " + q(tmp.path()) + " 2>/dev/null"); }

    // The wizard started as `command` on the machine tmp/`name`, its extractions in `images`.
    CommandResult install(const std::string& name, const std::string& command,
                          const fs::path& from = {}) {
        return runIn(from.empty() ? tmp.path() : from,
                     "env HOME=" + q(tmp.path()) + " TMPDIR=" + q(images) +
                         " ZEL_NO_DESKTOP=1 ZEL_PROGMAN_IDLE=0.3 ZEL_PREFIX=" + q(tmp / name) +
                         " timeout 120 " + command,
                     tmp / (name + ".err"));
    }
    // The machine `name`, its own path, times and the journal's file names taken out.
    Tree machine(const std::string& name) {
        awaitFile(tmp / name / "browser-setup.log"); // the browser setup may outlive the wizard
        const std::string prefix = (tmp / name).string();
        Tree tree = snapshot(tmp / name, [&](const fs::path& file, std::string text) {
            if (text.size() > 100000) // the installed programs: their sums are enough
                return sha256Hex(text);
            text = replaced(text, prefix, "PREFIX");
            if (file.filename() == "browser-setup.log") // the demo's browser setup notes the time
                text = std::regex_replace(text, std::regex(" [0-9-]+ [0-9:]+"), " TIME");
            if (file.extension() == ".journal") // each file's time, as it was made
                text = std::regex_replace(text, std::regex("\t[0-9]{12,}\n"), "\tTIME\n");
            return text;
        });
        Tree kept;
        for (auto& [path, content] : tree) {
            if (path.ends_with(".lock") || path == "progman.sock")
                continue; // the holder's process number; a server that may not have ended yet
            const bool journal = path.starts_with("journal/");
            kept[journal ? "journal/" + std::to_string(kept.size()) : path] = content;
        }
        return kept;
    }

    void makeImage(const fs::path& dir) {
        ASSERT_EQ(
            runCommand("xorriso -as mkisofs -J -R -o " + q(iso) + " " + q(dir) + " >/dev/null 2>&1")
                .status,
            0);
    }

    TempDir tmp;
    fs::path kit = tmp / "kit", images = tmp / "images", answers = tmp / "answers.ini";
    fs::path iso = tmp / "kit.iso";
};

TEST_F(MediumApartTest, AReadOnlyMediumAndAnImageInstallTheSameMachine) {
    // The reference: the same kit installed from a writable medium, the wizard beside it.
    const fs::path beside = tmp / "beside";
    fs::copy(kit, beside, fs::copy_options::recursive);
    fs::create_symlink(binDir() / "zel-setup", beside / "SETUP");
    const CommandResult r = install("m-beside", "./SETUP --answers " + q(answers), beside);
    ASSERT_EQ(r.status, 0) << r.errors;
    const Tree expected = machine("m-beside");

    const fs::path cd = tmp / "cd";
    fs::copy(kit, cd, fs::copy_options::recursive);
    ASSERT_EQ(runCommand("chmod -R a-w " + q(cd)).status, 0);
    const Tree before = snapshot(cd);
    const CommandResult fromCd = install("m-cd", q(binDir() / "zel-setup") + " --medium " + q(cd) +
                                                     " --answers " + q(answers));
    ASSERT_EQ(fromCd.status, 0) << fromCd.errors;
    EXPECT_EQ(snapshot(cd), before); // root writes anywhere: the listing tells what it did
    EXPECT_EQ(machine("m-cd"), expected);

    if (!haveTool("xorriso"))
        GTEST_SKIP() << kNoXorriso << ": the image half is not run";
    makeImage(kit);
    // From the image by a relative name, the wizard started from elsewhere.
    const CommandResult fromIso =
        install("m-iso", q(binDir() / "zel-setup") + " --medium=kit.iso --answers " + q(answers));
    ASSERT_EQ(fromIso.status, 0) << fromIso.errors;
    EXPECT_EQ(machine("m-iso"), expected);
    // The browser setup started from the image may outlive the wizard: the extraction goes after.
    EXPECT_TRUE(eventually([&] { return fs::is_empty(images); })) << "the extraction is left";
}

// What cannot be a medium stops the run before the machine is touched, saying why.
TEST_F(MediumApartTest, WhatIsNoMediumIsRefused) {
    const struct {
        const char* name;
        std::string medium;
        std::function<void()> prepare;
        std::string said;
    } rows[] = {
        {"nothing", "nada", [] {},
         "A mídia nada dada em --medium não foi encontrada (arquivo ou pasta inexistente)"},
        {"a directory without SETUP.INI", "kit",
         [&] { fs::rename(kit / "SETUP.INI", kit / "OUTRO.INI"); },
         "A mídia kit não tem o arquivo SETUP.INI, que descreve o kit; nada foi instalado"},
        {"a device", "/dev/null", [] {},
         "A mídia /dev/null dada em --medium não é uma pasta nem uma imagem de CD"},
        {"a file that is no image", "kit.iso",
         [&] { writeFile(tmp / "kit.iso", std::string(70000, 'x')); },
         "A imagem kit.iso não pôde ser lida: não é uma imagem de CD (ISO 9660) ou está "
         "danificada; nada foi instalado"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(kit);
        fs::remove(tmp / "kit.iso");
        fs::copy(sourceDir() / "kit", kit, fs::copy_options::recursive);
        row.prepare();
        const CommandResult r =
            install("m-refused", q(binDir() / "zel-setup") + " --medium " + q(row.medium) +
                                     " --answers " + q(answers));
        EXPECT_EQ(std::to_string(r.status) + lastLine(r.errors), "1" + row.said);
        EXPECT_TRUE(!fs::exists(tmp / "m-refused/drive_c/INTERNET") && fs::is_empty(images));
    }
}

// An image is never trusted; what is taken from it is read-only and removed after.
class ImageTest : public MediumApartTest {
protected:
    void SetUp() override {
        MediumApartTest::SetUp();
        if (!haveTool("xorriso"))
            GTEST_SKIP() << kNoXorriso;
        ::setenv("TMPDIR", images.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("TMPDIR");
        MediumApartTest::TearDown();
    }
};

TEST_F(ImageTest, ExtractsTheKitReadOnlyAndRemovesItOnceNoProgramRunsThereOrARunEnds) {
    fs::permissions(kit / "LICENCA.TXT", fs::perms::owner_exec, fs::perm_options::add);
    fs::permissions(kit / "SETUP.INI", fs::perms::others_read, fs::perm_options::remove);
    fs::create_hard_link(kit / "SETUP.INI", kit / "IRC" / "MESMO.INI"); // one file, two names
    fs::create_directory(kit / "VAZIA");
    makeImage(kit);
    Tree want = snapshot(kit); // the modes without write bits; directories the owner's (0500)
    for (auto& [path, content] : want)
        content = content.starts_with("dir") ? "dir 320"
                                             : std::to_string(std::stoul(content) & 0555) +
                                                   content.substr(content.find(' '));
    fs::path dir;
    {
        const ExtractedImage image(iso);
        dir = image.dir();
        EXPECT_EQ(dir.parent_path(), images);
        EXPECT_EQ(static_cast<unsigned>(fs::status(dir).permissions()), 0500u);
        EXPECT_EQ(snapshot(dir), want);
        // A program holding a file of it open keeps the extraction, as does one working there.
        const std::string holder =
            runCommand("(exec 3<" + q(dir / "SETUP.INI") + "; echo >" + q(tmp / "open") +
                       "; exec sleep 30) >/dev/null 2>&1 & echo $!")
                .output;
        EXPECT_EQ(awaitFile(tmp / "open"), "\n");
        EXPECT_TRUE(usedByAnotherProcess(dir));
        ::kill(std::stoi(holder), SIGKILL);
        runCommand("(cd " + q(dir) + " && echo >" + q(tmp / "in") + " && until [ -e " +
                   q(tmp / "go") + " ]; do sleep 0.1; done && cat SETUP.INI; echo $? >" +
                   q(tmp / "done") + ") >/dev/null 2>&1 &");
        EXPECT_EQ(awaitFile(tmp / "in"), "\n");
        EXPECT_TRUE(usedByAnotherProcess(dir));
    }
    // The cleaner runs, and none of it in our session, which a Ctrl+C would end.
    const std::string cleaner = q(dir.string() + "$");
    EXPECT_TRUE(eventually([&] { return !runCommand("pgrep -f " + cleaner).output.empty(); }));
    EXPECT_EQ(runCommand("pgrep -s 0 -f " + cleaner).output, "");
    writeFile(tmp / "go", "");
    EXPECT_EQ(awaitFile(tmp / "done"), "0\n");
    EXPECT_TRUE(eventually([&] { return !fs::exists(dir); })); // the cleaner looks once a second
    // A run ended by a signal (Ctrl+C, SIGTERM) leaves no extraction behind either.
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        fs::remove(tmp / "dir");
        const int ended = inChild([&] {
            const ExtractedImage image(iso);
            writeFile(tmp / "dir", image.dir().string());
            ::raise(signal);
        });
        EXPECT_EQ(ended, -signal);
        dir = readFile(tmp / "dir");
        EXPECT_TRUE(!dir.empty() && eventually([&] { return !fs::exists(dir); }));
    }
}

// A link or a bad size refuses the image whole, in the wizard and in zel-kit check alike.
TEST_F(ImageTest, WhatIsNotPlainDataRefusesTheImageWhole) {
    const auto patched = [&](const std::string& was, const std::string& now) {
        makeImage(kit);
        edit(iso, was, now);
    };
    const struct {
        const char* name;
        std::function<void()> prepare;
        std::string said;
    } rows[] = {
        {"a link", [&] { fs::create_symlink("/etc/passwd", kit / "IRC" / "SENHAS"); },
         "cont\xe9m IRC/SENHAS, que n\xe3o \xe9 um arquivo nem uma pasta (um link ou um "
         "dispositivo)"},
        {"a size larger than the image (libarchive's own check of the extents)",
         [&] {
             // The file's size, both-endian in its directory records, made far larger.
             writeFile(kit / "GRANDE.BIN", std::string(0x1234, 'g'));
             patched(std::string("\x34\x12\0\0\0\0\x12\x34", 8),
                     std::string("\0\0\0\x70\x70\0\0\0", 8));
         },
         "n\xe3o p\xf4"
         "de ser lida: n\xe3o \xe9 uma imagem de CD (ISO 9660) ou est\xe1 danificada"},
        {"two files of one name",
         [&] {
             writeFile(kit / "QQZZ1", "1");
             writeFile(kit / "QQZZ2", "2");
             patched("QQZZ2", "QQZZ1");
         },
         "tem o nome QQZZ1 duas vezes"},
        {"a name that climbs out (its Rock Ridge name)",
         [&] {
             writeFile(kit / "QZ", "q");
             patched(std::string("NM\x07\x01\0QZ", 7), std::string("NM\x07\x01\0..", 7));
         },
         "cont\xe9m um nome fora da imagem (..)"},
        {"a kit with an error: taken, and checked as the kit",
         [&] { edit(kit / "SETUP.INI", "grupo=ZEL", "grupo=\"ZEL\""); }, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(kit);
        fs::copy(sourceDir() / "kit", kit, fs::copy_options::recursive);
        fs::remove(iso);
        row.prepare();
        if (!fs::exists(iso))
            makeImage(kit);
        EXPECT_EQ(errorOf([&] { ExtractedImage image(iso); }),
                  row.said.empty()
                      ? ""
                      : "A imagem " + iso.string() + " " + row.said + "; nada foi instalado");
        const CommandResult r =
            runTool("zel-kit", "check " + q(iso), tmp); // as the wizard reads it
        EXPECT_EQ(std::to_string(r.status) + lastLine(r.output.empty() ? r.errors : r.output),
                  row.said.empty()
                      ? "11 error, 0 warnings, 1 note"
                      : "1zel-kit: A imagem " + iso.string() + " " + cp1252ToUtf8(row.said));
        EXPECT_TRUE(fs::is_empty(images));
    }
    // One file under twenty names is counted at each: far more than the image holds.
    writeFile(kit / "BIG.BIN", std::string(1 << 20, 'b'));
    for (int i = 0; i < 20; ++i)
        fs::create_hard_link(kit / "BIG.BIN", kit / ("B" + std::to_string(i) + ".BIN"));
    makeImage(kit); // over the last one
    EXPECT_THAT(errorOf([&] { ExtractedImage image(iso); }),
                HasSubstr(".BIN mais dados do que cont\xe9m; nada foi instalado"));
}

} // namespace
} // namespace zel::test
