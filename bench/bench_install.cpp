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

void InstallationRun(benchmark::State& state) {
    const Kit& kit = bench::kSmallKit;
    bench::Installation installation(bench::kitMedium(kit),
                                     bench::DataDir::get() / "install-prefix");
    for (auto _ : state) {
        bench::fs::remove_all(installation.target());
        const auto start = std::chrono::steady_clock::now();
        installation.run();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    if (!complete(installation.target(), kit))
        state.SkipWithError("the run did not copy the kit");
    // The first run of a program names the counters its CSV output has room for: here the
    // peak of this whole process, data generation included.
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_kb"] = static_cast<double>(usage.ru_maxrss);
    state.SetBytesProcessed(state.iterations() * kit.bytes());
}
BENCHMARK(InstallationRun)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void peerCopy(benchmark::State& state, const Kit& kit) {
    const bench::fs::path medium = bench::kitMedium(kit);
    const bench::fs::path target = bench::DataDir::get() / "install-cp";
    std::vector<std::string> command = {"cp", "-r"};
    for (int n = 1; n <= Kit::kPrograms; ++n)
        command.push_back((medium / bench::programDir(n)).string());
    command.push_back(target.string());
    for (auto _ : state) {
        bench::fs::remove_all(target);
        bench::fs::create_directories(target);
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

void PeerCopy(benchmark::State& state) {
    peerCopy(state, bench::kSmallKit);
}
BENCHMARK(PeerCopy)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

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
