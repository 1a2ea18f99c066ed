// Each of the thirteen windows built alone, without the wizard, from the scripted platform and
// the start-up's catalogue and choices: what it collects into the choices, which request its
// buttons make, or which result a dialog ends with.
#include "tests/support/gui_wizard_fixture.h"

#include "pages/BackdropWindow.h"
#include "pages/CopyPage.h"
#include "pages/CustomInstallPage.h"
#include "pages/DirectoryChooser.h"
#include "pages/ExitConfirmDialog.h"
#include "pages/FaxNoticeDialog.h"
#include "pages/FinishPage.h"
#include "setup/messages.h"
#include "pages/InstallTypePage.h"
#include "pages/LicencePage.h"
#include "pages/ModemPage.h"
#include "pages/RegistrationPage.h"
#include "pages/SponsorPictureWindow.h"
#include "pages/WelcomePage.h"
#include "qt/qt_radiogroup.h"
#include "winemu/profile.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace zel::test {
namespace {

// Two programs, the first selected; a licence and a password suggestion.
constexpr std::string_view kSetup = "[Principal]\r\nlicensa=LICENSA.TXT\r\nupline=senha123\r\n"
                                    "[Programa1]\r\nnome=Discador\r\ninstala=1\r\n"
                                    "[Programa2]\r\nnome=Correio\r\ninstala=0\r\n";

// The requests a window made while the test ran.
class Requests {
public:
    explicit Requests(PageWindow& window)
        : next_(&window, &PageWindow::nextRequested), back_(&window, &PageWindow::backRequested),
          exit_(&window, &PageWindow::exitRequested) {}
    // The requests made since the last look, as "next", "back" and "exit" in this order.
    std::string made() {
        std::string text;
        for (auto [spy, name] : {std::pair{&next_, "next"}, {&back_, "back"}, {&exit_, "exit"}}) {
            for (int i = 0; i < spy->count(); ++i)
                text += std::string(text.empty() ? "" : " ") + name;
            spy->clear();
        }
        return text;
    }

private:
    QSignalSpy next_, back_, exit_;
};

class AloneTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        writeSetup(kSetup);
        writeFile(medium() / "LICENSA.TXT", "Texto da licen\xe7"
                                            "a");
        startUp();
    }

    // Clicks "Finalizar" on a finish page that installed into C:\OUTRO\; the request it made.
    std::string finishIntoOtherDirectory() {
        fs::create_directories(driveC() / "OUTRO");
        choices.destination = "C:\\OUTRO\\";
        FinishPage page(*platform, catalogue, choices);
        Requests requests(page);
        page.ui.finishButton->click();
        return requests.made();
    }
};

TEST_F(AloneTest, WelcomePage) {
    WelcomePage page(*platform);
    Requests requests(page);
    QSignalSpy background(&page, &WelcomePage::backgroundNeeded);
    page.show();
    EXPECT_EQ(background.count(), 1); // asked for on every showing
    page.ui.nextButton->click();
    EXPECT_EQ(requests.made(), "next");
    page.ui.exitButton->click();
    EXPECT_EQ(requests.made(), "exit");
}

TEST_F(AloneTest, LicencePage) {
    LicencePage page(*platform, catalogue);
    EXPECT_EQ(page.ui.licenceText->toPlainText(), "Texto da licença");
    Requests requests(page);
    page.ui.nextButton->click();
    EXPECT_EQ(requests.made(), "next");
    page.ui.backButton->click();
    EXPECT_EQ(requests.made(), "back");
}

TEST_F(AloneTest, RegistrationPage) {
    RegistrationPage page(*platform, catalogue, choices);
    Requests requests(page);
    QSignalSpy notice(&page, &RegistrationPage::faxNoticeRequested);
    page.ui.nameEdit->setText("Ana");
    page.ui.nextButton->click(); // partly filled: stays, with the warning
    EXPECT_EQ(requests.made(), "");
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(choices.registration.name, "Ana");

    page.ui.homePhoneEdit->setText("555");
    page.ui.cardNumberEdit->setText("4111");
    printer->answerChoose(false);
    page.ui.nextButton->click(); // complete: the notice, the print dialog, on
    EXPECT_EQ(notice.count(), 1);
    EXPECT_EQ(printer->chooseCount, 1);
    EXPECT_EQ(requests.made(), "next");
    EXPECT_EQ(choices.registration.cardNumber, "4111");
    EXPECT_EQ(choices.registration.password, "senha123");
}

TEST_F(AloneTest, InstallTypePage) {
    InstallTypePage page(*platform, choices);
    page.ui.installationTypeGroup->button(1)->click();
    EXPECT_EQ(choices.installation, InstallationType::Custom);
    Requests requests(page);
    page.ui.nextButton->click();
    page.ui.backButton->click();
    page.ui.exitButton->click();
    EXPECT_EQ(requests.made(), "next back exit");
}

