#include "pages/FinishPage.h"

#include "qt/qt_pictures.h"
#include "setup/finish.h"
#include "setup/messages.h"
#include "services/platform.h"

#include <QPixmap>

FinishPage::FinishPage(zel::Platform& platform, const zel::Catalogue& catalogue,
                       const zel::Choices& choices, Building building)
    : PageWindow(platform, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint),
      catalogue_(catalogue), choices_(choices) {
    if (building == Building::Now)
        build();
}

void FinishPage::buildControls() {
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
    std::vector<std::string> lost;
    ui.finishButton->repaint();
    platform.ui.setBusyCursor(true);
    try {
        const std::vector<std::string> macros = zel::runFinishSequence(
            platform, zel::chosenCatalogue(catalogue_, choices_), choices_.browser);
        // Program Manager has every macro before the wizard goes; the hourglass stays while
        // it executes them.
        platform.progman.close();
        lost = zel::notCreated(macros, platform.progman.deliveries());
    } catch (...) {
        // The page stays usable for another try; the guard reports the error.
        platform.ui.setBusyCursor(false);
        ui.finishButton->setEnabled(true);
        throw;
    }
    platform.ui.setBusyCursor(false);
    // The installation is done all the same; the user learns what to set up by hand.
    if (!lost.empty())
        platform.ui.messageBox(zel::progmanLoss(lost), zel::kProgmanLossCaption,
                               zel::MsgButtons::Ok, zel::MsgIcon::Warning);
    emit nextRequested();
}
