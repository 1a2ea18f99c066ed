#include "tests/support/gui_wizard_fixture.h"

#include "pages/backdrop_window.h"
#include "pages/copy_page.h"
#include "pages/fax_notice_dialog.h"
#include "pages/finish_page.h"
#include "pages/install_type_page.h"
#include "pages/licence_page.h"
#include "pages/registration_page.h"
#include "pages/welcome_page.h"
#include "setup/start_up.h"

#include <QKeyEvent>
#include <QPainter>
#include <QRadioButton>
#include <QTest>
#include <qdrawutil.h>

namespace zel::test {

QApplication& guiApplication() {
    static QtMessageHandler defaultHandler = nullptr;
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        // The offscreen platform cannot restack windows and says so each time a page is raised.
        defaultHandler = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (!message.startsWith(QLatin1String("This plugin does not support")))
                    defaultHandler(type, context, message);
            });
        static int argc = 1;
        static char name[] = "zel-gui-test";
        static char* argv[] = {name, nullptr};
        auto* created = new QApplication(argc, argv);
        setUpApplication(*created);
        return created;
    }();
    return *app;
}

void WizardTest::SetUp() {
    guiApplication();
    // A Program Manager started by a finished wizard leaves soon after, not a minute later.
    ::setenv("ZEL_PROGMAN_IDLE", "1", 0);
    PlatformTest::SetUp();
}

void WizardTest::startUp() {
    wizard.reset();
    platform = std::make_unique<Platform>(machine(), ui, printer, sound);
    catalogue = Catalogue{};
    choices = zel::startUp(platform->files, sound, catalogue);
}

Wizard& WizardTest::makeWizard() {
    wizard.reset();
    platform = std::make_unique<Platform>(machine(), ui, printer, sound);
    catalogue = Catalogue{};
    wizard = std::make_unique<Wizard>(*platform, catalogue);
    return *wizard;
}

QStringList WizardTest::visiblePages() const {
    QStringList names;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && qobject_cast<PageWindow*>(window) &&
            !qobject_cast<BackdropWindow*>(window))
            names << window->objectName();
    names.sort();
    return names;
}

void WizardRunTest::SetUp() {
    WizardTest::SetUp();
    useDemoKitWithTheWizard();
    makeMachine(true); // Program Manager in the machine, as the program's own start puts it
}

