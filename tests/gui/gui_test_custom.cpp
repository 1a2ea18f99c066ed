// The installation-type and custom-installation pages, each built alone from the start-up's
// catalogue and choices: the boxes and the browser, the space line, the destination field,
// and what each way forward stores.
#include "tests/support/gui_wizard_fixture.h"

#include "pages/CustomInstallPage.h"
#include "pages/InstallTypePage.h"
#include "qt/qt_radiogroup.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace zel::test {
namespace {

// A kit of `count` programs: program N is named "Programa N", takes N * 100 kbytes and is
// preselected when N is odd.
std::string kitOf(int count) {
    std::string ini = "[Principal]\r\ndestino=C:\\KIT\\\r\n"
                      "navegap_version=Navegador P\r\nnavegap_size=4000\r\n"
                      "navegai_version=Navegador I\r\nnavegai_size=3000\r\n";
    for (int n = 1; n <= count; ++n)
        ini += "[Programa" + std::to_string(n) + "]\r\nnome=Programa " + std::to_string(n) +
               "\r\ninstala=" + std::to_string(n % 2) + "\r\ntamanho=" + std::to_string(n * 100) +
               "\r\n";
    return ini;
}

class CustomTest : public WizardTest {
protected:
    // The page alone, on the kit of `programs` programs.
    CustomInstallPage& open(int programs) {
        writeSetup(kitOf(programs));
        startUp();
        page = std::make_unique<CustomInstallPage>(*platform, catalogue, choices);
        page->show();
        return *page;
    }
    QCheckBox& box(int n) { return *page->programBoxes()[static_cast<std::size_t>(n - 1)]; }
    QString spaceLine() { return page->ui.spaceLabel->text(); }
    // Clicks land on the indicator: the rest of a wide box beyond its text is no button.
    static void clickIndicator(QAbstractButton& button) {
        QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(6, button.height() / 2));
    }
    void clickBox(int n) { clickIndicator(box(n)); }
    void clickBrowser(int item) { clickIndicator(*page->ui.browserGroup->button(item)); }

    std::unique_ptr<CustomInstallPage> page;
};

TEST_F(CustomTest, ThreeProgramsShowThreeBoxes) {
    open(3);
    for (int n = 1; n <= 10; ++n)
        EXPECT_EQ(box(n).isVisibleTo(page.get()), n <= 3) << n;
    EXPECT_EQ(box(2).text(), "Programa 2");
    EXPECT_EQ(page->ui.browserGroup->items(),
              QStringList({"Navegador P", "Navegador I", "Não instalar navegador"}));
    EXPECT_EQ(page->ui.destinationEdit->text(), "C:\\Program Files\\KIT\\");
    // 100 + 300 ticked, and the second browser (no configuration program in C:\WINDOWS).
    EXPECT_EQ(page->ui.browserGroup->itemIndex(), 1);
    EXPECT_EQ(spaceLine(), "Espaço necessário: 3400k");
}

TEST_F(CustomTest, ThePageShowsTheChoicesItIsGiven) {
    writeSetup(kitOf(3));
    startUp();
    choices.programs = {};
    choices.programs[1] = true; // only program 2
    choices.browser = Browser::First;
    choices.destination = "E:\\OUTRO\\";
    CustomInstallPage shown(*platform, catalogue, choices);
    EXPECT_FALSE(shown.programBoxes()[0]->isChecked());
    EXPECT_TRUE(shown.programBoxes()[1]->isChecked());
    EXPECT_EQ(shown.ui.browserGroup->itemIndex(), 0);
    EXPECT_EQ(shown.ui.destinationEdit->text(), "E:\\OUTRO\\");
    EXPECT_EQ(shown.ui.spaceLabel->text(), "Espaço necessário: 4200k");
}

TEST_F(CustomTest, TwelveProgramsShowTenAndTheLastTwoKeepTheirSelection) {
    open(12);
    for (int n = 1; n <= 10; ++n)
        EXPECT_TRUE(box(n).isVisibleTo(page.get())) << n;
    // Ticked 1, 3, 5, 7, 9: 2500, plus the second browser; 11 and 12 are never counted.
    EXPECT_EQ(spaceLine(), "Espaço necessário: 5500k");
    ASSERT_TRUE(choices.installs(11));
    ASSERT_FALSE(choices.installs(12));

    clickBox(1);  // off
    clickBox(10); // on
    EXPECT_EQ(spaceLine(), "Espaço necessário: 6400k");
    QSignalSpy next(page.get(), &PageWindow::nextRequested);
    page->ui.nextButton->click();
    EXPECT_EQ(next.count(), 1);
    for (int n = 1; n <= 10; ++n)
        EXPECT_EQ(choices.installs(n), n == 10 || (n != 1 && n % 2 == 1)) << n;
    EXPECT_TRUE(choices.installs(11));
    EXPECT_FALSE(choices.installs(12));
}

