// The wizard shell: the pages built from the start-up, the forms, the background, the exit
// confirmation and the way each page's requests are joined to the page flow, driven through
// the real widgets on Qt's offscreen platform.
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
#include "winemu/registry.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
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

#include <filesystem>
#include <optional>

#include <unistd.h>

namespace zel::test {
namespace {

// A kit of three programs (the accents in code page 1252), with a licence and a start sound.
constexpr std::string_view kSetup = "[Principal]\r\n"
                                    "grupo=ZEL Internet\r\n"
                                    "destino=C:\\KIT\\\r\n"
                                    "licensa=LICENSA.TXT\r\n"
                                    "upline=senha123\r\n"
                                    "cadastro1=Cadastre-se j\xe1!\r\n"
                                    "StartWave=SOM\\INICIO.WAV\r\n"
                                    "navegap_version=Navegador P\r\n"
                                    "navegap_size=4000\r\n"
                                    "navegai_version=Navegador I\r\n"
                                    "navegai_size=3000\r\n"
                                    "Mensagem=Ofertas da semana\r\n"
                                    "[Programa1]\r\nnome=Discador\r\ninstala=1\r\ntamanho=500\r\n"
                                    "[Programa2]\r\nnome=Correio eletr\xf4nico\r\ninstala=0\r\n"
                                    "tamanho=700\r\n"
                                    "[Programa3]\r\nnome=Not\xed"
                                    "cias\r\ninstala=1\r\ntamanho=1200\r\n";

constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kModem = "System\\CurrentControlSet\\Services\\Class\\Modem\\0000";

class ShellTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        writeSetup(kSetup);
        writeFile(medium() / "LICENSA.TXT",
                  "Primeira linha\r\nSegunda\rTerceira\nQuarta de licen\xe7"
                  "a");
    }

    // Answers the wizard's next exit confirmation by clicking one of its buttons.
    void answerConfirmation(bool yes) {
        const ExitConfirmDialog& confirma = *wizard->exitConfirmDialog;
        answerByClicking(yes ? confirma.ui.yesButton : confirma.ui.noButton);
    }
};

// ---------------------------------------------------------------------------------------
// Start-up

TEST_F(ShellTest, ThePagesAreBuiltFromTheStartUp) {
    Wizard& w = makeWizard();

    // Everything is created hidden; the welcome page has its run-time caption.
    EXPECT_TRUE(visiblePages().isEmpty());
    EXPECT_EQ(w.welcomePage->windowTitle(), "ZEL - Windows 95/NT");

    // The custom-installation page: one box per program, with the catalogue's names and flags.
    const auto boxes = w.customInstallPage->programBoxes();
    EXPECT_EQ(boxes[0]->text(), "Discador");
    EXPECT_EQ(boxes[1]->text(), "Correio eletrônico");
    EXPECT_EQ(boxes[2]->text(), "Notícias");
    EXPECT_TRUE(boxes[0]->isChecked());
    EXPECT_FALSE(boxes[1]->isChecked());
    EXPECT_TRUE(boxes[2]->isChecked());
    for (int n = 0; n < 10; ++n)
        EXPECT_EQ(boxes[static_cast<std::size_t>(n)]->isVisibleTo(w.customInstallPage.get()), n < 3)
            << n;
    EXPECT_EQ(w.customInstallPage->ui.destinationEdit->text(), "C:\\Program Files\\KIT\\");
    EXPECT_EQ(w.customInstallPage->ui.browserGroup->items(),
              QStringList({"Navegador P", "Navegador I", "Não instalar navegador"}));
    // No C:\WINDOWS\config.exe: the second browser, counted in the first space line.
    EXPECT_EQ(w.choices.browser, Browser::Second);
    EXPECT_EQ(w.customInstallPage->ui.browserGroup->itemIndex(), 1);
    EXPECT_EQ(w.customInstallPage->ui.spaceLabel->text(), "Espaço necessário: 4700k");

    // The registration page: cleared, the password suggestion and the replaced introduction.
    EXPECT_EQ(w.registrationPage->ui.passwordEdit->text(), "senha123");
    EXPECT_EQ(w.registrationPage->ui.nameEdit->text(), "");
    EXPECT_EQ(w.registrationPage->ui.cardBrandBox->currentIndex(), -1);
    EXPECT_EQ(w.registrationPage->ui.introLabel->text(), "Cadastre-se já!");
    EXPECT_TRUE(w.registrationPage->ui.feeLabel->text().startsWith("Caso você permaneça"));

    // The licence page: one line per line end, whichever the end.
    EXPECT_EQ(w.licencePage->ui.licenceText->toPlainText(),
              "Primeira linha\nSegunda\nTerceira\nQuarta de licença");

    // The connection page without a modem: no port, the dial command all the same.
    EXPECT_EQ(w.modemPage->ui.portGroup->itemIndex(), -1);
    EXPECT_EQ(w.modemPage->ui.initCommandEdit->text(), "");
    EXPECT_EQ(w.modemPage->ui.dialCommandEdit->text(), "ATDP5550100");

    // The start sound, from the medium; the installation type starts typical.
    EXPECT_EQ(sound.played, std::vector<std::string>{"D:\\SOM\\INICIO.WAV"});
    EXPECT_EQ(w.installTypePage->ui.installationTypeGroup->itemIndex(), 0);
    EXPECT_TRUE(ui.errors.empty());
}

