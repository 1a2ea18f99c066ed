// The machine's files, finding, the walk and drives; whole host files and their copies.
#include "tests/support/fixtures.h"
#include "winemu/errors.h"
#include "winemu/files.h"
#include "winemu/host_file.h"
#include "winemu/iso_image.h"
#include "winemu/sha256.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>

namespace zel::test {
namespace {

using Numbers = std::vector<std::int64_t>;
using Lines = std::optional<std::vector<std::string>>;

// Sorted and joined by blanks: what a listing holds whatever the directory's order.
std::string sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    const std::string out = joined(names, " ");
    return out.empty() ? out : out.substr(0, out.size() - 1); // no blank after the last
}

TEST_F(MachineTest, FilesAreReadWrittenRenamedAndDeletedAsWindowsDoesIt) {
    Files f(machine());
    writeFile(driveC() / "data.bin", "old and longer content");
    writeFile(driveC() / "ro.txt", "keep");
    fs::permissions(driveC() / "ro.txt", fs::perms::owner_read); // read-only, also to root
    fs::create_symlink("ro.txt", driveC() / "link.txt");
    fs::create_symlink("nowhere", driveC() / "dangling.txt");
    FileDescriptor out = f.createFile("C:\\data.bin"); // emptied
    EXPECT_EQ((Numbers{f.write(out, "hello world", 11), f.write(out, "", 0), f.write(out, "", -1)}),
              (Numbers{11, 0, -1}));
    EXPECT_TRUE(f.setFileDate(out, toDosTime(1000000001))); // an odd second rounds down
    EXPECT_EQ(toDosTime(0), ((1u << 5) | 1u) << 16);        // before 1980: 1 January 1980
    // The copy rounds as the packed form's round trip: before 1980, after 2107, summer, local.
    for (const char* zone : {"CET-1CEST,M3.5.0,M10.5.0/3", ":/etc/localtime"}) {
        ::setenv("TZ", zone, 1);
        ::tzset();
        for (const std::int64_t t : {1000000001LL, 1000000000LL, 0LL, 4354819201LL})
            EXPECT_EQ(dosTimeRounded(t), fromDosTime(toDosTime(t))) << zone << " " << t;
    }
    out.reset(); // closed when let go
    const FileDescriptor in = f.openRead("c:\\DATA.BIN");
    char buf[16] = {};
    // Seek origins: 0 the start, 1 the current position, 2 the end.
    EXPECT_EQ(
        (Numbers{f.seek(in, 6, 0), f.seek(in, -2, 1), f.seek(in, -1, 2), f.seek(in, -1, 0),
                 f.seek(in, 0, 0), f.read(in, buf, 0), f.read(in, buf, -1),
                 f.read(in, buf, sizeof buf), fromDosTime(f.getFileDate(in)), f.write(in, "x", 1)}),
        (Numbers{6, 4, 10, -1, 0, 0, -1, 11, 1000000000, -1}));
    EXPECT_EQ(std::string(buf), "hello world");
    // clang-format off
    const std::pair<bool, bool> steps[] = { // in order, with what each answers
        {f.fileExists("C:\\DATA.BIN") && !f.fileExists("C:\\WINDOWS") && !f.fileExists("Q:\\x"), true},
        {f.openRead("C:\\WINDOWS") || f.openRead("Q:\\x") || f.createFile("C:\\WINDOWS") ||
             f.createFile("C:\\ro.txt") || f.createFile("C:\\no\\x"), false},
        // A rename needs a source and no target, not even a dangling link.
        {f.renameFile("C:\\data.bin", "C:\\RO.TXT") || f.renameFile("C:\\data.bin", "C:\\dangling.txt") ||
             f.renameFile("C:\\none", "C:\\d"), false},
        {f.renameFile("C:\\data.bin", "C:\\c.zel") && f.deleteFile("C:\\C.ZEL"), true},
        {f.deleteFile("C:\\C.ZEL") || f.deleteFile("C:\\WINDOWS") || f.deleteFile("C:\\ro.txt"), false},
        {f.deleteFile("C:\\link.txt") && f.createDirectory("C:\\NEW"), true}, // the link, not its target
        {f.createDirectory("C:\\NEW") || f.createDirectory("C:\\NO\\PARENT"), false},
    };
    // clang-format on
    for (std::size_t i = 0; i < std::size(steps); ++i)
        EXPECT_EQ(steps[i].first, steps[i].second) << "step " << i;
}

// Lines at every line end; what is no file of its drive, or larger than asked, is missing.
TEST_F(MachineTest, ReadTextFileSplitsLinesAndRefusesWhatIsNoFileOfItsDrive) {
    Files f(machine());
    writeFile(driveC() / "lic.txt", "\r\none\rtwo\nthree\r\nfour\r\n\r\nsix");
    EXPECT_EQ(f.readTextFile("C:\\LIC.TXT"), Lines({"", "one", "two", "three", "four", "", "six"}));
    writeFile(driveC() / "empty.txt", "");
    EXPECT_EQ(f.readTextFile("C:\\empty.txt"), Lines(std::vector<std::string>{}));
    ASSERT_EQ(::mkfifo((driveC() / "fifo.txt").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", driveC() / "zero.txt");
    writeFile(tmp / "outside.txt", "host secret");
    fs::create_symlink(tmp / "outside.txt", driveC() / "out.txt");
    writeFile(driveC() / "big.txt", std::string(101, 'b'));
    writeFile(driveC() / "fits.txt", std::string(100, 'f'));
    fs::create_symlink("fits.txt", driveC() / "alias.txt");
    for (const char* refused : {"C:\\none.txt", "C:\\lic.txt\\x.txt", "Q:\\x.txt", "C:\\fifo.txt",
                                "C:\\zero.txt", "C:\\out.txt", "C:\\big.txt"})
        EXPECT_EQ(f.readTextFile(refused, 100), std::nullopt) << refused;
    for (const char* read : {"C:\\fits.txt", "C:\\alias.txt"})
        EXPECT_EQ(f.readTextFile(read, 100), Lines({std::string(100, 'f')})) << read;
    EXPECT_EQ(f.readTextFile("C:\\big.txt"), Lines({std::string(101, 'b')}));
}

TEST_F(MachineTest, FindingMatchesAsWindowsFiltersByAttributeAndPutsTheExactSpellingFirst) {
    // clang-format off
    const std::tuple<const char*, const char*, bool> rows[] = {
        {"*", "ANY.TXT", true},       {"*.*", "NAME", true},          {"*.*", "", true},
        {"~SOCK32.DLL", "~sock32.dll", true},  {"\xe7*", "\xc7X", true}, {"?", "", false},
        {"a?c*.t*", "ABCdef.txt", true}, {"a?c", "ac", false},        {"*ab", "aab", true},
        {"*.dll", "x.dl", false},     {"*.dll", "x.dll.bak", false},  {"a*c", "abbc", true},
        {"ab*", "AB", true},          {"ab**", "AB", true},           {"ab", "abc", false},
        {"abc", "ab", false},         {"*.TXT", "README", false},
        // A trailing ".*" also matches a name without an extension, and only such a name.
        {"X.*", "X", true},           {"X.*", "Y", false},            {".*", "", true},
        {"NAME.X", "NAME", false},    {"A?B.*", "A.B", false},        {"ab*bc", "abc", false},
    };
    // clang-format on
    for (const auto& [mask, name, match] : rows)
        EXPECT_EQ(wildcardMatch(mask, name), match) << mask << " / " << name;
    Files f(machine());
    const fs::path t = driveC() / "T";
    fs::create_directories(t / "sub");
    fs::create_directories(t / ".hid");
    for (const char* name : {"file.dll", "FILE.DLL", ".hidden.dll", "Configuração.ini"})
        writeFile(t / name, name);
    fs::create_symlink("nowhere", t / "dangling.dll");
    fs::permissions(t / "file.dll", fs::perms::owner_read);
    const auto find = [&](const char* pattern, std::uint32_t filter) {
        std::vector<std::string> names;
        for (const auto& e : f.findEntries(pattern, filter))
            names.push_back(e.name);
        return sorted(names);
    };
    const std::uint32_t any = attr::AnyFile;
    const std::string files = "Configura\xe7\xe3o.ini FILE.DLL file.dll";
    // clang-format off
    const std::pair<std::string, std::string> finds[] = {
        {find("C:\\T\\*.*", any), ".hid .hidden.dll " + files + " sub"},
        {find("C:\\T\\*.*", attr::Directory), files + " sub"},
        {find("C:\\T\\*", attr::Hidden) + "|" + find("C:\\T\\file.DLL", 0), ".hidden.dll " + files + "|FILE.DLL file.dll"},
        {find("C:\\", any) + find("C:\\no\\*", any) + find("Q:\\*", any) + find("C:\\T\\dangling.dll", any), ""},
        {f.findFirst("C:\\T\\file.dll")->name + " " + f.findFirst("C:\\T\\FILE.DLL")->name, "file.dll FILE.DLL"},
    };
    // clang-format on
    for (const auto& [found, expected] : finds)
        EXPECT_EQ(found, expected);
    EXPECT_EQ(f.findFirst("C:\\nothing*"), std::nullopt);
    const auto file = f.findFirst("C:\\T\\file.dll"), dir = f.findFirst("c:\\t\\SUB");
    EXPECT_EQ((Numbers{file->attributes, file->size, dir->attributes, dir->size}),
              (Numbers{attr::Archive | attr::ReadOnly, 8, attr::Directory, 0}));
    for (const char* name : {"Sd", "sc", "SB", "Sa", "apps", ".cache"})
        fs::create_directories(driveC() / "WINDOWS" / name);
    EXPECT_EQ(f.listSubdirectories("C:\\WINDOWS"),
              (std::vector<std::string>{"apps", "Sa", "SB", "sc", "Sd", "SYSTEM"}));
}

// Files before sub-directories; hidden ones and links skipped.
TEST_F(MachineTest, WalkVisitsFilesBeforeSubdirectoriesAndSurvivesChanges) {
    const fs::path r = driveC() / "R";
    for (const char* file : {"A/B/~sock32.dll", "A/~SOCK32.DLL.bak", "~Sock32.dll",
                             ".hidden/~sock32.dll", "Z/.~sock32.dll", "Z/~sock32.dll"})
        writeFile(r / file, "x");
    fs::create_directory_symlink(r / "A", r / "Z" / "link.dll");
    fs::create_symlink("nowhere", r / "Z" / "dangling.dll");
    ASSERT_TRUE(machine().setCurrentDirectory("C:\\R\\Z"));
    Files f(machine());
    std::vector<std::string> found;
    std::function<WalkAnswer()> answer; // after each file found
    const auto walk = [&](std::string_view start, std::string_view mask) {
        found.clear();
        const bool done = f.walk(start, mask, [&](const std::string& dir, const SearchEntry& e) {
            found.push_back(dir + e.name);
            return answer ? answer() : WalkAnswer::Continue;
        });
        return std::to_string(done) + " " + std::to_string(found.size()) + ": " + sorted(found);
    };
    const std::string z = "C:\\R\\Z\\.~sock32.dll C:\\R\\Z\\~sock32.dll";
    EXPECT_EQ(walk("C:\\R", "~sock32.dll"),
              "1 3: C:\\R\\A\\B\\~sock32.dll C:\\R\\Z\\~sock32.dll C:\\R\\~Sock32.dll");
    EXPECT_EQ(walk("C:\\R\\", "*.dll"),
              "1 4: C:\\R\\A\\B\\~sock32.dll " + z + " C:\\R\\~Sock32.dll");
    EXPECT_EQ(found.at(0), "C:\\R\\~Sock32.dll"); // files before sub-directories
    EXPECT_EQ(walk("", "") + walk("Q:\\", "*.*") + walk("C:\\missing", "*.*") +
                  walk("\\\\s\\x", "*.*"),
              "1 2: " + z + "1 0: 1 0: 1 0: ");
    answer = [&] { return found.size() == 2 ? WalkAnswer::Stop : WalkAnswer::Continue; };
    EXPECT_EQ(walk("C:\\R", "~sock32.dll").substr(0, 4), "0 2:");
}

// Drive numbers: 0 the current drive, 1 A: ... 26 Z:; -1 for a drive without a medium or none.
TEST_F(MachineTest, DriveNumbersAndLetters) {
    fs::create_directories(tmp / "z");
    fs::create_directory_symlink(tmp / "no-medium", prefix / "dosdevices" / "a:");
    for (const char* name : {"z:", "1:", "ab", "e:x", "q", "bb:"}) // only "z:" names a drive
        fs::create_directory_symlink(tmp / "z", prefix / "dosdevices" / name);
    makeMachine();
    Files f(machine());
    const auto letters = f.listDrives();
    EXPECT_EQ(std::string(letters.begin(), letters.end()), "ACDZ");
    std::string known;
    for (int number = -1; number <= 27; ++number)
        known += f.diskFree(number) == -1 ? '-' : '+';
    EXPECT_EQ(known, "-+--++---------------------+-"); // -1, 0 (D:), A: ... Z:, 27
    EXPECT_EQ(errorOf([&] { f.enter("A:"); }) + "|" + errorOf([&] { f.enter("1:"); }),
              "N\xe3o foi poss\xedvel entrar em A:|N\xe3o foi poss\xedvel entrar em 1:");
    EXPECT_EQ(machine().currentDirectory() + f.currentDirectoryOf('z'), "D:\\Z:\\");
    fs::create_directories(driveC() / "WINDOWS" / "Fonts");
    f.enter("C:\\WINDOWS\\Fonts");
    f.enter("z:");
    EXPECT_EQ(machine().currentDirectory() + f.currentDirectoryOf('c'), "Z:\\C:\\WINDOWS\\Fonts");
}

// An image that cannot be read, or with no place to be extracted, is refused saying why; a
// relative TMPDIR, which would depend on where the program runs, is passed over for /tmp.
TEST(IsoImage, WhatCannotBeReadOrHasNoPlaceToGoIsSaid) {
    const TempDir tmp;
    writeFile(tmp / "junk.iso", std::string(70000, 'x'));
    const auto unread = [](const fs::path& image, const std::string& why) {
        return "A imagem " + image.string() + " n\xe3o p\xf4" + "de ser lida" + why +
               "; nada foi instalado";
    };
    const struct {
        fs::path image;
        const char* tmpdir;
        std::string said;
    } rows[] = {
        {tmp / "nada.iso", "/tmp", unread(tmp / "nada.iso", " (arquivo ou pasta inexistente)")},
        {tmp.path(), "/tmp", unread(tmp.path(), " (\xe9 uma pasta)")},
        {tmp / "junk.iso", "/nenhuma",
         "N\xe3o foi poss\xedvel criar uma pasta tempor\xe1ria em /nenhuma para a imagem: "
         "arquivo ou pasta inexistente"},
        {tmp / "junk.iso", "nenhuma",
         unread(tmp / "junk.iso",
                ": n\xe3o \xe9 uma imagem de CD (ISO 9660) ou est\xe1 danificada")},
    };
    for (const auto& row : rows) {
        ::setenv("TMPDIR", row.tmpdir, 1);
        EXPECT_EQ(errorOf([&] { const ExtractedImage image(row.image); }), row.said);
    }
    ::unsetenv("TMPDIR");
}

// What is no file in a folder is refused saying why, by each way of writing; nothing is left.
TEST(HostFile, WhatIsNoFileInAFolderIsNotWritten) {
    TempDir tmp;
    writeFile(tmp / "file", "x");
    ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0600), 0);
    const std::tuple<fs::path, int, bool> rows[] = {
        // where, why, and whether nothing is there
        {tmp / "file" / "x", ENOTDIR, true}, {tmp / "none" / "x", ENOENT, true},
        {tmp / "dir/", EISDIR, true},        {tmp / "fifo", EINVAL, false},
        {tmp.path(), EISDIR, false},
    };
    for (const auto& [path, error, nothing] : rows) {
        const std::string said = path.string() + ": cannot be written: " + std::strerror(error);
        EXPECT_EQ(errorOf([&] { writeHostFile(path, "y"); }), said);
        EXPECT_FALSE(hostFileWritable(path)) << path;
        EXPECT_EQ(errorOf([&] { createHostFile(path, "y"); }), nothing ? said : "") << path;
    }
    // A name with no room for the temporary's dot and number beside it: said as it is.
    const fs::path longName = tmp / std::string(254, 'n');
    EXPECT_EQ(errorOf([&] { writeHostFile(longName, "y"); }),
              longName.string() + ": cannot be written: " + std::strerror(ENAMETOOLONG));
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), {}), 2);
    // In a folder that takes no new names the file is written in place, by whoever may write it.
    if (::geteuid() != 0)
        return; // only the superuser can hand the folder to another user
    writeFile(tmp / "closed" / "file", "old");
    ASSERT_EQ(::chown((tmp / "closed").c_str(), 65534, 65534) +
                  ::chown((tmp / "closed" / "file").c_str(), 65534, 65534),
              0);
    fs::permissions(tmp / "closed", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(asNobody(tmp, [&] { writeHostFile(tmp / "closed" / "file", "new"); }), 0);
    EXPECT_EQ(readFile(tmp / "closed" / "file"), "new");
}

