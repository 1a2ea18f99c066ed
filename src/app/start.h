#pragma once
// The program from its first line to the end of its message loop: the font configuration on
// another thread, the application, the machine, the services, the wizard (its start-up step
// and its thirteen forms) and the welcome page. The wizard's main runs it; so does the start-up
// benchmark, which therefore measures what the program does. The unattended installation runs
// the same machine and services without pages.
#include "winemu/machine.h"

#include <functional>
#include <string>

namespace zel {

class Wizard;
class UiServices;
struct Choices;

struct WizardRun {
    // Where the program and its machine are; called once the application exists.
    std::function<Machine::Options()> machine;
    // Tells why the machine could not be made; the run then ends with status 1.
    std::function<void(UiServices& ui, const std::string& reason)> cannotStart;
    // Called with the forms built, just before the welcome page is shown.
    std::function<void(Wizard& wizard)> beforeStart;
    // Called with the user's choices once the installation is complete; what it could not do
    // (code page 1252), or nothing.
    std::function<std::string(const Choices& choices)> installed;
};

// Returns the program's exit status, and tells it as the outcome of the installation: 0
// installed, 1 the wizard could not start (or `installed` failed), 3 left by the user before
// the end.
int runWizard(int& argc, char** argv, const WizardRun& run);

struct UnattendedStart {
    std::function<Machine::Options()> machine;
    std::string answersFile; // host path
};

// Installs as the answers file says, without pages and without a display; progress and
// errors on the standard error. Returns the exit status (0, 1, or 2 for an answers file that
// cannot be read).
int runUnattendedInstallation(int& argc, char** argv, const UnattendedStart& run);

} // namespace zel
