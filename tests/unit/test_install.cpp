// Putting the kit's files on a machine: the file copy, the run, the socket stack's needs.
#include "setup/install.h"
#include "setup/network_stack.h"
#include "tests/support/fixtures.h"
#include "winemu/host_file.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <set>
#include <sstream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace zel::test {
namespace {

std::int64_t mtimeOf(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_mtime : -1;
}

// Every entry under dir, sorted: a file with its content (and date when asked), a directory.
std::string tree(const fs::path& dir, bool dates = false) {
    std::set<std::string> lines;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        std::string line = e.path().lexically_relative(dir).string();
        if (e.is_regular_file())
            line +=
                (dates ? " " + std::to_string(mtimeOf(e.path())) : "") + " " + readFile(e.path());
        lines.insert(line);
    }
    return joined(lines);
}

class InstallTest : public MachineTest {
protected:
    bool copy(std::string_view from, std::string_view to) {
        Files files(machine());
        return fileCopy(files, from, to);
    }
};

// Content over several buffers, the date in DOS steps, never a mode beyond the source's.
TEST_F(InstallTest, ACopyTakesTheContentTheDateAndTheModeItMayOrTouchesNothing) {
    std::string content;
    for (int i = 0; i < 5000; ++i)
        content += char('a' + i % 26);
    writeFile(medium() / "PROG.EXE", content);
    const struct timespec odd[2] = {{1'000'000'001, 0}, {1'000'000'001, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (medium() / "PROG.EXE").c_str(), odd, 0), 0);
    writeFile(medium() / "INSIDE.TXT", "");
    fs::create_symlink("INSIDE.TXT", medium() / "ALIAS.TXT"); // a link within the medium is fine
    fs::create_directory(driveC() / "ZEL");
    ASSERT_TRUE(copy("D:\\PROG.EXE", "C:\\ZEL\\PROG.EXE"));
    ASSERT_TRUE(copy("D:\\alias.txt", "C:\\ZEL\\ALIAS.TXT"));
    EXPECT_EQ(tree(driveC() / "ZEL", true),
              "ALIAS.TXT " + std::to_string(mtimeOf(medium() / "INSIDE.TXT") / 2 * 2) +
                  " \nPROG.EXE 1000000000 " + content + "\n");

    const mode_t umask = ::umask(0);
    for (const auto& [source, copied] :
         {std::pair{0600, 0600}, {0440, 0640}, {0750, 0750}, {0444, 0644}, {0500, 0700}}) {
        fs::permissions(medium() / "PROG.EXE", fs::perms(source));
        fs::remove(driveC() / "MODE.TXT");
        EXPECT_TRUE(copy("D:\\PROG.EXE", "C:\\MODE.TXT"));
        EXPECT_EQ(modeOf(driveC() / "MODE.TXT"), copied) << source;
        fs::permissions(driveC() / "MODE.TXT", fs::perms::all);
        EXPECT_TRUE(copy("D:\\PROG.EXE", "C:\\mode.txt"));
        EXPECT_EQ(modeOf(driveC() / "MODE.TXT") & ~copied & 077, 0) << source;
        EXPECT_FALSE(fs::exists(driveC() / "mode.txt"));
    }
    ::umask(umask);
    // A refused copy leaves both sides as they were, with no temporary behind.
    fs::create_directories(driveC() / "KIT");
    fs::create_directory_symlink(driveC() / "KIT", prefix / "dosdevices" / "e:");
    makeMachine();
    writeFile(medium() / "SRC.TXT", "source");
    writeFile(medium() / "SUB" / "DATA.TXT", "precious");
    writeFile(driveC() / "KIT" / "DATA.TXT", "also precious");
    writeFile(driveC() / "RO.TXT", "read-only");
    fs::permissions(driveC() / "RO.TXT", fs::perms::owner_read | fs::perms::group_read);
    fs::create_symlink("RO.TXT", driveC() / "ROLINK.TXT"); // a link is what it leads to
    fs::create_directory(driveC() / "ADIR");
    // A hostile medium: links to the host's own files are as missing.
    writeFile(tmp / "secret", "root:$6$hash");
    fs::create_symlink(tmp / "secret", medium() / "SHADOW.TXT");
    fs::create_symlink("../../secret", medium() / "SUB" / "UP.TXT");
    const std::string before = tree(driveC(), true) + tree(medium(), true);
    std::istringstream rows(R"(D:\SRC.TXT C:\RO.TXT  D:\SRC.TXT C:\ADIR  D:\SRC.TXT Q:\SRC.TXT
D:\MISSING.TXT C:\MISSING.TXT  D:\SRC.TXT C:\NODIR\X.TXT  D:\ C:\ROOT.TXT
D:\SHADOW.TXT C:\SHADOW.TXT  D:\SUB\UP.TXT C:\UP.TXT  D:\SRC.TXT C:\ROLINK.TXT
D:\SUB\DATA.TXT D:\SUB\DATA.TXT  D:\SUB\DATA.TXT d:\sub\data.txt
D:\SUB\DATA.TXT D:\SUB\..\SUB\DATA.TXT  C:\KIT\DATA.TXT E:\DATA.TXT  E:\data.txt C:\KIT\DATA.TXT)");
    for (std::string from, to; rows >> from >> to;)
        EXPECT_FALSE(copy(from, to)) << from << " -> " << to;
    EXPECT_EQ(tree(driveC(), true) + tree(medium(), true), before);
}

