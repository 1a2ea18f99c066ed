#include "finish/TForm7.h"

#include "platform/platform.h"

#include <QPixmap>

TForm7::TForm7(TWizard& wizard) : TPage(wizard, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    ui.Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/finish.png")));
    onClick(ui.Button1, &TForm7::Button1Click);
    finishLayout(ui.Button1);
}

void TForm7::Button1Click() {
    wizard_.platform.ui.quit();
}
