#pragma once
// The exit confirmation: "Sim" gives 1, "Não" and the close box give 2.
#include "ui_TConfirma.h"
#include "wizard/TWizard.h"

class TConfirma : public TPage {
    Q_OBJECT

public:
    explicit TConfirma(TWizard& wizard);

    Ui::TConfirma ui;

    void Button1Click();
    void Button2Click();

protected:
    void FormShow() override;
};
