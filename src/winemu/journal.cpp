#include "winemu/journal.h"

#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/host_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

namespace {

struct Listeners {
    std::mutex mutex;
    std::vector<InstallObserver*> list;
};

Listeners& listeners() {
    static Listeners instance;
    return instance;
}

// A text as the log shows it: UTF-8, control characters escaped, so a value cannot fake lines.
std::string shown(std::string_view text) {
    return escapeControls(cp1252ToUtf8(text));
}

std::string quotedValue(const std::optional<std::string>& value) {
    return value ? "\"" + shown(*value) + "\"" : std::string("(none)");
}

} // namespace

void report(const InstallEvent& event) {
    Listeners& all = listeners();
    std::vector<InstallObserver*> now;
    {
        std::lock_guard lock(all.mutex);
        now = all.list;
    }
    for (InstallObserver* observer : now) {
        try {
            observer->record(event);
        } catch (...) {
            // Hearing about a change must never undo or stop it.
        }
    }
}

JournalSubscription::JournalSubscription(InstallObserver& observer) : observer_(observer) {
    Listeners& all = listeners();
    std::lock_guard lock(all.mutex);
    all.list.push_back(&observer_);
}

JournalSubscription::~JournalSubscription() {
    Listeners& all = listeners();
    std::lock_guard lock(all.mutex);
    all.list.erase(std::remove(all.list.begin(), all.list.end(), &observer_), all.list.end());
}

std::string logLine(const InstallEvent& e) {
    using K = InstallEvent::Kind;
    const std::string failed = e.ok ? "" : " FAILED";
    switch (e.kind) {
    case K::FileCopied: return "copy " + shown(e.path) + " -> " + shown(e.target) + failed;
    case K::FileMoved: return "move " + shown(e.path) + " -> " + shown(e.target) + failed;
    case K::FileDeleted: return "delete " + shown(e.path) + failed;
    case K::FileReplacing: return "replacing " + shown(e.path) + failed;
    case K::DirectoryCreated: return "mkdir " + shown(e.path) + failed;
    case K::ProfileKey:
        return "profile " + shown(e.path) + " [" + shown(e.section) + "] " + shown(e.name) + " = " +
               quotedValue(e.after) + " (was " + quotedValue(e.before) + ")" + failed;
    case K::RegistryKey: return "registry-key " + shown(e.section) + failed;
    case K::RegistryValue:
        return "registry " + shown(e.section) + " " + shown(e.name) + " = " + quotedValue(e.after) +
               " (was " + quotedValue(e.before) + ")" + failed;
    case K::Macro:
        return std::string(e.ok ? "macro delivered " : "macro NOT delivered ") + shown(e.path);
    case K::ProgramStarted: return "start " + shown(e.path) + failed;
    case K::Outcome: return "outcome " + std::to_string(e.status) + " " + shown(e.after);
    }
    return "event";
}

LogFile::LogFile(const std::string& hostPath) {
    // Never through a link: the log could otherwise be aimed at someone else's file.
    fd_ = ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat st {};
    if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd_);
        fd_ = -1;
        errno = EINVAL;
    }
    if (fd_ < 0)
        throw PlatformError("N\xe3o foi poss\xedvel abrir o registro da instala\xe7\xe3o " +
                            utf8ToCp1252(hostPath) + " (" + std::strerror(errno) + ")");
}

LogFile::~LogFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

void LogFile::record(const InstallEvent& event) {
    write(logLine(event));
}

void LogFile::write(const std::string& line) {
    // One write per line, straight to the file: what happened is there even if the run dies.
    writeAll(fd_, line + "\n");
}

// ---------------------------------------------------------------- the journal

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kJournalHeader = "zel-journal\t1";
constexpr std::string_view kJournalExtension = ".journal";

std::string escapeField(std::string_view text) {
    std::string out;
    for (char ch : text) {
        switch (ch) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += ch;
        }
    }
    return out;
}

std::string unescapeField(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

long long nanoseconds(const struct timespec& t) {
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// Writes all of `text` on the descriptor and syncs it; false when it could not.
bool writeSynced(int fd, std::string_view text) {
    return writeAll(fd, text) && ::fsync(fd) == 0;
}

// A directory of the machine's own, made readable by its owner only; one already there must
// be a real directory (not a link somewhere else).
void makePrivateDirectory(const fs::path& dir) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        throw PlatformError("Unable to create " + dir.string() + ": " + std::strerror(errno));
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        throw PlatformError(dir.string() + " is not a directory of this user");
}

} // namespace

fs::path journalDirectory(const fs::path& prefix) {
    return prefix / "journal";
}

fs::path keptDirectory(const fs::path& journal) {
    fs::path dir = journal;
    return dir.replace_extension(".saved");
}

std::string journalValue(const std::optional<std::string>& value) {
    return value ? "=" + *value : std::string("-");
}

std::optional<std::string> journalValueOf(std::string_view field) {
    if (field.starts_with('='))
        return std::string(field.substr(1));
    return std::nullopt;
}

InstallJournal::InstallJournal(fs::path prefix) : prefix_(std::move(prefix)) {}

InstallJournal::~InstallJournal() {
    dropPending();
    if (fd_ >= 0)
        ::close(fd_);
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
    if (fd_ < 0 || !writeSynced(fd_, std::string(kJournalHeader) + "\n"))
        throw PlatformError("Unable to write " + file_.string() + ": " + std::strerror(errno));
}

