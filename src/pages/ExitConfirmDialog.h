#pragma once
// The exit confirmation: "Sim" confirms; "Não", Escape and the close box give the other result.
#include "ui_ExitConfirmDialog.h"
#include "pages/Wizard.h"

class ExitConfirmDialog : public PageWindow {
    Q_OBJECT

public:
    explicit ExitConfirmDialog(Wizard& wizard);

    Ui::ExitConfirmDialog ui;

    void no();
    void yes();

protected:
    void onShow() override;
};
