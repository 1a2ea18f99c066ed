#pragma once
// The registration page: the subscriber's data, printed for faxing to the provider.
#include "pages/page_window.h"
#include "setup/catalogue.h"
#include "setup/choices.h"
#include "ui_registration_page.h"

#include <array>
#include <string>

class QLineEdit;

namespace zel {

class RegistrationPage : public PageWindow {
    Q_OBJECT

public:
    // Starts empty but for the kit's password suggestion and its introduction texts.
    RegistrationPage(zel::Platform& platform, const zel::Catalogue& catalogue,
                     zel::Choices& choices, Building building = Building::Now);

    Ui::RegistrationPage ui{};

    // The typed fields in the form's order, as zel::kRegistrationFields lists them.
    std::array<QLineEdit*, zel::kRegistrationFields.size()> fields() const;
    // What the page holds now; the card brand only when an item of the list is chosen.
    zel::RegistrationForm registrationForm() const;

    void clearForm();
    void back() { emit backRequested(); }
    // Keeps the form in the choices. A complete form is printed after the fax notice (a
    // declined print dialog moves on all the same), an empty one passes without registering,
    // and a partly filled one stays on the page with a warning.
    void next();

signals:
    // The fax notice, shown modally before the print dialog.
    void faxNoticeRequested();

protected:
    void buildControls() override;

private:
    const zel::SetupSettings brand_; // [Marca], as the start-up read it
    void cardBrandEdited(const QString& text);

    zel::Choices& choices_;
    // The kit's password suggestion and introduction texts, as the page was created with.
    std::string password_, intro_, fee_;
};

} // namespace zel
