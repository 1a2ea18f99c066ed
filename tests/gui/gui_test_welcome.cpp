// The welcome page's message and sponsors, the sponsor picture page, and the licence text,
// driven through the real widgets on Qt's offscreen platform, each page built alone but for
// the way from a sponsor's double click to the picture page.
#include "tests/support/gui_wizard_fixture.h"

#include "pages/LicencePage.h"
#include "pages/WelcomePage.h"
#include "pages/SponsorPictureWindow.h"

#include <algorithm>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

namespace zel::test {
namespace {

// A picture file of the given size and colour (the format follows the extension).
void writePicture(const fs::path& file, QSize size, QColor colour) {
    fs::create_directories(file.parent_path());
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(QString::fromStdString(file.string()), "BMP")) << file;
}

// A kit program: a shell script that leaves a trace of its run.
void writeProgram(const fs::path& file, const fs::path& trace) {
    writeFile(file, "#!/bin/sh\nsleep 0.2\necho ran >> '" + trace.string() + "'\n");
    fs::permissions(file, fs::perms::owner_all);
}

class WelcomeTest : public WizardTest {
protected:
    // The welcome page alone, shown as the wizard shows it first.
    void showAlone() {
        startUp();
        alone = std::make_unique<WelcomePage>(*platform);
        pictureRequests =
            std::make_unique<QSignalSpy>(alone.get(), &WelcomePage::sponsorPictureRequested);
        alone->show();
    }
    // The page alone, or the wizard's once there is a wizard.
    WelcomePage& welcome() { return wizard ? *wizard->welcomePage : *alone; }
    QLabel& sponsor(int k) { return *welcome().sponsorPicture(k); }
    bool shown(int k) { return sponsor(k).isVisibleTo(&welcome()); }
    static QColor colourOf(const QLabel& label) {
        return label.pixmap().toImage().pixelColor(0, 0);
    }
    void openSponsor(int k) { QTest::mouseDClick(&sponsor(k), Qt::LeftButton); }
    // Hidden and shown again, as on the way back from the licence page.
    void showAgain() {
        welcome().hide();
        welcome().show();
        ASSERT_TRUE(welcome().isVisible());
    }

