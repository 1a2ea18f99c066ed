// SETUP --medium: a read-only directory or a CD image installs what the kit beside the wizard
// installs, writing nothing on the medium and leaving nothing of an image behind.
#include "tests/e2e/e2e.h"
#include "winemu/cp1252.h"
#include "winemu/iso_image.h"
#include "winemu/sha256.h"

#include <csignal>
#include <fcntl.h>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

namespace zel::test {
namespace {

constexpr const char* kNoXorriso = "xorriso is not installed (scripts/install-deps --test)";

// Each path under `root` with its mode and content; `normalize` rewrites paths and times.
using Tree = std::map<std::string, std::string>;
Tree snapshot(const fs::path& root,
              const std::function<std::string(const fs::path&, std::string)>& normalize = {}) {
    Tree tree;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().lexically_relative(root).string();
        const auto mode = static_cast<unsigned>(it->symlink_status().permissions());
        if (it->is_symlink())
            tree[name] = "-> " + fs::read_symlink(it->path()).string();
        else if (it->is_directory())
            tree[name] = "dir " + std::to_string(mode);
        else
            tree[name] =
                std::to_string(mode) + " " +
                (normalize ? normalize(it->path(), readFile(it->path())) : readFile(it->path()));
    }
    return tree;
}

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
            for (std::size_t at; (at = text.find(prefix)) != std::string::npos;)
                text.replace(at, prefix.size(), "PREFIX");
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

    TempDir tmp;
    fs::path kit = tmp / "kit", images = tmp / "images", answers = tmp / "answers.ini";
};

TEST_F(MediumApartTest, AReadOnlyMediumAndAnImageInstallTheSameMachine) {
    // The reference: the same kit installed from a writable medium, the wizard beside it.
    const fs::path beside = tmp / "beside";
    fs::copy(kit, beside, fs::copy_options::recursive);
    fs::create_symlink(binDir() / "zel-setup", beside / "SETUP");
    const CommandResult r = install("m-beside", "./SETUP --answers " + q(answers), beside);
    ASSERT_EQ(r.status, 0) << r.errors;
    const Tree expected = machine("m-beside");
    ASSERT_TRUE(expected.contains("drive_c/INTERNET/TRUMPET/TCPMAN.EXE"));

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
    ASSERT_EQ(runCommand("xorriso -as mkisofs -J -R -o " + q(tmp / "kit.iso") + " " + q(kit) +
                         " >/dev/null 2>&1")
                  .status,
              0);
    // From the image by a relative name, the wizard started from elsewhere.
    const CommandResult fromIso =
        install("m-iso", q(binDir() / "zel-setup") + " --medium=kit.iso --answers " + q(answers));
    ASSERT_EQ(fromIso.status, 0) << fromIso.errors;
    EXPECT_EQ(machine("m-iso"), expected);
    // The browser setup started from the image may outlive the wizard: the extraction goes after.
    for (int i = 0; i < 100 && !fs::is_empty(images); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(fs::is_empty(images)) << "the image's extraction is left behind";
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
         "A m\u00eddia nada dada em --medium n\u00e3o foi encontrada (arquivo ou pasta "
         "inexistente)"},
        {"a directory without SETUP.INI", "kit",
         [&] { fs::rename(kit / "SETUP.INI", kit / "OUTRO.INI"); },
         "A m\u00eddia kit n\u00e3o tem o arquivo SETUP.INI, que descreve o kit; nada foi "
         "instalado"},
        {"a device", "/dev/null", [] {},
         "A m\u00eddia /dev/null dada em --medium n\u00e3o \u00e9 uma pasta nem uma imagem de CD"},
        {"a file that is no image", "kit.iso",
         [&] { writeFile(tmp / "kit.iso", std::string(70000, 'x')); },
         "A imagem kit.iso n\u00e3o p\u00f4de ser lida: n\u00e3o \u00e9 uma imagem de CD (ISO "
         "9660) ou est\u00e1 danificada; nada foi instalado"},
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
        EXPECT_FALSE(fs::exists(tmp / "m-refused" / "drive_c" / "INTERNET"));
        EXPECT_TRUE(fs::is_empty(images));
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
    void makeImage(const fs::path& dir) {
        ASSERT_EQ(
            runCommand("xorriso -as mkisofs -J -R -o " + q(iso) + " " + q(dir) + " >/dev/null 2>&1")
                .status,
            0);
    }
    fs::path iso = tmp / "kit.iso";
};

