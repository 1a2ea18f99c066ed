#include "pages/InstallTypePage.h"

#include "pages/ModemPage.h"
#include "qt/qt_pictures.h"
#include "pages/RegistrationPage.h"
#include "pages/CopyPage.h"
#include "pages/CustomInstallPage.h"

#include <QPixmap>

InstallTypePage::InstallTypePage(Wizard& wizard) : PageWindow(wizard, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    ui.pagePicture->setPixmap(zel::ownPicture("install_type.bmp"));
    whenClicked(ui.nextButton, &InstallTypePage::next);
    whenClicked(ui.exitButton, &InstallTypePage::requestExit);
    whenClicked(ui.backButton, &InstallTypePage::back);
    finishLayout(ui.nextButton);
}

void InstallTypePage::next() {
    Wizard& w = wizard_;
    if (installationType() == zel::InstallationType::Custom)
        w.goToPage(*this, *w.customInstallPage);
    else if (w.modemPage->portIndex() == -1)
        w.goToPage(*this, *w.modemPage); // the modem's port is not known yet
    else
        w.goToPage(*this, *w.copyPage);
}

void InstallTypePage::requestExit() {
    wizard_.confirmAndEnd();
}

void InstallTypePage::back() {
    wizard_.goToPage(*this, *wizard_.registrationPage);
}
