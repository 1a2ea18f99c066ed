#include "setup/choices.h"

namespace zel {

Catalogue chosenCatalogue(const Catalogue& kit, const Choices& choices) {
    Catalogue chosen = kit;
    for (int n = 1; n <= kProgramEntries; ++n)
        chosen.entry(n).preselected = choices.installs(n);
    chosen.settings.destination = choices.destination;
    return chosen;
}

} // namespace zel
