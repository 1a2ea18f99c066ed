#include "pages/FinishPage.h"

#include "setup/finish.h"
#include "winemu/platform.h"
#include "qt/qt_pictures.h"
#include "pages/CustomInstallPage.h"

#include <QPixmap>

FinishPage::FinishPage(Wizard& wizard) : PageWindow(wizard, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    ui.Image1->setPixmap(zel::ownPicture("finish.bmp"));
    onClick(ui.Button1, &FinishPage::Button1Click);
    finishLayout(ui.Button1);
}

FinishPage::~FinishPage() {
    wizard_.platform.progman.close();
}

void FinishPage::Button1Click() {
    zel::Platform& platform = wizard_.platform;
    // The sequence blocks the window; a second click must not start it again meanwhile.
    ui.Button1->setEnabled(false);
    ui.Button1->repaint();
    platform.ui.setBusyCursor(true);
    try {
        zel::runFinishSequence(platform, wizard_.catalogue, wizard_.customInstallPage->browserChoice());
        // Program Manager has every macro before the wizard goes; the hourglass stays while
        // it executes them.
        platform.progman.close();
    } catch (...) {
        // The page stays usable for another try; the guard reports the error.
        platform.ui.setBusyCursor(false);
        ui.Button1->setEnabled(true);
        throw;
    }
    platform.ui.setBusyCursor(false);
    platform.ui.quit();
}
