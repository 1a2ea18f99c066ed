// The wizard's windows on Qt's offscreen platform, through their own widgets: what each shows
// from the catalogue and the choices, where its buttons lead, the messages it gives. The rules
// behind them are the setup library's tests; whole runs are the end-to-end test's.
#include "tests/support/gui_wizard_fixture.h"

#include "pages/BackdropWindow.h"
#include "pages/CopyPage.h"
#include "pages/CustomInstallPage.h"
#include "pages/DirectoryChooser.h"
#include "pages/ExitConfirmDialog.h"
#include "pages/FaxNoticeDialog.h"
#include "pages/FinishPage.h"
#include "pages/InstallTypePage.h"
#include "pages/LicencePage.h"
#include "pages/ModemPage.h"
#include "pages/RegistrationPage.h"
#include "pages/SponsorPictureWindow.h"
#include "pages/WelcomePage.h"
#include "qt/qt_gauge.h"
#include "qt/qt_radiogroup.h"
#include "setup/messages.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace zel::test {
namespace {

// Three programs (the accents in code page 1252), the second left out.
constexpr std::string_view kSetup =
    "[Principal]\r\ngrupo=ZEL Internet\r\ndestino=C:\\KIT\\\r\nlicensa=LICENSA.TXT\r\n"
    "upline=senha123\r\ncadastro1=Cadastre-se j\xe1!\r\nStartWave=SOM\\INICIO.WAV\r\n"
    "navegap_version=Navegador P\r\nnavegai_version=Navegador I\r\nnavegai_size=3000\r\n"
    "[Update]\r\nprograma=ZELUP.EXE\r\ndiretorio=UPDATE\\\r\n"
    "[Uninstall]\r\nprograma=DESINST.EXE\r\ndiretorio=UPDATE\\\r\n"
    "[Programa1]\r\nnome=Discador\r\ninstala=1\r\ntamanho=500\r\ndiretorio=DISC\\\r\ncriadir=1\r\n"
    "Arquivo1=TCPMAN.EXE\r\nArquivo2=TRUMPWSK.INI\r\nArquivo3=WINSOCK.DLL\r\n"
    "[Programa2]\r\nnome=Correio eletr\xf4nico\r\ninstala=0\r\ntamanho=700\r\n"
    "[Programa3]\r\nnome=Not\xed"
    "cias\r\ninstala=1\r\ntamanho=1200\r\ndiretorio=NEWS\\\r\nArquivo1=NEWS.EXE\r\n"
    "System1=NEWSCTL.DLL\r\n";

// The requests a window made since the last look: "next", "back" and "exit" in order.
class Requests : public QObject {
public:
    explicit Requests(PageWindow& window) {
        connect(&window, &PageWindow::nextRequested, this, [this] { made += " next"; });
        connect(&window, &PageWindow::backRequested, this, [this] { made += " back"; });
        connect(&window, &PageWindow::exitRequested, this, [this] { made += " exit"; });
    }
    std::string made;
};
std::string taken(Requests& requests) {
    const std::string made = std::exchange(requests.made, "");
    return made.empty() ? made : made.substr(1);
}

class PagesTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        writeSetup(kSetup);
        writeFile(medium() / "LICENSA.TXT", "Um\r\nDois\rTr\xeas\n\r\nQuatro");
    }
    void writePicture(const fs::path& file, QColor colour, QSize size = {8, 8}) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        fs::create_directories(file.parent_path());
        ASSERT_TRUE(image.save(QString::fromStdString(file.string()), "BMP"));
    }
};

// ---------------------------------------------------------------------------------------
// The wizard's forms and its page protocol

