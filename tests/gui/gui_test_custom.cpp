// The installation-type and custom-installation pages: the boxes and the browser, the space
// line, the destination field, and what each way forward stores and where it leads.
#include "tests/support/gui_wizard_fixture.h"

#include "pages/ModemPage.h"
#include "qt/qt_radiogroup.h"
#include "pages/CopyPage.h"
#include "pages/InstallTypePage.h"
#include "pages/CustomInstallPage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

namespace zel::test {
namespace {

constexpr const char* kModem = "System\\CurrentControlSet\\Services\\Class\\Modem\\0000";

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
    CustomInstallPage& custom() { return *wizard->customInstallPage; }
    QCheckBox& box(int n) { return *custom().checkBoxes()[static_cast<std::size_t>(n - 1)]; }
    QString spaceLine() { return custom().ui.spaceLabel->text(); }
    // Clicks land on the indicator: the rest of a wide box beyond its text is no button.
    static void clickIndicator(QAbstractButton& button) {
        QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(6, button.height() / 2));
    }
    void clickBox(int n) { clickIndicator(box(n)); }
    void clickBrowser(int item) { clickIndicator(*custom().ui.browserGroup->button(item)); }
    // From the installation-type page by the given type.
    void forwardFromType(int type) {
        wizard->installTypePage->ui.installationTypeGroup->button(type)->click();
        wizard->installTypePage->ui.nextButton->click();
    }
    void openCustomPage() {
        wizard->installTypePage->show();
        forwardFromType(1);
        ASSERT_EQ(visiblePages(), QStringList{"CustomInstallPage"});
    }
};

TEST_F(CustomTest, ThreeProgramsShowThreeBoxes) {
    writeSetup(kitOf(3));
    makeWizard();
    for (int n = 1; n <= 10; ++n)
        EXPECT_EQ(box(n).isVisibleTo(&custom()), n <= 3) << n;
    EXPECT_EQ(box(2).text(), "Programa 2");
    // 100 + 300 ticked, and the second browser (no configuration program in C:\WINDOWS).
    EXPECT_EQ(custom().browserChoice(), Browser::Second);
    EXPECT_EQ(spaceLine(), "Espaço necessário: 3400k");
}

TEST_F(CustomTest, TheFirstBrowserIsPreselectedWhereItsConfigurationProgramIs) {
    writeSetup(kitOf(3));
    writeFile(driveC() / "WINDOWS" / "config.exe", "MZ");
    makeWizard();
    EXPECT_EQ(custom().browserChoice(), Browser::First);
    EXPECT_EQ(spaceLine(), "Espaço necessário: 4400k");
}

TEST_F(CustomTest, TwelveProgramsShowTenAndTheLastTwoKeepTheirFlags) {
    writeSetup(kitOf(12));
    makeWizard();
    for (int n = 1; n <= 10; ++n)
        EXPECT_TRUE(box(n).isVisibleTo(&custom())) << n;
    // Ticked 1, 3, 5, 7, 9: 2500, plus the second browser; 11 and 12 are never counted.
    EXPECT_EQ(spaceLine(), "Espaço necessário: 5500k");
    ASSERT_EQ(catalogue.entry(11).instala, 1);
    ASSERT_EQ(catalogue.entry(12).instala, 0);

    openCustomPage();
    clickBox(1);  // off
    clickBox(10); // on
    EXPECT_EQ(spaceLine(), "Espaço necessário: 6400k");
    custom().ui.nextButton->click();
    for (int n = 1; n <= 10; ++n)
        EXPECT_EQ(catalogue.entry(n).instala, n == 10 || (n != 1 && n % 2 == 1) ? 1 : 0) << n;
    EXPECT_EQ(catalogue.entry(11).instala, 1);
    EXPECT_EQ(catalogue.entry(12).instala, 0);
}

