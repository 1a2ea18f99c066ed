#include "winemu/host_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

namespace fs = std::filesystem;

// ---------------------------------------------------------------- descriptors

void FileDescriptor::reset(int fd) noexcept {
    if (fd_ >= 0 && fd_ != fd)
        ::close(fd_);
    fd_ = fd;
}

bool FileDescriptor::close() noexcept {
    if (fd_ < 0)
        return true;
    return ::close(release()) == 0;
}

// ---------------------------------------------------------------- errors

namespace {

const char* whatFailed(HostFileError::Step step) {
    switch (step) {
    case HostFileError::Step::Open:
    case HostFileError::Step::Read: return "cannot be read";
    case HostFileError::Step::Write: return "cannot be written";
    case HostFileError::Step::Replace: break;
    }
    return "cannot be replaced";
}

std::string describe(HostFileError::Step step, const fs::path& file, int error) {
    std::string text = file.string();
    text.append(": ").append(whatFailed(step)).append(": ").append(std::strerror(error));
    return text;
}

} // namespace

HostFileError::HostFileError(Step step, fs::path file, int error)
    // Told to the user by the path they know, not by this process's descriptor of the machine.
    : PlatformError(describe(step, outsideThisProcess(file.string()), error)), step_(step),
      file_(std::move(file)), error_(error) {}

// ---------------------------------------------------------------- reading

namespace {

// A regular file open for reading, with its status; none when there is no such file (nor its
// directory). Not blocking on open: a pipe or a device in the file's place is refused, not
// waited for.
FileDescriptor openRegularFile(const fs::path& file, struct stat& st, int flags = 0) {
    using Step = HostFileError::Step;
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | flags));
    if (!fd) {
        if (errno == ENOENT || errno == ENOTDIR)
            return fd;
        throw HostFileError(Step::Open, file, errno);
    }
    if (::fstat(fd.get(), &st) != 0)
        throw HostFileError(Step::Open, file, errno);
    if (!S_ISREG(st.st_mode))
        throw HostFileError(Step::Open, file, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    return fd;
}