TEST_F(PagesTest, TheFormsShowWhatTheStartUpFound) {
    writeRegistry("System\\CurrentControlSet\\Services\\Class\\Modem\\0000", "AttachedTo", "COM2");
    Wizard& w = makeWizard();
    EXPECT_TRUE(visiblePages().isEmpty());
    EXPECT_EQ(w.welcomePage->windowTitle(), "ZEL - Windows 95/NT");
    const CustomInstallPage& custom = *w.customInstallPage;
    for (int n = 0; n < 10; ++n)
        EXPECT_EQ(custom.programBoxes()[std::size_t(n)]->isVisibleTo(&custom), n < 3) << n;
    EXPECT_EQ(custom.programBoxes()[2]->text(), "Notícias");
    EXPECT_FALSE(custom.programBoxes()[1]->isChecked());
    EXPECT_EQ(custom.ui.destinationEdit->text(), "C:\\Program Files\\KIT\\");
    EXPECT_EQ(custom.ui.browserGroup->items(),
              QStringList({"Navegador P", "Navegador I", "Não instalar navegador"}));
    // No C:\WINDOWS\config.exe: the second browser, counted in the space line.
    EXPECT_EQ(custom.ui.browserGroup->itemIndex(), 1);
    EXPECT_EQ(custom.ui.spaceLabel->text(), "Espaço necessário: 4700k");
    EXPECT_EQ(w.registrationPage->ui.passwordEdit->text(), "senha123");
    EXPECT_EQ(w.registrationPage->ui.introLabel->text(), "Cadastre-se já!");
    EXPECT_EQ(w.licencePage->ui.licenceText->toPlainText(), "Um\nDois\nTrês\n\nQuatro");
    EXPECT_EQ(w.modemPage->ui.portGroup->itemIndex(), 1);
    EXPECT_EQ(w.modemPage->ui.dialCommandEdit->text(), "ATDP5550100");
    EXPECT_EQ(w.installTypePage->ui.installationTypeGroup->itemIndex(), 0);
    EXPECT_EQ(sound.played, std::vector<std::string>{"D:\\SOM\\INICIO.WAV"});
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(PagesTest, EveryRequestLeadsWhereThePageFlowSays) {
    Wizard& w = makeWizard();
    for (int combination = 0; combination < 8; ++combination) {
        w.choices.installation = InstallationType(combination & 1);
        w.choices.programs[0] = (combination & 2) != 0;
        w.choices.modem.port = combination & 4 ? std::optional<int>(1) : std::nullopt;
        for (const Page page :
             {Page::Welcome, Page::Licence, Page::Registration, Page::InstallationType,
              Page::CustomInstallation, Page::Connection, Page::Copy, Page::Finish}) {
            PageWindow& form = w.window(page);
            for (const bool next : {false, true}) {
                if (next && page == Page::Finish)
                    continue; // moving on from there ends the wizard
                form.show();
                emit(next ? form.nextRequested() : form.backRequested());
                const auto to = next ? nextPage(page, w.choices) : previousPage(page, w.choices);
                EXPECT_EQ(visiblePages(), QStringList{(to ? w.window(*to) : form).objectName()})
                    << next << " from " << form.objectName().toStdString() << " " << combination;
                for (QWidget* shown : QApplication::topLevelWidgets())
                    shown->hide();
            }
        }
    }
    EXPECT_FALSE(ui.quitRequested());
    emit w.finishPage->nextRequested();
    EXPECT_TRUE(ui.quitRequested());
}

TEST_F(PagesTest, EveryButtonMakesItsRequest) {
    Wizard& w = makeWizard();
    const std::tuple<PageWindow*, QPushButton*, const char*> rows[] = {
        {w.welcomePage.get(), w.welcomePage->ui.nextButton, "next"},
        {w.licencePage.get(), w.licencePage->ui.nextButton, "next"},
        {w.licencePage.get(), w.licencePage->ui.backButton, "back"},
        {w.registrationPage.get(), w.registrationPage->ui.backButton, "back"},
        {w.installTypePage.get(), w.installTypePage->ui.nextButton, "next"},
        {w.installTypePage.get(), w.installTypePage->ui.backButton, "back"},
        {w.installTypePage.get(), w.installTypePage->ui.exitButton, "exit"},
        {w.customInstallPage.get(), w.customInstallPage->ui.backButton, "back"},
        {w.customInstallPage.get(), w.customInstallPage->ui.exitButton, "exit"},
        {w.modemPage.get(), w.modemPage->ui.backButton, "back"},
        {w.modemPage.get(), w.modemPage->ui.exitButton, "exit"},
        {w.copyPage.get(), w.copyPage->ui.backButton, "back"},
        {w.copyPage.get(), w.copyPage->ui.exitButton, "exit"},
        {w.welcomePage.get(), w.welcomePage->ui.exitButton, "exit"},
    };
    for (const auto& [page, button, request] : rows) {
        Requests requests(*page);
        button->click();
        EXPECT_EQ(taken(requests), request)
            << button->objectName().toStdString() << " of " << page->objectName().toStdString();
    }
    // "Sair" asked first everywhere but on the welcome page, answered "Não" by the close box.
    ASSERT_EQ(ui.modals.size(), 4u);
    EXPECT_EQ(ui.modals[3].objectName, "ExitConfirmDialog");
    EXPECT_TRUE(ui.quitRequested());
}

TEST_F(PagesTest, TheExitConfirmationStartsOnNaoAndOnlySimEnds) {
    Wizard& w = makeWizard();
    ExitConfirmDialog& confirm = *w.exitConfirmDialog;
    const std::function<void()> answers[] = {
        [&] { confirm.ui.noButton->click(); }, [&] { confirm.close(); },
        [&] { QTest::keyClick(&confirm, Qt::Key_Escape); }, [&] { confirm.ui.yesButton->click(); }};
    for (const auto& answer : answers) {
        EXPECT_FALSE(ui.quitRequested());
        ui.answerModal([&](QDialog&) {
            EXPECT_EQ(confirm.focusWidget(), confirm.ui.noButton); // every time
            confirm.ui.yesButton->setFocus();
            answer();
            return ModalResult::Other; // ignored: the answer has ended the dialog
        });
        w.copyPage->ui.exitButton->click();
    }
    std::vector<ModalResult> results;
    for (const auto& modal : ui.modals)
        results.push_back(modal.result);
    EXPECT_EQ(results, (std::vector<ModalResult>{ModalResult::Other, ModalResult::Other,
                                                 ModalResult::Other, ModalResult::Confirm}));
    EXPECT_TRUE(ui.quitRequested());
}

TEST_F(PagesTest, PagesIgnoreEscapeEnterInFieldsAndTheCloseRequest) {
    startUp();
    RegistrationPage page(*platform, catalogue, choices);
    Requests requests(page);
    page.show();
    QTest::keyClick(page.ui.nameEdit, Qt::Key_Return);
    QTest::keyClick(&page, Qt::Key_Escape);
    page.close();
    EXPECT_TRUE(page.isVisible());
    page.ui.backButton->setFocus(); // Enter on a focused button presses it
    QTest::keyClick(page.ui.backButton, Qt::Key_Return);
    EXPECT_EQ(taken(requests), "back");
}

TEST_F(PagesTest, PagesArePolishedWhenFirstShownAndNamedForScreenReaders) {
    start(); // not all thirteen forms on the first pass of the event loop
    QCoreApplication::processEvents();
    Wizard& w = *wizard;
    EXPECT_TRUE(w.welcomePage->ui.nextButton->testAttribute(Qt::WA_WState_Polished));
    EXPECT_FALSE(w.installTypePage->ui.nextButton->testAttribute(Qt::WA_WState_Polished));
    w.modemPage->show();
    w.registrationPage->show();
    const auto name = [](QWidget* control) {
        return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(w.modemPage->ui.initCommandEdit), "Inicialização do Modem:"); // its label
    EXPECT_EQ(name(w.modemPage->ui.nextButton), "Seguir >");                     // its text
    EXPECT_EQ(name(w.registrationPage->ui.cardBrandBox), "Cartão de Crédito");   // its hint
    EXPECT_EQ(name(w.welcomePage->ui.pagePicture), "O seu canal mais fácil com a INTERNET");
    EXPECT_EQ(name(w.modemPage->ui.pagePicture), w.modemPage->windowTitle()); // the caption
}

// ---------------------------------------------------------------------------------------
// The welcome page: background, message, sponsors; the licence

TEST_F(PagesTest, TheBackgroundCoversTheScreenInBandsFromBlueToBlack) {
    for (const int height : {768, 255, 1}) {
        const auto bands = backgroundBands(height);
        ASSERT_EQ(bands.size(), 256u);
        for (int i = 0; i < 256; ++i) {
            const BackgroundBand expected{i == 0 ? 0 : int((i - 1) * (height / 255.0)),
                                          int(height / 255.0 + 1), 255 - i};
            const auto& band = bands[std::size_t(i)];
            EXPECT_EQ(std::tie(band.top, band.height, band.blue),
                      std::tie(expected.top, expected.height, expected.blue))
                << height << " " << i;
        }
    }
    start();
    QWidget& back = *wizard->backdrop;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&back));
    QCoreApplication::processEvents();
    // The window's own canvas, cleared on another thread before: painted all over.
    const QImage shown = back.screen()->grabWindow(back.winId()).toImage();
    ASSERT_EQ(shown.size(), back.screen()->geometry().size());
    const auto bands = backgroundBands(shown.height());
    for (std::size_t i = 1; i + 1 < bands.size(); i += 7) {
        if (bands[i + 1].top != bands[i].top) {
            EXPECT_EQ(shown.pixelColor(shown.width() / 2, bands[i].top).blue(), bands[i].blue);
        }
    }
    EXPECT_EQ(shown.pixelColor(shown.width() - 1, 0), QColor(0, 0, 254)); // the second band's
    EXPECT_EQ(shown.pixelColor(0, shown.height() - 1), QColor(0, 0, 0));
    EXPECT_EQ(visiblePages(), QStringList{"WelcomePage"});
}

