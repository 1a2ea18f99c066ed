// The emulated machine: Windows paths, code page 1252, the prefix, drives, started programs.
#include "tests/support/fixtures.h"
#include "winemu/cp1252.h"
#include "winemu/desktop_places.h"
#include "winemu/machine.h"
#include "winemu/programs.h"
#include "winemu/winpath.h"

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <pwd.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zel::test {
namespace {

using namespace std::string_view_literals;

TEST(WinPath, ParsesAgainstTheCurrentDirectoryNormalisesAndConvertsItsCodePage) {
    // clang-format off
    const std::tuple<std::string_view, std::string_view, const char*> rows[] = {
        {"c:\\kit\\..\\WIN\\.\\a", "C:\\", "C:\\WIN\\a"}, {"C:/A//B/", "C:\\", "C:\\A\\B"},
        {"C:\\..\\..\\etc", "C:\\", "C:\\etc"},   {"D:", "C:\\X", "D:\\"},   {"x", "C:", "C:\\x"},
        {"D:sub", "D:\\KIT", "D:\\KIT\\sub"},     {"d:sub", "C:\\KIT", "D:\\sub"},
        {"D:\\sub", "D:\\KIT", "D:\\sub"},        {"\\TOP", "E:\\A\\B", "E:\\TOP"},
        {"\\", "E:\\A", "E:\\"},                  {"..\\..\\..\\x", "e:\\A\\B", "E:\\x"},
        {"", "C:\\", ""},     {"\\\\", "C:\\", ""}, {"//s/x", "C:\\", ""}, {"1:\\x", "C:\\", ""},
        {"x", "", ""},        {"x", "C", ""},       {"x", "CX\\", ""},     {"x", "1:\\", ""},
        {"C:\\a\0b"sv, "C:\\", ""},                 {"x", "C:\\a\0b"sv, ""},
    };
    // clang-format on
    for (const auto& [path, current, parsed] : rows)
        EXPECT_EQ(parseWinPath(path, current).value_or(WinPath{'?', {}}).text(),
                  *parsed ? parsed : "?:\\")
            << path << " in " << current;
    const std::pair<std::string, std::string> parts[] = {
        {extractFilePath("D:\\KIT\\SETUP.EXE") + "|" + extractFilePath("D:SETUP"), "D:\\KIT\\|D:"},
        {extractFileName("C:/a/b.txt") + "|" + extractFileName("SETUP"), "b.txt|SETUP"},
        {extractFileExt("C:\\A.B\\NAME") + "|" + extractFileExt("C:\\N.tar.ico"), "|.ico"},
        {changeFileExt("C:\\A.D\\NAME", ".INI") + "|" + changeFileExt("C:\\A.EXE", ".INI"),
         "C:\\A.D\\NAME.INI|C:\\A.INI"}};
    for (const auto& [got, expected] : parts)
        EXPECT_EQ(got, expected);
    // Every byte round-trips; no form or malformed is '?', so an overlong "/" "\" "." is no path.
    for (int c = 0; c < 256; ++c) {
        const std::string one(1, static_cast<char>(c));
        EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(one)), one) << c;
    }
    EXPECT_EQ(utf8ToCp1252("Instalação € 日\xf0\x9f\x98\x80|\xc3|\xc3(|\x80"
                           "a\xf8|\xc2\x80\xc2\x81|\xc0\xaf\xc1\x9c\xe0\x80\xae\xf0\x80\x80\xae"),
              "Instala\xe7\xe3o \x80 ??|?|?(|?a?|?\x81|????");
    // What logs and messages show: no control character can fake a line or move the cursor.
    EXPECT_EQ(escapeControls("a\nb\r\x1b[2J\x7f\xc2\x85\xc2\x9f\xc2\xa0\x1f \xc2"),
              "a\\x0Ab\\x0D\\x1B[2J\\x7F\\x85\\x9F\xc2\xa0\\x1F \xc2");
    EXPECT_TRUE(
        equalsNoCase("azAb\xe0\xfe\xe7\x9a\x9c\x9e\xff", "AZaB\xc0\xde\xc7\x8a\x8c\x8e\x9f"));
    for (const char* other : {"`", "{", "\xf7", "\xdf", "ab"}) // neighbours of letters
        EXPECT_FALSE(equalsNoCase(other, std::string(1, static_cast<char>(other[0] - 0x20))))
            << other;
}

