#pragma once
// The sponsor picture page: a frameless window over the whole screen showing one picture,
// centred and unscaled; a click on it hides the page again.
#include "ui_TFormPat.h"
#include "wizard/TWizard.h"

class TFormPat : public TPage {
    Q_OBJECT

public:
    explicit TFormPat(TWizard& wizard);

    Ui::TFormPat ui;

    void Image1Click();

protected:
    void FormShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
