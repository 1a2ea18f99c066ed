#pragma once
// Pages on a temporary machine: a medium with the given SETUP.INI, the platform with the
// recording services, and either the start-up's catalogue and choices for pages built alone,
// or the whole wizard with its thirteen forms.
#include "pages/page_window.h"
#include "pages/wizard.h"
#include "services/platform.h"
#include "setup/catalogue.h"
#include "setup/choices.h"
#include "tests/support/doubles.h"
#include "tests/support/fixtures.h"

#include <QStringList>

#include <memory>
#include <string_view>

class QAbstractButton;
class QApplication;

namespace zel::test {

// The one Qt application of a test program (offscreen unless told otherwise), with the
// wizard's fonts and style; made on first use and kept until the program ends.
QApplication& guiApplication();

class WizardTest : public MachineTest {
protected:
    void SetUp() override;
    void TearDown() override {
        wizard.reset();
        platform.reset();
    }
    void writeSetup(std::string_view ini) { writeFile(medium() / "SETUP.INI", ini); }
    // The start-up step alone: the catalogue and the initial choices, for pages built alone.
    void startUp();
    // The forms as the program's start-up creates them; start() shows the first.
    Wizard& makeWizard();
    void start() { (wizard ? *wizard : makeWizard()).start(); }
    // The object names of the visible forms, the background left out, sorted.
    QStringList visiblePages() const;
    // Answers the next modal page by clicking one of its buttons, which ends it.
    void answerByClicking(QAbstractButton* button);

    ScriptedUi ui;
    RecordingPrinter printer;
    RecordingSound sound;
    std::unique_ptr<Platform> platform;
    Catalogue catalogue;
    Choices choices; // startUp()'s; the wizard keeps its own
    std::unique_ptr<Wizard> wizard;
};

inline constexpr const char* kModemKey = "System\\CurrentControlSet\\Services\\Class\\Modem\\0000";

// The whole wizard on a copy of the demo kit, driven through its own buttons; Program Manager,
// started by a finished wizard, must leave soon after it. $ZEL_E2E_KEEP/<test> gets each run's
// machine and medium, $ZEL_SCREENSHOTS a picture of each page shown with a name.
class WizardRunTest : public WizardTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Clicks a button the user can click, and lets the events it queued run.
    void click(QAbstractButton* button);
    // The one visible page, or nothing.
    QString currentPage() const;
    // The page as the user sees it (caption bar and client area, 8-bit palette PNG).
    void screenshot(QWidget& page, const std::string& name);
    // Welcome, licence and registration, to the installation type. A subscriber fills the form
    // in, confirms the notice and the print dialog.
    void throughRegistration(bool subscriber);
    // From the installation type to the custom installation's page.
    void chooseCustom();
    // The copy page's "Seguir >", then the finish page's "Finalizar", which ends the wizard.
    void copyAndFinish();
};

// Types the text one key at a time, accents included (QTest's key clicks know only ASCII).
void type(QWidget* widget, const QString& text);

} // namespace zel::test
