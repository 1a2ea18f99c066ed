#include "setup/install.h"

#include "winemu/events.h"

#include "setup/messages.h"

#include "winemu/host_file.h"
#include "winemu/winpath.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kBufferSize = 2048;

// Closes a handle of the file layer on every way out.
constexpr std::string_view kTempPrefix = ".zelcopy-";

// The process that wrote a temporary copy of ours, from its name (.zelcopy-PID-XXXXXX).
std::optional<pid_t> writerOf(std::string_view name) {
    if (!name.starts_with(kTempPrefix))
        return std::nullopt;
    name.remove_prefix(kTempPrefix.size());
    const auto dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || name.size() - dash - 1 != 6 || dash > 9)
        return std::nullopt;
    pid_t pid = 0;
    for (char c : name.substr(0, dash)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

// Each directory is swept once per run, before the first copy into it.
void removeStaleCopiesOnce(const fs::path& dir) {
    static std::set<fs::path> swept;
    if (swept.insert(dir).second)
        removeStaleCopies(dir);
}

} // namespace

void removeStaleCopies(const fs::path& dir) {
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), ::closedir);
    if (!d)
        return;
    while (const dirent* entry = ::readdir(d.get())) {
        const std::optional<pid_t> writer = writerOf(entry->d_name);
        struct stat st {};
        if (!writer || *writer == ::getpid() ||
            ::fstatat(::dirfd(d.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        if (::kill(*writer, 0) != 0 && errno == ESRCH)
            ::unlinkat(::dirfd(d.get()), entry->d_name, 0);
    }
}

namespace {

// The copy being written: a hidden file beside the target that becomes the target only when
// it is complete, so a failed copy never leaves a truncated target behind. Its name carries
// the writer's process id, so a later copy can tell a left-over one from one being written.
class TempCopy {
public:
    TempCopy() = default;
    ~TempCopy() { discard(); }
    TempCopy(const TempCopy&) = delete;
    TempCopy& operator=(const TempCopy&) = delete;

    // O_EXCL with a mode rather than mkstemp: the process's umask then applies to the new file
    // as it would to any file the program creates.
    bool create(const fs::path& dir, mode_t mode) {
        static thread_local std::minstd_rand random(static_cast<unsigned>(temporaryNameSeed()));
        static constexpr char kLetters[] =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        removeStaleCopiesOnce(dir);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = std::string(kTempPrefix) + std::to_string(::getpid()) + "-XXXXXX";
            for (std::size_t i = name.size() - 6; i < name.size(); ++i)
                name[i] = kLetters[random() % (sizeof kLetters - 1)];
            path_ = dir / name;
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd_ >= 0)
                return true;
            if (errno != EEXIST)
                break;
        }
        path_.clear();
        return false;
    }

    int fd() const { return fd_; }

    // Closes and renames the copy over the target. A copy that replaces a file is flushed to
    // the disk first, so that a crash leaves the old content or the new, never an empty file;
    // a new file has nothing to lose, and flushing each one would make the run wait on the
    // disk once per file.
    bool commit(const fs::path& target, bool replaces) {
        bool ok = !replaces || ::fsync(fd_) == 0;
        ok = ::close(fd_) == 0 && ok;
        fd_ = -1;
        if (ok && ::rename(path_.c_str(), target.c_str()) == 0) {
            path_.clear();
            return true;
        }
        return false;
    }

private:
    void discard() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        if (!path_.empty())
            ::unlink(path_.c_str());
        path_.clear();
    }

    fs::path path_;
    int fd_ = -1;
};

// Copies a whole host file from its start into another, from its start.
bool copyWhole(int from, int to, std::span<char> buffer) {
    struct stat st {};
    return ::fstat(from, &st) == 0 && ::lseek(from, 0, SEEK_SET) == 0 &&
           ::lseek(to, 0, SEEK_SET) == 0 && ::ftruncate(to, 0) == 0 &&
           copyHostFileData(from, to, st.st_size, buffer);
}