// ---------------------------------------------------------------------------------------
// Background

TEST(BackgroundBands, StartAtTheTopOverlapAndCoverTheScreen) {
    for (const int height : {768, 600, 1080, 255, 100, 1}) {
        SCOPED_TRACE(height);
        const auto bands = backgroundBands(height);
        ASSERT_EQ(bands.size(), 256u);
        const double step = height / 255.0;
        const int bandHeight = static_cast<int>(step + 1);
        EXPECT_EQ(bands[0].top, 0);
        EXPECT_EQ(bands[1].top, 0); // the second band starts where the first did
        for (int i = 0; i < 256; ++i) {
            const auto& band = bands[static_cast<std::size_t>(i)];
            EXPECT_EQ(band.blue, 255 - i);
            EXPECT_EQ(band.height, bandHeight);
            if (i >= 1) {
                EXPECT_EQ(band.top, static_cast<int>((i - 1) * step));
                const auto& before = bands[static_cast<std::size_t>(i - 1)];
                EXPECT_LE(band.top, before.top + before.height) << "gap before band " << i;
            }
        }
        EXPECT_GE(bands.back().top + bands.back().height, height);
    }
    EXPECT_EQ(backgroundBands(768)[0].height, 4);
    EXPECT_EQ(backgroundBands(768)[255].top, 764);
}

TEST_F(ShellTest, WelcomePageBringsUpTheBackgroundAndTheMessage) {
    start();
    Wizard& w = *wizard;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    ASSERT_TRUE(w.backdrop->isVisible());
    EXPECT_EQ(w.backdrop->geometry(), screen);
    const QImage image = w.backdrop->ui.backgroundPicture->grab().toImage();
    ASSERT_EQ(image.size(), screen.size());
    // The first band is painted over by the second: the top is blue 254, the bottom black.
    EXPECT_EQ(image.pixelColor(0, 0), QColor(0, 0, 254));
    EXPECT_EQ(image.pixelColor(screen.width() - 1, screen.height() - 1), QColor(0, 0, 0));
    EXPECT_EQ(w.backdrop->ui.backgroundPicture->geometry(), QRect(QPoint(0, 0), screen.size()));
    // The background is the only window that is not a page of its own.
    EXPECT_EQ(visiblePages(), QStringList{"WelcomePage"});

    EXPECT_TRUE(w.welcomePage->ui.messageLabel->isVisible());
    EXPECT_EQ(w.welcomePage->ui.messageLabel->text(), "Ofertas da semana");

    // Each showing reads the message again; an empty one hides nothing.
    writeSetup("[Principal]\r\nMensagem=\r\n");
    w.welcomePage->ui.nextButton->click();
    w.licencePage->ui.backButton->click();
    EXPECT_TRUE(w.welcomePage->ui.messageLabel->isVisible());
    EXPECT_EQ(w.welcomePage->ui.messageLabel->text(), "");
}

