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
    "cias\r\ninstala=1\r\ntamanho=1200\r\ndiretorio=NEWS\\\r\nArquivo1=NEWS.EXE\r\n";

// The requests a window makes, as "next", "back" and "exit" in the order made.
struct Requests : QObject {
    explicit Requests(QWidget* window) {
        auto* page = qobject_cast<PageWindow*>(window);
        connect(page, &PageWindow::nextRequested, this, [this] { made += " next"; });
        connect(page, &PageWindow::backRequested, this, [this] { made += " back"; });
        connect(page, &PageWindow::exitRequested, this, [this] { made += " exit"; });
    }
    std::string take() { // the requests made since the last look
        const std::string taken = std::exchange(made, "");
        return taken.empty() ? taken : taken.substr(1);
    }
    std::string made;
};

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

TEST_F(PagesTest, TheFormsShowWhatTheStartUpFound) {
    writeRegistry("System\\CurrentControlSet\\Services\\Class\\Modem\\0000", "AttachedTo", "COM2");
    Wizard& w = makeWizard();
    const auto& custom = w.customInstallPage->ui;
    QStringList shown;
    for (const QCheckBox* box : w.customInstallPage->programBoxes())
        shown << (box->isVisibleTo(w.customInstallPage.get()) ? box->text() : "") +
                     (box->isChecked() ? "+" : "");
    // No C:\WINDOWS\config.exe: the second browser, counted in the space line.
    shown << custom.destinationEdit->text() << custom.browserGroup->items().join(", ")
          << QString::number(custom.browserGroup->itemIndex()) << custom.spaceLabel->text()
          << w.registrationPage->ui.passwordEdit->text()
          << w.registrationPage->ui.introLabel->text()
          << w.licencePage->ui.licenceText->toPlainText()
          << QString::number(w.modemPage->ui.portGroup->itemIndex())
          << w.modemPage->ui.dialCommandEdit->text()
          << QString::number(w.installTypePage->ui.installationTypeGroup->itemIndex())
          << w.welcomePage->windowTitle();
    EXPECT_EQ(shown.join(" | "),
              "Discador+ | Correio eletrônico | Notícias+ |  |  |  |  |  |  |  | "
              "C:\\Program Files\\KIT\\ | Navegador P, Navegador I, Não instalar "
              "navegador | 1 | Espaço necessário: 4700k | senha123 | Cadastre-se "
              "já! | Um\nDois\nTrês\n\nQuatro | 1 | ATDP5550100 | 0 | ZEL - "
              "Windows 95/NT");
    EXPECT_EQ(sound.played, std::vector<std::string>{"D:\\SOM\\INICIO.WAV"});
    EXPECT_TRUE(visiblePages().isEmpty());
    // The connection page keeps the port as picked: past the last, the last; none for none.
    w.modemPage->ui.portGroup->setItemIndex(9);
    EXPECT_EQ(w.choices.modem.port, 3);
    w.modemPage->ui.portGroup->setItemIndex(-4);
    EXPECT_EQ(w.choices.modem.port, std::nullopt);
    w.welcomePage->ui.exitButton->click(); // "Sair" there ends the wizard without asking
    EXPECT_TRUE(ui.quitRequested());
    EXPECT_TRUE(ui.modals.empty() && ui.errors.empty());
}

TEST_F(PagesTest, EveryRequestLeadsWhereThePageFlowSays) {
    Wizard& w = makeWizard();
    for (int choice = 0; choice < 8; ++choice) { // typical or custom, dialer or not, port or not
        w.choices.installation = InstallationType(choice & 1);
        w.choices.programs[0] = (choice & 2) != 0;
        w.choices.modem.port = choice & 4 ? std::optional<int>(1) : std::nullopt;
        for (int p = int(Page::Welcome); p <= int(Page::Finish); ++p) {
            PageWindow& form = w.window(Page(p));
            for (const bool next : {false, Page(p) != Page::Finish}) {
                form.show();
                emit(next ? form.nextRequested() : form.backRequested());
                const auto to =
                    next ? nextPage(Page(p), w.choices) : previousPage(Page(p), w.choices);
                EXPECT_EQ(visiblePages(), QStringList{(to ? w.window(*to) : form).objectName()})
                    << next << " from " << form.objectName().toStdString() << " " << choice;
                for (QWidget* shown : QApplication::topLevelWidgets())
                    shown->hide();
            }
        }
    }
    EXPECT_FALSE(ui.quitRequested());
    emit w.finishPage->nextRequested(); // past the finish page the wizard ends
    EXPECT_TRUE(ui.quitRequested());
}

