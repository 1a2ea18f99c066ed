// Program Manager installed into the machine and C:\WINDOWS\PROGMAN.EXE pointed at it.
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace zel::test {
namespace {

ino_t inode(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Each row: the launcher found in the machine, Program Manager's program on the medium, and
// the launcher and installed copy the next start leaves.
TEST_F(MachineTest, ProgmanIsInstalledAndItsLauncherKeptPointingAtIt) {
    const fs::path source = tmp / "medium" / "progman",
                   launcher = driveC() / "WINDOWS" / "PROGMAN.EXE";
    const fs::path installed = fs::absolute(prefix) / "bin" / "progman";
    const std::string ours = "#!/bin/sh\nexec '" + installed.string() + "' \"$@\"\n";
    const struct {
        const char* name;
        std::string before, program, after;
        bool rewritten; // the installed copy replaced
    } rows[] = {
        {"a first start", "", "v1", ours, true},
        {"a second start writes nothing", ours, "v1", ours, false},
        {"another medium's program", ours, "v2", ours, true},
        {"ours pointing at a medium gone", "#!/bin/sh\nexec '/media/cd/progman' \"$@\"\n", "v2",
         ours, false},
        {"the user's own launcher", "#!/bin/sh\nexec my-progman\n", "v2",
         "#!/bin/sh\nexec my-progman\n", false},
    };
    fs::remove(launcher);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.before.empty())
            writeProgram(launcher, row.before);
        writeProgram(source, row.program);
        const ino_t was = inode(installed);
        // A relative prefix, as ZEL_PREFIX may give it: the launcher is started from anywhere.
        ASSERT_EQ(::chdir(tmp.path().c_str()), 0);
        Machine({"prefix", program, program.parent_path(), source, true});
        EXPECT_EQ(readFile(launcher), row.after);
        EXPECT_EQ(readFile(installed), row.program);
        EXPECT_EQ(inode(installed) != was, row.rewritten);
        EXPECT_EQ(fs::status(installed).permissions() & fs::perms::owner_exec,
                  fs::perms::owner_exec);
    }
}

} // namespace
} // namespace zel::test
