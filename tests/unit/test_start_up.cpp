// The wizard's start-up on a real temporary machine: the catalogue and the start sound, and
// the choices the pages begin with as the kit and the machine's registry propose them.
#include "setup/start_up.h"
#include "tests/support/fixtures.h"
#include "winemu/registry.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zel::test {
namespace {

constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kModem = "System\\CurrentControlSet\\Services\\Class\\Modem\\0000";
constexpr const char* kInit =
    "System\\CurrentControlSet\\Services\\Class\\Modem\\0000\\Settings\\Init";

class StartUpTest : public MachineTest {
protected:
    void writeText(const char* key, const char* name, std::string_view value) {
        Registry registry(machine().registryFile());
        ASSERT_TRUE(registry.openKey(key, true));
        registry.writeString(name, value);
        registry.closeKey();
    }
    void writeNumber(const char* key, const char* name) {
        Registry registry(machine().registryFile());
        ASSERT_TRUE(registry.openKey(key, true));
        registry.writeValue(name, RegType::DWord, {2, 0, 0, 0});
        registry.closeKey();
    }
    Choices startUp() {
        Files files(machine());
        catalogue = Catalogue{};
        return zel::startUp(files, sound, catalogue);
    }

    Catalogue catalogue;
    RecordingSound sound;
};

TEST_F(StartUpTest, ReadsTheKitBesideTheProgramAndStartsItsSound) {
    writeFile(medium() / "SETUP.INI",
              "[Principal]\r\ndestino=C:\\KIT\r\nStartWave=SOM\\INICIO.WAV\r\n"
              "[Programa1]\r\nnome=Discador\r\ninstala=1\r\n"
              "[Programa2]\r\nnome=Correio\r\ninstala=0\r\n"
              "[Programa3]\r\nnome=Not\xed"
              "cias\r\ninstala=1\r\n");
    const Choices choices = startUp();
    EXPECT_EQ(catalogue.entry(3).nome, "Not\xed"
                                       "cias");
    EXPECT_EQ(sound.played, std::vector<std::string>{"D:\\SOM\\INICIO.WAV"});

    // The kit's selection and destination (under Program Files, the registry's default), the
    // typical installation, the second browser (no configuration program of the first), and
    // no modem registered on a fresh machine.
    EXPECT_EQ(choices.installation, InstallationType::Typical);
    EXPECT_TRUE(choices.installs(1));
    EXPECT_FALSE(choices.installs(2));
    EXPECT_TRUE(choices.installs(3));
    EXPECT_FALSE(choices.installs(4));
    EXPECT_EQ(choices.destination, "C:\\Program Files\\KIT\\");
    EXPECT_EQ(catalogue.settings.destino, "C:\\KIT\\"); // the kit's own stays as it is
    EXPECT_EQ(choices.browser, Browser::Second);
    EXPECT_EQ(choices.modem.port, std::nullopt);
    EXPECT_EQ(choices.modem.initCommand, "");
    EXPECT_EQ(choices.modem.dialCommand, "ATDP5550100");
}

TEST_F(StartUpTest, WithoutADescriptionFileEveryDefaultAndNoSound) {
    const Choices choices = startUp();
    EXPECT_TRUE(sound.played.empty());
    // The marker of a missing destination takes the program-files rule like any other text.
    EXPECT_EQ(choices.destination, "C:\\Program Filesro!\\");
    for (int n = 1; n <= kProgramEntries; ++n)
        EXPECT_FALSE(choices.installs(n)) << n;
}

TEST_F(StartUpTest, TheFirstBrowserWhereItsConfigurationProgramIs) {
    writeFile(driveC() / "WINDOWS" / "config.exe", "MZ");
    EXPECT_EQ(startUp().browser, Browser::First);
    // A directory of that name is no program.
    fs::remove(driveC() / "WINDOWS" / "config.exe");
    fs::create_directories(driveC() / "WINDOWS" / "config.exe");
    EXPECT_EQ(startUp().browser, Browser::Second);
}

// The program-files rule, through the machine's registry.
struct ProgramFilesCase {
    const char* name;
    std::optional<std::string> value; // nothing: the key without the value
    const char* expected;
};

TEST_F(StartUpTest, TheDestinationGoesUnderTheProgramFilesDirectory) {
    writeFile(medium() / "SETUP.INI", "[Principal]\r\ndestino=C:\\KIT\\\r\n");
    const ProgramFilesCase cases[] = {
        {"with a drive", "C:\\Program Files", "C:\\Program Files\\KIT\\"},
        {"on another drive", "D:\\Programs", "D:\\Programs\\KIT\\"},
        {"without a colon", "\\Programs", "\\ProgramsC:\\KIT\\"},
        {"empty", "", "C:\\KIT\\"},
        {"missing", std::nullopt, "C:\\KIT\\"},
    };
    for (const ProgramFilesCase& c : cases) {
        if (c.value) {
            writeText(kCurrentVersion, "ProgramFilesDir", *c.value);
        } else {
            writeFile(prefix / "system.reg",
                      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
                      "CurrentVersion]\r\n\r\n");
            makeMachine();
        }
        EXPECT_EQ(startUp().destination, c.expected) << c.name;
    }
    // A value of another type than text counts as missing.
    writeNumber(kCurrentVersion, "ProgramFilesDir");
    EXPECT_EQ(startUp().destination, "C:\\KIT\\");
}

TEST(ProgramFilesRule, ShortDestinationsLoseNoMoreThanTheyHave) {
    EXPECT_EQ(underProgramFiles("\\", "C:\\P"), "C:\\P");
    EXPECT_EQ(underProgramFiles("", "C:\\P"), "C:\\P");
    EXPECT_EQ(underProgramFiles("C:\\KIT\\", ""), "C:\\KIT\\");
    EXPECT_EQ(underProgramFiles("C:\\KIT\\", "E:"), "E:\\KIT\\");
}

struct PortCase {
    std::optional<std::string> attachedTo; // nothing: no value at all
    std::optional<int> port;               // nothing: no port proposed
};

TEST_F(StartUpTest, OnlyTheFourthCharacterOfThePortCounts) {
    const PortCase cases[] = {{"COM2", 1},
                              {"COM4", 3},
                              {"COM1", 0},
                              {"COM5", std::nullopt},
                              {"COM0", std::nullopt},
                              {"COM", std::nullopt},
                              {"", std::nullopt},
                              {std::nullopt, std::nullopt},
                              {"COM10", 0},
                              {"LPT1", 0},
                              {"COMX", std::nullopt},
                              {"COM3:", 2}};
    for (const PortCase& c : cases) {
        fs::remove(machine().registryFile());
        makeMachine(); // the registry's defaults again
        writeText(kInit, "1", "ATZ");
        if (c.attachedTo)
            writeText(kModem, "AttachedTo", *c.attachedTo);
        const ModemSettings modem = proposedModem(machine());
        const std::string label = c.attachedTo.value_or("(missing)");
        EXPECT_EQ(modem.port, c.port) << label;
        EXPECT_EQ(modem.initCommand, "ATZ") << label;
        EXPECT_EQ(modem.dialCommand, "ATDP5550100") << label;
    }
}

TEST_F(StartUpTest, EachModemProposalStandsOnItsOwn) {
    // A number where the port's text should be: the initialisation command is still proposed.
    writeNumber(kModem, "AttachedTo");
    writeText(kInit, "1", "AT&F");
    ModemSettings modem = proposedModem(machine());
    EXPECT_EQ(modem.port, std::nullopt);
    EXPECT_EQ(modem.initCommand, "AT&F");
    EXPECT_EQ(modem.dialCommand, "ATDP5550100");

    // A number for the initialisation command: the port and the dial command all the same.
    writeText(kModem, "AttachedTo", "COM3");
    writeNumber(kInit, "1");
    modem = proposedModem(machine());
    EXPECT_EQ(modem.initCommand, "");
    EXPECT_EQ(modem.port, 2);
    EXPECT_EQ(modem.dialCommand, "ATDP5550100");

    // The key is there, its value "1" is not.
    fs::remove(machine().registryFile());
    makeMachine();
    writeText(kModem, "AttachedTo", "COM1");
    writeText(kInit, "2", "ATE0");
    modem = proposedModem(machine());
    EXPECT_EQ(modem.initCommand, "");
    EXPECT_EQ(modem.port, 0);
}

TEST_F(StartUpTest, ARegistryThatRefusesFullAccessProposesNothingButTheDialCommand) {
    writeText(kModem, "AttachedTo", "COM2");
    writeText(kInit, "1", "AT&F");
    fs::permissions(machine().registryFile(), fs::perms::owner_read | fs::perms::group_read);
    const ModemSettings modem = proposedModem(machine());
    EXPECT_EQ(modem.port, std::nullopt);
    EXPECT_EQ(modem.initCommand, "");
    EXPECT_EQ(modem.dialCommand, "ATDP5550100");
}

TEST_F(StartUpTest, TheChoicesTakeTheMachinesModem) {
    writeText(kModem, "AttachedTo", "COM2");
    writeText(kInit, "1", "AT&F");
    const Choices choices = startUp();
    EXPECT_EQ(choices.modem.port, 1);
    EXPECT_EQ(choices.modem.initCommand, "AT&F");
}

} // namespace
} // namespace zel::test
