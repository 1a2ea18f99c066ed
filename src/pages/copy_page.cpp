#include "pages/copy_page.h"

#include "qt/qt_gauge.h"
#include "qt/qt_pictures.h"
#include "services/platform.h"
#include "setup/installation.h"
#include "setup/messages.h"

#include <QPixmap>

#include <initializer_list>

namespace zel {

CopyPage::CopyPage(zel::Platform& platform, const zel::Catalogue& catalogue, zel::Choices& choices,
                   Building building)
    : PageWindow(platform, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint),
      brand_(catalogue.settings), catalogue_(catalogue), choices_(choices) {
    if (building == Building::Now)
        build();
}

void CopyPage::buildControls() {
    ui.setupUi(this);
    showPagePicture(*ui.pagePicture, platform_.machine, brand_.brandCopyPicture, "copy.bmp");
    whenClicked(ui.nextButton, &CopyPage::next);
    whenClicked(ui.exitButton, &CopyPage::requestExit);
    whenClicked(ui.backButton, &CopyPage::back);
    finishLayout(ui.nextButton);
}

void CopyPage::setButtonsEnabled(bool enabled) {
    for (QPushButton* button : {ui.nextButton, ui.exitButton, ui.backButton})
        button->setEnabled(enabled);
}

void CopyPage::showIdle() {
    for (QWidget* widget :
         std::initializer_list<QWidget*>{ui.sweepLabel, ui.overallGauge, ui.fileGauge,
                                         ui.programStatusLabel, ui.fileStatusLabel})
        widget->hide();
    repaint();
}

// The copy as this page shows it: the space question and errors in message boxes, the sweep's
// label, then the gauges and status lines; the buttons off and the hourglass while it works.
class CopyPage::View : public zel::CopyView {
public:
    explicit View(CopyPage& page) : page_(page), u_(page.ui), ui_(page.platform_.ui) {}

    void working(bool on) override {
        if (on)
            page_.setButtonsEnabled(false); // events are processed: no second click meanwhile
        ui_.setBusyCursor(on);
    }
    void destinationUnavailable(const std::string& message) override {
        ui_.messageBox(message, zel::kUnavailableDestinationCaption, zel::MsgButtons::Ok);
    }
    bool goOnShortOfSpace(const std::string& question) override {
        return ui_.messageBox(question, zel::kSpaceQuestionCaption, zel::MsgButtons::OkCancel) ==
               zel::ModalResult::Confirm;
    }
    void sweeping() override {
        u_.sweepLabel->show();
        page_.repaint();
        ui_.processEvents();
    }
    void pump() override { ui_.processEvents(); }
    zel::CopyProgress copying() override {
        u_.sweepLabel->hide();
        // A second attempt starts from empty gauges and lines, not from where the first stopped.
        u_.overallGauge->setPosition(0);
        u_.fileGauge->setPosition(0);
        u_.programStatusLabel->clear();
        u_.fileStatusLabel->clear();
        for (QWidget* widget : std::initializer_list<QWidget*>{
                 u_.overallGauge, u_.fileGauge, u_.programStatusLabel, u_.fileStatusLabel})
            widget->show();
        page_.repaint();
        return {overall_, file_, programStatus_, fileStatus_};
    }
    void copyOver() override { page_.showIdle(); }
    void failed(const std::string& message) override { ui_.reportError(message); }

private:
    CopyPage& page_;
    Ui::CopyPage& u_;
    zel::UiServices& ui_;
    zel::QtGauge overall_{*u_.overallGauge}, file_{*u_.fileGauge};
    zel::QtStatusLine programStatus_{*u_.programStatusLabel}, fileStatus_{*u_.fileStatusLabel};
};

void CopyPage::next() {
    // The buttons come back in every case, once all is over.
    struct ButtonsBack {
        CopyPage& page;
        ~ButtonsBack() { page.setButtonsEnabled(true); }
    } buttonsBack{*this};
    View view(*this);
    if (zel::runCopy(platform_, catalogue_, choices_, view))
        emit nextRequested();
}

} // namespace zel
