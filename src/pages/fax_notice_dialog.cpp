#include "pages/fax_notice_dialog.h"

namespace zel {

FaxNoticeDialog::FaxNoticeDialog(zel::Platform& platform)
    : PageWindow(platform, Role::Dialog,
                 kTitleOnly | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint) {}

void FaxNoticeDialog::buildControls() {
    ui.setupUi(this);
    whenClicked(ui.okButton, &FaxNoticeDialog::confirm);
    finishLayout(ui.okButton);
}

void FaxNoticeDialog::confirm() {
    finish(zel::ModalResult::Confirm);
}

} // namespace zel
