#include "pages/wizard.h"

#include "pages/backdrop_window.h"
#include "pages/copy_page.h"
#include "pages/custom_install_page.h"
#include "pages/directory_chooser.h"
#include "pages/exit_confirm_dialog.h"
#include "pages/fax_notice_dialog.h"
#include "pages/finish_page.h"
#include "pages/install_type_page.h"
#include "pages/licence_page.h"
#include "pages/modem_page.h"
#include "pages/registration_page.h"
#include "pages/sponsor_picture_window.h"
#include "pages/welcome_page.h"
#include "qt/qt_modal.h"
#include "qt/qt_pictures.h"
#include "qt/qt_ui.h"
#include "services/platform.h"
#include "setup/start_up.h"
#include "winemu/cp1252.h"
#include "winemu/machine.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <initializer_list>

namespace zel {

void setUpApplication(QApplication& app) {
    // The title of the task-bar entry and of the error report. Set as the application name,
    // not the display name, which the window system would append to every page's caption.
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    QApplication::setWindowIcon(QIcon(zel::ownPicture("app_icon.xpm")));
    QApplication::setQuitOnLastWindowClosed(false);
    installFontSubstitutions();
    applyClassicStyle(app);
}

void applyBrand(const SetupSettings& brand, const Machine& machine) {
    setApplicationTitle(cp1252ToUtf8(brand.brandTitle));
    QApplication::setApplicationName(QString::fromStdString(applicationTitle()));
    if (brand.brandIcon.empty())
        return;
    // Bounded and kept on its drive as the pages' pictures are; one that will not load leaves
    // the built-in icon.
    const std::string file = sourceDirectory(machine.programPath()) + brand.brandIcon;
    const auto host = machine.toHost(file);
    const auto drive = machine.toHost(file.substr(0, 3));
    if (host && drive) {
        if (const QImage icon = readPicture(*host, *drive); !icon.isNull())
            QApplication::setWindowIcon(QIcon(QPixmap::fromImage(icon)));
    }
}

using zel::Page;

template <class Window, class Signal, class Handler>
void Wizard::onRequest(Window& window, Signal signal, Handler handler) {
    QObject::connect(&window, signal, &window, [this, handler](const auto&... arguments) {
        zel::guarded(platform.ui, [&] { handler(arguments...); });
    });
}

Wizard::Wizard(zel::Platform& platform, zel::Catalogue& catalogue)
    : platform(platform), catalogue(catalogue) {
    // The pages are built from what the start-up found, in any order.
    zel::guarded(platform.ui, [this] {
        choices = zel::startUp(this->platform.files, this->platform.sound, this->catalogue);
    });

    // Each form is created here, in this order, with what it reads and decides; the controls
    // of the pages not shown at start wait until they are first shown.
    constexpr Building later = Building::WhenShown;
    const zel::SetupSettings& brand = this->catalogue.settings;
    applyBrand(brand, platform.machine);
    welcomePage = std::make_unique<WelcomePage>(platform, brand);
    installTypePage = std::make_unique<InstallTypePage>(platform, brand, choices, later);
    customInstallPage = std::make_unique<CustomInstallPage>(platform, catalogue, choices, later);
    copyPage = std::make_unique<CopyPage>(platform, catalogue, choices, later);
    directoryChooser = std::make_unique<DirectoryChooser>(platform, later);
    modemPage = std::make_unique<ModemPage>(platform, brand, choices, later);
    finishPage = std::make_unique<FinishPage>(platform, catalogue, choices, later);
    backdrop = std::make_unique<BackdropWindow>(platform, brand);
    sponsorPicture = std::make_unique<SponsorPictureWindow>(platform, later);
    registrationPage = std::make_unique<RegistrationPage>(platform, catalogue, choices, later);
    licencePage = std::make_unique<LicencePage>(platform, catalogue, later);
    // The two small modal dialogs read nothing: their controls too wait until they are needed.
    faxNoticeDialog = std::make_unique<FaxNoticeDialog>(platform, brand);
    exitConfirmDialog = std::make_unique<ExitConfirmDialog>(platform);

    for (const Page page :
         {Page::Welcome, Page::Licence, Page::Registration, Page::InstallationType,
          Page::CustomInstallation, Page::Connection, Page::Copy, Page::Finish})
        connectPage(page);

    onRequest(*welcomePage, &WelcomePage::backgroundNeeded, [this] { backdrop->coverScreen(); });
    onRequest(*welcomePage, &WelcomePage::sponsorPictureRequested,
              [this](const std::string& path) { showSponsorPicture(path); });
    onRequest(*customInstallPage, &CustomInstallPage::chooseFolderRequested,
              [this] { chooseDestination(); });
    // The notice's answer is only "OK".
    onRequest(*registrationPage, &RegistrationPage::faxNoticeRequested,
              [this] { showDialog(*faxNoticeDialog); });
}

Wizard::~Wizard() = default;

PageWindow& Wizard::window(Page page) const {
    switch (page) {
    case Page::Welcome: return *welcomePage;
    case Page::Licence: return *licencePage;
    case Page::Registration: return *registrationPage;
    case Page::InstallationType: return *installTypePage;
    case Page::CustomInstallation: return *customInstallPage;
    case Page::Connection: return *modemPage;
    case Page::Copy: return *copyPage;
    case Page::Finish: break;
    }
    return *finishPage;
}

void Wizard::connectPage(Page page) {
    PageWindow& form = window(page);
    onRequest(form, &PageWindow::nextRequested, [this, page] {
        if (const auto to = zel::nextPage(page, choices))
            goToPage(window(page), window(*to));
        else {
            installed_ = true;
            platform.ui.quit(); // past the finish page: the installation is complete
        }
    });
    onRequest(form, &PageWindow::backRequested, [this, page] {
        if (const auto to = zel::previousPage(page, choices))
            goToPage(window(page), window(*to));
    });
    onRequest(form, &PageWindow::exitRequested, [this, page] {
        if (zel::confirmsExit(page))
            confirmAndEnd();
        else
            platform.ui.quit();
    });
}

zel::ModalResult Wizard::showDialog(PageWindow& dialog) {
    // Its controls first: a modal dialog's window may be made before it is shown.
    dialog.build();
    zel::QtModalDialog modal(dialog);
    return platform.ui.showModal(modal);
}

void Wizard::chooseDestination() {
    if (showDialog(*directoryChooser) == zel::ModalResult::Confirm)
        customInstallPage->takeDestination(directoryChooser->directory());
}

void Wizard::showSponsorPicture(const std::string& path) {
    // A file that is no picture shows nothing rather than an empty black screen.
    if (sponsorPicture->loadPicture(path))
        sponsorPicture->show();
}

void Wizard::buildForms() {
    for (PageWindow* form : std::initializer_list<PageWindow*>{
             welcomePage.get(), installTypePage.get(), customInstallPage.get(), copyPage.get(),
             directoryChooser.get(), modemPage.get(), finishPage.get(), backdrop.get(),
             sponsorPicture.get(), registrationPage.get(), licencePage.get(), faxNoticeDialog.get(),
             exitConfirmDialog.get()})
        form->build();
}

void Wizard::start() {
    // Qt polishes every new widget from the event loop, so the first pass would polish all
    // thirteen forms before anything is painted. A form is polished anyway when it is first
    // shown; the welcome page is, now.
    QCoreApplication::removePostedEvents(nullptr, QEvent::PolishRequest);
    welcomePage->show();
}

void Wizard::goToPage(QWidget& from, QWidget& to) {
    to.show();
    to.raise();
    to.activateWindow();
    from.hide();
}

void Wizard::confirmAndEnd() {
    if (showDialog(*exitConfirmDialog) == zel::ModalResult::Confirm)
        platform.ui.quit();
}

} // namespace zel
