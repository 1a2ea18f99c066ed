// The emulated machine: prefix creation, drives, Windows paths and their host form.
#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/machine.h"
#include "winemu/registry.h"
#include "winemu/winpath.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <pwd.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace zel;
using namespace zel::test;

TEST(WinPath, ParsesAndNormalises) {
    EXPECT_EQ(parseWinPath("c:\\kit\\..\\WIN\\.\\a", "C:\\")->text(), "C:\\WIN\\a");
    EXPECT_EQ(parseWinPath("C:/A//B/", "C:\\")->text(), "C:\\A\\B");
    EXPECT_EQ(parseWinPath("C:\\..\\..\\..\\etc", "C:\\")->text(), "C:\\etc");
    EXPECT_EQ(parseWinPath("D:", "C:\\X")->text(), "D:\\");
    EXPECT_EQ(parseWinPath("D:sub", "D:\\KIT")->text(), "D:\\KIT\\sub");
    EXPECT_EQ(parseWinPath("\\TOP", "E:\\A\\B")->text(), "E:\\TOP");
    EXPECT_EQ(parseWinPath("..\\..\\..\\x", "E:\\A\\B")->text(), "E:\\x");
    EXPECT_EQ(parseWinPath("name.ini", "C:\\WINDOWS")->text(), "C:\\WINDOWS\\name.ini");
    EXPECT_FALSE(parseWinPath("", "C:\\"));
    EXPECT_FALSE(parseWinPath("\\\\server\\share", "C:\\"));
    EXPECT_FALSE(parseWinPath("1:\\x", "C:\\"));
    EXPECT_FALSE(parseWinPath("relative", ""));
    EXPECT_FALSE(parseWinPath(std::string_view("C:\\a\0b", 6), "C:\\"));
}

TEST(WinPath, NameParts) {
    EXPECT_EQ(extractFilePath("D:\\KIT\\SETUP.EXE"), "D:\\KIT\\");
    EXPECT_EQ(extractFilePath("D:SETUP"), "D:");
    EXPECT_EQ(extractFileName("D:\\KIT\\SETUP.EXE"), "SETUP.EXE");
    EXPECT_EQ(extractFileExt("C:\\A.B\\NAME"), "");
    EXPECT_EQ(extractFileExt("C:\\A\\NAME.ico"), ".ico");
    EXPECT_EQ(changeFileExt("C:\\ACESSO\\ATUALIZA.EXE", ".INI"), "C:\\ACESSO\\ATUALIZA.INI");
    EXPECT_EQ(changeFileExt("C:\\ACESSO.D\\ATUALIZA", ".INI"), "C:\\ACESSO.D\\ATUALIZA.INI");
    EXPECT_EQ(withTrailingBackslash("C:\\"), "C:\\");
    EXPECT_EQ(withTrailingBackslash("C:\\KIT"), "C:\\KIT\\");
}

TEST(Cp1252, ConvertsAtTheBoundary) {
    EXPECT_EQ(cp1252ToUtf8("Instala\xe7\xe3o \x80"), "Instalação €");
    EXPECT_EQ(utf8ToCp1252("Instalação €"), "Instala\xe7\xe3o \x80");
    EXPECT_EQ(utf8ToCp1252("日本"), "??");
    EXPECT_EQ(utf8ToCp1252("\xc3"), "?"); // cut sequence
    // Overlong forms of "/", "\\" and "." name no character: a host name never turns into a
    // path separator or "..".
    EXPECT_EQ(utf8ToCp1252("a\xc0\xaf"), "a?");
    EXPECT_EQ(utf8ToCp1252("\xc1\x9c"), "?");
    EXPECT_EQ(utf8ToCp1252("\xe0\x80\xae\xf0\x80\x80\xae"), "??");
    EXPECT_EQ(utf8ToCp1252("\xc3\xa9\xe2\x82\xac"), "\xe9\x80"); // shortest forms stay
    for (int c = 0; c < 256; ++c) {
        std::string one(1, static_cast<char>(c));
        EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(one)), one) << c;
    }
    EXPECT_TRUE(equalsNoCase("Configura\xe7\xe3o", "CONFIGURA\xc7\xc3O"));
    EXPECT_FALSE(equalsNoCase("abc", "abd"));
}

class MachineLayout : public MachineTest {};

