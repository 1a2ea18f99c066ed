#pragma once
// What the user chooses on the wizard's pages, kept in one place the wizard owns: the pages
// show and fill it, the page flow reads it, and the installation takes it.
#include "setup/catalogue.h"
#include "setup/registration.h"

#include <array>
#include <optional>
#include <string>

namespace zel {

// The installation-type page's choice, in the order of its items.
enum class InstallationType : int { Typical = 0, Custom = 1 };

// The browser to set up, in the order of the custom page's items: the kit's first browser, its
// second, or none.
enum class Browser : int { First = 0, Second = 1, None = 2 };

// The program entries the custom page shows, 1 to 10; the others keep the kit's selection.
inline constexpr int kShownPrograms = 10;

// Entry N is selected when its element N - 1 is set.
using ProgramSelection = std::array<bool, kProgramEntries>;

// The connection page's settings.
struct ModemSettings {
    std::optional<int> port; // 0..3 for COM1..COM4; none while no port is known
    std::string initCommand; // the modem's initialisation command (code page 1252)
    std::string dialCommand;
};

struct Choices {
    InstallationType installation = InstallationType::Typical;
    // The programs to install: the kit's selection until the custom page stores its own,
    // which both installation types then take.
    ProgramSelection programs{};
    // Taken as the custom page shows it, on either installation type.
    Browser browser = Browser::Second;
    // Where the programs go: the kit's destination under the machine's program-files
    // directory, or as last chosen, which the pages store ending in "\" (every later step
    // joins names straight to it).
    std::string destination;
    ModemSettings modem;
    RegistrationForm registration;
    // The copy page's space question answered "go on" (kept for a replay of the answers).
    bool continueShortOfSpace = false;

    bool installs(int entry) const { return programs.at(static_cast<std::size_t>(entry - 1)); }
};

// The catalogue as the installation takes it: the kit's, with the chosen programs selected
// (and no others) and the chosen destination.
Catalogue chosenCatalogue(const Catalogue& kit, const Choices& choices);

} // namespace zel
