#include "pages/FaxNoticeDialog.h"

FaxNoticeDialog::FaxNoticeDialog(Wizard& wizard)
    : PageWindow(wizard, Role::Dialog,
            kTitleOnly | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint) {
    ui.setupUi(this);
    onClick(ui.Button1, &FaxNoticeDialog::Button1Click);
    finishLayout(ui.Button1);
}

void FaxNoticeDialog::Button1Click() {
    done(1);
}