    std::unique_ptr<WelcomePage> alone;
    std::unique_ptr<QSignalSpy> pictureRequests;
};

TEST_F(WelcomeTest, SponsorsAreReadFromTheirSections) {
    writeSetup("[Principal]\r\n"
               "[Patro1]\r\nDiretorio=PATRO1\r\nTexto=Loja Um\r\nImagem=LOGO.BMP\r\n"
               "Programa=GRANDE.BMP\r\n"
               "[Patro2]\r\nDiretorio=PATRO2\\\r\nTexto=Padaria\r\nImagem=FALTA.BMP\r\n"
               "[patro3]\r\nDiretorio=PATRO1\r\ntexto=\r\nimagem=LOGO.BMP\r\n"
               "[Patro4]\r\nTexto=Na raiz\r\nImagem=RAIZ.BMP\r\nPrograma=\r\n");
    writePicture(medium() / "PATRO1" / "LOGO.BMP", {40, 30}, Qt::red);
    writePicture(medium() / "RAIZ.BMP", {64, 64}, Qt::green);
    showAlone();

    // A sub-directory without its "\" gets one between directory and file names.
    ASSERT_TRUE(shown(1));
    EXPECT_EQ(sponsor(1).toolTip(), "Loja Um");
    EXPECT_EQ(colourOf(sponsor(1)), QColor(Qt::red));
    EXPECT_EQ(sponsor(1).geometry(), QRect(194, 144, 64, 64)); // stretched, not resized
    EXPECT_EQ(welcome().sponsorProgram(1), "D:\\PATRO1\\GRANDE.BMP");
    // A directory that has its "\" keeps just the one; a missing picture leaves the area empty.
    EXPECT_TRUE(shown(2));
    EXPECT_TRUE(sponsor(2).pixmap().isNull());
    EXPECT_EQ(welcome().sponsorProgram(2), "D:\\PATRO2\\");
    // No hint, no sponsor: its picture loaded all the same (section and keys in any case).
    EXPECT_FALSE(shown(3));
    EXPECT_EQ(colourOf(sponsor(3)), QColor(Qt::red));
    // No directory: the files lie on the medium's root.
    EXPECT_TRUE(shown(4));
    EXPECT_EQ(colourOf(sponsor(4)), QColor(Qt::green));
    EXPECT_EQ(welcome().sponsorProgram(4), "D:\\");
    // No section at all.
    EXPECT_FALSE(shown(5));
    EXPECT_EQ(welcome().sponsorProgram(5), "D:\\");
    EXPECT_FALSE(welcome().ui.messageLabel->isVisibleTo(&welcome()));
    EXPECT_TRUE(ui.errors.empty());

    // A double click on sponsor 4, whose program is only its directory, does nothing.
    openSponsor(4);
    EXPECT_EQ(pictureRequests->count(), 0);
    EXPECT_EQ(std::count(ui.calls.begin(), ui.calls.end(), "minimise"), 0);
}

TEST_F(WelcomeTest, AnUndecodablePictureLeavesOnlyItsSponsorEmpty) {
    writeSetup("[Patro1]\r\nTexto=Um\r\nImagem=UM.BMP\r\n"
               "[Patro2]\r\nTexto=Dois\r\nImagem=ESTRAGADA.BMP\r\n"
               "[Patro3]\r\nTexto=Tr\xeas\r\nImagem=TRES.BMP\r\n");
    writePicture(medium() / "UM.BMP", {8, 8}, Qt::blue);
    writeFile(medium() / "ESTRAGADA.BMP", "BM this is no bitmap at all");
    writePicture(medium() / "TRES.BMP", {8, 8}, Qt::yellow);
    showAlone();
    EXPECT_EQ(colourOf(sponsor(1)), QColor(Qt::blue));
    EXPECT_TRUE(shown(2));
    EXPECT_TRUE(sponsor(2).pixmap().isNull());
    EXPECT_EQ(colourOf(sponsor(3)), QColor(Qt::yellow));
    EXPECT_EQ(sponsor(3).toolTip(), "Três");
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(WelcomeTest, APictureIsShownFullScreenUntilClicked) {
    writeSetup("[Patro1]\r\nTexto=Loja\r\nDiretorio=PATRO1\r\nPrograma=grande.bmp\r\n"
               "[Patro2]\r\nTexto=Texto\r\nPrograma=LEIA.TXT\r\n"
               "[Patro3]\r\nTexto=Falta\r\nPrograma=NADA.BMP\r\n");
    writePicture(medium() / "PATRO1" / "GRANDE.BMP", {120, 80}, Qt::magenta);
    writeFile(medium() / "LEIA.TXT", "no picture");
    start(); // the whole wizard: the page asks, the wizard shows the picture page
    SponsorPictureWindow& page = *wizard->sponsorPicture;

    // A missing file and a file that is no picture show nothing.
    openSponsor(3);
    openSponsor(2);
    EXPECT_FALSE(page.isVisible());

    openSponsor(1);
    ASSERT_TRUE(page.isVisible());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(page.geometry(), screen);
    EXPECT_EQ(page.ui.sponsorPicture->geometry(), QRect(QPoint(0, 0), screen.size()));
    // Unscaled and centred.
    EXPECT_EQ(page.ui.sponsorPicture->pixmap().size(), QSize(120, 80));
    EXPECT_FALSE(page.ui.sponsorPicture->hasScaledContents());
    EXPECT_EQ(page.ui.sponsorPicture->alignment(), Qt::AlignCenter);
    const QImage onScreen = page.grab().toImage();
    EXPECT_EQ(onScreen.pixelColor(screen.width() / 2, screen.height() / 2), QColor(Qt::magenta));
    EXPECT_NE(onScreen.pixelColor(2, 2), QColor(Qt::magenta));
    // The wizard page stays behind it, unchanged.
    EXPECT_TRUE(welcome().isVisible());
    EXPECT_EQ(std::count(ui.calls.begin(), ui.calls.end(), "minimise"), 0);

    QTest::mouseClick(page.ui.sponsorPicture, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(page.isVisible());
    EXPECT_TRUE(welcome().isVisible());
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(WelcomeTest, AProgramRunsWhileTheWizardStepsAside) {
    const fs::path trace = tmp / "trace.txt";
    writeSetup("[Patro1]\r\nTexto=Programa\r\nDiretorio=PATRO1\r\nPrograma=JOGO.EXE\r\n"
               "[Patro2]\r\nTexto=Minusculo\r\nPrograma=jogo2.exe\r\n");
    writeProgram(medium() / "PATRO1" / "JOGO.EXE", trace);
    writeProgram(medium() / "jogo2.exe", trace);
    showAlone();

    openSponsor(1);
    // Waited for: its trace is there as soon as the double click returns.
    EXPECT_EQ(readFile(trace), "ran\n");
    EXPECT_EQ(std::count(ui.calls.begin(), ui.calls.end(), "minimise"), 1);
    EXPECT_EQ(std::count(ui.calls.begin(), ui.calls.end(), "restore"), 1);
    EXPECT_EQ(pictureRequests->count(), 0);

    // A lower-case extension is a program too.
    openSponsor(2);
    EXPECT_EQ(readFile(trace), "ran\nran\n");
    EXPECT_EQ(std::count(ui.calls.begin(), ui.calls.end(), "minimise"), 2);
    EXPECT_EQ(std::count(ui.calls.begin(), ui.calls.end(), "restore"), 2);
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(WelcomeTest, AProgramThatCannotStartIsReportedAndTheWizardComesBack) {
    writeSetup("[Patro1]\r\nTexto=Quebrado\r\nPrograma=QUEBRADO.EXE\r\n");
    writeFile(medium() / "QUEBRADO.EXE", "MZ not for this machine");
    fs::permissions(medium() / "QUEBRADO.EXE", fs::perms::owner_read | fs::perms::owner_write);
    showAlone();
    openSponsor(1);
    EXPECT_EQ(std::count(ui.calls.begin(), ui.calls.end(), "minimise"), std::count(ui.calls.begin(), ui.calls.end(), "restore"));
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_NE(ui.errors[0].find("D:\\QUEBRADO.EXE"), std::string::npos);
    EXPECT_TRUE(welcome().isVisible());
}

TEST_F(WelcomeTest, ReturningFromTheLicenceReadsEverythingAgain) {
    writeSetup("[Principal]\r\nMensagem=Primeira\r\n"
               "[Patro1]\r\nTexto=Antes\r\nImagem=A.BMP\r\nPrograma=A.BMP\r\n"
               "[Patro2]\r\nTexto=Fica\r\nImagem=B.BMP\r\n");
    writePicture(medium() / "A.BMP", {8, 8}, Qt::red);
    writePicture(medium() / "B.BMP", {8, 8}, Qt::blue);
    showAlone();
    ASSERT_TRUE(shown(1));
    ASSERT_FALSE(shown(5));

    writeSetup("[Principal]\r\nMensagem=\r\n"
               "[Patro1]\r\nTexto=Depois\r\nImagem=C.BMP\r\nPrograma=C.BMP\r\n"
               "[Patro2]\r\nTexto=\r\nImagem=SUMIU.BMP\r\n"
               "[Patro5]\r\nTexto=Novo\r\nImagem=B.BMP\r\n");
    writePicture(medium() / "C.BMP", {8, 8}, Qt::cyan);
    showAgain();

    EXPECT_EQ(sponsor(1).toolTip(), "Depois");
    EXPECT_EQ(colourOf(sponsor(1)), QColor(Qt::cyan));
    EXPECT_EQ(welcome().sponsorProgram(1), "D:\\C.BMP");
    // An empty hint hides nothing shown before, and a missing picture keeps the old one.
    EXPECT_TRUE(shown(2));
    EXPECT_EQ(sponsor(2).toolTip(), "");
    EXPECT_EQ(colourOf(sponsor(2)), QColor(Qt::blue));
    EXPECT_TRUE(shown(5));
    EXPECT_EQ(colourOf(sponsor(5)), QColor(Qt::blue));
    // The message keeps its label, emptied.
    EXPECT_TRUE(welcome().ui.messageLabel->isVisible());
    EXPECT_EQ(welcome().ui.messageLabel->text(), "");
}

// ---------------------------------------------------------------------------------------
// Licence

TEST_F(WelcomeTest, LicenceLinesFromAnyLineEnd) {
    writeSetup("[Principal]\r\nlicensa=DOCS\\LICENCA.TXT\r\n");
    writeFile(medium() / "DOCS" / "LICENCA.TXT", "Um\r\n\r\nDois\rTr\xeas\n\rQuatro\r\n");
    startUp();
    const LicencePage licence(*platform, catalogue);
    EXPECT_EQ(licence.ui.licenceText->toPlainText(), "Um\n\nDois\nTrês\n\nQuatro");
    EXPECT_TRUE(licence.ui.licenceText->isReadOnly());

    writeFile(medium() / "DOCS" / "LICENCA.TXT", "");
    startUp();
    EXPECT_EQ(LicencePage(*platform, catalogue).ui.licenceText->toPlainText(), "");
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(WelcomeTest, AnUnreadableLicenceIsReportedAndLeavesNoText) {
    writeFile(medium() / "LOCKED.TXT", "segredo");
    fs::permissions(medium() / "LOCKED.TXT", fs::perms::none);
    if (::access((medium() / "LOCKED.TXT").c_str(), R_OK) == 0)
        GTEST_SKIP() << "running with rights that read any file";
    writeSetup("[Principal]\r\nlicensa=LOCKED.TXT\r\n");
    startUp();
    const LicencePage licence(*platform, catalogue);
    EXPECT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(licence.ui.licenceText->toPlainText(), "");
}

} // namespace
} // namespace zel::test