TEST_F(CustomTest, TheSpaceLineFollowsEveryChange) {
    open(3);
    clickBox(1);
    clickBox(3);
    EXPECT_EQ(spaceLine(), "Espaço necessário: 3000k");
    clickBrowser(2);
    EXPECT_EQ(spaceLine(), "Espaço necessário: 0k");
    clickBrowser(0);
    clickBox(2);
    EXPECT_EQ(spaceLine(), "Espaço necessário: 4200k");

    // A ticked box counts also when it is hidden.
    catalogue.entry(5).tamanho = 50;
    box(5).setChecked(true);
    EXPECT_EQ(spaceLine(), "Espaço necessário: 4250k");

    // A click on the programs' frame recomputes the line too.
    catalogue.entry(2).tamanho = -5000;
    QTest::mouseClick(page->ui.programsFrame, Qt::LeftButton, {}, QPoint(3, 100));
    EXPECT_EQ(spaceLine(), "Espaço necessário: -950k");
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(CustomTest, TheBrowserIsKeptAsItIsClickedAndNothingElseBeforeMovingOn) {
    open(3);
    const Choices before = choices;
    clickBrowser(0);
    EXPECT_EQ(choices.browser, Browser::First);
    clickBrowser(2);
    EXPECT_EQ(choices.browser, Browser::None);
    // Boxes and the typed directory wait for "Seguir >"; "< Voltar" stores nothing.
    clickBox(3);
    page->ui.destinationEdit->setText("E:\\OUTRO");
    QSignalSpy back(page.get(), &PageWindow::backRequested);
    page->ui.backButton->click();
    EXPECT_EQ(back.count(), 1);
    EXPECT_EQ(choices.programs, before.programs);
    EXPECT_EQ(choices.destination, before.destination);
    // The page keeps what was clicked and typed for the next visit.
    EXPECT_FALSE(box(3).isChecked());
    EXPECT_EQ(page->ui.destinationEdit->text(), "E:\\OUTRO");
}

TEST_F(CustomTest, TheDestinationIsStoredTerminated) {
    open(3);
    QSignalSpy next(page.get(), &PageWindow::nextRequested);
    const std::pair<const char*, const char*> cases[] = {{"E:\\Internet", "E:\\Internet\\"},
                                                         {"E:\\Internet\\", "E:\\Internet\\"},
                                                         {"", "\\"},
                                                         {" C:\\a b ", " C:\\a b \\"}};
    for (const auto& [typed, stored] : cases) {
        SCOPED_TRACE(typed);
        page->ui.destinationEdit->clear();
        QTest::keyClicks(page->ui.destinationEdit, typed);
        page->ui.nextButton->click();
        EXPECT_EQ(choices.destination, stored);
        // Busy while storing, and back to the default pointer before the next page.
        ASSERT_GE(ui.cursorHistory.size(), 2u);
        EXPECT_EQ(ui.cursorHistory.back(), false);
        EXPECT_EQ(ui.cursorHistory[ui.cursorHistory.size() - 2], true);
        EXPECT_FALSE(ui.busy());
    }
    EXPECT_EQ(next.count(), 4);
}

TEST_F(CustomTest, AChosenDirectoryIsShownAsChosenAndStoredTerminated) {
    open(3);
    QSignalSpy asked(page.get(), &CustomInstallPage::chooseFolderRequested);
    page->ui.chooseFolderButton->click();
    EXPECT_EQ(asked.count(), 1);
    page->takeDestination("D:\\KIT");
    EXPECT_EQ(page->ui.destinationEdit->text(), "D:\\KIT");
    EXPECT_EQ(choices.destination, "D:\\KIT\\");
    page->takeDestination("D:\\");
    EXPECT_EQ(page->ui.destinationEdit->text(), "D:\\");
    EXPECT_EQ(choices.destination, "D:\\");
}

TEST_F(CustomTest, TheInstallationTypeIsKeptAsItIsSelected) {
    writeSetup(kitOf(1));
    startUp();
    InstallTypePage type(*platform, choices);
    type.show();
    EXPECT_EQ(type.ui.installationTypeGroup->itemIndex(), 0);
    type.ui.installationTypeGroup->button(1)->click();
    EXPECT_EQ(choices.installation, InstallationType::Custom);
    type.ui.installationTypeGroup->button(0)->click();
    EXPECT_EQ(choices.installation, InstallationType::Typical);

    QSignalSpy next(&type, &PageWindow::nextRequested);
    QSignalSpy back(&type, &PageWindow::backRequested);
    QSignalSpy exit(&type, &PageWindow::exitRequested);
    type.ui.nextButton->click();
    type.ui.backButton->click();
    type.ui.exitButton->click();
    EXPECT_EQ(next.count(), 1);
    EXPECT_EQ(back.count(), 1);
    EXPECT_EQ(exit.count(), 1);
}

} // namespace
} // namespace zel::test
