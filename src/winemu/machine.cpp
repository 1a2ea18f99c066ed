#include "winemu/machine.h"

#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/host_file.h"
#include "winemu/name_lookup.h"
#include "winemu/registry.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

namespace fs = std::filesystem;

namespace {

// Creates the directory and its missing parents inside `base` (which exists) with mode 0755 at
// most (a stricter umask still applies): nothing of the machine is writable by others. Raises
// PlatformError naming `dir` under `shownBase`, the machine as its user named it (`base` is
// the opened directory, a name of this process's own), when a component cannot be made.
void createMachineDirectory(const fs::path& base, const fs::path& dir, const fs::path& shownBase) {
    fs::path path = base;
    for (const fs::path& part : dir.lexically_relative(base)) {
        path /= part;
        if (::mkdir(path.c_str(), 0755) == 0)
            continue;
        std::error_code ec;
        const int error = errno != EEXIST ? errno : fs::is_directory(path, ec) ? 0 : ENOTDIR;
        if (error != 0)
            throw PlatformError("N\xe3o foi poss\xedvel criar a pasta da m\xe1quina " +
                                utf8ToCp1252((shownBase / dir.lexically_relative(base)).string()) +
                                ": " + systemReason(error));
    }
}

// Lexical containment of one absolute, normal path in another.
bool isWithin(const fs::path& path, const fs::path& root) {
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p) {
        if (r->empty())
            continue; // a trailing separator
        if (p == path.end() || *p != *r)
            return false;
    }
    return true;
}

fs::path canonicalOr(const fs::path& p) {
    std::error_code ec;
    auto c = fs::weakly_canonical(p, ec);
    return ec ? p.lexically_normal() : c;
}

} // namespace

Machine::Machine(Options options) : options_(std::move(options)) {
    options_.prefix = fs::absolute(options_.prefix);
    opened_ = openPrefix(options_.prefix, true, &resolved_);
    root_ = "/proc/self/fd/" + std::to_string(opened_.get());
    // Before anything in the machine is made or changed: a second writer changes nothing.
    if (options_.lockWait)
        lock_.emplace(root_, *options_.lockWait, resolved_);
    createMissing();
    std::error_code ec;
    fs::path devices = root_ / "dosdevices";
    for (fs::directory_iterator it(devices, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() != 2 || name[1] != ':' ||
            !std::isalpha(static_cast<unsigned char>(name[0])))
            continue;
        fs::path target = it->path();
        std::error_code lec;
        if (fs::is_symlink(it->path(), lec)) {
            target = fs::read_symlink(it->path(), lec);
            // Taken against the prefix's own path ("/proc/self/fd/N/.." is not its parent);
            // a drive inside the machine is still reached through the opened directory.
            if (target.is_relative())
                target = (resolved_ / "dosdevices" / target).lexically_normal();
            if (const fs::path inside = target.lexically_relative(resolved_);
                !inside.empty() && *inside.begin() != "..")
                target = root_ / inside;
        }
        drives_[static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])))] =
            target.lexically_normal();
    }
    drives_['C'] = root_ / "drive_c";
    mountProgramDrive();

    if (auto cwd = toWindows(options_.hostWorkingDir); cwd && !options_.hostWorkingDir.empty())
        current_ = *cwd;
    else
        current_ = parse(extractFilePath(programPath_))->text();
    currentOfDrive_[current_[0]] = current_;
}

fs::path Machine::defaultPrefix() {
    if (const char* p = std::getenv("ZEL_PREFIX"); p && *p) {
        std::error_code ec;
        const fs::path prefix = fs::absolute(p, ec);
        if (ec)
            throw PlatformError("N\xe3o foi poss\xedvel encontrar a m\xe1quina " + utf8ToCp1252(p) +
                                ": " + systemReason(ec.value()));
        return prefix.lexically_normal();
    }
    // A relative base directory is no base directory (as if unset), never one that depends on
    // where the program happens to run.
    const auto absolute = [](const char* dir) { return dir && *dir == '/'; };
    if (const char* x = std::getenv("XDG_DATA_HOME"); absolute(x))
        return fs::path(x) / "zel-setup" / "machine";
    fs::path home;
    if (const char* h = std::getenv("HOME"); absolute(h)) {
        home = h;
    } else if (const passwd* user = ::getpwuid(::geteuid()); user && user->pw_dir) {
        home = user->pw_dir; // never a directory shared with other users, like /tmp
    } else {
        throw PlatformError(
            "N\xe3o h\xe1 pasta pessoal para a m\xe1quina: defina HOME ou ZEL_PREFIX");
    }
    return home / ".local" / "share" / "zel-setup" / "machine";
}