TEST_F(PagesTest, SponsorsAreReadFromTheirSectionsOnEveryShowing) {
    writeSetup("[Principal]\r\nMensagem=Primeira\r\n"
               "[Patro1]\r\nDiretorio=P1\r\nTexto=Loja\r\nImagem=LOGO.BMP\r\nPrograma=G.BMP\r\n"
               "[Patro2]\r\nDiretorio=P2\\\r\nTexto=Padaria\r\nImagem=FALTA.BMP\r\n"
               "[patro3]\r\nDiretorio=P1\r\ntexto=\r\nimagem=LOGO.BMP\r\n"
               "[Patro4]\r\nTexto=Na raiz\r\nImagem=RAIZ.BMP\r\n");
    writePicture(medium() / "P1" / "LOGO.BMP", Qt::red, {40, 30});
    writePicture(medium() / "RAIZ.BMP", Qt::green);
    start();
    WelcomePage& page = *wizard->welcomePage;
    // Each sponsor as "hint colour program", "hidden" for one not shown.
    const auto sponsors = [&] {
        std::vector<std::string> seen;
        for (int k = 1; k <= 5; ++k) {
            const QLabel& picture = *page.sponsorPicture(k);
            const QImage image = picture.pixmap().toImage();
            seen.push_back(picture.isVisibleTo(&page) ? picture.toolTip().toStdString() + " "
                                                      : std::string("hidden "));
            seen.back() += (image.isNull() ? "none" : image.pixelColor(0, 0).name().toStdString()) +
                           " " + page.sponsorProgram(k);
        }
        return seen;
    };
    // A directory gets its "\"; a missing picture leaves the area empty; no hint leaves the
    // sponsor hidden, its picture loaded all the same; no directory is the medium's root.
    EXPECT_EQ(sponsors(),
              (std::vector<std::string>{"Loja #ff0000 D:\\P1\\G.BMP", "Padaria none D:\\P2\\",
                                        "hidden #ff0000 D:\\P1\\", "Na raiz #00ff00 D:\\",
                                        "hidden none D:\\"}));
    EXPECT_EQ(page.sponsorPicture(1)->size(), QSize(64, 64)); // stretched to its area
    EXPECT_EQ(page.ui.messageLabel->text(), "Primeira");

    // Back from the licence, read again: an empty hint or message hides nothing shown before,
    // a missing picture keeps the old one, a picture that is no picture empties its area.
    writeSetup("[Principal]\r\nMensagem=\r\n[Patro1]\r\nTexto=Depois\r\nImagem=LOGO.BMP\r\n"
               "[Patro2]\r\nTexto=\r\nImagem=RAIZ.BMP\r\n[Patro4]\r\nTexto=\r\nImagem=SUMIU.BMP\r\n"
               "[Patro5]\r\nTexto=Novo\r\nImagem=RAIZ.BMP\r\n");
    writeFile(medium() / "LOGO.BMP", "BM this is no bitmap");
    page.ui.nextButton->click();
    wizard->licencePage->ui.backButton->click();
    EXPECT_EQ(sponsors(),
              (std::vector<std::string>{"Depois none D:\\", " #00ff00 D:\\", "hidden #ff0000 D:\\",
                                        " #00ff00 D:\\", "Novo #00ff00 D:\\"}));
    EXPECT_TRUE(page.ui.messageLabel->isVisible());
    EXPECT_EQ(page.ui.messageLabel->text(), "");
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(PagesTest, ADoubleClickedSponsorShowsItsPictureOrRunsItsProgram) {
    const fs::path trace = tmp / "trace.txt";
    writeSetup("[Patro1]\r\nTexto=Loja\r\nDiretorio=P1\r\nPrograma=grande.bmp\r\n"
               "[Patro2]\r\nTexto=Texto\r\nPrograma=LEIA.TXT\r\n"
               "[Patro3]\r\nTexto=Falta\r\nPrograma=NADA.BMP\r\n"
               "[Patro4]\r\nTexto=Jogo\r\nPrograma=jogo.exe\r\n"
               "[Patro5]\r\nTexto=Quebrado\r\nPrograma=QUEBRADO.EXE\r\n");
    writePicture(medium() / "P1" / "GRANDE.BMP", Qt::magenta, {120, 80});
    writeFile(medium() / "LEIA.TXT", "no picture");
    writeFile(medium() / "jogo.exe",
              "#!/bin/sh\nsleep 0.2\necho ran >> '" + trace.string() + "'\n");
    fs::permissions(medium() / "jogo.exe", fs::perms::owner_all);
    writeFile(medium() / "QUEBRADO.EXE", "MZ not for this machine");
    start();
    WelcomePage& welcome = *wizard->welcomePage;
    SponsorPictureWindow& picture = *wizard->sponsorPicture;
    const auto open = [&](int k) { QTest::mouseDClick(welcome.sponsorPicture(k), Qt::LeftButton); };
    open(3); // missing
    open(2); // no picture
    EXPECT_FALSE(picture.isVisible());
    open(1); // over the whole screen, unscaled and centred
    ASSERT_TRUE(picture.isVisible());
    const QRect screen = picture.screen()->geometry();
    EXPECT_EQ(picture.geometry(), screen);
    const QImage shown = picture.grab().toImage();
    EXPECT_EQ(shown.pixelColor(screen.width() / 2 + 58, screen.height() / 2), QColor(Qt::magenta));
    EXPECT_EQ(shown.pixelColor(screen.width() / 2 + 62, screen.height() / 2), QColor(Qt::black));
    QTest::mouseClick(picture.ui.sponsorPicture, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(picture.isVisible());
    EXPECT_TRUE(welcome.isVisible());
    EXPECT_TRUE(ui.calls.empty());

    // A program is waited for, the wizard minimised meanwhile; one that cannot start is reported.
    open(4);
    EXPECT_EQ(readFile(trace), "ran\n");
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"minimise", "restore"}));
    EXPECT_TRUE(ui.errors.empty());
    open(5);
    EXPECT_EQ(ui.calls.size(), 4u);
    EXPECT_EQ(ui.errors, std::vector<std::string>{
                             "N\xe3o foi poss\xedvel executar o programa D:\\QUEBRADO.EXE"});
}

