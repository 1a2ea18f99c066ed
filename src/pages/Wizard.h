#pragma once
// The wizard: its thirteen forms, created once in a fixed order and kept until the program
// ends, and the page protocol they share (go to a page, confirm and end, guarded handlers).
#include "qt/qt_text.h"
#include "winemu/ui.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QAbstractButton;
class QApplication;

namespace zel {
struct Platform;
class Catalogue;
class Machine;

// A string value of HKEY_LOCAL_MACHINE, read from a key opened without creating it and closed
// again. A missing key or value, a value that is no string, or a registry that cannot be
// read all give the empty text: the wizard's start-up reports nothing.
std::string readRegistryText(const Machine& machine, std::string_view key, std::string_view value);

// The application as the wizard runs it: its title, icon, fonts and classic style, and no end
// when the last page is hidden (the wizard ends through its own buttons only).
void setUpApplication(QApplication& app);

// A picture control: a label named after what it shows, ending in "Picture".
bool isPicture(const QWidget& control);

// Centres a window on its screen.
void centreOnScreen(QWidget& window);
// Gives every control of a form that shows no text of its own an accessible name: an edit
// field its label's text (the label whose buddy it is) or else its hint, anything else its
// hint or else the form's caption. Buttons, boxes, groups and labels are named by their text.
void nameControls(QWidget& form);
} // namespace zel

class Wizard;

// What every form is: a top-level dialog that knows the wizard, fixed to its designed client
// size, and whose handlers run under the general error report.
class PageWindow : public QDialog {
    Q_OBJECT

public:
    Wizard& wizard() const { return wizard_; }

protected:
    // A fixed dialog frame with a title bar and no title-bar buttons.
    static constexpr Qt::WindowFlags kTitleOnly =
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

    enum class Role {
        Page,    // a wizard page: centred; only its own buttons move on or end
        Dialog,  // a modal dialog: centred; Escape and the close box end it with ModalOther
        Backdrop // full-screen and frameless: placed and sized by its own show step
    };

    PageWindow(Wizard& wizard, Role role, Qt::WindowFlags flags);

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

    // Runs every time the form becomes visible (not when it comes back from minimised).
    virtual void onShow() {}

    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

    Wizard& wizard_;

private:
    void connectClicked(QAbstractButton* button, std::function<void()> handler);

    Role role_;
};

template <class Form>
void PageWindow::whenClicked(QAbstractButton* button, void (Form::*handler)()) {
    Form* form = static_cast<Form*>(this);
    connectClicked(button, [form, handler] { (form->*handler)(); });
}

class WelcomePage;
class InstallTypePage;
class CustomInstallPage;
class CopyPage;
class DirectoryChooser;
class ModemPage;
class FinishPage;
class BackdropWindow;
class SponsorPictureWindow;
class RegistrationPage;
class LicencePage;
class FaxNoticeDialog;
class ExitConfirmDialog;

class Wizard {
public:
    // Creates the forms in their order, all hidden. The welcome page's creation step loads
    // the catalogue, which the later creation steps read.
    Wizard(zel::Platform& platform, zel::Catalogue& catalogue);
    ~Wizard();
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    // Shows the main window, the welcome page.
    void start();

    // Shows the target page, then hides the current one (in this order, so that the screen
    // never shows the background alone).
    void goToPage(QWidget& from, QWidget& to);
    // The exit confirmation; "Sim" ends the wizard, anything else leaves everything as it was.
    void confirmAndEnd();

    zel::Platform& platform;
    zel::Catalogue& catalogue;

    // In the order of creation; destroyed in the reverse order.
    std::unique_ptr<WelcomePage> welcomePage;
    std::unique_ptr<InstallTypePage> installTypePage;
    std::unique_ptr<CustomInstallPage> customInstallPage;
    std::unique_ptr<CopyPage> copyPage;
    std::unique_ptr<DirectoryChooser> directoryChooser;
    std::unique_ptr<ModemPage> modemPage;
    std::unique_ptr<FinishPage> finishPage;
    std::unique_ptr<BackdropWindow> backdrop;
    std::unique_ptr<SponsorPictureWindow> sponsorPicture;
    std::unique_ptr<RegistrationPage> registrationPage;
    std::unique_ptr<LicencePage> licencePage;
    std::unique_ptr<FaxNoticeDialog> faxNoticeDialog;
    std::unique_ptr<ExitConfirmDialog> exitConfirmDialog;
};
