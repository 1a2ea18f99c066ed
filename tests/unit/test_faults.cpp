// Faults from outside: writers killed half-way, a full disk, unreadable and vanishing
// directories, a prefix the user may not write and a medium that disappears during the copy.
#include "progman/store.h"
#include "winemu/errors.h"
#include "winemu/files.h"
#include "winemu/profile.h"
#include "winemu/registry.h"
#include "setup/install.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zel::test {
namespace {

// Names in a host directory; the layer's temporary files start with "." so Windows callers
// see them as hidden files, never as the file being written.
std::set<std::string> namesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

std::set<std::string> visibleNamesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& name : namesIn(dir))
        if (name[0] != '.')
            names.insert(name);
    return names;
}

// The value of write number i: it tells which write it was, and fits the 1023 characters a
// reader gets.
std::string valueNumber(int i) {
    return "v" + std::to_string(i) + ":" + std::string(900, static_cast<char>('a' + i % 26));
}

// Recovers i from a text made by valueNumber, or -1.
int numberOfValue(const std::string& text) {
    const auto colon = text.find(':');
    if (text.size() < 3 || text[0] != 'v' || colon == std::string::npos)
        return -1;
    int i = std::atoi(text.substr(1, colon - 1).c_str());
    return text == valueNumber(i) ? i : -1;
}

// Forks a child that calls write(1), write(2), ... until it is killed with SIGKILL after a
// random few milliseconds. On odd rounds the kill waits until the first write is through, so
// some rounds are sure to kill a writer that has already replaced the file once.
void killWriterAfterAWhile(std::mt19937& random, int round, const std::function<void(int)>& write) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        for (int i = 1;; ++i) {
            try {
                write(i);
            } catch (...) {
                ::_exit(3); // a write that fails here is a fault of its own
            }
            if (i == 1)
                (void)!::write(ready[1], "x", 1);
        }
    }
    ::close(ready[1]);
    if (round % 2 == 1) {
        char c;
        (void)!::read(ready[0], &c, 1);
    }
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::uniform_int_distribution<int>(500, 25000)(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(ready[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself, status " << status;
}

class KilledWriterTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        const unsigned seed = std::random_device{}();
        random.seed(seed);
        RecordProperty("seed", std::to_string(seed));
        std::cout << "random seed " << seed << "\n";
    }
    std::mt19937 random;
};

TEST_F(KilledWriterTest, ProfileFileIsAlwaysTheOldOrTheNewContent) {
    // A large file, so each rewrite takes long enough to be caught half-way.
    std::string base = "[Principal]\r\ngrupo=ZEL\r\n[Update]\r\nvalue=" + valueNumber(0) + "\r\n";
    for (int i = 0; i < 2000; ++i)
        base += "[Pad" + std::to_string(i) + "]\r\nkey=" + std::string(40, 'p') + "\r\n";
    const fs::path file = driveC() / "WINDOWS" / "FAULT.INI";
    writeFile(file, base);
    const auto before = visibleNamesIn(file.parent_path());

    int progressed = 0;
    for (int round = 0; round < 8; ++round) {
        ASSERT_NO_FATAL_FAILURE(killWriterAfterAWhile(random, round, [&](int i) {
            ProfileFile profile(machine(), "FAULT.INI");
            profile.writeText("Update", "value", valueNumber(i + 100 * round));
        }));
        const std::string now = readFile(file);
        const auto value = ini::lookup(now, "Update", "value");
        ASSERT_TRUE(value) << "round " << round << ": the key is gone";
        const int n = numberOfValue(*value);
        ASSERT_GE(n, 0) << "round " << round << ": a torn value";
        // Byte for byte what one complete write of that value gives.
        ASSERT_EQ(now, ini::write(base, "Update", "value", valueNumber(n))) << "round " << round;
        if (n >= 100 * round + 1)
            ++progressed;
        // Whatever the kill left behind is hidden and never read as the file.
        EXPECT_EQ(visibleNamesIn(file.parent_path()), before);
        ProfileFile fresh(machine(), "FAULT.INI");
        EXPECT_EQ(fresh.readText("Update", "value", ""), valueNumber(n));
        EXPECT_EQ(fresh.readText("Pad1999", "key", ""), std::string(40, 'p'));
    }
    EXPECT_GE(progressed, 4) << "the writer was never caught after a write";
    EXPECT_EQ(visibleNamesIn(file.parent_path()), before);

    // Leftovers of killed writers do not hinder the next write.
    ProfileFile profile(machine(), "FAULT.INI");
    profile.writeText("Update", "value", "done");
    EXPECT_EQ(readFile(file), ini::write(base, "Update", "value", "done"));
}

