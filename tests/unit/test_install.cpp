// The file copy and the installation run on a real temporary machine.
#include "setup/install.h"

#include "winemu/winpath.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <set>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zel {
namespace {

using test::readFile;
using test::writeFile;
namespace fs = std::filesystem;

// A gauge that behaves like the page's (position kept within 0..maximum) and records every
// position it shows.
class RecordingGauge : public Gauge {
public:
    void setMaximum(int maximum) override {
        maximum_ = maximum;
        position_ = std::min(position_, maximum_);
        log.push_back("max " + std::to_string(maximum));
    }
    void setPosition(int position) override {
        position_ = std::clamp(position, 0, maximum_);
        log.push_back("pos " + std::to_string(position_));
    }
    void advance(int by) override { setPosition(position_ + by); }

    int maximum() const { return maximum_; }
    int position() const { return position_; }
    std::vector<std::string> log;

private:
    int maximum_ = 100;
    int position_ = 0;
};

class RecordingStatus : public StatusLine {
public:
    void setText(const std::string& text) override {
        text_ = text;
        pending_ = true;
    }
    // Only what was actually repainted counts as shown.
    void repaint() override {
        if (pending_)
            shown.push_back(text_);
        pending_ = false;
    }
    std::vector<std::string> shown;

private:
    std::string text_;
    bool pending_ = false;
};

std::int64_t mtimeOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_mtime;
}

void setMtime(const fs::path& p, std::int64_t seconds) {
    struct timespec times[2] = {{static_cast<time_t>(seconds), 0},
                                {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, 0), 0) << p;
}

std::vector<std::string> tempFilesIn(const fs::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().starts_with(".zelcopy-"))
            out.push_back(e.path().filename().string());
    return out;
}

class FileCopyTest : public test::MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        files = std::make_unique<Files>(machine());
    }
    void remakeMachine() {
        files.reset();
        makeMachine();
        files = std::make_unique<Files>(machine());
    }
    std::unique_ptr<Files> files;
};

