// A kit whose programs are real Windows programs, installed by the wizard without pages: the
// browser setup started through Wine at the finish, the installed dialer started through Wine
// by progman --run and by its desktop entry, and the same finish on a machine without Wine.
#include "tests/support/fixtures.h"
#include "winemu/wine.h"

#include "progman/store.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <regex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zel::test {
namespace {

const fs::path kPeDir = ZEL_PE_DIR;
constexpr const char* kGroup = "ZEL Internet";
constexpr const char* kDialer = "Discador (Trumpet Winsock)";

// Waits up to 30 s for a program's report (a text file: lines end in CR LF); "" when none came.
std::string awaitFile(const fs::path& file) {
    for (int i = 0; i < 3000 && !readFile(file).ends_with('\n'); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return readFile(file);
}

// The arguments of a desktop entry's Exec value as a desktop takes them: the string value's
// escapes first, then the arguments split at blanks, a quoted one keeping its blanks and its
// backslash-escaped '"', '`', '$' and '\', and "%%" standing for '%'. Any other field code
// fails the test: the entries pass no files.
std::vector<std::string> execArguments(const std::string& value) {
    std::string line;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            line += value[i];
            continue;
        }
        const char c = value[++i];
        line += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
    }
    std::vector<std::string> args;
    std::string arg;
    bool inArg = false, quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"')
                quoted = false;
            else if (c == '\\' && i + 1 < line.size())
                arg += line[++i];
            else
                arg += c;
        } else if (c == ' ') {
            if (inArg)
                args.push_back(std::exchange(arg, {}));
            inArg = false;
        } else if (c == '"') {
            quoted = inArg = true;
        } else if (c == '%') {
            EXPECT_TRUE(i + 1 < line.size() && line[i + 1] == '%') << value;
            arg += '%';
            ++i;
            inArg = true;
        } else {
            arg += c;
            inArg = true;
        }
    }
    EXPECT_FALSE(quoted) << value;
    if (inArg)
        args.push_back(arg);
    return args;
}

// Runs the arguments as a desktop does, with no shell, from `/`: the exit status, -1 when it
// did not exit; what it said goes to `said`.
int runArguments(const std::vector<std::string>& args, const fs::path& said) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 1);
        ::dup2(out, 2);
        if (::chdir("/") == 0)
            ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The demo kit with Windows programs for the browser setup and the dialer.
void makeKit(const fs::path& medium) {
    fs::copy(sourceDir() / "kit", medium, fs::copy_options::recursive);
    for (const char* program : {"NAVEGA/SETUP.EXE", "TRUMPET/TCPMAN.EXE"})
        fs::copy_file(kPeDir / "marker.exe", medium / program,
                      fs::copy_options::overwrite_existing);
    fs::create_symlink(binDir() / "zel-setup", medium / "SETUP");
}

// The wizard without pages from the kit's medium: the first browser, the log beside the
// machine. Standard output and error go to files: the programs it starts may outlive it.
CommandResult install(const fs::path& tmp, const std::string& env) {
    writeFile(tmp / "a.ini", "[Respostas]\nporta=1\nnavegador=1\n");
    CommandResult result = runCommand(
        "cd '" + (tmp / "medium").string() + "' && env " + env + " ZEL_PREFIX='" +
        (tmp / "prefix").string() +
        "' timeout 300 ./SETUP --answers ../a.ini --log ../setup.log >'" +
        (tmp / "stdout.txt").string() + "' 2>'" + (tmp / "stderr.txt").string() + "' </dev/null");
    result.errors = readFile(tmp / "stderr.txt");
    return result;
}

bool installedWithGroups(const fs::path& prefix) {
    const std::string reg = readFile(prefix / "system.reg");
    const progman::Groups groups = progman::loadStore(progman::storePath(prefix));
    const progman::Group* group = groups.find(kGroup);
    // The registry file's lines end in CR LF, as the platform's regedit writes them.
    return reg.find("\\CurrentVersion\\Uninstall\\ZEL Internet]\r\n\"DisplayName\"=\"ZEL "
                    "Internet\"\r\n\"UninstallString\"=\"C:\\\\WINDOWS\\\\zelun.exe\"\r\n") !=
               std::string::npos &&
           group != nullptr &&
           std::any_of(group->items.begin(), group->items.end(),
                       [](const progman::Item& i) { return i.name == kDialer; });
}