// A full disk keeps the old target; the next copy sweeps only a dead copy's leftovers.
TEST_F(InstallTest, AnInterruptedCopysLeftOversGoAndATakenTemporaryNameIsDrawnAgain) {
    writeFile(medium() / "BIG.DAT", std::string(20000, 'x'));
    writeFile(driveC() / "LEFT" / "BIG.DAT", "old version");
    const std::string before = tree(driveC() / "LEFT", true);
    pid_t child = 0;
    const auto full = [&] {
        fullDisk();
        ::_exit(copy("D:\\BIG.DAT", "C:\\LEFT\\BIG.DAT") ? 1 : 0);
    };
    EXPECT_EQ(inChild(full, [&](pid_t pid) { child = pid; }), 0) << "the copy reported success";
    EXPECT_EQ(tree(driveC() / "LEFT", true), before);

    const std::string dead = ".zelcopy-" + std::to_string(child) + "-";
    const std::string living = ".zelcopy-" + std::to_string(::getppid()) + "-aB3xYz";
    for (const std::string& name :
         {dead + "aB3xYz", dead + "toolong7", living, std::string(".zelcopy-99999999:-aB3xYz"),
          std::string(".zelcopy-999999999-aB3xYz"), std::string(".zelcopy-1000000000-aB3xYz")})
        writeFile(driveC() / "LEFT" / name, "partial");
    fs::create_directory(driveC() / "LEFT" / (dead + "dirdir"));
    ASSERT_TRUE(copy("D:\\BIG.DAT", "C:\\LEFT\\BIG.DAT"));
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(driveC() / "LEFT"))
        left.insert(e.path().filename().string());
    EXPECT_EQ(left,
              (std::set<std::string>{living, ".zelcopy-99999999:-aB3xYz", dead + "toolong7",
                                     ".zelcopy-1000000000-aB3xYz", dead + "dirdir", "BIG.DAT"}));
    EXPECT_EQ(readFile(driveC() / "LEFT" / "BIG.DAT"), std::string(20000, 'x'));
    // A taken temporary name is drawn again: of two children forked alike, the first's is taken.
    writeFile(medium() / "A.TXT", "a");
    fs::create_directory(driveC() / "ZEL");
    ASSERT_TRUE(copy("D:\\A.TXT", "C:\\ZEL\\FIRST.TXT")); // the names' source set up here
    const FileDescriptor watch(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    ASSERT_GE(::inotify_add_watch(watch.get(), (driveC() / "ZEL").c_str(), IN_CREATE), 0);
    ASSERT_EQ(inChild([&] { ::_exit(copy("D:\\A.TXT", "C:\\ZEL\\SEEN.TXT") ? 0 : 1); }), 0);
    alignas(inotify_event) char events[4096];
    ASSERT_GT(::read(watch.get(), events, sizeof events), ssize_t(sizeof(inotify_event)));
    const std::string seen = reinterpret_cast<const inotify_event*>(events)->name;
    ASSERT_TRUE(seen.starts_with(".zelcopy-")) << seen;
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    const FileDescriptor waits(gate[0]), opens(gate[1]);
    fs::path taken;
    const int status = inChild(
        [&] {
            char go;
            ::_exit(::read(waits.get(), &go, 1) == 1 && copy("D:\\A.TXT", "C:\\ZEL\\B.TXT") ? 0
                                                                                            : 1);
        },
        [&](pid_t child) {
            taken = driveC() / "ZEL" /
                    (".zelcopy-" + std::to_string(child) + seen.substr(seen.rfind('-')));
            writeFile(taken, "taken");
            EXPECT_EQ(::write(opens.get(), "x", 1), 1);
        });
    EXPECT_EQ(std::to_string(status) + readFile(driveC() / "ZEL" / "B.TXT") + readFile(taken),
              "0ataken");
}

