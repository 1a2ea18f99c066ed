// zel-kit keys: the kit author's table of every key, and the README's copy of it, which must be
// exactly what the tool prints from the key table the wizard reads with.
#include "setup/catalogue.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zel::test {
namespace {

class KitKeysTest : public ::testing::Test {
protected:
    CommandResult keys(const std::string& args) { return runTool("zel-kit", "keys" + args, tmp); }
    TempDir tmp;
};

// The README's table between its markers is the tool's output, byte for byte: a key added to
// the table, or a default changed, shows as a difference until the README is regenerated.
TEST_F(KitKeysTest, TheReadmesTableIsTheToolsOutput) {
    const CommandResult table = keys(" --markdown");
    ASSERT_EQ(table.status, 0) << table.errors;
    const std::string readme = readFile(sourceDir() / "README.md");
    const std::string begin = "<!-- zel-kit keys --markdown: begin -->\n",
                      end = "<!-- zel-kit keys --markdown: end -->";
    const auto from = readme.find(begin), to = readme.find(end);
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    ASSERT_LT(from, to);
    EXPECT_EQ(readme.substr(from + begin.size(), to - from - begin.size()), table.output)
        << "regenerate the README's table with build/bin/zel-kit keys --markdown";
}

// One row per key of the key table, each naming its section and key; the defaults as the
// wizard reads a missing key (a few rows as samples of each kind).
TEST_F(KitKeysTest, EveryKeyHasItsRow) {
    const std::string table = keys(" --markdown").output;
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'),
              static_cast<std::ptrdiff_t>(descriptionKeys().size()) + 2);
    for (const DescriptionKey& key : descriptionKeys())
        EXPECT_NE(table.find(" | `" + std::string(key.name)), std::string::npos) << key.name;
    for (const char* row : {
             "| `[Principal]` | `grupo` | the Program Manager group | `erro!` |",
             "| `[ProgramaN]` (1 to 12) | `Arquivo1` to `Arquivo30` | the program's files | none |",
             "| `[ProgramaN]` (1 to 12) | `tamanho` | the space the program takes, in kbytes | 0 |",
             "| `[PatroN]` (1 to 5) | `Diretorio` | the sponsor's directory on the medium | `\\` |",
             "| `[Marca]` | `fax` | the fax number the registration goes to | (011) 555-0190 | fax "
             "notice (24 characters at most) |",
             "| `[Marca]` | `imagem_fim` | the finish page's picture (empty: the built-in one) | "
             "built in | finish page |",
         })
        EXPECT_NE(table.find(row), std::string::npos) << row;
}

TEST_F(KitKeysTest, AskedOtherwiseItIsAUsageError) {
    for (const char* args : {"", " --json", " --markdown extra"}) {
        const CommandResult r = keys(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_TRUE(r.errors.starts_with("zel-kit: keys takes --markdown\n")) << r.errors;
        EXPECT_EQ(r.output, "");
    }
}

} // namespace
} // namespace zel::test
