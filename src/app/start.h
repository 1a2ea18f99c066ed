#pragma once
// The program from its first line to the end of its message loop: the font configuration on
// another thread, the application, the machine, the services, the wizard (its start-up step
// and its thirteen forms) and the welcome page. The wizard's main runs it; so does the start-up
// benchmark, which therefore measures what the program does.
#include "winemu/machine.h"

#include <functional>
#include <string>

class Wizard;

namespace zel {

class UiServices;

struct WizardRun {
    // Where the program and its machine are; called once the application exists.
    std::function<Machine::Options()> machine;
    // Tells why the machine could not be made; the run then ends with status 1.
    std::function<void(UiServices& ui, const std::string& reason)> cannotStart;
    // Called with the forms built, just before the welcome page is shown.
    std::function<void(Wizard& wizard)> beforeStart;
};

// Returns the program's exit status.
int runWizard(int& argc, char** argv, const WizardRun& run);

} // namespace zel
