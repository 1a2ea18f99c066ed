#pragma once
// Pages on a temporary machine with the recording services, built alone or as the whole wizard.
#include "pages/wizard.h"
#include "tests/support/doubles.h"
#include "tests/support/fixtures.h"

#include <QStringList>

#include <memory>
#include <string_view>

class QAbstractButton;
class QApplication;

namespace zel::test {

// The test program's one Qt application (offscreen unless told otherwise), the wizard's style.
QApplication& guiApplication();

class WizardTest : public PlatformTest {
protected:
    void SetUp() override;
    void TearDown() override {
        wizard.reset();
        platform.reset();
        MachineTest::TearDown();
    }
    void writeSetup(std::string_view ini) { writeFile(medium() / "SETUP.INI", ini); }
    void startUp(); // the start-up step alone, for pages built alone
    // The forms as the program's start-up creates them; start() shows the first.
    Wizard& makeWizard();
    void start() { (wizard ? *wizard : makeWizard()).start(); }
    // The object names of the visible forms, the background left out, sorted.
    QStringList visiblePages() const;

    Choices choices; // startUp()'s; the wizard keeps its own
    std::unique_ptr<Wizard> wizard;
};

// The wizard on the demo kit, clicked; $ZEL_E2E_KEEP/<test> keeps machine and medium after.
class WizardRunTest : public WizardTest {
protected:
    void SetUp() override;
    void TearDown() override;
    void click(QAbstractButton* button); // one the user can click; then its events run
    QString currentPage() const;         // the one visible page, or nothing
    // The page and its caption bar as a PNG to $ZEL_SCREENSHOTS, or comparePictures: docs/pages.
    void screenshot(QWidget& page, const std::string& name);
    bool comparePictures = false;
    // To the installation type; a subscriber fills the form in, confirms notice and printing.
    void throughRegistration(bool subscriber);
    void chooseCustom();  // from the installation type to the custom installation
    void copyAndFinish(); // "Seguir >" on the copy page, "Finalizar", which ends the wizard
};

// Types the text one key at a time, accents included (QTest's key clicks know only ASCII).
void type(QWidget* widget, const QString& text);

} // namespace zel::test