TEST_F(MachineTest, ResolvesNamesWithoutRegardToCaseAndFindsEachDrive) {
    writeFile(driveC() / "Program Files" / "Kit" / "Read Me.TXT", "x");
    writeFile(driveC() / "a.txt", "lower");
    writeFile(driveC() / "A.TXT", "upper");
    writeFile(driveC() / "Configuração.ini", "x");
    for (const char* twin : {"b.TXT", "B.txt", "b.txt"})
        writeFile(driveC() / twin, twin);
    const fs::path kit = driveC() / "Program Files" / "Kit";
    const std::pair<const char*, fs::path> rows[] = {
        {"C:\\PROGRAM FILES\\kit\\read me.txt", kit / "Read Me.TXT"},
        {"c:\\program files\\KIT\\New\\F.Txt", kit / "New" / "F.Txt"}, // new names keep their case
        {"C:\\A.TXT", driveC() / "A.TXT"}, // the exact spelling wins when both exist
        {"C:\\a.txt", driveC() / "a.txt"},
        {"C:\\B.TXT", driveC() / "B.txt"}, // none exact: the first in byte order
        {"C:\\CONFIGURA\xc7\xc3O.INI", driveC() / "Configuração.ini"},
        {"C:\\..\\..\\dosdevices\\c:\\x", driveC() / "dosdevices" / "c:" / "x"},
    };
    for (const auto& [windows, host] : rows)
        EXPECT_EQ(machine().forOtherProcesses(machine().toHost(windows).value()), host) << windows;
    EXPECT_EQ(machine().toWindows(driveC() / "Configuração.ini"), "C:\\Configura\xe7\xe3o.ini");

    EXPECT_EQ(Machine({prefix, program, driveC() / "WINDOWS", {}}).currentDirectory(),
              "C:\\WINDOWS");
    // Outside every drive: the program's directory; a link's ".." is not followed.
    fs::create_directory_symlink(driveC() / "WINDOWS", medium() / "w");
    const Machine outside({prefix, medium() / "w" / ".." / "SETUP", tmp.path(), {}});
    EXPECT_EQ(outside.programPath() + " " + outside.currentDirectory(), "D:\\SETUP D:\\");
    // A mapped drive it is on, else the first free letter from D:; the deepest drive names a path.
    fs::create_directory_symlink(prefix, prefix / "dosdevices" / "d:");
    makeMachine();
    const auto letters = machine().driveLetters();
    EXPECT_EQ(machine().programPath() + " " + std::string(letters.begin(), letters.end()),
              "E:\\SETUP CDE");
    fs::create_directory_symlink("../../medium", prefix / "dosdevices" / "r:");
    makeMachine();
    EXPECT_EQ(machine().programPath(), "R:\\SETUP");
    fs::create_directory_symlink(driveC() / "KIT" / "SUB", prefix / "dosdevices" / "k:");
    makeMachine();
    std::string seen = machine().programPath();
    for (const fs::path& host : {medium() / "SETUP.INI", driveC() / "KIT" / "SUB" / "x", driveC(),
                                 fs::path("/etc/passwd"), fs::path()})
        seen += " " + machine().toWindows(host).value_or("-");
    EXPECT_EQ(seen, "R:\\SETUP R:\\SETUP.INI K:\\x C:\\ - -");
}

