#pragma once
// The registration page: the subscriber's data, printed for faxing to the provider.
#include "setup/registration.h"
#include "ui_RegistrationPage.h"
#include "pages/Wizard.h"

#include <array>

class QLineEdit;

class RegistrationPage : public PageWindow {
    Q_OBJECT

public:
    explicit RegistrationPage(Wizard& wizard);

    Ui::RegistrationPage ui;

    // The sixteen text fields in the form's order, from the name to the password.
    std::array<QLineEdit*, 16> edits() const;
    // What the page holds now; the card brand only when an item of the list is chosen.
    zel::RegistrationForm registrationForm() const;

    void create();
    void clearForm();
    void back();
    void next();

private:
    void cardBrandEdited(const QString& text);
};