// "Sair" asks first, the question starting on "Não" every time; only "Sim" ends the wizard.
TEST_F(PagesTest, EveryButtonMakesItsRequestAndSairAsksFirst) {
    Wizard& w = makeWizard();
    ExitConfirmDialog& confirm = *w.exitConfirmDialog;
    const std::tuple<QPushButton*, const char*, std::function<void()>> rows[] = {
        {w.welcomePage->ui.nextButton, "next", {}},
        {w.licencePage->ui.nextButton, "next", {}},
        {w.licencePage->ui.backButton, "back", {}},
        {w.registrationPage->ui.backButton, "back", {}},
        {w.installTypePage->ui.nextButton, "next", {}},
        {w.installTypePage->ui.backButton, "back", {}},
        {w.customInstallPage->ui.backButton, "back", {}},
        {w.modemPage->ui.backButton, "back", {}},
        {w.copyPage->ui.backButton, "back", {}},
        {w.installTypePage->ui.exitButton, "exit", [&] { confirm.ui.noButton->click(); }},
        {w.customInstallPage->ui.exitButton, "exit", [&] { confirm.close(); }},
        {w.modemPage->ui.exitButton, "exit", [&] { QTest::keyClick(&confirm, Qt::Key_Escape); }},
        {w.copyPage->ui.exitButton, "exit", [&] { confirm.ui.yesButton->click(); }},
    };
    for (const auto& [button, request, answer] : rows) {
        Requests requests(button->window());
        EXPECT_FALSE(ui.quitRequested());
        if (answer)
            ui.answerModal([&, answer = answer](QDialog&) {
                EXPECT_EQ(confirm.focusWidget(), confirm.ui.noButton);
                confirm.ui.yesButton->setFocus();
                answer();
                return ModalResult::Other; // ignored: the answer has ended the dialog
            });
        button->click();
        EXPECT_EQ(requests.take(), request) << button->window()->objectName().toStdString();
    }
    std::vector<ModalResult> results;
    for (const auto& modal : ui.modals)
        results.push_back(modal.result);
    EXPECT_EQ(results, (std::vector<ModalResult>{ModalResult::Other, ModalResult::Other,
                                                 ModalResult::Other, ModalResult::Confirm}));
    // A page ignores Escape, Enter in a field and the close box; Enter presses a focused button.
    RegistrationPage& page = *w.registrationPage;
    Requests requests(&page);
    page.show();
    QTest::keyClick(page.ui.nameEdit, Qt::Key_Return);
    QTest::keyClick(&page, Qt::Key_Escape);
    page.close();
    EXPECT_TRUE(page.isVisible());
    page.ui.backButton->setFocus();
    QTest::keyClick(page.ui.backButton, Qt::Key_Return);
    EXPECT_EQ(requests.take(), "back");
}

