// The SHA-256 of a 1 GB file as the medium's sums are made and checked (bench_hash_run, a
// process of its own) against sha256sum on the same file, and the peak memory of ours on that
// file against a 64 MB one: the file is read a fixed block at a time, so the two must match.
//
// Ours and sha256sum take turns, round after round (each one first every other round), and each
// reports the median of its rounds as median_ms; HashFile's round_ratio is the median of each
// round's sha256sum time over ours (its throughput against sha256sum's). Both files are made
// once, of pseudo-random data, and are in the page cache for every round: the hash is measured,
// not the disk.
#include "bench/bench_support.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 7;
constexpr std::size_t kChunk = 1u << 20; // small: the peer's peak below counts ours
constexpr std::size_t kLarge = 1024u << 20, kSmall = 64u << 20;

// SIZE bytes of pseudo-random data (a 1 MB piece repeated), written once per run.
bench::fs::path dataFile(std::size_t size) {
    const std::string name = "hash-" + std::to_string(size >> 20) + "mb";
    return bench::generated(name,
                            [size](const bench::fs::path& dir) {
                                std::mt19937_64 random(size);
                                std::string chunk(kChunk, '\0');
                                for (std::size_t i = 0; i + 8 <= kChunk; i += 8) {
                                    const std::uint64_t v = random();
                                    std::memcpy(&chunk[i], &v, 8);
                                }
                                std::ofstream out(dir / "data", std::ios::binary);
                                for (std::size_t written = 0; written < size; written += kChunk)
                                    out.write(chunk.data(), static_cast<std::streamsize>(kChunk));
                                if (!out.flush())
                                    throw std::runtime_error("cannot write the data to hash");
                            }) /
           "data";
}

struct Run {
    std::vector<double> seconds;
    std::vector<std::string> sums;
    long peakKb = 0;
    bool failed = false;
};

struct HashRounds {
    Run ours, peer, oursSmall;
};

// Ours prints its sum and its own peak; sha256sum its sum and the file's name.
void runOnce(Run& run, const std::vector<std::string>& command, bool ours) {
    const bench::ChildResult r = bench::runChild(command);
    std::istringstream line(r.output);
    std::string sum;
    long kb = 0;
    line >> sum;
    if (ours)
        line >> kb;
    run.seconds.push_back(r.seconds);
    run.sums.push_back(sum);
    run.peakKb = std::max(run.peakKb, ours ? kb : r.peakResidentKb);
    run.failed |= r.status != 0 || sum.size() != 64 || (ours && kb <= 0);
}

const HashRounds& rounds() {
    static const HashRounds r = [] {
        const bench::fs::path large = dataFile(kLarge), small = dataFile(kSmall);
        const std::string ours = (bench::programDir() / "bench_hash_run").string();
        HashRounds h;
        // Warm-up: both files into the page cache, both programs' pages loaded.
        runOnce(h.oursSmall, {ours, small.string()}, true);
        runOnce(h.peer, {"sha256sum", large.string()}, false);
        h.oursSmall = {};
        h.peer = {};
        for (int round = 0; round < kRounds; ++round) {
            if (round % 2 == 0) {
                runOnce(h.ours, {ours, large.string()}, true);
                runOnce(h.peer, {"sha256sum", large.string()}, false);
            } else {
                runOnce(h.peer, {"sha256sum", large.string()}, false);
                runOnce(h.ours, {ours, large.string()}, true);
            }
            runOnce(h.oursSmall, {ours, small.string()}, true);
        }
        return h;
    }();
    return r;
}

void report(benchmark::State& state, const Run& run, std::size_t bytes) {
    std::size_t i = 0;
    for (auto _ : state)
        state.SetIterationTime(run.seconds[i++ % run.seconds.size()]);
    state.counters["median_ms"] = bench::median(run.seconds) * 1e3;
    state.counters["peak_rss_kb"] = static_cast<double>(run.peakKb);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

bool allEqual(const std::vector<std::string>& sums, const std::string& to) {
    return std::all_of(sums.begin(), sums.end(), [&](const std::string& s) { return s == to; });
}

void HashFile(benchmark::State& state) {
    const HashRounds& h = rounds();
    if (h.ours.failed || h.peer.failed || h.ours.sums.empty() ||
        !allEqual(h.ours.sums, h.peer.sums.front()) ||
        !allEqual(h.peer.sums, h.peer.sums.front())) {
        state.SkipWithError("bench_hash_run and sha256sum did not give the same sum");
        return;
    }
    report(state, h.ours, kLarge);
    std::vector<double> ratios;
    for (std::size_t i = 0; i < h.ours.seconds.size(); ++i)
        ratios.push_back(h.peer.seconds[i] / h.ours.seconds[i]);
    state.counters["round_ratio"] = bench::median(ratios);
}
BENCHMARK(HashFile)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(kRounds);

void HashFileSmall(benchmark::State& state) {
    const HashRounds& h = rounds();
    if (h.oursSmall.failed) {
        state.SkipWithError("bench_hash_run failed on the 64 MB file");
        return;
    }
    report(state, h.oursSmall, kSmall);
}
BENCHMARK(HashFileSmall)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(kRounds);

// Its peak_rss_kb is that of sha256sum or, when larger, the benchmark's own (see
// bench_hash_run): a bound on sha256sum's, for reference.
void PeerSha256sum(benchmark::State& state) {
    const HashRounds& h = rounds();
    if (h.peer.failed) {
        state.SkipWithError("sha256sum failed");
        return;
    }
    report(state, h.peer, kLarge);
}
BENCHMARK(PeerSha256sum)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(kRounds);

} // namespace

BENCHMARK_MAIN();
