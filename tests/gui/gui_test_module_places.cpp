// Where the programs look for what they need, told from their own place: the build tree a
// program runs from, only one of this project that nobody else may change.
#include "qt/qt_modules.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

namespace zel::test {
namespace {

using Prepare = std::function<void(const fs::path&)>;
Prepare cache(const char* dir, const char* text) {
    return [=](const fs::path& t) { writeFile(t / dir / "CMakeCache.txt", text); };
}
Prepare mode(const char* dir, int perms) {
    return [=](const fs::path& t) { fs::permissions(t / dir, fs::perms(perms)); };
}
Prepare removed(const char* path) {
    return [=](const fs::path& t) { fs::remove_all(t / path); };
}

// Each row: what is changed in a fresh tree (ours, closed, with a bin, under `tmp/tree`), where
// the program lies under tmp, and the bin directory taken ("" for none).
TEST(ModulePlaces, ABuildTreeCountsOnlyWhenItIsOursAndClosed) {
    const struct {
        const char* name;
        Prepare prepare;
        const char *program, *taken;
    } rows[] = {
        {"the build's bin", {}, "tree/bin/zel-setup", "tree/bin"},
        {"deeper in the tree", {}, "tree/tests/tmp/x/SETUP", "tree/bin"},
        {"a project named alike", cache("tree", "CMAKE_PROJECT_NAME:STATIC=zel-setup-old\n"),
         "tree/bin/zel-setup", ""},
        {"the nearest cache is another project's", cache("tree/medium", "other\n"),
         "tree/medium/SETUP", ""},
        {"a tree others may change", mode("tree", 0777), "tree/medium/SETUP", ""},
        {"a bin its group may change", mode("tree/bin", 0775), "tree/medium/SETUP", ""},
        {"no cache above the program", removed("tree/CMakeCache.txt"), "tree/medium/SETUP", ""},
        {"no bin in the tree", removed("tree/bin"), "tree/medium/SETUP", ""},
        {"a link to the tree's program",
         [](const fs::path& t) {
             fs::remove(t / "elsewhere/SETUP");
             fs::create_symlink(t / "tree/bin/zel-setup", t / "elsewhere/SETUP");
         },
         "elsewhere/SETUP", "tree/bin"},
        {"no program", removed("elsewhere/SETUP"), "elsewhere/SETUP", ""},
        {"a tree of another user",
         [](const fs::path& t) {
             if (::geteuid() == 0 && ::chown((t / "tree").c_str(), 65534, 65534) != 0)
                 throw std::runtime_error("chown");
         },
         "tree/medium/SETUP", ::geteuid() == 0 ? "" : "tree/bin"}, // only root gives one away
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir tmp;
        const fs::path tree = tmp / "tree";
        fs::create_directories(tree / "bin");
        fs::permissions(tree, fs::perms(0755));
        fs::permissions(tree / "bin", fs::perms(0755));
        writeFile(tree / "CMakeCache.txt", "# This is the CMakeCache file.\n"
                                           "CMAKE_PROJECT_NAME:STATIC=zel-setup\n");
        writeProgram(tree / "bin/zel-setup", "#!/bin/sh\n");
        writeProgram(tmp / row.program, "#!/bin/sh\n");
        if (row.prepare)
            row.prepare(tmp.path());
        EXPECT_EQ(buildBinDirOf(tmp / row.program).value_or(fs::path()),
                  *row.taken ? fs::canonical(tmp / row.taken) : fs::path());
    }
}

} // namespace
} // namespace zel::test
