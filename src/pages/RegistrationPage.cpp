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
    whenClicked(ui.clearButton, &RegistrationPage::clearForm);
    whenClicked(ui.backButton, &RegistrationPage::back);
    whenClicked(ui.nextButton, &RegistrationPage::next);
    connect(ui.cardBrandBox->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& text) { run([this, text] { cardBrandEdited(text); }); });
    finishLayout(ui.nameEdit);
    run([this] { create(); });
}

std::array<QLineEdit*, 16> RegistrationPage::edits() const {
    return {ui.nameEdit,       ui.streetEdit,     ui.numberEdit,     ui.flatEdit,
            ui.complementEdit, ui.cityEdit,       ui.stateEdit,      ui.postcodeEdit,
            ui.birthDateEdit,  ui.professionEdit, ui.homePhoneEdit,  ui.officePhoneEdit,
            ui.cardNameEdit,   ui.cardNumberEdit, ui.cardExpiryEdit, ui.passwordEdit};
}

zel::RegistrationForm RegistrationPage::registrationForm() const {
    zel::RegistrationForm form;
    const auto fields = edits();
    for (std::size_t i = 0; i < fields.size(); ++i)
        form.edit[i] = zel::fromQt(fields[i]->text());
    const int brand = ui.cardBrandBox->currentIndex();
    if (brand >= 0)
        form.cardBrand = zel::fromQt(ui.cardBrandBox->itemText(brand));
    return form;
}

void RegistrationPage::create() {
    const zel::SetupSettings& settings = wizard_.catalogue.settings;
    clearForm();
    ui.passwordEdit->setText(zel::toQt(settings.upline));
    if (!settings.cadastro1.empty())
        ui.introLabel->setText(zel::toQt(settings.cadastro1));
    if (!settings.cadastro2.empty())
        ui.feeLabel->setText(zel::toQt(settings.cadastro2));
}

void RegistrationPage::cardBrandEdited(const QString& text) {
    // Typing over the brand drops the choice, as the classic combo box does: what is printed
    // is always an item of the list, never the typed text.
    if (ui.cardBrandBox->currentIndex() == -1)
        return;
    QLineEdit* line = ui.cardBrandBox->lineEdit();
    const int cursor = line->cursorPosition();
    ui.cardBrandBox->setCurrentIndex(-1);
    ui.cardBrandBox->setEditText(text);
    line->setCursorPosition(cursor);
}

void RegistrationPage::clearForm() {
    ui.cardBrandBox->setCurrentIndex(-1);
    ui.cardBrandBox->clearEditText();
    for (QLineEdit* edit : edits())
        edit->clear();
}

void RegistrationPage::back() {
    wizard_.goToPage(*this, *wizard_.licencePage);
}

void RegistrationPage::next() {
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
