#include "pages/registration_page.h"

#include "services/platform.h"
#include "setup/catalogue.h"
#include "setup/messages.h"

#include <QLineEdit>

namespace zel {

RegistrationPage::RegistrationPage(zel::Platform& platform, const zel::Catalogue& catalogue,
                                   zel::Choices& choices, Building building)
    : PageWindow(platform, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint),
      brand_(catalogue.settings), choices_(choices),
      password_(catalogue.settings.suggestedPassword), intro_(catalogue.settings.registrationIntro),
      fee_(catalogue.settings.registrationNotice) {
    if (building == Building::Now)
        build();
}

void RegistrationPage::buildControls() {
    ui.setupUi(this);
    brandControls(*this, brand_);
    whenClicked(ui.clearButton, &RegistrationPage::clearForm);
    whenClicked(ui.backButton, &RegistrationPage::back);
    whenClicked(ui.nextButton, &RegistrationPage::next);
    // A brand counts only when chosen from the list: typing its first letters must not complete
    // it into a choice when the focus moves on.
    ui.cardBrandBox->setCompleter(nullptr);
    connect(ui.cardBrandBox->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& text) { run([this, text] { cardBrandEdited(text); }); });
    finishLayout(ui.nameEdit);
    run([this] {
        clearForm();
        ui.passwordEdit->setText(zel::toQt(password_));
        if (!intro_.empty())
            ui.introLabel->setText(zel::toQt(intro_));
        if (!fee_.empty())
            ui.feeLabel->setText(zel::toQt(fee_));
    });
}

std::array<QLineEdit*, zel::kRegistrationFields.size()> RegistrationPage::fields() const {
    return {ui.nameEdit,       ui.streetEdit,     ui.numberEdit,     ui.flatEdit,
            ui.complementEdit, ui.cityEdit,       ui.stateEdit,      ui.postcodeEdit,
            ui.birthDateEdit,  ui.professionEdit, ui.homePhoneEdit,  ui.officePhoneEdit,
            ui.cardNameEdit,   ui.cardNumberEdit, ui.cardExpiryEdit, ui.passwordEdit};
}

zel::RegistrationForm RegistrationPage::registrationForm() const {
    zel::RegistrationForm form;
    const auto edits = fields();
    for (std::size_t i = 0; i < edits.size(); ++i)
        form.*zel::kRegistrationFields[i] = zel::fromQt(edits[i]->text());
    const int brand = ui.cardBrandBox->currentIndex();
    if (brand >= 0)
        form.cardBrand = zel::fromQt(ui.cardBrandBox->itemText(brand));
    return form;
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
    for (QLineEdit* edit : fields())
        edit->clear();
}

void RegistrationPage::next() {
    choices_.registration = registrationForm();
    const zel::RegistrationForm& form = choices_.registration;
    switch (zel::completeness(form)) {
    case zel::Completeness::Complete:
        emit faxNoticeRequested();
        // A declined print dialog still moves on: the subscriber may register later.
        if (platform_.printer.choosePrinter())
            zel::printRegistration(platform_.printer, form, brand_.brandFaxHeading);
        break;
    case zel::Completeness::Empty: break; // passes without registering
    case zel::Completeness::Incomplete:
        platform_.ui.messageBox(zel::kIncompleteRegistration, zel::kIncompleteRegistrationCaption,
                                zel::MsgButtons::Ok);
        return;
    }
    emit nextRequested();
}

} // namespace zel
