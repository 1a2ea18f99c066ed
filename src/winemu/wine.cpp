#include "winemu/wine.h"

#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/events.h"
#include "winemu/host_file.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zel {

namespace fs = std::filesystem;

namespace {

// Written once Wine's first set-up has finished: a set-up cut short is done again.
constexpr const char* kReadyMark = ".zel-ready";
// The machine's registry as last imported into Wine: the same text is not imported again, so a
// later start costs no regedit (a Wine program start of its own).
constexpr const char* kImportedRegistry = ".zel-imported.reg";

bool isExecutableFile(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
}

std::optional<fs::path> onPath(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return isExecutableFile(name) ? std::optional<fs::path>(fs::absolute(name)) : std::nullopt;
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "";
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        // An empty entry is the working directory, which is no place to look for Wine.
        if (!dir.empty() && isExecutableFile(fs::path(dir) / name))
            return fs::path(dir) / name;
        if (colon == std::string_view::npos)
            break;
        rest.remove_prefix(colon + 1);
    }
    return std::nullopt;
}

bool startsWith(const std::string& entry, std::string_view name) {
    return entry.size() > name.size() && entry.compare(0, name.size(), name) == 0 &&
           entry[name.size()] == '=';
}

// Sets NAME=value in the environment, replacing what is there unless `keep`.
void setVariable(std::vector<std::string>& env, std::string_view name, const std::string& value,
                 bool keep) {
    for (auto& entry : env)
        if (startsWith(entry, name)) {
            if (!keep)
                entry = std::string(name) + "=" + value;
            return;
        }
    env.push_back(std::string(name) + "=" + value);
}

// Points `link` at `target`, replacing a link that points elsewhere in one step.
void pointLink(const fs::path& link, const fs::path& target) {
    std::error_code ec;
    if (fs::is_symlink(link, ec) && fs::read_symlink(link, ec) == target && !ec)
        return;
    const fs::path fresh = link.parent_path() / (".new-" + link.filename().string());
    fs::remove(fresh, ec);
    fs::create_directory_symlink(target, fresh, ec);
    if (!ec)
        fs::rename(fresh, link, ec);
    if (ec)
        throw PlatformError("Unable to link the Wine drive " + link.filename().string() + ": " +
                            ec.message());
}

void makePrivateDirectory(const fs::path& dir) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        throw PlatformError("Unable to create " + dir.string() + ": " + std::strerror(errno));
}

} // namespace

bool isPortableExecutable(const fs::path& host) {
    FileDescriptor fd(::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::array<unsigned char, 64> dos{};
    if (::pread(fd.get(), dos.data(), dos.size(), 0) != static_cast<ssize_t>(dos.size()) ||
        dos[0] != 'M' || dos[1] != 'Z')
        return false;
    const std::uint32_t at = dos[0x3C] | (dos[0x3D] << 8) | (dos[0x3E] << 16) |
                             (static_cast<std::uint32_t>(dos[0x3F]) << 24);
    std::array<char, 4> signature{};
    return static_cast<off_t>(at) + 4 <= st.st_size &&
           ::pread(fd.get(), signature.data(), signature.size(), at) == 4 &&
           std::memcmp(signature.data(), "PE\0\0", 4) == 0;
}

std::optional<fs::path> findWine() {
    if (const char* chosen = std::getenv("ZEL_WINE"); chosen != nullptr && *chosen != '\0')
        return onPath(chosen);
    for (const char* name : {"wine64", "wine"})
        if (auto found = onPath(name))
            return found;
    if (isExecutableFile("/usr/lib/wine/wine64"))
        return fs::path("/usr/lib/wine/wine64");
    return std::nullopt;
}

std::string wineMissingMessage(const std::string& program) {
    return "N\u00e3o foi poss\u00edvel iniciar " + cp1252ToUtf8(program) +
           ": \u00e9 um programa do Windows, que precisa do Wine, e o Wine n\u00e3o est\u00e1 "
           "instalado. Instale o pacote " +
           kWinePackage + " (apt-get install " + kWinePackage + ").";
}

WineSide::WineSide(const Machine& machine, fs::path loader)
    : m_(machine), loader_(std::move(loader)) {}

fs::path WineSide::prefix() const {
    return m_.prefixPath() / "wine";
}

std::vector<std::string> WineSide::environment(std::vector<std::string> env) const {
    setVariable(env, "WINEPREFIX", prefix().string(), false);
    setVariable(env, "WINEDEBUG", "-all", true);
    // No offer to download Mono or Gecko: nothing is fetched while a program starts.
    setVariable(env, "WINEDLLOVERRIDES", "mscoree,mshtml=", true);
    return env;
}

int WineSide::runQuietly(const fs::path& program, const std::vector<std::string>& args) const {
    std::vector<std::string> env;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e)
        env.emplace_back(*e);
    env = environment(std::move(env));
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    // Wine's working directory must lie on one of its drives.
    const std::string workingDir = m_.forOtherProcesses(m_.prefix() / "drive_c").string();
    posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return -1;
    int status = 0;
    uninterrupted([&] { return ::waitpid(pid, &status, 0); });
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WineSide::prepare() {
    const fs::path side = m_.prefix() / "wine";
    makePrivateDirectory(side);
    makePrivateDirectory(side / "dosdevices");
    // One set-up at a time: the wizard and Program Manager may start programs together.
    FileDescriptor lock(::open((side / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!lock || ::flock(lock.get(), LOCK_EX) != 0)
        throw PlatformError("Unable to lock the Wine side " + prefix().string() + ": " +
                            std::strerror(errno));
    linkDrives();
    std::error_code ec;
    if (!fs::exists(side / kReadyMark, ec))
        setUp();
    importRegistry();
}

void WineSide::linkDrives() {
    const fs::path devices = m_.prefix() / "wine" / "dosdevices";
    // Relative, so the machine can be moved; Wine's own files go under the machine's WINDOWS.
    pointLink(devices / "c:", "../../drive_c");
    std::string letters = "c";
    for (char letter : m_.driveLetters()) {
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
        if (lower == 'c')
            continue;
        if (auto root = m_.driveRoot(letter)) {
            pointLink(devices / (std::string(1, lower) + ":"), m_.forOtherProcesses(*root));
            letters += lower;
        }
    }
    // A letter the machine no longer has is no drive of Wine's either.
    std::error_code ec;
    for (fs::directory_iterator it(devices, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() == 2 && name[1] == ':' &&
            letters.find(static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])))) ==
                std::string::npos) {
            std::error_code rec;
            fs::remove(it->path(), rec);
        }
    }
}

