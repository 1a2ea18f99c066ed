// Copying file contents: in the kernel where it can, through the one small buffer where it
// cannot (a pipe, a descriptor opened for appending, another file system), from and to each
// descriptor's position, and never past what was asked.
#include "tests/support/fixtures.h"
#include "winemu/host_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace zel::test {
namespace {

TEST(CopyHostFileData, CopiesFromEachPositionWhateverTheDescriptors) {
    enum class End { File, Pipe, Appending, RamFile }; // a RAM file is on another file system
    const struct {
        const char* name;
        End source, target;
        std::int64_t count;
        bool ok;
    } rows[] = {
        {"kernel copy", End::File, End::File, 4993, true},
        {"part of the file", End::File, End::File, 100, true},
        {"nothing asked", End::File, End::File, 0, true},
        {"source is a pipe", End::Pipe, End::File, 4993, true},
        {"part of a pipe", End::Pipe, End::File, 100, true},
        {"target appends", End::File, End::Appending, 4993, true},
        {"another file system", End::RamFile, End::File, 4993, true},
        {"file ends early", End::File, End::File, 4994, false},
        {"pipe ends early", End::Pipe, End::File, 6000, false},
    };
    std::string content;
    for (int i = 0; i < 5000; ++i)
        content += char('A' + (i * 7 + i / 26) % 26);
    constexpr std::size_t kSkipped = 7; // read from the source's current position
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir tmp;
        writeFile(tmp / "target", "head");
        FileDescriptor out(::open((tmp / "target").c_str(),
                                  O_WRONLY | (row.target == End::Appending ? O_APPEND : 0)));
        int fds[2] = {-1, -1}; // the source's reading and writing ends
        if (row.source == End::Pipe)
            ASSERT_EQ(::pipe(fds), 0);
        else
            fds[0] = fds[1] = row.source == End::RamFile
                                  ? ::memfd_create("source", 0)
                                  : ::open((tmp / "source").c_str(), O_RDWR | O_CREAT, 0600);
        FileDescriptor in(fds[0]), writer(fds[1] == fds[0] ? -1 : fds[1]);
        ASSERT_EQ(::write(fds[1], content.data(), content.size()), 5000);
        writer.reset(); // the pipe's reader then finds its end
        char skipped[kSkipped];
        ASSERT_EQ(row.source == End::Pipe ? ::read(fds[0], skipped, kSkipped)
                                          : ::lseek(fds[0], kSkipped, SEEK_SET),
                  ssize_t(kSkipped));
        ASSERT_EQ(::lseek(out.get(), 0, SEEK_END), 4); // and written at the target's position
        char buffer[2048];
        EXPECT_EQ(copyHostFileData(in.get(), out.get(), row.count, buffer), row.ok);
        if (row.ok) {
            EXPECT_EQ(readFile(tmp / "target"),
                      "head" + content.substr(kSkipped, std::size_t(row.count)));
        }
    }
}

} // namespace
} // namespace zel::test
