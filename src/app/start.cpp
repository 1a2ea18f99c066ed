#include "app/start.h"

#include "pages/wizard.h"
#include "qt/qt_sound.h"
#include "qt/qt_ui.h"
#include "qt/system_printer.h"
#include "qt/warm_up.h"
#include "services/platform.h"
#include "setup/catalogue.h"
#include "setup/messages.h"
#include "setup/unattended.h"
#include "winemu/cp1252.h"
#include "winemu/events.h"

#include <QApplication>

#include <cstdlib>
#include <exception>
#include <future>
#include <iostream>
#include <memory>
#include <utility>

namespace zel {

namespace {

// The machine, or the reason it cannot be had (code page 1252).
std::unique_ptr<Machine> makeMachine(const std::function<Machine::Options()>& options,
                                     std::string& reason) {
    try {
        return std::make_unique<Machine>(options());
    } catch (const ForeignPrefixError& e) {
        // Its programs could have been planted by someone else: nothing there is started.
        reason = foreignMachine(e);
    } catch (const MachineBusyError& e) {
        // Two writers would each undo or overwrite the other's half: the second stops here.
        reason = machineBusy(e);
    } catch (const std::exception& e) {
        // Without its machine (say, a prefix that cannot be created) nothing can be installed.
        reason = e.what();
    }
    return nullptr;
}

// Tells the run's outcome to whoever keeps the changes; returns its status.
int reportOutcome(int status, const std::string& message) {
    InstallEvent event(InstallEvent::Kind::Outcome);
    event.status = status;
    event.after = message;
    report(event);
    return status;
}

class Silence : public Sound {
public:
    void playWave(const std::string&) override {}
};

struct Ending {
    int status;
    std::string message; // code page 1252
};

// The wizard from its first line to the end of its message loop; everything it made is gone
// when it returns, so that the outcome is the last change told.
Ending wizardRun(int& argc, char** argv, const WizardRun& run) {
    WarmUp fonts = warmUpFonts(); // on another core, while the application is set up
    // The machine needs no Qt: it is opened (and its helpers brought in) meanwhile too.
    std::string reason;
    std::future<std::unique_ptr<Machine>> opening = std::async(
        std::launch::async, [&run, &reason] { return makeMachine(run.machine, reason); });
    QApplication app(argc, argv);
    setUpApplication(app);
    loadQtTranslations(app);

    QtUi ui;
    std::unique_ptr<Machine> machine = opening.get();
    if (!machine) {
        if (run.cannotStart)
            run.cannotStart(ui, reason);
        return {kExitFailed, kWizardCannotStart};
    }

    SystemPrinter printer;
    QtSound sound(*machine);
    Platform platform(*machine, ui, printer, sound);
    Catalogue catalogue;
    fonts.wait(); // the pages measure their texts as they are built
    Wizard wizard(platform, catalogue);
    if (run.beforeStart)
        run.beforeStart(wizard);
    wizard.start();
    app.exec();
    if (!wizard.installed())
        return {kExitCancelled, kCancelled};
    if (std::string failed = run.installed ? run.installed(wizard.choices) : ""; !failed.empty())
        return {kExitFailed, std::move(failed)};
    return {kExitInstalled, kInstalled};
}

} // namespace

int runWizard(int& argc, char** argv, const WizardRun& run) {
    const Ending ending = wizardRun(argc, argv, run);
    return reportOutcome(ending.status, ending.message);
}

int runUnattendedInstallation(int& argc, char** argv, const UnattendedStart& start) {
    std::string reason;
    std::unique_ptr<Machine> machine = makeMachine(start.machine, reason);
    if (!machine) {
        std::cerr << cp1252ToUtf8(reason) << '\n';
        return reportOutcome(kExitFailed, reason);
    }
    ConsoleUi ui("", ".");
    Silence silence;
    SystemPrinter noPrinter; // the pages' print dialog is never asked for
    Platform platform(*machine, ui, noPrinter, silence);

    // Qt only to print the registration, on its offscreen platform: no display is needed.
    std::unique_ptr<QApplication> app;
    UnattendedRun run;
    run.answersFile = start.answersFile;
    run.progress = &std::cerr;
    run.pdfPrinter = [&](const std::string& pdfFile) -> std::unique_ptr<Printer> {
        if (!app) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            app = std::make_unique<QApplication>(argc, argv);
            installFontSubstitutions();
        }
        return SystemPrinter::toPdf(pdfFile);
    };
    const UnattendedResult result = runUnattended(platform, run);
    std::cerr << escapeControls(cp1252ToUtf8(result.message)) << '\n';
    return reportOutcome(result.status, result.message);
}

} // namespace zel
