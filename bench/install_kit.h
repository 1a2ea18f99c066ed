#pragma once
// The kits the installation benchmarks copy: ten programs of equal files, described by a
// SETUP.INI that installs them all under C:\BENCH\, and the run itself.
#include "bench/bench_support.h"
#include "setup/catalogue.h"
#include "setup/install.h"
#include "winemu/files.h"
#include "winemu/journal_writer.h"
#include "winemu/machine.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>

namespace bench {

struct Kit {
    const char* name; // its directory under the data directory
    int filesEach;    // files per program
    std::size_t fileBytes;
    static constexpr int kPrograms = 10;
    std::int64_t bytes() const {
        return std::int64_t{kPrograms} * filesEach * std::int64_t(fileBytes);
    }
};

// 50 MB: 10 programs of 20 files of 256 kbytes. A CD's 650 MB: 10 programs of 30 files.
inline constexpr Kit kSmallKit{"install-kit", 20, 256 * 1024};
inline constexpr Kit kCdKit{"install-kit-cd", 30, 650 * 1024 * 1024 / 300 / 8 * 8};

inline std::string programDir(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "PROG%02d", n);
    return name;
}

inline std::string fileName(int k) {
    char name[32];
    std::snprintf(name, sizeof name, "FILE%02d.BIN", k);
    return name;
}

inline const fs::path& kitMedium(const Kit& kit) {
    static std::map<std::string, fs::path> made;
    auto [at, fresh] = made.try_emplace(kit.name);
    if (!fresh)
        return at->second;
    at->second = generated(kit.name, [&kit](const fs::path& root) {
        std::mt19937_64 random(1996);
        std::string ini = "[Principal]\r\ndestino=C:\\BENCH\\\r\n";
        for (int n = 1; n <= Kit::kPrograms; ++n) {
            const std::string dir = programDir(n);
            fs::create_directories(root / dir);
            ini +=
                "[Programa" + std::to_string(n) + "]\r\nnome=Programa " + std::to_string(n) +
                "\r\ninstala=1\r\ntamanho=" + std::to_string(kit.filesEach * kit.fileBytes / 1024) +
                "\r\ndiretorio=" + dir + "\r\ncriadir=1\r\n";
            for (int k = 1; k <= kit.filesEach; ++k) {
                writeBytes(root / dir / fileName(k), kit.fileBytes, random);
                ini += "Arquivo" + std::to_string(k) + "=" + fileName(k) + "\r\n";
            }
        }
        std::ofstream(root / "SETUP.INI", std::ios::binary) << ini;
    });
    return at->second;
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

// A machine whose drive D: is the kit's medium, ready to run the installation into C:\BENCH\.
// Each run keeps its journal, as the wizard's does: its records are part of the copy's cost.
class Installation {
public:
    Installation(const fs::path& medium, const fs::path& prefix)
        : machine_(options(medium, prefix)), files_(machine_),
          source_(zel::sourceDirectory(machine_.programPath())),
          target_(prefix / "drive_c" / "BENCH"), prefix_(prefix) {
        catalogue_.load(zel::ProfileFile::atHostPath(medium / "SETUP.INI"));
    }
    const fs::path& target() const { return target_; }
    // One run, with the installation's journal kept as the wizard keeps it: open from the
    // first change, closed (its records synced) when the wizard ends, after the run. The
    // seconds of the run alone.
    double run() {
        NoGauge overall, file;
        NoStatus programStatus, fileStatus;
        zel::InstallJournal journal(prefix_);
        const zel::JournalSubscription journaled(journal);
        const auto start = std::chrono::steady_clock::now();
        zel::installationRun(files_, catalogue_, source_, overall, file, programStatus, fileStatus);
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        if (!journal.failure().empty())
            throw std::runtime_error("the journal stopped: " + journal.failure());
        return seconds.count();
    }

private:
    static zel::Machine::Options options(const fs::path& medium, const fs::path& prefix) {
        zel::Machine::Options o;
        o.prefix = prefix;
        o.programHostPath = medium / "SETUP";
        o.hostWorkingDir = medium;
        return o;
    }
    zel::Machine machine_;
    zel::Files files_;
    zel::Catalogue catalogue_;
    std::string source_;
    fs::path target_, prefix_;
};

} // namespace bench