TEST_F(KilledWriterTest, RegistryFileIsAlwaysTheOldOrTheNewContent) {
    std::string text = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pad]\r\n";
    for (int i = 0; i < 2000; ++i)
        text += "\"v" + std::to_string(i) + "\"=\"" + std::string(40, 'p') + "\"\r\n";
    text += "\r\n";
    writeFile(machine().registryFile(), text);
    Registry registry(machine().registryFile());
    ASSERT_TRUE(registry.openKey("SOFTWARE\\Fault", true));
    registry.writeString("Value", valueNumber(0));
    const auto before = visibleNamesIn(prefix);

    int progressed = 0;
    for (int round = 0; round < 8; ++round) {
        ASSERT_NO_FATAL_FAILURE(killWriterAfterAWhile(random, round, [&](int i) {
            registry.writeString("Value", valueNumber(i + 100 * round));
        }));
        const std::string now = readFile(machine().registryFile());
        const auto tree = parseRegistryFile(now);
        ASSERT_TRUE(tree) << "round " << round << ": the registry file does not parse";
        // Nothing else was lost, and the file is exactly what one complete write produces.
        ASSERT_EQ(now, formatRegistryFile(**tree)) << "round " << round;
        const RegKey* pad = (*tree)->child("SOFTWARE")->child("Pad");
        ASSERT_NE(pad, nullptr);
        EXPECT_EQ(pad->values.size(), 2000u);
        Registry fresh(machine().registryFile());
        ASSERT_TRUE(fresh.openKey("SOFTWARE\\Fault", false));
        const int n = numberOfValue(fresh.readString("Value"));
        ASSERT_GE(n, 0) << "round " << round << ": a torn value";
        if (n >= 100 * round + 1)
            ++progressed;
        EXPECT_EQ(visibleNamesIn(prefix), before);
    }
    EXPECT_GE(progressed, 4) << "the writer was never caught after a write";

    registry.writeString("Value", "done");
    Registry fresh(machine().registryFile());
    ASSERT_TRUE(fresh.openKey("\\SOFTWARE\\Fault", false));
    EXPECT_EQ(fresh.readString("Value"), "done");
}

// A full disk (a file-size limit in a child, with SIGXFSZ ignored so writes just fail): every
// writer reports the failure and leaves the old file as it was.
TEST_F(MachineTest, FileSizeLimitFailsEveryWriterAndKeepsTheOldFiles) {
    Files files(machine());
    writeFile(medium() / "BIG.DAT", std::string(20000, 'x'));
    writeFile(driveC() / "BIG.DAT", "old copy");
    const std::string oldProfile = "[Update]\r\nhomepage=old\r\n";
    writeFile(driveC() / "WINDOWS" / "FULL.INI", oldProfile);
    Registry registry(machine().registryFile());
    ASSERT_TRUE(registry.openKey("SOFTWARE\\Full", true));
    const std::string oldRegistry = readFile(machine().registryFile());
    ASSERT_LT(oldRegistry.size(), 4096u);
    const fs::path store = progman::storePath(prefix);
    progman::Groups groups;
    ASSERT_TRUE(groups.execute("[CreateGroup(Kit)]"));
    progman::saveStore(store, groups);
    const std::string oldStore = readFile(store);
    const auto driveBefore = namesIn(driveC());

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int wrong = 0;
        if (fileCopy(files, "D:\\BIG.DAT", "C:\\BIG.DAT"))
            wrong |= 1;
        try {
            ProfileFile(machine(), "C:\\WINDOWS\\FULL.INI")
                .writeText("Update", "homepage", std::string(8000, 'h'));
            wrong |= 2;
        } catch (const PlatformError& e) {
            if (std::string(e.what()) != "Unable to write to C:\\WINDOWS\\FULL.INI")
                wrong |= 4;
        }
        try {
            registry.writeString("Big", std::string(8000, 'r'));
            wrong |= 8;
        } catch (const PlatformError& e) {
            if (std::string(e.what()) != "Failed to set data for 'Big'")
                wrong |= 16;
        }
        try {
            groups.execute("[CreateGroup(\"" + std::string(8000, 'g') + "\")]");
            progman::saveStore(store, groups);
            wrong |= 32;
        } catch (const PlatformError&) {
        }
        ::_exit(wrong); // no destructors: the parent owns the temporary tree
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status) & 1, 0) << "the copy reported success";
    EXPECT_EQ(WEXITSTATUS(status) & 2, 0) << "the profile write reported success";
    EXPECT_EQ(WEXITSTATUS(status) & 4, 0) << "the profile write raised another message";
    EXPECT_EQ(WEXITSTATUS(status) & 8, 0) << "the registry write reported success";
    EXPECT_EQ(WEXITSTATUS(status) & 16, 0) << "the registry write raised another message";
    EXPECT_EQ(WEXITSTATUS(status) & 32, 0) << "Program Manager's store write reported success";

    EXPECT_EQ(readFile(driveC() / "BIG.DAT"), "old copy");
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "FULL.INI"), oldProfile);
    EXPECT_EQ(readFile(machine().registryFile()), oldRegistry);
    EXPECT_EQ(readFile(store), oldStore);
    // No temporary file is left behind by a write that failed cleanly.
    EXPECT_EQ(namesIn(driveC()), driveBefore);
    for (const auto& name : namesIn(driveC() / "WINDOWS"))
        EXPECT_NE(name[0], '.') << name;
    for (const auto& name : namesIn(prefix))
        EXPECT_NE(name[0], '.') << name;
}

