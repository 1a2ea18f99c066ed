#include "pages/FinishPage.h"

#include "qt/qt_pictures.h"
#include "setup/finish.h"
#include "winemu/platform.h"

#include <QPixmap>

FinishPage::FinishPage(zel::Platform& platform, const zel::Catalogue& catalogue,
                       const zel::Choices& choices)
    : PageWindow(platform, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint),
      catalogue_(catalogue), choices_(choices) {
    ui.setupUi(this);
    ui.pagePicture->setPixmap(zel::ownPicture("finish.bmp"));
    whenClicked(ui.finishButton, &FinishPage::finish);
    finishLayout(ui.finishButton);
}

FinishPage::~FinishPage() {
    platform_.progman.close();
}

void FinishPage::finish() {
    zel::Platform& platform = platform_;
    // The sequence blocks the window; a second click must not start it again meanwhile.
    ui.finishButton->setEnabled(false);
    ui.finishButton->repaint();
    platform.ui.setBusyCursor(true);
    try {
        zel::runFinishSequence(platform, zel::chosenCatalogue(catalogue_, choices_),
                               choices_.browser);
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
    emit nextRequested();
}
