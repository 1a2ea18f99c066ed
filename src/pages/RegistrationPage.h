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

    // Edit1 to Edit16, in their numbering.
    std::array<QLineEdit*, 16> edits() const;
    // What the page holds now; the card brand only when an item of the list is chosen.
    zel::RegistrationForm registrationForm() const;

    void FormCreate();
    void Button1Click();
    void Button2Click();
    void Button3Click();

private:
    void ComboBox2Edited(const QString& text);
};
