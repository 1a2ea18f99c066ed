// Replays the fuzz targets' seed corpora and the inputs that once broke them (fuzz/corpus,
// fuzz/regressions; with ZEL_FUZZ_CORPUS, the corpora grown there too) through the fuzzers'
// own property checks, so every build runs them without clang or libFuzzer.
#include "fuzz/properties.h"
#include "tests/support/fixtures.h"

namespace zel::test {
namespace {

TEST(FuzzReplay, ProfilesIntegersRegistryFilesMacrosAndWindowsPaths) {
    TempDir dir;
    const fs::path scratch = dir / "SCRATCH.INI";
    replayFuzzCorpus("profile",
                     [&](std::string_view in) { return fuzz::checkProfile(in, &scratch); });
    replayFuzzCorpus("integer", fuzz::checkIntegerRule);
    replayFuzzCorpus("registry", fuzz::checkRegistry);
    replayFuzzCorpus("macros", fuzz::checkMacros);
    const Machine machine = fuzz::makeFuzzMachine(dir / "machine");
    replayFuzzCorpus("winpath",
                     [&](std::string_view in) { return fuzz::checkWinPath(machine, in); });
}

} // namespace
} // namespace zel::test
