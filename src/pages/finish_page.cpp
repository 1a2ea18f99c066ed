#include "pages/finish_page.h"

#include "qt/qt_pictures.h"
#include "services/platform.h"
#include "setup/installation.h"
#include "setup/messages.h"

#include <QPixmap>

namespace zel {

FinishPage::FinishPage(zel::Platform& platform, const zel::Catalogue& catalogue,
                       const zel::Choices& choices, Building building)
    : PageWindow(platform, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint),
      brand_(catalogue.settings), catalogue_(catalogue), choices_(choices) {
    if (building == Building::Now)
        build();
}

void FinishPage::buildControls() {
    ui.setupUi(this);
    brandControls(*this, brand_);
    showPagePicture(*ui.pagePicture, platform_.machine, brand_.brandFinishPicture, "finish.bmp");
    whenClicked(ui.finishButton, &FinishPage::finish);
    finishLayout(ui.finishButton);
}

FinishPage::~FinishPage() {
    platform_.progman.close();
}

// The finish as this page shows it: the button off and the hourglass while it works; a
// failure leaves the button usable for another try; what Program Manager did not create in a
// warning box.
class FinishPage::View : public zel::FinishView {
public:
    explicit View(FinishPage& page) : page_(page), ui_(page.platform_.ui) {}

    void working(bool on) override {
        if (on) {
            // The sequence blocks the window; a second click must not start it again meanwhile.
            page_.ui.finishButton->setEnabled(false);
            page_.ui.finishButton->repaint();
        }
        ui_.setBusyCursor(on);
    }
    void failed(const std::string& message) override {
        page_.ui.finishButton->setEnabled(true);
        ui_.reportError(message);
    }
    void notCreated(const std::string& message) override {
        ui_.messageBox(message, zel::kProgmanLossCaption, zel::MsgButtons::Ok,
                       zel::MsgIcon::Warning);
    }

private:
    FinishPage& page_;
    zel::UiServices& ui_;
};

void FinishPage::finish() {
    View view(*this);
    if (zel::runFinish(platform_, catalogue_, choices_, view))
        emit nextRequested();
}

} // namespace zel