// ---------------------------------------------------------------------------------------
// Exit confirmation

// What reaches the screen is the window's own canvas, made before the window was shown and
// cleared on another thread meanwhile: the gradient must be painted over all of it.
TEST_F(ShellTest, TheBackgroundCanvasIsPaintedWhole) {
    start();
    BackdropWindow& back = *wizard->backdrop;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&back));
    QCoreApplication::processEvents();
    QScreen* screen = QGuiApplication::primaryScreen();
    const QImage shown = screen->grabWindow(back.winId()).toImage();
    ASSERT_EQ(shown.size(), screen->geometry().size());
    // Each row shows the last band that starts at or above it.
    const auto bands = backgroundBands(shown.height());
    for (std::size_t i = 1; i + 1 < bands.size(); i += 7) {
        const int y = bands[i].top;
        if (bands[i + 1].top == y)
            continue;
        EXPECT_EQ(shown.pixelColor(shown.width() / 2, y), QColor(0, 0, bands[i].blue))
            << "row " << y;
    }
    EXPECT_EQ(shown.pixelColor(0, shown.height() - 1), QColor(0, 0, 0));
    EXPECT_EQ(shown.pixelColor(shown.width() - 1, 0), QColor(0, 0, 254));
}

// Hidden pages are polished when first shown, not all on the first pass of the event loop.
TEST_F(ShellTest, PagesArePolishedWhenFirstShown) {
    start();
    QCoreApplication::processEvents();
    EXPECT_TRUE(wizard->welcomePage->testAttribute(Qt::WA_WState_Polished));
    EXPECT_FALSE(wizard->installTypePage->ui.nextButton->testAttribute(Qt::WA_WState_Polished));
    wizard->welcomePage->ui.nextButton->click(); // to the licence page
    EXPECT_TRUE(wizard->licencePage->testAttribute(Qt::WA_WState_Polished));
    EXPECT_TRUE(wizard->licencePage->ui.nextButton->testAttribute(Qt::WA_WState_Polished));
}

TEST_F(ShellTest, ExitConfirmationAnswers) {
    startUp();
    ExitConfirmDialog confirma(*platform);

    confirma.show();
    confirma.ui.yesButton->setFocus();
    confirma.ui.noButton->click();
    EXPECT_EQ(modalResultOf(confirma.result()), ModalResult::Other);
    EXPECT_FALSE(confirma.isVisible());

    confirma.show();
    EXPECT_EQ(confirma.focusWidget(), confirma.ui.noButton); // every time on "Não"
    confirma.ui.yesButton->click();
    EXPECT_EQ(modalResultOf(confirma.result()), ModalResult::Confirm);

    confirma.show();
    confirma.close(); // the close box
    EXPECT_EQ(modalResultOf(confirma.result()), ModalResult::Other);
    EXPECT_FALSE(confirma.isVisible());

    confirma.show();
    QTest::keyClick(&confirma, Qt::Key_Escape);
    EXPECT_EQ(modalResultOf(confirma.result()), ModalResult::Other);
}

// ---------------------------------------------------------------------------------------
// Page sequence

