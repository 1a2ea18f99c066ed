// Replays the fuzz targets' seed corpora (fuzz/corpus/<target>/) and the inputs that once broke
// a target (fuzz/regressions/<target>/) through the same property checks the fuzzers run, so
// every build checks them without clang or libFuzzer. With ZEL_FUZZ_CORPUS set, the corpora
// under that directory (such as the ones `make fuzz` grows in build-fuzz/corpus) are replayed
// as well.
#include "fuzz/properties.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace zel::test {
namespace {

using Check = std::function<std::string(std::string_view)>;

std::vector<fs::path> inputsOf(const fs::path& dir) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file() && it->path().filename().string()[0] != '.')
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}

// Every input of the target's corpus and regressions keeps every property. The corpus must not
// be empty, or the replay would check nothing.
void replay(const std::string& target, const Check& check) {
    const fs::path corpus = sourceDir() / "fuzz" / "corpus" / target;
    const fs::path regressions = sourceDir() / "fuzz" / "regressions" / target;
    const auto seeds = inputsOf(corpus);
    ASSERT_FALSE(seeds.empty()) << "no seed inputs in " << corpus;
    auto inputs = seeds;
    const auto kept = inputsOf(regressions);
    inputs.insert(inputs.end(), kept.begin(), kept.end());
    if (const char* extra = std::getenv("ZEL_FUZZ_CORPUS"); extra && *extra) {
        const auto grown = inputsOf(fs::path(extra) / target);
        inputs.insert(inputs.end(), grown.begin(), grown.end());
    }
    for (const fs::path& file : inputs) {
        const std::string input = readFile(file);
        EXPECT_EQ(check(input), "") << file;
    }
}

TEST(FuzzReplay, ProfileReaderAndWriter) {
    TempDir dir;
    const fs::path scratch = dir / "SCRATCH.INI";
    replay("profile", [&](std::string_view input) { return fuzz::checkProfile(input, &scratch); });
}

TEST(FuzzReplay, IntegerRule) {
    replay("integer", fuzz::checkIntegerRule);
}

TEST(FuzzReplay, RegistryFile) {
    replay("registry", fuzz::checkRegistry);
}

TEST(FuzzReplay, ProgmanMacros) {
    replay("macros", fuzz::checkMacros);
}

TEST(FuzzReplay, WindowsPaths) {
    TempDir dir;
    const Machine machine = fuzz::makeFuzzMachine(dir.path());
    replay("winpath", [&](std::string_view input) { return fuzz::checkWinPath(machine, input); });
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