// Fills the buffer from fd, short only at the end of the file.
std::size_t readFull(int fd, const fs::path& file, std::span<char> buffer) {
    std::size_t got = 0;
    while (got < buffer.size()) {
        const ssize_t n =
            uninterrupted([&] { return ::read(fd, buffer.data() + got, buffer.size() - got); });
        if (n < 0)
            throw HostFileError(HostFileError::Step::Read, file, errno);
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

} // namespace

std::optional<std::string> readHostFile(const fs::path& file) {
    struct stat st {};
    const FileDescriptor fd = openRegularFile(file, st);
    if (!fd)
        return std::nullopt;
    return readOpenHostFile(fd.get(), file, static_cast<std::size_t>(st.st_size),
                            static_cast<std::size_t>(-1));
}

std::optional<std::string> readHostFileNoLink(const fs::path& file) {
    struct stat st {};
    const FileDescriptor fd = openRegularFile(file, st, O_NOFOLLOW);
    if (!fd)
        return std::nullopt;
    return readOpenHostFile(fd.get(), file, static_cast<std::size_t>(st.st_size),
                            static_cast<std::size_t>(-1));
}

bool sameHostFileContent(const fs::path& a, const fs::path& b) {
    struct stat stA {};
    struct stat stB {};
    const FileDescriptor fdA = openRegularFile(a, stA);
    const FileDescriptor fdB = fdA ? openRegularFile(b, stB) : FileDescriptor();
    if (!fdA || !fdB || stA.st_size != stB.st_size)
        return false;
    char bufferA[16384], bufferB[16384];
    for (;;) {
        const std::size_t n = readFull(fdA.get(), a, bufferA);
        if (readFull(fdB.get(), b, std::span(bufferB, n)) != n ||
            std::memcmp(bufferA, bufferB, n) != 0)
            return false;
        if (n < sizeof bufferA) // a ended here, so b must too (it may have grown since)
            return readFull(fdB.get(), b, std::span(bufferB, 1)) == 0;
    }
}

std::optional<std::string> readOpenHostFile(int fd, const fs::path& file, std::size_t size,
                                            std::size_t maxBytes) {
    std::string content;
    content.reserve(std::min(size, maxBytes));
    char buffer[65536];
    for (;;) {
        const ssize_t n = uninterrupted([&] { return ::read(fd, buffer, sizeof buffer); });
        if (n < 0)
            throw HostFileError(HostFileError::Step::Read, file, errno);
        if (n == 0)
            return content;
        // A file that grows while it is read is still held to its bound.
        if (static_cast<std::size_t>(n) > maxBytes - content.size())
            return std::nullopt;
        content.append(buffer, static_cast<std::size_t>(n));
    }
}

// ---------------------------------------------------------------- copying

namespace {

// The kernel's answer that it cannot copy these two descriptors itself, as opposed to a
// failure of the copy (a full disk, an I/O error, a file size limit).
bool kernelCannotCopy(int error) {
    return error == ENOSYS || error == EXDEV || error == EINVAL || error == EOPNOTSUPP ||
           error == ENOTSUP || error == EBADF || error == EPERM;
}

} // namespace

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = uninterrupted([&] { return ::write(fd, data.data(), data.size()); });
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

namespace {

bool copyThroughBuffer(int from, int to, std::int64_t count, std::span<char> buffer) {
    const auto chunk = static_cast<std::int64_t>(buffer.size());
    while (count > 0) {
        const ssize_t n = uninterrupted([&] {
            return ::read(from, buffer.data(), static_cast<std::size_t>(std::min(count, chunk)));
        });
        if (n <= 0)
            return false;
        if (!writeAll(to, std::string_view(buffer.data(), static_cast<std::size_t>(n))))
            return false;
        count -= n;
    }
    return true;
}

} // namespace

bool copyHostFileData(int from, int to, std::int64_t count, std::span<char> buffer) {
    if (count < 0 || buffer.empty())
        return false;
    while (count > 0) {
        const ssize_t n = uninterrupted([&] {
            return ::copy_file_range(from, nullptr, to, nullptr, static_cast<std::size_t>(count),
                                     0);
        });
        if (n > 0) {
            count -= n;
            continue;
        }
        // Nothing copied: the kernel cannot do it here, or the source ended early (some file
        // systems also answer 0 for content they cannot copy); the buffer tells which.
        if (n < 0 && !kernelCannotCopy(errno))
            return false;
        return copyThroughBuffer(from, to, count, buffer);
    }
    return true;
}

// ---------------------------------------------------------------- writing

namespace {

using Step = HostFileError::Step;

// The user may write the path: the mode bits are checked as well, because the superuser passes
// every access test and would otherwise write into what is meant to be read-only.
bool userMayWrite(const fs::path& path, const struct stat& st) {
    return (st.st_mode & S_IWUSR) != 0 && ::access(path.c_str(), W_OK) == 0;
}

fs::path directoryOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// The directory that receives the file: it must be one, and whether it takes new names (the
// temporary file) is the answer. Raises HostFileError when it is no directory.
bool directoryTakesNames(const fs::path& dir, const fs::path& file) {
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0)
        throw HostFileError(Step::Write, file, errno);
    if (!S_ISDIR(st.st_mode))
        throw HostFileError(Step::Write, file, ENOTDIR);
    return userMayWrite(dir, st);
}

// The same for a directory that must take a new name.
void checkDirectory(const fs::path& dir, const fs::path& file) {
    if (!directoryTakesNames(dir, file))
        throw HostFileError(Step::Write, file, EACCES);
}

// A hidden file beside the target ("." + its name + a random number), written and synced
// before it takes the target's place. Removed again unless it was renamed into place.
class TemporaryFile {
public:
    TemporaryFile(const fs::path& target, const fs::path& dir, const fs::path& file, mode_t mode)
        : file_(file) {
        thread_local std::mt19937_64 random{temporaryNameSeed()};
        for (int attempt = 0; attempt < 100 && !fd_; ++attempt) {
            // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on "." + std::string.
            std::string name = ".";
            name.append(target.filename().string())
                .append(".")
                .append(std::to_string(random() % 1000000000));
            path_ = dir / name;
            fd_.reset(::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
            if (!fd_ && errno != EEXIST)
                throw HostFileError(Step::Write, file_, errno);
        }
        if (!fd_)
            throw HostFileError(Step::Write, file_, EEXIST);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        fd_.reset();
        if (!placed_)
            ::unlink(path_.c_str());
    }

    // Writes the content, gives the file the old file's mode and owner, and syncs it.
    void fill(std::string_view content, const struct stat* old) {
        while (!content.empty()) {
            const ssize_t n =
                uninterrupted([&] { return ::write(fd_.get(), content.data(), content.size()); });
            if (n < 0)
                fail(Step::Write);
            content.remove_prefix(static_cast<std::size_t>(n));
        }
        if (old != nullptr) {
            if (::fchmod(fd_.get(), old->st_mode & 07777) != 0)
                fail(Step::Write);
            // Only the superuser may give a file away; otherwise the writer owns the new one.
            if ((old->st_uid != ::geteuid() || old->st_gid != ::getegid()) &&
                ::fchown(fd_.get(), old->st_uid, old->st_gid) != 0) {
            }
        }
        if (::fsync(fd_.get()) != 0 || !fd_.close())
            fail(Step::Write);
    }

    void renameOver(const fs::path& target) {
        if (::rename(path_.c_str(), target.c_str()) != 0)
            fail(Step::Replace);
        placed_ = true;
    }

    // Gives the content the target's name only while that name is free; false when it is not.
    bool linkAs(const fs::path& target) {
        if (::link(path_.c_str(), target.c_str()) == 0)
            return true;
        if (errno != EEXIST)
            fail(Step::Replace);
        return false;
    }

private:
    [[noreturn]] void fail(Step step) { throw HostFileError(step, file_, errno); }

    fs::path file_; // as the caller named it, for the error
    fs::path path_;
    FileDescriptor fd_;
    bool placed_ = false;
};

} // namespace

namespace {

// Where a write of `file` lands: the file a link names, its directory, the file there now, and
// whether it is written in place: an existing file that its own mode lets the user write, in a
// directory that refuses new names (so no temporary file can stand beside it). The file's own
// protection decides then, as on Windows.
struct WriteTarget {
    fs::path path;
    fs::path dir;
    std::optional<struct stat> old;
    bool inPlace = false;
};

// Raises HostFileError when the file may not be written.
WriteTarget writeTarget(const fs::path& file) {
    WriteTarget target{file, {}, std::nullopt};
    std::error_code ec;
    if (fs::is_symlink(file, ec)) {
        target.path = fs::canonical(file, ec);
        if (ec)
            throw HostFileError(Step::Write, file, ec.value());
    }
    if (target.path.filename().empty())
        throw HostFileError(Step::Write, file, EISDIR);
    target.dir = directoryOf(target.path);
    const bool takesNames = directoryTakesNames(target.dir, file);
    struct stat old {};
    if (::stat(target.path.c_str(), &old) != 0) {
        if (errno != ENOENT)
            throw HostFileError(Step::Write, file, errno);
        if (!takesNames)
            throw HostFileError(Step::Write, file, EACCES);
        return target;
    }
    if (!S_ISREG(old.st_mode))
        throw HostFileError(Step::Write, file, S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    if (!userMayWrite(target.path, old))
        throw HostFileError(Step::Write, file, EACCES);
    target.old = old;
    target.inPlace = !takesNames;
    return target;
}

// Writes over the file itself. Space for the new content is claimed first, so a full disk
// fails before anything of the old content is lost.
void writeInPlace(const fs::path& path, const fs::path& file, std::string_view content) {
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd)
        throw HostFileError(Step::Write, file, errno);
    const auto size = static_cast<off_t>(content.size());
    if (const int error = size > 0 ? ::posix_fallocate(fd.get(), 0, size) : 0;
        error != 0 && error != EOPNOTSUPP && error != EINVAL)
        throw HostFileError(Step::Write, file, error);
    for (off_t at = 0; !content.empty();) {
        const ssize_t n =
            uninterrupted([&] { return ::pwrite(fd.get(), content.data(), content.size(), at); });
        if (n < 0)
            throw HostFileError(Step::Write, file, errno);
        content.remove_prefix(static_cast<std::size_t>(n));
        at += n;
    }
    if (::ftruncate(fd.get(), size) != 0 || ::fsync(fd.get()) != 0 || !fd.close())
        throw HostFileError(Step::Write, file, errno);
}

} // namespace

bool hostFileWritable(const fs::path& file) {
    try {
        writeTarget(file);
        return true;
    } catch (const HostFileError&) {
        return false;
    }
}

void writeHostFile(const fs::path& file, std::string_view content, mode_t newFileMode) {
    const WriteTarget target = writeTarget(file);
    if (target.inPlace) {
        writeInPlace(target.path, file, content);
        return;
    }
    TemporaryFile temp(target.path, target.dir, file, newFileMode);
    temp.fill(content, target.old ? &*target.old : nullptr);
    temp.renameOver(target.path);
    syncDirectory(target.dir);
}

fs::path linkTarget(const fs::path& link, std::error_code& ec) {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer);
    if (n < 0) {
        ec.assign(errno, std::generic_category());
        return {};
    }
    if (static_cast<std::size_t>(n) < sizeof buffer) {
        ec.clear();
        return fs::path(std::string(buffer, static_cast<std::size_t>(n)));
    }
    return fs::read_symlink(link, ec); // longer than a path may be here: let the library size it
}

