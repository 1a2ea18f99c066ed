#include "winemu/iso_image.h"

#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/host_file.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <optional>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace zel {

namespace fs = std::filesystem;

namespace {

struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};

[[noreturn]] void refuseImage(const fs::path& image, const std::string& why) {
    throw PlatformError("A imagem " + utf8ToCp1252(image.string()) + " " + why +
                        "; nada foi instalado");
}

// libarchive's reason, in the user's words when it is the system's; its own texts are English.
std::string archiveReason(archive* a) {
    const int error = archive_errno(a);
    if (error == ENOENT || error == EACCES || error == EPERM || error == EIO || error == EISDIR)
        return "n\xe3o p\xf4"
               "de ser lida (" +
               systemReason(error) + ")";
    return "n\xe3o p\xf4"
           "de ser lida: n\xe3o \xe9 uma imagem de CD (ISO 9660) ou est\xe1 "
           "danificada";
}

// The entry's name as a path inside the extraction, or nothing for the image's root; empty
// parts and "." are dropped, and a name that is absolute or climbs out (..) is refused.
std::optional<fs::path> insideName(const fs::path& image, const char* name) {
    if (name == nullptr || *name == '\0' || *name == '/')
        refuseImage(image,
                    "cont\xe9m um nome fora da imagem (" + utf8ToCp1252(name ? name : "") + ")");
    fs::path inside;
    std::string_view rest = name;
    while (!rest.empty()) {
        const std::size_t slash = std::min(rest.find('/'), rest.size());
        const std::string_view part = rest.substr(0, slash);
        rest.remove_prefix(std::min(slash + 1, rest.size()));
        if (part == "..")
            refuseImage(image, "cont\xe9m um nome fora da imagem (" + utf8ToCp1252(name) + ")");
        if (!part.empty() && part != ".")
            inside /= std::string(part);
    }
    if (inside.empty())
        return std::nullopt;
    return inside;
}

const char* entryName(archive_entry* entry) {
    const char* utf8 = archive_entry_pathname_utf8(entry);
    return utf8 ? utf8 : archive_entry_pathname(entry);
}

// A file's mode once extracted: the image's, without any write bit. The installed copies take
// their modes from it as from a CD's files (the directory itself keeps others out).
mode_t readOnlyMode(archive_entry* entry) {
    return (archive_entry_perm(entry) & 0555) | 0400;
}

class Extraction {
public:
    Extraction(const fs::path& image, const fs::path& dir, std::uintmax_t budget)
        : image_(image), dir_(dir), budget_(budget) {}