// ---------------------------------------------------------------------------------------
// Registration

TEST_F(PagesTest, RegistrationMovesOnByHowCompleteTheFormIs) {
    using Field = std::pair<QLineEdit * Ui::RegistrationPage::*, const char*>;
    const Field name{&Ui::RegistrationPage::nameEdit, "Ana"},
        card{&Ui::RegistrationPage::cardNumberEdit, "4"},
        phone{&Ui::RegistrationPage::officePhoneEdit, "5"};
    const struct Row {
        const char* name;
        std::vector<Field> typed;
        bool confirmPrinting;
        std::string failAt, box, error;
        std::size_t modals, printed;
        std::string requests;
    } rows[] = {
        {"no telephone", {name, card}, true, "", kIncompleteRegistration, "", 0, 0, ""},
        {"only the address",
         {{&Ui::RegistrationPage::streetEdit, "Rua"}},
         true,
         "",
         "",
         "",
         0,
         0,
         "next"},
        {"complete", {name, phone, card}, true, "", "", "", 1, 17, "next"},
        {"print dialog cancelled", {name, phone, card}, false, "", "", "", 1, 0, "next"},
        {"printer fails", {name, phone, card}, true, "text", "", "printer on fire", 1, 3, ""},
    };
    startUp();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ui.boxes.clear();
        ui.modals.clear();
        ui.errors.clear();
        ui.modalAnswers.clear();
        printer.calls.clear();
        printer.chooseAnswers = {row.confirmPrinting};
        printer.failAt = row.failAt;
        RegistrationPage page(*platform, catalogue, choices);
        FaxNoticeDialog notice(*platform);
        QObject::connect(&page, &RegistrationPage::faxNoticeRequested,
                         [&] { ui.showModal(notice); });
        answerByClicking(notice.ui.okButton);
        Requests requests(page);
        for (const auto& [field, text] : row.typed)
            QTest::keyClicks(page.ui.*field, text);
        page.ui.cardBrandBox->setCurrentIndex(3);
        page.ui.nextButton->click();
        EXPECT_EQ(ui.boxes.empty() ? "" : ui.boxes[0].text + " | " + ui.boxes[0].caption,
                  row.box.empty() ? "" : row.box + " | Aviso");
        EXPECT_EQ(ui.errors.empty() ? "" : ui.errors[0], row.error);
        EXPECT_EQ(ui.modals.size(), row.modals);
        EXPECT_EQ(printer.calls.size(), row.printed);
        EXPECT_EQ(taken(requests), row.requests);
        // The form is kept in the choices whatever the outcome, the password suggested.
        EXPECT_EQ(choices.registration.name + choices.registration.street, row.typed[0].second);
        EXPECT_EQ(choices.registration.cardBrand + choices.registration.password, "AMEXsenha123");
    }
}

