#pragma once
// The wizard: the start-up step, then its thirteen forms, created once and kept until the
// program ends (the controls of a page not shown at start are made when it is first shown);
// the user's choices, which the pages fill; and the page protocol that joins them (where each
// page's buttons lead, the modal dialogs the pages ask for, the exit confirmation).
#include "services/ui.h"
#include "setup/choices.h"
#include "setup/page_flow.h"

#include <memory>
#include <string>

class QApplication;
class QWidget;

namespace zel {

class PageWindow;
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

struct Platform;
class Catalogue;
class Machine;
struct SetupSettings;

// The application as the wizard runs it: its title, icon, fonts and classic style, and no end
// when the last page is hidden (the wizard ends through its own buttons only).
void setUpApplication(QApplication& app);
// The kit's title and icon ([Marca]) for the task bar, the windows and the error report.
void applyBrand(const SetupSettings& brand, const Machine& machine);

class Wizard {
public:
    // Runs the start-up step (the catalogue, the start sound and the initial choices), then
    // creates the forms, all hidden.
    Wizard(zel::Platform& platform, zel::Catalogue& catalogue);
    ~Wizard();
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    // Shows the main window, the welcome page.
    void start();
    // Makes the controls of every form now, for a caller that reads forms not shown yet (each
    // is otherwise made when first shown).
    void buildForms();

    // Shows the target page, then hides the current one (in this order, so that the screen
    // never shows the background alone).
    void goToPage(QWidget& from, QWidget& to);
    // The exit confirmation; "Sim" ends the wizard, anything else leaves everything as it was.
    void confirmAndEnd();

    // The window of a wizard page.
    PageWindow& window(zel::Page page) const;
    // Whether the user went all the way past the finish page (else the wizard was left).
    bool installed() const { return installed_; }

    zel::Platform& platform;
    zel::Catalogue& catalogue;
    zel::Choices choices;

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

private:
    bool installed_ = false;
    // Joins a page's "Seguir >", "< Voltar" and "Sair" to the page flow.
    void connectPage(zel::Page page);
    // Answers a window's request (a signal) with the handler, under the general error report.
    template <class Window, class Signal, class Handler>
    void onRequest(Window& window, Signal signal, Handler handler);
    // Shows a modal dialog, its controls made first.
    zel::ModalResult showDialog(PageWindow& dialog);
    void chooseDestination();
    void showSponsorPicture(const std::string& path);
};

} // namespace zel
