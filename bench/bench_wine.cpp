// A Windows program started as the wizard starts a sponsor's program (Programs::runAndWait,
// through the machine's Wine side) against wine64 starting the same program directly.
//
// WineFirstStart: the first start on a fresh machine, whose Wine side is set up then (wineboot);
// PeerWine64First: wine64 on a fresh prefix, which Wine sets up itself. WineLaterStart against
// PeerWine64: later starts in the same existing prefix (the machine's Wine side), in turns, with
// Wine's server still running from the start before (a program started soon after another);
// WineLaterStartCold against PeerWine64Cold: the same with both servers stopped before each round
// (a program started long after the last). Each later pair reports its median of rounds as
// median_ms, and ours the median of each round's own ratio as round_ratio.
#include "bench/bench_support.h"

#include "winemu/machine.h"
#include "winemu/programs.h"
#include "winemu/wine.h"

#include <benchmark/benchmark.h>

#include <functional>

namespace {

namespace fs = bench::fs;

constexpr int kFirstRounds = 3;
constexpr int kRounds = 21;
constexpr int kColdRounds = 9;
constexpr const char* kProgram = "C:\\WINPROG.EXE";

struct NoWindows : zel::ApplicationWindows {
    void minimise() override {}
    void restore() override {}
};

fs::path loader() {
    static const auto found = zel::findWine();
    if (!found)
        throw std::runtime_error("Wine is not installed (scripts/install-deps installs wine64)");
    return *found;
}

double seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Waits for the Wine server of a prefix to end, stopping it first when `now` (it stays a while
// after a program ends, which would carry one round's warm state into the next). After a first
// start the server is let finish on its own: stopped, it may leave the new prefix half made.
void stopServer(const fs::path& prefix, bool now) {
    ::setenv("WINEPREFIX", prefix.c_str(), 1);
    const fs::path server = fs::weakly_canonical(loader()).parent_path() / "wineserver";
    if (now)
        bench::runChild({server.string(), "-k"}, false, true);
    bench::runChild({server.string(), "-w"}, false, true);
}

// wine64 starting the program with WINEPREFIX set, in the quiet environment the machine's Wine
// side gives its programs, in dir (the machine's C: for a later start), in a session of its own and
// with no file of this process's but the standard ones, as ours starts it (from a terminal, Wine
// would give a console program a console of its own, which ours never has); waited for until it
// ends (a pipe's end would come later: Wine's server holds the program's standard handles a while).
// False when it failed.
bool peerStart(const fs::path& prefix, const std::string& program, const fs::path& dir) {
    ::setenv("WINEPREFIX", prefix.c_str(), 1);
    const std::string wine = loader().string(), workingDir = dir.string();
    std::vector<char*> argv{const_cast<char*>(wine.c_str()), const_cast<char*>(program.c_str()),
                            nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    posix_spawn_file_actions_addclosefrom_np(&actions, 3); // nothing of ours but the standard files
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Default signal handling and no signal blocked, as ours has it: a benchmark started in
    // the background inherits SIGINT and SIGQUIT ignored.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    while (error == 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return error == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Ours {
    fs::path prefix;
    std::unique_ptr<zel::Machine> machine;
    NoWindows windows;
    // A machine with the program on its C: drive.
    explicit Ours(fs::path dir) : prefix(std::move(dir)) {
        machine = std::make_unique<zel::Machine>(zel::Machine::Options{prefix, {}, prefix, {}});
        fs::copy_file(ZEL_BENCH_PE, prefix / "drive_c" / "WINPROG.EXE",
                      fs::copy_options::overwrite_existing);
    }
    bool start() { return zel::Programs(*machine, windows).runAndWait(kProgram); }
};

struct Rounds {
    std::vector<double> first, peerFirst, later, peer, laterCold, peerCold;
    std::string failed;
};

void check(bool ok, Rounds& r, const std::string& what) {
    if (!ok && r.failed.empty())
        r.failed = what + " did not start the program";
}

void take(Rounds& r);

const Rounds& rounds() {
    static const Rounds r = [] {
        Rounds r;
        if (!fs::exists(ZEL_BENCH_PE)) {
            r.failed = "no Windows program to start: x86_64-w64-mingw32-gcc was not found at "
                       "configure time (scripts/install-deps --test installs it)";
            return r;
        }
        try {
            take(r);
        } catch (const std::exception& e) {
            r.failed = e.what();
        }
        return r;
    }();
    return r;
}

// Ours first in even rounds, the peer first in odd ones: a slow spell of the machine falls on
// both alike.
template <class Ours, class Peer> void inTurn(int round, Ours ours, Peer peer) {
    if (round % 2 == 0) {
        ours();
        peer();
    } else {
        peer();
        ours();
    }
}

// The rounds, in the order the header tells.
void take(Rounds& r) {
    // Wine's own output about its set-up (the machine's message says the same) is not ours.
    ::setenv("WINEDEBUG", "-all", 1);
    ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
    const fs::path root = bench::DataDir::get() / "wine";
    fs::remove_all(root);
    fs::create_directories(root);
    for (int round = 0; round < kFirstRounds; ++round) {
        const fs::path ours = root / ("first-" + std::to_string(round));
        const fs::path peer = root / ("peer-first-" + std::to_string(round));
        auto oursFirst = [&] {
            Ours machine(ours);
            r.first.push_back(seconds([&] { check(machine.start(), r, "the first start"); }));
        };
        auto peerFirst = [&] {
            r.peerFirst.push_back(seconds([&] {
                check(peerStart(peer, ZEL_BENCH_PE, root), r, "wine64 on a fresh prefix");
            }));
        };
        inTurn(round, oursFirst, peerFirst);
        stopServer(ours / "wine", false);
        stopServer(peer, false);
        if (round > 0) {
            fs::remove_all(ours);
            fs::remove_all(peer);
        }
    }
    // The existing prefix of the later starts is the first round's machine's Wine side, for
    // both: what ours adds to wine64's own start is measured, not a difference of prefixes
    // (wine64's later starts in prefixes it made itself, with a Z: drive for the whole host,
    // took 20 to 45 ms here, against about 10 in the machine's side).
    Ours ours(root / "first-0");
    fs::remove_all(root / "peer-first-0");
    const fs::path peer = ours.prefix / "wine";
    const fs::path driveC = ours.prefix / "drive_c";
    check(ours.start() && peerStart(peer, kProgram, driveC), r, "a warm-up start");
    auto inTurns = [&](std::vector<double>& mine, std::vector<double>& theirs, int n, bool cold) {
        for (int round = 0; round < n; ++round) {
            auto timeOurs = [&] {
                if (cold)
                    stopServer(ours.prefix / "wine", true);
                mine.push_back(seconds([&] { check(ours.start(), r, "a later start"); }));
            };
            auto timePeer = [&] {
                if (cold)
                    stopServer(peer, true);
                theirs.push_back(
                    seconds([&] { check(peerStart(peer, kProgram, driveC), r, "wine64"); }));
            };
            inTurn(round, timeOurs, timePeer);
        }
    };
    inTurns(r.later, r.peer, kRounds, false);
    inTurns(r.laterCold, r.peerCold, kColdRounds, true);
    stopServer(ours.prefix / "wine", false);
    stopServer(peer, false);
}

void report(benchmark::State& state, const std::vector<double>& samples,
            const std::vector<double>* peer = nullptr) {
    const Rounds& r = rounds();
    if (!r.failed.empty()) {
        state.SkipWithError(r.failed.c_str());
        return;
    }
    std::size_t i = 0;
    for (auto _ : state)
        state.SetIterationTime(samples[i++ % samples.size()]);
    state.counters["median_ms"] = bench::median(samples) * 1e3;
    if (peer != nullptr) {
        std::vector<double> ratios;
        for (std::size_t k = 0; k < samples.size(); ++k)
            ratios.push_back(samples[k] / (*peer)[k]);
        state.counters["round_ratio"] = bench::median(ratios);
    }
}

void WineFirstStart(benchmark::State& state) {
    report(state, rounds().first, &rounds().peerFirst);
}
void PeerWine64First(benchmark::State& state) {
    report(state, rounds().peerFirst);
}
void WineLaterStart(benchmark::State& state) {
    report(state, rounds().later, &rounds().peer);
}
void PeerWine64(benchmark::State& state) {
    report(state, rounds().peer);
}
void WineLaterStartCold(benchmark::State& state) {
    report(state, rounds().laterCold, &rounds().peerCold);
}
void PeerWine64Cold(benchmark::State& state) {
    report(state, rounds().peerCold);
}

BENCHMARK(WineFirstStart)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(kFirstRounds);
BENCHMARK(PeerWine64First)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(kFirstRounds);
BENCHMARK(WineLaterStart)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(kRounds);
BENCHMARK(PeerWine64)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(kRounds);
BENCHMARK(WineLaterStartCold)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(kColdRounds);
BENCHMARK(PeerWine64Cold)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(kColdRounds);

} // namespace

BENCHMARK_MAIN();