// In a closed directory a writable file is replaced in place, whole or not at all (as any user).
TEST_F(InstallTest, AWritableFileInAReadOnlyDirectoryIsReplacedInPlace) {
    const std::string fresh(20000, 'n');
    writeFile(medium() / "NEW.DAT", fresh);
    const fs::path dir = driveC() / "RO";
    std::string seen; // the copy's status, the entries in the directory, the file and its mode
    for (const auto& [old, mode, full] : {std::tuple{"old", 0644, false},
                                          {"old", 0444, false},
                                          {"old", 0644, true},
                                          {"", 0, false}}) {
        fs::create_directories(dir);
        fs::permissions(dir, fs::perms::owner_all);
        fs::remove_all(dir);
        writeFile(dir / "NEW.DAT", old);
        fs::permissions(dir / "NEW.DAT", fs::perms(mode));
        if (!*old)
            fs::remove(dir / "NEW.DAT");
        fs::permissions(dir, fs::perms(0555));
        const int status = inChild([&, full = full] {
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct data[2]{};
            ::syscall(SYS_capget, &header, data);
            data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
            ::syscall(SYS_capset, &header, data);
            if (full)
                fullDisk();
            ::_exit(copy("D:\\NEW.DAT", "C:\\RO\\NEW.DAT") ? 0 : 1);
        });
        const std::string now = readFile(dir / "NEW.DAT");
        seen += std::to_string(status) + " " +
                std::to_string(std::distance(fs::directory_iterator(dir), {})) + " " +
                (now == fresh ? "new" : now.substr(0, 16)) + " " +
                std::to_string(modeOf(dir / "NEW.DAT") & 0777) + "|";
    }
    EXPECT_EQ(seen, "0 1 new 420|1 1 old 292|1 1 old 420|1 0  511|");
}

// The sweep moves other socket libraries aside, the kit's left alone; then the dialer's update.
TEST_F(MachineTest, TheSweepLeavesTheKitsLibrariesAndTheDialerUpdateNeverLeavesNone) {
    program = driveC() / "KIT" / "WIN95" / "DISK1" / "SETUP";
    writeFile(program, "");
    makeMachine();
    for (const char* name : {"KIT/WIN95/~insock.dll", "kit/net/~SOCK32.DLL", "OTHER/~insock.dll",
                             "WINDOWS/SYSTEM/~sock32.dll", "APP/~sock32.dll", "APP/~sock32.zel"})
        writeFile(driveC() / name, name);
    Catalogue catalogue;
    catalogue.settings.destination = "C:\\ZEL\\";
    Files files(machine());
    int pumps = 0;
    // Every "~sock32.dll" before every "~insock.dll", the kit's own among them.
    std::string order;
    for (const std::string& path :
         socketLibrarySweep(files, catalogue, "C:\\KIT\\WIN95\\DISK1\\", [&] { ++pumps; }))
        order += path.find("insock") == std::string::npos ? 's' : 'i';
    EXPECT_EQ(order + std::to_string(pumps >= 2), "sssii1");
    // The kit's own stay; a ".zel" in the way has the library deleted instead.
    EXPECT_EQ(tree(driveC() / "APP") + tree(driveC() / "OTHER") + tree(driveC() / "KIT") +
                  tree(driveC() / "kit") + readFile(driveC() / "WINDOWS/SYSTEM/~sock32.zel"),
              "~sock32.zel APP/~sock32.zel\n~insock.zel OTHER/~insock.dll\nWIN95\n"
              "WIN95/DISK1\nWIN95/DISK1/SETUP \nWIN95/~insock.dll KIT/WIN95/~insock.dll\nnet\n"
              "net/~SOCK32.DLL kit/net/~SOCK32.DLL\nWINDOWS/SYSTEM/~sock32.dll");
    // The kit is two folders up; a doubled backslash hides the folder before it.
    EXPECT_EQ(kitRootFolder("C:\\K\\W\\D\\") + "|" + kitRootFolder("C:\\K\\\\D"), "C:\\K|C:");
    // A medium in a single folder or at a drive's root is in no kit tree: nothing is spared.
    for (const char* source : {"C:\\KIT\\", "C:\\"}) {
        writeFile(driveC() / "KIT" / "~insock.dll", "k");
        socketLibrarySweep(files, catalogue, source, [] {});
        EXPECT_FALSE(fs::exists(driveC() / "KIT" / "~insock.dll")) << source;
    }
    // The dialer's update, no port known: slip-port 0; a library not copied puts the old one back.
    const fs::path system = driveC() / "WINDOWS" / "SYSTEM";
    fs::remove(system / "~sock32.zel");
    writeFile(driveC() / "ZEL" / "T.INI", "[Trumpet Winsock]\r\n");
    writeFile(system / "~sock32.dll", "old");
    catalogue.entry(1).preselected = true;
    catalogue.entry(1).directory = "T\\";
    catalogue.entry(1).files = {"TCPMAN.EXE", "T.INI", "W.DLL"}; // no W.DLL
    dialerSettingsUpdate(files, catalogue, {std::nullopt, "AT", "ATD"});
    EXPECT_EQ(readFile(driveC() / "ZEL" / "T.INI") + "|" + readFile(system / "~sock32.dll") + "|" +
                  std::to_string(fs::exists(system / "~sock32.zel")),
              "[Trumpet Winsock]\r\nslip-port=0\r\n[ZEL Internet]\r\n$modemsetup=AT\r\n"
              "$phone=ATD\r\n|old|0");
}

} // namespace
} // namespace zel::test
