// Files, finding, the directory walk, and drives of the emulated machine.
#include "winemu/errors.h"
#include "winemu/files.h"
#include "winemu/host_file.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <set>
#include <sys/stat.h>

using namespace zel;
using namespace zel::test;

class FilesTest : public MachineTest {
protected:
    Files files() { return Files(machine()); }

    std::vector<std::string> walked(std::string_view start, std::string_view mask) {
        std::vector<std::string> found;
        Files f = files();
        f.walk(start, mask, [&](const std::string& dir, const SearchEntry& e) {
            found.push_back(dir + e.name);
            return WalkAnswer::Continue;
        });
        return found;
    }
};

TEST_F(FilesTest, BlocksDatesAndHandles) {
    Files f = files();
    int out = f.createFile("C:\\data.bin");
    ASSERT_GE(out, 0);
    EXPECT_EQ(f.write(out, "hello world", 11), 11);
    std::uint32_t dos = toDosTime(1000000000 + 1); // an odd second rounds down to two seconds
    EXPECT_TRUE(f.setFileDate(out, dos));
    f.close(out);

    int in = f.openRead("c:\\DATA.BIN");
    ASSERT_GE(in, 0);
    EXPECT_EQ(f.seek(in, 0, 2), 11);
    EXPECT_EQ(f.seek(in, 6, 0), 6);
    char buf[16] = {};
    EXPECT_EQ(f.read(in, buf, sizeof buf), 5);
    EXPECT_EQ(std::string(buf), "world");
    EXPECT_EQ(f.getFileDate(in), dos);
    f.close(in);
    struct stat st {};
    ASSERT_EQ(::stat((driveC() / "data.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1000000000);

    EXPECT_LT(f.openRead("C:\\missing"), 0);
    EXPECT_LT(f.openRead("C:\\WINDOWS"), 0); // a directory is no file
    EXPECT_LT(f.createFile("C:\\nodir\\x"), 0);
    // A read-only file is neither recreated nor deleted.
    writeFile(driveC() / "ro.txt", "keep");
    fs::permissions(driveC() / "ro.txt", fs::perms::owner_read);
    EXPECT_LT(f.createFile("C:\\ro.txt"), 0);
    EXPECT_FALSE(f.deleteFile("C:\\ro.txt"));
    EXPECT_EQ(readFile(driveC() / "ro.txt"), "keep");
}

TEST(DosTime, PacksLocalTimeWithTwoSecondResolution) {
    std::tm tm{};
    tm.tm_year = 1997 - 1900;
    tm.tm_mon = 6;
    tm.tm_mday = 15;
    tm.tm_hour = 13;
    tm.tm_min = 45;
    tm.tm_sec = 31;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    std::uint32_t dos = toDosTime(t);
    EXPECT_EQ(dos >> 16, ((1997u - 1980u) << 9) | (7u << 5) | 15u);
    EXPECT_EQ(dos & 0xFFFF, (13u << 11) | (45u << 5) | 15u);
    EXPECT_EQ(fromDosTime(dos), t - 1);
    EXPECT_EQ(toDosTime(0) >> 16, (1u << 5) | 1u); // before 1980: the earliest date
}

TEST_F(FilesTest, ExistsDeleteRename) {
    Files f = files();
    writeFile(driveC() / "a.txt", "a");
    writeFile(driveC() / "b.txt", "b");
    EXPECT_TRUE(f.fileExists("C:\\A.TXT"));
    EXPECT_FALSE(f.fileExists("C:\\WINDOWS"));
    EXPECT_FALSE(f.renameFile("C:\\a.txt", "C:\\B.TXT")); // the target exists
    EXPECT_EQ(readFile(driveC() / "b.txt"), "b");
    EXPECT_TRUE(f.renameFile("C:\\a.txt", "C:\\c.zel"));
    EXPECT_EQ(readFile(driveC() / "c.zel"), "a");
    EXPECT_FALSE(f.renameFile("C:\\a.txt", "C:\\d.zel"));
    EXPECT_TRUE(f.deleteFile("C:\\C.ZEL"));
    EXPECT_FALSE(f.deleteFile("C:\\C.ZEL"));
    EXPECT_TRUE(f.createDirectory("C:\\NEW"));
    EXPECT_FALSE(f.createDirectory("C:\\NEW"));
    EXPECT_FALSE(f.createDirectory("C:\\NO\\PARENT"));
}

TEST_F(FilesTest, ReadTextFileSplitsAtEveryLineEnd) {
    Files f = files();
    writeFile(driveC() / "lic.txt", "one\rtwo\nthree\r\nfour\r\n\r\nsix");
    auto lines = f.readTextFile("C:\\LIC.TXT");
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (std::vector<std::string>{"one", "two", "three", "four", "", "six"}));
    writeFile(driveC() / "empty.txt", "");
    EXPECT_TRUE(f.readTextFile("C:\\empty.txt")->empty());
    EXPECT_FALSE(f.readTextFile("C:\\none.txt"));
    writeFile(driveC() / "locked.txt", "secret");
    fs::permissions(driveC() / "locked.txt", fs::perms::none);
    if (::geteuid() != 0) { // root reads anything
        EXPECT_THROW(f.readTextFile("C:\\locked.txt"), PlatformError);
    }
}

// What a hostile medium puts where a text is read: a pipe (never waited for), a device that
// never ends, a link to the host's own files, a file beyond the reader's bound. Each is as
// missing; a file within bounds and a link that stays on the drive read as usual.
TEST_F(FilesTest, ReadTextFileRefusesWhatIsNoFileOfItsDriveOrTooLarge) {
    Files f = files();
    ASSERT_EQ(::mkfifo((driveC() / "fifo.txt").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", driveC() / "zero.txt");
    writeFile(tmp / "outside.txt", "host secret");
    fs::create_symlink(tmp / "outside.txt", driveC() / "out.txt");
    writeFile(driveC() / "big.txt", std::string(101, 'b'));
    writeFile(driveC() / "fits.txt", std::string(100, 'f'));
    fs::create_symlink("fits.txt", driveC() / "alias.txt");
    for (const char* refused : {"C:\\fifo.txt", "C:\\zero.txt", "C:\\out.txt", "C:\\big.txt"})
        EXPECT_FALSE(f.readTextFile(refused, 100)) << refused;
    EXPECT_EQ(f.readTextFile("C:\\fits.txt", 100), std::vector<std::string>{std::string(100, 'f')});
    EXPECT_EQ(f.readTextFile("C:\\alias.txt", 100), std::vector<std::string>{std::string(100, 'f')});
    EXPECT_TRUE(f.readTextFile("C:\\big.txt"));
}

TEST_F(FilesTest, FindEntriesHonoursTheAttributeFilter) {
    Files f = files();
    fs::create_directories(driveC() / "T" / "sub");
    fs::create_directories(driveC() / "T" / ".hid");
    writeFile(driveC() / "T" / "file.dll", "x");
    writeFile(driveC() / "T" / ".hidden.dll", "x");
    auto names = [](const std::vector<SearchEntry>& v) {
        std::set<std::string> s;
        for (auto& e : v)
            s.insert(e.name);
        return s;
    };
    EXPECT_EQ(names(f.findEntries("C:\\T\\*.*", attr::AnyFile)),
              (std::set<std::string>{"sub", ".hid", "file.dll", ".hidden.dll"}));
    EXPECT_EQ(names(f.findEntries("C:\\T\\*.*", attr::Directory)),
              (std::set<std::string>{"sub", "file.dll"}));
    EXPECT_EQ(names(f.findEntries("C:\\T\\*.*", 0)), (std::set<std::string>{"file.dll"}));
    EXPECT_EQ(names(f.findEntries("C:\\T\\FILE.DLL", 0)), (std::set<std::string>{"file.dll"}));
    auto one = f.findFirst("c:\\program files");
    ASSERT_TRUE(one);
    EXPECT_EQ(one->name, "Program Files");
    EXPECT_TRUE(one->attributes & attr::Directory);
    EXPECT_TRUE(one->shortName.empty());
    EXPECT_FALSE(f.findFirst("C:\\nothing*"));
    EXPECT_TRUE(wildcardMatch("*.*", "NAME"));
    EXPECT_TRUE(wildcardMatch("~SOCK32.DLL", "~sock32.dll"));
    EXPECT_TRUE(wildcardMatch("a?c*.t*", "ABCdef.txt"));
    EXPECT_FALSE(wildcardMatch("*.dll", "x.dl"));
}

TEST_F(FilesTest, WalkReportsFilesBeforeSubdirectoriesAndSkipsHiddenDirectories) {
    writeFile(driveC() / "R" / "A" / "B" / "~sock32.dll", "1");
    writeFile(driveC() / "R" / "A" / "~SOCK32.DLL.bak", "no");
    writeFile(driveC() / "R" / "~Sock32.dll", "2");
    writeFile(driveC() / "R" / ".hidden" / "~sock32.dll", "never");
    writeFile(driveC() / "R" / "Z" / ".~sock32.dll", "no");
    writeFile(driveC() / "R" / "Z" / "~sock32.dll", "3");
    auto found = walked("C:\\R", "~sock32.dll");
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0], "C:\\R\\~Sock32.dll"); // the start directory comes first
    std::set<std::string> rest(found.begin() + 1, found.end());
    EXPECT_EQ(rest, (std::set<std::string>{"C:\\R\\A\\B\\~sock32.dll", "C:\\R\\Z\\~sock32.dll"}));

    // An empty mask reports every file outside hidden directories, hidden files included.
    auto all = walked("C:\\R\\", "");
    EXPECT_EQ(all.size(), 5u);
    EXPECT_EQ(std::count(all.begin(), all.end(), "C:\\R\\Z\\.~sock32.dll"), 1);
}

TEST_F(FilesTest, WalkStopsWhenTheCallbackSaysSo) {
    writeFile(driveC() / "S" / "one.txt", "1");
    writeFile(driveC() / "S" / "two.txt", "2");
    writeFile(driveC() / "S" / "D" / "three.txt", "3");
    Files f = files();
    int calls = 0;
    EXPECT_FALSE(f.walk("C:\\S", "*.txt", [&](const std::string&, const SearchEntry&) {
        ++calls;
        return WalkAnswer::Stop;
    }));
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(f.walk("C:\\S", "*.txt", [&](const std::string&, const SearchEntry&) {
        return WalkAnswer::Continue;
    }));
}

TEST_F(FilesTest, WalkPassesOverUnreadableDirectoriesAndLinkLoops) {
    writeFile(driveC() / "U" / "locked" / "x.dll", "1");
    writeFile(driveC() / "U" / "open" / "x.dll", "2");
    fs::create_directory_symlink(driveC() / "U", driveC() / "U" / "open" / "loop");
    fs::permissions(driveC() / "U" / "locked", fs::perms::none);
    auto found = walked("C:\\U", "x.dll");
    fs::permissions(driveC() / "U" / "locked", fs::perms::owner_all);
    EXPECT_EQ(std::count(found.begin(), found.end(), "C:\\U\\open\\x.dll"), 1);
    if (::geteuid() != 0) {
        EXPECT_EQ(found.size(), 1u);
    }
}

TEST_F(FilesTest, DrivesAndDirectories) {
    fs::create_directory_symlink(tmp / "no-medium", prefix / "dosdevices" / "a:");
    makeMachine();
    Files f = files();
    EXPECT_EQ(f.diskFree(1), -1); // A: has no medium
    EXPECT_GT(f.diskFree(3), 0);
    // The current drive is the medium's D: (same file system; other writers may move the figure).
    EXPECT_NEAR(static_cast<double>(f.diskFree(0)), static_cast<double>(f.diskFree(4)), 256e6);
    EXPECT_EQ(f.diskFree(27), -1);
    auto drives = f.listDrives();
    EXPECT_EQ(std::string(drives.begin(), drives.end()), "ACD");
    fs::create_directories(driveC() / "WINDOWS" / "Fonts");
    fs::create_directories(driveC() / "WINDOWS" / ".cache");
    EXPECT_EQ(f.listSubdirectories("C:\\WINDOWS"), (std::vector<std::string>{"Fonts", "SYSTEM"}));
    EXPECT_THROW(f.enter("A:"), PlatformError);
    EXPECT_EQ(machine().currentDirectory(), "D:\\");
    f.enter("C:\\WINDOWS\\Fonts");
    EXPECT_EQ(f.currentDirectoryOf('c'), "C:\\WINDOWS\\Fonts");
    EXPECT_THROW(f.enter("C:\\WINDOWS\\Gone"), PlatformError);
}

// ---------------------------------------------------------------- whole host files

namespace {

// Entries in a directory: the writer leaves nothing of its own beside the files.
std::ptrdiff_t entriesIn(const fs::path& dir) {
    return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
}

fs::perms permissionsOf(const fs::path& path) {
    return fs::status(path).permissions();
}

// The permissions a new file asked for with `mode` gets under the process's umask.
fs::perms underUmask(mode_t mode) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<fs::perms>(mode & ~mask);
}

} // namespace

TEST(HostFile, ReadsWholeFilesAndTellsMissingFromUnreadable) {
    TempDir tmp;
    const std::string content = std::string("a\0b\r\n", 5) + std::string(200000, 'x');
    writeFile(tmp / "whole", content);
    EXPECT_EQ(readHostFile(tmp / "whole"), content);
    EXPECT_EQ(readHostFile(tmp / "missing"), std::nullopt);
    EXPECT_EQ(readHostFile(tmp / "missing" / "deeper"), std::nullopt);
    EXPECT_EQ(readHostFile(tmp / "whole" / "below a file"), std::nullopt);

    const auto step = [](const fs::path& path) -> std::optional<HostFileError::Step> {
        try {
            readHostFile(path);
        } catch (const HostFileError& e) {
            EXPECT_EQ(e.file(), path);
            EXPECT_NE(std::string(e.what()).find(path.string() + ": cannot be read: "),
                      std::string::npos)
                << e.what();
            return e.step();
        }
        return std::nullopt;
    };
    EXPECT_EQ(step(tmp.path()), HostFileError::Step::Open);
    // A pipe is refused at once rather than waited on.
    ASSERT_EQ(::mkfifo((tmp / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(step(tmp / "pipe"), HostFileError::Step::Open);
    writeFile(tmp / "locked", "secret");
    fs::permissions(tmp / "locked", fs::perms::none);
    if (::geteuid() != 0) { // root reads anything
        EXPECT_EQ(step(tmp / "locked"), HostFileError::Step::Open);
    }
}

TEST(HostFile, ReplacingKeepsTheModeWritesThroughLinksAndLeavesNothingBeside) {
    TempDir tmp;
    writeFile(tmp / "private.ini", "old");
    fs::permissions(tmp / "private.ini", fs::perms::owner_read | fs::perms::owner_write);
    struct stat before {};
    ASSERT_EQ(::stat((tmp / "private.ini").c_str(), &before), 0);
    writeHostFile(tmp / "private.ini", "new");
    EXPECT_EQ(readFile(tmp / "private.ini"), "new");
    EXPECT_EQ(permissionsOf(tmp / "private.ini"), fs::perms::owner_read | fs::perms::owner_write);
    struct stat after {};
    ASSERT_EQ(::stat((tmp / "private.ini").c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino) << "renamed into place, not rewritten";

    fs::create_symlink("private.ini", tmp / "link.ini");
    writeHostFile(tmp / "link.ini", "through");
    EXPECT_TRUE(fs::is_symlink(tmp / "link.ini"));
    EXPECT_EQ(readFile(tmp / "private.ini"), "through");

    writeHostFile(tmp / "new.txt", "", 0640);
    EXPECT_EQ(readFile(tmp / "new.txt"), "");
    EXPECT_EQ(permissionsOf(tmp / "new.txt"), underUmask(0640));
    EXPECT_EQ(entriesIn(tmp.path()), 3); // private.ini, link.ini, new.txt
}

TEST(HostFile, WritesThatCannotHappenRaiseAndChangeNothing) {
    TempDir tmp;
    writeFile(tmp / "ro.ini", "kept");
    fs::permissions(tmp / "ro.ini", fs::perms::owner_read);
    fs::create_directory(tmp / "folder.ini");
    fs::create_symlink("nowhere", tmp / "dangling.ini");
    fs::create_directory(tmp / "closed");
    fs::permissions(tmp / "closed", fs::perms::owner_read | fs::perms::owner_exec);
    const auto entries = entriesIn(tmp.path());

    // Owner-write bits bind the superuser as well: these fail for every user.
    const std::pair<fs::path, int> cases[] = {
        {tmp / "missing" / "x.ini", ENOENT}, {tmp / "ro.ini", EACCES},
        {tmp / "folder.ini", EISDIR},        {tmp / "dangling.ini", ENOENT},
        {tmp / "closed" / "x.ini", EACCES},
    };
    for (const auto& [file, error] : cases) {
        try {
            writeHostFile(file, "new");
            ADD_FAILURE() << file << " was written";
        } catch (const HostFileError& e) {
            EXPECT_EQ(e.step(), HostFileError::Step::Write) << file;
            EXPECT_EQ(e.error(), error) << file << ": " << e.what();
            EXPECT_EQ(e.file(), file);
        }
    }
    EXPECT_EQ(readFile(tmp / "ro.ini"), "kept");
    EXPECT_EQ(entriesIn(tmp.path()), entries);
    EXPECT_TRUE(fs::is_empty(tmp / "closed"));
}

TEST(HostFile, AWritableFileInAClosedDirectoryIsWrittenInPlace) {
    // The directory takes no temporary file, but the file's own mode allows writing: as on
    // Windows, the file's protection decides. Every other write stays atomic.
    TempDir tmp;
    fs::create_directory(tmp / "closed");
    writeFile(tmp / "closed" / "dialer.ini", std::string(5000, 'o'));
    fs::create_symlink("closed/dialer.ini", tmp / "link.ini");
    struct stat before {};
    ASSERT_EQ(::stat((tmp / "closed" / "dialer.ini").c_str(), &before), 0);
    fs::permissions(tmp / "closed", fs::perms::owner_read | fs::perms::owner_exec);

    EXPECT_TRUE(hostFileWritable(tmp / "closed" / "dialer.ini"));
    EXPECT_FALSE(hostFileWritable(tmp / "closed" / "new.ini"));
    writeHostFile(tmp / "closed" / "dialer.ini", "[s]\r\nk=shorter\r\n");
    EXPECT_EQ(readFile(tmp / "closed" / "dialer.ini"), "[s]\r\nk=shorter\r\n")
        << "the old, longer content is cut";
    writeHostFile(tmp / "link.ini", std::string(9000, 'n'));
    EXPECT_EQ(readFile(tmp / "closed" / "dialer.ini"), std::string(9000, 'n'));
    struct stat after {};
    ASSERT_EQ(::stat((tmp / "closed" / "dialer.ini").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the same file, written over";
    EXPECT_EQ(entriesIn(tmp / "closed"), 1) << "no temporary file";
    EXPECT_THROW(writeHostFile(tmp / "closed" / "new.ini", "x"), HostFileError);

    fs::permissions(tmp / "closed" / "dialer.ini", fs::perms::owner_read);
    EXPECT_FALSE(hostFileWritable(tmp / "closed" / "dialer.ini"));
    EXPECT_THROW(writeHostFile(tmp / "closed" / "dialer.ini", "x"), HostFileError);
    EXPECT_EQ(readFile(tmp / "closed" / "dialer.ini"), std::string(9000, 'n'));
    fs::permissions(tmp / "closed", fs::perms::owner_all);
}

TEST(HostFile, CreatingKeepsWhatIsThere) {
    TempDir tmp;
    writeFile(tmp / "there", "theirs");
    fs::create_symlink("nowhere", tmp / "dangling");
    EXPECT_FALSE(createHostFile(tmp / "there", "mine"));
    EXPECT_FALSE(createHostFile(tmp / "dangling", "mine"));
    EXPECT_EQ(readFile(tmp / "there"), "theirs");
    EXPECT_FALSE(fs::exists(tmp / "nowhere"));

    EXPECT_TRUE(createHostFile(tmp / "launcher", "#!/bin/sh\n", 0755));
    EXPECT_EQ(readFile(tmp / "launcher"), "#!/bin/sh\n");
    EXPECT_EQ(permissionsOf(tmp / "launcher"), underUmask(0755));
    EXPECT_EQ(entriesIn(tmp.path()), 3); // there, dangling, launcher
    EXPECT_THROW(createHostFile(tmp / "missing" / "x", "x"), HostFileError);
}
