// Start-up to the first paint on Qt's offscreen platform: the wizard (bench_wizard_start, built
// as the wizard's main builds it, on a copy of the demo kit) against the least a wizard of its
// look must do (bench_wizard_peer: a full-screen gradient and a dialog with a line of text) and,
// for reference, a bare Qt dialog (bench_qt_minimal). Each run is a fresh process; its peak
// resident memory is reported as the counter peak_rss_kb (the largest seen over the iterations).
#include "bench/bench_support.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const bench::fs::path& medium() {
    static const bench::fs::path root = bench::generated("startup-medium", [](const auto& dir) {
        bench::fs::copy(bench::fs::path(ZEL_SOURCE_DIR) / "kit", dir,
                        bench::fs::copy_options::recursive);
    });
    return root;
}

void measure(benchmark::State& state, const std::vector<std::string>& command) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    bench::runChild(command, true, true); // warm-up: caches, fonts, and the prefix's first creation
    long peak = 0;
    for (auto _ : state) {
        const bench::ChildResult r = bench::runChild(command, true, true);
        state.SetIterationTime(r.seconds);
        peak = std::max(peak, r.peakResidentKb);
        if (r.status != 0 || r.output != "painted\n") {
            state.SkipWithError(("no first paint from " + command[0]).c_str());
            break;
        }
    }
    state.counters["peak_rss_kb"] = static_cast<double>(peak);
}

void StartupQtMinimal(benchmark::State& state) {
    measure(state, {(bench::programDir() / "bench_qt_minimal").string()});
}
BENCHMARK(StartupQtMinimal)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);

void StartupPeerWizard(benchmark::State& state) {
    measure(state, {(bench::programDir() / "bench_wizard_peer").string()});
}
BENCHMARK(StartupPeerWizard)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);

void StartupWizard(benchmark::State& state) {
    ::setenv("ZEL_PREFIX", (bench::DataDir::get() / "startup-prefix").c_str(), 1);
    measure(state,
            {(bench::programDir() / "bench_wizard_start").string(), (medium() / "SETUP").string()});
}
BENCHMARK(StartupWizard)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);

} // namespace

BENCHMARK_MAIN();
