// The wizard's windows through their own widgets: what each shows, where its buttons lead.
#include "tests/support/gui_wizard_fixture.h"

#include "pages/backdrop_window.h"
#include "pages/copy_page.h"
#include "pages/custom_install_page.h"
#include "pages/directory_chooser.h"
#include "pages/exit_confirm_dialog.h"
#include "pages/fax_notice_dialog.h"
#include "pages/finish_page.h"
#include "pages/install_type_page.h"
#include "pages/licence_page.h"
#include "pages/modem_page.h"
#include "pages/registration_page.h"
#include "pages/sponsor_picture_window.h"
#include "pages/welcome_page.h"
#include "qt/qt_ui.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTextDocument>

#include <climits>

namespace zel::test {
namespace {

// Three programs (the accents in code page 1252), the second left out.
constexpr std::string_view kSetup =
    "[Principal]\r\ngrupo=ZEL Internet\r\ndestino=C:\\KIT\\\r\nlicensa=LICENSA.TXT\r\n"
    "upline=senha123\r\ncadastro1=Cadastre-se j\xe1!\r\ncadastro2=Taxa\r\n"
    "StartWave=SOM\\INICIO.WAV\r\n"
    "navegap_version=Navegador P\r\nnavegai_version=Navegador I\r\nnavegai_size=3000\r\n"
    "[Update]\r\nprograma=ZELUP.EXE\r\ndiretorio=UPDATE\\\r\n"
    "[Uninstall]\r\nprograma=DESINST.EXE\r\ndiretorio=UPDATE\\\r\n"
    "[Programa1]\r\nnome=Discador\r\ninstala=1\r\ntamanho=500\r\ndiretorio=DISC\\\r\ncriadir=1\r\n"
    "Arquivo1=TCPMAN.EXE\r\nArquivo2=TRUMPWSK.INI\r\nArquivo3=WINSOCK.DLL\r\n"
    "[Programa2]\r\nnome=Correio eletr\xf4nico\r\ninstala=0\r\ntamanho=700\r\n"
    "[Programa3]\r\nnome=Not\xed"
    "cias\r\ninstala=1\r\ntamanho=1200\r\ndiretorio=NEWS\\\r\nArquivo1=NEWS.EXE\r\n";

// The requests a window makes ("next ", "back ", "exit "), taken in the order made.
struct Requests : QObject {
    explicit Requests(QWidget* window) {
        auto* page = qobject_cast<PageWindow*>(window);
        connect(page, &PageWindow::nextRequested, this, [this] { made += "next "; });
        connect(page, &PageWindow::backRequested, this, [this] { made += "back "; });
        connect(page, &PageWindow::exitRequested, this, [this] { made += "exit "; });
    }
    std::string take() { return std::exchange(made, ""); }
    std::string made;
};

class PagesTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        writeSetup(kSetup);
    }
    void writePicture(const fs::path& file, QColor colour, QSize size = {8, 8}) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        fs::create_directories(file.parent_path());
        ASSERT_TRUE(image.save(QString::fromStdString(file.string()), "BMP"));
    }
    // What the user was told since the last look, a line each (a box's text cut short).
    std::string told() {
        std::string out;
        for (const auto& box : ui.boxes)
            out += box.caption + ": " + box.text.substr(0, 30) +
                   (box.buttons == MsgButtons::OkCancel ? " [OK Cancelar]" : "") +
                   (box.icon == MsgIcon::Warning ? " !\n" : "\n");
        for (const auto& error : ui.errors)
            out += "error: " + error + "\n";
        ui.boxes.clear(), ui.errors.clear();
        return out;
    }
};