    void run(archive* a) {
        archive_entry* entry = nullptr;
        for (;;) {
            const int status = archive_read_next_header(a, &entry);
            if (status == ARCHIVE_EOF)
                break;
            if (status < ARCHIVE_WARN)
                refuseImage(image_, archiveReason(a));
            const std::optional<fs::path> name = insideName(image_, entryName(entry));
            if (!name)
                continue;
            if (const char* link = archive_entry_hardlink(entry)) {
                // The same file under a second name: its own copy, counted again.
                copyOf(*name, insideName(image_, link));
            } else if (archive_entry_filetype(entry) == AE_IFDIR) {
                makeDirectory(*name);
            } else if (archive_entry_filetype(entry) == AE_IFREG) {
                extractFile(a, entry, *name);
            } else {
                refuseImage(image_, "cont\xe9m " + utf8ToCp1252(name->string()) +
                                        ", que n\xe3o \xe9 um arquivo nem uma pasta (um link "
                                        "ou um dispositivo)");
            }
        }
        // Read-only at last, the directories from the deepest up to the root.
        for (auto it = directories_.rbegin(); it != directories_.rend(); ++it)
            ::chmod(it->c_str(), 0500);
        ::chmod(dir_.c_str(), 0500);
    }

private:
    void makeDirectory(const fs::path& name) {
        fs::path at = dir_;
        for (const fs::path& part : name) {
            at /= part;
            if (::mkdir(at.c_str(), 0700) == 0) {
                directories_.push_back(at);
                continue;
            }
            struct stat st {};
            if (errno != EEXIST || ::lstat(at.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
                refuseImage(image_,
                            "tem " + utf8ToCp1252(name.string()) + " como arquivo e como pasta");
        }
    }

    // Counts `size` more bytes against the image's own size.
    void spend(std::uintmax_t size, const fs::path& name) {
        if (size > budget_)
            refuseImage(image_, "declara em " + utf8ToCp1252(name.string()) +
                                    " mais dados do que cont\xe9m");
        budget_ -= size;
    }

    int create(const fs::path& name) {
        if (name.has_parent_path())
            makeDirectory(name.parent_path());
        const fs::path file = dir_ / name;
        const int fd =
            ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            refuseImage(image_, "tem o nome " + utf8ToCp1252(name.string()) + " duas vezes");
        if (fd < 0)
            throw PlatformError(cannotWrite(file, errno));
        return fd;
    }

    static std::string cannotWrite(const fs::path& file, int error) {
        return "N\xe3o foi poss\xedvel gravar " + utf8ToCp1252(file.string()) + ": " +
               systemReason(error);
    }

    // Writes the whole buffer, or closes the file and says why it could not.
    void writeAll(int fd, const fs::path& name, const char* data, std::size_t size) {
        if (zel::writeAll(fd, std::string_view(data, size)))
            return;
        const int error = errno;
        ::close(fd);
        throw PlatformError(cannotWrite(dir_ / name, error));
    }

    void finish(int fd, const fs::path& name, mode_t mode) {
        const bool ok = ::fchmod(fd, mode) == 0;
        const int error = errno;
        if (::close(fd) != 0 || !ok)
            throw PlatformError(cannotWrite(dir_ / name, ok ? errno : error));
    }

    void extractFile(archive* a, archive_entry* entry, const fs::path& name) {
        if (archive_entry_size_is_set(entry))
            spend(static_cast<std::uintmax_t>(std::max<la_int64_t>(archive_entry_size(entry), 0)),
                  name);
        const std::uintmax_t declared =
            archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
        const int fd = create(name);
        std::vector<char> buffer(1 << 16);
        std::uintmax_t written = 0;
        for (;;) {
            const la_ssize_t got = archive_read_data(a, buffer.data(), buffer.size());
            if (got == 0)
                break;
            if (got < 0) {
                ::close(fd);
                refuseImage(image_, archiveReason(a));
            }
            written += static_cast<std::uintmax_t>(got);
            // Data past what was declared (a compressed file, say) is counted as it comes.
            if (written > declared)
                spend(
                    std::min<std::uintmax_t>(written - declared, static_cast<std::uintmax_t>(got)),
                    name);
            writeAll(fd, name, buffer.data(), static_cast<std::size_t>(got));
        }
        finish(fd, name, readOnlyMode(entry));
        files_.push_back(name);
    }

    void copyOf(const fs::path& name, const std::optional<fs::path>& target) {
        bool known = false;
        for (const fs::path& file : files_)
            known = known || (target && file == *target);
        if (!known)
            refuseImage(image_, "cont\xe9m " + utf8ToCp1252(name.string()) +
                                    ", que n\xe3o \xe9 um arquivo nem uma pasta (um link "
                                    "ou um dispositivo)");
        const fs::path from = dir_ / *target;
        std::error_code ec;
        spend(fs::file_size(from, ec), name);
        const int fd = create(name);
        const int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (in < 0) {
            ::close(fd);
            throw PlatformError(cannotWrite(dir_ / name, errno));
        }
        std::vector<char> buffer(1 << 16);
        const auto read = [&] { return ::read(in, buffer.data(), buffer.size()); };
        for (ssize_t got; (got = uninterrupted(read)) != 0;) {
            if (got < 0) {
                const int error = errno;
                ::close(in);
                ::close(fd);
                throw PlatformError(cannotWrite(dir_ / name, error));
            }
            writeAll(fd, name, buffer.data(), static_cast<std::size_t>(got));
        }
        struct stat st {};
        ::fstat(in, &st);
        ::close(in);
        finish(fd, name, st.st_mode & 07777);
        files_.push_back(name);
    }

    fs::path image_, dir_;
    std::uintmax_t budget_;
    std::vector<fs::path> directories_;
    std::vector<fs::path> files_;
};

fs::path temporaryBase() {
    // A relative TMPDIR would depend on where the program happens to run.
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp == '/')
        return tmp;
    return "/tmp";
}

// Starts the cleaner should a signal end the program while the extraction is there.
void armCleaner(const fs::path& dir);

} // namespace

ExtractedImage::ExtractedImage(const fs::path& image) {
    struct stat st {};
    if (::stat(image.c_str(), &st) != 0)
        refuseImage(image, "n\xe3o p\xf4"
                           "de ser lida (" +
                               systemReason(errno) + ")");
    std::string pattern = (temporaryBase() / "zel-medio-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw PlatformError("N\xe3o foi poss\xedvel criar uma pasta tempor\xe1ria em " +
                            utf8ToCp1252(temporaryBase().string()) +
                            " para a imagem: " + systemReason(errno));
    dir_ = pattern;
    try {
        std::unique_ptr<archive, ArchiveCloser> reader(archive_read_new());
        if (!reader)
            throw std::bad_alloc();
        archive_read_support_format_iso9660(reader.get());
        if (archive_read_open_filename(reader.get(), image.c_str(), 1 << 16) != ARCHIVE_OK)
            refuseImage(image, archiveReason(reader.get()));
        Extraction(image, dir_, static_cast<std::uintmax_t>(st.st_size)).run(reader.get());
        armCleaner(dir_);
    } catch (...) {
        removeReadOnlyTree(dir_); // nothing of a failed extraction is left behind
        throw;
    }
}