TEST_F(PagesTest, TheCardBrandIsPrintedOnlyWhenChosenFromTheListAndLimparClearsAll) {
    startUp();
    RegistrationPage page(*platform, catalogue, choices);
    page.show();
    for (QLineEdit* edit : {page.ui.nameEdit, page.ui.homePhoneEdit, page.ui.cardNumberEdit})
        edit->setText("x");
    QComboBox& brand = *page.ui.cardBrandBox;
    const auto printed = [&] {
        printer.calls.clear();
        page.ui.nextButton->click();
        return printer.calls.size() == 17 ? printer.calls[11] : "not printed";
    };
    const std::string none = "text 0,1004 Cart\xe3o     :";
    QTest::keyClicks(&brand, "Credicard"); // typed, not chosen
    EXPECT_EQ(printed(), none);
    brand.clearEditText(); // the first letter of an item, then Tab, completes nothing
    page.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    brand.setFocus();
    QTest::keyClicks(&brand, "s");
    QTest::keyClick(&brand, Qt::Key_Tab);
    EXPECT_EQ(printed(), none);
    brand.setCurrentIndex(1); // chosen, then typed over: the choice is gone
    brand.lineEdit()->selectAll();
    QTest::keyClicks(&brand, "Outra");
    EXPECT_EQ(brand.currentText(), "Outra");
    EXPECT_EQ(printed(), none);
    brand.setCurrentIndex(4);
    EXPECT_EQ(printed(), none + "Sollo");

    page.ui.clearButton->click();
    for (QLineEdit* edit : page.fields())
        EXPECT_EQ(edit->text(), "") << edit->objectName().toStdString();
    EXPECT_EQ(brand.currentIndex(), -1);
    EXPECT_EQ(brand.currentText(), "");
}

// ---------------------------------------------------------------------------------------
// Custom installation and the directory chooser