TEST_F(FileCopyTest, CopiesContentDateAndExecuteBits) {
    std::string content;
    for (int i = 0; i < 5000; ++i) // more than two buffers, not a multiple of one
        content += static_cast<char>('a' + i % 26);
    writeFile(medium() / "PROG.EXE", content);
    fs::permissions(medium() / "PROG.EXE", fs::perms::owner_exec, fs::perm_options::add);
    setMtime(medium() / "PROG.EXE", 1'000'000'001); // an odd second
    writeFile(medium() / "READ.ME", "");
    fs::create_directory(driveC() / "ZEL");

    ASSERT_TRUE(fileCopy(*files, "D:\\PROG.EXE", "C:\\ZEL\\PROG.EXE"));
    ASSERT_TRUE(fileCopy(*files, "D:\\read.me", "C:\\ZEL\\READ.ME"));

    EXPECT_EQ(readFile(driveC() / "ZEL" / "PROG.EXE"), content);
    EXPECT_LE(std::abs(mtimeOf(driveC() / "ZEL" / "PROG.EXE") - 1'000'000'001), 2);
    auto perms = fs::status(driveC() / "ZEL" / "PROG.EXE").permissions();
    EXPECT_NE(perms & fs::perms::owner_exec, fs::perms::none);
    EXPECT_NE(perms & fs::perms::owner_write, fs::perms::none);

    ASSERT_TRUE(fs::exists(driveC() / "ZEL" / "READ.ME"));
    EXPECT_EQ(fs::file_size(driveC() / "ZEL" / "READ.ME"), 0u);
    EXPECT_EQ(fs::status(driveC() / "ZEL" / "READ.ME").permissions() & fs::perms::owner_exec,
              fs::perms::none);
    EXPECT_TRUE(tempFilesIn(driveC() / "ZEL").empty());
}

TEST_F(FileCopyTest, OverwritesWritableTargetKeepingItsMode) {
    writeFile(medium() / "NEW.TXT", "new");
    writeFile(driveC() / "OLD.TXT", "a much longer old content");
    fs::permissions(driveC() / "OLD.TXT", fs::perms::owner_read | fs::perms::owner_write);

    ASSERT_TRUE(fileCopy(*files, "D:\\NEW.TXT", "C:\\old.txt"));
    EXPECT_EQ(readFile(driveC() / "OLD.TXT"), "new");
    EXPECT_FALSE(fs::exists(driveC() / "old.txt")); // the existing spelling is kept
    EXPECT_EQ(fs::status(driveC() / "OLD.TXT").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(tempFilesIn(driveC()).empty());
}

TEST_F(FileCopyTest, FailsWithoutTouchingAnything) {
    writeFile(medium() / "SRC.TXT", "source");
    writeFile(driveC() / "RO.TXT", "read-only");
    fs::permissions(driveC() / "RO.TXT", fs::perms::owner_read | fs::perms::group_read);
    fs::create_directory(driveC() / "ADIR");

    EXPECT_FALSE(fileCopy(*files, "D:\\SRC.TXT", "C:\\RO.TXT"));
    EXPECT_EQ(readFile(driveC() / "RO.TXT"), "read-only");
    EXPECT_FALSE(fileCopy(*files, "D:\\SRC.TXT", "C:\\ADIR"));
    EXPECT_TRUE(fs::is_directory(driveC() / "ADIR"));
    EXPECT_FALSE(fileCopy(*files, "D:\\MISSING.TXT", "C:\\MISSING.TXT"));
    EXPECT_FALSE(fs::exists(driveC() / "MISSING.TXT"));
    EXPECT_FALSE(fileCopy(*files, "D:\\SRC.TXT", "C:\\NODIR\\SRC.TXT"));
    EXPECT_FALSE(fileCopy(*files, "D:\\", "C:\\ROOT.TXT"));       // a directory is no source
    EXPECT_FALSE(fileCopy(*files, "D:\\SRC.TXT", "Q:\\SRC.TXT")); // unmapped drive
    EXPECT_TRUE(tempFilesIn(driveC()).empty());
}

TEST_F(FileCopyTest, SameFileUnderAnySpellingIsLeftIntact) {
    fs::create_directories(driveC() / "KIT");
    fs::create_directory_symlink(driveC() / "KIT", prefix / "dosdevices" / "e:");
    remakeMachine();
    ASSERT_TRUE(machine().driveRoot('E'));
    writeFile(medium() / "SUB" / "DATA.TXT", "precious");
    writeFile(driveC() / "KIT" / "DATA.TXT", "also precious");
    setMtime(medium() / "SUB" / "DATA.TXT", 1'200'000'000);

    EXPECT_FALSE(fileCopy(*files, "D:\\SUB\\DATA.TXT", "D:\\SUB\\DATA.TXT"));
    EXPECT_FALSE(fileCopy(*files, "D:\\SUB\\DATA.TXT", "d:\\sub\\data.txt"));
    EXPECT_FALSE(fileCopy(*files, "D:\\SUB\\DATA.TXT", "D:\\SUB\\..\\SUB\\DATA.TXT"));
    EXPECT_FALSE(fileCopy(*files, "C:\\KIT\\DATA.TXT", "E:\\DATA.TXT"));
    EXPECT_FALSE(fileCopy(*files, "E:\\data.txt", "C:\\KIT\\DATA.TXT"));

    EXPECT_EQ(readFile(medium() / "SUB" / "DATA.TXT"), "precious");
    EXPECT_EQ(mtimeOf(medium() / "SUB" / "DATA.TXT"), 1'200'000'000);
    EXPECT_EQ(readFile(driveC() / "KIT" / "DATA.TXT"), "also precious");
    EXPECT_TRUE(tempFilesIn(medium() / "SUB").empty());
    EXPECT_TRUE(tempFilesIn(driveC() / "KIT").empty());
}

// A copy that cannot be written in full (here a file-size limit standing in for a full disk)
// fails, keeps the old target and leaves nothing behind.
// A hostile medium: a file that is a link to the host's own files is as missing, and a copy
// never lets the group or others read what the source kept from them.
TEST_F(FileCopyTest, LinksOffTheMediumAreMissingAndCopiesGrantNoMoreThanTheirSource) {
    const fs::path secret = tmp / "secret";
    writeFile(secret, "root:$6$hash");
    fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(secret, medium() / "SHADOW.TXT");
    fs::create_directory(medium() / "SUB");
    fs::create_symlink("../../secret", medium() / "SUB" / "UP.TXT");
    writeFile(medium() / "INSIDE.TXT", "on the medium");
    fs::create_symlink("INSIDE.TXT", medium() / "ALIAS.TXT"); // a link within the medium is fine

    EXPECT_FALSE(fileCopy(*files, "D:\\SHADOW.TXT", "C:\\SHADOW.TXT"));
    EXPECT_FALSE(fileCopy(*files, "D:\\SUB\\UP.TXT", "C:\\UP.TXT"));
    EXPECT_FALSE(fs::exists(driveC() / "SHADOW.TXT"));
    EXPECT_FALSE(fs::exists(driveC() / "UP.TXT"));
    ASSERT_TRUE(fileCopy(*files, "D:\\ALIAS.TXT", "C:\\ALIAS.TXT"));
    EXPECT_EQ(readFile(driveC() / "ALIAS.TXT"), "on the medium");

    const mode_t umask = ::umask(0);
    struct Case {
        fs::perms source;
        fs::perms copy; // what the new copy may have at most, under umask 0
    } cases[] = {
        {fs::perms::owner_read | fs::perms::owner_write,
         fs::perms::owner_read | fs::perms::owner_write},
        {fs::perms::owner_read | fs::perms::group_read,
         fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read},
        {fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec,
         fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec},
        {fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
         fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
             fs::perms::others_read},
    };
    for (const auto& c : cases) {
        writeFile(medium() / "MODE.TXT", "x");
        fs::permissions(medium() / "MODE.TXT", c.source);
        fs::remove(driveC() / "MODE.TXT");
        EXPECT_TRUE(fileCopy(*files, "D:\\MODE.TXT", "C:\\MODE.TXT"));
        EXPECT_EQ(fs::status(driveC() / "MODE.TXT").permissions(), c.copy)
            << static_cast<int>(c.source);
        // Replacing a file that others could read takes their reading away as well.
        fs::permissions(driveC() / "MODE.TXT", fs::perms::all);
        EXPECT_TRUE(fileCopy(*files, "D:\\MODE.TXT", "C:\\MODE.TXT"));
        EXPECT_EQ(fs::status(driveC() / "MODE.TXT").permissions() & ~c.copy &
                      (fs::perms::group_all | fs::perms::others_all),
                  fs::perms::none)
            << static_cast<int>(c.source);
        fs::remove(medium() / "MODE.TXT");
    }
    ::umask(umask);
}

// A wizard killed halfway through a copy leaves its hidden temporary behind; the next copy into
// that directory removes it, and only what is certainly a left-over of ours.
TEST_F(FileCopyTest, TheNextCopyRemovesTemporariesLeftByACopyThatDied) {
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const fs::path dir = driveC() / "LEFT";
    fs::create_directory(dir);
    const std::string dead = ".zelcopy-" + std::to_string(gone) + "-aB3xYz";
    const std::string living = ".zelcopy-" + std::to_string(::getppid()) + "-aB3xYz";
    for (const std::string& name : {dead, living, std::string(".zelcopy-aB3xYz"),
                                    ".zelcopy-" + std::to_string(gone) + "-toolong7"})
        writeFile(dir / name, "partial");
    fs::create_directory(dir / (".zelcopy-" + std::to_string(gone) + "-dirdir"));
    writeFile(medium() / "NEW.TXT", "new");

    ASSERT_TRUE(fileCopy(*files, "D:\\NEW.TXT", "C:\\LEFT\\NEW.TXT"));
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(dir))
        left.insert(e.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{living, ".zelcopy-aB3xYz",
                                           ".zelcopy-" + std::to_string(gone) + "-toolong7",
                                           ".zelcopy-" + std::to_string(gone) + "-dirdir",
                                           "NEW.TXT"}));
}

TEST_F(FileCopyTest, InterruptedCopyKeepsOldTarget) {
    writeFile(medium() / "BIG.DAT", std::string(20000, 'x'));
    writeFile(driveC() / "BIG.DAT", "old version");

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        bool copied = fileCopy(*files, "D:\\BIG.DAT", "C:\\BIG.DAT");
        ::_exit(copied ? 1 : 0); // no destructors: the parent owns the temporary tree
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the copy reported success";
    EXPECT_EQ(readFile(driveC() / "BIG.DAT"), "old version");
    EXPECT_TRUE(tempFilesIn(driveC()).empty());

    // Without the limit the same copy goes through.
    ASSERT_TRUE(fileCopy(*files, "D:\\BIG.DAT", "C:\\BIG.DAT"));
    EXPECT_EQ(fs::file_size(driveC() / "BIG.DAT"), 20000u);
}

class InstallRunTest : public FileCopyTest {
protected:
    void SetUp() override {
        FileCopyTest::SetUp();
        auto& s = catalogue.settings;
        s.destino = "C:\\ZEL\\";
        s.update_diretorio = "UPDATE\\";
        s.update_programa = "ZELUP.EXE";
        s.grupoicone = "GRUPO.ICO";
        s.ineticone = "INET.ICO";
        s.bbsicone = "BBS.ICO";
        s.uninstall_diretorio = "UNINST\\";
        s.uninstall_programa = "DESINST.EXE";
        for (const char* name : {"ZELUP.EXE", "GRUPO.ICO", "INET.ICO", "BBS.ICO"})
            writeFile(medium() / "UPDATE" / name, name);
        writeFile(medium() / "UNINST" / "DESINST.EXE", "uninstaller");
    }

    // Entry n with its files present on the medium under `dir`, except those in `missing`.
    ProgramEntry& addEntry(int n, const std::string& nome, const std::string& dir,
                           std::vector<std::pair<int, std::string>> arquivos,
                           std::vector<std::pair<int, std::string>> systems,
                           std::vector<std::string> missing = {}) {
        ProgramEntry& e = catalogue.entry(n);
        e.nome = nome;
        e.instala = 1;
        e.diretorio = dir;
        auto put = [&](const std::string& name) {
            if (std::find(missing.begin(), missing.end(), name) == missing.end())
                writeFile(medium() / withoutSlash(dir) / name, nome + ":" + name);
        };
        for (auto& [k, name] : arquivos) {
            e.Arquivo.at(k - 1) = name;
            put(name);
        }
        for (auto& [k, name] : systems) {
            e.System.at(k - 1) = name;
            put(name);
        }
        return e;
    }
    static std::string withoutSlash(std::string dir) {
        if (!dir.empty() && dir.back() == '\\')
            dir.pop_back();
        return dir;
    }

    void run() {
        installationRun(*files, catalogue, "D:\\", overall, file, programStatus, fileStatus);
    }

    Catalogue catalogue;
    RecordingGauge overall, file;
    RecordingStatus programStatus, fileStatus;
};

TEST_F(InstallRunTest, CopiesSelectedEntriesWithGaugesAndLabels) {
    addEntry(2, "Programa A", "PROGA\\", {{1, "A1.EXE"}, {2, "A2.DLL"}, {5, "LONGNAME.HLP"}},
             {{1, "S1.DLL"}, {30, "S2.DLL"}});
    addEntry(5, "Programa B", "PROGB\\", {{1, "B.EXE"}}, {}).criadir = 1;
    // Not selected: their files are not on the medium, so touching them would fail the run.
    catalogue.entry(3) = ProgramEntry{};
    catalogue.entry(3).nome = "Nada";
    catalogue.entry(3).Arquivo[0] = "NADA.EXE";
    catalogue.entry(7).instala = 2;
    catalogue.entry(7).Arquivo[0] = "SETE.EXE";

    ASSERT_NO_THROW(run());

    EXPECT_EQ(overall.log, (std::vector<std::string>{"max 2", "pos 1", "pos 2"}));
    EXPECT_EQ(file.log, (std::vector<std::string>{"max 5", "pos 0", "pos 1", "pos 2", "pos 3",
                                                  "pos 4", "pos 5", "max 1", "pos 0", "pos 1"}));
    EXPECT_EQ(programStatus.shown,
              (std::vector<std::string>{"Instalando Programa A", "Instalando Programa B"}));
    EXPECT_EQ(fileStatus.shown,
              (std::vector<std::string>{"\tCopiando A1.EXE", "\tCopiando A2.DLL",
                                        "\tCopiando LONGNAME.HL", "\tCopiando S1.DLL",
                                        "\tCopiando S2.DLL", "\tCopiando B.EXE"}));

    fs::path zel = driveC() / "ZEL";
    EXPECT_EQ(readFile(zel / "A1.EXE"), "Programa A:A1.EXE");
    EXPECT_EQ(readFile(zel / "LONGNAME.HLP"), "Programa A:LONGNAME.HLP");
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "SYSTEM" / "S2.DLL"), "Programa A:S2.DLL");
    EXPECT_FALSE(fs::exists(zel / "PROGA")); // criadir 0: straight into the destination
    EXPECT_EQ(readFile(zel / "PROGB" / "B.EXE"), "Programa B:B.EXE");
    EXPECT_FALSE(fs::exists(zel / "NADA.EXE"));
    EXPECT_FALSE(fs::exists(zel / "SETE.EXE"));
    EXPECT_EQ(readFile(zel / "ZELUP.EXE"), "ZELUP.EXE");
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "zelun.exe"), "uninstaller");

    // A second run replaces everything again.
    writeFile(medium() / "PROGA" / "A1.EXE", "newer");
    ASSERT_NO_THROW(run());
    EXPECT_EQ(readFile(zel / "A1.EXE"), "newer");
}

