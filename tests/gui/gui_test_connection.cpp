// The connection page, built alone from the start-up's choices: the proposals it shows, its
// buttons, and the settings it keeps for the copy page.
#include "tests/support/gui_wizard_fixture.h"

#include "pages/ModemPage.h"
#include "qt/qt_radiogroup.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

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
};

TEST_F(ConnectionPageTest, ShowsTheMachinesProposals) {
    writeRegistry(kModem, "AttachedTo", "COM2");
    writeRegistry(kInit, "1", "AT&F");
    startUp();
    ModemPage page(*platform, choices);
    EXPECT_EQ(page.ui.portGroup->itemIndex(), 1);
    EXPECT_TRUE(page.ui.portGroup->button(1)->isChecked());
    EXPECT_EQ(page.ui.initCommandEdit->text(), "AT&F");
    EXPECT_EQ(page.ui.dialCommandEdit->text(), "ATDP5550100");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(ConnectionPageTest, SeguirNeedsAPortButNoCommands) {
    startUp();
    ModemPage page(*platform, choices);
    page.show();
    QSignalSpy next(&page, &PageWindow::nextRequested);
    page.ui.nextButton->click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Voc\xea precisa selecionar uma porta serial");
    EXPECT_EQ(ui.boxes[0].caption, "Porta Serial");
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(next.count(), 0);

    // Both commands emptied: the port alone is enough.
    page.ui.portGroup->button(3)->click();
    page.ui.initCommandEdit->clear();
    page.ui.dialCommandEdit->clear();
    page.ui.nextButton->click();
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(next.count(), 1);
    EXPECT_EQ(choices.modem.port, 3);
    EXPECT_EQ(choices.modem.initCommand, "");
    EXPECT_EQ(choices.modem.dialCommand, "");

    QSignalSpy back(&page, &PageWindow::backRequested);
    QSignalSpy exit(&page, &PageWindow::exitRequested);
    page.ui.backButton->click();
    page.ui.exitButton->click();
    EXPECT_EQ(back.count(), 1);
    EXPECT_EQ(exit.count(), 1);
}

TEST_F(ConnectionPageTest, TheSettingsKeepTheTypedCommandsInTheWindowsCodePage) {
    startUp();
    ModemPage page(*platform, choices);
    page.ui.portGroup->button(1)->click();
    page.ui.initCommandEdit->setText(QStringLiteral("AT&F Ç"));
    page.ui.dialCommandEdit->setText(QStringLiteral("ATDT 0xx11 5550100"));
    EXPECT_EQ(choices.modem.port, 1);
    EXPECT_EQ(choices.modem.initCommand, "AT&F \xc7");
    EXPECT_EQ(choices.modem.dialCommand, "ATDT 0xx11 5550100");
}

} // namespace
} // namespace zel::test
