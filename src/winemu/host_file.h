#pragma once
// Whole files on the host: read in one piece, and written in one piece so that nobody ever
// finds half of a write. Every file the layer keeps (profile files, the registry file, Program
// Manager's store, the machine's own launcher) is read and written through these.
#include "winemu/errors.h"

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>

namespace zel {

// A system call made again for as long as a signal interrupts it: its answer, or -1 with errno
// saying why it failed. Only a failure says it was interrupted: errno may be left from before.
template <typename Call> auto uninterrupted(Call call) {
    for (;;) {
        const auto answer = call();
        if (answer >= 0 || errno != EINTR)
            return answer;
    }
}

// An open descriptor, closed exactly once: by close() or when its owner goes.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Hands the descriptor over; this one holds none afterwards.
    int release() noexcept { return std::exchange(fd_, -1); }
    // Closes the one held (if any) and holds fd instead.
    void reset(int fd = -1) noexcept;
    // Closes now. False when close reports an error: a write the system had delayed failed.
    bool close() noexcept;

private:
    int fd_ = -1;
};

// A host file that could not be read or written: the step that failed, the file and the
// system's reason (an errno value). The message says all three.
class HostFileError : public PlatformError {
public:
    enum class Step { Open, Read, Write, Replace };
    HostFileError(Step step, std::filesystem::path file, int error);

    Step step() const { return step_; }
    const std::filesystem::path& file() const { return file_; }
    int error() const { return error_; }

private:
    Step step_;
    std::filesystem::path file_;
    int error_;
};

// The whole content of a regular file; nothing when there is no such file (nor its directory).
// Raises HostFileError when it exists but cannot be read, a directory or other non-regular
// file included (which is never opened for reading, so a pipe cannot block the reader).
std::optional<std::string> readHostFile(const std::filesystem::path& file);
// The same for a file that must itself be no link (its directories may be): a link raises
// HostFileError (ELOOP), so nothing is read from wherever a link points.
std::optional<std::string> readHostFileNoLink(const std::filesystem::path& file);
// Whether two regular files hold the same bytes, compared piece by piece (neither is held in
// memory whole). False when either is missing; raises HostFileError when one exists but cannot
// be read.
bool sameHostFileContent(const std::filesystem::path& a, const std::filesystem::path& b);
// The rest of a file open on `fd`, read whole (`size` is what it is expected to hold); nothing
// when it holds more than maxBytes. Raises HostFileError naming the file when a read fails.
std::optional<std::string> readOpenHostFile(int fd, const std::filesystem::path& file,
                                            std::size_t size, std::size_t maxBytes);

// Replaces a file whole, or creates it: a hidden temporary file beside it is written, synced
// and renamed over it, and the directory is synced, so a crash or a full disk leaves the old
// content or the new one, never part of either. A replaced file keeps its mode (and its owner
// where the user may give it away); a new file gets newFileMode less the umask, by default
// writable by its owner only, so no umask can hand another user the layer's files. A symbolic link
// is written through, to the file it names. The directory and an existing file must be
// writable by the user, and a file without its owner-write bit is read-only also to the
// superuser. Raises HostFileError on failure; no temporary file is left behind then.
// One exception: an existing file that the user may write, in a directory that takes no new
// names, is written in place (its own protection decides, as on Windows); space for the new
// content is claimed before the old is overwritten, so a full disk leaves it as it was.
void writeHostFile(const std::filesystem::path& file, std::string_view content,
                   mode_t newFileMode = 0644);

// Whether writeHostFile may write the file (the checks it makes before it writes anything).
bool hostFileWritable(const std::filesystem::path& file);

// The same for a file that must not exist yet: true when it was created, false (nothing
// written, the file as it was) when something of that name is already there.
bool createHostFile(const std::filesystem::path& file, std::string_view content,
                    mode_t newFileMode = 0644);

// Copies `count` bytes from the current position of the open file `from` to that of `to`.
// The kernel copies file to file where it can (no data passes through the process, and a file
// system that shares or clones blocks does so); where it cannot (another kind of file system,
// a descriptor that is no regular file, a kernel without the call) the rest goes through
// `buffer`, so a copy never needs memory of its own. False on a read or write error, or when
// `from` ends before `count` bytes (a file that shrank while being copied).
bool copyHostFileData(int from, int to, std::int64_t count, std::span<char> buffer);

// Makes the names just created in or renamed into a directory durable (best effort: some file
// systems cannot sync a directory).
void syncDirectory(const std::filesystem::path& dir);

// Writes all of `data` on `fd`, again after an interrupted write. False when a write fails
// (errno tells why; EIO when the descriptor takes nothing). No allocation, so a child between
// fork and exec may use it.
bool writeAll(int fd, std::string_view data);

// What a symbolic link holds, read with one call where it fits in PATH_MAX (the copy reads one
// per file); ec is set when it is no link or cannot be read.
std::filesystem::path linkTarget(const std::filesystem::path& link, std::error_code& ec);

// A host path as other processes name it: one through this process's open directory
// ("/proc/self/fd/N/rest") becomes that directory's own path and the rest; any other text is
// given back as it is.
std::string outsideThisProcess(std::string_view path);

// A seed for the random part of temporary names. Taken from the kernel without opening a
// file, so it works when the process has no descriptor to spare (std::random_device may need
// one and throws without it); the clock and process id stand in when the kernel has none.
std::uint64_t temporaryNameSeed();

} // namespace zel
