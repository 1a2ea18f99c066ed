// Where the programs look for what they need, told from their own place: the build tree a
// program runs from (only one of this project that nobody else may change), and an
// installation's module directory.
#include "qt/qt_modules.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

namespace zel::test {
namespace {

constexpr const char* kOurCache = "# This is the CMakeCache file.\n"
                                  "CMAKE_PROJECT_NAME:STATIC=zel-setup\n";

// Each row: what is prepared in a fresh directory (the tree's root), where the program lies in
// it, and the bin directory taken ("" for none).
TEST(ModulePlaces, ABuildTreeCountsOnlyWhenItIsOursAndClosed) {
    const bool root = ::geteuid() == 0;
    const struct {
        const char* name;
        std::function<void(const fs::path&)> prepare;
        const char* program;
        const char* taken;
    } rows[] = {
        {"the build's bin", [](const fs::path&) {}, "bin/zel-setup", "bin"},
        {"the demo's medium", [](const fs::path&) {}, "medium/SETUP", "bin"},
        {"deeper in the tree", [](const fs::path&) {}, "tests/tmp/x/SETUP", "bin"},
        {"another project's cache",
         [](const fs::path& t) {
             writeFile(t / "CMakeCache.txt", "CMAKE_PROJECT_NAME:STATIC=x\n");
         },
         "bin/zel-setup", ""},
        {"a project named alike",
         [](const fs::path& t) {
             writeFile(t / "CMakeCache.txt", "CMAKE_PROJECT_NAME:STATIC=zel-setup-old\n");
         },
         "bin/zel-setup", ""},
        {"the nearest cache is another project's",
         [](const fs::path& t) { writeFile(t / "medium" / "CMakeCache.txt", "other\n"); },
         "medium/SETUP", ""},
        {"a tree others may change",
         [](const fs::path& t) { fs::permissions(t, static_cast<fs::perms>(0777)); },
         "medium/SETUP", ""},
        {"a bin its group may change",
         [](const fs::path& t) { fs::permissions(t / "bin", static_cast<fs::perms>(0775)); },
         "medium/SETUP", ""},
        {"no cache above the program", [](const fs::path& t) { fs::remove(t / "CMakeCache.txt"); },
         "medium/SETUP", ""},
        {"no bin in the tree", [](const fs::path& t) { fs::remove_all(t / "bin"); }, "medium/SETUP",
         ""},
        {"a tree of another user",
         [](const fs::path& t) {
             if (::chown(t.c_str(), 65534, 65534) != 0)
                 throw std::runtime_error("chown");
         },
         "medium/SETUP", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (std::string_view(row.name) == "a tree of another user" && !root)
            continue; // only root can give a directory away
        TempDir tmp;
        const fs::path tree = tmp / "tree";
        fs::create_directories(tree / "bin");
        fs::permissions(tree, static_cast<fs::perms>(0755));
        fs::permissions(tree / "bin", static_cast<fs::perms>(0755));
        writeFile(tree / "CMakeCache.txt", kOurCache);
        writeProgram(tree / row.program, "#!/bin/sh\n");
        row.prepare(tree);
        const std::optional<fs::path> taken = buildBinDirOf(tree / row.program);
        EXPECT_EQ(taken.value_or(fs::path()),
                  *row.taken ? fs::canonical(tree) / row.taken : fs::path());
        fs::permissions(tree, static_cast<fs::perms>(0755));
    }
}

// A program reached through a link belongs to the tree of the file the link names.
TEST(ModulePlaces, ALinkCountsWhereItsFileLies) {
    TempDir tmp;
    const fs::path tree = tmp / "tree";
    fs::create_directories(tree / "bin");
    writeFile(tree / "CMakeCache.txt", kOurCache);
    writeProgram(tree / "bin" / "zel-setup", "#!/bin/sh\n");
    fs::create_directories(tmp / "elsewhere");
    fs::create_symlink(tree / "bin" / "zel-setup", tmp / "elsewhere" / "SETUP");
    EXPECT_EQ(buildBinDirOf(tmp / "elsewhere" / "SETUP").value_or(fs::path()),
              fs::canonical(tree / "bin"));
    fs::remove(tmp / "elsewhere" / "SETUP");
    writeProgram(tmp / "elsewhere" / "SETUP", "#!/bin/sh\n"); // a copy has no tree
    EXPECT_EQ(buildBinDirOf(tmp / "elsewhere" / "SETUP"), std::nullopt);
    EXPECT_EQ(buildBinDirOf(tmp / "missing"), std::nullopt);
}

// An installation keeps the modules in lib/zel-setup beside its bin directory.
TEST(ModulePlaces, TheInstalledModulesLieBesideBin) {
    EXPECT_EQ(installedModuleDir("/usr/local/bin"), fs::path("/usr/local/lib/zel-setup"));
    EXPECT_EQ(installedModuleDir("/opt/zel/bin"), fs::path("/opt/zel/lib/zel-setup"));
}

} // namespace
} // namespace zel::test