TEST_F(PagesTest, TheFormsShowWhatTheStartUpFound) {
    writeRegistry(kModemKey, "AttachedTo", "COM2");
    std::string more = "[Marca]\r\ntitulo=Rede S\xfal\r\nicone=ICONE.BMP\r\n";
    for (const int n : {4, 5, 6, 7, 8, 9, 10}) // a box for each program there is room for
        more += "[Programa" + std::to_string(n) + "]\r\nnome=P" + std::to_string(n) + "\r\n";
    writeSetup(std::string(kSetup) + more);
    writePicture(medium() / "ICONE.BMP", Qt::green);
    Wizard& w = makeWizard();
    const std::initializer_list<const QDialog*> later = {
        w.installTypePage.get(),  w.customInstallPage.get(), w.copyPage.get(),
        w.directoryChooser.get(), w.modemPage.get(),         w.finishPage.get(),
        w.sponsorPicture.get(),   w.registrationPage.get(),  w.licencePage.get()};
    for (const QDialog* form : later)
        EXPECT_TRUE(form->children().isEmpty()) << form->metaObject()->className(); // unbuilt
    w.buildForms(); // read before they are shown
    const auto& custom = w.customInstallPage->ui;
    // The kit's brand first: the task bar's and the error reports' title, the windows' icon.
    QStringList shown = {QString::fromStdString(applicationTitle()),
                         QApplication::applicationName(),
                         QApplication::windowIcon().pixmap(8, 8).toImage().pixelColor(0, 0).name()};
    for (const QCheckBox* box : w.customInstallPage->programBoxes())
        shown << (box->isVisibleTo(w.customInstallPage.get()) ? box->text() : "") +
                     (box->isChecked() ? "+" : "");
    // No C:\WINDOWS\config.exe: the second browser, counted in the space line.
    shown << custom.destinationEdit->text() << QString::number(custom.browserGroup->itemIndex())
          << custom.spaceLabel->text() << w.registrationPage->ui.introLabel->text()
          << w.registrationPage->ui.feeLabel->text()
          << QString::number(w.modemPage->ui.portGroup->itemIndex());
    EXPECT_EQ(shown.join(" | ").toStdString(),
              "Rede Súl | Rede Súl | #00ff00 | Discador+ | Correio eletrônico | Notícias+ "
              "| P4 | P5 | P6 | P7 | P8 | P9 | P10 | C:\\Program Files\\KIT\\ | 1 | "
              "Espaço necessário: 4700k | Cadastre-se já! | Taxa | 1");
    EXPECT_EQ(sound.played, std::vector<std::string>{"D:\\SOM\\INICIO.WAV"});
    w.welcomePage->ui.exitButton->click(); // "Sair" there ends the wizard without asking
    EXPECT_TRUE(ui.quitRequested() && ui.modals.empty() && ui.errors.empty() && !w.installed());
    for (const QDialog* form : later) // none can be resized; the sponsor's picture has no frame
        EXPECT_TRUE(form->minimumSize() == form->maximumSize() || form == w.sponsorPicture.get());
    // The line follows every change; "< Voltar" keeps the browser and a folder chosen, not typed.
    w.customInstallPage->programBoxes()[0]->click();
    const QString withoutDialer = custom.spaceLabel->text();
    custom.browserGroup->button(2)->click();
    EXPECT_EQ(withoutDialer + " | " + custom.spaceLabel->text(),
              "Espaço necessário: 4200k | Espaço necessário: 1200k");
    w.customInstallPage->takeDestination("D:\\NOVO");
    custom.destinationEdit->setText("E:\\X");
    custom.backButton->click();
    EXPECT_EQ(std::to_string(w.choices.programs[0]) + w.choices.destination +
                  std::to_string(int(w.choices.browser)),
              "1D:\\NOVO\\2");
}

// The page shown after "Seguir >" and "< Voltar" on each page (W L R, T type, C custom, M, P, F).
TEST_F(PagesTest, EveryRequestLeadsToThePageItsSituationCallsFor) {
    const auto T = InstallationType::Typical, C = InstallationType::Custom;
    const struct {
        InstallationType type;
        bool dialer, port;
        const char *next, *back; // from each page but the finish, from each page
    } rows[] = {
        {T, false, false, "LRTMPPF", "WWLRTTTF"}, {T, true, false, "LRTMMPF", "WWLRTTTF"},
        {T, false, true, "LRTPPPF", "WWLRTTTF"},  {T, true, true, "LRTPMPF", "WWLRTTTF"},
        {C, false, false, "LRTCPPF", "WWLRTCCF"}, {C, true, false, "LRTCMPF", "WWLRTCMF"},
        {C, false, true, "LRTCPPF", "WWLRTCCF"},  {C, true, true, "LRTCMPF", "WWLRTCMF"},
    };
    Wizard& w = makeWizard();
    const std::string letters = "WLRTCMPF"; // in the order of Page
    for (const auto& row : rows) {
        w.choices.installation = row.type;
        w.choices.programs[0] = row.dialer;
        w.choices.modem.port = row.port ? std::optional<int>(1) : std::nullopt;
        for (const bool next : {true, false}) {
            std::string seen;
            for (int p = int(Page::Welcome); p <= int(next ? Page::Copy : Page::Finish); ++p) {
                PageWindow& form = w.window(Page(p));
                form.show();
                emit(next ? form.nextRequested() : form.backRequested());
                const QStringList shown = visiblePages();
                char letter = '?';
                for (int to = int(Page::Welcome); to <= int(Page::Finish); ++to)
                    if (shown == QStringList{w.window(Page(to)).objectName()})
                        letter = letters[std::size_t(to)];
                seen += letter;
                for (QWidget* window : QApplication::topLevelWidgets())
                    window->hide();
            }
            EXPECT_EQ(seen, next ? row.next : row.back) << int(row.type) << row.dialer << row.port;
        }
    }
    EXPECT_FALSE(ui.quitRequested());
}

