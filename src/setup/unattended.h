#pragma once
// The installation without pages: the answers file stands in for the user, and every step
// the pages would take runs in their order, with their checks, through the same rules: the
// start-up step, the registration, the page flow, the copy page's checks and work, and the
// finish sequence.
#include "services/platform.h"
#include "setup/answers.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace zel {

// The wizard's exit statuses, interactive or not.
enum ExitStatus : int { kExitInstalled = 0, kExitFailed = 1, kExitUsage = 2, kExitCancelled = 3 };

struct UnattendedResult {
    int status = kExitFailed;
    std::string message; // what went wrong, or what was done (code page 1252)
};

struct UnattendedRun {
    std::string answersFile; // host path
    // A printer writing the registration to the PDF file (a host path); called at most once.
    std::function<std::unique_ptr<Printer>(const std::string& pdfFile)> pdfPrinter;
    // Where the progress lines go (UTF-8): each program as it is installed, each file copied,
    // and the warnings the pages would show in a message box.
    std::ostream* progress = nullptr;
};

// Runs the installation on the platform (whose user interface asks nothing: every question
// is answered by the answers file). A wrong answer stops it before anything is installed.
UnattendedResult runUnattended(Platform& platform, const UnattendedRun& run);

} // namespace zel
