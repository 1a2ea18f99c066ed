// The socket-library sweep and the dialer settings update on a real temporary machine.
#include "setup/network_stack.h"
#include "winemu/cp1252.h"
#include "winemu/winpath.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace zel;
using namespace zel::test;

TEST(KitRootFolder, DropsTheLastTwoComponents) {
    EXPECT_EQ(kitRootFolder("D:\\KIT\\WIN95\\DISK1\\"), "D:\\KIT");
    EXPECT_EQ(kitRootFolder("D:\\KIT\\WIN95\\"), "D:");
    EXPECT_EQ(kitRootFolder("D:\\SETUP\\"), "");
    EXPECT_EQ(kitRootFolder("D:\\"), "");
    EXPECT_EQ(kitRootFolder("D:\\A\\B\\C\\D"), "D:\\A\\B");
}

class SweepTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        // The medium lies on drive C: in a kit tree, so the sweep's drive holds the kit too.
        program = driveC() / "KIT" / "WIN95" / "DISK1" / "SETUP";
        writeFile(program, "#!/bin/sh\n");
        makeMachine();
        catalogue.settings.destino = "C:\\ZEL\\";
    }
    std::vector<std::string> sweep(std::string_view sourceDir = "C:\\KIT\\WIN95\\DISK1\\") {
        Files files(machine());
        return socketLibrarySweep(files, catalogue, sourceDir, [&] { ++pumps; });
    }

    Catalogue catalogue;
    int pumps = 0;
};

TEST_F(SweepTest, MovesOtherLibrariesAsideAndLeavesTheKitAlone) {
    writeFile(driveC() / "KIT" / "WIN95" / "~insock.dll", "kit");
    writeFile(driveC() / "kit" / "net" / "~SOCK32.DLL", "kit too"); // compared upper-cased
    writeFile(driveC() / "OTHER" / "~insock.dll", "old");
    writeFile(driveC() / "WINDOWS" / "SYSTEM" / "~sock32.dll", "system");
    writeFile(driveC() / "APP" / "~sock32.dll", "app");
    writeFile(driveC() / "APP" / "~sock32.zel", "blocked"); // the rename fails: deleted
    writeFile(driveC() / ".hidden" / "~sock32.dll", "never found");
    writeFile(driveC() / "VIS" / ".~sock32.dll", "not the name");
    const std::vector<std::string> found = sweep();

    EXPECT_EQ(readFile(driveC() / "KIT" / "WIN95" / "~insock.dll"), "kit");
    EXPECT_EQ(readFile(driveC() / "kit" / "net" / "~SOCK32.DLL"), "kit too");
    EXPECT_EQ(readFile(driveC() / "OTHER" / "~insock.zel"), "old");
    EXPECT_FALSE(fs::exists(driveC() / "OTHER" / "~insock.dll"));
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "SYSTEM" / "~sock32.zel"), "system");
    EXPECT_FALSE(fs::exists(driveC() / "APP" / "~sock32.dll"));
    EXPECT_EQ(readFile(driveC() / "APP" / "~sock32.zel"), "blocked");
    EXPECT_EQ(readFile(driveC() / ".hidden" / "~sock32.dll"), "never found");

    // All "~sock32.dll" finds come before all "~insock.dll" finds, the kit's own among them.
    ASSERT_EQ(found.size(), 5u);
    for (std::size_t i = 0; i < found.size(); ++i)
        EXPECT_TRUE(equalsNoCase(extractFileName(found[i]), i < 3 ? "~sock32.dll" : "~insock.dll"))
            << found[i];
    EXPECT_EQ(std::count(found.begin(), found.end(), "C:\\KIT\\WIN95\\~insock.dll"), 1);
    EXPECT_GE(pumps, 2);
}

TEST_F(SweepTest, EmptyKitRootSkipsNothing) {
    writeFile(driveC() / "KIT" / "~insock.dll", "x");
    sweep("C:\\KIT\\");
    EXPECT_TRUE(fs::exists(driveC() / "KIT" / "~insock.zel"));
}

TEST_F(SweepTest, KitRootOfABareDriveSkipsEverything) {
    writeFile(driveC() / "OTHER" / "~insock.dll", "x");
    EXPECT_EQ(sweep("C:\\KIT\\WIN95\\"), std::vector<std::string>{"C:\\OTHER\\~insock.dll"});
    EXPECT_TRUE(fs::exists(driveC() / "OTHER" / "~insock.dll"));
}

class DialerTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        auto& s = catalogue.settings;
        s.destino = "C:\\ZEL\\";
        auto& e = catalogue.entry(1);
        e.instala = 1;
        e.criadir = 1;
        e.diretorio = "TRUMPET\\";
        e.Arquivo[1] = "TRUMPWSK.INI";
        e.Arquivo[2] = "WINSOCK.DLL";
        writeFile(driveC() / "ZEL" / "TRUMPET" / "TRUMPWSK.INI",
                  "; stack settings\r\n[Trumpet Winsock]\r\nip=0.0.0.0\r\nslip-port=1\r\n");
        writeFile(driveC() / "ZEL" / "TRUMPET" / "WINSOCK.DLL", "new library");
        writeFile(driveC() / "WINDOWS" / "SYSTEM" / "~sock32.dll", "old library");
    }
    void update(int port, std::string init, std::string dial) {
        Files files(machine());
        dialerSettingsUpdate(files, catalogue,
                             ModemSettings{port, std::move(init), std::move(dial)});
    }
    std::string settings() { return readFile(driveC() / "ZEL" / "TRUMPET" / "TRUMPWSK.INI"); }

    Catalogue catalogue;
};

TEST_F(DialerTest, WritesPortAndCommandsAndInstallsTheLibrary) {
    update(2, "AT&F", "ATDT123");
    EXPECT_EQ(settings(), "; stack settings\r\n[Trumpet Winsock]\r\nip=0.0.0.0\r\nslip-port=3\r\n"
                          "[ZEL Internet]\r\n$modemsetup=AT&F\r\n$phone=ATDT123\r\n");
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "SYSTEM" / "~sock32.dll"), "new library");
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "SYSTEM" / "~sock32.zel"), "old library");
}

TEST_F(DialerTest, AnEmptyCommandWritesOnlyThePort) {
    update(0, "AT&F", "");
    EXPECT_EQ(settings(), "; stack settings\r\n[Trumpet Winsock]\r\nip=0.0.0.0\r\nslip-port=1\r\n");
    EXPECT_EQ(settings().find("ZEL Internet"), std::string::npos);
}

TEST_F(DialerTest, WithoutOwnDirectoryTheDestinationHoldsTheFiles) {
    catalogue.entry(1).criadir = 0;
    writeFile(driveC() / "ZEL" / "TRUMPWSK.INI", "[Trumpet Winsock]\r\n");
    writeFile(driveC() / "ZEL" / "WINSOCK.DLL", "top library");
    update(3, "", "");
    EXPECT_EQ(readFile(driveC() / "ZEL" / "TRUMPWSK.INI"), "[Trumpet Winsock]\r\nslip-port=4\r\n");
    EXPECT_EQ(settings().find("slip-port=4"), std::string::npos);
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "SYSTEM" / "~sock32.dll"), "top library");
}

TEST_F(DialerTest, NotInstalledChangesNothing) {
    catalogue.entry(1).instala = 0;
    std::string before = settings();
    update(1, "AT", "ATD");
    EXPECT_EQ(settings(), before);
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "SYSTEM" / "~sock32.dll"), "old library");
    EXPECT_FALSE(fs::exists(driveC() / "WINDOWS" / "SYSTEM" / "~sock32.zel"));
}

TEST_F(DialerTest, MissingSettingsFileStillReplacesTheLibrary) {
    fs::remove(driveC() / "ZEL" / "TRUMPET" / "TRUMPWSK.INI");
    update(1, "AT", "ATD");
    EXPECT_FALSE(fs::exists(driveC() / "ZEL" / "TRUMPET" / "TRUMPWSK.INI"));
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "SYSTEM" / "~sock32.dll"), "new library");
}

TEST_F(DialerTest, AFailedLibraryCopyPutsTheOldLibraryBack) {
    fs::remove(driveC() / "ZEL" / "TRUMPET" / "WINSOCK.DLL");
    update(1, "AT", "ATD");
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "SYSTEM" / "~sock32.dll"), "old library");
    EXPECT_FALSE(fs::exists(driveC() / "WINDOWS" / "SYSTEM" / "~sock32.zel"));
    EXPECT_NE(settings().find("slip-port=2"), std::string::npos);
}

TEST_F(DialerTest, ARefusedSettingsWriteEndsTheUpdateSilently) {
    fs::permissions(driveC() / "ZEL" / "TRUMPET" / "TRUMPWSK.INI", fs::perms::owner_read);
    EXPECT_NO_THROW(update(1, "AT", "ATD"));
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "SYSTEM" / "~sock32.dll"), "old library");
}
