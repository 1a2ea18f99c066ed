#include "pages/exit_confirm_dialog.h"

namespace zel {

ExitConfirmDialog::ExitConfirmDialog(zel::Platform& platform)
    : PageWindow(platform, Role::Dialog,
                 kTitleOnly | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {}

void ExitConfirmDialog::buildControls() {
    ui.setupUi(this);
    whenClicked(ui.noButton, &ExitConfirmDialog::no);
    whenClicked(ui.yesButton, &ExitConfirmDialog::yes);
    finishLayout(ui.noButton);
}

void ExitConfirmDialog::onShow() {
    // Every question starts on the answer that keeps the wizard going.
    ui.noButton->setFocus();
}

void ExitConfirmDialog::no() {
    finish(zel::ModalResult::Other);
}

void ExitConfirmDialog::yes() {
    finish(zel::ModalResult::Confirm);
}

} // namespace zel
