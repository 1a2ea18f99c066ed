#include "winemu/files.h"

#include "winemu/events.h"

#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/host_file.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace zel {

namespace fs = std::filesystem;

namespace {

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string hostNameToWindows(const char* name) {
    std::string_view view(name);
    return isAscii(view) ? std::string(view) : utf8ToCp1252(view);
}

bool writable(const struct stat& st) {
    return (st.st_mode & S_IWUSR) != 0;
}

SearchEntry entryFromStat(std::string name, const struct stat& st) {
    SearchEntry e;
    e.attributes = S_ISDIR(st.st_mode) ? attr::Directory : attr::Archive;
    if (!name.empty() && name[0] == '.')
        e.attributes |= attr::Hidden;
    if (!writable(st))
        e.attributes |= attr::ReadOnly;
    e.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
    e.dosTime = toDosTime(st.st_mtime);
    e.name = std::move(name);
    return e;
}

// Files a filter lets through: hidden, system, volume-label and directory entries only when
// the filter asks for them.
bool passesFilter(std::uint32_t attributes, std::uint32_t filter) {
    constexpr std::uint32_t special =
        attr::Hidden | attr::System | attr::VolumeId | attr::Directory;
    return (attributes & special & ~filter) == 0;
}

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

bool isWildcard(std::string_view mask) {
    return mask.find_first_of("*?") != std::string_view::npos;
}

} // namespace

// ---------------------------------------------------------------- dates

std::uint32_t toDosTime(std::int64_t unixSeconds) {
    std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return 0;
    int year = tm.tm_year + 1900;
    if (year < 1980)
        return ((1u << 5) | 1u) << 16; // 1980-01-01, the earliest date the form can hold
    if (year > 2107)
        year = 2107;
    std::uint32_t date = (static_cast<std::uint32_t>(year - 1980) << 9) |
                         (static_cast<std::uint32_t>(tm.tm_mon + 1) << 5) |
                         static_cast<std::uint32_t>(tm.tm_mday);
    std::uint32_t time = (static_cast<std::uint32_t>(tm.tm_hour) << 11) |
                         (static_cast<std::uint32_t>(tm.tm_min) << 5) |
                         static_cast<std::uint32_t>(tm.tm_sec / 2);
    return (date << 16) | time;
}

std::int64_t fromDosTime(std::uint32_t dosTime) {
    std::uint32_t date = dosTime >> 16, time = dosTime & 0xFFFF;
    std::tm tm{};
    tm.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
    tm.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    tm.tm_mday = static_cast<int>(date & 0x1F);
    tm.tm_hour = static_cast<int>((time >> 11) & 0x1F);
    tm.tm_min = static_cast<int>((time >> 5) & 0x3F);
    tm.tm_sec = static_cast<int>((time & 0x1F) * 2);
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

std::int64_t dosTimeRounded(std::int64_t unixSeconds) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm) || tm.tm_year + 1900 < 1980 || tm.tm_year + 1900 > 2107)
        return fromDosTime(toDosTime(unixSeconds)); // the form's earliest or latest date
    // Only the odd second is lost; the local date and time are otherwise kept as they are.
    return unixSeconds - tm.tm_sec % 2;
}

