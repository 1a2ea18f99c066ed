// The connection page: its proposals from the modem registry, its buttons and the state it
// hands to the copy page.
#include "tests/support/gui_wizard_fixture.h"

#include "connection/TForm5.h"
#include "platform/qt_radiogroup.h"
#include "platform/registry.h"
#include "setup/TForm4.h"
#include "wizard/TForm2.h"
#include "wizard/TForm3.h"

#include <QLineEdit>
#include <QListWidget>
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
        TWizard& w = makeWizard();
        const std::string label = c.attachedTo.value_or("(missing)");
        EXPECT_EQ(w.Form5->portIndex(), c.portIndex) << label;
        EXPECT_EQ(w.Form5->ui.RadioGroup1->itemIndex(), c.portIndex) << label;
        if (c.portIndex >= 0) {
            EXPECT_TRUE(w.Form5->ui.RadioGroup1->button(c.portIndex)->isChecked()) << label;
        }
        EXPECT_EQ(w.Form5->ui.Edit3->text(), "ATZ") << label;
        EXPECT_EQ(w.Form5->ui.Edit4->text(), "ATDP5550100") << label;
        EXPECT_TRUE(ui.boxes.empty()) << label;
        EXPECT_TRUE(ui.errors.empty()) << label;
    }
}

TEST_F(ConnectionPageTest, ValuesOfAnotherTypeCountAsMissingAndTheOtherProposalsStillComeIn) {
    // A number where the port's text should be: the initialisation command is still proposed.
    writeDword(kModem, "AttachedTo");
    writeRegistry(kInit, "1", "AT&F");
    TWizard& first = makeWizard();
    EXPECT_EQ(first.Form5->portIndex(), -1);
    EXPECT_EQ(first.Form5->ui.Edit3->text(), "AT&F");
    EXPECT_EQ(first.Form5->ui.Edit4->text(), "ATDP5550100");

    // A number for the initialisation command: the port and the dial command come after it.
    writeRegistry(kModem, "AttachedTo", "COM3");
    writeDword(kInit, "1");
    TWizard& second = makeWizard();
    EXPECT_EQ(second.Form5->ui.Edit3->text(), "");
    EXPECT_EQ(second.Form5->portIndex(), 2);
    EXPECT_EQ(second.Form5->ui.Edit4->text(), "ATDP5550100");
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(ConnectionPageTest, MissingInitialisationCommandLeavesItsFieldEmpty) {
    writeRegistry(kModem, "AttachedTo", "COM1");
    writeRegistry(kInit, "2", "ATE0"); // the key is there, its value "1" is not
    TWizard& w = makeWizard();
    EXPECT_EQ(w.Form5->ui.Edit3->text(), "");
    EXPECT_EQ(w.Form5->portIndex(), 0);
    EXPECT_EQ(w.Form5->ui.Edit4->text(), "ATDP5550100");
}

TEST_F(ConnectionPageTest, ARegistryThatRefusesFullAccessProposesNothingButTheDialCommand) {
    writeRegistry(kModem, "AttachedTo", "COM2");
    writeRegistry(kInit, "1", "AT&F");
    std::filesystem::permissions(machine().registryFile(), std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::group_read);
    TWizard& w = makeWizard();
    EXPECT_EQ(w.Form5->portIndex(), -1);
    EXPECT_EQ(w.Form5->ui.Edit3->text(), "");
    EXPECT_EQ(w.Form5->ui.Edit4->text(), "ATDP5550100");
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(ConnectionPageTest, SeguirNeedsAPortButNoCommands) {
    TWizard& w = makeWizard();
    w.Form5->show();
    w.Form5->ui.Button1->click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Voc\xea precisa selecionar uma porta serial");
    EXPECT_EQ(ui.boxes[0].caption, "Porta Serial");
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(visiblePages(), QStringList{"TForm5"});

    // Both commands emptied: the port alone is enough.
    w.Form5->ui.RadioGroup1->button(3)->click();
    w.Form5->ui.Edit3->clear();
    w.Form5->ui.Edit4->clear();
    w.Form5->ui.Button1->click();
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(visiblePages(), QStringList{"TForm4"});
    const ModemSettings modem = w.Form5->modemSettings();
    EXPECT_EQ(modem.portIndex, 3);
    EXPECT_EQ(modem.initCommand, "");
    EXPECT_EQ(modem.dialCommand, "");
}

TEST_F(ConnectionPageTest, VoltarFollowsTheInstallationType) {
    TWizard& w = makeWizard();
    w.Form5->show();
    w.Form5->ui.Button3->click();
    EXPECT_EQ(visiblePages(), QStringList{"TForm2"});

    w.Form2->ui.RadioGroup1->setItemIndex(1); // custom
    w.goToPage(*w.Form2, *w.Form5);
    w.Form5->ui.Button3->click();
    EXPECT_EQ(visiblePages(), QStringList{"TForm3"});
}

TEST_F(ConnectionPageTest, ModemSettingsCarryTheTypedCommandsInTheWindowsCodePage) {
    TWizard& w = makeWizard();
    w.Form5->ui.RadioGroup1->button(1)->click();
    w.Form5->ui.Edit3->setText(QStringLiteral("AT&F Ç"));
    w.Form5->ui.Edit4->setText(QStringLiteral("ATDT 0xx11 5550100"));
    const ModemSettings modem = w.Form5->modemSettings();
    EXPECT_EQ(modem.portIndex, 1);
    EXPECT_EQ(modem.initCommand, "AT&F \xc7");
    EXPECT_EQ(modem.dialCommand, "ATDT 0xx11 5550100");
}

TEST_F(ConnectionPageTest, FoundFilesLiveInTheHiddenListBox) {
    TWizard& w = makeWizard();
    FoundFilesList& list = w.Form5->foundFiles();
    EXPECT_EQ(list.count(), 0);
    list.append("C:\\JOG\xc3O\\~sock32.dll"); // code page 1252 bytes, the UTF-8 look-alike too
    list.append("C:\\A\\~insock.dll");
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(w.Form5->ui.ListBox1->count(), 2);
    EXPECT_EQ(list.item(0), "C:\\JOG\xc3O\\~sock32.dll");
    EXPECT_EQ(list.item(1), "C:\\A\\~insock.dll");
    EXPECT_EQ(list.item(2), "");
    EXPECT_EQ(list.item(-1), "");
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_FALSE(w.Form5->ui.ListBox1->isVisibleTo(w.Form5.get()));
}

} // namespace
} // namespace zel::test
