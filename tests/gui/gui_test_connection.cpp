// The connection page: its proposals from the modem registry, its buttons and the state it
// hands to the copy page.
#include "tests/support/gui_wizard_fixture.h"

#include "pages/ModemPage.h"
#include "qt/qt_radiogroup.h"
#include "winemu/registry.h"
#include "pages/CopyPage.h"
#include "pages/InstallTypePage.h"
#include "pages/CustomInstallPage.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <optional>

namespace zel::test {
namespace {

constexpr const char* kModem = "System\\CurrentControlSet\\Services\\Class\\Modem\\0000";
constexpr const char* kInit =
    "System\\CurrentControlSet\\Services\\Class\\Modem\\0000\\Settings\\Init";

class ConnectionPageTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        writeSetup("[Principal]\r\ndestino=C:\\KIT\\\r\n"
                   "[Programa1]\r\nnome=Discador\r\ninstala=1\r\n");
    }

    void writeDword(const char* key, const char* name) {
        Registry registry(machine().registryFile());
        ASSERT_TRUE(registry.openKey(key, true));
        registry.writeValue(name, RegType::DWord, {2, 0, 0, 0});
    }
};

struct PortCase {
    std::optional<std::string> attachedTo; // nothing: no value at all
    int portIndex;
};

TEST_F(ConnectionPageTest, OnlyTheFourthCharacterOfThePortCountsAndTheDialCommandIsAlwaysSet) {
    const PortCase cases[] = {{"COM2", 1},  {"COM4", 3}, {"COM1", 0},  {"COM5", -1},
                              {"COM0", -1}, {"COM", -1}, {"", -1},     {std::nullopt, -1},
                              {"COM10", 0}, {"LPT1", 0}, {"COMX", -1}, {"COM3:", 2}};
    for (const PortCase& c : cases) {
        wizard.reset();
        platform.reset();
        std::filesystem::remove(machine().registryFile());
        makeMachine(); // the registry's defaults again
        writeRegistry(kInit, "1", "ATZ");
        if (c.attachedTo)
            writeRegistry(kModem, "AttachedTo", *c.attachedTo);
        Wizard& w = makeWizard();
        const std::string label = c.attachedTo.value_or("(missing)");
        EXPECT_EQ(w.modemPage->portIndex(), c.portIndex) << label;
        EXPECT_EQ(w.modemPage->ui.portGroup->itemIndex(), c.portIndex) << label;
        if (c.portIndex >= 0) {
            EXPECT_TRUE(w.modemPage->ui.portGroup->button(c.portIndex)->isChecked()) << label;
        }
        EXPECT_EQ(w.modemPage->ui.initCommandEdit->text(), "ATZ") << label;
        EXPECT_EQ(w.modemPage->ui.dialCommandEdit->text(), "ATDP5550100") << label;
        EXPECT_TRUE(ui.boxes.empty()) << label;
        EXPECT_TRUE(ui.errors.empty()) << label;
    }
}

TEST_F(ConnectionPageTest, ValuesOfAnotherTypeCountAsMissingAndTheOtherProposalsStillComeIn) {
    // A number where the port's text should be: the initialisation command is still proposed.
    writeDword(kModem, "AttachedTo");
    writeRegistry(kInit, "1", "AT&F");
    Wizard& first = makeWizard();
    EXPECT_EQ(first.modemPage->portIndex(), -1);
    EXPECT_EQ(first.modemPage->ui.initCommandEdit->text(), "AT&F");
    EXPECT_EQ(first.modemPage->ui.dialCommandEdit->text(), "ATDP5550100");

    // A number for the initialisation command: the port and the dial command come after it.
    writeRegistry(kModem, "AttachedTo", "COM3");
    writeDword(kInit, "1");
    Wizard& second = makeWizard();
    EXPECT_EQ(second.modemPage->ui.initCommandEdit->text(), "");
    EXPECT_EQ(second.modemPage->portIndex(), 2);
    EXPECT_EQ(second.modemPage->ui.dialCommandEdit->text(), "ATDP5550100");
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(ConnectionPageTest, MissingInitialisationCommandLeavesItsFieldEmpty) {
    writeRegistry(kModem, "AttachedTo", "COM1");
    writeRegistry(kInit, "2", "ATE0"); // the key is there, its value "1" is not
    Wizard& w = makeWizard();
    EXPECT_EQ(w.modemPage->ui.initCommandEdit->text(), "");
    EXPECT_EQ(w.modemPage->portIndex(), 0);
    EXPECT_EQ(w.modemPage->ui.dialCommandEdit->text(), "ATDP5550100");
}

TEST_F(ConnectionPageTest, ARegistryThatRefusesFullAccessProposesNothingButTheDialCommand) {
    writeRegistry(kModem, "AttachedTo", "COM2");
    writeRegistry(kInit, "1", "AT&F");
    std::filesystem::permissions(machine().registryFile(), std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::group_read);
    Wizard& w = makeWizard();
    EXPECT_EQ(w.modemPage->portIndex(), -1);
    EXPECT_EQ(w.modemPage->ui.initCommandEdit->text(), "");
    EXPECT_EQ(w.modemPage->ui.dialCommandEdit->text(), "ATDP5550100");
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(ConnectionPageTest, SeguirNeedsAPortButNoCommands) {
    Wizard& w = makeWizard();
    w.modemPage->show();
    w.modemPage->ui.nextButton->click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Voc\xea precisa selecionar uma porta serial");
    EXPECT_EQ(ui.boxes[0].caption, "Porta Serial");
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(visiblePages(), QStringList{"ModemPage"});

    // Both commands emptied: the port alone is enough.
    w.modemPage->ui.portGroup->button(3)->click();
    w.modemPage->ui.initCommandEdit->clear();
    w.modemPage->ui.dialCommandEdit->clear();
    w.modemPage->ui.nextButton->click();
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(visiblePages(), QStringList{"CopyPage"});
    const ModemSettings modem = w.modemPage->modemSettings();
    EXPECT_EQ(modem.portIndex, 3);
    EXPECT_EQ(modem.initCommand, "");
    EXPECT_EQ(modem.dialCommand, "");
}

TEST_F(ConnectionPageTest, VoltarFollowsTheInstallationType) {
    Wizard& w = makeWizard();
    w.modemPage->show();
    w.modemPage->ui.backButton->click();
    EXPECT_EQ(visiblePages(), QStringList{"InstallTypePage"});

    w.installTypePage->ui.installationTypeGroup->setItemIndex(1); // custom
    w.goToPage(*w.installTypePage, *w.modemPage);
    w.modemPage->ui.backButton->click();
    EXPECT_EQ(visiblePages(), QStringList{"CustomInstallPage"});
}

TEST_F(ConnectionPageTest, ModemSettingsCarryTheTypedCommandsInTheWindowsCodePage) {
    Wizard& w = makeWizard();
    w.modemPage->ui.portGroup->button(1)->click();
    w.modemPage->ui.initCommandEdit->setText(QStringLiteral("AT&F Ç"));
    w.modemPage->ui.dialCommandEdit->setText(QStringLiteral("ATDT 0xx11 5550100"));
    const ModemSettings modem = w.modemPage->modemSettings();
    EXPECT_EQ(modem.portIndex, 1);
    EXPECT_EQ(modem.initCommand, "AT&F \xc7");
    EXPECT_EQ(modem.dialCommand, "ATDT 0xx11 5550100");
}

} // namespace
} // namespace zel::test