bool wildcardMatch(std::string_view mask, std::string_view name) {
    if (mask == "*" || mask == "*.*")
        return true;
    // A trailing ".*" also matches a name without any extension.
    if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos &&
        wildcardMatch(mask.substr(0, mask.size() - 2), name))
        return true;
    std::size_t m = 0, n = 0, starM = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || upperCp1252(mask[m]) == upperCp1252(name[n]))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (starM != std::string_view::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

// ---------------------------------------------------------------- files

bool Files::fileExists(std::string_view path) const {
    auto host = m_.toHost(path);
    std::error_code ec;
    return host && fs::exists(*host, ec) && !fs::is_directory(*host, ec);
}

std::optional<fs::path> driveDirectoryOf(const Machine& machine, std::string_view winPath) {
    const auto parsed = machine.parse(winPath);
    if (!parsed)
        return std::nullopt;
    return machine.driveRoot(parsed->text()[0]);
}

bool openFileInside(int fd, const fs::path& root) {
    std::error_code ec;
    const fs::path base = fs::weakly_canonical(root, ec);
    return !ec && openFileWithin(fd, base);
}

bool openFileWithin(int fd, const fs::path& base) {
    std::error_code ec;
    const fs::path real = linkTarget("/proc/self/fd/" + std::to_string(fd), ec);
    if (ec || real.empty() || base.empty())
        return false;
    auto r = real.begin();
    for (auto b = base.begin(); b != base.end(); ++b, ++r) {
        if (b->empty())
            continue; // the trailing separator of "dir/"
        if (r == real.end() || *r != *b)
            return false;
    }
    return true;
}

std::optional<std::string> readBoundedFile(const fs::path& hostFile, std::size_t maxBytes,
                                           const fs::path& within) {
    using Step = HostFileError::Step;
    // Not blocking on open: a pipe in the file's place is refused, not waited for.
    FileDescriptor fd(::open(hostFile.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP)
            return std::nullopt;
        throw HostFileError(Step::Open, hostFile, errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        throw HostFileError(Step::Open, hostFile, errno);
    if (!S_ISREG(st.st_mode) || static_cast<std::uintmax_t>(st.st_size) > maxBytes ||
        (!within.empty() && !openFileInside(fd.get(), within)))
        return std::nullopt;
    return readOpenHostFile(fd.get(), hostFile, static_cast<std::size_t>(st.st_size), maxBytes);
}

std::optional<std::string> readDriveFile(const Machine& machine, std::string_view winPath,
                                         std::size_t maxBytes) {
    const auto host = machine.toHost(winPath);
    const auto drive = driveDirectoryOf(machine, winPath);
    if (!host || !drive)
        return std::nullopt;
    try {
        return readBoundedFile(*host, maxBytes, *drive);
    } catch (const HostFileError& e) {
        throw PlatformError((e.step() == HostFileError::Step::Open
                                 ? "N\xe3o foi poss\xedvel abrir o arquivo \""
                                 : "N\xe3o foi poss\xedvel ler o arquivo \"") +
                            std::string(winPath) + "\"");
    }
}

FileDescriptor Files::openRead(std::string_view path) {
    auto host = m_.toHost(path);
    if (!host)
        return {};
    FileDescriptor fd(::open(host->c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd || fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
        return {};
    return fd;
}

FileDescriptor Files::createFile(std::string_view path) {
    auto host = m_.toHost(path);
    if (!host)
        return {};
    struct stat st {};
    // A read-only file cannot be recreated, whoever asks.
    if (::stat(host->c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || !writable(st)))
        return {};
    return FileDescriptor(::open(host->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
}

std::int64_t Files::seek(const FileDescriptor& file, std::int64_t offset, int origin) {
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(file.get(), static_cast<off_t>(offset), whence);
    return r < 0 ? -1 : static_cast<std::int64_t>(r);
}

std::int64_t Files::read(const FileDescriptor& file, void* buffer, std::int64_t count) {
    if (count < 0)
        return -1;
    return uninterrupted(
        [&] { return ::read(file.get(), buffer, static_cast<std::size_t>(count)); });
}

std::int64_t Files::write(const FileDescriptor& file, const void* buffer, std::int64_t count) {
    if (count < 0)
        return -1;
    std::int64_t done = 0;
    const char* p = static_cast<const char*>(buffer);
    while (done < count) {
        const ssize_t w = uninterrupted(
            [&] { return ::write(file.get(), p + done, static_cast<std::size_t>(count - done)); });
        if (w <= 0)
            return done > 0 ? done : -1;
        done += w;
    }
    return done;
}

std::uint32_t Files::getFileDate(const FileDescriptor& file) {
    struct stat st {};
    return fstat(file.get(), &st) == 0 ? toDosTime(st.st_mtime) : 0;
}

bool Files::setFileDate(const FileDescriptor& file, std::uint32_t dosTime) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(fromDosTime(dosTime));
    times[0].tv_nsec = times[1].tv_nsec = 0;
    return ::futimens(file.get(), times) == 0;
}

bool Files::deleteFile(std::string_view path) {
    auto host = m_.toHost(path);
    struct stat st {};
    if (!host || ::lstat(host->c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    if (!S_ISLNK(st.st_mode) && !writable(st))
        return false; // read-only files are not deleted
    InstallEvent replacing{InstallEvent::Kind::FileReplacing};
    replacing.path = path;
    replacing.host = host->string();
    report(replacing); // before the content is gone, so that it can be kept
    if (::unlink(host->c_str()) != 0)
        return false;
    InstallEvent deleted{InstallEvent::Kind::FileDeleted};
    deleted.path = path;
    report(deleted);
    return true;
}

bool Files::renameFile(std::string_view from, std::string_view to) {
    auto src = m_.toHost(from);
    auto dst = m_.toHost(to);
    std::error_code ec;
    if (!src || !dst || fs::symlink_status(*src, ec).type() == fs::file_type::not_found)
        return false;
    if (fs::symlink_status(*dst, ec).type() != fs::file_type::not_found)
        return false;
    if (::rename(src->c_str(), dst->c_str()) != 0)
        return false;
    InstallEvent moved{InstallEvent::Kind::FileMoved};
    moved.path = from;
    moved.target = to;
    moved.host = dst->string();
    report(moved);
    return true;
}

std::optional<std::vector<std::string>> Files::readTextFile(std::string_view path,
                                                            std::size_t maxBytes) {
    const std::optional<std::string> read = readDriveFile(m_, path, maxBytes);
    if (!read)
        return std::nullopt;
    const std::string& content = *read;
    std::vector<std::string> lines;
    std::size_t start = 0, i = 0;
    while (i < content.size()) {
        char c = content[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(content, start, i - start);
            i += (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < content.size())
        lines.emplace_back(content, start, content.size() - start);
    return lines;
}

// ---------------------------------------------------------------- finding

std::optional<SearchEntry> Files::findFirst(std::string_view pathWithMask) {
    auto entries = findEntries(pathWithMask, attr::AnyFile);
    if (entries.empty())
        return std::nullopt;
    return entries.front();
}

std::vector<SearchEntry> Files::findEntries(std::string_view pathWithMask, std::uint32_t filter) {
    std::vector<SearchEntry> out;
    auto full = m_.parse(pathWithMask);
    if (!full || full->components.empty())
        return out;
    std::string mask = full->components.back();
    full->components.pop_back();
    auto dir = m_.toHost(full->text());
    if (!dir)
        return out;
    std::unique_ptr<DIR, DirCloser> d(::opendir(dir->c_str()));
    if (!d)
        return out;
    bool wild = isWildcard(mask);
    while (dirent* de = ::readdir(d.get())) {
        if (std::strcmp(de->d_name, ".") == 0 || std::strcmp(de->d_name, "..") == 0)
            continue;
        std::string name = hostNameToWindows(de->d_name);
        if (wild ? !wildcardMatch(mask, name) : !equalsNoCase(mask, name))
            continue;
        struct stat st {};
        if (::fstatat(dirfd(d.get()), de->d_name, &st, 0) != 0)
            continue; // a dangling link or an entry removed meanwhile
        SearchEntry e = entryFromStat(std::move(name), st);
        if (passesFilter(e.attributes, filter))
            out.push_back(std::move(e));
    }
    // The exact spelling first, as a direct lookup would find it.
    if (!wild)
        std::stable_partition(out.begin(), out.end(),
                              [&](const SearchEntry& e) { return e.name == mask; });
    return out;
}

namespace {

// One directory of the walk. `dir` is the Windows directory text ending in "\" and `host`
// its host path; both grow and shrink as the walk goes down and up.
bool walkDirectory(std::string& dir, std::string& host,
                   const std::function<bool(std::string_view)>& accept,
                   const WalkCallback& callback) {
    std::unique_ptr<DIR, DirCloser> d(::opendir(host.c_str()));
    if (!d)
        return true; // an unreadable directory is passed over
    std::vector<std::string> subdirs;
    while (dirent* de = ::readdir(d.get())) {
        const char* raw = de->d_name;
        if (std::strcmp(raw, ".") == 0 || std::strcmp(raw, "..") == 0)
            continue;
        unsigned char type = de->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st {};
            if (::fstatat(dirfd(d.get()), raw, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISDIR(st.st_mode))
                type = DT_DIR;
        }
        if (type == DT_DIR) {
            if (raw[0] != '.') // hidden directories are not entered
                subdirs.emplace_back(raw);
            continue;
        }
        std::string name = hostNameToWindows(raw);
        if (!accept(name))
            continue;
        struct stat st {};
        if (::fstatat(dirfd(d.get()), raw, &st, 0) != 0)
            continue; // removed meanwhile, or a dangling link
        if (S_ISDIR(st.st_mode))
            continue; // a link to a directory: reported as neither file nor entered
        if (callback(dir, entryFromStat(std::move(name), st)) == WalkAnswer::Stop)
            return false;
    }
    d.reset();
    for (const std::string& sub : subdirs) {
        std::size_t dirLen = dir.size(), hostLen = host.size();
        dir += hostNameToWindows(sub.c_str());
        dir += '\\';
        if (host.back() != '/')
            host += '/';
        host += sub;
        bool go = walkDirectory(dir, host, accept, callback);
        dir.resize(dirLen);
        host.resize(hostLen);
        if (!go)
            return false;
    }
    return true;
}

} // namespace

bool Files::walk(std::string_view startDir, std::string_view mask, const WalkCallback& callback) {
    std::string m = mask.empty() ? std::string("*.*") : std::string(mask);
    if (isWildcard(m))
        return walk(
            startDir, [&](std::string_view name) { return wildcardMatch(m, name); }, callback);
    return walk(
        startDir, [&](std::string_view name) { return equalsNoCase(m, name); }, callback);
}

bool Files::walk(std::string_view startDir, const std::function<bool(std::string_view)>& accept,
                 const WalkCallback& callback) {
    std::string start = startDir.empty() ? m_.currentDirectory() : std::string(startDir);
    auto parsed = m_.parse(start);
    if (!parsed)
        return true;
    auto host = m_.toHost(parsed->text());
    if (!host)
        return true;
    std::string dir = withTrailingBackslash(start);
    std::string hostText = host->string();
    return walkDirectory(dir, hostText, accept, callback);
}

// ---------------------------------------------------------------- directories and drives

bool Files::createDirectory(std::string_view path) {
    auto host = m_.toHost(path);
    if (!host || ::mkdir(host->c_str(), 0755) != 0)
        return false;
    InstallEvent created{InstallEvent::Kind::DirectoryCreated};
    created.path = path;
    report(created);
    return true;
}

std::int64_t Files::diskFree(int driveNumber) {
    char letter =
        driveNumber == 0 ? m_.currentDirectory()[0] : static_cast<char>('A' + driveNumber - 1);
    if (driveNumber < 0 || driveNumber > 26)
        return -1;
    auto root = m_.driveRoot(letter);
    struct statvfs sv {};
    if (!root || ::statvfs(root->c_str(), &sv) != 0)
        return -1;
    return static_cast<std::int64_t>(sv.f_bavail) * static_cast<std::int64_t>(sv.f_frsize);
}

std::vector<char> Files::listDrives() const {
    return m_.driveLetters();
}

std::vector<std::string> Files::listSubdirectories(std::string_view dir) {
    std::vector<std::string> names;
    for (auto& e : findEntries(withTrailingBackslash(dir) + "*.*", attr::Directory))
        if (e.attributes & attr::Directory)
            names.push_back(std::move(e.name));
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(),
            [](char x, char y) { return upperCp1252(x) < upperCp1252(y); });
    });
    return names;
}

std::string Files::currentDirectoryOf(char drive) const {
    return m_.currentDirectoryOf(drive);
}

void Files::enter(std::string_view driveOrDir) {
    if (!m_.setCurrentDirectory(driveOrDir))
        throw PlatformError("N\xe3o foi poss\xedvel entrar em " + std::string(driveOrDir));
}

} // namespace zel
