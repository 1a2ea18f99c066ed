#include "setup/installation.h"

#include "services/platform.h"
#include "setup/finish.h"
#include "setup/install.h"
#include "setup/messages.h"
#include "setup/network_stack.h"

#include <exception>
#include <utility>
#include <vector>

namespace zel {

CopyCheck copyCheck(Platform& platform, const Catalogue& kit, const Choices& choices) {
    return checkBeforeCopy(kit, choices,
                           platform.files.diskFree(destinationDrive(choices.destination)));
}

bool runCopy(Platform& platform, const Catalogue& kit, Choices& choices, CopyView& view) {
    // Resolved once, here: the space question, the copy, the settings files and Program
    // Manager all take the destination from the choices.
    if (const ResolvedDestination resolved = resolveDestination(choices.destination);
        !resolved.error)
        choices.destination = resolved.path;
    const CopyCheck check = copyCheck(platform, kit, choices);
    if (check.error) {
        view.destinationUnavailable(*check.error);
        return false;
    }
    if (check.question) {
        if (!view.goOnShortOfSpace(*check.question))
            return false;
        choices.continueShortOfSpace = true;
    }

    const Catalogue catalogue = chosenCatalogue(kit, choices);
    const std::string sourceDir = sourceDirectory(platform.machine.programPath());
    view.working(true);
    try {
        view.sweeping();
        socketLibrarySweep(platform.files, catalogue, sourceDir, [&view] { view.pump(); });
        const CopyProgress progress = view.copying();
        installationRun(platform.files, catalogue, sourceDir, progress.overall, progress.file,
                        progress.programStatus, progress.fileStatus);
    } catch (const std::exception& e) {
        // A file that could not be copied (its message names it): the user can put it in place
        // and try again, or leave.
        view.copyOver();
        view.working(false);
        view.failed(e.what());
        return false;
    }
    view.copyOver();
    try {
        dialerSettingsUpdate(platform.files, catalogue, choices.modem);
    } catch (const std::exception& e) {
        // Entry 1 is no dial-up stack: reported as a file not copied is.
        view.working(false);
        view.failed(e.what());
        return false;
    }
    view.working(false);
    return true;
}

bool runFinish(Platform& platform, const Catalogue& kit, const Choices& choices, FinishView& view) {
    view.working(true);
    std::vector<std::string> lost;
    try {
        const FinishMacros macros =
            runFinishSequence(platform, chosenCatalogue(kit, choices), choices.browser);
        // Program Manager has every macro before the wizard goes; the work is not over while
        // it executes them.
        platform.progman.close();
        lost = macros.refused;
        for (std::string& line : notCreated(macros.sent, platform.progman.deliveries()))
            lost.push_back(std::move(line));
    } catch (const std::exception& e) {
        // What went out before the failure is delivered; a second try opens a new conversation.
        platform.progman.close();
        view.working(false);
        view.failed(e.what());
        return false;
    }
    view.working(false);
    if (!lost.empty())
        view.notCreated(progmanLoss(lost));
    return true;
}

} // namespace zel