TEST_F(ShellTest, WelcomeLicenceAndRegistrationBackAndForth) {
    start();
    Wizard& w = *wizard;
    EXPECT_EQ(visiblePages(), QStringList{"WelcomePage"});
    w.welcomePage->ui.nextButton->click();
    EXPECT_EQ(visiblePages(), QStringList{"LicencePage"});
    w.licencePage->ui.backButton->click();
    EXPECT_EQ(visiblePages(), QStringList{"WelcomePage"});
    w.welcomePage->ui.nextButton->click();
    w.licencePage->ui.nextButton->click();
    EXPECT_EQ(visiblePages(), QStringList{"RegistrationPage"});
    w.registrationPage->ui.backButton->click();
    EXPECT_EQ(visiblePages(), QStringList{"LicencePage"});
    w.licencePage->ui.nextButton->click();
    w.registrationPage->ui.nextButton->click();
    EXPECT_EQ(visiblePages(), QStringList{"InstallTypePage"});
    w.installTypePage->ui.backButton->click();
    EXPECT_EQ(visiblePages(), QStringList{"RegistrationPage"});

    EXPECT_FALSE(ui.quitRequested());
    EXPECT_TRUE(ui.modals.empty());
}

TEST_F(ShellTest, SairOnTheWelcomePageEndsAtOnce) {
    start();
    wizard->welcomePage->ui.exitButton->click();
    EXPECT_TRUE(ui.quitRequested());
    EXPECT_TRUE(ui.modals.empty());
    EXPECT_TRUE(ui.boxes.empty());
}

// Each page's requests lead where the page flow says, for the choices as they stand.
TEST_F(ShellTest, EveryRequestLeadsWhereThePageFlowSays) {
    Wizard& w = makeWizard();
    const Page pages[] = {Page::Welcome,
                          Page::Licence,
                          Page::Registration,
                          Page::InstallationType,
                          Page::CustomInstallation,
                          Page::Connection,
                          Page::Copy,
                          Page::Finish};
    for (const InstallationType type : {InstallationType::Typical, InstallationType::Custom}) {
        for (const bool dialer : {false, true}) {
            for (const std::optional<int> port : {std::optional<int>(), std::optional<int>(1)}) {
                w.choices.installation = type;
                w.choices.programs[0] = dialer;
                w.choices.modem.port = port;
                for (const Page page : pages) {
                    PageWindow& form = w.window(page);
                    const auto expect = [&](std::optional<Page> to, const char* request) {
                        const QString expected = (to ? w.window(*to) : form).objectName();
                        EXPECT_EQ(visiblePages(), QStringList{expected})
                            << request << " from " << form.objectName().toStdString();
                        for (QWidget* shown : QApplication::topLevelWidgets())
                            shown->hide();
                    };
                    form.show();
                    emit form.backRequested();
                    expect(previousPage(page, w.choices), "back");
                    if (page == Page::Finish)
                        continue; // moving on from there ends the wizard
                    form.show();
                    emit form.nextRequested();
                    expect(nextPage(page, w.choices), "next");
                }
            }
        }
    }
    EXPECT_FALSE(ui.quitRequested());
    // Past the finish page the wizard ends.
    w.finishPage->show();
    emit w.finishPage->nextRequested();
    EXPECT_TRUE(ui.quitRequested());
    EXPECT_TRUE(ui.modals.empty());
}

TEST_F(ShellTest, SairAsksFirstOnEveryLaterPage) {
    Wizard& w = makeWizard();
    const std::vector<std::pair<PageWindow*, QPushButton*>> pages = {
        {w.installTypePage.get(), w.installTypePage->ui.exitButton},
        {w.customInstallPage.get(), w.customInstallPage->ui.exitButton},
        {w.modemPage.get(), w.modemPage->ui.exitButton},
        {w.copyPage.get(), w.copyPage->ui.exitButton},
    };
    for (const auto& [page, sair] : pages) {
        SCOPED_TRACE(page->objectName().toStdString());
        page->show();
        const std::size_t before = ui.modals.size();

        answerConfirmation(false);
        sair->click();
        ui.answerModal(ModalResult::Other); // the close box
        sair->click();
        EXPECT_FALSE(ui.quitRequested());
        EXPECT_TRUE(page->isVisible());

        ASSERT_EQ(ui.modals.size(), before + 2);
        EXPECT_EQ(ui.modals[before].objectName, "ExitConfirmDialog");
        EXPECT_EQ(ui.modals[before].result, ModalResult::Other);

        page->hide();
    }
    w.copyPage->show();
    answerConfirmation(true);
    w.copyPage->ui.exitButton->click();
    EXPECT_TRUE(ui.quitRequested());
    EXPECT_EQ(ui.modals.back().result, ModalResult::Confirm);
}

