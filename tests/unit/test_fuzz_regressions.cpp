// The fuzz corpora and regressions (and ZEL_FUZZ_CORPUS's) through the fuzzers' own checks.
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
