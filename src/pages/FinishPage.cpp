#include "pages/FinishPage.h"

#include "setup/finish.h"
#include "winemu/platform.h"
#include "qt/qt_pictures.h"
#include "pages/CustomInstallPage.h"

#include <QPixmap>

FinishPage::FinishPage(Wizard& wizard) : PageWindow(wizard, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    ui.pagePicture->setPixmap(zel::ownPicture("finish.bmp"));
    whenClicked(ui.finishButton, &FinishPage::finish);
    finishLayout(ui.finishButton);
}

FinishPage::~FinishPage() {
    wizard_.platform.progman.close();
}

void FinishPage::finish() {
    zel::Platform& platform = wizard_.platform;
    // The sequence blocks the window; a second click must not start it again meanwhile.
    ui.finishButton->setEnabled(false);
    ui.finishButton->repaint();
    platform.ui.setBusyCursor(true);
    try {
        zel::runFinishSequence(platform, wizard_.catalogue, wizard_.customInstallPage->browserChoice());
        // Program Manager has every macro before the wizard goes; the hourglass stays while
        // it executes them.
        platform.progman.close();
    } catch (...) {
        // The page stays usable for another try; the guard reports the error.
        platform.ui.setBusyCursor(false);
        ui.finishButton->setEnabled(true);
        throw;
    }
    platform.ui.setBusyCursor(false);
    platform.ui.quit();
}