TEST_F(ShellTest, PagesIgnoreEscapeEnterInFieldsAndTheCloseRequest) {
    startUp();
    RegistrationPage page(*platform, catalogue, choices);
    QSignalSpy next(&page, &PageWindow::nextRequested);
    QSignalSpy back(&page, &PageWindow::backRequested);
    page.show();
    QTest::keyClick(page.ui.nameEdit, Qt::Key_Return);
    QTest::keyClick(&page, Qt::Key_Escape);
    page.close();
    EXPECT_TRUE(page.isVisible());
    EXPECT_EQ(next.count() + back.count(), 0);

    // Enter on a focused button presses it.
    page.ui.backButton->setFocus();
    QTest::keyClick(page.ui.backButton, Qt::Key_Return);
    EXPECT_EQ(back.count(), 1);
}

// ---------------------------------------------------------------------------------------
// The forms themselves

std::vector<PageWindow*> allForms(Wizard& w) {
    return {w.welcomePage.get(),      w.installTypePage.get(),  w.customInstallPage.get(),
            w.copyPage.get(),         w.directoryChooser.get(), w.modemPage.get(),
            w.finishPage.get(),       w.backdrop.get(),         w.sponsorPicture.get(),
            w.registrationPage.get(), w.licencePage.get(),      w.faxNoticeDialog.get(),
            w.exitConfirmDialog.get()};
}

TEST_F(ShellTest, WindowKindsOfTheForms) {
    Wizard& w = makeWizard();
    const auto onTop = [](const QWidget* form) {
        return form->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    };
    for (PageWindow* form : allForms(w)) {
        const bool expectedOnTop = form != w.licencePage.get() && form != w.faxNoticeDialog.get() &&
                                   form != w.exitConfirmDialog.get() && form != w.backdrop.get();
        EXPECT_EQ(onTop(form), expectedOnTop) << form->objectName().toStdString();
        const bool frameless = form == w.backdrop.get() || form == w.sponsorPicture.get();
        EXPECT_EQ(form->windowFlags().testFlag(Qt::FramelessWindowHint), frameless)
            << form->objectName().toStdString();
        EXPECT_EQ(form->windowFlags().testFlag(Qt::WindowCloseButtonHint),
                  form == w.exitConfirmDialog.get())
            << form->objectName().toStdString();
    }
    EXPECT_TRUE(w.faxNoticeDialog->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(w.faxNoticeDialog->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(w.welcomePage->windowFlags().testFlag(Qt::WindowSystemMenuHint));

    // Fixed client sizes.
    const std::pair<QWidget*, QSize> sizes[] = {
        {w.welcomePage.get(), {452, 273}},       {w.installTypePage.get(), {452, 273}},
        {w.customInstallPage.get(), {452, 343}}, {w.copyPage.get(), {452, 273}},
        {w.directoryChooser.get(), {302, 265}},  {w.modemPage.get(), {452, 273}},
        {w.finishPage.get(), {452, 273}},        {w.registrationPage.get(), {505, 410}},
        {w.licencePage.get(), {505, 410}},       {w.faxNoticeDialog.get(), {503, 275}},
        {w.exitConfirmDialog.get(), {282, 94}}};
    for (const auto& [form, size] : sizes) {
        EXPECT_EQ(form->minimumSize(), size) << form->objectName().toStdString();
        EXPECT_EQ(form->maximumSize(), size) << form->objectName().toStdString();
    }
}

TEST_F(ShellTest, PagesAreCentredWhenShown) {
    Wizard& w = makeWizard();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (PageWindow* page : {static_cast<PageWindow*>(w.installTypePage.get()),
                             static_cast<PageWindow*>(w.registrationPage.get()),
                             static_cast<PageWindow*>(w.exitConfirmDialog.get())}) {
        page->move(0, 0);
        page->show();
        EXPECT_LE(std::abs(page->frameGeometry().center().x() - screen.center().x()), 1);
        EXPECT_LE(std::abs(page->frameGeometry().center().y() - screen.center().y()), 1);
        page->hide();
    }
}

// The order in which Tab visits a page's controls, from its first control.
QStringList tabOrder(QWidget& page) {
    page.show();
    page.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&page));
    QStringList order;
    for (int i = 0; i < 40; ++i) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus || (!order.isEmpty() && focus->objectName() == order.first()))
            break;
        order << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    page.hide();
    return order;
}

