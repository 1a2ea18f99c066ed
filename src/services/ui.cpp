#include "services/ui.h"

#include "winemu/cp1252.h"

#include <exception>
#include <iostream>

namespace zel {

std::string boxOnConsole(const std::string& caption, const std::string& text) {
    std::string shown = escapeControls(cp1252ToUtf8(caption)) + ": ";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        shown += c == '\r' || c == '\n' ? std::string("\n")
                                        : escapeControls(cp1252ToUtf8(std::string(1, c)));
    }
    return shown + '\n';
}

ModalResult ConsoleUi::messageBox(const std::string& text, const std::string& caption, MsgButtons,
                                  MsgIcon) {
    if (!silent_)
        std::cerr << boxOnConsole(caption, text);
    return ModalResult::Other;
}

void ConsoleUi::reportError(const std::string& message) {
    if (!silent_)
        std::cerr << errorLead_ << escapeControls(cp1252ToUtf8(message)) << errorEnd_ << '\n';
}

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
