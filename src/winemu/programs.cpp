#include "winemu/programs.h"

#include "winemu/events.h"

#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/host_file.h"
#include "winemu/wine.h"
#include "winemu/winpath.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace zel {

namespace fs = std::filesystem;

namespace {

// WinExec's results.
constexpr unsigned kStarted = 33;
constexpr unsigned kFileNotFound = 2;
constexpr unsigned kPathNotFound = 3;
constexpr unsigned kBadFormat = 11;

// Everything the child needs, prepared before fork: after fork only async-signal-safe calls
// are allowed, as the wizard's process has other threads.
struct Launch {
    std::string program;
    std::vector<std::string> args;
    std::string workingDir; // "" to keep the parent's
    std::vector<std::string> environment;

    std::vector<char*> argv;
    std::vector<char*> envp;
    int maxFd = 0;

    void prepare() {
        argv.clear();
        argv.push_back(program.data());
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        envp.clear();
        for (auto& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        long open = ::sysconf(_SC_OPEN_MAX);
        maxFd = open > 0 ? static_cast<int>(std::min<long>(open, 1 << 20)) : 1024;
    }
};

// The wizard's environment with ZEL_PREFIX pointing at this machine, so kit programs and
// Program Manager find it (absolute: the child may run in another directory).
std::vector<std::string> childEnvironment(const Machine& machine) {
    std::vector<std::string> env;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e)
        if (std::strncmp(*e, "ZEL_PREFIX=", 11) != 0)
            env.emplace_back(*e);
    env.push_back("ZEL_PREFIX=" + machine.prefixPath().string());
    return env;
}

// In a child that cannot go on: the reason (errno) down the error pipe, and out.
[[noreturn]] void failChild(int errorPipe) {
    const int err = errno;
    writeAll(errorPipe, std::string_view(reinterpret_cast<const char*>(&err), sizeof err));
    ::_exit(127);
}

// In the child: a session of its own, no handles of the wizard's, default signal handling,
// then exec. On failure errno goes down the error pipe (close-on-exec, so a successful exec
// closes it without a word).
[[noreturn]] void execChild(const Launch& launch, int errorPipe) {
    ::setsid();
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig : {SIGPIPE, SIGCHLD, SIGINT, SIGQUIT, SIGTERM, SIGHUP})
        ::sigaction(sig, &dfl, nullptr);
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < launch.maxFd; ++fd)
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    if (!launch.workingDir.empty() && ::chdir(launch.workingDir.c_str()) != 0)
        failChild(errorPipe);
    ::execve(launch.program.c_str(), launch.argv.data(), launch.envp.data());
    failChild(errorPipe);
}

