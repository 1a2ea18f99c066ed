// The installation run of a 50 MB kit (10 programs of 20 files of 256 kbytes each), against
// cp -r of the same program directories into an empty destination.
#include "bench/bench_support.h"
#include "winemu/files.h"
#include "winemu/machine.h"
#include "setup/catalogue.h"
#include "setup/install.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kPrograms = 10, kFilesEach = 20;
constexpr std::size_t kFileBytes = 256 * 1024;
constexpr std::int64_t kKitBytes = std::int64_t{kPrograms} * kFilesEach * kFileBytes;

std::string programDir(int n) {
    char name[16];
    std::snprintf(name, sizeof name, "PROG%02d", n);
    return name;
}

void generateKit(const bench::fs::path& root) {
    std::mt19937_64 random(1996);
    std::string ini = "[Principal]\r\ndestino=C:\\BENCH\\\r\n";
    for (int n = 1; n <= kPrograms; ++n) {
        const std::string dir = programDir(n);
        bench::fs::create_directories(root / dir);
        ini += "[Programa" + std::to_string(n) + "]\r\nnome=Programa " + std::to_string(n) +
               "\r\ninstala=1\r\ntamanho=5120\r\ndiretorio=" + dir + "\r\ncriadir=1\r\n";
        for (int k = 1; k <= kFilesEach; ++k) {
            char name[16];
            std::snprintf(name, sizeof name, "FILE%02d.BIN", k);
            bench::writeBytes(root / dir / name, kFileBytes, random);
            ini += "Arquivo" + std::to_string(k) + "=" + name + "\r\n";
        }
    }
    std::ofstream(root / "SETUP.INI", std::ios::binary) << ini;
}

const bench::fs::path& kit() {
    static const bench::fs::path root = bench::generated("install-kit", generateKit);
    return root;
}

struct NoGauge : zel::Gauge {
    void setMaximum(int) override {}
    void setPosition(int) override {}
    void advance(int) override {}
};
struct NoStatus : zel::StatusLine {
    void setText(const std::string&) override {}
    void repaint() override {}
};

void InstallationRun(benchmark::State& state) {
    const bench::fs::path medium = kit();
    zel::Machine::Options options;
    options.prefix = bench::DataDir::get() / "install-prefix";
    options.programHostPath = medium / "SETUP";
    options.hostWorkingDir = medium;
    zel::Machine machine(options);
    zel::Files files(machine);
    zel::Catalogue catalogue;
    catalogue.load(zel::ProfileFile::atHostPath(medium / "SETUP.INI"));
    const std::string source = zel::sourceDirectory(machine.programPath());
    const bench::fs::path target = options.prefix / "drive_c" / "BENCH";
    NoGauge overall, file;
    NoStatus programStatus, fileStatus;
    for (auto _ : state) {
        bench::fs::remove_all(target);
        const auto start = std::chrono::steady_clock::now();
        zel::installationRun(files, catalogue, source, overall, file, programStatus, fileStatus);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    if (bench::fs::file_size(target / programDir(kPrograms) / "FILE20.BIN") != kFileBytes)
        state.SkipWithError("the run did not copy the kit");
    state.SetBytesProcessed(state.iterations() * kKitBytes);
}
BENCHMARK(InstallationRun)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void PeerCopy(benchmark::State& state) {
    const bench::fs::path medium = kit();
    const bench::fs::path target = bench::DataDir::get() / "install-cp";
    std::vector<std::string> command = {"cp", "-r"};
    for (int n = 1; n <= kPrograms; ++n)
        command.push_back((medium / programDir(n)).string());
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
    state.SetBytesProcessed(state.iterations() * kKitBytes);
}
BENCHMARK(PeerCopy)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace

BENCHMARK_MAIN();