TEST_F(InstallRunTest, MissingFileStopsTheRunWithItsPaths) {
    addEntry(
        1, "Primeiro", "UM\\",
        {{1, "F1.EXE"}, {2, "F2.EXE"}, {3, "F3.EXE"}, {4, "F4.EXE"}, {5, "F5.EXE"}, {6, "F6.EXE"}},
        {}, {"F5.EXE"});
    addEntry(2, "Segundo", "DOIS\\", {{1, "G1.EXE"}}, {});

    try {
        run();
        FAIL() << "the run went through";
    } catch (const PlatformError& e) {
        EXPECT_NE(dynamic_cast<const FileCopyError*>(&e), nullptr);
        EXPECT_STREQ(e.what(), "Erro copiando arquivo D:\\UM\\F5.EXE para C:\\ZEL\\F5.EXE");
    }
    fs::path zel = driveC() / "ZEL";
    for (const char* name : {"F1.EXE", "F2.EXE", "F3.EXE", "F4.EXE"})
        EXPECT_TRUE(fs::exists(zel / name)) << name;
    EXPECT_FALSE(fs::exists(zel / "F6.EXE"));
    EXPECT_FALSE(fs::exists(zel / "G1.EXE"));
    EXPECT_FALSE(fs::exists(zel / "ZELUP.EXE"));
    EXPECT_FALSE(fs::exists(driveC() / "WINDOWS" / "zelun.exe"));
    // The display keeps its last state.
    EXPECT_EQ(overall.position(), 0);
    EXPECT_EQ(file.maximum(), 6);
    EXPECT_EQ(file.position(), 4);
    EXPECT_EQ(fileStatus.shown.back(), "\tCopiando F4.EXE");
}

