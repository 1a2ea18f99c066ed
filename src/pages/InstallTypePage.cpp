#include "pages/InstallTypePage.h"

#include "pages/ModemPage.h"
#include "qt/qt_pictures.h"
#include "pages/RegistrationPage.h"
#include "pages/CopyPage.h"
#include "pages/CustomInstallPage.h"

#include <QPixmap>

InstallTypePage::InstallTypePage(Wizard& wizard) : PageWindow(wizard, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    ui.Image1->setPixmap(zel::ownPicture("install_type.bmp"));
    onClick(ui.Button1, &InstallTypePage::Button1Click);
    onClick(ui.Button2, &InstallTypePage::Button2Click);
    onClick(ui.Button3, &InstallTypePage::Button3Click);
    finishLayout(ui.Button1);
}

void InstallTypePage::Button1Click() {
    Wizard& w = wizard_;
    if (installationType() == 1)
        w.goToPage(*this, *w.customInstallPage);
    else if (w.modemPage->portIndex() == -1)
        w.goToPage(*this, *w.modemPage); // the modem's port is not known yet
    else
        w.goToPage(*this, *w.copyPage);
}

void InstallTypePage::Button2Click() {
    wizard_.confirmAndEnd();
}

void InstallTypePage::Button3Click() {
    wizard_.goToPage(*this, *wizard_.registrationPage);
}