void WineSide::setUp() {
    std::cerr << "Preparando o Wine para os programas do Windows em " << prefix().string()
              << " (s\u00f3 na primeira vez; leva alguns segundos)...\n";
    // The log of a run that set Wine up says so too: the seconds it took are accounted for.
    InstallEvent setUp{InstallEvent::Kind::WineSetUp};
    setUp.path = utf8ToCp1252(prefix().string());
    report(setUp);
    std::error_code ec;
    fs::remove(m_.prefix() / "wine" / kImportedRegistry, ec); // a new registry takes it all
    if (runQuietly(loader_, {"wineboot", "-i"}) != 0)
        throw PlatformError("Unable to set up Wine in " + prefix().string() + " with " +
                            loader_.string() + " wineboot");
    // wineboot leaves its server to finish writing the prefix: wait for it before calling the
    // side ready (a side cut short here is set up again next time).
    for (const fs::path& dir : {loader_.parent_path(), fs::weakly_canonical(loader_).parent_path()})
        for (const char* name : {"wineserver", "wineserver64"})
            if (isExecutableFile(dir / name)) {
                runQuietly(dir / name, {"-w"});
                goto waited;
            }
waited:
    writeHostFile(m_.prefix() / "wine" / kReadyMark, "", 0600);
}

void WineSide::importRegistry() {
    std::optional<std::string> text;
    try {
        text = readHostFile(m_.registryFile());
    } catch (const HostFileError&) {
    }
    const fs::path imported = m_.prefix() / "wine" / kImportedRegistry;
    std::optional<std::string> last;
    try {
        last = readHostFileNoLink(imported);
    } catch (const HostFileError&) {
    }
    if (text && last && *text == *last)
        return;
    // regedit reads a file on one of Wine's drives: a private copy in C:\WINDOWS\TEMP.
    const auto temp = m_.toHost("C:\\WINDOWS\\TEMP");
    if (!temp)
        return;
    std::error_code ec;
    fs::create_directories(*temp, ec);
    std::string name = (*temp / "zel-registry-XXXXXX").string();
    FileDescriptor fd(::mkostemp(name.data(), O_CLOEXEC)); // kept from regedit and its server
    const auto win = m_.toWindows(name);
    const bool created = static_cast<bool>(fd);
    const bool written = created && text && writeAll(fd.get(), *text);
    fd.reset();
    const bool done = written && win && runQuietly(loader_, {"regedit", "/S", *win}) == 0;
    if (created)
        fs::remove(name, ec);
    if (!done) {
        std::cerr
            << "Aviso: o registro da m\u00e1quina n\u00e3o p\u00f4de ser passado ao Wine; "
               "o programa pode n\u00e3o ver os valores gravados pela instala\u00e7\u00e3o.\n";
        return;
    }
    try {
        writeHostFile(imported, *text, 0600);
    } catch (const HostFileError&) {
        fs::remove(imported, ec); // imported again next time, which costs time only
    }
}

} // namespace zel