TEST_F(MachineLayout, FirstRunCreatesTheMachineAndKeepsWhatIsThere) {
    EXPECT_TRUE(fs::is_directory(driveC() / "WINDOWS" / "SYSTEM"));
    EXPECT_TRUE(fs::is_directory(driveC() / "Program Files"));
    EXPECT_TRUE(fs::is_symlink(prefix / "dosdevices" / "c:"));
    EXPECT_TRUE(fs::exists(driveC() / "WINDOWS" / "PROGMAN.EXE"));
    Registry reg(machine().registryFile());
    ASSERT_TRUE(reg.openKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", false));
    EXPECT_EQ(reg.readString("ProgramFilesDir"), "C:\\Program Files");
    EXPECT_FALSE(reg.openKey("System\\CurrentControlSet\\Services\\Class\\Modem\\0000", false));

    // A second start changes nothing that is there.
    writeFile(driveC() / "WINDOWS" / "PROGMAN.EXE", "mine");
    writeFile(prefix / "system.reg", "REGEDIT4\r\n");
    makeMachine();
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "PROGMAN.EXE"), "mine");
    EXPECT_EQ(readFile(prefix / "system.reg"), "REGEDIT4\r\n");
}

TEST_F(MachineLayout, ProgramOutsideTheDrivesIsMountedAsTheFirstFreeLetter) {
    EXPECT_EQ(machine().programPath(), "D:\\SETUP");
    EXPECT_EQ(machine().currentDirectory(), "D:\\");
    EXPECT_EQ(*machine().toHost("d:\\setup"), program);

    // With D: taken by a link, the medium becomes E:.
    fs::create_directories(tmp / "other");
    fs::create_directory_symlink(tmp / "other", prefix / "dosdevices" / "d:");
    makeMachine();
    EXPECT_EQ(machine().programPath(), "E:\\SETUP");
    auto letters = machine().driveLetters();
    EXPECT_EQ(std::string(letters.begin(), letters.end()), "CDE");
}

TEST_F(MachineLayout, ProgramOnAMappedDriveKeepsThatDrive) {
    fs::create_directory_symlink(tmp / "medium", prefix / "dosdevices" / "r:");
    program = tmp / "medium" / "SETUP";
    makeMachine();
    EXPECT_EQ(machine().programPath(), "R:\\SETUP");
}

TEST_F(MachineLayout, AProgramStartedThroughALinkIsWhereTheLinkIs) {
    // "ln -s .../zel-setup SETUP; ./SETUP": the program's path, and so its description file,
    // is the link's, not its target's.
    writeFile(tmp / "build" / "zel-setup", "#!/bin/sh\n");
    fs::remove(program);
    fs::create_symlink(tmp / "build" / "zel-setup", program);
    makeMachine();
    EXPECT_EQ(machine().programPath(), "D:\\SETUP");
    EXPECT_EQ(*machine().toHost("D:\\SETUP.INI"), medium() / "SETUP.INI");

    // A link on a mapped drive keeps that drive, with a relative target and a path with "..".
    fs::create_directories(driveC() / "KIT");
    fs::create_symlink("../../../build/zel-setup", driveC() / "KIT" / "SETUP");
    program = driveC() / "WINDOWS" / ".." / "KIT" / "SETUP";
    makeMachine();
    EXPECT_EQ(machine().programPath(), "C:\\KIT\\SETUP");
}