TEST_F(PagesTest, TheCustomPageShowsTenProgramsAndCountsEveryChange) {
    // Program N takes N * 100 kbytes and is preselected when N is odd.
    std::string ini = "[Principal]\r\nnavegai_size=3000\r\n";
    for (int n = 1; n <= 12; ++n)
        ini += "[Programa" + std::to_string(n) + "]\r\nnome=P" + std::to_string(n) +
               "\r\ninstala=" + std::to_string(n % 2) + "\r\ntamanho=" + std::to_string(n * 100) +
               "\r\n";
    writeSetup(ini);
    startUp();
    CustomInstallPage page(*platform, catalogue, choices);
    page.show();
    const auto box = [&](int n) { return page.programBoxes()[std::size_t(n - 1)]; };
    const auto line = [&] { return page.ui.spaceLabel->text().mid(19).toStdString(); };
    // Clicks land on the indicator: a wide box beyond its text is no button.
    const auto click = [](QAbstractButton* b) {
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    };
    EXPECT_EQ(box(10)->text(), "P10");
    EXPECT_EQ(line(), "5500k"); // 1, 3, 5, 7, 9 and the second browser
    click(box(1));
    click(box(10));
    EXPECT_EQ(line(), "6400k");
    click(page.ui.browserGroup->button(2));
    EXPECT_EQ(choices.browser, Browser::None);
    EXPECT_EQ(line(), "3400k");
    catalogue.entry(3).tamanho = -5000; // a click on the frame counts again
    QTest::mouseClick(page.ui.programsFrame, Qt::LeftButton, {}, QPoint(3, 100));
    EXPECT_EQ(line(), "-1900k");

    // "< Voltar" stores no box; "Seguir >" stores the ten shown, keeps the hidden ones and the
    // destination terminated, with the busy pointer meanwhile.
    const Choices before = choices;
    page.ui.destinationEdit->setText("E:\\Internet");
    page.ui.backButton->click();
    EXPECT_EQ(choices.programs, before.programs);
    EXPECT_EQ(choices.destination, before.destination);
    page.ui.nextButton->click();
    for (int n = 1; n <= 12; ++n)
        EXPECT_EQ(choices.installs(n), n == 10 || (n % 2 == 1 && n != 1)) << n;
    EXPECT_EQ(choices.destination, "E:\\Internet\\");
    EXPECT_EQ(ui.cursorHistory, (std::vector<bool>{true, false}));
}

class ChooserTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        fs::create_directories(medium() / "KIT" / "SUB");
        fs::create_directories(medium() / "Outro");
        fs::create_directories(driveC() / "Dados");
        // Drive E: is a drive without a medium: its link leads nowhere.
        fs::create_directories(prefix / "dosdevices");
        fs::create_symlink(tmp / "no medium", prefix / "dosdevices" / "e:");
        makeMachine();
        makeWizard();
    }
    DirectoryChooser& chooser() { return *wizard->directoryChooser; }
    QListWidget& list() { return *chooser().ui.directoryList; }
    std::string lines() {
        std::string texts = chooser().ui.directoryLabel->text().toStdString() + ":";
        for (int i = 0; i < list().count(); ++i)
            texts += " " + list().item(i)->text().toStdString();
        return texts;
    }
    void open(const QString& text) { // a double click: a click, then the double click
        const auto found = list().findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        const QPoint at = list().visualItemRect(found.first()).center();
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list().viewport(), Qt::LeftButton, {}, at);
    }
    void pickDrive(char letter) {
        QComboBox& box = *chooser().ui.driveBox;
        box.setCurrentIndex(box.findText(QString(QLatin1Char(letter)) + ':'));
        emit box.activated(box.currentIndex());
    }
};

TEST_F(ChooserTest, MovesLineByLineAndRemembersEachDrive) {
    chooser().show();
    EXPECT_EQ(lines(), "D:\\: d:\\ KIT Outro"); // where the program started
    EXPECT_EQ(chooser().ui.driveBox->currentText(), "d:");
    open("KIT");
    EXPECT_EQ(lines(), "D:\\KIT: d:\\ KIT SUB");
    EXPECT_EQ(list().currentItem()->text(), "KIT");
    list().setCurrentRow(2);
    QTest::keyClick(&list(), Qt::Key_Return); // opens the line, does not end the dialog
    EXPECT_TRUE(chooser().isVisible());
    QTest::mouseClick(list().viewport(), Qt::LeftButton, {},
                      list().visualItemRect(list().item(0)).center()); // a click only marks
    EXPECT_EQ(lines(), "D:\\KIT\\SUB: d:\\ KIT SUB");
    open("d:\\");
    open("Outro");
    pickDrive('e');
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Este drive e/ou diret\xf3rio n\xe3o est\xe1 dispon\xedvel");
    EXPECT_EQ(ui.boxes[0].caption, "Instala\xe7\xe3o Personalizada");
    EXPECT_EQ(lines(), "D:\\Outro: d:\\ Outro");
    pickDrive('d'); // the list's own drive: nothing
    pickDrive('c'); // another: its current directory
    EXPECT_EQ(lines().rfind("C:\\: c:\\ ", 0), 0u);
    EXPECT_NE(lines().find(" Dados"), std::string::npos);
    pickDrive('d'); // back where the list left it
    EXPECT_EQ(lines(), "D:\\Outro: d:\\ Outro");
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(machine().currentDirectory(), "D:\\"); // the wizard's own never moved
}

