#pragma once
// What the benchmarks share: the directory that holds their generated data, and running a peer
// program (find, cp, a start-up program) with its wall time and peak memory.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {

namespace fs = std::filesystem;

// $ZEL_BENCH_DIR when set (bench/compare makes one per run and removes it), else a directory
// of this process's own, removed when it ends. Data generated there is reused by later
// benchmarks of the same run.
class DataDir {
public:
    static const fs::path& get() {
        static DataDir dir;
        return dir.path_;
    }
    ~DataDir() {
        if (owned_) {
            std::error_code ec;
            fs::remove_all(path_, ec);
        }
    }

private:
    DataDir() {
        if (const char* env = std::getenv("ZEL_BENCH_DIR"); env && *env) {
            path_ = env;
            fs::create_directories(path_);
            return;
        }
        path_ = fs::temp_directory_path() / ("zel-bench-" + std::to_string(::getpid()));
        fs::create_directories(path_);
        owned_ = true;
    }
    fs::path path_;
    bool owned_ = false;
};

// Generated data is complete once its marker file exists; a run that was interrupted while
// generating starts again from nothing.
template <class Generate> fs::path generated(const std::string& name, Generate generate) {
    const fs::path root = DataDir::get() / name;
    const fs::path done = DataDir::get() / (name + ".done");
    std::error_code ec;
    if (!fs::exists(done, ec)) {
        fs::remove_all(root, ec);
        fs::create_directories(root);
        generate(root);
        std::ofstream(done) << "ok\n";
    }
    return root;
}

inline void writeBytes(const fs::path& path, std::size_t size, std::mt19937_64& random) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t v = random();
        std::memcpy(&data[i], &v, 8);
    }
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
}

struct ChildResult {
    double seconds = 0;      // from the start to the first line, or to the end
    std::string output;      // everything the child wrote to its standard output
    long peakResidentKb = 0; // the child's maximum resident set size
    int status = -1;         // exit status, -1 when it did not exit normally
};

// Runs argv[0] (searched in PATH) with the given arguments. With untilFirstLine the time is
// taken when the child's first line of output arrives; the child is still waited for.
// The child's standard error goes to /dev/null when quiet (Qt's start-up chatter).
inline ChildResult runChild(const std::vector<std::string>& argv, bool untilFirstLine = false,
                            bool quiet = false) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        throw std::runtime_error("cannot start " + argv[0]);
    }

    ChildResult result;
    std::optional<std::chrono::steady_clock::time_point> firstLine;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        result.output.append(buffer, static_cast<std::size_t>(n));
        if (untilFirstLine && !firstLine && result.output.find('\n') != std::string::npos)
            firstLine = std::chrono::steady_clock::now();
    }
    ::close(pipeFds[0]);
    int raw = 0;
    struct rusage usage {};
    while (::wait4(pid, &raw, 0, &usage) < 0 && errno == EINTR) {
    }
    const auto end = std::chrono::steady_clock::now();
    result.seconds = std::chrono::duration<double>((firstLine ? *firstLine : end) - start).count();
    result.peakResidentKb = usage.ru_maxrss;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

// The middle of the samples (the upper one of the two for an even count): one slow spell of the
// machine does not move it.
inline double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// The directory of this benchmark program, where its sibling programs are built.
inline fs::path programDir() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

} // namespace bench
