// The installation run of a 50 MB kit (10 programs of 20 files of 256 kbytes each), against
// cp -r of the same program directories into an empty destination. With ZEL_BENCH_LARGE set,
// also the peak memory of a whole run (a process of its own, bench_install_run) for that kit
// and for a CD's 650 MB (10 programs of 30 files), and cp -r of the CD.
#include "bench/install_kit.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace {

using bench::Kit;

bool complete(const bench::fs::path& target, const Kit& kit) {
    std::error_code ec;
    const auto last = target / bench::programDir(Kit::kPrograms) / bench::fileName(kit.filesEach);
    return bench::fs::file_size(last, ec) == kit.fileBytes;
}

// Our run and cp -r take turns, round after round, each into an emptied destination after the
// disk has written back everything before it (sync, outside the time), so that neither pays for
// the other's or the kit's write-back. Each reports the median of its rounds as median_ms.
struct CopyRounds {
    std::vector<double> ours, peer;
    bool complete = false, peerFailed = false;
};

constexpr int kCopyRounds = 21;

// cp -r of the kit's program directories into target.
std::vector<std::string> cpCommand(const bench::fs::path& medium, const bench::fs::path& target) {
    std::vector<std::string> command = {"cp", "-r"};
    for (int n = 1; n <= Kit::kPrograms; ++n)
        command.push_back((medium / bench::programDir(n)).string());
    command.push_back(target.string());
    return command;
}

const CopyRounds& copyRounds() {
    static const CopyRounds rounds = [] {
        const Kit& kit = bench::kSmallKit;
        const bench::fs::path medium = bench::kitMedium(kit);
        bench::Installation installation(medium, bench::DataDir::get() / "install-prefix");
        const bench::fs::path cpTarget = bench::DataDir::get() / "install-cp";
        const std::vector<std::string> command = cpCommand(medium, cpTarget);
        const auto ours = [&] {
            bench::fs::remove_all(installation.target());
            ::sync();
            return installation.run();
        };
        CopyRounds r;
        const auto peer = [&] {
            bench::fs::remove_all(cpTarget);
            bench::fs::create_directories(cpTarget);
            ::sync();
            const bench::ChildResult child = bench::runChild(command);
            r.peerFailed |= child.status != 0;
            return child.seconds;
        };
        for (int round = 0; round < kCopyRounds; ++round) {
            if (round % 2 == 0) {
                r.ours.push_back(ours());
                r.peer.push_back(peer());
            } else {
                r.peer.push_back(peer());
                r.ours.push_back(ours());
            }
        }
        r.complete = complete(installation.target(), kit);
        bench::fs::remove_all(cpTarget);
        return r;
    }();
    return rounds;
}

void reportCopy(benchmark::State& state, const std::vector<double>& seconds) {
    std::size_t i = 0;
    for (auto _ : state)
        state.SetIterationTime(seconds[i++ % seconds.size()]);
    state.counters["median_ms"] = bench::median(seconds) * 1e3;
    state.SetBytesProcessed(state.iterations() * bench::kSmallKit.bytes());
}

void InstallationRun(benchmark::State& state) {
    const CopyRounds& r = copyRounds();
    if (!r.complete) {
        state.SkipWithError("the run did not copy the kit");
        return;
    }
    reportCopy(state, r.ours);
    // Each round's ours against the cp -r beside it, the median of those: a slow spell of the
    // machine falls on both sides of a round, where it can fall on one side of the medians.
    std::vector<double> ratios;
    for (std::size_t i = 0; i < r.ours.size(); ++i)
        ratios.push_back(r.ours[i] / r.peer[i]);
    state.counters["round_ratio"] = bench::median(ratios);
    // The first run of a program names the counters its CSV output has room for: here the
    // peak of this whole process, data generation included.
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_kb"] = static_cast<double>(usage.ru_maxrss);
}
BENCHMARK(InstallationRun)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(kCopyRounds);

void PeerCopy(benchmark::State& state) {
    const CopyRounds& r = copyRounds();
    if (r.peerFailed) {
        state.SkipWithError("cp failed");
        return;
    }
    reportCopy(state, r.peer);
}
BENCHMARK(PeerCopy)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(kCopyRounds);

void peerCopy(benchmark::State& state, const Kit& kit) {
    const bench::fs::path medium = bench::kitMedium(kit);
    const bench::fs::path target = bench::DataDir::get() / "install-cp";
    const std::vector<std::string> command = cpCommand(medium, target);
    for (auto _ : state) {
        bench::fs::remove_all(target);
        bench::fs::create_directories(target);
        ::sync();
        const bench::ChildResult r = bench::runChild(command);
        state.SetIterationTime(r.seconds);
        if (r.status != 0) {
            state.SkipWithError("cp failed");
            break;
        }
    }
    bench::fs::remove_all(target);
    state.SetBytesProcessed(state.iterations() * kit.bytes());
}

// A whole run in a fresh process: its time and its peak resident memory (peak_rss_kb, the
// largest over the iterations, as the child reads its own).
void runInOwnProcess(benchmark::State& state, const Kit& kit) {
    const bench::fs::path medium = bench::kitMedium(kit);
    const bench::fs::path prefix = bench::DataDir::get() / (std::string(kit.name) + "-prefix");
    const std::vector<std::string> command = {(bench::programDir() / "bench_install_run").string(),
                                              medium.string(), prefix.string()};
    long peak = 0;
    for (auto _ : state) {
        const bench::ChildResult r = bench::runChild(command);
        state.SetIterationTime(r.seconds);
        const long kb = std::atol(r.output.c_str()); // the child's own, which it prints
        peak = std::max(peak, kb);
        if (r.status != 0 || kb <= 0 || !complete(prefix / "drive_c" / "BENCH", kit)) {
            state.SkipWithError("the run did not copy the kit");
            break;
        }
    }
    bench::fs::remove_all(prefix);
    state.counters["peak_rss_kb"] = static_cast<double>(peak);
    state.SetBytesProcessed(state.iterations() * kit.bytes());
}

// Registered only when asked for: the CD kit is 650 MB to generate and copy.
[[maybe_unused]] const bool large = [] {
    if (!std::getenv("ZEL_BENCH_LARGE"))
        return false;
    benchmark::RegisterBenchmark("InstallationProcess", runInOwnProcess, bench::kSmallKit)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("InstallationProcessCd", runInOwnProcess, bench::kCdKit)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("PeerCopyCd", peerCopy, bench::kCdKit)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    return true;
}();

} // namespace

BENCHMARK_MAIN();