// "Sair" asks first, starting on "Não" every time; only "Sim" ends the wizard.
TEST_F(PagesTest, EveryButtonMakesItsRequestAndSairAsksFirst) {
    Wizard& w = makeWizard();
    w.buildForms(); // clicked before they are shown
    ExitConfirmDialog& confirm = *w.exitConfirmDialog;
    const std::tuple<QPushButton*, const char*, std::function<void()>> rows[] = {
        {w.licencePage->ui.backButton, "back ", {}},
        {w.registrationPage->ui.backButton, "back ", {}},
        {w.installTypePage->ui.backButton, "back ", {}},
        {w.customInstallPage->ui.backButton, "back ", {}},
        {w.modemPage->ui.backButton, "back ", {}},
        {w.copyPage->ui.backButton, "back ", {}},
        {w.installTypePage->ui.exitButton, "exit ", [&] { confirm.ui.noButton->click(); }},
        {w.customInstallPage->ui.exitButton, "exit ", [&] { confirm.close(); }},
        {w.modemPage->ui.exitButton, "exit ", [&] { QTest::keyClick(&confirm, Qt::Key_Escape); }},
        {w.copyPage->ui.exitButton, "exit quit", [&] { confirm.ui.yesButton->click(); }},
    };
    for (const auto& [button, request, answer] : rows) {
        Requests requests(button->window());
        if (answer)
            ui.answerModal([&, answer = answer](QDialog&) {
                EXPECT_EQ(confirm.focusWidget(), confirm.ui.noButton);
                confirm.ui.yesButton->setFocus();
                answer();
                return ScriptedUi::kEndedByItsButton;
            });
        button->click();
        EXPECT_EQ(requests.take() + (ui.quitRequested() ? "quit" : ""), request);
    }
    // Enter presses the focused button; in a text it does nothing.
    LicencePage& licence = *w.licencePage;
    Requests byKeys(&licence);
    licence.show();
    for (QWidget* focus :
         std::initializer_list<QWidget*>{licence.ui.backButton, licence.ui.licenceText}) {
        focus->setFocus();
        QTest::keyClick(&licence, Qt::Key_Enter);
        QTest::keyClick(&licence, Qt::Key_Return);
    }
    licence.show();
    QTest::keyClick(&licence, Qt::Key_Escape);
    licence.close(); // neither leaves a page
    EXPECT_EQ(byKeys.take() + std::to_string(licence.isVisible()), "back back 1");
    DirectoryChooser& chooser = *w.directoryChooser; // shown again: its directory's drive
    chooser.show();
    chooser.openLine("C:\\WINDOWS\\SYSTEM");
    emit chooser.ui.directoryList->itemActivated(chooser.ui.directoryList->item(1)); // up one
    for (const int drive : {1, 0}) { // to D: and back where it was on C:
        chooser.ui.driveBox->setCurrentIndex(drive);
        emit chooser.ui.driveBox->activated(drive);
    }
    EXPECT_EQ(chooser.directory(), "C:\\WINDOWS");
    chooser.openLine("C:\\");
    chooser.ui.cancelButton->click();
    chooser.ui.driveBox->setCurrentIndex(1);
    chooser.show();
    EXPECT_EQ(chooser.ui.driveBox->currentText().toStdString() + chooser.directory(), "c:C:\\");
    EXPECT_EQ(ui.modals, (std::vector<ModalResult>{ModalResult::Other, ModalResult::Other,
                                                   ModalResult::Other, ModalResult::Confirm}));
}

