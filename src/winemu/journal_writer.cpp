#include "winemu/journal_writer.h"

#include "winemu/errors.h"
#include "winemu/host_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

namespace fs = std::filesystem;

namespace {

long long nanoseconds(const struct timespec& t) {
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// Writes all of `text` on the descriptor and syncs it; false when it could not.
bool writeSynced(int fd, std::string_view text) {
    return writeAll(fd, text) && ::fsync(fd) == 0;
}

std::string reason() {
    return " (" + systemReason(errno) + ")";
}

// A directory of the machine's own, made readable by its owner only; one already there must
// be a real directory (not a link somewhere else). A new one's name is synced in its parent.
void makePrivateDirectory(const fs::path& dir) {
    const bool made = ::mkdir(dir.c_str(), 0700) == 0;
    if (!made && errno != EEXIST)
        throw PlatformError("N\xe3o foi poss\xedvel criar a pasta " + journalErrorPath(dir) +
                            reason());
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        throw PlatformError(journalErrorPath(dir) + " n\xe3o \xe9 uma pasta deste usu\xe1rio");
    if (made)
        syncDirectory(dir.parent_path());
}

std::string cannotWrite(const fs::path& file) {
    return "N\xe3o foi poss\xedvel gravar o registro da instala\xe7\xe3o " +
           journalErrorPath(file) + reason();
}

} // namespace

InstallJournal::InstallJournal(fs::path prefix) : prefix_(std::move(prefix)) {}

InstallJournal::~InstallJournal() {
    dropPending();
    if (fd_ >= 0) {
        if (unsynced_)
            syncNow();
        ::close(fd_);
    }
}

void InstallJournal::open() {
    if (fd_ >= 0)
        return;
    const fs::path dir = journalDirectory(prefix_);
    makePrivateDirectory(dir);
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    struct tm utc {};
    ::gmtime_r(&now.tv_sec, &utc);
    char stamp[64];
    const std::size_t length = std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", &utc);
    std::snprintf(stamp + length, sizeof stamp - length, ".%09ld-%ld", now.tv_nsec,
                  static_cast<long>(::getpid()));
    // Names sort by time, so the newest journal is the last one.
    file_ = dir / (std::string(stamp) + std::string(kJournalExtension));
    savedDir_ = keptDirectory(file_);
    fd_ = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC,
                 0600);
    if (fd_ < 0 || !writeAll(fd_, std::string(kJournalHeader) + "\n"))
        throw PlatformError(cannotWrite(file_));
    // The header and the journal's name are synced with the first record that must outlast a
    // crash (or at the copy's end): a journal of new files only waits on the disk once.
    unsynced_ = nameUnsynced_ = true;
}

bool InstallJournal::syncNow() {
    if (::fsync(fd_) != 0)
        return false;
    unsynced_ = false;
    if (nameUnsynced_) {
        // The journal's name must outlast a crash as surely as its records.
        syncDirectory(file_.parent_path());
        nameUnsynced_ = false;
    }
    return true;
}

void InstallJournal::append(const std::vector<std::string>& fields, Sync sync) {
    open();
    std::string line;
    for (const std::string& field : fields)
        line += (line.empty() ? "" : "\t") + escapeJournalField(field);
    line += '\n';
    // The record whole in one write, so nothing of a later record can precede it. A synced
    // record also syncs every one written before it: they share the one descriptor.
    if (!writeAll(fd_, line) || (sync == Sync::Now && !syncNow()))
        throw PlatformError(cannotWrite(file_));
    unsynced_ = unsynced_ || sync == Sync::Later;
}