namespace {

bool isUnder(std::string_view path, const std::string& dir) {
    return path == dir ||
           (path.starts_with(dir) && path.size() > dir.size() && path[dir.size()] == '/');
}

// The cleaner waits, a second at a time and for a day at most, until no process works in the
// directory, then removes it; it is a shell of its own so that nothing of this process (its
// threads, its locks) is used after a fork. Each look is one find and one grep over every
// process, not a command per descriptor: on a busy machine that took seconds a look.
constexpr const char* kCleaner = R"sh(dir=$1
cd / || exit 1
pattern=$(printf '%s\n' "$dir" | sed 's/[][*?\\]/\\&/g') # its wildcards taken as they are
busy() {
    [ -n "$(find /proc/[0-9]*/cwd /proc/[0-9]*/fd -maxdepth 1 \( -lname "$pattern" -o \
        -lname "$pattern/*" \) -print -quit 2>/dev/null)" ] || grep -qsF " $dir/" /proc/[0-9]*/maps
}
n=0
while busy && [ $n -lt 86400 ]; do sleep 1; n=$((n + 1)); done
chmod -R u+w "$dir" 2>/dev/null
rm -rf "$dir")sh";

// A run ended by a signal (the user's Ctrl+C, a SIGTERM) leaves no extraction behind either: the
// handler starts the cleaner, then lets the signal end the program as it would have. Only what
// is safe in a handler is used: the directory's name kept ready, fork, execve.
char cleanerDir[4096];
volatile std::sig_atomic_t cleanerArmed = 0;
constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

void cleanOnSignal(int signal) {
    if (cleanerArmed) {
        cleanerArmed = 0;
        if (::fork() == 0) {
            ::setsid();
            ::close_range(3, ~0U, 0); // the cleaner holds nothing of the program's
            char sh[] = "sh", c[] = "-c";
            char* argv[] = {sh, c, const_cast<char*>(kCleaner), sh, cleanerDir, nullptr};
            ::execve("/bin/sh", argv, environ);
            ::_exit(127);
        }
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Armed for one extraction at a time, and only for the signals nobody else handles.
void armCleaner(const fs::path& dir) {
    const std::string name = dir.string();
    if (cleanerArmed || name.size() >= sizeof cleanerDir)
        return;
    std::memcpy(cleanerDir, name.c_str(), name.size() + 1);
    cleanerArmed = 1;
    for (int signal : kEndingSignals) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) {
            struct sigaction action {};
            action.sa_handler = cleanOnSignal;
            ::sigemptyset(&action.sa_mask);
            ::sigaction(signal, &action, nullptr);
        }
    }
}

void disarmCleaner(const fs::path& dir) {
    if (!cleanerArmed || dir.string() != cleanerDir)
        return;
    cleanerArmed = 0;
    for (int signal : kEndingSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == cleanOnSignal)
            ::signal(signal, SIG_DFL);
    }
}

} // namespace

bool usedByAnotherProcess(const fs::path& dir) {
    const std::string d = dir.string();
    const std::string self = std::to_string(::getpid());
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string pid = it->path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
            continue;
        std::error_code e;
        if (isUnder(fs::read_symlink(it->path() / "cwd", e).string(), d))
            return true;
        for (fs::directory_iterator fd(it->path() / "fd", e), fdEnd; !e && fd != fdEnd;
             fd.increment(e)) {
            std::error_code l;
            if (isUnder(fs::read_symlink(fd->path(), l).string(), d))
                return true;
        }
        std::ifstream maps(it->path() / "maps"); // sizeless: read as a stream
        for (std::string line; std::getline(maps, line);)
            if (line.find(" " + d + "/") != std::string::npos)
                return true;
    }
    return false;
}

ExtractedImage::~ExtractedImage() {
    disarmCleaner(dir_);
    if (!usedByAnotherProcess(dir_)) {
        removeReadOnlyTree(dir_);
        return;
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    // Nothing of the program's beyond its standard streams: a descriptor it left open in the
    // directory would otherwise make the cleaner wait on itself for a day.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    const std::string dir = dir_.string();
    const char* argv[] = {"sh", "-c", kCleaner, "sh", dir.c_str(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, "/bin/sh", &actions, &attributes, const_cast<char* const*>(argv),
                      environ) != 0)
        removeReadOnlyTree(dir_); // no cleaner: the image's files cannot outlive the run
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
}

void removeReadOnlyTree(const fs::path& dir) {
    std::error_code ec;
    ::chmod(dir.c_str(), 0700);
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec))
            ::chmod(it->path().c_str(), 0700);
    fs::remove_all(dir, ec);
}

} // namespace zel
