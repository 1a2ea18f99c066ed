// Loading the catalogue from a full setup description file (12 programs of 60 file keys), as
// the wizard does at start-up: a fresh profile file, one read of the disk, then every key.
// Reading one key and writing one key of the same file show what a single access costs.
#include "setup/catalogue.h"
#include "winemu/profile.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string fullDescription() {
    std::string text = "; kit description\r\n[Principal]\r\nversao=3.1\r\ngrupo=ZEL Internet\r\n"
                       "destino=C:\\ZEL\r\nhomepage=http://www.zel.com.br\r\n"
                       "navegap_size=4096\r\nnavegai_size=$2000\r\n"
                       "[Update]\r\nprograma=ZELUPD.EXE\r\ndiretorio=UPDATE\\\r\n";
    for (int n = 1; n <= 12; ++n) {
        text += "[Programa" + std::to_string(n) + "]\r\nnome=Programa " + std::to_string(n) +
                "\r\ninstala=1\r\ntamanho=0x400\r\ndiretorio=PROG" + std::to_string(n) +
                "\r\ncriadir=1\r\n";
        for (int k = 1; k <= 30; ++k) {
            text += "Arquivo" + std::to_string(k) + "=FILE" + std::to_string(k) + ".DLL\r\n";
            text += "System" + std::to_string(k) + "=SYS" + std::to_string(k) + ".DLL\r\n";
        }
    }
    return text;
}

class DescriptionFile {
public:
    DescriptionFile() {
        path_ = fs::temp_directory_path() / ("zel-bench-" + std::to_string(::getpid()) + ".INI");
        std::ofstream(path_, std::ios::binary) << fullDescription();
    }
    ~DescriptionFile() {
        std::error_code ec;
        fs::remove(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void CatalogueLoad(benchmark::State& state) {
    const DescriptionFile file;
    for (auto _ : state) {
        zel::Catalogue catalogue;
        catalogue.load(zel::ProfileFile::atHostPath(file.path()));
        benchmark::DoNotOptimize(catalogue.entry(12).systemFiles[29]);
    }
}
BENCHMARK(CatalogueLoad)->Unit(benchmark::kMicrosecond);

void ProfileLookupOneKey(benchmark::State& state) {
    const std::string text = fullDescription();
    for (auto _ : state)
        benchmark::DoNotOptimize(zel::ini::lookup(text, "Programa12", "System30"));
}
BENCHMARK(ProfileLookupOneKey)->Unit(benchmark::kMicrosecond);

void ProfileWriteOneKey(benchmark::State& state) {
    const DescriptionFile file;
    int value = 0;
    for (auto _ : state) {
        zel::ProfileFile profile = zel::ProfileFile::atHostPath(file.path());
        profile.writeInteger("Principal", "contador", ++value);
    }
}
BENCHMARK(ProfileWriteOneKey)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
