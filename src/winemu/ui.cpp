#include "winemu/ui.h"

#include <exception>

namespace zel {

void guarded(UiServices& ui, const std::function<void()>& handler) {
    // Qt must never see an exception: whatever leaves the handler is reported and the wizard
    // carries on with the page that was up. A failing report itself is swallowed too.
    try {
        handler();
    } catch (const std::exception& e) {
        try {
            ui.reportError(e.what());
        } catch (...) {
        }
    } catch (...) {
        try {
            ui.reportError("Erro desconhecido");
        } catch (...) {
        }
    }
}

} // namespace zel
