#pragma once
// Pages on a temporary machine: a prefix, a medium with the given SETUP.INI, the platform
// with scripted services, and either the start-up's catalogue and choices for pages built
// alone, or the whole wizard with its thirteen forms. For page and end-to-end tests.
#include "pages/PageWindow.h"
#include "pages/Wizard.h"
#include "setup/catalogue.h"
#include "setup/choices.h"
#include "tests/support/fixtures.h"
#include "tests/support/scripted_printer.h"
#include "tests/support/doubles.h"
#include "winemu/platform.h"
#include "winemu/sound.h"

#include <QStringList>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QAbstractButton;
class QApplication;

namespace zel::test {

// The one Qt application of a test program (offscreen unless told otherwise), with the
// wizard's fonts and style; made on first use and kept until the program ends.
QApplication& guiApplication();

class WizardTest : public MachineTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The setup description file beside the program (text in code page 1252).
    void writeSetup(std::string_view ini);
    // A string value in the machine's registry, its key created when missing.
    void writeRegistry(std::string_view key, std::string_view name, std::string_view value);
    // Builds the platform and runs the wizard's start-up step: the catalogue and the initial
    // choices, for pages built alone from them.
    void startUp();
    // Builds the platform and creates the forms, as the program's start-up does.
    Wizard& makeWizard();
    // Shows the main window as the program does when its event loop starts.
    void start();

    // The object names of the visible forms, the background left out.
    QStringList visiblePages() const;
    // Answers the next modal page by clicking one of its buttons, which ends it.
    void answerByClicking(QAbstractButton* button);

    ScriptedUi ui;
    std::unique_ptr<PdfPrinter> printer;
    RecordingSound sound;
    std::unique_ptr<Platform> platform;
    Catalogue catalogue;
    Choices choices; // startUp()'s; the wizard keeps its own
    std::unique_ptr<Wizard> wizard;
};

} // namespace zel::test
