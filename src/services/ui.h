#pragma once
// User-interface services the wizard's logic and pages call: message boxes, the cursor,
// pending events, minimise and restore, quitting, modal pages and the general error report.
// Two implementations: QtUi (the real one) and ScriptedUi (tests).
#include "winemu/programs.h"

#include <functional>
#include <string>
#include <utility>

namespace zel {

// The application title shown in the error report and on the task bar.
inline constexpr const char* kApplicationTitle = "ZEL Internet for Windows 95/NT";

enum class MsgButtons { Ok = 0, OkCancel = 1 };

// How a message box or a modal page ended, as a dialog's result code carries it: by its
// confirming button (OK, "Sim", "Confirmar") or by the other way out (Cancel, "Não",
// "Voltar", Escape or the close box).
enum class ModalResult { Confirm = 1, Other = 2 };

// A dialog's result code read as a ModalResult: anything but a confirm is the other way out, a
// rejected (0) dialog included.
inline ModalResult modalResultOf(int code) {
    return code == static_cast<int>(ModalResult::Confirm) ? ModalResult::Confirm
                                                          : ModalResult::Other;
}

enum class MsgIcon { None, Stop, Warning, Information };

// A page shown modally: exec() shows it, returns when it is closed and gives its result code
// (read by modalResultOf). The windowed services run it; the pages' dialogs are adapted to it.
class ModalWindow {
public:
    virtual ~ModalWindow() = default;
    virtual int exec() = 0;
};

// minimise() and restore() (ApplicationWindows) set the application's windows aside and back.
class UiServices : public ApplicationWindows {
public:
    // Modal; Confirm for OK, Other for Cancel. Texts in code page 1252.
    virtual ModalResult messageBox(const std::string& text, const std::string& caption,
                                   MsgButtons buttons, MsgIcon icon = MsgIcon::None) = 0;
    // Shows a page modally; its ModalResult.
    virtual ModalResult showModal(ModalWindow& window) = 0;
    virtual void setBusyCursor(bool busy) = 0;
    virtual void processEvents() = 0;
    // Posts the quit request; the wizard ends when the running handler returns.
    virtual void quit() = 0;
    virtual bool quitRequested() const = 0;
    // The general error report: message + ".", the application title, a stop icon and OK.
    virtual void reportError(const std::string& message) = 0;
};

// What a box says, for the standard error of whoever started the program from a terminal or a
// script: "caption: text" in UTF-8 with its lines as the box breaks them, other control
// characters escaped, and a line break at the end.
std::string boxOnConsole(const std::string& caption, const std::string& text);

// A user interface with no window, for a program run from a script or a terminal: a question
// is never put (it is answered Other), and what a box would show goes to the standard error as
// boxOnConsole writes it, a general error as `errorLead` + message + `errorEnd`. Silent: nothing.
class ConsoleUi : public UiServices {
public:
    ConsoleUi(std::string errorLead, std::string errorEnd, bool silent = false)
        : errorLead_(std::move(errorLead)), errorEnd_(std::move(errorEnd)), silent_(silent) {}
    ModalResult messageBox(const std::string& text, const std::string& caption, MsgButtons,
                           MsgIcon) override;
    ModalResult showModal(ModalWindow&) override { return ModalResult::Other; }
    void setBusyCursor(bool) override {}
    void processEvents() override {}
    void minimise() override {}
    void restore() override {}
    void quit() override {}
    bool quitRequested() const override { return false; }
    void reportError(const std::string& message) override;

private:
    std::string errorLead_, errorEnd_;
    bool silent_;
};

// Runs an event handler: an exception that leaves it goes to the general error report and
// never reaches Qt.
void guarded(UiServices& ui, const std::function<void()>& handler);

} // namespace zel