// A full disk raises, the old file kept whole with nothing beside it, also written in place.
TEST(HostFile, AFullDiskKeepsTheOldFileANewFileIsMadeOnlyWhereNothingIsAndCopiesStopInTime) {
    TempDir tmp;
    writeFile(tmp / "file", "old");
    writeFile(tmp / "closed" / "file", "old in place");
    fs::permissions(tmp / "closed", fs::perms::owner_read | fs::perms::owner_exec);
    for (const fs::path& file : {tmp / "file", tmp / "closed" / "file", tmp / "new"}) {
        const std::string before = readFile(file);
        const auto write = [&] {
            fullDisk();
            ::_exit(errorOf([&] { writeHostFile(file, std::string(400000, 'a')); }) ==
                            file.string() + ": cannot be written: " + std::strerror(EFBIG)
                        ? 1
                        : 2);
        };
        EXPECT_EQ(inChild(write), 1) << file;
        EXPECT_EQ(readFile(file), before);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), {}), 2); // file, closed
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp / "closed"), {}), 1);
    // Made only where nothing is, even a dangling link; written through a link, the link stays.
    fs::create_symlink("nowhere", tmp / "dangling");
    fs::create_symlink("new", tmp / "link");
    std::string made;
    for (const auto& [name, content] : {std::pair{"new", "one"}, {"new", "two"}, {"dangling", "3"}})
        made += std::to_string(createHostFile(tmp / name, content, 0640));
    EXPECT_EQ(made + readFile(tmp / "new"), "100one");
    // Made by someone else while ours was being written: theirs stays.
    const FileDescriptor watch(::inotify_init1(IN_CLOEXEC));
    ASSERT_GE(::inotify_add_watch(watch.get(), tmp.path().c_str(), IN_CREATE), 0);
    std::jthread other([&] {
        char event[4096];
        ASSERT_GT(::read(watch.get(), event, sizeof event), 0); // our temporary file
        writeFile(tmp / "raced", "theirs");
    });
    EXPECT_FALSE(createHostFile(tmp / "raced", std::string(32 << 20, 'o'), 0640));
    other.join();
    EXPECT_EQ(readFile(tmp / "raced"), "theirs");
    EXPECT_THROW(writeHostFile(tmp / "dangling", "four"), HostFileError);
    writeHostFile(tmp / "link", "five");
    EXPECT_TRUE(fs::is_symlink(tmp / "link") && !fs::exists(tmp / "nowhere"));
    EXPECT_EQ(readFile(tmp / "new"), "five");
    EXPECT_FALSE(readHostFile(tmp / "nowhere") || readHostFile(tmp / "new" / "x")); // none there
    EXPECT_EQ(fs::status(tmp / "new").permissions(), // kept when written over
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // A read that fails is an error, neither tried again nor taken for the end.
    const std::string unreadable =
        "/proc/self/mem: cannot be read: " + std::string(std::strerror(EIO));
    EXPECT_EQ(errorOf([] { readHostFile("/proc/self/mem"); }), unreadable);
    EXPECT_EQ(errorOf([] { sha256OfFile("/proc/self/mem"); }), unreadable);
    if (::geteuid() == 0) { // a read-only tree goes whole for an owner who is not root too
        writeFile(tmp / "mine" / "ro" / "sub" / "file", "x");
        runCommand("cd " + tmp.path().string() + " && chown -R 65534 mine && chmod -R a-w mine/ro");
        EXPECT_EQ(asNobody(tmp, [&] { removeReadOnlyTree(tmp / "mine" / "ro"); }), 0);
        EXPECT_FALSE(fs::exists(tmp / "mine" / "ro"));
    }
    // Copied in the kernel or through the buffer, from and to each position, never past the ask.
    enum class End { File, Pipe, Appending, RamFile }; // a RAM file is on another file system
    const std::tuple<const char*, End, End, std::int64_t, bool> rows[] = {
        // clang-format off
        {"kernel copy", End::File, End::File, 4993, true}, {"part of the file", End::File, End::File, 100, true},
        {"nothing asked", End::File, End::File, 0, true}, {"source is a pipe", End::Pipe, End::File, 4993, true},
        {"part of a pipe", End::Pipe, End::File, 100, true}, {"target appends", End::File, End::Appending, 4993, true},
        {"another file system", End::RamFile, End::File, 4993, true}, {"file ends early", End::File, End::File, 4994, false},
        {"pipe ends early", End::Pipe, End::File, 6000, false},
        // clang-format on
    };
    std::string content;
    for (int i = 0; i < 5000; ++i)
        content += char('A' + (i * 7 + i / 26) % 26);
    constexpr std::size_t kSkipped = 7; // read from the source's current position
    for (const auto& [name, source, target, count, ok] : rows) {
        SCOPED_TRACE(name);
        TempDir tmp;
        writeFile(tmp / "target", "head");
        FileDescriptor out(
            ::open((tmp / "target").c_str(), O_WRONLY | (target == End::Appending ? O_APPEND : 0)));
        int fds[2] = {-1, -1}; // the source's reading and writing ends
        if (source == End::Pipe)
            ASSERT_EQ(::pipe(fds), 0);
        else
            fds[0] = fds[1] = source == End::RamFile
                                  ? ::memfd_create("source", 0)
                                  : ::open((tmp / "source").c_str(), O_RDWR | O_CREAT, 0600);
        FileDescriptor in(fds[0]), writer(fds[1] == fds[0] ? -1 : fds[1]);
        ASSERT_EQ(::write(fds[1], content.data(), content.size()), 5000);
        writer.reset(); // the pipe's reader then finds its end
        char skipped[kSkipped];
        ASSERT_EQ(source == End::Pipe ? ::read(fds[0], skipped, kSkipped)
                                      : ::lseek(fds[0], kSkipped, SEEK_SET),
                  ssize_t(kSkipped));
        ASSERT_EQ(::lseek(out.get(), 0, SEEK_END), 4); // and written at the target's position
        char buffer[2048];
        errno = EINTR; // left from before: the end of the source is no interruption
        EXPECT_EQ(copyHostFileData(in.get(), out.get(), count, buffer), ok);
        if (ok) {
            EXPECT_EQ(readFile(tmp / "target"),
                      "head" + content.substr(kSkipped, std::size_t(count)));
        }
    }
}

} // namespace
} // namespace zel::test