void InstallJournal::append(const std::vector<std::string>& fields) {
    open();
    std::string line;
    for (const std::string& field : fields)
        line += (line.empty() ? "" : "\t") + escapeField(field);
    // The record whole in one write, so nothing of a later record can precede it.
    if (!writeSynced(fd_, line + "\n"))
        throw PlatformError("Unable to write " + file_.string() + ": " + std::strerror(errno));
}

std::string InstallJournal::keep(const std::string& host) {
    FileDescriptor in(::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!in || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    const std::optional<std::string> content =
        readOpenHostFile(in.get(), host, static_cast<std::size_t>(st.st_size),
                        static_cast<std::size_t>(-1));
    if (!content)
        return {};
    open();
    makePrivateDirectory(savedDir_);
    const std::string name = std::to_string(++kept_);
    const fs::path to = savedDir_ / name;
    FileDescriptor out(
        ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out || !writeSynced(out.get(), *content) || !out.close())
        throw PlatformError("Unable to keep " + host + " in " + to.string());
    return name;
}

void InstallJournal::dropPending() {
    if (pending_ && !pending_->kept.empty())
        ::unlink((savedDir_ / pending_->kept).c_str());
    pending_.reset();
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
            if (!statOf(e.host, st))
                return;
            Pending pending{e.path, e.host, keep(e.host), static_cast<long long>(st.st_size),
                            nanoseconds(st.st_mtim), static_cast<unsigned>(st.st_mode & 07777)};
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
            made_.push_back(e.host);
            if (!replaced) {
                append({"created", e.target, e.host, size, mtime});
                return;
            }
            append({"replaced", e.target, e.host, size, mtime, pending_->kept,
                    std::to_string(pending_->size), std::to_string(pending_->mtime),
                    std::to_string(pending_->mode)});
            pending_.reset();
            return;
        }
        case K::FileDeleted: {
            if (pending_ && pending_->path == e.path) {
                append({"deleted", e.path, pending_->host, pending_->kept,
                        std::to_string(pending_->mtime), std::to_string(pending_->mode)});
                pending_.reset();
            } else {
                append({"deleted", e.path, "", "", "0", "0"});
            }
            return;
        }
        case K::FileMoved: {
            struct stat st {};
            if (e.ok && statOf(e.host, st))
                append({"moved", e.path, e.target, std::to_string(st.st_size),
                        std::to_string(nanoseconds(st.st_mtim))});
            return;
        }
        case K::DirectoryCreated:
            if (e.ok)
                append({"mkdir", e.path});
            return;
        case K::ProfileKey: {
            if (!e.ok)
                return;
            // A file the installation made goes whole; only its last state is needed to tell
            // whether the user changed it since.
            const bool ours = std::find(made_.begin(), made_.end(), e.host) != made_.end();
            struct stat st {};
            if ((e.created || ours) && statOf(e.host, st)) {
                if (e.created)
                    made_.push_back(e.host);
                append({e.created ? "created" : "touched", e.path, e.host,
                        std::to_string(st.st_size), std::to_string(nanoseconds(st.st_mtim))});
                return;
            }
            append({"profile", e.path, e.host, e.section, e.name, journalValue(e.before),
                    journalValue(e.after)});
            return;
        }
        case K::RegistryKey:
            if (e.ok)
                append({"regkey", e.path, e.section});
            return;
        case K::RegistryValue:
            if (e.ok && e.before != std::optional<std::string>(e.after))
                append({"regvalue", e.path, e.section, e.name, journalValue(e.before),
                        journalValue(e.after)});
            return;
        case K::Macro:
            if (e.ok)
                append({"macro", e.path});
            return;
        case K::ProgramStarted:
        case K::Outcome: return;
        }
    } catch (const std::exception& error) {
        failure_ = error.what();
    }
}

std::vector<JournalRecord> readJournal(const fs::path& journal) {
    std::optional<std::string> content;
    try {
        content = readHostFile(journal);
    } catch (const HostFileError& e) {
        throw PlatformError(e.what());
    }
    if (!content)
        throw PlatformError(journal.string() + ": no such journal");
    std::string_view text = *content;
    const std::size_t headerEnd = text.find('\n');
    if (headerEnd == std::string_view::npos || text.substr(0, headerEnd) != kJournalHeader)
        throw PlatformError(journal.string() + ": not an installation journal");
    text.remove_prefix(headerEnd + 1);
    std::vector<JournalRecord> records;
    // A line without its line break is a record the run was killed while writing.
    for (std::size_t end = text.find('\n'); end != std::string_view::npos;
         end = text.find('\n')) {
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        JournalRecord record;
        bool first = true;
        while (true) {
            const std::size_t tab = line.find('\t');
            std::string field = unescapeField(line.substr(0, tab));
            if (first)
                record.kind = std::move(field);
            else
                record.fields.push_back(std::move(field));
            first = false;
            if (tab == std::string_view::npos)
                break;
            line.remove_prefix(tab + 1);
        }
        records.push_back(std::move(record));
    }
    return records;
}

std::optional<fs::path> latestJournal(const fs::path& prefix) {
    std::optional<fs::path> latest;
    std::error_code ec;
    for (fs::directory_iterator it(journalDirectory(prefix), ec), end; !ec && it != end;
         it.increment(ec)) {
        const fs::path& path = it->path();
        if (path.extension() == kJournalExtension && it->is_regular_file(ec) &&
            (!latest || path.filename() > latest->filename()))
            latest = path;
    }
    return latest;
}

void markJournalUndone(const fs::path& journal) {
    fs::path undone = journal;
    undone.replace_extension(".undone");
    if (::rename(journal.c_str(), undone.c_str()) != 0)
        throw PlatformError("Unable to rename " + journal.string() + ": " + std::strerror(errno));
}

} // namespace zel