fs::path Machine::runningExecutable() {
    std::error_code ec;
    const fs::path executable = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    std::string arguments;
    try {
        arguments = readHostFile("/proc/self/cmdline").value_or(std::string());
    } catch (const HostFileError&) {
        return executable;
    }
    const fs::path workingDir = fs::current_path(ec);
    const char* searchPath = std::getenv("PATH");
    return startedPath(arguments.c_str(), ec ? fs::path() : workingDir,
                       searchPath ? searchPath : "", executable)
        .value_or(executable);
}

std::optional<fs::path> Machine::startedPath(std::string_view argv0, const fs::path& workingDir,
                                             std::string_view searchPath,
                                             const fs::path& executable) {
    const auto sameFile = [&](const fs::path& candidate) -> std::optional<fs::path> {
        std::error_code ec;
        if (!candidate.is_absolute() || !fs::equivalent(candidate, executable, ec) || ec)
            return std::nullopt;
        return candidate.lexically_normal();
    };
    if (argv0.empty())
        return std::nullopt;
    if (argv0.find('/') != std::string_view::npos)
        return sameFile(workingDir / fs::path(argv0)); // an absolute argv0 replaces workingDir
    while (true) {
        const std::size_t colon = searchPath.find(':');
        const fs::path dir(searchPath.substr(0, colon));
        if (auto found = sameFile(workingDir / dir / fs::path(argv0)))
            return found;
        if (colon == std::string_view::npos)
            return std::nullopt;
        searchPath.remove_prefix(colon + 1);
    }
}

namespace {

[[noreturn]] void cannotOpen(const fs::path& prefix, int error) {
    throw PlatformError("N\xe3o foi poss\xedvel abrir a m\xe1quina " +
                        utf8ToCp1252(prefix.string()) + ": " + systemReason(error));
}

// Whether others than the user and root could change what this directory holds.
bool othersMayChange(const struct stat& st) {
    return (st.st_uid != ::geteuid() && st.st_uid != 0) ||
           ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0);
}

} // namespace

