#include "wizard/TForm2.h"

#include "connection/TForm5.h"
#include "platform/qt_pictures.h"
#include "registration/TCadastro.h"
#include "setup/TForm4.h"
#include "wizard/TForm3.h"

#include <QPixmap>

TForm2::TForm2(TWizard& wizard) : TPage(wizard, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    ui.Image1->setPixmap(zel::ownPicture("install_type.bmp"));
    onClick(ui.Button1, &TForm2::Button1Click);
    onClick(ui.Button2, &TForm2::Button2Click);
    onClick(ui.Button3, &TForm2::Button3Click);
    finishLayout(ui.Button1);
}

void TForm2::Button1Click() {
    TWizard& w = wizard_;
    if (installationType() == 1)
        w.goToPage(*this, *w.Form3);
    else if (w.Form5->portIndex() == -1)
        w.goToPage(*this, *w.Form5); // the modem's port is not known yet
    else
        w.goToPage(*this, *w.Form4);
}

void TForm2::Button2Click() {
    wizard_.confirmAndEnd();
}

void TForm2::Button3Click() {
    wizard_.goToPage(*this, *wizard_.Cadastro);
}
