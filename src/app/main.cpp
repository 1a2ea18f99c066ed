// zel-setup: the setup wizard of the ZEL Internet access kit.
#include "winemu/ui.h"
#include "app/helpers.h"
#include "app/start.h"
#include "winemu/cp1252.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

namespace fs = std::filesystem;

int main(int argc, char* argv[]) {
    zel::WizardRun run;
    run.machine = [] {
        zel::Machine::Options options;
        options.prefix = zel::Machine::defaultPrefix();
        options.programHostPath = zel::Machine::runningExecutable();
        options.hostWorkingDir = fs::current_path();
        options.progmanHostPath = zel::requireHelpers(options.programHostPath);
        options.installProgman = true;
        return options;
    };
    run.cannotStart = [](zel::UiServices& ui, const std::string& reason) {
        std::cerr << "zel-setup: " << zel::cp1252ToUtf8(reason) << '\n';
        ui.reportError(reason);
    };
    return zel::runWizard(argc, argv, run);
}