// No hint hides a sponsor (its picture loaded all the same); no directory is the medium's root.
TEST_F(PagesTest, SponsorsAreReadFromTheirSectionsOverTheBackground) {
    writeSetup("[Principal]\r\nMensagem=Primeira\r\n"
               "[Patro1]\r\nDiretorio=P1\r\nTexto=Loja\r\nImagem=LOGO.BMP\r\nPrograma=G.BMP\r\n"
               "[Patro2]\r\nDiretorio=P2\\\r\nTexto=Padaria\r\nImagem=FALTA.BMP\r\n"
               "[patro3]\r\nDiretorio=P1\r\ntexto=\r\nimagem=LOGO.BMP\r\n"
               "[Patro4]\r\nTexto=Na raiz\r\nImagem=RAIZ.BMP\r\n[Marca]\r\nfundo=0,255,0\r\n");
    writePicture(medium() / "P1" / "LOGO.BMP", Qt::red, {40, 30});
    writePicture(medium() / "RAIZ.BMP", Qt::green);
    start();
    WelcomePage& page = *wizard->welcomePage;
    const auto sponsors = [&] { // the message, then each as "hint colour program"
        const QLabel& message = *page.ui.messageLabel;
        std::string seen = (message.textFormat() == Qt::PlainText ? "" : "markup ") +
                           message.text().toStdString() + ": ";
        for (int k = 1; k <= 5; ++k) {
            const QLabel& picture = *page.sponsorPicture(k);
            const QImage image = picture.pixmap().toImage();
            QTextDocument tip; // what a tool tip shows of markup
            tip.setHtml(picture.toolTip());
            seen += (picture.isVisibleTo(&page) ? tip.toPlainText().toStdString() : "hidden") +
                    " " + (image.isNull() ? "none" : image.pixelColor(0, 0).name().toStdString()) +
                    " " + page.sponsorProgram(k) + "; ";
        }
        return seen;
    };
    EXPECT_EQ(sponsors(), "Primeira: Loja #ff0000 D:\\P1\\G.BMP; Padaria none D:\\P2\\; hidden "
                          "#ff0000 D:\\P1\\; Na raiz #00ff00 D:\\; hidden none D:\\; ");
    // A sponsor's program that is a picture shows over the whole screen until a click on it.
    writePicture(medium() / "P1" / "G.BMP", Qt::blue);
    QTest::mouseDClick(page.sponsorPicture(1), Qt::LeftButton);
    QLabel* shownPicture = wizard->sponsorPicture->ui.sponsorPicture;
    QTest::mousePress(shownPicture, Qt::LeftButton);
    EXPECT_TRUE(wizard->sponsorPicture->isVisible()); // gone at the release, not the press
    EXPECT_EQ(shownPicture->geometry(), wizard->sponsorPicture->screen()->geometry());
    QTest::mouseRelease(shownPicture, Qt::LeftButton);
    EXPECT_FALSE(wizard->sponsorPicture->isVisible());
    // Read again at every showing; a kit's text is never markup; what is no longer named stays.
    const std::string markup = "<b>Negrito</b> & <a href=\"x\">y</a>";
    writeFile(medium() / "P1" / "LEIA.TXT", "x");
    writeFile(medium() / "NAO.EXE", "");
    writeSetup("[Principal]\r\nMensagem=" + markup + "\r\n[Patro1]\r\nDiretorio=P1\r\nTexto=" +
               markup + "\r\nPrograma=LEIA.TXT\r\n[Patro2]\r\nTexto=Mercado\r\n[Patro5]\r\n" +
               "Texto=c\r\nPrograma=NAO.EXE\r\n");
    page.hide();
    page.show();
    for (int k : {1, 5})
        QTest::mouseDClick(page.sponsorPicture(k), Qt::LeftButton);
    EXPECT_FALSE(wizard->sponsorPicture->isVisible());
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"minimise", "restore"}));
    EXPECT_EQ(sponsors() +
                  (page.sponsorPicture(2)->accessibleName() + "|" +
                   page.ui.exitButton->accessibleName() + "|" + // a button says its own
                   wizard->sponsorPicture->palette().color(QPalette::Window).name())
                      .toStdString() +
                  "\n" + told(),
              markup + ": " + markup +
                  " #ff0000 D:\\P1\\LEIA.TXT; Mercado none D:\\; hidden #ff0000 D:\\;  #00ff00 "
                  "D:\\; c none D:\\NAO.EXE; Mercado||#000000\nerror: N\xe3o foi poss\xedvel "
                  "executar o programa D:\\NAO.EXE\n");
    // The background, whole, from the brand's green at the top (the second band's) to black.
    QWidget& back = *wizard->backdrop;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&back));
    const QImage shown = back.screen()->grabWindow(back.winId()).toImage();
    EXPECT_EQ(shown.pixelColor(shown.width() - 1, 0).name() +
                  shown.pixelColor(0, shown.height() - 1).name(),
              "#00fe00#000000");
}