TEST_F(ShellTest, TabOrderOfThePages) {
    writeRegistry(kModem, "AttachedTo", "COM2");
    Wizard& w = makeWizard();
    EXPECT_EQ(tabOrder(*w.customInstallPage),
              QStringList({"nextButton", "chooseFolderButton", "program1Box", "program2Box",
                           "program3Box", "destinationEdit", "exitButton", "backButton",
                           "browserGroup_item1"}));
    // The selected port is where Tab enters the port group.
    EXPECT_EQ(tabOrder(*w.modemPage),
              QStringList({"nextButton", "initCommandEdit", "dialCommandEdit", "exitButton",
                           "portGroup_item1", "backButton"}));
    EXPECT_EQ(
        tabOrder(*w.installTypePage),
        QStringList({"nextButton", "installationTypeGroup_item0", "exitButton", "backButton"}));
    EXPECT_EQ(tabOrder(*w.registrationPage),
              QStringList({"nameEdit",       "streetEdit",     "numberEdit",     "flatEdit",
                           "complementEdit", "cityEdit",       "stateEdit",      "postcodeEdit",
                           "birthDateEdit",  "professionEdit", "homePhoneEdit",  "officePhoneEdit",
                           "cardBrandBox",   "cardNameEdit",   "cardNumberEdit", "cardExpiryEdit",
                           "passwordEdit",   "clearButton",    "backButton",     "nextButton"}));
    EXPECT_EQ(tabOrder(*w.licencePage), QStringList({"nextButton", "licenceText", "backButton"}));
}

TEST_F(ShellTest, EveryControlHasAnAccessibleName) {
    Wizard& w = makeWizard();
    for (PageWindow* form : allForms(w)) {
        form->show();
        for (QWidget* control : form->findChildren<QWidget*>()) {
            if (control->objectName().isEmpty() || control->objectName().startsWith("qt_"))
                continue;
            const auto* label = qobject_cast<QLabel*>(control);
            if (label && !isPicture(*control) && label->text().isEmpty())
                continue; // an empty text line has nothing to say yet
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            ASSERT_NE(accessible, nullptr);
            EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
                << form->objectName().toStdString() << "." << control->objectName().toStdString();
        }
        form->hide();
    }
    const auto name = [](QWidget* control) {
        return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
    };
    w.modemPage->show();
    EXPECT_EQ(name(w.modemPage->ui.initCommandEdit), "Inicialização do Modem:");
    EXPECT_EQ(name(w.modemPage->ui.nextButton), "Seguir >");
    w.registrationPage->show();
    EXPECT_EQ(name(w.registrationPage->ui.cardBrandBox), "Cartão de Crédito");
    w.welcomePage->show();
    EXPECT_EQ(name(w.welcomePage->ui.pagePicture), "O seu canal mais fácil com a INTERNET");
}

TEST_F(ShellTest, EveryPageIsDrawnToAPicture) {
    // Kept in the build tree for people to look at.
    const std::filesystem::path dir = binDir().parent_path() / "pages";
    std::filesystem::create_directories(dir);
    Wizard& w = makeWizard();
    w.welcomePage->show(); // brings up the background and the message
    for (PageWindow* form : allForms(w)) {
        form->show();
        const QPixmap picture = form->grab();
        const auto file = dir / (form->objectName().toStdString() + ".png");
        ASSERT_TRUE(picture.save(QString::fromStdString(file.string()))) << file;
        const QImage saved(QString::fromStdString(file.string()));
        EXPECT_EQ(saved.size(), form->size() * form->devicePixelRatio()) << file;
        if (form != w.welcomePage.get() && form != w.backdrop.get())
            form->hide();
    }
}

