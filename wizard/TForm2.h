#pragma once
// The installation-type page: typical or custom installation.
#include "ui_TForm2.h"
#include "wizard/TWizard.h"

class TForm2 : public TPage {
    Q_OBJECT

public:
    explicit TForm2(TWizard& wizard);

    Ui::TForm2 ui;

    // The installation type: 0 typical, 1 custom.
    int installationType() const { return ui.RadioGroup1->itemIndex(); }

    void Button1Click();
    void Button2Click();
    void Button3Click();
};