// Fields Name Card Phone Street; brand "3": the fourth, "=X": X typed, "1=X": X over the second.
TEST_F(PagesTest, RegistrationMovesOnByHowCompleteTheFormIs) {
    const struct {
        const char *fields, *brand;
        bool confirmPrinting;
        const char *failAt, *outcome; // requests, notices, printing calls, brand, told, form
    } rows[] = {
        {"NC", "3", true, "", "[] 0 0 AMEX Aviso: O preenchimento do cadastro es\nx"},
        {"S", "3", true, "", "[next ] 0 0 AMEX x"},
        {"NCP", "3", true, "", "[next ] 1 17 AMEX printed AMEX x"},
        {"NCP", "3", false, "", "[next ] 1 0 AMEX x"},
        {"NCP", "3", true, "text", "[] 1 3 AMEX error: printer on fire\nx"},
        {"NCP", "=Credicard", true, "", "[next ] 1 17  printed  x"},
        {"NCP", "1=Outra", true, "", "[next ] 1 17  printed  x"},
    };
    Wizard& w = makeWizard();
    w.buildForms();
    RegistrationPage& page = *w.registrationPage;
    Requests requests(&page);
    const auto& u = page.ui;
    QLineEdit* const edits[] = {u.nameEdit, u.cardNumberEdit, u.officePhoneEdit, u.streetEdit};
    for (const auto& row : rows) {
        ui = {}, printer.calls.clear(), printer.failAt = row.failAt;
        printer.chooseAnswers = {row.confirmPrinting};
        ui.answerModal([&](QDialog&) {
            w.faxNoticeDialog->ui.okButton->click();
            return ScriptedUi::kEndedByItsButton;
        });
        for (const char* f = row.fields; *f; ++f)
            QTest::keyClicks(edits[std::string_view("NCPS").find(*f)], "x");
        const std::string brand = row.brand;
        if (brand[0] != '=')
            u.cardBrandBox->setCurrentIndex(brand[0] - '0');
        u.cardBrandBox->lineEdit()->selectAll();
        if (brand.find('=') != std::string::npos)
            QTest::keyClicks(u.cardBrandBox,
                             QString::fromStdString(brand.substr(brand.find('=') + 1)));
        u.nextButton->click();
        const RegistrationForm& kept = w.choices.registration;
        std::string outcome = "[" + requests.take() + "] " + std::to_string(ui.modals.size()) +
                              " " + std::to_string(printer.calls.size()) + " " + kept.cardBrand;
        if (printer.calls.size() == 17)
            outcome +=
                " printed " + printer.calls[11].substr(std::strlen("text 0,1004 Cart\xe3o     :"));
        u.clearButton->click(); // "Limpar" empties every field and the brand
        QString left =
            QString::number(u.cardBrandBox->currentIndex()) + u.cardBrandBox->currentText();
        for (QLineEdit* edit : page.fields())
            left += edit->text();
        EXPECT_EQ(outcome + " " + told() + kept.name + kept.street + kept.password +
                      (left == "-1" ? "" : " left " + left.toStdString()),
                  row.outcome + std::string(&row == rows ? "senha123" : ""));
    }
}