std::string outsideThisProcess(std::string_view path) {
    constexpr std::string_view kOwn = "/proc/self/fd/";
    if (!path.starts_with(kOwn))
        return std::string(path);
    const std::size_t end = std::min(path.find('/', kOwn.size()), path.size());
    const std::string link(path.substr(0, end));
    std::error_code ec;
    const fs::path target = linkTarget(link, ec);
    if (ec || !target.is_absolute())
        return std::string(path);
    return target.string() + std::string(path.substr(end));
}

std::uint64_t temporaryNameSeed() {
    std::uint64_t seed = 0;
    if (::getrandom(&seed, sizeof seed, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof seed))
        return seed;
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
           (static_cast<std::uint64_t>(::getpid()) << 32);
}

bool createHostFile(const fs::path& file, std::string_view content, mode_t newFileMode) {
    std::error_code ec;
    if (fs::symlink_status(file, ec).type() != fs::file_type::not_found && !ec)
        return false;
    if (file.filename().empty())
        throw HostFileError(Step::Write, file, EISDIR);
    const fs::path dir = directoryOf(file);
    checkDirectory(dir, file);

    TemporaryFile temp(file, dir, file, newFileMode);
    temp.fill(content, nullptr);
    if (!temp.linkAs(file))
        return false; // someone else created it meanwhile; theirs stays
    syncDirectory(dir);
    return true;
}

void syncDirectory(const fs::path& dir) {
    // The content is already safe, so a failure is let be.
    if (FileDescriptor d(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); d)
        ::fsync(d.get());
}

} // namespace zel
