// The socket-library sweep's walk over a drive of 200,000 entries, against find(1) looking for
// the same two names on the same tree. The walk is one pass with a name predicate, exactly as
// the sweep runs it. With ZEL_BENCH_LARGE set, also over a drive of 1,000,000 entries.
#include "bench/bench_support.h"
#include "winemu/cp1252.h"
#include "winemu/files.h"
#include "winemu/machine.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A tree of `entries` entries: 5,000 per top directory, each holding ten subdirectories of
// about 500 files.
struct Tree {
    const char* name;
    int entries;
    static constexpr int kSubDirs = 10;
    int topDirs() const { return entries / 5000; }
    int leaves() const { return topDirs() * kSubDirs; }
    int files() const { return entries - topDirs() - leaves(); }
};
constexpr Tree kTree{"walk-tree", 200000};             // 440 directories
constexpr Tree kLargeTree{"walk-tree-large", 1000000}; // 2,200 directories
constexpr int kMatches = 4;

bench::fs::path leaf(const bench::fs::path& root, int i) {
    char top[16], sub[16];
    std::snprintf(top, sizeof top, "DIR%03d", i / Tree::kSubDirs);
    std::snprintf(sub, sizeof sub, "Sub%d", i % Tree::kSubDirs);
    return root / top / sub;
}

// A drive of the kind a user has: short and long names, some accented (UTF-8 on the host),
// the two socket libraries in several letter cases, and names that only look like them.
void generateTree(const bench::fs::path& root, const Tree& shape) {
    for (int i = 0; i < shape.leaves(); ++i)
        bench::fs::create_directories(leaf(root, i));
    const char* targets[kMatches] = {"~sock32.dll", "~SOCK32.DLL", "~insock.dll", "~InSock.Dll"};
    const int targetLeaves[kMatches] = {17, 200, 333, 5};
    const char* decoys[] = {"~sock32.dll.bak", "x~sock32.dll", "~insock.dl", "sock32.dll"};
    int made = 0;
    for (int k = 0; k < kMatches; ++k, ++made)
        std::ofstream(leaf(root, targetLeaves[k]) / targets[k]) << "old library\n";
    for (int k = 0; k < 4; ++k, ++made)
        std::ofstream(leaf(root, 40 + k) / decoys[k]);
    for (int i = 0; made < shape.files(); ++i, ++made) {
        char name[64];
        switch (i % 10) {
        case 0: std::snprintf(name, sizeof name, "relat\xC3\xB3rio de vendas %d.txt", i); break;
        case 1:
        case 2:
        case 3: std::snprintf(name, sizeof name, "documento-de-exemplo-%d.doc", i); break;
        default: std::snprintf(name, sizeof name, "FILE%06d.DLL", i); break;
        }
        std::ofstream(leaf(root, i % shape.leaves()) / name);
    }
}

bench::fs::path tree(const Tree& shape) {
    return bench::generated(shape.name,
                            [&shape](const bench::fs::path& root) { generateTree(root, shape); });
}

void sweepWalk(benchmark::State& state, const Tree& shape) {
    const bench::fs::path root = tree(shape);
    zel::Machine::Options options;
    options.prefix = bench::DataDir::get() / "walk-prefix";
    options.programHostPath = root / "SETUP"; // the tree becomes drive D:
    options.hostWorkingDir = root;
    zel::Machine machine(options);
    zel::Files files(machine);
    const std::string drive = machine.programPath().substr(0, 3);
    for (auto _ : state) {
        std::vector<std::string> found;
        const auto accept = [](std::string_view name) {
            return zel::equalsNoCase(name, "~sock32.dll") || zel::equalsNoCase(name, "~insock.dll");
        };
        files.walk(drive, accept, [&](const std::string& dir, const zel::SearchEntry& entry) {
            found.push_back(dir + entry.name);
            return zel::WalkAnswer::Continue;
        });
        if (found.size() != kMatches) {
            state.SkipWithError("the walk did not find the four libraries");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * shape.entries);
}

void peerFind(benchmark::State& state, const Tree& shape) {
    const std::string root = tree(shape).string();
    for (auto _ : state) {
        const bench::ChildResult r =
            bench::runChild({"find", root, "-iname", "~sock32.dll", "-o", "-iname", "~insock.dll"});
        state.SetIterationTime(r.seconds);
        std::size_t lines = 0;
        for (char c : r.output)
            lines += c == '\n';
        if (r.status != 0 || lines != kMatches) {
            state.SkipWithError("find did not find the four libraries");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * shape.entries);
}

void SweepWalk(benchmark::State& state) {
    sweepWalk(state, kTree);
}
BENCHMARK(SweepWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

void PeerFind(benchmark::State& state) {
    peerFind(state, kTree);
}
BENCHMARK(PeerFind)->Unit(benchmark::kMillisecond)->UseManualTime();

// Registered only when asked for: a million files take minutes to make.
[[maybe_unused]] const bool large = [] {
    if (!std::getenv("ZEL_BENCH_LARGE"))
        return false;
    benchmark::RegisterBenchmark("SweepWalkLarge", sweepWalk, kLargeTree)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("PeerFindLarge", peerFind, kLargeTree)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    return true;
}();

} // namespace

BENCHMARK_MAIN();
