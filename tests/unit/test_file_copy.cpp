// Copying file contents: in the kernel where it can, through the one small buffer where it
// cannot (a pipe, a descriptor opened for appending, another file system), with the same
// result either way.
#include "setup/install.h"
#include "tests/support/fixtures.h"
#include "winemu/host_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel::test {
namespace {

std::string pattern(std::size_t size) {
    std::string s;
    for (std::size_t i = 0; i < size; ++i)
        s += char('A' + (i * 7 + i / 26) % 26);
    return s;
}

TEST(CopyHostFileData, CopiesFromEachPositionWhateverTheDescriptors) {
    enum class End { File, Pipe, Appending };
    struct Row {
        const char* name;
        End source, target;
        std::int64_t count;
        bool ok;
    };
    const Row rows[] = {
        {"kernel copy", End::File, End::File, 4993, true},
        {"part of the file", End::File, End::File, 100, true},
        {"nothing asked", End::File, End::File, 0, true},
        {"source is a pipe", End::Pipe, End::File, 4993, true},
        {"part of a pipe", End::Pipe, End::File, 100, true},
        {"target appends", End::File, End::Appending, 4993, true},
        {"file ends early", End::File, End::File, 4994, false},
        {"pipe ends early", End::Pipe, End::File, 6000, false},
    };
    const std::string content = pattern(5000);
    constexpr std::size_t kSkipped = 7; // the source is read from its current position
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir tmp;
        writeFile(tmp / "source", content);
        writeFile(tmp / "target", "head");
        FileDescriptor in, out;
        if (row.source == End::Pipe) {
            int fds[2];
            ASSERT_EQ(::pipe(fds), 0);
            in.reset(fds[0]);
            FileDescriptor writer(fds[1]);
            const std::string rest = content.substr(kSkipped);
            ASSERT_EQ(::write(writer.get(), rest.data(), rest.size()), ssize_t(rest.size()));
        } else {
            in.reset(::open((tmp / "source").c_str(), O_RDONLY));
            ASSERT_EQ(::lseek(in.get(), kSkipped, SEEK_SET), off_t(kSkipped));
        }
        out.reset(::open((tmp / "target").c_str(),
                         O_WRONLY | (row.target == End::Appending ? O_APPEND : 0)));
        ASSERT_TRUE(in && out);
        if (row.target == End::File) {
            ASSERT_EQ(::lseek(out.get(), 0, SEEK_END), 4);
        }
        char buffer[2048];
        EXPECT_EQ(copyHostFileData(in.get(), out.get(), row.count, buffer), row.ok);
        if (row.ok) {
            EXPECT_EQ(readFile(tmp / "target"),
                      "head" + content.substr(kSkipped, std::size_t(row.count)));
        }
    }
}

// A medium on another file system (a RAM disk beside the disk's prefix): the kernel will not
// copy between them, and the copy still takes the content, the date and the mode, new or
// over an earlier copy.
TEST_F(MachineTest, ACopyFromAnotherFileSystemTakesContentDateAndMode) {
    struct stat shm {
    }, here{};
    char dir[] = "/dev/shm/zel-medium-XXXXXX";
    if (::stat("/dev/shm", &shm) != 0 || ::stat(tmp.path().c_str(), &here) != 0 ||
        shm.st_dev == here.st_dev || !::mkdtemp(dir))
        GTEST_SKIP() << "no second file system at /dev/shm";
    struct Remove {
        fs::path path;
        ~Remove() { fs::remove_all(path); }
    } remove{dir};
    fs::create_directory_symlink(dir, prefix / "dosdevices" / "e:");
    makeMachine();
    const mode_t umask = ::umask(0);
    for (const std::string& content : {pattern(5000), pattern(70000)}) {
        SCOPED_TRACE(content.size());
        writeFile(fs::path(dir) / "PROG.EXE", content);
        ::chmod((fs::path(dir) / "PROG.EXE").c_str(), 0750);
        const struct timespec odd[2] = {{1'000'000'001, 0}, {1'000'000'001, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (fs::path(dir) / "PROG.EXE").c_str(), odd, 0), 0);
        Files files(machine());
        ASSERT_TRUE(fileCopy(files, "E:\\PROG.EXE", "C:\\PROG.EXE"));
        struct stat copied {};
        ASSERT_EQ(::stat((driveC() / "PROG.EXE").c_str(), &copied), 0);
        EXPECT_EQ(readFile(driveC() / "PROG.EXE"), content);
        EXPECT_EQ(copied.st_mtime, 1'000'000'000);
        EXPECT_EQ(copied.st_mode & 0777, 0750u);
    }
    ::umask(umask);
    for (const auto& e : fs::directory_iterator(driveC()))
        EXPECT_FALSE(e.path().filename().string().starts_with(".zelcopy-")) << e.path();
}

} // namespace
} // namespace zel::test