class WalkFaultTest : public MachineTest {
protected:
    std::vector<std::string> walk(const std::function<void(const std::string&)>& onFile = {}) {
        Files files(machine());
        std::vector<std::string> found;
        EXPECT_TRUE(
            files.walk("C:\\TREE", "*.*", [&](const std::string& dir, const SearchEntry& e) {
                found.push_back(dir + e.name);
                if (onFile)
                    onFile(dir + e.name);
                return WalkAnswer::Continue;
            }));
        std::sort(found.begin(), found.end());
        return found;
    }
    fs::path tree() const { return driveC() / "TREE"; }
};

TEST_F(WalkFaultTest, UnreadableDirectoryIsPassedOver) {
    writeFile(tree() / "A" / "ONE.TXT", "1");
    writeFile(tree() / "LOCKED" / "SECRET.TXT", "s");
    writeFile(tree() / "Z" / "TWO.TXT", "2");
    writeFile(tree() / "TOP.TXT", "t");
    fs::permissions(tree() / "LOCKED", fs::perms::none);

    const auto found = walk();
    fs::permissions(tree() / "LOCKED", fs::perms::owner_all);

    for (const char* path : {"C:\\TREE\\A\\ONE.TXT", "C:\\TREE\\Z\\TWO.TXT", "C:\\TREE\\TOP.TXT"})
        EXPECT_NE(std::find(found.begin(), found.end(), path), found.end()) << path;
    if (::geteuid() != 0) { // permissions do not bind the superuser
        EXPECT_EQ(found.size(), 3u);
    }
}

TEST_F(WalkFaultTest, EntriesRemovedDuringTheWalkDoNotBreakIt) {
    for (int i = 0; i < 20; ++i)
        writeFile(tree() / ("F" + std::to_string(i) + ".TXT"), "f");
    writeFile(tree() / "GONE" / "LOST.TXT", "l");
    writeFile(tree() / "KEEP" / "KEPT.TXT", "k");

    std::set<std::string> removed;
    const auto found = walk([&](const std::string& path) {
        if (!removed.empty())
            return;
        // At the first file, remove every other file of the directory and one sub-directory.
        for (int i = 0; i < 20; ++i) {
            const std::string name = "F" + std::to_string(i) + ".TXT";
            if (path != "C:\\TREE\\" + name) {
                fs::remove(tree() / name);
                removed.insert("C:\\TREE\\" + name);
            }
        }
        fs::remove_all(tree() / "GONE");
        removed.insert("C:\\TREE\\GONE\\LOST.TXT");
    });

    ASSERT_EQ(removed.size(), 20u);
    // The first file, and the sub-directory that is still there; nothing that was removed.
    ASSERT_EQ(found.size(), 2u) << ::testing::PrintToString(found);
    EXPECT_EQ(removed.count(found[0]), 0u) << found[0];
    EXPECT_EQ(found[1], "C:\\TREE\\KEEP\\KEPT.TXT");
}

