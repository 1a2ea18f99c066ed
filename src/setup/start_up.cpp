#include "setup/start_up.h"

#include "winemu/profile.h"
#include "winemu/registry.h"

#include <algorithm>
#include <exception>

namespace zel {

namespace {

constexpr const char* kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
// The first installed modem.
constexpr const char* kModemKey = "\\System\\CurrentControlSet\\Services\\Class\\Modem\\0000";
constexpr const char* kModemInitKey =
    "\\System\\CurrentControlSet\\Services\\Class\\Modem\\0000\\Settings\\Init";

} // namespace

std::string readRegistryText(const Machine& machine, std::string_view key, std::string_view value) {
    Registry registry(machine.registryFile());
    std::string text;
    try {
        if (registry.openKey(key, false))
            text = registry.readString(value);
    } catch (const std::exception&) {
        text.clear();
    }
    registry.closeKey();
    return text;
}

std::string underProgramFiles(std::string_view destino, std::string_view programFilesDir) {
    if (programFilesDir.find(':') != std::string_view::npos)
        destino.remove_prefix(std::min<std::size_t>(2, destino.size()));
    return std::string(programFilesDir) + std::string(destino);
}

ModemSettings proposedModem(const Machine& machine) {
    ModemSettings modem;
    modem.initCommand = readRegistryText(machine, kModemInitKey, "1");
    const std::string attachedTo = readRegistryText(machine, kModemKey, "AttachedTo");
    if (attachedTo.size() >= 4 && attachedTo[3] >= '1' && attachedTo[3] <= '4')
        modem.port = attachedTo[3] - '1';
    modem.dialCommand = kProposedDialCommand;
    return modem;
}

Choices initialChoices(Files& files, const Catalogue& catalogue) {
    const Machine& machine = files.machine();
    Choices choices;
    for (int n = 1; n <= kProgramEntries; ++n)
        choices.programs.at(static_cast<std::size_t>(n - 1)) = catalogue.entry(n).preselected;
    choices.destination =
        underProgramFiles(catalogue.settings.destination,
                          readRegistryText(machine, kCurrentVersionKey, "ProgramFilesDir"));
    const bool firstBrowserPresent = files.fileExists(machine.windowsDirectory() + "\\config.exe");
    choices.browser = firstBrowserPresent ? Browser::First : Browser::Second;
    choices.modem = proposedModem(machine);
    choices.modem.dialCommand = catalogue.settings.brandDialCommand;
    return choices;
}

Choices startUp(Files& files, Sound& sound, Catalogue& catalogue) {
    const std::string program = files.machine().programPath();
    catalogue.load(ProfileFile(files.machine(), setupDescriptionPath(program)));
    if (!catalogue.settings.startSound.empty())
        sound.playWave(sourceDirectory(program) + catalogue.settings.startSound);
    return initialChoices(files, catalogue);
}

} // namespace zel