// Waits until no Program Manager server holds the machine (the wizard's own ends when idle).
void awaitProgman(const fs::path& prefix) {
    for (int i = 0; i < 1000; ++i) {
        if (runCommand("flock -n '" + (prefix / "progman.lock").string() + "' true").status == 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "Program Manager still runs on " << prefix;
}

void isolate(const fs::path& tmp) {
    ::setenv("HOME", (tmp / "home").c_str(), 1); // never the user's ~/.wine
    ::setenv("XDG_DATA_HOME", (tmp / "xdg-data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (tmp / "xdg-config").c_str(), 1);
    ::setenv("ZEL_PROGMAN_IDLE", "0.3", 1);
    ::unsetenv("WINEPREFIX");
    ::unsetenv("ZEL_NO_DESKTOP");
    ::unsetenv("ZEL_WINE");
}

// One installation with Wine for every case (Wine's first set-up takes seconds): the browser
// setup on the medium starts through Wine once the finish is done, in its own directory, Wine's
// first set-up told on stderr and in the log; then the installed dialer, a Windows program, is
// started through Wine in its own directory by progman --run and by its desktop entry, each
// done at once.
TEST(WindowsKit, TheFinishProgmanAndTheDesktopMenuStartWindowsProgramsThroughWine) {
    if (kPeDir.empty())
        GTEST_SKIP() << "x86_64-w64-mingw32-gcc was not found at configure time: no Windows "
                        "programs in the kit (scripts/install-deps --test installs it)";
    const auto loader = findWine();
    if (!loader)
        GTEST_SKIP() << "Wine is not installed (scripts/install-deps --test installs wine64)";
    TempDir tmp;
    isolate(tmp.path());
    makeKit(tmp / "medium");
    const fs::path prefix = tmp / "prefix", driveC = prefix / "drive_c";
    // Wine's server lingers a few seconds after its last program: it goes with the machine.
    struct StopWine {
        fs::path server, side;
        ~StopWine() {
            runCommand("WINEPREFIX='" + side.string() + "' '" + server.string() +
                       "' -k 2>/dev/null");
        }
    } stopWine{fs::weakly_canonical(*loader).parent_path() / "wineserver", prefix / "wine"};

    const CommandResult r = install(tmp.path(), "");
    awaitProgman(prefix);
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_TRUE(installedWithGroups(prefix));
    EXPECT_EQ(awaitFile(driveC / "SETUP.TXT"), "D:\\NAVEGA\\SETUP.EXE|D:\\NAVEGA|0\r\n");
    EXPECT_NE(r.errors.find("Preparando o Wine para os programas do Windows em " +
                            (prefix / "wine").string()),
              std::string::npos)
        << r.errors;
    const std::string log = readFile(tmp / "setup.log");
    const auto setUp = log.find("\nwine-setup " + (prefix / "wine").string() + "\n");
    const auto started = log.find("\nstart D:\\NAVEGA\\SETUP.EXE\n");
    EXPECT_NE(setUp, std::string::npos) << log;
    EXPECT_NE(started, std::string::npos) << log;
    EXPECT_LT(setUp, started) << log;
    EXPECT_TRUE(fs::is_directory(driveC / "WINDOWS" / "system32"));
    EXPECT_FALSE(fs::exists(tmp / "home" / ".wine"));

    const fs::path entries = tmp / "xdg-data" / "applications" / "zel-setup";
    std::vector<std::string> fromEntry;
    std::error_code ec;
    for (fs::directory_iterator it(entries, ec), end; !ec && it != end; it.increment(ec)) {
        std::smatch exec;
        const std::string text = readFile(it->path());
        if (text.find("\nName=" + std::string(kDialer) + "\n") != std::string::npos &&
            std::regex_search(text, exec, std::regex("\nExec=([^\n]*)")))
            fromEntry = execArguments(exec[1].str());
    }
    ASSERT_FALSE(fromEntry.empty()) << "no desktop entry for " << kDialer;
    const struct {
        const char* how;
        std::vector<std::string> args;
    } rows[] = {
        {"progman --run",
         {(binDir() / "progman").string(), "--prefix", prefix.string(), "--run", kGroup, kDialer}},
        {"desktop entry", fromEntry},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.how);
        fs::remove(driveC / "TCPMAN.TXT");
        const fs::path said = tmp / "run.txt";
        EXPECT_EQ(runArguments(row.args, said), 0) << readFile(said);
        EXPECT_EQ(readFile(said), "");
        EXPECT_EQ(awaitFile(driveC / "TCPMAN.TXT"),
                  "C:\\Program Files\\ZEL\\TRUMPET\\TCPMAN.EXE|C:\\Program "
                  "Files\\ZEL\\TRUMPET|0\r\n");
    }
}

// Without Wine the same kit installs all the same: the finish completes, and the browser setup
// that could not start is named on stderr with the package that would run it.
TEST(WindowsKitWithoutWine, TheFinishCompletesAndSaysTheBrowserSetupNeedsWine) {
    if (kPeDir.empty())
        GTEST_SKIP() << "x86_64-w64-mingw32-gcc was not found at configure time: no Windows "
                        "programs in the kit (scripts/install-deps --test installs it)";
    TempDir tmp;
    isolate(tmp.path());
    makeKit(tmp / "medium");
    const CommandResult r = install(tmp.path(), "ZEL_WINE='" + (tmp / "no-wine").string() + "'");
    awaitProgman(tmp / "prefix");
    EXPECT_EQ(r.status, 0) << r.errors;
    EXPECT_TRUE(installedWithGroups(tmp / "prefix"));
    EXPECT_NE(r.errors.find("N\u00e3o foi poss\u00edvel iniciar D:\\NAVEGA\\SETUP.EXE: \u00e9 um "
                            "programa do Windows, que precisa do Wine, e o Wine n\u00e3o est\u00e1 "
                            "instalado. Instale o pacote wine64 (apt-get install wine64).\n"),
              std::string::npos)
        << r.errors;
    const std::string log = readFile(tmp / "setup.log");
    EXPECT_NE(log.find("\nstart D:\\NAVEGA\\SETUP.EXE FAILED\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\noutcome 0 "), std::string::npos) << log;
    EXPECT_EQ(log.find("wine-setup"), std::string::npos) << log;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(fs::exists(tmp / "prefix" / "drive_c" / "SETUP.TXT"));
    EXPECT_FALSE(fs::exists(tmp / "prefix" / "wine"));
}

} // namespace
} // namespace zel::test
