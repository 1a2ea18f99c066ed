#include "pages/fax_notice_dialog.h"

namespace zel {

FaxNoticeDialog::FaxNoticeDialog(zel::Platform& platform, const zel::SetupSettings& brand)
    : PageWindow(platform, Role::Dialog,
                 kTitleOnly | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
      brand_(brand) {}

void FaxNoticeDialog::buildControls() {
    ui.setupUi(this);
    brandControls(*this, brand_);
    whenClicked(ui.okButton, &FaxNoticeDialog::confirm);
    finishLayout(ui.okButton);
}

void FaxNoticeDialog::confirm() {
    finish(zel::ModalResult::Confirm);
}

} // namespace zel