std::string InstallJournal::keep(const std::string& host) {
    FileDescriptor in(::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!in || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    std::optional<std::string> content;
    try {
        content = readOpenHostFile(in.get(), host, static_cast<std::size_t>(st.st_size),
                                   static_cast<std::size_t>(-1));
    } catch (const HostFileError& e) {
        throw PlatformError("N\xe3o foi poss\xedvel ler " + journalErrorPath(host) + " (" +
                            systemReason(e.error()) + ")");
    }
    if (!content)
        return {};
    open();
    makePrivateDirectory(savedDir_);
    const std::string name = std::to_string(++kept_);
    const fs::path to = savedDir_ / name;
    FileDescriptor out(
        ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out || !writeSynced(out.get(), *content) || !out.close())
        throw PlatformError("N\xe3o foi poss\xedvel guardar uma c\xf3pia de " +
                            journalErrorPath(host) + " em " + journalErrorPath(to) + reason());
    // The copy is the only one left once the file is replaced: its name is synced too.
    syncDirectory(savedDir_);
    return name;
}

void InstallJournal::dropPending() {
    if (pending_ && !pending_->kept.empty())
        ::unlink((savedDir_ / pending_->kept).c_str());
    pending_.reset();
}

bool InstallJournal::madeHere(const std::string& host) const {
    return made_.contains(host);
}

// A Windows path of the machine as a record holds it; a path on no drive cannot be taken back
// on this machine or another, so the journal stops there rather than name a host file.
const std::string& InstallJournal::windowsPath(const std::string& path) const {
    if (!isJournalWindowsPath(path))
        throw PlatformError("N\xe3o foi poss\xedvel registrar " + path +
                            ": n\xe3o \xe9 um caminho de uma unidade da m\xe1quina");
    return path;
}

// The registry of the machine is its HKEY_LOCAL_MACHINE; no other file is.
std::string InstallJournal::registryRoot(const std::string& file) const {
    std::error_code ec1, ec2;
    const fs::path ours = fs::weakly_canonical(prefix_ / "system.reg", ec1);
    const fs::path named = fs::weakly_canonical(file, ec2);
    if (ec1 || ec2 || ours != named)
        throw PlatformError("N\xe3o foi poss\xedvel registrar uma altera\xe7\xe3o em " +
                            journalErrorPath(file) + ": n\xe3o \xe9 o registro da m\xe1quina");
    return std::string(kJournalRegistryRoot);
}

// Whether a kept copy holds what the file holds now: then nothing needs keeping (the same kit
// installed again), and the copy goes so that the journal does not grow with each reinstall.
bool InstallJournal::keptIsCurrent(const std::string& kept, const std::string& host) const {
    try {
        const std::optional<std::string> old = readHostFile(savedDir_ / kept);
        const std::optional<std::string> now = readHostFile(host);
        return old && now && *old == *now;
    } catch (const HostFileError&) {
        return false;
    }
}

void InstallJournal::record(const InstallEvent& e) {
    if (!failure_.empty())
        return; // a journal with a gap would undo the wrong things
    using K = InstallEvent::Kind;
    const auto statOf = [](const std::string& host, struct stat& st) {
        return !host.empty() && ::lstat(host.c_str(), &st) == 0;
    };
    try {
        switch (e.kind) {
        case K::FileReplacing: {
            dropPending();
            struct stat st {};
            // A file this installation made (a first attempt's copy) is no one's to keep.
            if (!statOf(e.host, st) || madeHere(e.host))
                return;
            Pending pending{windowsPath(e.path),
                            e.host,
                            keep(e.host),
                            static_cast<long long>(st.st_size),
                            nanoseconds(st.st_mtim),
                            static_cast<unsigned>(st.st_mode & 07777)};
            pending_ = std::move(pending);
            return;
        }
        case K::FileCopied: {
            const bool replaced = pending_ && pending_->path == e.target;
            struct stat st {};
            if (!e.ok || !statOf(e.host, st)) {
                if (replaced)
                    dropPending();
                return;
            }
            const std::string size = std::to_string(st.st_size);
            const std::string mtime = std::to_string(nanoseconds(st.st_mtim));
            const std::string& target = windowsPath(e.target);
            // The record of a file the copy made is synced with the next synced record or when
            // the journal closes, not each on its own nor at the copy's end, where the user
            // would wait on the disk: a crash before then loses at worst the records of new
            // files (and of new directories), which an undo then leaves behind; no old content
            // depends on them.
            if (madeHere(e.host)) {
                append({"touched", target, size, mtime}, Sync::Later);
                return;
            }
            made_.insert(e.host);
            if (!replaced) {
                append({"created", target, size, mtime}, Sync::Later);
                return;
            }
            std::string kept = pending_->kept;
            if (!kept.empty() && keptIsCurrent(kept, e.host)) {
                ::unlink((savedDir_ / kept).c_str());
                kept = kKeptSame;
            }
            append({"replaced", target, size, mtime, kept, std::to_string(pending_->size),
                    std::to_string(pending_->mtime), std::to_string(pending_->mode)});
            pending_.reset();
            return;
        }
        case K::FileDeleted: {
            if (pending_ && pending_->path == e.path) {
                append({"deleted", windowsPath(e.path), pending_->kept,
                        std::to_string(pending_->mtime), std::to_string(pending_->mode)});
                pending_.reset();
            } else {
                append({"deleted", windowsPath(e.path), "", "0", "0"});
            }
            return;
        }
        case K::FileMoved: {
            struct stat st {};
            if (e.ok && statOf(e.host, st))
                append({"moved", windowsPath(e.path), windowsPath(e.target),
                        std::to_string(st.st_size), std::to_string(nanoseconds(st.st_mtim))});
            return;
        }
        case K::DirectoryCreated:
            if (e.ok)
                append({"mkdir", windowsPath(e.path)}, Sync::Later);
            return;
        case K::ProfileKey: {
            if (!e.ok)
                return;
            const std::string& file = windowsPath(e.path);
            // A file the installation made goes whole; only its last state is needed to tell
            // whether the user changed it since.
            struct stat st {};
            if ((e.created || madeHere(e.host)) && statOf(e.host, st)) {
                const bool created = e.created && !madeHere(e.host);
                if (created)
                    made_.insert(e.host);
                append({created ? "created" : "touched", file, std::to_string(st.st_size),
                        std::to_string(nanoseconds(st.st_mtim))});
                return;
            }
            append({"profile", file, e.section, e.name, journalValue(e.before),
                    journalValue(e.after), e.sectionCreated ? "1" : "0"});
            return;
        }
        case K::RegistryKey:
            if (e.ok)
                append({"regkey", registryRoot(e.path), e.section});
            return;
        case K::RegistryValue:
            if (e.ok && e.before != std::optional<std::string>(e.after))
                append({"regvalue", registryRoot(e.path), e.section, e.name, journalValue(e.before),
                        journalValue(e.after)});
            return;
        case K::MacroSending:
            // Program Manager's store as it was before the installation's first macro, so that
            // the uninstaller knows which groups and items were there before; then the macro,
            // before it goes, since Program Manager may execute it after the wizard stopped
            // waiting.
            if (!storeKept_) {
                append({"groups", keep((prefix_ / "progman.txt").string())});
                storeKept_ = true;
            }
            append({"macro", e.path});
            return;
        case K::Macro:
        case K::ProgramStarted:
        case K::WineSetUp: // Wine's own files are not the installation's to take back
        case K::Outcome: return;
        }
    } catch (const std::exception& error) {
        failure_ = error.what();
    }
}

} // namespace zel