TEST_F(InstallRunTest, FailingSystemFileNamesTheSystemDirectory) {
    addEntry(1, "Sistema", "SIS\\", {}, {{3, "CTL3D.DLL"}});
    writeFile(driveC() / "WINDOWS" / "SYSTEM" / "CTL3D.DLL", "in use");
    fs::permissions(driveC() / "WINDOWS" / "SYSTEM" / "CTL3D.DLL", fs::perms::owner_read);
    try {
        run();
        FAIL() << "the run went through";
    } catch (const FileCopyError& e) {
        EXPECT_STREQ(
            e.what(),
            "Erro copiando arquivo D:\\SIS\\CTL3D.DLL para C:\\WINDOWS\\SYSTEM\\CTL3D.DLL");
    }
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "SYSTEM" / "CTL3D.DLL"), "in use");
}

TEST_F(InstallRunTest, SourceEqualToTargetRaisesAndLeavesTheFile) {
    catalogue.settings.destino = "D:\\";
    addEntry(1, "Mesmo", "", {{1, "SAME.EXE"}}, {});
    EXPECT_THROW(run(), FileCopyError);
    EXPECT_EQ(readFile(medium() / "SAME.EXE"), "Mesmo:SAME.EXE");
}

TEST_F(InstallRunTest, NothingSelectedStillCopiesTheFixedFiles) {
    fs::remove(medium() / "UPDATE" / "BBS.ICO"); // a missing fixed file is skipped
    ASSERT_NO_THROW(run());
    EXPECT_EQ(overall.log, (std::vector<std::string>{"max 0"}));
    EXPECT_TRUE(file.log.empty());
    EXPECT_TRUE(programStatus.shown.empty());
    fs::path zel = driveC() / "ZEL";
    EXPECT_TRUE(fs::is_directory(zel));
    for (const char* name : {"ZELUP.EXE", "GRUPO.ICO", "INET.ICO"})
        EXPECT_EQ(readFile(zel / name), name);
    EXPECT_FALSE(fs::exists(zel / "BBS.ICO"));
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "zelun.exe"), "uninstaller");
}

// The system and Windows directories get exactly one trailing "\" before names are appended.
TEST(InstallPaths, DirectoryGetsExactlyOneBackslash) {
    EXPECT_EQ(withTrailingBackslash("C:\\"), "C:\\");
    EXPECT_EQ(withTrailingBackslash("C:\\WINDOWS\\SYSTEM"), "C:\\WINDOWS\\SYSTEM\\");
}

} // namespace
} // namespace zel
