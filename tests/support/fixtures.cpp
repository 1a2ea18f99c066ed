#include "tests/support/fixtures.h"

#include "winemu/host_file.h"
#include "winemu/registry.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace zel::test {

TempDir::TempDir() {
    std::string name = (fs::temp_directory_path() / "zel-test-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory");
    path_ = name;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only directories behind; make them writable before removing.
    for (auto it = fs::recursive_directory_iterator(
             path_, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

// What the process's descriptors are, but folders (as the machine's own) and the event counters
// of a Qt started meanwhile.
static std::multiset<std::string> openFiles() {
    std::multiset<std::string> files;
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd"))
        if (std::string file = fs::read_symlink(fd.path(), ec);
            !file.starts_with("anon_inode:") && !fs::is_directory(fd.path(), ec))
            files.insert(std::move(file));
    return files;
}

void writeFile(const fs::path& path, std::string_view content) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

void writeProgram(const fs::path& path, std::string_view script) {
    writeFile(path, script);
    fs::permissions(path, fs::perms::owner_all);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

ino_t inode(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

fs::path sourceDir() {
    return ZEL_SOURCE_DIR;
}

fs::path binDir() {
    const char* env = std::getenv("ZEL_BIN_DIR");
    return env && *env ? env : ZEL_BIN_DIR;
}

CommandResult runCommand(const std::string& shellCommand) {
    CommandResult result;
    FILE* pipe = ::popen(shellCommand.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int raw = ::pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

CommandResult runTool(const std::string& tool, const std::string& args, const TempDir& tmp) {
    const fs::path errFile = tmp / (tool + "-stderr.txt");
    CommandResult result = runCommand("'" + (binDir() / tool).string() + "' " + args + " 2>'" +
                                      errFile.string() + "'");
    result.errors = readFile(errFile);
    return result;
}

int inChild(const std::function<void()>& body, const std::function<void(pid_t)>& meanwhile) {
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            body();
        } catch (...) {
            ::_exit(3);
        }
        ::_exit(0);
    }
    meanwhile(child);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

int asNobody(const TempDir& tmp, const std::function<void()>& body) {
    fs::permissions(tmp.path(), fs::perms::others_exec, fs::perm_options::add);
    return inChild([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(9);
        body();
    });
}

void fullDisk() {
    std::signal(SIGXFSZ, SIG_IGN); // so that writes fail rather than end the process
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

void MachineTest::SetUp() {
    // Program Manager's desktop entries go to the test's own directories, never the user's.
    ::setenv("XDG_DATA_HOME", (tmp / "xdg-data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (tmp / "xdg-config").c_str(), 1);
    prefix = tmp / "prefix";
    program = tmp / "medium" / "SETUP";
    writeFile(program, "#!/bin/sh\n");
    makeMachine();
    openAtStart_ = openFiles();
}

void MachineTest::TearDown() {
    EXPECT_EQ(openFiles(), openAtStart_);
}

void MachineTest::useDemoKitWithTheWizard() {
    ::setenv("ZEL_PROGMAN_IDLE", "0.3", 1);
    ::setenv("ZEL_PREFIX", prefix.c_str(), 1); // never the user's own machine
    fs::copy(sourceDir() / "kit", medium(), fs::copy_options::recursive);
    fs::remove(program);
    fs::create_symlink(binDir() / "zel-setup", program);
}

Machine& MachineTest::makeMachine(bool installProgman) {
    machine_ = std::make_unique<Machine>(Machine::Options{prefix, program, program.parent_path(),
                                                          binDir() / "progman", installProgman});
    return *machine_;
}

void MachineTest::writeRegistry(std::string_view key, std::string_view name,
                                std::string_view value) {
    Registry registry(machine().registryFile());
    ASSERT_TRUE(registry.openKey(key, true));
    registry.writeString(name, value);
}

bool MachineTest::awaitProgmanExit() {
    const fs::path lockFile = prefix / "progman.lock";
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         std::chrono::steady_clock::now() < end;) {
        const FileDescriptor lock(::open(lockFile.c_str(), O_RDWR | O_CLOEXEC));
        if (!lock || ::flock(lock.get(), LOCK_EX | LOCK_NB) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(std::atoi(readFile(lockFile).c_str()), SIGKILL);
    return false;
}

std::string le(std::uint32_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i, v >>= 8)
        out += static_cast<char>(v & 0xFF);
    return out;
}

std::string paletteIcon(int w, int h, int bits, int colors, char pixel) {
    const int stride = (w * bits + 31) / 32 * 4, maskStride = (w + 31) / 32 * 4;
    std::string picture = le(40, 4) + le(w, 4) + le(2 * h, 4) + le(1, 2) + le(bits, 2) +
                          std::string(16, '\0') + le(colors, 4) + le(0, 4);
    for (int c = 0; c < colors; ++c)
        picture += le(0x102030u * c + 0x0F, 4);
    picture += std::string(std::size_t(stride * h), pixel);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < maskStride; ++x)
            picture += x < w / 16 ? '\xFF' : x == w / 16 && w % 16 ? '\xFF' : '\0';
    return le(0, 2) + le(1, 2) + le(1, 2) + le(w, 1) + le(h, 1) + le(0, 2) + le(1, 2) +
           le(bits, 2) + le(picture.size(), 4) + le(22, 4) + picture;
}

std::string twoPictures(const std::string& a, const std::string& b) {
    const std::string first = a.substr(22), second = b.substr(22);
    return le(0, 2) + le(1, 2) + le(2, 2) + a.substr(6, 12) + le(38, 4) + b.substr(6, 12) +
           le(38 + first.size(), 4) + first + second;
}

void replayFuzzCorpus(const std::string& target, const FuzzCheck& check) {
    std::vector<fs::path> dirs = {sourceDir() / "fuzz/corpus", sourceDir() / "fuzz/regressions"};
    if (const char* grown = std::getenv("ZEL_FUZZ_CORPUS"); grown && *grown)
        dirs.emplace_back(grown);
    for (const fs::path& dir : dirs) {
        std::set<fs::path> inputs;
        std::error_code ec;
        for (fs::directory_iterator it(dir / target, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_regular_file() && it->path().filename().string()[0] != '.')
                inputs.insert(it->path());
        // Seeds there must be, or the replay checks nothing.
        ASSERT_FALSE(dir == dirs.front() && inputs.empty()) << "no seed inputs in " << dir / target;
        for (const fs::path& file : inputs)
            EXPECT_EQ(check(readFile(file)), "") << file;
    }
}

} // namespace zel::test
