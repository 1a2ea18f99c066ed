#pragma once
// The installation-type page: typical or custom installation.
#include "ui_InstallTypePage.h"
#include "pages/Wizard.h"

class InstallTypePage : public PageWindow {
    Q_OBJECT

public:
    explicit InstallTypePage(Wizard& wizard);

    Ui::InstallTypePage ui;

    // The installation type: 0 typical, 1 custom.
    int installationType() const { return ui.RadioGroup1->itemIndex(); }

    void Button1Click();
    void Button2Click();
    void Button3Click();
};
