#pragma once
// Which page follows which: "Seguir >" and "< Voltar" of each wizard page, and where "Sair"
// asks first. The rules read only the user's choices.
#include "setup/choices.h"

#include <optional>

namespace zel {

// The wizard's pages, in the order a typical installation meets them.
enum class Page {
    Welcome,
    Licence,
    Registration,
    InstallationType,
    CustomInstallation,
    Connection,
    Copy,
    Finish,
};

// The page after `current`; nothing after the finish page, where the wizard ends.
std::optional<Page> nextPage(Page current, const Choices& choices);
// The page before `current`; nothing where a page has no way back.
std::optional<Page> previousPage(Page current, const Choices& choices);
// Whether leaving from the page asks for a confirmation first. On the welcome page nothing has
// been installed yet, so it leaves at once.
bool confirmsExit(Page page);

} // namespace zel
