// Start-up to the first paint on Qt's offscreen platform: the wizard (bench_wizard_start, built
// as the wizard's main builds it, on a copy of the demo kit) against the least a wizard of its
// look must do (bench_wizard_peer: a full-screen gradient and a dialog with a line of text) and,
// for reference, a bare Qt dialog (bench_qt_minimal). Each start is a fresh process.
//
// The three programs are started in turn, round after round, so that a slow spell of the
// machine (another process on the two cores, the disk writing back) falls on all three alike.
// Each one reports the median of its rounds as median_ms, and its peak resident memory (the
// largest over the rounds) as peak_rss_kb; real_time is the mean.
#include "bench/bench_support.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 61;

const bench::fs::path& medium() {
    static const bench::fs::path root = bench::generated("startup-medium", [](const auto& dir) {
        bench::fs::copy(bench::fs::path(ZEL_SOURCE_DIR) / "kit", dir,
                        bench::fs::copy_options::recursive);
    });
    return root;
}

struct Program {
    std::vector<std::string> command;
    std::vector<double> seconds;
    long peakKb = 0;
    bool failed = false;
};

// Every program's rounds, measured once, on first use.
std::map<std::string, Program>& rounds() {
    static std::map<std::string, Program> programs = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("ZEL_PREFIX", (bench::DataDir::get() / "startup-prefix").c_str(), 1);
        const bench::fs::path dir = bench::programDir();
        std::map<std::string, Program> p;
        p["minimal"].command = {(dir / "bench_qt_minimal").string()};
        p["peer"].command = {(dir / "bench_wizard_peer").string()};
        p["wizard"].command = {(dir / "bench_wizard_start").string(),
                               (medium() / "SETUP").string()};
        for (auto& [name, program] : p) // warm-up: caches, fonts, the prefix's first creation
            bench::runChild(program.command, true, true);
        std::vector<Program*> order = {&p["wizard"], &p["peer"], &p["minimal"]};
        for (int round = 0; round < kRounds; ++round) {
            for (Program* program : order) {
                const bench::ChildResult r = bench::runChild(program->command, true, true);
                program->seconds.push_back(r.seconds);
                program->peakKb = std::max(program->peakKb, r.peakResidentKb);
                program->failed |= r.status != 0 || r.output != "painted\n";
            }
            // Nobody always goes first.
            std::rotate(order.begin(), order.begin() + 1, order.end());
        }
        return p;
    }();
    return programs;
}

void report(benchmark::State& state, const std::string& name) {
    Program& program = rounds().at(name);
    if (program.failed) {
        state.SkipWithError(("no first paint from " + program.command[0]).c_str());
        return;
    }
    std::size_t i = 0;
    for (auto _ : state)
        state.SetIterationTime(program.seconds[i++ % program.seconds.size()]);
    state.counters["median_ms"] = bench::median(program.seconds) * 1e3;
    state.counters["peak_rss_kb"] = static_cast<double>(program.peakKb);
}

void StartupQtMinimal(benchmark::State& state) {
    report(state, "minimal");
}
void StartupPeerWizard(benchmark::State& state) {
    report(state, "peer");
}
void StartupWizard(benchmark::State& state) {
    report(state, "wizard");
}
BENCHMARK(StartupQtMinimal)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(kRounds);
BENCHMARK(StartupPeerWizard)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(kRounds);
BENCHMARK(StartupWizard)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(kRounds);

} // namespace

BENCHMARK_MAIN();
