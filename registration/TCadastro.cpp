#include "registration/TCadastro.h"

#include "setup/catalogue.h"
#include "wizard/TConcordo.h"
#include "wizard/TForm2.h"

#include <QLineEdit>

TCadastro::TCadastro(TWizard& wizard)
    : TPage(wizard, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    onClick(ui.Button1, &TCadastro::Button1Click);
    onClick(ui.Button2, &TCadastro::Button2Click);
    onClick(ui.Button3, &TCadastro::Button3Click);
    finishLayout(ui.Edit1);
    run([this] { FormCreate(); });
}

std::array<QLineEdit*, 16> TCadastro::edits() const {
    return {ui.Edit1, ui.Edit2,  ui.Edit3,  ui.Edit4,  ui.Edit5,  ui.Edit6,  ui.Edit7,  ui.Edit8,
            ui.Edit9, ui.Edit10, ui.Edit11, ui.Edit12, ui.Edit13, ui.Edit14, ui.Edit15, ui.Edit16};
}

void TCadastro::FormCreate() {
    const zel::SetupSettings& settings = wizard_.catalogue.settings;
    Button1Click();
    ui.Edit16->setText(zel::toQt(settings.upline));
    if (!settings.cadastro1.empty())
        ui.Label18->setText(zel::toQt(settings.cadastro1));
    if (!settings.cadastro2.empty())
        ui.Label20->setText(zel::toQt(settings.cadastro2));
}

void TCadastro::Button1Click() {
    ui.ComboBox2->setCurrentIndex(-1);
    ui.ComboBox2->clearEditText();
    for (QLineEdit* edit : edits())
        edit->clear();
}

void TCadastro::Button2Click() {
    wizard_.goToPage(*this, *wizard_.Concordo);
}

void TCadastro::Button3Click() {
    wizard_.goToPage(*this, *wizard_.Form2);
}
