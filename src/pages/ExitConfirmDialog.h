#pragma once
// The exit confirmation: "Sim" gives 1, "Não" and the close box give 2.
#include "ui_ExitConfirmDialog.h"
#include "pages/Wizard.h"

class ExitConfirmDialog : public PageWindow {
    Q_OBJECT

public:
    explicit ExitConfirmDialog(Wizard& wizard);

    Ui::ExitConfirmDialog ui;

    void Button1Click();
    void Button2Click();

protected:
    void FormShow() override;
};