// ---------------------------------------------------------------------------------------
// The two small widgets

TEST(RadioGroupWidget, SelectionClickAndColumns) {
    guiApplication();
    RadioGroup group;
    group.setGeometry(0, 0, 432, 65);
    group.setColumns(2);
    group.setItems({"A", "B", "C"});
    EXPECT_EQ(group.itemIndex(), -1);
    QSignalSpy changed(&group, &RadioGroup::itemIndexChanged);
    QSignalSpy frame(&group, &RadioGroup::clicked);
    group.show();

    // Filled top to bottom: A and B in the first column, C in the second.
    EXPECT_EQ(group.button(0)->x(), group.button(1)->x());
    EXPECT_LT(group.button(0)->y(), group.button(1)->y());
    EXPECT_GT(group.button(2)->x(), group.button(0)->x());
    EXPECT_EQ(group.button(2)->y(), group.button(0)->y());

    QTest::mouseClick(group.button(2), Qt::LeftButton);
    EXPECT_EQ(group.itemIndex(), 2);
    group.setItemIndex(0);
    EXPECT_TRUE(group.button(0)->isChecked());
    group.setItemIndex(-1);
    EXPECT_EQ(group.itemIndex(), -1);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(group.button(i)->isChecked());
    group.setItemIndex(7); // past the end: the last item
    EXPECT_EQ(group.itemIndex(), 2);
    ASSERT_EQ(changed.count(), 4);
    EXPECT_EQ(changed.at(2).at(0).toInt(), -1);
    EXPECT_EQ(frame.count(), 0);

    // A click on the frame is the group's own click and selects nothing.
    QTest::mouseClick(&group, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(frame.count(), 1);
    EXPECT_EQ(changed.count(), 4);

    // New items start without a selection.
    group.setItems({"X", "Y"});
    EXPECT_EQ(group.itemIndex(), -1);
    EXPECT_EQ(group.items(), QStringList({"X", "Y"}));
}

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST(GaugeWidgetTest, PositionStaysWithinTheMaximumAndPaintsOnPercentChanges) {
    guiApplication();
    GaugeWidget gauge;
    gauge.resize(250, 25);
    gauge.setMaximum(10);
    gauge.setPosition(15);
    EXPECT_EQ(gauge.position(), 10);
    gauge.setPosition(-3);
    EXPECT_EQ(gauge.position(), 0);
    gauge.advance(7);
    EXPECT_EQ(gauge.percent(), 70);
    gauge.setMaximum(4); // lowering the maximum lowers the position
    EXPECT_EQ(gauge.position(), 4);
    EXPECT_EQ(gauge.percent(), 100);
    gauge.setMaximum(0);
    EXPECT_EQ(gauge.percent(), 0);
    gauge.setMaximum(3);
    gauge.advance(1);
    EXPECT_EQ(gauge.percent(), 33); // truncated
    gauge.setMaximum(2147483647);
    gauge.setPosition(2147483647);
    gauge.advance(2147483647);
    EXPECT_EQ(gauge.position(), 2147483647);
    EXPECT_EQ(gauge.percent(), 100);

    gauge.setMaximum(1000);
    gauge.setPosition(0);
    gauge.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&gauge));
    QCoreApplication::processEvents();
    PaintCounter counter;
    gauge.installEventFilter(&counter);
    for (int i = 0; i < 9; ++i)
        gauge.advance(1); // still 0 %
    EXPECT_EQ(counter.paints, 0);
    gauge.advance(1); // 1 %: painted at once, without the event loop
    EXPECT_EQ(counter.paints, 1);
}

} // namespace
} // namespace zel::test