TEST_F(ChooserTest, AnEntryGoneMeanwhileIsReportedAndOnlyAConfirmedChoiceIsTaken) {
    CustomInstallPage& custom = *wizard->customInstallPage;
    const auto choose = [&](const std::function<void()>& work, QPushButton* end) {
        ui.answerModal([work, end](QDialog&) {
            work();
            end->click();
            return ModalResult::Other; // ignored: the click has ended the dialog
        });
        custom.ui.chooseFolderButton->click();
    };
    choose(
        [&] {
            fs::remove_all(medium() / "KIT");
            open("KIT");
            EXPECT_EQ(ui.errors.size(), 1u);
            EXPECT_EQ(lines(), "D:\\: d:\\ KIT Outro");
            open("Outro"); // a drive whose directory went away opens on its root
            pickDrive('c');
            fs::remove_all(medium() / "Outro");
            pickDrive('d');
            EXPECT_EQ(lines(), "D:\\: d:\\");
        },
        chooser().ui.cancelButton);
    EXPECT_EQ(custom.ui.destinationEdit->text(), "C:\\Program Files\\KIT\\");
    EXPECT_TRUE(ui.boxes.empty());
    fs::create_directories(medium() / "KIT");
    choose([&] { open("KIT"); }, chooser().ui.confirmButton);
    EXPECT_EQ(custom.ui.destinationEdit->text(), "D:\\KIT");
    EXPECT_EQ(wizard->choices.destination, "D:\\KIT\\");
}

// ---------------------------------------------------------------------------------------
// Connection, copy and finish

TEST_F(PagesTest, TheConnectionPageNeedsOnlyAPort) {
    startUp();
    ModemPage page(*platform, choices);
    Requests requests(page);
    page.ui.nextButton->click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text + " | " + ui.boxes[0].caption,
              "Voc\xea precisa selecionar uma porta serial | Porta Serial");
    page.ui.portGroup->button(3)->click();
    page.ui.initCommandEdit->setText(QStringLiteral("AT&F Ç"));
    page.ui.dialCommandEdit->clear();
    page.ui.nextButton->click();
    EXPECT_EQ(taken(requests), "next");
    EXPECT_EQ(choices.modem.port, 3);
    EXPECT_EQ(choices.modem.initCommand, "AT&F \xc7");
    EXPECT_EQ(choices.modem.dialCommand, "");
}

class CopyPageTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        for (const char* file : {"DISC/TCPMAN.EXE", "DISC/WINSOCK.DLL", "NEWS/NEWS.EXE",
                                 "NEWS/NEWSCTL.DLL", "UPDATE/ZELUP.EXE", "UPDATE/DESINST.EXE"})
            writeFile(medium() / file, file);
        writeFile(medium() / "DISC" / "TRUMPWSK.INI", "[Trumpet Winsock]\r\nslip-port=1\r\n");
        fs::create_directories(prefix / "dosdevices"); // E: points nowhere: no free space
        fs::create_symlink(tmp / "missing", prefix / "dosdevices" / "e:");
        makeMachine();
        startUp();
        choices.modem = {2, "AT&F", "ATDT5550100"};
        page = std::make_unique<CopyPage>(*platform, catalogue, choices);
        page->show();
        requests = std::make_unique<Requests>(*page);
        // What the page shows each time its program line is painted.
        page->ui.programStatusLabel->installEventFilter(&recorder);
        page->ui.fileStatusLabel->installEventFilter(&recorder);
        recorder.page = page.get();
    }
    // Only the text, the picture and the usable buttons are up, the pointer the default one.
    void expectIdle() {
        const auto& u = page->ui;
        for (const QWidget* widget :
             std::initializer_list<const QWidget*>{u.sweepLabel, u.overallGauge, u.fileGauge,
                                                   u.programStatusLabel, u.fileStatusLabel})
            EXPECT_FALSE(widget->isVisibleTo(page.get())) << widget->objectName().toStdString();
        EXPECT_TRUE(u.nextButton->isEnabled() && u.exitButton->isEnabled() &&
                    u.backButton->isEnabled());
        EXPECT_FALSE(ui.busy());
    }
    std::string dialerSettings() {
        return readFile(driveC() / "Program Files" / "KIT" / "DISC" / "TRUMPWSK.INI");
    }

    struct Recorder : QObject {
        CopyPage* page = nullptr;
        std::vector<std::string> shots;
        bool eventFilter(QObject*, QEvent* event) override {
            const auto& u = page->ui;
            if (event->type() == QEvent::Paint)
                shots.push_back(
                    u.programStatusLabel->text().toStdString() + " | " +
                    u.fileStatusLabel->text().toStdString() + " " +
                    std::to_string(u.overallGauge->position()) + "/" +
                    std::to_string(u.overallGauge->maximum()) + " " +
                    std::to_string(u.fileGauge->position()) + "/" +
                    std::to_string(u.fileGauge->maximum()) +
                    (u.nextButton->isEnabled() || u.backButton->isEnabled() ? " usable" : ""));
            return false;
        }
    } recorder;
    std::unique_ptr<CopyPage> page;
    std::unique_ptr<Requests> requests;
};

