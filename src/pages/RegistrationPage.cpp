#include "pages/RegistrationPage.h"

#include "winemu/platform.h"
#include "pages/FaxNoticeDialog.h"
#include "setup/catalogue.h"
#include "pages/LicencePage.h"
#include "pages/InstallTypePage.h"

#include <QLineEdit>

RegistrationPage::RegistrationPage(Wizard& wizard)
    : PageWindow(wizard, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    onClick(ui.Button1, &RegistrationPage::Button1Click);
    onClick(ui.Button2, &RegistrationPage::Button2Click);
    onClick(ui.Button3, &RegistrationPage::Button3Click);
    connect(ui.ComboBox2->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& text) { run([this, text] { ComboBox2Edited(text); }); });
    finishLayout(ui.Edit1);
    run([this] { FormCreate(); });
}

std::array<QLineEdit*, 16> RegistrationPage::edits() const {
    return {ui.Edit1, ui.Edit2,  ui.Edit3,  ui.Edit4,  ui.Edit5,  ui.Edit6,  ui.Edit7,  ui.Edit8,
            ui.Edit9, ui.Edit10, ui.Edit11, ui.Edit12, ui.Edit13, ui.Edit14, ui.Edit15, ui.Edit16};
}

zel::RegistrationForm RegistrationPage::registrationForm() const {
    zel::RegistrationForm form;
    const auto fields = edits();
    for (std::size_t i = 0; i < fields.size(); ++i)
        form.edit[i] = zel::fromQt(fields[i]->text());
    const int brand = ui.ComboBox2->currentIndex();
    if (brand >= 0)
        form.cardBrand = zel::fromQt(ui.ComboBox2->itemText(brand));
    return form;
}

void RegistrationPage::FormCreate() {
    const zel::SetupSettings& settings = wizard_.catalogue.settings;
    Button1Click();
    ui.Edit16->setText(zel::toQt(settings.upline));
    if (!settings.cadastro1.empty())
        ui.Label18->setText(zel::toQt(settings.cadastro1));
    if (!settings.cadastro2.empty())
        ui.Label20->setText(zel::toQt(settings.cadastro2));
}

void RegistrationPage::ComboBox2Edited(const QString& text) {
    // Typing over the brand drops the choice, as the classic combo box does: what is printed
    // is always an item of the list, never the typed text.
    if (ui.ComboBox2->currentIndex() == -1)
        return;
    QLineEdit* line = ui.ComboBox2->lineEdit();
    const int cursor = line->cursorPosition();
    ui.ComboBox2->setCurrentIndex(-1);
    ui.ComboBox2->setEditText(text);
    line->setCursorPosition(cursor);
}

void RegistrationPage::Button1Click() {
    ui.ComboBox2->setCurrentIndex(-1);
    ui.ComboBox2->clearEditText();
    for (QLineEdit* edit : edits())
        edit->clear();
}

void RegistrationPage::Button2Click() {
    wizard_.goToPage(*this, *wizard_.licencePage);
}

void RegistrationPage::Button3Click() {
    zel::Platform& platform = wizard_.platform;
    const zel::RegistrationForm form = registrationForm();
    switch (zel::completeness(form)) {
    case zel::Completeness::Complete:
        platform.ui.showModal(*wizard_.faxNoticeDialog); // its answer is only "OK"
        // A declined print dialog still moves on: the subscriber may register later.
        if (platform.printer.choosePrinter())
            zel::printRegistration(platform.printer, form);
        break;
    case zel::Completeness::Empty:
        break; // passes without registering
    case zel::Completeness::Incomplete:
        platform.ui.messageBox(zel::kIncompleteMessage, "Aviso", zel::MsgButtons::Ok);
        return;
    }
    wizard_.goToPage(*this, *wizard_.installTypePage);
}