// Files without their owner-write bit are read-only to the layer, for the superuser too.
TEST_F(MachineTest, ReadOnlyFilesRaiseTheWritersErrorsAndStayWhole) {
    const fs::path windows = driveC() / "WINDOWS";
    const std::string log = "[Uninstall]\r\ngrupo=ZEL\r\n";
    writeFile(windows / "zelun.ini", log);
    fs::permissions(windows / "zelun.ini",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::create_directories(driveC() / "RO");
    Registry registry(machine().registryFile());
    ASSERT_TRUE(registry.openKey("SOFTWARE\\Microsoft", false));
    fs::permissions(machine().registryFile(),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(driveC() / "RO", fs::perms::owner_read | fs::perms::owner_exec);
    const std::string oldRegistry = readFile(machine().registryFile());
    const auto windowsBefore = namesIn(windows);
    const auto prefixBefore = namesIn(prefix);

    auto raises = [](const std::function<void()>& action, const std::string& message) {
        try {
            action();
            ADD_FAILURE() << "no error; expected \"" << message << "\"";
        } catch (const PlatformError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    };
    raises([&] { ProfileFile(machine(), "zelun.ini").writeText("Uninstall", "grupo", "X"); },
           "Unable to write to zelun.ini");
    raises([&] { ProfileFile(machine(), "c:\\ro\\new.ini").writeInteger("A", "b", 1); },
           "Unable to write to c:\\ro\\new.ini");
    raises([&] { registry.createKey("\\SOFTWARE\\New"); }, "Failed to create key \\SOFTWARE\\New");
    raises([&] { registry.writeString("Name", "value"); }, "Failed to set data for 'Name'");
    EXPECT_FALSE(registry.openKey("SOFTWARE\\Other", true));

    EXPECT_EQ(readFile(windows / "zelun.ini"), log);
    EXPECT_EQ(readFile(machine().registryFile()), oldRegistry);
    EXPECT_EQ(namesIn(windows), windowsBefore);
    EXPECT_EQ(namesIn(prefix), prefixBefore);
    fs::permissions(driveC() / "RO", fs::perms::owner_all);
    EXPECT_TRUE(namesIn(driveC() / "RO").empty());
}

// A gauge that runs something at its first advance, i.e. right after the first file is copied.
class TriggerGauge : public Gauge {
public:
    explicit TriggerGauge(std::function<void()> onFirstAdvance)
        : onFirstAdvance_(std::move(onFirstAdvance)) {}
    void setMaximum(int) override {}
    void setPosition(int) override {}
    void advance(int) override {
        if (onFirstAdvance_)
            std::exchange(onFirstAdvance_, nullptr)();
    }

private:
    std::function<void()> onFirstAdvance_;
};

class NullStatus : public StatusLine {
public:
    void setText(const std::string&) override {}
    void repaint() override {}
};

TEST_F(MachineTest, MediumVanishingDuringTheCopyEndsWithFileCopyError) {
    Files files(machine());
    Catalogue catalogue;
    catalogue.settings.destino = "C:\\ZEL\\";
    ProgramEntry& entry = catalogue.entry(1);
    entry.nome = "Discador";
    entry.instala = 1;
    entry.diretorio = "DISC\\";
    entry.Arquivo[0] = "ONE.EXE";
    entry.Arquivo[1] = "TWO.DLL";
    writeFile(medium() / "DISC" / "ONE.EXE", std::string(10000, '1'));
    writeFile(medium() / "DISC" / "TWO.DLL", std::string(10000, '2'));
    // The space check has passed; now the medium goes away after the first file.
    TriggerGauge file([&] { fs::remove_all(medium() / "DISC"); });
    TriggerGauge overall(nullptr);
    NullStatus status;

    try {
        installationRun(files, catalogue, "D:\\", overall, file, status, status);
        FAIL() << "the run reported success";
    } catch (const FileCopyError& e) {
        EXPECT_STREQ(e.what(), "Erro copiando arquivo D:\\DISC\\TWO.DLL para C:\\ZEL\\TWO.DLL");
    }
    EXPECT_EQ(readFile(driveC() / "ZEL" / "ONE.EXE"), std::string(10000, '1'));
    EXPECT_EQ(namesIn(driveC() / "ZEL"), std::set<std::string>{"ONE.EXE"});
}

} // namespace
} // namespace zel::test