TEST_F(AloneTest, CustomInstallPage) {
    CustomInstallPage page(*platform, catalogue, choices);
    page.show();
    page.programBoxes()[1]->setChecked(true);
    page.ui.destinationEdit->setText("E:\\ZEL");
    page.ui.browserGroup->button(2)->click();
    EXPECT_EQ(choices.browser, Browser::None);
    Requests requests(page);
    page.ui.nextButton->click();
    EXPECT_EQ(requests.made(), "next");
    EXPECT_TRUE(choices.installs(1));
    EXPECT_TRUE(choices.installs(2));
    EXPECT_EQ(choices.destination, "E:\\ZEL\\");
}

TEST_F(AloneTest, ModemPage) {
    ModemPage page(*platform, choices);
    Requests requests(page);
    page.ui.nextButton->click(); // no port yet
    EXPECT_EQ(requests.made(), "");
    page.ui.portGroup->button(0)->click();
    page.ui.initCommandEdit->setText("ATZ");
    page.ui.nextButton->click();
    EXPECT_EQ(requests.made(), "next");
    EXPECT_EQ(choices.modem.port, 0);
    EXPECT_EQ(choices.modem.initCommand, "ATZ");
}

TEST_F(AloneTest, CopyPage) {
    // Nothing of the kit is on the medium: the first program's files are missing.
    CopyPage page(*platform, catalogue, choices);
    Requests requests(page);
    catalogue.entry(1).Arquivo[0] = "DISCADOR.EXE";
    page.ui.nextButton->click();
    EXPECT_EQ(requests.made(), "");
    ASSERT_EQ(ui.errors.size(), 1u);
    // Without the programs there is nothing to copy but what may be missing.
    choices.programs = {};
    page.ui.nextButton->click();
    EXPECT_EQ(requests.made(), "next");
    EXPECT_EQ(ui.errors.size(), 1u);
}

TEST_F(AloneTest, FinishPage) {
    EXPECT_EQ(finishIntoOtherDirectory(), "next");
    EXPECT_TRUE(ui.errors.empty()) << ::testing::PrintToString(ui.errors);
    EXPECT_TRUE(ui.boxes.empty()); // Program Manager created everything
    // The uninstall log names the chosen destination.
    EXPECT_EQ(ProfileFile(machine(), "zelun.ini").readText("ZEL", "dir", ""), "C:\\OUTRO\\");
}

// Without Program Manager the groups are lost: the user is told which, once, and the wizard
// ends as it would have.
TEST_F(AloneTest, FinishPageSaysWhatProgramManagerDidNotCreate) {
    fs::remove(driveC() / "WINDOWS" / "PROGMAN.EXE");
    EXPECT_EQ(finishIntoOtherDirectory(), "next");
    EXPECT_TRUE(ui.errors.empty()) << ::testing::PrintToString(ui.errors);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, kProgmanLossCaption);
    EXPECT_EQ(ui.boxes[0].icon, MsgIcon::Warning);
    EXPECT_EQ(ui.boxes[0].text,
              progmanLoss({lostGroupLine("StartUp"), lostItemLine("ZEL Update", "StartUp"),
                           lostGroupLine(kMissing), lostItemLine("Discador", kMissing)}));
}

TEST_F(AloneTest, DirectoryChooser) {
    DirectoryChooser chooser(*platform);
    answerByClicking(chooser.ui.confirmButton);
    EXPECT_EQ(ui.showModal(chooser), ModalResult::Confirm);
    EXPECT_EQ(chooser.directory(), "D:\\"); // where the program started
    answerByClicking(chooser.ui.cancelButton);
    EXPECT_EQ(ui.showModal(chooser), ModalResult::Other);
}

TEST_F(AloneTest, BackdropWindow) {
    BackdropWindow back(*platform);
    back.coverScreen();
    EXPECT_TRUE(back.isVisible());
    EXPECT_EQ(back.geometry(), QGuiApplication::primaryScreen()->geometry());
    EXPECT_EQ(back.ui.backgroundPicture->grab().toImage().pixelColor(0, 0), QColor(0, 0, 254));
}

TEST_F(AloneTest, SponsorPictureWindow) {
    writeFile(medium() / "LEIA.TXT", "no picture");
    SponsorPictureWindow window(*platform);
    EXPECT_FALSE(window.loadPicture("D:\\LEIA.TXT"));
    EXPECT_TRUE(window.ui.sponsorPicture->pixmap().isNull());
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(QString::fromStdString((medium() / "P.BMP").string()), "BMP"));
    EXPECT_TRUE(window.loadPicture("D:\\P.BMP"));
    window.show();
    QTest::mouseClick(window.ui.sponsorPicture, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_FALSE(window.isVisible());
}

TEST_F(AloneTest, FaxNoticeDialog) {
    FaxNoticeDialog notice(*platform);
    answerByClicking(notice.ui.okButton);
    EXPECT_EQ(ui.showModal(notice), ModalResult::Confirm);
}

TEST_F(AloneTest, ExitConfirmDialog) {
    ExitConfirmDialog confirm(*platform);
    answerByClicking(confirm.ui.yesButton);
    EXPECT_EQ(ui.showModal(confirm), ModalResult::Confirm);
    answerByClicking(confirm.ui.noButton);
    EXPECT_EQ(ui.showModal(confirm), ModalResult::Other);
}

} // namespace
} // namespace zel::test