// ---------------------------------------------------------------------------------------
// The welcome page: background and sponsors

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
    const auto sponsors = [&] { // the message, then each as "hint colour program"
        std::string seen = page.ui.messageLabel->text().toStdString() + ": ";
        for (int k = 1; k <= 5; ++k) {
            const QLabel& picture = *page.sponsorPicture(k);
            const QImage image = picture.pixmap().toImage();
            seen += (picture.isVisibleTo(&page) ? picture.toolTip().toStdString() : "hidden") +
                    " " + (image.isNull() ? "none" : image.pixelColor(0, 0).name().toStdString()) +
                    " " + page.sponsorProgram(k) + "; ";
        }
        return seen;
    };
    // A directory gets its "\"; a missing picture leaves the area empty; no hint leaves the
    // sponsor hidden, its picture loaded all the same; no directory is the medium's root.
    EXPECT_EQ(sponsors(), "Primeira: Loja #ff0000 D:\\P1\\G.BMP; Padaria none D:\\P2\\; hidden "
                          "#ff0000 D:\\P1\\; Na raiz #00ff00 D:\\; hidden none D:\\; ");
    EXPECT_EQ(page.sponsorPicture(1)->size(), QSize(64, 64)); // stretched over its area
    // The background behind, painted whole from blue at the top to black.
    QWidget& back = *wizard->backdrop;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&back));
    const QImage shown = back.screen()->grabWindow(back.winId()).toImage();
    EXPECT_EQ(shown.pixelColor(shown.width() - 1, 0), QColor(0, 0, 254)); // the second band's
    EXPECT_EQ(shown.pixelColor(0, shown.height() - 1), QColor(0, 0, 0));
    // Back from the licence, read again: an empty hint or message hides nothing shown before,
    // a missing picture keeps the old one, a picture that is no picture empties its area.
    writeSetup("[Principal]\r\nMensagem=\r\n[Patro1]\r\nTexto=Depois\r\nImagem=LOGO.BMP\r\n"
               "[Patro2]\r\nTexto=\r\nImagem=RAIZ.BMP\r\n[Patro4]\r\nTexto=\r\nImagem=SUMIU.BMP\r\n"
               "[Patro5]\r\nTexto=Novo\r\nImagem=RAIZ.BMP\r\n");
    writeFile(medium() / "LOGO.BMP", "BM this is no bitmap");
    page.ui.nextButton->click();
    wizard->licencePage->ui.backButton->click();
    EXPECT_EQ(sponsors(), ": Depois none D:\\;  #00ff00 D:\\; hidden #ff0000 D:\\;  #00ff00 D:\\; "
                          "Novo #00ff00 D:\\; ");
    EXPECT_TRUE(page.ui.messageLabel->isVisible());
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(PagesTest, ADoubleClickedSponsorShowsItsPictureOrRunsItsProgram) {
    const fs::path trace = tmp / "trace.txt";
    writeSetup("[Patro1]\r\nTexto=A\r\nDiretorio=P1\r\nPrograma=grande.bmp\r\n[Patro2]\r\nTexto=B"
               "\r\nPrograma=LEIA.TXT\r\n[Patro3]\r\nTexto=C\r\nPrograma=NADA.BMP\r\n[Patro4]\r\n"
               "Texto=D\r\nPrograma=jogo.exe\r\n[Patro5]\r\nTexto=E\r\nPrograma=QUEBRADO.EXE\r\n");
    writePicture(medium() / "P1" / "GRANDE.BMP", Qt::magenta, {120, 80});
    writeFile(medium() / "LEIA.TXT", "no picture");
    writeFile(medium() / "jogo.exe",
              "#!/bin/sh\nsleep 0.2\necho ran >> '" + trace.string() + "'\n");
    fs::permissions(medium() / "jogo.exe", fs::perms::owner_all);
    writeFile(medium() / "QUEBRADO.EXE", "MZ not for this machine");
    start();
    SponsorPictureWindow& picture = *wizard->sponsorPicture;
    const auto open = [&](int k) {
        QTest::mouseDClick(wizard->welcomePage->sponsorPicture(k), Qt::LeftButton);
    };
    open(3); // missing
    open(2); // no picture
    EXPECT_FALSE(picture.isVisible());
    open(1); // over the whole screen, unscaled and centred
    const QRect screen = picture.screen()->geometry();
    EXPECT_EQ(picture.geometry(), screen);
    const QImage shown = picture.grab().toImage();
    EXPECT_EQ(shown.pixelColor(screen.width() / 2 + 58, screen.height() / 2), QColor(Qt::magenta));
    EXPECT_EQ(shown.pixelColor(screen.width() / 2 + 62, screen.height() / 2), QColor(Qt::black));
    QTest::mouseClick(picture.ui.sponsorPicture, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(visiblePages(), QStringList{"WelcomePage"});
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
// Registration, custom installation and the directory chooser

// What "Seguir >" does with the form: stays with a message, moves on without registering, or
// shows the notice and prints (the card brand only when chosen from the list).
TEST_F(PagesTest, RegistrationMovesOnByHowCompleteTheFormIs) {
    using Field = std::pair<QLineEdit * Ui::RegistrationPage::*, const char*>;
    const Field name{&Ui::RegistrationPage::nameEdit, "Ana"},
        card{&Ui::RegistrationPage::cardNumberEdit, "4"},
        phone{&Ui::RegistrationPage::officePhoneEdit, "5"};
    const auto chosen = [](QComboBox& brand) { brand.setCurrentIndex(3); };
    const struct {
        std::vector<Field> typed;
        std::function<void(QComboBox&)> brand;
        bool confirmPrinting;
        std::string failAt, outcome; // requests, notices, printing calls, brand, messages
    } rows[] = {
        {{name, card}, chosen, true, "", "[] 0 0 AMEX box " + std::string(kIncompleteRegistration)},
        {{{&Ui::RegistrationPage::streetEdit, "Rua"}}, chosen, true, "", "[next] 0 0 AMEX"},
        {{name, phone, card}, chosen, true, "", "[next] 1 17 AMEX printed AMEX"},
        {{name, phone, card}, chosen, false, "", "[next] 1 0 AMEX"},
        {{name, phone, card}, chosen, true, "text", "[] 1 3 AMEX error printer on fire"},
        {{name, phone, card},
         [](QComboBox& b) { QTest::keyClicks(&b, "Credicard"); },
         true,
         "",
         "[next] 1 17  printed "}, // typed, not chosen
        {{name, phone, card},
         [](QComboBox& b) {
             b.setCurrentIndex(1); // chosen, then typed over: the choice is gone
             b.lineEdit()->selectAll();
             QTest::keyClicks(&b, "Outra");
         },
         true,
         "",
         "[next] 1 17  printed "},
    };
    startUp();
    for (const auto& row : rows) {
        ui.boxes.clear(), ui.modals.clear(), ui.errors.clear(), ui.modalAnswers.clear();
        printer.calls.clear();
        printer.chooseAnswers = {row.confirmPrinting};
        printer.failAt = row.failAt;
        RegistrationPage page(*platform, catalogue, choices);
        FaxNoticeDialog notice(*platform);
        QObject::connect(&page, &RegistrationPage::faxNoticeRequested,
                         [&] { ui.showModal(notice); });
        answerByClicking(notice.ui.okButton);
        Requests requests(&page);
        for (const auto& [field, text] : row.typed)
            QTest::keyClicks(page.ui.*field, text);
        row.brand(*page.ui.cardBrandBox);
        page.ui.nextButton->click();
        // The form is kept in the choices whatever the outcome, the password suggested.
        std::string outcome = "[" + requests.take() + "] " + std::to_string(ui.modals.size()) +
                              " " + std::to_string(printer.calls.size()) + " " +
                              choices.registration.cardBrand;
        if (printer.calls.size() == 17)
            outcome +=
                " printed " + printer.calls[11].substr(std::strlen("text 0,1004 Cart\xe3o     :"));
        for (const auto& box : ui.boxes)
            outcome += " box " + box.text + (box.caption == "Aviso" ? "" : " | " + box.caption);
        for (const auto& error : ui.errors)
            outcome += " error " + error;
        EXPECT_EQ(outcome, row.outcome);
        EXPECT_EQ(choices.registration.name + choices.registration.street, row.typed[0].second);
        EXPECT_EQ(choices.registration.password, "senha123");
        page.ui.clearButton->click(); // "Limpar" empties every field and the brand
        QString left = page.ui.cardBrandBox->currentText();
        for (QLineEdit* edit : page.fields())
            left += edit->text();
        EXPECT_EQ(left, "");
    }
}

TEST_F(PagesTest, TheCustomPageShowsTenProgramsAndCountsEveryChange) {
    std::string ini = "[Principal]\r\nnavegai_size=3000\r\n";
    for (int n = 1; n <= 12; ++n) // program N takes N * 100k and is preselected when odd
        ini += "[Programa" + std::to_string(n) + "]\r\nnome=P" + std::to_string(n) +
               "\r\ninstala=" + std::to_string(n % 2) + "\r\ntamanho=" + std::to_string(n * 100) +
               "\r\n";
    writeSetup(ini);
    startUp();
    CustomInstallPage page(*platform, catalogue, choices);
    page.show();
    const auto box = [&](int n) { return page.programBoxes()[std::size_t(n - 1)]; };
    const auto line = [&] { return page.ui.spaceLabel->text().mid(19).toStdString(); };
    const auto click = [](QAbstractButton* b) { // on the indicator: the rest is no button
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    };
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
    // "< Voltar" stores no box; "Seguir >" the ten shown, keeping the hidden ones, and the
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

TEST_F(PagesTest, TheChooserMovesLineByLineAndOnlyAConfirmedChoiceIsTaken) {
    fs::create_directories(medium() / "KIT" / "SUB");
    fs::create_directories(medium() / "Outro");
    fs::create_directories(prefix / "dosdevices"); // E: is a drive without a medium
    fs::create_symlink(tmp / "no medium", prefix / "dosdevices" / "e:");
    makeMachine();
    makeWizard();
    DirectoryChooser& chooser = *wizard->directoryChooser;
    QListWidget& list = *chooser.ui.directoryList;
    const auto lines = [&] { // the directory shown, then the lines of the list
        std::string texts = chooser.ui.directoryLabel->text().toStdString() + ":";
        for (int i = 0; i < list.count(); ++i)
            texts += " " + list.item(i)->text().toStdString();
        return texts;
    };
    const auto open = [&](int row) { // a double click: a click, then the double click
        const QPoint at = list.visualItemRect(list.item(row)).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
    };
    const auto drive = [&](const char* name) {
        chooser.ui.driveBox->setCurrentText(name);
        emit chooser.ui.driveBox->activated(chooser.ui.driveBox->currentIndex());
    };
    ui.answerModal([&](QDialog&) {
        std::string seen = lines(); // where the program started
        open(1);
        list.setCurrentRow(2);
        QTest::keyClick(&list, Qt::Key_Return); // opens the line, does not end the dialog
        seen += " > " + lines();
        open(0);
        open(2);
        drive("e:"); // refused, the list stays
        seen += " > " + lines();
        drive("c:"); // another drive: its current directory; back on D: where it was left
        seen += " > " + lines().substr(0, 9);
        drive("d:");
        open(0);
        fs::remove_all(medium() / "KIT"); // gone meanwhile: reported, the list stays
        open(1);
        seen += " > " + lines();
        open(2);
        drive("c:"); // a drive whose directory went away opens on its root
        fs::remove_all(medium() / "Outro");
        drive("d:");
        EXPECT_EQ(seen + " > " + lines(),
                  "D:\\: d:\\ KIT Outro > D:\\KIT\\SUB: d:\\ KIT SUB > D:\\Outro: d:\\ Outro > "
                  "C:\\: c:\\  > D:\\: d:\\ KIT Outro > D:\\: d:\\");
        chooser.ui.cancelButton->click();
        return ModalResult::Other; // ignored: the click has ended the dialog
    });
    wizard->customInstallPage->ui.chooseFolderButton->click();
    EXPECT_EQ(wizard->customInstallPage->ui.destinationEdit->text(), "C:\\Program Files\\KIT\\");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text + " | " + ui.boxes[0].caption,
              "Este drive e/ou diret\xf3rio n\xe3o est\xe1 dispon\xedvel | Instala\xe7\xe3o "
              "Personalizada");
    EXPECT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(machine().currentDirectory(), "D:\\"); // the wizard's own never moved
    answerByClicking(chooser.ui.confirmButton);
    wizard->customInstallPage->ui.chooseFolderButton->click();
    EXPECT_EQ(wizard->customInstallPage->ui.destinationEdit->text(), "D:\\");
    EXPECT_EQ(wizard->choices.destination, "D:\\");
}

// ---------------------------------------------------------------------------------------
// Copy and finish

TEST_F(PagesTest, TheCopyPageShowsItsProgressAndStaysUsableAfterACancelOrAFailure) {
    for (const char* file : {"DISC/TCPMAN.EXE", "DISC/WINSOCK.DLL", "UPDATE/ZELUP.EXE",
                             "UPDATE/DESINST.EXE", "DISC/TRUMPWSK.INI"})
        writeFile(medium() / file, file);
    startUp();
    choices.modem = {2, "AT&F", "ATDT5550100"};
    CopyPage page(*platform, catalogue, choices);
    page.show();
    Requests requests(&page);
    const auto& u = page.ui;
    struct Recorder : QObject { // what the page shows each time a status line is painted
        std::function<QString()> shot;
        QStringList shots;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                shots << shot();
            return false;
        }
    } recorder;
    recorder.shot = [&] {
        return QString("%1 | %2 %3% %4%%5")
            .arg(u.programStatusLabel->text(), u.fileStatusLabel->text())
            .arg(u.overallGauge->percent())
            .arg(u.fileGauge->percent())
            .arg(u.nextButton->isEnabled() || u.backButton->isEnabled() ? " usable" : "");
    };
    u.programStatusLabel->installEventFilter(&recorder);
    u.fileStatusLabel->installEventFilter(&recorder);
    const auto idle = [&] { // only the text, the picture and the usable buttons are up
        return u.readyLabel->isVisibleTo(&page) && u.nextButton->isEnabled() &&
               u.exitButton->isEnabled() && !u.sweepLabel->isVisibleTo(&page) &&
               !u.overallGauge->isVisibleTo(&page) && !u.fileGauge->isVisibleTo(&page) &&
               !u.programStatusLabel->isVisibleTo(&page) && !ui.busy();
    };
    // Less space than needed on Q:, which is no drive, and the question cancelled: nothing done.
    choices.destination = "Q:\\KIT\\";
    ui.answerMessage(ModalResult::Other);
    u.nextButton->click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "Espa\xe7o em disco");
    EXPECT_TRUE(idle() && recorder.shots.empty() && ui.cursorHistory.empty());
    // A file missing: reported, the page usable, the dialer not configured.
    choices.destination = "C:\\Program Files\\KIT\\";
    u.nextButton->click();
    EXPECT_EQ(ui.errors, std::vector<std::string>{"Erro copiando arquivo D:\\NEWS\\NEWS.EXE para "
                                                  "C:\\Program Files\\KIT\\NEWS.EXE"});
    EXPECT_TRUE(idle());
    const fs::path dialer = driveC() / "Program Files" / "KIT" / "DISC" / "TRUMPWSK.INI";
    EXPECT_EQ(readFile(dialer), "DISC/TRUMPWSK.INI");
    // Put in place, the same button again: progress from the start, one step a program and one
    // a file, every line with the buttons off; the connection page's answers for the dialer.
    writeFile(medium() / "NEWS" / "NEWS.EXE", "news");
    recorder.shots.clear();
    u.nextButton->click();
    EXPECT_EQ(recorder.shots.join("\n"), " |  0% 0%\n |  0% 0%\nInstalando Discador |  0% 0%\n"
                                         "Instalando Discador | \tCopiando TCPMAN.EXE 0% 33%\n"
                                         "Instalando Discador | \tCopiando TRUMPWSK.IN 0% 66%\n"
                                         "Instalando Discador | \tCopiando WINSOCK.DLL 0% 100%\n"
                                         "Instalando Notícias | \tCopiando WINSOCK.DLL 50% 0%\n"
                                         "Instalando Notícias | \tCopiando NEWS.EXE 50% 100%");
    EXPECT_EQ(readFile(dialer), "DISC/TRUMPWSK.INI\r\n[Trumpet Winsock]\r\nslip-port=3\r\n[ZEL "
                                "Internet]\r\n$modemsetup=AT&F\r\n$phone=ATDT5550100\r\n");
    EXPECT_TRUE(idle());
    EXPECT_EQ(requests.take(), "next");
    EXPECT_EQ(ui.errors.size(), 1u);
}

// Without Program Manager the groups are lost: the user is told which, once, and the wizard
// ends as it would have.
TEST_F(PagesTest, TheFinishPageSaysWhatProgramManagerDidNotCreate) {
    fs::remove(driveC() / "WINDOWS" / "PROGMAN.EXE");
    fs::create_directories(driveC() / "Program Files" / "KIT");
    startUp();
    choices.browser = Browser::None;
    FinishPage page(*platform, catalogue, choices);
    Requests requests(&page);
    page.ui.finishButton->click();
    EXPECT_EQ(requests.take(), "next");
    EXPECT_EQ(ui.errors, std::vector<std::string>{});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption + " " + std::to_string(int(ui.boxes[0].icon)),
              std::string(kProgmanLossCaption) + " " + std::to_string(int(MsgIcon::Warning)));
    EXPECT_EQ(ui.boxes[0].text,
              progmanLoss({lostGroupLine("StartUp"), lostItemLine("ZEL Update", "StartUp"),
                           lostGroupLine("ZEL Internet"), lostItemLine("Discador", "ZEL Internet"),
                           lostItemLine("Not\xed"
                                        "cias",
                                        "ZEL Internet")}));
}

} // namespace
} // namespace zel::test
