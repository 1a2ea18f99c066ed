#pragma once
// Starting the kit's programs: sponsor programs (waited for) and the browser setup and
// Program Manager (not waited for).
#include "winemu/files.h"

#include <string>
#include <string_view>

namespace zel {

// The application's own windows, set aside while a program it waits for runs (the user
// interface services are one).
class ApplicationWindows {
public:
    virtual ~ApplicationWindows() = default;
    virtual void minimise() = 0;
    virtual void restore() = 0;
};

class Programs {
public:
    Programs(Machine& machine, ApplicationWindows& windows) : m_(machine), ui_(windows) {}

    // Minimises the application, runs the program behind the Windows path with no arguments,
    // blocks until it ends and restores. A program that cannot be started restores at once.
    // False when it could not be started.
    bool runAndWait(std::string_view programPath);

    // The platform's WinExec: parses the command line, starts the program detached and
    // returns at once: 33 on success, 2 file not found, 3 path not found, 11 not executable.
    unsigned winExec(std::string_view commandLine, int showMode);

private:
    Machine& m_;
    ApplicationWindows& ui_;
};

} // namespace zel