FileDescriptor Machine::openPrefix(const fs::path& given, bool create, fs::path* resolved) {
    const fs::path prefix = fs::absolute(given);
    // The directories opened so far, from "/" down, with their names.
    std::vector<std::pair<std::string, FileDescriptor>> opened;
    const auto pathOf = [&](std::string_view next = {}) {
        fs::path p = "/";
        for (std::size_t i = 1; i < opened.size(); ++i)
            p /= opened[i].first;
        return next.empty() ? p : p / next;
    };
    const auto openRoot = [&] {
        opened.clear();
        opened.emplace_back("/", FileDescriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)));
        if (!opened.back().second)
            cannotOpen(prefix, errno);
    };
    openRoot();
    struct stat rootStatus {};
    if (::fstat(opened.back().second.get(), &rootStatus) != 0 || othersMayChange(rootStatus))
        throw ForeignPrefixError(prefix, ForeignPrefixError::Reason::ReachedThroughOthers, "/");
    std::deque<std::string> pending;
    for (const fs::path& part : prefix.relative_path())
        pending.push_back(part.string());
    int links = 0;
    while (!pending.empty()) {
        const std::string name = std::move(pending.front());
        pending.pop_front();
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            if (opened.size() > 1)
                opened.pop_back();
            continue;
        }
        const int parent = opened.back().second.get();
        FileDescriptor fd(::openat(parent, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!fd && errno == ENOENT && create) {
            // Made 0755 at most: nothing of the machine, nor the way to it, is others' to change.
            if (::mkdirat(parent, name.c_str(), 0755) != 0 && errno != EEXIST)
                throw PlatformError("N\xe3o foi poss\xedvel criar a pasta da m\xe1quina " +
                                    utf8ToCp1252(prefix.string()) + ": " + systemReason(errno));
            fd.reset(::openat(parent, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        }
        struct stat st {};
        if (!fd || ::fstat(fd.get(), &st) != 0)
            cannotOpen(prefix, errno);
        if (S_ISLNK(st.st_mode)) {
            // Another user's link could be pointed anywhere at any moment.
            if (st.st_uid != ::geteuid() && st.st_uid != 0)
                throw ForeignPrefixError(prefix, ForeignPrefixError::Reason::ReachedThroughOthers,
                                         pathOf(name));
            if (++links > 40)
                cannotOpen(prefix, ELOOP);
            std::string target(PATH_MAX, '\0');
            const ssize_t size = ::readlinkat(fd.get(), "", target.data(), target.size());
            if (size <= 0 || static_cast<std::size_t>(size) >= target.size())
                cannotOpen(prefix, size < 0 ? errno : ENAMETOOLONG);
            target.resize(static_cast<std::size_t>(size));
            const fs::path to(target);
            std::vector<std::string> parts;
            for (const fs::path& part : to.relative_path())
                parts.push_back(part.string());
            pending.insert(pending.begin(), parts.begin(), parts.end());
            if (to.is_absolute())
                openRoot();
            continue;
        }
        if (!S_ISDIR(st.st_mode))
            cannotOpen(prefix, ENOTDIR);
        if (pending.empty()) {
            if (st.st_uid != ::geteuid())
                throw ForeignPrefixError(prefix, ForeignPrefixError::Reason::OtherOwner);
            if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
                throw ForeignPrefixError(prefix, ForeignPrefixError::Reason::WritableByOthers);
        } else if (othersMayChange(st)) {
            throw ForeignPrefixError(prefix, ForeignPrefixError::Reason::ReachedThroughOthers,
                                     pathOf(name));
        }
        opened.emplace_back(name, std::move(fd));
    }
    if (opened.size() == 1) { // "/" itself is nobody's machine
        struct stat st {};
        if (::fstat(opened.back().second.get(), &st) != 0 || st.st_uid != ::geteuid())
            throw ForeignPrefixError(prefix, ForeignPrefixError::Reason::OtherOwner);
    }
    if (resolved)
        *resolved = pathOf();
    return std::move(opened.back().second);
}

void Machine::refuseForeignPrefix(const fs::path& prefix) {
    openPrefix(prefix, false);
}

fs::path Machine::forOtherProcesses(const fs::path& host) const {
    const fs::path relative = host.lexically_relative(root_);
    if (relative.empty() || *relative.begin() == "..")
        return host;
    return relative == "." ? resolved_ : resolved_ / relative;
}

ForeignPrefixError::ForeignPrefixError(const fs::path& prefix, Reason reason,
                                       const fs::path& through)
    : PlatformError(
          "The machine " + prefix.string() +
          (reason == Reason::OtherOwner ? " belongs to another user"
           : reason == Reason::WritableByOthers
               ? " may be changed by other users"
               : " is reached through " + through.string() + ", which other users may change")),
      prefix_(prefix), reason_(reason), through_(through) {}

namespace {

constexpr std::string_view kLauncherStart = "#!/bin/sh\nexec '";

// The copy is replaced whole (a running server keeps the file it started from) and only when
// it differs, so a second start writes nothing.
void installProgram(const fs::path& from, const fs::path& to) {
    if (!sameHostFileContent(from, to)) {
        // Only a real file of the medium enters the machine, never what a link points at.
        const std::optional<std::string> program = readHostFileNoLink(from);
        if (!program)
            throw PlatformError("N\xe3o foi poss\xedvel instalar " +
                                utf8ToCp1252(to.filename().string()) + ": " +
                                utf8ToCp1252(from.string()) + " n\xe3o existe");
        writeHostFile(to, *program, 0755);
    }
    std::error_code ec;
    fs::permissions(to, fs::perms::owner_exec, fs::perm_options::add, ec);
    if (ec)
        throw PlatformError("N\xe3o foi poss\xedvel instalar " + utf8ToCp1252(to.string()) + ": " +
                            systemReason(ec.value()));
}

} // namespace

void Machine::createMissing() {
    const fs::path& prefix = root_;
    std::error_code ec;
    fs::path c = prefix / "drive_c";
    for (const fs::path& dir :
         {c / "WINDOWS" / "SYSTEM", c / "Program Files", prefix / "dosdevices"})
        createMachineDirectory(prefix, dir, options_.prefix);
    fs::path link = prefix / "dosdevices" / "c:";
    if (fs::symlink_status(link, ec).type() == fs::file_type::not_found)
        fs::create_directory_symlink("../drive_c", link, ec);
    Registry::createDefaults(registryFile());
    if (!options_.progmanHostPath.empty())
        writeProgmanLauncher();
    if (!options_.uninstallerHostPath.empty()) {
        const fs::path target = installedUninstaller(prefix);
        createMachineDirectory(prefix, target.parent_path(), options_.prefix);
        installProgram(options_.uninstallerHostPath, target);
    }
}

void Machine::writeProgmanLauncher() {
    fs::path target = options_.progmanHostPath;
    if (options_.installProgman) {
        target = installedProgman(root_);
        createMachineDirectory(root_, target.parent_path(), options_.prefix);
        installProgram(options_.progmanHostPath, target);
    }
    // The launcher is started from any directory and by other processes: the prefix's own path.
    target = forOtherProcesses(fs::absolute(target).lexically_normal());
    // A launcher rather than a link, so the machine keeps working when run from a copy.
    std::string launcher(kLauncherStart);
    for (char ch : target.string())
        launcher += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    launcher += "' \"$@\"\n";
    const fs::path file = root_ / "drive_c" / "WINDOWS" / "PROGMAN.EXE";
    if (createHostFile(file, launcher, 0755))
        return;
    // One of ours that starts another program (a medium since removed, say) is brought up to
    // date; anything else there is the user's.
    const std::optional<std::string> present = readHostFile(file);
    if (present && present->starts_with(kLauncherStart) && *present != launcher)
        writeHostFile(file, launcher, 0755);
}

void Machine::mountProgramDrive() {
    fs::path program = options_.programHostPath;
    if (program.empty())
        program = runningExecutable();
    // The program keeps the name and the directory it was reached by: a symbolic link is not
    // followed to its target, only the directory is resolved to find its drive.
    program = fs::absolute(program).lexically_normal();
    std::string name = utf8ToCp1252(program.filename().string());
    fs::path dir = canonicalOr(program.parent_path());
    if (!options_.mediumHostDir.empty()) {
        // The wizard's own place then matters only for its helpers, found by its caller.
        name = kMediumProgramName;
        dir = canonicalOr(fs::absolute(options_.mediumHostDir).lexically_normal());
    }
    if (auto win = toWindows(dir)) {
        programPath_ = win->ends_with('\\') ? *win + name : *win + "\\" + name;
        return;
    }
    // A program outside every drive gets its directory mounted, as a kit's CD-ROM would be.
    for (char letter = 'D'; letter <= 'Z'; ++letter) {
        if (drives_.count(letter))
            continue;
        drives_[letter] = dir;
        programPath_ = std::string(1, letter) + ":\\" + name;
        return;
    }
    throw PlatformError("N\xe3o h\xe1 letra de unidade livre para a pasta do programa");
}

std::vector<char> Machine::driveLetters() const {
    std::vector<char> out;
    for (const auto& [letter, root] : drives_)
        out.push_back(letter);
    return out;
}

std::optional<fs::path> Machine::driveRoot(char letter) const {
    auto it = drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
    if (it == drives_.end())
        return std::nullopt;
    return it->second;
}

std::optional<WinPath> Machine::parse(std::string_view winPath) const {
    return parseWinPath(winPath, current_);
}

std::optional<fs::path> Machine::toHost(std::string_view winPath) const {
    auto p = parse(winPath);
    if (!p)
        return std::nullopt;
    auto root = driveRoot(p->drive);
    if (!root)
        return std::nullopt;
    fs::path host = *root;
    bool exists = true;
    for (const std::string& component : p->components) {
        if (exists) {
            if (auto match = findCaseless(host, component)) {
                host /= *match;
                continue;
            }
            exists = false;
        }
        host /= cp1252ToUtf8(component);
    }
    return host;
}

std::optional<std::string> Machine::toWindows(const fs::path& hostPath) const {
    if (hostPath.empty())
        return std::nullopt;
    fs::path path = canonicalOr(fs::absolute(hostPath));
    std::optional<char> best;
    fs::path bestRoot;
    for (const auto& [letter, root] : drives_) {
        fs::path r = canonicalOr(root);
        if (isWithin(path, r) && (!best || std::distance(r.begin(), r.end()) >
                                               std::distance(bestRoot.begin(), bestRoot.end()))) {
            best = letter;
            bestRoot = r;
        }
    }
    if (!best)
        return std::nullopt;
    WinPath win;
    win.drive = *best;
    for (const auto& part : path.lexically_relative(bestRoot)) {
        std::string s = part.string();
        if (!s.empty() && s != ".")
            win.components.push_back(utf8ToCp1252(s));
    }
    return win.text();
}

std::string Machine::currentDirectoryOf(char drive) const {
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drive)));
    auto it = currentOfDrive_.find(letter);
    if (it != currentOfDrive_.end())
        return it->second;
    return std::string(1, letter) + ":\\";
}

bool Machine::setCurrentDirectory(std::string_view winPath) {
    std::string target(winPath);
    if (target.size() == 2 && target[1] == ':')
        target = currentDirectoryOf(target[0]);
    auto p = parse(target);
    if (!p)
        return false;
    auto host = toHost(p->text());
    std::error_code ec;
    if (!host || !fs::is_directory(*host, ec) || ::access(host->c_str(), X_OK) != 0)
        return false;
    current_ = p->text();
    currentOfDrive_[p->drive] = current_;
    return true;
}

} // namespace zel
