// The wizard's start-up as its main runs it (application, machine, services, the thirteen forms,
// the catalogue load, the start sound, the background and the welcome page), ending at the
// welcome page's first paint. Usage: bench_wizard_start MEDIUM/SETUP, with ZEL_PREFIX set.
#include "bench/first_paint.h"
#include "platform/platform.h"
#include "platform/qt_sound.h"
#include "platform/qt_system_printer.h"
#include "platform/qt_ui.h"
#include "platform/qt_warmup.h"
#include "setup/catalogue.h"
#include "wizard/TForm1.h"
#include "wizard/TWizard.h"

#include <QApplication>

#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::cerr << "usage: bench_wizard_start MEDIUM/SETUP\n";
        return 2;
    }
    zel::WarmUp fonts = zel::warmUpFonts(); // on another core, while the application is set up
    QApplication app(argc, argv);
    zel::setUpApplication(app);

    zel::QtUi ui;
    std::unique_ptr<zel::Machine> machine;
    try {
        zel::Machine::Options options;
        options.prefix = zel::Machine::defaultPrefix();
        options.programHostPath = std::filesystem::absolute(argv[1]); // as if run from the medium
        options.hostWorkingDir = std::filesystem::current_path();
        machine = std::make_unique<zel::Machine>(options);
    } catch (const std::exception& e) {
        std::cerr << "bench_wizard_start: " << e.what() << '\n';
        return 1;
    }

    zel::SystemPrinter printer;
    zel::QtSound sound(*machine);
    zel::Platform platform(*machine, ui, printer, sound);
    zel::Catalogue catalogue;
    fonts.wait(); // the pages measure their texts as they are built
    TWizard wizard(platform, catalogue);
    bench::QuitOnFirstPaint quit(*wizard.Form1);
    wizard.start();
    return app.exec();
}
