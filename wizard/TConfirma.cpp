#include "wizard/TConfirma.h"

TConfirma::TConfirma(TWizard& wizard)
    : TPage(wizard, Role::Dialog,
            kTitleOnly | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    ui.setupUi(this);
    onClick(ui.Button1, &TConfirma::Button1Click);
    onClick(ui.Button2, &TConfirma::Button2Click);
    finishLayout(ui.Button1);
}

void TConfirma::FormShow() {
    // Every question starts on the answer that keeps the wizard going.
    ui.Button1->setFocus();
}

void TConfirma::Button1Click() {
    done(2);
}

void TConfirma::Button2Click() {
    done(1);
}