TEST_F(CustomTest, TheSpaceLineFollowsEveryChange) {
    writeSetup(kitOf(3));
    makeWizard();
    openCustomPage();

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
    QTest::mouseClick(custom().ui.programsFrame, Qt::LeftButton, {}, QPoint(3, 100));
    EXPECT_EQ(spaceLine(), "Espaço necessário: -950k");
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(CustomTest, TheDestinationIsStoredTerminated) {
    writeSetup(kitOf(3));
    makeWizard();
    openCustomPage();
    const std::pair<const char*, const char*> cases[] = {{"E:\\Internet", "E:\\Internet\\"},
                                                         {"E:\\Internet\\", "E:\\Internet\\"},
                                                         {"", "\\"},
                                                         {" C:\\a b ", " C:\\a b \\"}};
    for (const auto& [typed, stored] : cases) {
        SCOPED_TRACE(typed);
        custom().ui.destinationEdit->clear();
        QTest::keyClicks(custom().ui.destinationEdit, typed);
        custom().ui.nextButton->click();
        EXPECT_EQ(catalogue.settings.destino, stored);
        // Busy while storing, and back to the default pointer before the next page.
        ASSERT_GE(ui.cursorHistory.size(), 2u);
        EXPECT_EQ(ui.cursorHistory.back(), false);
        EXPECT_EQ(ui.cursorHistory[ui.cursorHistory.size() - 2], true);
        EXPECT_FALSE(ui.busy());
        // Entry 1 is ticked: the connection page, whose "< Voltar" leads back here.
        EXPECT_EQ(visiblePages(), QStringList{"ModemPage"});
        wizard->modemPage->ui.backButton->click();
        ASSERT_EQ(visiblePages(), QStringList{"CustomInstallPage"});
    }
}

TEST_F(CustomTest, VoltarStoresNothingAndTheTypicalPathTakesTheLastStored) {
    writeSetup(kitOf(3));
    writeRegistry(kModem, "AttachedTo", "COM2");
    makeWizard();
    openCustomPage();

    clickBox(3);     // cleared...
    clickBrowser(0); // ...another browser...
    custom().ui.destinationEdit->setText("E:\\OUTRO");
    custom().ui.backButton->click(); // ...and back
    EXPECT_EQ(visiblePages(), QStringList{"InstallTypePage"});
    EXPECT_EQ(catalogue.entry(3).instala, 1);
    EXPECT_EQ(catalogue.settings.destino, "C:\\Program Files\\KIT\\");

    // The typical installation: the copy page at once (the port is known), entry 3 still in,
    // and the browser last clicked on the custom page.
    forwardFromType(0);
    EXPECT_EQ(visiblePages(), QStringList{"CopyPage"});
    EXPECT_EQ(catalogue.entry(3).instala, 1);
    EXPECT_EQ(custom().browserChoice(), Browser::First);

    // Back to the custom page: as it was left.
    wizard->copyPage->ui.backButton->click();
    forwardFromType(1);
    EXPECT_EQ(visiblePages(), QStringList{"CustomInstallPage"});
    EXPECT_FALSE(box(3).isChecked());
    EXPECT_EQ(custom().ui.destinationEdit->text(), "E:\\OUTRO");
    EXPECT_EQ(custom().browserChoice(), Browser::First);
}

TEST_F(CustomTest, EntryOneDecidesTheWayOnFromTheCustomPage) {
    writeSetup(kitOf(3));
    writeRegistry(kModem, "AttachedTo", "COM1");
    makeWizard();
    ASSERT_NE(wizard->modemPage->portIndex(), -1);
    openCustomPage();
    // Selected: the connection page although the port is known.
    custom().ui.nextButton->click();
    EXPECT_EQ(visiblePages(), QStringList{"ModemPage"});
    wizard->modemPage->ui.backButton->click();
    // Cleared: the copy page.
    clickBox(1);
    custom().ui.nextButton->click();
    EXPECT_EQ(visiblePages(), QStringList{"CopyPage"});
    EXPECT_EQ(catalogue.entry(1).instala, 0);
}

TEST_F(CustomTest, TheTypicalPathAsksForThePortOnlyWhenNoneIsKnown) {
    writeSetup(kitOf(3));
    makeWizard();
    wizard->installTypePage->show();
    forwardFromType(0);
    EXPECT_EQ(visiblePages(), QStringList{"ModemPage"});
    // Entry 1 plays no part on the typical path.
    wizard->modemPage->ui.portGroup->button(3)->click();
    wizard->modemPage->ui.backButton->click();
    catalogue.entry(1).instala = 0;
    forwardFromType(0);
    EXPECT_EQ(visiblePages(), QStringList{"CopyPage"});
}

} // namespace
} // namespace zel::test
