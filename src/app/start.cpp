#include "app/start.h"

#include "winemu/platform.h"
#include "qt/qt_sound.h"
#include "qt/qt_system_printer.h"
#include "qt/qt_ui.h"
#include "qt/qt_warmup.h"
#include "setup/catalogue.h"
#include "setup/messages.h"
#include "winemu/cp1252.h"
#include "pages/Wizard.h"

#include <QApplication>

#include <exception>
#include <memory>

namespace zel {

int runWizard(int& argc, char** argv, const WizardRun& run) {
    WarmUp fonts = warmUpFonts(); // on another core, while the application is set up
    QApplication app(argc, argv);
    setUpApplication(app);

    QtUi ui;
    std::unique_ptr<Machine> machine;
    try {
        machine = std::make_unique<Machine>(run.machine());
    } catch (const ForeignPrefixError& e) {
        // Its programs could have been planted by someone else: nothing there is started.
        if (run.cannotStart)
            run.cannotStart(ui, foreignMachine(utf8ToCp1252(e.prefix().string()),
                                               e.reason() == ForeignPrefixError::Reason::OtherOwner));
        return 1;
    } catch (const std::exception& e) {
        // Without its machine (say, a prefix that cannot be created) the wizard cannot start.
        if (run.cannotStart)
            run.cannotStart(ui, e.what());
        return 1;
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
    return app.exec();
}

} // namespace zel