TEST_F(ImageTest, ExtractsTheKitReadOnlyAndRemovesItOnceNoProgramRunsThere) {
    fs::permissions(kit / "LICENCA.TXT", fs::perms::owner_exec, fs::perm_options::add);
    fs::permissions(kit / "SETUP.INI", fs::perms::others_read, fs::perm_options::remove);
    fs::create_hard_link(kit / "SETUP.INI", kit / "IRC" / "MESMO.INI"); // one file, two names
    makeImage(kit);
    Tree want = snapshot(kit); // the modes without write bits; directories the owner's (0500)
    for (auto& [path, content] : want)
        content = content.starts_with("dir") ? "dir 320"
                                             : std::to_string(std::stoul(content) & 0555) +
                                                   content.substr(content.find(' '));
    fs::path dir;
    pid_t program = 0;
    {
        const ExtractedImage image(iso);
        dir = image.dir();
        EXPECT_EQ(dir.parent_path(), images);
        EXPECT_EQ(static_cast<unsigned>(fs::status(dir).permissions()), 0500u);
        EXPECT_EQ(snapshot(dir), want);
        // A program still running there (the browser setup) keeps the extraction until it ends.
        int started[2];
        ASSERT_EQ(::pipe2(started, O_CLOEXEC), 0);
        program = ::fork();
        ASSERT_GE(program, 0);
        if (program == 0) { // works in the medium's directory for a while, then reads a file there
            if (::chdir(dir.c_str()) == 0)
                ::execl("/bin/sh", "sh", "-c", "sleep 2; cat SETUP.INI >/dev/null", nullptr);
            ::_exit(127);
        }
        ::close(started[1]);
        char none;
        EXPECT_EQ(::read(started[0], &none, 1), 0); // end of file once the program is in there
        ::close(started[0]);
        EXPECT_TRUE(usedByAnotherProcess(dir));
    }
    EXPECT_TRUE(fs::exists(dir / "SETUP.INI")); // still there for the running program
    int status = 0;
    ASSERT_EQ(::waitpid(program, &status, 0), program);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    for (int i = 0; i < 100 && fs::exists(dir); ++i) // the cleaner looks once a second
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fs::exists(dir));
}

// A run ended by a signal (Ctrl+C, SIGTERM) leaves no extraction behind either.
TEST_F(ImageTest, ARunEndedByASignalLeavesNoExtraction) {
    makeImage(kit);
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        fs::remove(tmp / "dir");
        const int ended = inChild([&] {
            const ExtractedImage image(iso);
            writeFile(tmp / "dir", image.dir().string());
            ::raise(signal);
        });
        EXPECT_EQ(ended, -signal);
        const std::string dir = readFile(tmp / "dir");
        ASSERT_FALSE(dir.empty());
        for (int i = 0; i < 50 && fs::exists(dir); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(fs::exists(dir));
    }
}
// A link or a bad size refuses the image whole, in the wizard and in zel-kit check alike.
TEST_F(ImageTest, WhatIsNotPlainDataRefusesTheImageWhole) {
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
             makeImage(kit);
             std::string bytes = readFile(iso);
             const std::string was("\x34\x12\0\0\0\0\x12\x34", 8);
             const std::string now("\0\0\0\x70\x70\0\0\0", 8);
             int patched = 0;
             for (std::size_t at; (at = bytes.find(was)) != std::string::npos; ++patched)
                 bytes.replace(at, 8, now);
             ASSERT_GT(patched, 0);
             writeFile(iso, bytes);
         },
         "n\xe3o p\xf4"
         "de ser lida: n\xe3o \xe9 uma imagem de CD (ISO 9660) ou est\xe1 "
         "danificada"},
        {"a kit with an error: taken, and checked as the kit",
         [&] {
             std::string ini = readFile(kit / "SETUP.INI");
             writeFile(kit / "SETUP.INI", ini.replace(ini.find("grupo=ZEL"), 9, "grupo=\"ZEL\""));
         },
         ""},
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
}

} // namespace
} // namespace zel::test
