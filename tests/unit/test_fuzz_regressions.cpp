// Replays the fuzz targets' seed corpora (fuzz/corpus/<target>/) and the inputs that once broke
// a target (fuzz/regressions/<target>/) through the same property checks the fuzzers run, so
// every build checks them without clang or libFuzzer. With ZEL_FUZZ_CORPUS set, the corpora
// under that directory (such as the ones `make fuzz` grows in build-fuzz/corpus) are replayed
// as well.
#include "fuzz/properties.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>


namespace zel::test {
namespace {

TEST(FuzzReplay, ProfileReaderAndWriter) {
    TempDir dir;
    const fs::path scratch = dir / "SCRATCH.INI";
    replayFuzzCorpus("profile", [&](std::string_view input) { return fuzz::checkProfile(input, &scratch); });
}

TEST(FuzzReplay, IntegerRule) {
    replayFuzzCorpus("integer", fuzz::checkIntegerRule);
}

TEST(FuzzReplay, RegistryFile) {
    replayFuzzCorpus("registry", fuzz::checkRegistry);
}

TEST(FuzzReplay, ProgmanMacros) {
    replayFuzzCorpus("macros", fuzz::checkMacros);
}

TEST(FuzzReplay, WindowsPaths) {
    TempDir dir;
    const Machine machine = fuzz::makeFuzzMachine(dir.path());
    replayFuzzCorpus("winpath", [&](std::string_view input) { return fuzz::checkWinPath(machine, input); });
}

// The checks themselves notice a broken property; otherwise a clean replay would prove nothing.
TEST(FuzzProperties, NoticeBrokenResults) {
    // The model disagrees with a wrong answer of the rule's shape.
    EXPECT_EQ(fuzz::integerRuleModel("$FFFFFFFF"), -1);
    EXPECT_EQ(fuzz::integerRuleModel("-2147483648"), std::nullopt);
    EXPECT_EQ(fuzz::integerRuleModel("0x"), std::nullopt);
    EXPECT_EQ(fuzz::integerRuleModel("  +0012"), 12);
    // A path mapped outside its root is told apart from one inside.
    EXPECT_TRUE(fuzz::lexicallyWithin("/p/drive_c/a/../b", "/p/drive_c"));
    EXPECT_FALSE(fuzz::lexicallyWithin("/p/drive_c/../x", "/p/drive_c"));
    EXPECT_FALSE(fuzz::lexicallyWithin("/p/drive_cc/x", "/p/drive_c"));
    EXPECT_FALSE(fuzz::lexicallyWithin("/p", "/p/drive_c"));
}

} // namespace
} // namespace zel::test
