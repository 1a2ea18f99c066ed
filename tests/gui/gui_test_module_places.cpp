// The build tree a program runs from counts only when it is this project's and nobody else's.
#include "qt/qt_modules.h"
#include "tests/support/fixtures.h"

#include <unistd.h>

namespace zel::test {
namespace {

// What each program takes ("bin" the tree's, "-" none), the tree changed one thing at a time.
TEST(ModulePlaces, ABuildTreeCountsOnlyWhenItIsOursAndClosed) {
    TempDir tmp;
    const fs::path tree = tmp / "tree", cache = tree / "CMakeCache.txt";
    const std::string ours =
        "# This is the CMakeCache file.\nCMAKE_PROJECT_NAME:STATIC=zel-setup\n";
    writeFile(cache, ours);
    for (const char* program : {"bin/zel-setup", "medium/SETUP", "tests/tmp/x/SETUP"})
        writeProgram(tree / program, "#!/bin/sh\n");
    writeProgram(tmp / "elsewhere" / "COPY", "#!/bin/sh\n");
    fs::create_symlink(tree / "bin/zel-setup", tmp / "elsewhere" / "LINK");
    fs::permissions(tree, fs::perms(0755));
    fs::permissions(tree / "bin", fs::perms(0755));
    const fs::path bin = fs::canonical(tree / "bin");
    std::string seen;
    const auto look = [&](std::initializer_list<const char*> programs) {
        for (const char* program : programs)
            seen += buildBinDirOf(tmp / program) == bin ? "bin " : "- ";
        seen += "| ";
    };
    look({"tree/bin/zel-setup", "tree/tests/tmp/x/SETUP", "elsewhere/LINK", "elsewhere/COPY",
          "elsewhere/NONE"});
    writeFile(cache, "CMAKE_PROJECT_NAME:STATIC=zel-setup-old\n"); // a project named alike
    look({"tree/bin/zel-setup"});
    writeFile(cache, ours);
    writeFile(tree / "medium" / "CMakeCache.txt", "other\n"); // the nearest cache decides
    look({"tree/medium/SETUP", "tree/bin/zel-setup"});
    for (const auto& [dir, mode] : {std::pair{tree, 0777}, {tree / "bin", 0775}}) {
        fs::permissions(dir, fs::perms(mode)); // others may change the tree, then its bin
        look({"tree/bin/zel-setup"});
        fs::permissions(dir, fs::perms(0755));
    }
    ASSERT_TRUE(::geteuid() != 0 || ::chown(tree.c_str(), 65534, 65534) == 0); // only root can
    look({"tree/bin/zel-setup"});
    ASSERT_TRUE(::geteuid() != 0 || ::chown(tree.c_str(), 0, 0) == 0);
    fs::remove(cache);
    look({"tree/bin/zel-setup"});
    writeFile(cache, ours);
    fs::rename(tree / "bin", tmp / "bin");
    look({"tree/tests/tmp/x/SETUP"});
    EXPECT_EQ(seen, std::string("bin bin bin - - | - | - bin | - | - | ") +
                        (::geteuid() == 0 ? "- | " : "bin | ") + "- | - | ");
}

} // namespace
} // namespace zel::test
