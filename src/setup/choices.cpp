#include "setup/choices.h"

namespace zel {

Catalogue chosenCatalogue(const Catalogue& kit, const Choices& choices) {
    Catalogue chosen = kit;
    for (int n = 1; n <= kProgramEntries; ++n)
        chosen.entry(n).instala = choices.installs(n) ? 1 : 0;
    chosen.settings.destino = choices.destination;
    return chosen;
}

} // namespace zel