TEST(StartedPath, IsThePathThatNamesTheExecutableMadeAbsolute) {
    TempDir tmp;
    const fs::path exe = tmp / "bin" / "zel-setup";
    writeFile(exe, "#!/bin/sh\n");
    writeFile(tmp / "bin" / "other", "#!/bin/sh\n");
    fs::create_directories(tmp / "kit");
    fs::create_symlink(exe, tmp / "kit" / "SETUP");
    const fs::path kit = tmp / "kit", bin = tmp / "bin";
    const std::string path = "/nowhere:" + kit.string();
    struct Case {
        std::string argv0;
        fs::path workingDir;
        std::string searchPath;
        std::optional<fs::path> started;
    };
    const Case cases[] = {
        {"./SETUP", kit, "", kit / "SETUP"},
        {"../kit/./SETUP", bin, "", kit / "SETUP"},
        {(kit / "SETUP").string(), bin, "", kit / "SETUP"},
        {"SETUP", bin, path, kit / "SETUP"},                // found on PATH
        {"SETUP", kit, "/nowhere::", kit / "SETUP"},        // an empty entry: the working dir
        {"zel-setup", tmp.path(), bin.string(), exe},       // the executable itself
        {"SETUP", kit, "/nowhere", std::nullopt},           // a bare name is looked up on PATH only
        {"./other", bin, "", std::nullopt},                 // another file
        {"./missing", bin, "", std::nullopt},
        {"", bin, path, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Machine::startedPath(c.argv0, c.workingDir, c.searchPath, exe), c.started)
            << c.argv0 << " in " << c.workingDir << " with PATH " << c.searchPath;
    // This test program was started by a path that names it.
    EXPECT_TRUE(fs::equivalent(Machine::runningExecutable(), "/proc/self/exe"));
    EXPECT_TRUE(Machine::runningExecutable().is_absolute());
}

TEST_F(MachineLayout, ResolvesNamesWithoutRegardToCase) {
    fs::create_directories(driveC() / "Program Files" / "Kit");
    writeFile(driveC() / "Program Files" / "Kit" / "Read Me.TXT", "x");
    EXPECT_EQ(*machine().toHost("C:\\PROGRAM FILES\\kit\\read me.txt"),
              driveC() / "Program Files" / "Kit" / "Read Me.TXT");
    // New names keep the caller's case below the last existing directory.
    EXPECT_EQ(*machine().toHost("c:\\program files\\KIT\\New\\File.Txt"),
              driveC() / "Program Files" / "Kit" / "New" / "File.Txt");
    // The exact spelling wins when both exist.
    writeFile(driveC() / "a.txt", "lower");
    writeFile(driveC() / "A.TXT", "upper");
    EXPECT_EQ(*machine().toHost("C:\\A.TXT"), driveC() / "A.TXT");
    EXPECT_EQ(*machine().toHost("C:\\a.txt"), driveC() / "a.txt");
    // Windows names in code page 1252 become UTF-8 names on the host.
    writeFile(driveC() / "Configuração.ini", "x");
    EXPECT_EQ(*machine().toHost("C:\\CONFIGURA\xc7\xc3O.INI"), driveC() / "Configuração.ini");
    EXPECT_EQ(*machine().toWindows(driveC() / "Configuração.ini"), "C:\\Configura\xe7\xe3o.ini");
}

TEST_F(MachineLayout, NoPathLeavesItsDrive) {
    for (const char* p : {"C:\\..\\..\\..\\etc\\passwd", "C:\\WINDOWS\\..\\..\\..",
                          "C:/../x/../../y", "C:\\..\\dosdevices\\c:\\x"}) {
        auto host = machine().toHost(p);
        ASSERT_TRUE(host) << p;
        auto rel = host->lexically_relative(driveC());
        EXPECT_FALSE(rel.empty()) << p;
        EXPECT_NE(rel.begin()->string(), "..") << p;
    }
    EXPECT_FALSE(machine().toHost("Q:\\x"));
    EXPECT_FALSE(machine().toWindows("/etc/passwd"));
}

TEST_F(MachineLayout, CurrentDirectoryPerDrive) {
    fs::create_directories(driveC() / "WINDOWS" / "Temp");
    EXPECT_TRUE(machine().setCurrentDirectory("c:\\windows\\temp"));
    EXPECT_EQ(machine().currentDirectory(), "C:\\windows\\temp");
    EXPECT_TRUE(machine().setCurrentDirectory("D:"));
    EXPECT_EQ(machine().currentDirectory(), "D:\\");
    EXPECT_TRUE(machine().setCurrentDirectory("C:"));
    EXPECT_EQ(machine().currentDirectory(), "C:\\windows\\temp");
    EXPECT_FALSE(machine().setCurrentDirectory("C:\\missing"));
    EXPECT_EQ(machine().currentDirectory(), "C:\\windows\\temp");
    EXPECT_EQ(machine().parse("x.ini")->text(), "C:\\windows\\temp\\x.ini");
}

TEST_F(MachineLayout, WorkingDirectoryOnADriveIsTheCurrentDirectory) {
    Machine::Options o;
    o.prefix = prefix;
    o.programHostPath = program;
    o.hostWorkingDir = driveC() / "WINDOWS";
    Machine m(o);
    EXPECT_EQ(m.currentDirectory(), "C:\\WINDOWS");
}

// Programs of the machine are started from the prefix (PROGMAN.EXE, the kit's programs), so a
// prefix that other users may change is refused before anything is made in it.
TEST_F(MachineLayout, APrefixOfAnotherUserOrWritableByOthersIsRefused) {
    const auto refusal = [&](const fs::path& where) -> std::string {
        Machine::Options o;
        o.prefix = where;
        o.programHostPath = program;
        o.progmanHostPath = binDir() / "progman";
        try {
            Machine m(o);
        } catch (const PlatformError& e) {
            return e.what();
        }
        return "(opened)";
    };
    for (const fs::perms writer : {fs::perms::others_write, fs::perms::group_write}) {
        const fs::path shared = tmp / "shared";
        fs::create_directory(shared);
        fs::permissions(shared, writer, fs::perm_options::add);
        EXPECT_EQ(refusal(shared), "The machine " + shared.string() + " may be changed by other users");
        EXPECT_TRUE(fs::is_empty(shared));
        // Program Manager neither serves nor lists such a machine, and says why.
        for (const char* args : {"--list", "PROGMAN PROGMAN"}) {
            const auto r = runCommand("ZEL_PREFIX='" + shared.string() + "' '" +
                                      (binDir() / "progman").string() + "' " + args + " 2>&1");
            EXPECT_EQ(r.status, 1) << args;
            EXPECT_EQ(r.output, "progman: The machine " + shared.string() +
                                    " may be changed by other users\n") << args;
        }
        EXPECT_TRUE(fs::is_empty(shared));
        fs::remove(shared);
    }
    if (::geteuid() == 0) { // only the superuser can give a directory away
        const fs::path foreign = tmp / "foreign";
        fs::create_directory(foreign);
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
        EXPECT_EQ(refusal(foreign), "The machine " + foreign.string() + " belongs to another user");
        EXPECT_TRUE(fs::is_empty(foreign));
    }

    // What the machine makes is never writable by others, whatever the umask.
    const mode_t umask = ::umask(0);
    const fs::path fresh = tmp / "fresh" / "prefix";
    EXPECT_EQ(refusal(fresh), "(opened)");
    ::umask(umask);
    for (const fs::path& made :
         {fresh, fresh / "drive_c", fresh / "drive_c" / "WINDOWS" / "SYSTEM", fresh / "dosdevices",
          fresh / "system.reg", fresh / "drive_c" / "WINDOWS" / "PROGMAN.EXE"})
        EXPECT_EQ(fs::status(made).permissions() & (fs::perms::group_write | fs::perms::others_write),
                  fs::perms::none)
            << made;
}

namespace zel::test {
namespace {

// Without HOME the machine is in the home directory the password database gives, never in a
// directory every user shares.
TEST(MachineDefaultPrefix, WithoutHomeItIsInTheUsersHomeDirectory) {
    struct Saved {
        const char* name;
        std::optional<std::string> value;
    };
    std::vector<Saved> saved;
    for (const char* name : {"ZEL_PREFIX", "XDG_DATA_HOME", "HOME"}) {
        const char* v = std::getenv(name);
        saved.push_back({name, v ? std::optional<std::string>(v) : std::nullopt});
    }
    const passwd* user = ::getpwuid(::geteuid());
    ASSERT_NE(user, nullptr);
    const fs::path expected = fs::path(user->pw_dir) / ".local/share/zel-setup/machine";
    ::unsetenv("ZEL_PREFIX");
    ::unsetenv("XDG_DATA_HOME");
    for (const char* home : {static_cast<const char*>(nullptr), ""}) {
        if (home)
            ::setenv("HOME", home, 1);
        else
            ::unsetenv("HOME");
        EXPECT_EQ(Machine::defaultPrefix(), expected);
    }
    ::setenv("HOME", "/somewhere", 1);
    EXPECT_EQ(Machine::defaultPrefix(), fs::path("/somewhere/.local/share/zel-setup/machine"));
    for (const auto& s : saved) {
        if (s.value)
            ::setenv(s.name, s.value->c_str(), 1);
        else
            ::unsetenv(s.name);
    }
}

} // namespace
} // namespace zel::test
