#include "tests/support/gui_wizard_fixture.h"

#include "pages/BackdropWindow.h"
#include "qt/qt_ui.h"
#include "setup/start_up.h"

#include <QAbstractButton>
#include <QApplication>

#include <cstdlib>

namespace zel::test {

namespace {
QtMessageHandler defaultHandler = nullptr;
} // namespace

QApplication& guiApplication() {
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
        QApplication::setQuitOnLastWindowClosed(false);
        installFontSubstitutions();
        applyClassicStyle(*created);
        return created;
    }();
    return *app;
}

void WizardTest::SetUp() {
    guiApplication();
    // A Program Manager started by a finished wizard leaves soon after, not a minute later.
    ::setenv("ZEL_PROGMAN_IDLE", "1", 0);
    MachineTest::SetUp();
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

void WizardTest::answerByClicking(QAbstractButton* button) {
    ui.answerModal([button](QDialog&) {
        button->click();
        return ModalResult::Other; // ignored: the click has ended the dialog
    });
}

QStringList WizardTest::visiblePages() const {
    QStringList names;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && qobject_cast<PageWindow*>(window) &&
            !qobject_cast<BackdropWindow*>(window))
            names << window->objectName();
    }
    names.sort();
    return names;
}

} // namespace zel::test