void WizardRunTest::TearDown() {
    WizardTest::TearDown(); // ends the conversation; the server then leaves by itself
    EXPECT_TRUE(awaitProgmanExit()) << "Program Manager did not leave after its idle time";
    ::unsetenv("ZEL_PROGMAN_IDLE");
    if (const char* keep = std::getenv("ZEL_E2E_KEEP"); keep != nullptr && *keep != '\0') {
        const fs::path to =
            fs::path(keep) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::error_code ec;
        fs::remove_all(to, ec);
        fs::create_directories(to, ec);
        fs::copy(prefix, to / "prefix",
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
        fs::copy(medium(), to / "medium", fs::copy_options::recursive, ec);
        EXPECT_FALSE(ec) << "cannot keep the machine in " << to << ": " << ec.message();
    }
}

void WizardRunTest::click(QAbstractButton* button) {
    ASSERT_TRUE(button->isVisible() && button->isEnabled()) << button->objectName().toStdString();
    button->click();
    QApplication::processEvents();
}

QString WizardRunTest::currentPage() const {
    const QStringList pages = visiblePages();
    return pages.size() == 1 ? pages.front() : QString();
}

void WizardRunTest::screenshot(QWidget& page, const std::string& name) {
    const char* dir = std::getenv("ZEL_SCREENSHOTS");
    const bool writing = dir != nullptr && *dir != '\0';
    if (!writing && !comparePictures)
        return;
    QApplication::processEvents();
    const QImage client = page.grab().toImage();
    constexpr int kFrame = 3, kCaption = 18; // the grey frame and the caption bar of the era
    QImage shot(client.width() + 2 * kFrame, client.height() + 2 * kFrame + kCaption,
                QImage::Format_RGB32);
    shot.fill(QColor(0xc0, 0xc0, 0xc0));
    QPainter painter(&shot);
    QPalette frame; // the raised frame: grey and white above and left, grey and black below
    frame.setColor(QPalette::Light, QColor(0xc0, 0xc0, 0xc0));
    frame.setColor(QPalette::Midlight, Qt::white);
    frame.setColor(QPalette::Dark, QColor(0x80, 0x80, 0x80));
    frame.setColor(QPalette::Shadow, Qt::black);
    qDrawWinPanel(&painter, shot.rect(), frame, false);
    const QRect caption(kFrame, kFrame, client.width(), kCaption);
    painter.fillRect(caption, QColor(0, 0, 0x80));
    QFont font = page.font();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(caption.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     page.windowTitle());
    painter.drawImage(kFrame, kFrame + kCaption, client);
    painter.end();
    const QImage indexed = shot.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    const fs::path file =
        writing ? fs::path(dir) / (name + ".png") : sourceDir() / "docs/pages" / (name + ".png");
    if (!writing) { // pixel for pixel as the README shows it, as scripts/screenshots makes it
        const QImage want(QString::fromStdString(file.string()));
        EXPECT_TRUE(indexed.convertToFormat(QImage::Format_RGB32) ==
                    want.convertToFormat(QImage::Format_RGB32))
            << name;
        return;
    }
    fs::create_directories(file.parent_path());
    EXPECT_TRUE(indexed.save(QString::fromStdString(file.string()), "PNG", 9)) << file;
}

void WizardRunTest::throughRegistration(bool subscriber) {
    Wizard& w = *wizard;
    ASSERT_EQ(currentPage(), "WelcomePage");
    screenshot(*w.welcomePage, "01-welcome");
    click(w.welcomePage->ui.nextButton);
    screenshot(*w.licencePage, "02-licence");
    click(w.licencePage->ui.nextButton);
    ASSERT_EQ(currentPage(), "RegistrationPage");
    const auto& form = w.registrationPage->ui;
    if (subscriber) {
        type(form.nameEdit, QStringLiteral("Maria da Conceição"));
        type(form.streetEdit, QStringLiteral("Rua das Flores"));
        type(form.numberEdit, QStringLiteral("12"));
        type(form.cityEdit, QStringLiteral("São Paulo"));
        type(form.stateEdit, QStringLiteral("SP"));
        type(form.officePhoneEdit, QStringLiteral("(011) 555-0123"));
        form.cardBrandBox->setFocus(); // the brand picked with the arrow keys
        QTest::keyClick(form.cardBrandBox, Qt::Key_Down);
        QTest::keyClick(form.cardBrandBox, Qt::Key_Down);
        type(form.cardNumberEdit, QStringLiteral("5555 4444 3333 2222"));
        type(form.cardExpiryEdit, QStringLiteral("12/99"));
        screenshot(*w.registrationPage, "03-registration");
        ui.answerModal([this](QDialog& notice) {
            screenshot(notice, "04-notice");
            static_cast<FaxNoticeDialog&>(notice).ui.okButton->click();
            return ScriptedUi::kEndedByItsButton;
        });
    }
    click(form.nextButton);
    ASSERT_EQ(currentPage(), "InstallTypePage");
    screenshot(*w.installTypePage, "05-installation-type");
    EXPECT_EQ(ui.modals.size(), subscriber ? 1u : 0u);
    EXPECT_EQ(printer.chooseCount, subscriber ? 1 : 0);
}

void WizardRunTest::copyAndFinish() {
    ASSERT_EQ(currentPage(), "CopyPage");
    screenshot(*wizard->copyPage, "09-copy");
    click(wizard->copyPage->ui.nextButton);
    ASSERT_EQ(currentPage(), "FinishPage") << ::testing::PrintToString(ui.errors);
    screenshot(*wizard->finishPage, "10-finish");
    click(wizard->finishPage->ui.finishButton);
    EXPECT_EQ(ui.errors, std::vector<std::string>{});
    EXPECT_TRUE(ui.quitRequested() && !ui.busy());
}

void WizardRunTest::chooseCustom() {
    click(wizard->installTypePage->ui.installationTypeGroup->button(1));
    click(wizard->installTypePage->ui.nextButton);
}

void type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

} // namespace zel::test
