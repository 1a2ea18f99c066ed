#include "registration/TAviso.h"

TAviso::TAviso(TWizard& wizard)
    : TPage(wizard, Role::Dialog,
            kTitleOnly | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint) {
    ui.setupUi(this);
    onClick(ui.Button1, &TAviso::Button1Click);
    finishLayout(ui.Button1);
}

void TAviso::Button1Click() {
    done(1);
}
