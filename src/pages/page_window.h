#pragma once
// What every page and window of the wizard is: a top-level dialog fixed to its designed
// client size, whose handlers run under the general error report, and which asks the wizard
// to move on, go back or end rather than knowing any other page.
#include "qt/qt_text.h"
#include "services/ui.h"

#include <QDialog>

#include <functional>
#include <string_view>

class QAbstractButton;
class QLabel;

namespace zel {

struct Platform;
struct SetupSettings;
class Machine;

// A picture control: a label named after what it shows, ending in "Picture".
bool isPicture(const QWidget& control);

// Centres a window on its screen.
void centreOnScreen(QWidget& window);
// Gives every control of a form that shows no text of its own an accessible name: an edit
// field its label's text (the label whose buddy it is) or else its hint, anything else its
// hint or else the form's caption. Buttons, boxes, groups and labels are named by their text.
void nameControls(QWidget& form);

// The built-in provider's words in the form's caption and its controls' texts and hints
// replaced by the kit's [Marca] (see brandedText); run right after the form's controls are
// made, before any of the kit's own texts go in.
void brandControls(QWidget& form, const SetupSettings& settings);
// The page's picture: the kit's file ([Marca], in the source directory) when one is named and
// loads as the sponsors' pictures do, the built-in `own` one otherwise.
void showPagePicture(QLabel& label, const Machine& machine, std::string_view kitFile,
                     const char* own);

// When a form's controls are made: with the form, or the first time it is shown (or asked to
// build). What a form reads and decides when it is created is done with the form either way;
// only the controls wait, so a form not yet seen costs the start-up neither time nor memory.
enum class Building { Now, WhenShown };

class PageWindow : public QDialog {
    Q_OBJECT

public:
    // Makes the controls if they are not made yet.
    void build();
    bool isBuilt() const { return built_; }
    void setVisible(bool visible) override;

signals:
    // A wizard page's "Seguir >" (once what the page itself does has succeeded), "< Voltar"
    // and "Sair"; the wizard decides where they lead.
    void nextRequested();
    void backRequested();
    void exitRequested();

protected:
    // A fixed dialog frame with a title bar and no title-bar buttons.
    static constexpr Qt::WindowFlags kTitleOnly =
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

    enum class Role {
        Page,    // a wizard page: centred; only its own buttons move on or end
        Dialog,  // a modal dialog: centred; Escape and the close box end it with ModalResult::Other
        Backdrop // full-screen and frameless: placed and sized by its own show step
    };

    PageWindow(zel::Platform& platform, Role role, Qt::WindowFlags flags);

    // Makes the form's controls and shows in them what the creation kept; run once, by build().
    virtual void buildControls() = 0;

    // Called by each form once its controls exist: fixes the client size (a backdrop gets a
    // black ground instead), names the controls and gives the first control of the tab order
    // the focus.
    void finishLayout(QWidget* firstControl);
    // A backdrop's show step: lays the form over the whole primary screen and its picture
    // over the whole form.
    void spanScreen(QWidget& picture);
    // Runs a handler (or a creation step) under the general error report.
    void run(const std::function<void()>& handler);
    template <class Form> void whenClicked(QAbstractButton* button, void (Form::*handler)());
    // Ends a modal dialog with the given result.
    void finish(zel::ModalResult result) { done(static_cast<int>(result)); }

    // Runs every time the form becomes visible (not when it comes back from minimised).
    virtual void onShow() {}

    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

    zel::Platform& platform_;

private:
    void connectClicked(QAbstractButton* button, std::function<void()> handler);

    Role role_;
    bool built_ = false;
};

template <class Form>
void PageWindow::whenClicked(QAbstractButton* button, void (Form::*handler)()) {
    Form* form = static_cast<Form*>(this);
    connectClicked(button, [form, handler] { (form->*handler)(); });
}

} // namespace zel
