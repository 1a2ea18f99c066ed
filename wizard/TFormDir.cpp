#include "wizard/TFormDir.h"

TFormDir::TFormDir(TWizard& wizard)
    : TPage(wizard, Role::Dialog, kTitleOnly | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    onClick(ui.Button1, &TFormDir::Button1Click);
    onClick(ui.Button2, &TFormDir::Button2Click);
    finishLayout(ui.DirectoryListBox1);
}

void TFormDir::Button1Click() {
    done(1);
}

void TFormDir::Button2Click() {
    done(2);
}
