#include "wizard/TFormPat.h"

TFormPat::TFormPat(TWizard& wizard)
    : TPage(wizard, Role::Backdrop,
            Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    finishLayout(nullptr);
}
