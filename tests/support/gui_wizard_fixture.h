#pragma once
// Pages on a temporary machine: a medium with the given SETUP.INI, the platform with the
// recording services, and either the start-up's catalogue and choices for pages built alone,
// or the whole wizard with its thirteen forms.
#include "pages/PageWindow.h"
#include "pages/Wizard.h"
#include "setup/catalogue.h"
#include "setup/choices.h"
#include "tests/support/doubles.h"
#include "tests/support/fixtures.h"
#include "winemu/platform.h"

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

} // namespace zel::test
