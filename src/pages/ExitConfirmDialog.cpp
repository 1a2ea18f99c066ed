#include "pages/ExitConfirmDialog.h"

ExitConfirmDialog::ExitConfirmDialog(Wizard& wizard)
    : PageWindow(wizard, Role::Dialog,
            kTitleOnly | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    ui.setupUi(this);
    onClick(ui.Button1, &ExitConfirmDialog::Button1Click);
    onClick(ui.Button2, &ExitConfirmDialog::Button2Click);
    finishLayout(ui.Button1);
}

void ExitConfirmDialog::FormShow() {
    // Every question starts on the answer that keeps the wizard going.
    ui.Button1->setFocus();
}

void ExitConfirmDialog::Button1Click() {
    done(2);
}

void ExitConfirmDialog::Button2Click() {
    done(1);
}
