// The wizard's start-up, run by the same code as the program's (runWizard: the font thread, the
// application, machine, services, the catalogue load with the start sound and the initial
// choices, the thirteen forms, the background and the welcome page), ending at the welcome
// page's first paint. The machine is made as the program makes it, with Program Manager and
// the uninstaller brought in.
// Usage: bench_wizard_start MEDIUM/SETUP, with ZEL_PREFIX set.
#include "app/start.h"
#include "bench/first_paint.h"
#include "pages/welcome_page.h"
#include "pages/wizard.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::cerr << "usage: bench_wizard_start MEDIUM/SETUP\n";
        return 2;
    }
    const std::filesystem::path program = std::filesystem::absolute(argv[1]);
    std::unique_ptr<bench::QuitOnFirstPaint> quit;
    zel::WizardRun run;
    run.machine = [&program] {
        zel::Machine::Options options;
        options.prefix = zel::Machine::defaultPrefix();
        options.programHostPath = program; // as if run from the medium
        options.hostWorkingDir = std::filesystem::current_path();
        // As the program does at each start: its helpers brought into the machine when theirs
        // are missing or differ (the benchmark's own builds of them stand in for the medium's).
        const std::filesystem::path bin =
            std::filesystem::canonical("/proc/self/exe").parent_path();
        options.progmanHostPath = bin / "progman";
        options.uninstallerHostPath = bin / "zel-uninstall";
        options.installProgman = true;
        return options;
    };
    run.cannotStart = [](zel::UiServices&, const std::string& reason) {
        std::cerr << "bench_wizard_start: " << reason << '\n';
    };
    run.beforeStart = [&quit](zel::Wizard& wizard) {
        quit = std::make_unique<bench::QuitOnFirstPaint>(*wizard.welcomePage);
    };
    return zel::runWizard(argc, argv, run);
}
