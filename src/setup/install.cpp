#include "setup/install.h"

#include "winemu/events.h"

#include "setup/messages.h"

#include "winemu/cp1252.h"
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
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <span>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace zel {

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kBufferSize = 2048;

// The copy's temporary names begin so; what is left with one after a crash is swept.
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

// Where one copy reads and writes on the host, resolved by the caller.
struct CopyPaths {
    fs::path source, target;
    fs::path sourceDrive; // the source drive's directory, resolved (fs::weakly_canonical)
};

// targetEntry: the target's own entry (lstat), nothing when there is none.
bool copyFile(const CopyPaths& paths, const struct stat* targetEntry) {
    const fs::path& sourceHost = paths.source;
    const fs::path& targetHost = paths.target;
    // Not blocking on open: a pipe in the source's place is refused, not waited for.
    const FileDescriptor in(
        ::open(sourceHost.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat sourceStat {};
    if (!in || ::fstat(in.get(), &sourceStat) != 0 || !S_ISREG(sourceStat.st_mode))
        return false;
    // A link that leads off the source's drive (a medium's file linked to the host's own
    // files) is no file of that drive: it is as missing.
    if (!openFileWithin(in.get(), paths.sourceDrive))
        return false;
    // The new file is created with the usual mode and keeps the source's execute bits, so an
    // installed program stays runnable; but the group and others never get what the source
    // denied them.
    const mode_t sourceAllows = (sourceStat.st_mode & 0777) | 0700;
    mode_t mode = (0666 | (sourceStat.st_mode & 0111)) & sourceAllows;
    std::optional<mode_t> keepMode;
    // What the target names: its entry, or for a link what the link leads to.
    struct stat targetStat {};
    if (targetEntry != nullptr)
        targetStat = *targetEntry;
    const bool targetExists =
        targetEntry != nullptr &&
        (!S_ISLNK(targetStat.st_mode) || ::stat(targetHost.c_str(), &targetStat) == 0);
    if (targetExists) {
        // The same file under another spelling (letter case, "..", a second drive letter):
        // copying it onto itself would destroy it.
        if (targetStat.st_dev == sourceStat.st_dev && targetStat.st_ino == sourceStat.st_ino)
            return false;
        if (S_ISDIR(targetStat.st_mode))
            return false;
        // A read-only file is never replaced; the mode bits decide, so this holds for root too.
        if ((targetStat.st_mode & S_IWUSR) == 0 || ::access(targetHost.c_str(), W_OK) != 0)
            return false;
        keepMode = ((targetStat.st_mode & 0777) | (sourceStat.st_mode & 0111)) & sourceAllows;
    }
    const std::int64_t remaining = sourceStat.st_size;

    // The date as the platform keeps it: packed DOS form, two-second resolution.
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(dosTimeRounded(sourceStat.st_mtime));
    times[1].tv_nsec = 0;
    // In the kernel where it can; the one buffer where it cannot. A source that shrank while
    // being copied ends the copy instead of looping.
    char buffer[kBufferSize];

    TempCopy copy;
    if (!copy.create(targetHost.parent_path(), mode)) {
        // No new name can be made beside the file (a read-only directory): the file itself
        // may still be written.
        return keepMode &&
               replaceInPlace(in.get(), remaining, targetHost, *keepMode, times, buffer);
    }
    if (keepMode && ::fchmod(copy.fd(), *keepMode) != 0)
        return false;
    if (!copyHostFileData(in.get(), copy.fd(), remaining, buffer))
        return false;
    if (::futimens(copy.fd(), times) != 0)
        return false;
    return copy.commit(targetHost, keepMode.has_value());
}

// The copy of one file between Windows paths, told to the listeners: resolve gives the host
// paths (nothing when either path names nothing on the machine).
bool reportedCopy(std::string_view source, std::string_view destination,
                  const std::function<std::optional<CopyPaths>()>& resolve) {
    InstallEvent copied{InstallEvent::Kind::FileCopied};
    copied.path = source;
    copied.target = destination;
    try {
        std::optional<CopyPaths> paths;
        if (source != destination)
            paths = resolve();
        if (paths) {
            copied.host = paths->target.string();
            // Whoever keeps what an installation changes is told before a file is replaced,
            // while its old content is still there to be kept.
            struct stat st {};
            const bool present = ::lstat(paths->target.c_str(), &st) == 0;
            if (present && S_ISREG(st.st_mode)) {
                InstallEvent replacing{InstallEvent::Kind::FileReplacing};
                replacing.path = destination;
                replacing.host = copied.host;
                report(replacing);
            }
            copied.ok = copyFile(*paths, present ? &st : nullptr);
        } else {
            copied.ok = false;
        }
    } catch (...) {
        copied.ok = false;
    }
    report(copied);
    return copied.ok;
}

// The host names of one directory, read once for a run: the run's copies go through it
// instead of reading the directory for each file, and tell it the names they make. It answers
// as Machine::toHost does (findCaseless): the exact spelling when there is such an entry, else
// the first in byte order of those equal without regard to case, else the name as given.
class DirectoryNames {
public:
    explicit DirectoryNames(fs::path dir) : dir_(std::move(dir)) {
        std::error_code ec;
        for (fs::directory_iterator it(dir_, ec), end; !ec && it != end; it.increment(ec))
            add(it->path().filename().string());
    }
    const fs::path& dir() const { return dir_; }
    fs::path hostPath(std::string_view windowsName) const {
        std::string exact = cp1252ToUtf8(windowsName);
        if (!names_.contains(exact)) {
            if (const auto it = folded_.find(upperCp1252Text(windowsName)); it != folded_.end())
                return dir_ / it->second;
        }
        return dir_ / exact;
    }
    void add(const std::string& hostName) {
        names_.insert(hostName);
        auto [at, fresh] = folded_.try_emplace(upperCp1252Text(utf8ToCp1252(hostName)), hostName);
        if (!fresh && hostName < at->second)
            at->second = hostName;
    }

private:
    fs::path dir_;
    std::unordered_set<std::string> names_;
    std::unordered_map<std::string, std::string> folded_; // upper-case name -> first spelling
};

// The run's copies: each directory resolved on the machine once, each drive's directory once.
class RunCopier {
public:
    explicit RunCopier(Files& files) : machine_(files.machine()) {}

    bool copy(const std::string& source, const std::string& destination) {
        DirectoryNames* into = nullptr;
        const bool ok = reportedCopy(source, destination, [&]() -> std::optional<CopyPaths> {
            const auto from = resolve(source);
            const auto to = resolve(destination);
            if (!from || !to)
                return std::nullopt;
            const fs::path* drive = driveOf(source);
            if (!drive)
                return std::nullopt;
            into = to->second;
            return CopyPaths{from->first, to->first, *drive};
        });
        // The new name is the machine's own write: the directory's names learn it.
        if (ok && into)
            into->add(resolve(destination)->first.filename().string());
        return ok;
    }

private:
    // The host path of a file's Windows path and the names of its directory: the directory
    // is resolved by the machine once, the file's name by those names.
    std::optional<std::pair<fs::path, DirectoryNames*>> resolve(const std::string& winPath) {
        const auto parsed = machine_.parse(winPath);
        if (!parsed || parsed->components.empty())
            return std::nullopt;
        WinPath dir = *parsed;
        const std::string name = dir.components.back();
        dir.components.pop_back();
        const std::string dirText = dir.text();
        auto at = dirs_.find(dirText);
        if (at == dirs_.end()) {
            const auto host = machine_.toHost(dirText);
            if (!host)
                return std::nullopt;
            at = dirs_.emplace(dirText, std::make_unique<DirectoryNames>(*host)).first;
        }
        return std::pair{at->second->hostPath(name), at->second.get()};
    }

    const fs::path* driveOf(const std::string& winPath) {
        const auto parsed = machine_.parse(winPath);
        if (!parsed)
            return nullptr;
        auto at = drives_.find(parsed->drive);
        if (at == drives_.end()) {
            const auto root = machine_.driveRoot(parsed->drive);
            std::error_code ec;
            fs::path resolved = root ? fs::weakly_canonical(*root, ec) : fs::path();
            at = drives_.emplace(parsed->drive, ec ? fs::path() : resolved).first;
        }
        return at->second.empty() ? nullptr : &at->second;
    }

    const Machine& machine_;
    std::map<std::string, std::unique_ptr<DirectoryNames>> dirs_;
    std::map<char, fs::path> drives_;
};

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
    const Machine& machine = files.machine();
    return reportedCopy(source, destination, [&]() -> std::optional<CopyPaths> {
        const auto from = machine.toHost(source);
        const auto to = machine.toHost(destination);
        const auto drive = driveDirectoryOf(machine, source);
        std::error_code ec;
        const fs::path resolved = drive ? fs::weakly_canonical(*drive, ec) : fs::path();
        if (!from || !to || !drive || ec)
            return std::nullopt;
        return CopyPaths{*from, *to, resolved};
    });
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

    // Made after the destination: the directories it resolves are read once, when first used.
    RunCopier copier(files);
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
            if (!copier.copy(from, to))
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

    // The update program, its icons and the uninstaller: one the medium lacks is skipped
    // silently; one it has that cannot be copied stops the run as any other file does, or the
    // run would say it was whole without its uninstaller.
    const auto copyIfThere = [&](const std::string& from, const std::string& to) {
        if (!copier.copy(from, to) && files.fileExists(from))
            throw FileCopyError(copyFailed(from, to));
    };
    const std::string updateDir = source + s.updateDirectory;
    copyIfThere(updateDir + s.updateProgram, s.destination + s.updateProgram);
    copyIfThere(updateDir + s.groupIcon, s.destination + s.groupIcon);
    copyIfThere(updateDir + s.internetIcon, s.destination + s.internetIcon);
    copyIfThere(updateDir + s.bbsIcon, s.destination + s.bbsIcon);
    copyIfThere(source + s.uninstallDirectory + s.uninstallProgram,
                withTrailingBackslash(files.machine().windowsDirectory()) + "zelun.exe");

    // The copied files are not flushed to the disk one by one nor all at the end, as cp does
    // not: a crash leaves each either whole or absent (the rename) and the run can be made
    // again.
}

} // namespace zel