// Reads the child's exec error from the pipe: 0 when the exec succeeded.
int readExecError(int fd) {
    int err = 0;
    std::size_t got = 0;
    while (got < sizeof err) {
        const ssize_t n = uninterrupted(
            [&] { return ::read(fd, reinterpret_cast<char*>(&err) + got, sizeof err - got); });
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got == sizeof err ? (err != 0 ? err : EIO) : 0;
}

void waitFor(pid_t pid, int* status = nullptr) {
    int st = 0;
    uninterrupted([&] { return ::waitpid(pid, &st, 0); });
    if (status != nullptr)
        *status = st;
}

// Starts the program and answers the child's pid. With `detach` the program runs as a
// grandchild that nobody waits for (it outlives the wizard); the intermediate child is reaped
// here. Raises PlatformError when the program could not be started.
pid_t start(Launch& launch, bool detach) {
    launch.prepare();
    const auto fail = [&](int error) {
        return PlatformError("N\xe3o foi poss\xedvel iniciar " + launch.program + ": " +
                             systemReason(error));
    };
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw fail(errno);
    FileDescriptor errorsIn(pipeFds[0]), errorsOut(pipeFds[1]);
    pid_t pid = ::fork();
    if (pid < 0)
        throw fail(errno);
    if (pid == 0) {
        errorsIn.reset();
        if (detach) {
            // The intermediate child leaves at once, so the program is adopted by init and
            // never becomes a zombie of the wizard's.
            pid_t grandchild = ::fork();
            if (grandchild < 0)
                failChild(errorsOut.get());
            if (grandchild > 0)
                ::_exit(0);
        }
        execChild(launch, errorsOut.get());
    }
    errorsOut.reset();
    const int execError = readExecError(errorsIn.get());
    if (detach || execError != 0)
        waitFor(pid);
    if (execError != 0)
        throw fail(execError);
    return pid;
}

bool isRegularFile(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct Found {
    fs::path host;
    unsigned error = 0; // kFileNotFound or kPathNotFound when host is empty
};

// A Windows program goes to Wine: the loader becomes the program, given the program's Windows
// path and then its arguments, in the environment of the machine's Wine side. Host programs
// and scripts are started as they are. False, with the reason on the standard error, when the
// program needs Wine and there is none or it cannot be set up.
bool throughWineIfNeeded(const Machine& m, const fs::path& host, Launch& launch) {
    if (!isPortableExecutable(host))
        return true;
    const std::string program = m.toWindows(host).value_or(host.string());
    const auto loader = findWine();
    if (!loader) {
        std::cerr << wineMissingMessage(program) << '\n';
        return false;
    }
    WineSide wine(m, *loader);
    try {
        wine.prepare();
    } catch (const PlatformError& e) {
        std::cerr << "N\u00e3o foi poss\u00edvel iniciar " << cp1252ToUtf8(program) << ": "
                  << cp1252ToUtf8(e.what()) << '\n';
        return false;
    }
    launch.args.insert(launch.args.begin(), program);
    launch.program = wine.loader().string();
    launch.environment = wine.environment(std::move(launch.environment));
    return true;
}

} // namespace

bool Programs::runAndWait(std::string_view programPath) {
    ui_.minimise();
    auto host = m_.toHost(programPath);
    if (!host || !isRegularFile(*host)) {
        ui_.restore();
        return false;
    }
    Launch launch;
    // The child closes the machine's descriptor: it is given the prefix's own path.
    launch.program = m_.forOtherProcesses(*host).string();
    launch.environment = childEnvironment(m_);
    // The wizard's current directory, in host terms; the process's own when it has none.
    if (auto cwd = m_.toHost(m_.currentDirectory()); cwd && isDirectory(*cwd))
        launch.workingDir = m_.forOtherProcesses(*cwd).string();
    if (!throughWineIfNeeded(m_, *host, launch)) {
        ui_.restore();
        return false;
    }
    bool started = true;
    try {
        const auto child = start(launch, false);
        InstallEvent run{InstallEvent::Kind::ProgramStarted};
        run.path = programPath;
        report(run);
        waitFor(child); // blocks: the wizard does nothing else meanwhile
    } catch (const PlatformError&) {
        started = false;
    }
    ui_.restore();
    return started;
}

namespace {

// One candidate program name, as the platform looks for it: ".EXE" appended when the name
// has no extension; a name without a directory is searched in the program's directory, the
// current directory, the system directory and the Windows directory, in this order.
Found locate(const Machine& m, std::string name) {
    if (extractFileExt(name).empty())
        name += ".EXE";
    if (name.find_first_of("\\/:") == std::string::npos) {
        const std::string dirs[] = {extractFilePath(m.programPath()), m.currentDirectory(),
                                    m.systemDirectory(), m.windowsDirectory()};
        for (const auto& dir : dirs) {
            if (dir.empty())
                continue;
            auto host = m.toHost(withTrailingBackslash(dir) + name);
            if (host && isRegularFile(*host))
                return {*host, 0};
        }
        return {{}, kFileNotFound};
    }
    auto host = m.toHost(name);
    if (!host)
        return {{}, kPathNotFound};
    if (isRegularFile(*host))
        return {*host, 0};
    return {{}, isDirectory(host->parent_path()) ? kFileNotFound : kPathNotFound};
}

std::vector<std::string> splitWords(std::string_view text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t')
            ++i;
        if (i > start)
            words.emplace_back(text.substr(start, i - start));
    }
    return words;
}

// Arguments after the program, split at blanks; a quoted argument keeps its blanks.
std::vector<std::string> splitArguments(std::string_view text) {
    std::vector<std::string> args;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i >= text.size())
            break;
        std::string arg;
        bool quoted = false;
        while (i < text.size() && (quoted || (text[i] != ' ' && text[i] != '\t'))) {
            if (text[i] == '"')
                quoted = !quoted;
            else
                arg += text[i];
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

} // namespace

unsigned Programs::winExec(std::string_view commandLine, int showMode) {
    // Windows belong to the host's window system here; the show mode has nothing to act on.
    (void)showMode;
    std::size_t lead = commandLine.find_first_not_of(" \t");
    if (lead == std::string_view::npos)
        return kFileNotFound;
    std::string_view line = commandLine.substr(lead);

    Found found;
    std::string_view rest;
    if (line.front() == '"') {
        auto close = line.find('"', 1);
        std::string_view name =
            line.substr(1, close == std::string_view::npos ? line.npos : close - 1);
        found = locate(m_, std::string(name));
        rest = close == std::string_view::npos ? std::string_view{} : line.substr(close + 1);
    } else {
        // An unquoted program name may hold blanks: try the words one by one, shortest name
        // first, until a file matches; the last attempt's failure is the one reported.
        auto words = splitWords(line);
        std::string name;
        std::size_t consumed = 0;
        for (std::size_t w = 0; w < words.size(); ++w) {
            std::size_t at = line.find(words[w], consumed);
            consumed = at + words[w].size();
            name = std::string(line.substr(0, consumed));
            found = locate(m_, name);
            if (found.error == 0) {
                rest = line.substr(consumed);
                break;
            }
        }
    }
    if (found.error != 0)
        return found.error;

    Launch launch;
    launch.program = m_.forOtherProcesses(found.host).string();
    launch.args = splitArguments(rest);
    launch.workingDir = m_.forOtherProcesses(found.host.parent_path()).string();
    launch.environment = childEnvironment(m_);
    InstallEvent run{InstallEvent::Kind::ProgramStarted};
    run.path = commandLine;
    if (!throughWineIfNeeded(m_, found.host, launch)) {
        run.ok = false;
        report(run);
        return kBadFormat; // a Windows program, and no Wine to run it
    }
    try {
        start(launch, true);
    } catch (const PlatformError&) {
        run.ok = false;
        report(run);
        return kBadFormat; // found, but the host cannot run it
    }
    report(run);
    return kStarted;
}

} // namespace zel