TEST_F(CopyPageTest, TheRunShowsItsProgressWithTheButtonsOffAndMovesOn) {
    std::string preparing; // at the first pending-event pass, while the page sweeps the machine
    QTimer::singleShot(0, page.get(), [&] {
        preparing = std::string(page->ui.sweepLabel->isVisible() ? "notice" : "") +
                    (page->ui.overallGauge->isVisible() ? " gauges" : "") +
                    (page->ui.nextButton->isEnabled() ? " usable" : "") +
                    (ui.busy() ? " busy" : "");
    });
    page->ui.nextButton->click();
    EXPECT_EQ(preparing, "notice busy");
    // One step a program, one a file of the current program, every line with the buttons off.
    EXPECT_EQ(recorder.shots,
              (std::vector<std::string>{" |  0/100 0/100", " |  0/100 0/100",
                                        "Instalando Discador |  0/2 0/3",
                                        "Instalando Discador | \tCopiando TCPMAN.EXE 0/2 1/3",
                                        "Instalando Discador | \tCopiando TRUMPWSK.IN 0/2 2/3",
                                        "Instalando Discador | \tCopiando WINSOCK.DLL 0/2 3/3",
                                        "Instalando Notícias | \tCopiando WINSOCK.DLL 1/2 0/2",
                                        "Instalando Notícias | \tCopiando NEWS.EXE 1/2 1/2",
                                        "Instalando Notícias | \tCopiando NEWSCTL.DLL 1/2 2/2"}));
    EXPECT_EQ(dialerSettings(), "[Trumpet Winsock]\r\nslip-port=3\r\n"
                                "[ZEL Internet]\r\n$modemsetup=AT&F\r\n$phone=ATDT5550100\r\n");
    expectIdle();
    EXPECT_EQ(ui.cursorHistory, (std::vector<bool>{true, false}));
    EXPECT_EQ(taken(*requests), "next");
    EXPECT_TRUE(ui.boxes.empty() && ui.errors.empty());
}

TEST_F(CopyPageTest, AQuestionCancelledOrAFailedCopyLeaveThePageUsableForAnotherTry) {
    choices.destination = "E:\\KIT\\";
    ui.answerMessage(ModalResult::Other);
    page->ui.nextButton->click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "Espa\xe7o em disco");
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::OkCancel);
    expectIdle();
    EXPECT_TRUE(ui.cursorHistory.empty() && ui.errors.empty() && recorder.shots.empty());

    choices.destination = "C:\\Program Files\\KIT\\";
    fs::remove(medium() / "NEWS" / "NEWS.EXE");
    page->ui.nextButton->click();
    EXPECT_EQ(ui.errors, std::vector<std::string>{"Erro copiando arquivo D:\\NEWS\\NEWS.EXE para "
                                                  "C:\\Program Files\\KIT\\NEWS.EXE"});
    expectIdle();
    EXPECT_EQ(dialerSettings(), "[Trumpet Winsock]\r\nslip-port=1\r\n"); // not configured
    writeFile(medium() / "NEWS" / "NEWS.EXE", "news");
    recorder.shots.clear();
    page->ui.nextButton->click();
    ASSERT_FALSE(recorder.shots.empty());
    EXPECT_EQ(recorder.shots.front(), " |  0/2 0/2"); // not from where the first try stopped
    EXPECT_EQ(taken(*requests), "next");
    expectIdle();
}

// Without Program Manager the groups are lost: the user is told which, once, and the wizard
// ends as it would have.
TEST_F(PagesTest, TheFinishPageSaysWhatProgramManagerDidNotCreate) {
    fs::remove(driveC() / "WINDOWS" / "PROGMAN.EXE");
    fs::create_directories(driveC() / "Program Files" / "KIT");
    startUp();
    choices.browser = Browser::None;
    FinishPage page(*platform, catalogue, choices);
    Requests requests(page);
    page.ui.finishButton->click();
    EXPECT_EQ(taken(requests), "next");
    EXPECT_EQ(ui.errors, std::vector<std::string>{});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, kProgmanLossCaption);
    EXPECT_EQ(ui.boxes[0].icon, MsgIcon::Warning);
    EXPECT_EQ(ui.boxes[0].text,
              progmanLoss({lostGroupLine("StartUp"), lostItemLine("ZEL Update", "StartUp"),
                           lostGroupLine("ZEL Internet"), lostItemLine("Discador", "ZEL Internet"),
                           lostItemLine("Not\xed"
                                        "cias",
                                        "ZEL Internet")}));
}

} // namespace
} // namespace zel::test