// Too little room, a missing file, then the copy from the start again.
TEST_F(PagesTest, TheCopyPageAsksFirstShowsItsProgressAndStaysUsableAfterAFailure) {
    for (const char* file : {"DISC/TCPMAN.EXE", "DISC/WINSOCK.DLL", "UPDATE/ZELUP.EXE",
                             "UPDATE/DESINST.EXE", "DISC/TRUMPWSK.INI"})
        writeFile(medium() / file, file);
    startUp();
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
    recorder.shot = [&] { // the sweep's line alone, then the copy's; the buttons off until done
        if (u.sweepLabel->isVisibleTo(&page))
            return QString("(sweep)");
        return QString("%1 | %2 %3% %4%%5")
            .arg(u.programStatusLabel->text(), u.fileStatusLabel->text())
            .arg(u.overallGauge->percent())
            .arg(u.fileGauge->percent())
            .arg(u.exitButton->isEnabled() ? " (buttons)" : "");
    };
    for (QLabel* line : {u.programStatusLabel, u.fileStatusLabel, u.sweepLabel})
        line->installEventFilter(&recorder);
    const auto idle = [&] { // the gauges and lines away, the buttons usable, the pointer too
        return !u.sweepLabel->isVisibleTo(&page) && !u.overallGauge->isVisibleTo(&page) &&
               !u.fileStatusLabel->isVisibleTo(&page) && u.exitButton->isEnabled() && !ui.busy();
    };
    catalogue.settings.secondBrowserSize = INT_MAX; // more than any disk reports
    ui.answerMessage(ModalResult::Other);
    u.nextButton->click();
    const std::string asked = "Espa\xe7o em disco: O drive C aparenta ter apenas  [OK Cancelar]\n";
    EXPECT_EQ(told(), asked);
    EXPECT_TRUE(ui.cursorHistory.empty() && !choices.continueShortOfSpace);
    ui.answerMessage(ModalResult::Confirm);
    u.nextButton->click();
    EXPECT_TRUE(choices.continueShortOfSpace);
    EXPECT_EQ(ui.cursorHistory, (std::vector<bool>{true, false}));
    EXPECT_EQ(told(), asked + "error: Erro copiando arquivo D:\\NEWS\\NEWS.EXE para C:\\Program "
                              "Files\\KIT\\NEWS.EXE\n");
    EXPECT_TRUE(idle() &&
                readFile(driveC() / "Program Files/KIT/DISC/TRUMPWSK.INI") == "DISC/TRUMPWSK.INI");
    writeFile(medium() / "NEWS" / "NEWS.EXE", "news");
    recorder.shots.clear();
    u.nextButton->click(); // the gauges start again from nothing
    EXPECT_TRUE(idle());
    EXPECT_EQ((recorder.shots << recorder.shot()).join("\n").toStdString(),
              "(sweep)\n(sweep)\n |  0% 0%\n |  0% 0%\nInstalando Discador |  0% 0%\n"
              "Instalando Discador | \tCopiando TCPMAN.EXE 0% 33%\n"
              "Instalando Discador | \tCopiando TRUMPWSK.IN 0% 66%\n"
              "Instalando Discador | \tCopiando WINSOCK.DLL 0% 100%\n"
              "Instalando Notícias | \tCopiando WINSOCK.DLL 50% 0%\n"
              "Instalando Notícias | \tCopiando NEWS.EXE 50% 100%\n"
              "Instalando Notícias | \tCopiando NEWS.EXE 100% 100% (buttons)");
    EXPECT_EQ(requests.take() + told(), "next " + asked);
}

// Program Manager gone: the finish ends, saying so; a destination no full path keeps its page.
TEST_F(PagesTest, TheFinishSaysWhatWasNotCreatedAndTheCustomPageTakesOnlyAFullDestination) {
    startUp();
    fs::remove(driveC() / "WINDOWS" / "PROGMAN.EXE");
    fs::create_directories(driveC() / "Program Files" / "KIT");
    FinishPage page(*platform, catalogue, choices);
    Requests requests(&page);
    page.ui.finishButton->click();
    EXPECT_EQ(requests.take() + told() + std::to_string(page.ui.finishButton->isEnabled()),
              "next Gerenciador de Programas: O Gerenciador de Programas n\xe3o !\n0"); // once
    CustomInstallPage custom(*platform, catalogue, choices); // its boxes taken all the same
    Requests customRequests(&custom);
    custom.ui.program1Box->setChecked(false);
    custom.ui.destinationEdit->setText("Cursos");
    custom.ui.nextButton->click();
    EXPECT_EQ(customRequests.take() + choices.destination + " " + told(),
              "C:\\Program Files\\KIT\\ Instala\xe7\xe3o Personalizada: O destino Cursos n\xe3o "
              "\xe9 um cami\n");
    EXPECT_EQ(ui.cursorHistory, (std::vector<bool>{true, false, true, false}));
    EXPECT_FALSE(choices.programs[0]);
}

} // namespace
} // namespace zel::test
