#include "pages/CopyPage.h"

#include "qt/qt_pictures.h"
#include "qt/qt_progress.h"
#include "setup/catalogue.h"
#include "setup/disk_space.h"
#include "setup/install.h"
#include "setup/messages.h"
#include "setup/network_stack.h"
#include "services/platform.h"

#include <QPixmap>

#include <exception>

CopyPage::CopyPage(zel::Platform& platform, const zel::Catalogue& catalogue,
                   zel::Choices& choices, Building building)
    : PageWindow(platform, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint),
      catalogue_(catalogue), choices_(choices) {
    if (building == Building::Now)
        build();
}

void CopyPage::buildControls() {
    ui.setupUi(this);
    ui.pagePicture->setPixmap(zel::ownPicture("copy.bmp"));
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

void CopyPage::next() {
    zel::Platform& platform = platform_;
    const zel::CopyCheck check = zel::checkBeforeCopy(
        catalogue_, choices_, platform.files.diskFree(zel::destinationDrive(choices_.destination)));
    if (check.error) {
        platform.ui.messageBox(*check.error, zel::kUnavailableDestinationCaption,
                               zel::MsgButtons::Ok);
        return;
    }
    if (check.question) {
        if (platform.ui.messageBox(*check.question, zel::kSpaceQuestionCaption,
                                   zel::MsgButtons::OkCancel) != zel::ModalResult::Confirm)
            return;
        choices_.continueShortOfSpace = true;
    }

    // Events are processed while the work goes on: no second click may start it again. The
    // buttons come back in every case.
    struct ButtonsOff {
        CopyPage& page;
        explicit ButtonsOff(CopyPage& page) : page(page) { page.setButtonsEnabled(false); }
        ~ButtonsOff() { page.setButtonsEnabled(true); }
        ButtonsOff(const ButtonsOff&) = delete;
        ButtonsOff& operator=(const ButtonsOff&) = delete;
    } buttonsOff(*this);

    const zel::Catalogue catalogue = zel::chosenCatalogue(catalogue_, choices_);
    const std::string sourceDir = zel::sourceDirectory(platform.machine.programPath());
    try {
        platform.ui.setBusyCursor(true);
        ui.sweepLabel->show();
        repaint();
        platform.ui.processEvents();
        zel::socketLibrarySweep(platform.files, catalogue, sourceDir,
                                [&platform] { platform.ui.processEvents(); });
        ui.sweepLabel->hide();

        // A second attempt starts from empty gauges and lines, not from where the first stopped.
        ui.overallGauge->setPosition(0);
        ui.fileGauge->setPosition(0);
        ui.programStatusLabel->clear();
        ui.fileStatusLabel->clear();
        for (QWidget* widget : std::initializer_list<QWidget*>{
                 ui.overallGauge, ui.fileGauge, ui.programStatusLabel, ui.fileStatusLabel})
            widget->show();
        repaint();
        zel::QtGauge overall(*ui.overallGauge), file(*ui.fileGauge);
        zel::QtStatusLine programStatus(*ui.programStatusLabel), fileStatus(*ui.fileStatusLabel);
        zel::installationRun(platform.files, catalogue, sourceDir, overall, file, programStatus,
                             fileStatus);
    } catch (const std::exception& e) {
        // A file that could not be copied (its message names it): the page stays usable, so the
        // user can put the file in place and try again, or leave. What was done stays done.
        showIdle();
        platform.ui.setBusyCursor(false);
        platform.ui.reportError(e.what());
        return;
    }

    showIdle();
    zel::dialerSettingsUpdate(platform.files, catalogue, choices_.modem);
    platform.ui.setBusyCursor(false);
    emit nextRequested();
}