// A writable file in a directory that takes no new names is written over in place, as Windows
// does. Its old content is kept aside (outside the directory, readable by its owner only) and
// put back if the new one cannot be written whole.
bool replaceInPlace(int in, std::int64_t size, const fs::path& target, mode_t mode,
                    const struct timespec (&times)[2], std::span<char> buffer) {
    const int out = ::open(target.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (out < 0)
        return false;
    FileDescriptor outGuard(out);
    struct stat st {};
    if (::fstat(out, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> old(std::tmpfile(), std::fclose);
    if (!old || !copyWhole(out, ::fileno(old.get()), buffer))
        return false;
    const bool written = ::lseek(out, 0, SEEK_SET) == 0 && ::ftruncate(out, 0) == 0 &&
                         copyHostFileData(in, out, size, buffer) && ::fchmod(out, mode) == 0 &&
                         ::futimens(out, times) == 0 && ::fsync(out) == 0;
    if (!written) {
        copyWhole(::fileno(old.get()), out, buffer);
        ::fchmod(out, st.st_mode & 07777);
        return false;
    }
    return true;
}

bool copyFile(Files& files, std::string_view source, std::string_view destination) {
    if (source == destination)
        return false;
    const Machine& machine = files.machine();
    std::optional<fs::path> sourceHost = machine.toHost(source);
    std::optional<fs::path> targetHost = machine.toHost(destination);
    if (!sourceHost || !targetHost)
        return false;

    struct stat sourceStat {};
    if (::stat(sourceHost->c_str(), &sourceStat) != 0 || !S_ISREG(sourceStat.st_mode))
        return false;
    // The new file is created with the usual mode and keeps the source's execute bits, so an
    // installed program stays runnable; but the group and others never get what the source
    // denied them.
    const mode_t sourceAllows = (sourceStat.st_mode & 0777) | 0700;
    mode_t mode = (0666 | (sourceStat.st_mode & 0111)) & sourceAllows;
    std::optional<mode_t> keepMode;
    struct stat targetStat {};
    if (::stat(targetHost->c_str(), &targetStat) == 0) {
        // The same file under another spelling (letter case, "..", a second drive letter):
        // copying it onto itself would destroy it.
        if (targetStat.st_dev == sourceStat.st_dev && targetStat.st_ino == sourceStat.st_ino)
            return false;
        if (S_ISDIR(targetStat.st_mode))
            return false;
        // A read-only file is never replaced; the mode bits decide, so this holds for root too.
        if ((targetStat.st_mode & S_IWUSR) == 0 || ::access(targetHost->c_str(), W_OK) != 0)
            return false;
        keepMode = ((targetStat.st_mode & 0777) | (sourceStat.st_mode & 0111)) & sourceAllows;
    }

    const FileDescriptor in = files.openRead(source);
    if (!in)
        return false;
    // A link that leads off the source's drive (a medium's file linked to the host's own
    // files) is no file of that drive: it is as missing.
    const std::optional<fs::path> sourceDrive = driveDirectoryOf(machine, source);
    if (!sourceDrive || !openFileInside(in.get(), *sourceDrive))
        return false;
    std::int64_t remaining = files.seek(in, 0, 2);
    if (remaining < 0 || files.seek(in, 0, 0) != 0)
        return false;
    std::uint32_t dosTime = files.getFileDate(in);
    if (dosTime == 0)
        dosTime = toDosTime(static_cast<std::int64_t>(sourceStat.st_mtime));

    // The date as the platform keeps it: packed DOS form, two-second resolution.
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(fromDosTime(dosTime));
    times[1].tv_nsec = 0;
    // In the kernel where it can; the one buffer where it cannot. A source that shrank while
    // being copied ends the copy instead of looping.
    char buffer[kBufferSize];

    TempCopy copy;
    if (!copy.create(targetHost->parent_path(), mode)) {
        // No new name can be made beside the file (a read-only directory): the file itself
        // may still be written.
        return keepMode && replaceInPlace(in.get(), remaining, *targetHost, *keepMode, times, buffer);
    }
    if (keepMode && ::fchmod(copy.fd(), *keepMode) != 0)
        return false;
    if (!copyHostFileData(in.get(), copy.fd(), remaining, buffer))
        return false;
    if (::futimens(copy.fd(), times) != 0)
        return false;
    return copy.commit(*targetHost, keepMode.has_value());
}

std::string withoutTrailingBackslash(const std::string& dir) {
    if (!dir.empty() && dir.back() == '\\')
        return dir.substr(0, dir.size() - 1);
    return dir;
}

std::string copyingLabel(const std::string& name) {
    std::string text = copyingFile(name);
    if (text.size() > 21)
        text.resize(21);
    return text;
}

} // namespace

bool fileCopy(Files& files, std::string_view source, std::string_view destination) {
    InstallEvent copied{InstallEvent::Kind::FileCopied};
    copied.path = source;
    copied.target = destination;
    try {
        // Whoever keeps what an installation changes is told before a file is replaced,
        // while its old content is still there to be kept.
        if (const auto host = files.machine().toHost(destination)) {
            copied.host = host->string();
            struct stat st {};
            if (::lstat(host->c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
                InstallEvent replacing{InstallEvent::Kind::FileReplacing};
                replacing.path = destination;
                replacing.host = copied.host;
                report(replacing);
            }
        }
        copied.ok = copyFile(files, source, destination);
    } catch (...) {
        copied.ok = false;
    }
    report(copied);
    return copied.ok;
}

void installationRun(Files& files, const Catalogue& catalogue, std::string_view sourceDir,
                     Gauge& overall, Gauge& file, StatusLine& programStatus,
                     StatusLine& fileStatus) {
    const SetupSettings& s = catalogue.settings;
    const std::string source(sourceDir);
    // Directory creation failures surface as a failed copy of the entry's first file.
    files.createDirectory(withoutTrailingBackslash(s.destination));

    int selected = 0;
    for (int n = 1; n <= kProgramEntries; ++n)
        if (catalogue.entry(n).preselected)
            ++selected;
    overall.setMaximum(selected);

    for (int n = 1; n <= kProgramEntries; ++n) {
        const ProgramEntry& entry = catalogue.entry(n);
        if (!entry.preselected)
            continue;
        const std::string sourceSub = source + entry.directory;
        std::string target = s.destination;
        if (entry.ownDirectory) {
            target = s.destination + entry.directory;
            files.createDirectory(withoutTrailingBackslash(target));
        }

        int count = 0;
        for (int k = 1; k <= kFileSlots; ++k)
            count += (entry.file(k).empty() ? 0 : 1) + (entry.systemFile(k).empty() ? 0 : 1);
        file.setMaximum(count);
        file.setPosition(0);

        programStatus.setText(installingProgram(entry.name));
        programStatus.repaint();

        auto copyInto = [&](const std::string& dir, const std::string& name) {
            const std::string from = sourceSub + name;
            const std::string to = dir + name;
            if (!fileCopy(files, from, to))
                throw FileCopyError(copyFailed(from, to));
            file.advance(1);
            fileStatus.setText(copyingLabel(name));
            fileStatus.repaint();
        };
        for (int k = 1; k <= kFileSlots; ++k)
            if (!entry.file(k).empty())
                copyInto(target, entry.file(k));
        const std::string systemDir = withTrailingBackslash(files.machine().systemDirectory());
        for (int k = 1; k <= kFileSlots; ++k)
            if (!entry.systemFile(k).empty())
                copyInto(systemDir, entry.systemFile(k));

        overall.advance(1);
    }

    // The update program, its icons and the uninstaller: a missing one is skipped silently.
    const std::string updateDir = source + s.updateDirectory;
    fileCopy(files, updateDir + s.updateProgram, s.destination + s.updateProgram);
    fileCopy(files, updateDir + s.groupIcon, s.destination + s.groupIcon);
    fileCopy(files, updateDir + s.internetIcon, s.destination + s.internetIcon);
    fileCopy(files, updateDir + s.bbsIcon, s.destination + s.bbsIcon);
    fileCopy(files, source + s.uninstallDirectory + s.uninstallProgram,
             withTrailingBackslash(files.machine().windowsDirectory()) + "zelun.exe");
}

} // namespace zel