// Refused, also by Program Manager, with nothing made in it (some rows need the superuser).
TEST_F(MachineTest, APrefixOthersMayChangeIsRefusedAndWhatItMakesIsItsUsersAlone) {
    const fs::path way = tmp / "way", target = tmp / "target", inside = way / "prefix";
    const auto through = [&](const fs::path& p) {
        return "The machine " + inside.string() + " is reached through " + p.string() +
               ", which other users may change";
    };
    const std::string shared = "The machine " + inside.string() + " may be changed by other users";
    const auto dir = [&](const fs::path& d, fs::perms added) {
        fs::create_directories(d);
        fs::permissions(d, added, fs::perm_options::add);
    };
    const auto link = [&](fs::perms added) {
        dir(target, added);
        fs::create_directory_symlink(target, way);
    };
    const auto disown = [](const fs::path& p) { ASSERT_EQ(::lchown(p.c_str(), 65534, 65534), 0); };
    const auto none = fs::perms::none, group = fs::perms::group_write,
               others = fs::perms::others_write;
    const struct {
        const char* attack;
        bool needsRoot;
        std::function<void()> prepare;
        std::string refusal;
    } rows[] = {
        // clang-format off
        {"a group-writable prefix", false, [&] { dir(inside, group); }, shared},
        {"a world-writable prefix", false, [&] { dir(inside, others); }, shared},
        {"a prefix of another user", true, [&] { dir(inside, none); disown(inside); },
         "The machine " + inside.string() + " belongs to another user"},
        {"a directory of the user's on the way", false, [&] { dir(way, none); }, ""},
        {"a group-writable directory on the way", false, [&] { dir(way, group); }, through(way)},
        {"a world-writable directory on the way", false, [&] { dir(way, others); }, through(way)},
        {"a sticky world-writable directory, as /tmp", false, [&] { dir(way, fs::perms(01777)); }, ""},
        {"a link of the user's on the way", false, [&] { link(none); }, ""},
        {"a link of the user's through \"/..\"", false,
         [&] { dir(target, none); fs::create_directory_symlink("/.." + target.string(), way); }, ""},
        {"a link of the user's to a group-writable directory", false, [&] { link(group); }, through(target)},
        {"a link of another user on the way", true, [&] { link(none); disown(way); }, through(way)},
        {"a directory of another user on the way", true, [&] { dir(way, none); disown(way); }, through(way)},
        {"the prefix a link of another user to a directory of the user's", true,
         [&] { dir(target / "prefix", none); dir(way, none);
               fs::create_directory_symlink(target / "prefix", inside); disown(inside); }, through(inside)},
        // clang-format on
    };
    for (const auto& row : rows) {
        if (row.needsRoot && ::geteuid() != 0)
            continue;
        SCOPED_TRACE(row.attack);
        row.prepare();
        const bool there = fs::exists(inside); // else Program Manager finds no machine
        EXPECT_EQ(errorOf([&] { Machine({inside, program, {}, {}}); }), row.refusal);
        EXPECT_EQ(fs::exists(target / "prefix" / "drive_c") || fs::exists(inside / "drive_c"),
                  row.refusal.empty());
        const auto r = runCommand("ZEL_PREFIX='" + inside.string() + "' '" +
                                  (binDir() / "progman").string() + "' --list 2>&1");
        EXPECT_EQ(std::to_string(r.status != 0) + (there ? r.output : ""),
                  row.refusal.empty() ? (there ? "0No groups.\n" : "0")
                  : there             ? "1progman: " + row.refusal + "\n"
                                      : "1");
        fs::permissions(way, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(way);
        fs::remove_all(target);
    }
    if (::geteuid() == 0) { // root's links on the way, as /var/run, are trusted by every user
        dir(tmp / "root's" / "prefix", none);
        ASSERT_EQ(::chown((tmp / "root's" / "prefix").c_str(), 65534, 65534), 0);
        fs::create_directory_symlink(tmp / "root's", way);
        EXPECT_EQ(asNobody(tmp, [&] { Machine::refuseForeignPrefix(inside); }), 0);
        EXPECT_EQ(asNobody(tmp, [] { Machine::refuseForeignPrefix("/"); }), 3); // nobody's machine
    }
    // What the machine makes is never writable by others, whatever the umask.
    const mode_t umask = ::umask(0);
    const fs::path fresh = tmp / "fresh" / "." / "prefix" / ""; // as a user may write it
    EXPECT_EQ(errorOf([&] { Machine({fresh, program, {}, "/opt/it's/progman"}); }), "");
    ::umask(umask);
    for (const fs::path& made :
         {fresh, fresh / "drive_c", fresh / "drive_c" / "WINDOWS" / "SYSTEM", fresh / "dosdevices",
          fresh / "drive_c" / "WINDOWS" / "PROGMAN.EXE"})
        EXPECT_EQ(fs::status(made).permissions(), static_cast<fs::perms>(0755)) << made;
    EXPECT_EQ(fs::status(fresh / "system.reg").permissions(), static_cast<fs::perms>(0644));
    EXPECT_EQ(readFile(fresh / "drive_c" / "WINDOWS" / "PROGMAN.EXE"),
              "#!/bin/sh\nexec '/opt/it'\\''s/progman' \"$@\"\n");
}

// Relative base directories do not count; a relative ZEL_PREFIX is made absolute once.
TEST(DefaultPrefix, FollowsTheEnvironmentThenThePasswordDatabase) {
    const passwd* user = ::getpwuid(::geteuid());
    ASSERT_NE(user, nullptr);
    const std::string home = std::string(user->pw_dir) + "/.local/share/zel-setup/machine";
    const fs::path here = fs::temp_directory_path();
    ASSERT_EQ(::chdir(here.c_str()), 0);
    for (const char* name : {"ZEL_PREFIX", "XDG_DATA_HOME", "HOME", "ZEL_NO_DESKTOP"})
        ::unsetenv(name); // for this test's process alone
    EXPECT_EQ(desktopPlaces().value().entries,
              fs::path(user->pw_dir) / ".local/share/applications/zel-setup");
    std::string prefixes = Machine::defaultPrefix().string();
    // clang-format off
    const std::pair<const char*, const char*> rows[] = {{"HOME", ""}, {"HOME", "h"}, {"HOME", "/h"},
        {"XDG_DATA_HOME", "x"}, {"XDG_DATA_HOME", "/x"}, {"ZEL_PREFIX", "z/../p"}, {"ZEL_PREFIX", "/z"}};
    // clang-format on
    for (const auto& [name, value] : rows) {
        ::setenv(name, value, 1);
        prefixes += " " + Machine::defaultPrefix().string();
    }
    EXPECT_EQ(prefixes, home + " " + home + " " + home + " /h/.local/share/zel-setup/machine " +
                            "/h/.local/share/zel-setup/machine /x/zel-setup/machine " +
                            (here / "p").string() + " /z");
}

TEST_F(MachineTest, ProgmanIsInstalledAndItsLauncherKeptPointingAtIt) {
    const fs::path source = tmp / "medium" / "progman",
                   launcher = driveC() / "WINDOWS" / "PROGMAN.EXE";
    const fs::path installed = fs::absolute(prefix) / "bin" / "progman";
    const std::string ours = "#!/bin/sh\nexec '" + installed.string() + "' \"$@\"\n";
    // The launcher before, the medium's program, the launcher after, the copy rewritten.
    const std::string large(40000, 'p'), user = "#!/bin/sh\nexec my-progman\n";
    const std::tuple<const char*, std::string, std::string, std::string, bool> rows[] = {
        // clang-format off
        {"a first start", "", "v1", ours, true}, {"a second start writes nothing", ours, "v1", ours, false},
        {"another medium's program", ours, "v2", ours, true},
        {"ours pointing at a medium gone", "#!/bin/sh\nexec '/media/cd/progman' \"$@\"\n", "v2", ours, false},
        {"the user's own launcher", user, "v2", user, false},
        // Compared piece by piece: a difference past the first pieces, or in length only.
        {"a large program", ours, large + "1", ours, true}, {"one that differs late", ours, large + "2", ours, true},
        {"the same again", ours, large + "2", ours, false}, {"one byte longer", ours, large + "2.", ours, true},
        // clang-format on
    };
    fs::remove(launcher);
    for (const auto& [name, before, offered, after, rewritten] : rows) {
        SCOPED_TRACE(name);
        if (!before.empty())
            writeProgram(launcher, before);
        writeProgram(source, offered);
        const ino_t was = inode(installed);
        // A relative prefix (ZEL_PREFIX may give one): the launcher starts from anywhere.
        ASSERT_EQ(::chdir(tmp.path().c_str()), 0);
        Machine({"prefix", program, program.parent_path(), source, true});
        EXPECT_EQ(readFile(launcher) + "|" + readFile(installed) + "|" +
                      std::to_string(inode(installed) != was),
                  after + "|" + offered + "|" + std::to_string(rewritten));
    }
}

class ProgramsTest : public PlatformTest {
protected:
    // Tells its directory's name, its arguments, its working directory's name, its session.
    void writeTracer(const fs::path& path, bool executable = true) {
        const std::string script =
            "#!/bin/sh\necho \"$(basename \"$(dirname \"$0\")\")|$#|$1|$2|"
            "$(basename \"$(pwd)\")|$(cut -d' ' -f6 /proc/$$/stat)\" > \"$ZEL_PREFIX/trace\"\n";
        executable ? writeProgram(path, script) : writeFile(path, script);
    }
    // WinExec's result and what the program told (it runs on after the return).
    std::string exec(const std::string& line) {
        fs::remove(prefix / "trace");
        const unsigned result = Programs(machine(), ui).winExec(line, 1);
        std::string trace;
        for (int i = 0; i < 500 && result == 33 && !trace.ends_with('\n'); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            trace = readFile(prefix / "trace");
        }
        if (!trace.empty())
            sessions.push_back(std::stoi(trace.substr(trace.rfind('|') + 1)));
        return std::to_string(result) + " " + trace.substr(0, trace.rfind('|')) + "\n";
    }
    std::vector<pid_t> sessions;
};

// Unquoted names tried word by word, ".EXE" added; 2 no file, 3 no path, 11 no program.
TEST_F(ProgramsTest, WinExecStartsWhatThePlatformWouldOrSaysWhyNot) {
    const fs::path kit = driveC() / "Meu Kit";
    writeTracer(kit / "TOOL.EXE");
    writeTracer(kit / "NOEXEC.EXE", false);
    writeProgram(kit / "GARBAGE.EXE", "MZ\x90 not a host program");
    fs::create_directories(kit / "DIR.EXE");
    writeTracer(medium() / "NAVEGA" / "Setup.exe");
    std::string seen;
    for (const char* line :
         {"C:\\Meu Kit\\TOOL.EXE one  \"two words\" ", "\"C:\\Meu Kit\\TOOL.EXE\" quoted",
          "d:\\navega\\SETUP", "C:\\Meu Kit\\OTHER.EXE arg", "C:\\Meu Kit\\NOPE\\TOOL.EXE arg",
          "C:\\Meu Kit\\DIR.EXE", "NOWHERE", "   ", "C:\\NO\\SUCH\\X.EXE", "Q:\\X.EXE",
          "C:\\Meu Kit\\NOEXEC.EXE", "C:\\Meu Kit\\GARBAGE.EXE"})
        seen += exec(line);
    EXPECT_EQ(seen, "33 Meu Kit|2|one|two words|Meu Kit\n33 Meu Kit|1|quoted||Meu Kit\n"
                    "33 NAVEGA|0|||NAVEGA\n2 \n3 \n2 \n2 \n2 \n3 \n3 \n11 \n11 \n");
    // A bare name: the program's directory, the current one, SYSTEM, then WINDOWS.
    const fs::path places[] = {medium(), driveC() / "WORK", driveC() / "WINDOWS" / "SYSTEM",
                               driveC() / "WINDOWS"};
    for (const fs::path& place : places)
        writeTracer(place / "TOOL.EXE");
    ASSERT_TRUE(machine().setCurrentDirectory("C:\\WORK"));
    seen.clear();
    for (const fs::path& place : places) {
        seen += exec("TOOL");
        fs::remove(place / "TOOL.EXE");
    }
    EXPECT_EQ(seen + exec("TOOL"), "33 medium|0|||medium\n33 WORK|0|||WORK\n33 SYSTEM|0|||SYSTEM\n"
                                   "33 WINDOWS|0|||WINDOWS\n2 \n");
    for (const pid_t session : sessions)
        EXPECT_NE(session, ::getsid(0));
    errno = 0; // no child left
    EXPECT_TRUE(::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD);
    // A started program gets none of the wizard's open files, nor the signals it blocks.
    const FileDescriptor open(::open((tmp / "open-file").c_str(), O_WRONLY | O_CREAT, 0600));
    writeProgram(medium() / "FD.EXE", "#!/bin/sh\n([ -e /proc/$$/fd/" + std::to_string(open.get()) +
                                          " ] && echo leaked || echo clean; grep SigBlk "
                                          "/proc/$$/status) > \"$ZEL_PREFIX/done\"\n");
    sigset_t blocked, old;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    ::pthread_sigmask(SIG_BLOCK, &blocked, &old);
    EXPECT_TRUE(Programs(machine(), ui).runAndWait("D:\\FD.EXE"));
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    EXPECT_EQ(readFile(prefix / "done"), "clean\nSigBlk:\t0000000000000000\n");
}

} // namespace
} // namespace zel::test
