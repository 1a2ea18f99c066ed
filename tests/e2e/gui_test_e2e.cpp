// The whole wizard on a copy of the demo kit and a fresh machine, page by page through its own
// buttons; then what the machine holds, Program Manager's groups (the wizard starts it, and it
// leaves on its own) and the browser setup. $ZEL_SCREENSHOTS gets a picture of each page of the
// custom installation (scripts/screenshots).
#include "tests/support/gui_wizard_fixture.h"

#include "pages/CopyPage.h"
#include "pages/CustomInstallPage.h"
#include "pages/DirectoryChooser.h"
#include "pages/FinishPage.h"
#include "pages/InstallTypePage.h"
#include "pages/ModemPage.h"
#include "pages/RegistrationPage.h"
#include "qt/qt_radiogroup.h"
#include "winemu/profile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>

namespace zel::test {
namespace {

class DemoKitTest : public WizardRunTest {
protected:
    // What a run left, given the destination, the programs of the kit installed (1 to 6), the
    // dialer's port and commands and the browser setup's tag ("" for none).
    void expectMachine(const std::string& d, const std::string& entries, const std::string& dialer,
                       const std::string& browser) {
        EXPECT_EQ(ProfileFile(machine(), "C:\\WINDOWS\\zelun.ini").readText("ZEL", "dir", ""), d);
        // The dial-up stack: the connection page's answers in its settings, the system's library.
        const ProfileFile settings(machine(), d + "TRUMPET\\TRUMPWSK.INI");
        EXPECT_EQ(settings.readText("Trumpet Winsock", "slip-port", "-") + " " +
                      settings.readText("ZEL Internet", "$modemsetup", "-") + " " +
                      settings.readText("ZEL Internet", "$phone", "-"),
                  dialer);
        EXPECT_EQ(fs::exists(driveC() / "WINDOWS" / "SYSTEM" / "~sock32.dll"), entries[0] == '1');
        // Program Manager: the update program starts with Windows; the kit's group holds an
        // item per program installed, the Internet icon on the dialer and the BBS icon on ZEL.HT.
        const char* items[] = {
            "Discador (Trumpet Winsock): $TRUMPET\\TCPMAN.EXE  [icon $ZELNET.ICO]",
            "ZEL BBS: $BBS\\ZEL.HT  [icon $ZELBBS.ICO]",
            "Correio Eletrônico: $CORREIO\\CORREIO.EXE",
            "Leitor de Notícias: $NOTICIAS.EXE",
            "Transferência de Arquivos (FTP): $FTP\\FTPZEL.EXE",
            "Bate-papo (IRC): $IRC\\BATEPAPO.EXE"};
        std::string expected = "StartUp\n    ZEL Update: $ZELUPD.EXE\nZEL Internet\n";
        for (const char entry : entries)
            expected += "    " + std::string(items[entry - '1']) + "\n";
        for (auto at = expected.find('$'); at != std::string::npos; at = expected.find('$', at))
            expected.replace(at, 1, d);
        EXPECT_EQ(runCommand("ZEL_PREFIX='" + prefix.string() + "' '" +
                             (binDir() / "progman").string() + "' --list")
                      .output,
                  expected);
        // The browser setup, started without waiting, once (a setup started by mistake would
        // have written its line by now).
        const fs::path trace = prefix / "browser-setup.log";
        for (int i = 0; i < 50 && (browser.empty() || readFile(trace).empty()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(browser.empty() ? 6 : 20));
        const std::string line = readFile(trace);
        EXPECT_EQ(line.substr(0, browser.size() + 1) +
                      std::to_string(std::count(line.begin(), line.end(), '\n')),
                  browser.empty() ? "0" : browser + " 1");
    }
};

// Typical, with the modem's port known: no connection page. The uninstall log cannot be
// written at first: the finish stops there, usable, and finishing again completes it all.
TEST_F(DemoKitTest, TypicalInstallationWhoseFinishFailsOnceAndIsRetried) {
    writeRegistry(kModemKey, "AttachedTo", "COM2");
    writeRegistry(std::string(kModemKey) + "\\Settings\\Init", "1", "AT&F");
    start();
    throughRegistration(false);
    click(wizard->installTypePage->ui.nextButton);
    ASSERT_EQ(currentPage(), "CopyPage");
    click(wizard->copyPage->ui.nextButton);
    ASSERT_EQ(currentPage(), "FinishPage");
    QPushButton* finalizar = wizard->finishPage->ui.finishButton;
    const fs::path windows = driveC() / "WINDOWS";
    fs::permissions(windows, fs::perms::owner_write, fs::perm_options::remove);
    click(finalizar);
    fs::permissions(windows, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(ui.errors, std::vector<std::string>{"Unable to write to zelun.ini"});
    EXPECT_FALSE(ui.quitRequested());
    EXPECT_TRUE(finalizar->isEnabled());
    EXPECT_EQ(ui.cursorHistory.back(), false); // the hourglass while it ran, not after
    EXPECT_TRUE(fs::exists(driveC() / "Program Files" / "ZEL" / "ZELUPD.INI"));
    EXPECT_FALSE(fs::exists(windows / "zelun.ini"));
    // The whole sequence again: the update program's item went out twice and is there once;
    // the failed try's browser setup never started.
    click(finalizar);
    EXPECT_TRUE(ui.quitRequested());
    expectMachine("C:\\Program Files\\ZEL\\", "1234", "2 AT&F ATDP5550100", "navegai");
}

// The walk-through of the README: a subscriber's custom installation into a directory picked
// in the chooser, the first browser proposed and the second taken, the connection page.
TEST_F(DemoKitTest, CustomInstallationInAChosenDirectoryWithTheSecondBrowser) {
    writeFile(driveC() / "WINDOWS" / "config.exe", ""); // makes the first browser the proposal
    fs::create_directories(driveC() / "INTERNET");
    fs::create_directories(prefix / "dosdevices"); // and E:, a drive without a medium
    fs::create_symlink(tmp / "no medium", prefix / "dosdevices" / "e:");
    makeMachine();
    start();
    throughRegistration(true);
    // The typed form reached the printer in the Windows code page.
    ASSERT_EQ(printer.calls.size(), 17u);
    EXPECT_EQ(printer.calls[4], "text 0,152 Nome     :Maria da Concei\xe7\xe3o");
    EXPECT_EQ(printer.calls[11],
              "text 0,1004 Cart\xe3o     :" +
                  wizard->registrationPage->ui.cardBrandBox->currentText().toStdString());
    EXPECT_EQ(printer.calls[13], "text 0,1244 N\xfamero     :5555 4444 3333 2222");

    chooseCustom();
    ASSERT_EQ(currentPage(), "CustomInstallPage");
    CustomInstallPage& custom = *wizard->customInstallPage;
    ASSERT_EQ(wizard->choices.browser, Browser::First);
    click(custom.ui.browserGroup->button(1));
    click(custom.programBoxes()[3]); // Notícias out, FTP in
    click(custom.programBoxes()[4]);
    ui.answerModal([this](QDialog& dialog) {
        auto& chooser = static_cast<DirectoryChooser&>(dialog);
        chooser.ui.driveBox->setCurrentText("e:"); // refused
        emit chooser.ui.driveBox->activated(chooser.ui.driveBox->currentIndex());
        chooser.ui.driveBox->setFocus(); // drive c: by its letter, the folder opened with Enter
        QTest::keyClicks(chooser.ui.driveBox, QStringLiteral("c"));
        QListWidget& list = *chooser.ui.directoryList;
        const auto found = list.findItems(QStringLiteral("INTERNET"), Qt::MatchExactly);
        EXPECT_EQ(found.size(), 1) << chooser.directory();
        list.setFocus();
        list.setCurrentItem(found.value(0));
        QTest::keyClick(&list, Qt::Key_Return);
        EXPECT_EQ(chooser.ui.directoryLabel->text(), "C:\\INTERNET");
        screenshot(chooser, "07-chooser");
        chooser.ui.confirmButton->click();
        return ModalResult::Other; // ignored: the click has ended the dialog
    });
    click(custom.ui.chooseFolderButton);
    EXPECT_EQ(custom.ui.destinationEdit->text(), "C:\\INTERNET");
    screenshot(custom, "06-custom");
    click(custom.ui.nextButton);
    // Entry 1 chosen: the connection page, which wants a port before it lets the user on.
    ASSERT_EQ(currentPage(), "ModemPage");
    ModemPage& connection = *wizard->modemPage;
    click(connection.ui.nextButton);
    std::vector<std::string> boxes;
    for (const auto& box : ui.boxes)
        boxes.push_back(box.text + " | " + box.caption);
    EXPECT_EQ(boxes,
              (std::vector<std::string>{
                  "Este drive e/ou diret\xf3rio n\xe3o est\xe1 dispon\xedvel | Instala\xe7\xe3o "
                  "Personalizada",
                  "Voc\xea precisa selecionar uma porta serial | Porta Serial"}));
    ASSERT_EQ(currentPage(), "ModemPage");
    click(connection.ui.portGroup->button(2));
    type(connection.ui.initCommandEdit, QStringLiteral("ATZ"));
    screenshot(connection, "08-connection");
    click(connection.ui.nextButton);
    copyAndFinish();
    expectMachine("C:\\INTERNET\\", "1235", "3 ATZ ATDP5550100", "navegai");
}

// Without the dialer there is nothing to ask about the modem: straight to the copy.
TEST_F(DemoKitTest, CustomInstallationWithoutTheDialerOrABrowser) {
    start();
    throughRegistration(false);
    chooseCustom();
    CustomInstallPage& custom = *wizard->customInstallPage;
    click(custom.programBoxes()[0]);
    click(custom.ui.browserGroup->button(2));
    custom.ui.destinationEdit->clear(); // a new directory, typed without its final "\"
    type(custom.ui.destinationEdit, QStringLiteral("C:\\Program Files\\Acesso ZEL"));
    click(custom.ui.nextButton);
    copyAndFinish();
    expectMachine("C:\\Program Files\\Acesso ZEL\\", "234", "- - -", "");
    EXPECT_FALSE(fs::exists(driveC() / "Program Files" / "ZEL"));
}

} // namespace
} // namespace zel::test
