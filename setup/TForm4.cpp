#include "setup/TForm4.h"

#include "connection/TForm5.h"
#include "finish/TForm7.h"
#include "setup/catalogue.h"
#include "wizard/TForm2.h"
#include "wizard/TForm3.h"

#include <QPixmap>

TForm4::TForm4(TWizard& wizard) : TPage(wizard, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    ui.Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/copy.png")));
    onClick(ui.Button1, &TForm4::Button1Click);
    onClick(ui.Button2, &TForm4::Button2Click);
    onClick(ui.Button3, &TForm4::Button3Click);
    finishLayout(ui.Button1);
}

void TForm4::Button1Click() {
    wizard_.goToPage(*this, *wizard_.Form7);
}

void TForm4::Button2Click() {
    wizard_.confirmAndEnd();
}

void TForm4::Button3Click() {
    TWizard& w = wizard_;
    if (w.Form2->installationType() == 0)
        w.goToPage(*this, *w.Form2);
    else if (w.catalogue.entry(1).instala == 1)
        w.goToPage(*this, *w.Form5); // the custom path passed the connection page
    else
        w.goToPage(*this, *w.Form3);
}
