#pragma once
// The licence page: the kit's licence text between the welcome and registration pages.
#include "ui_LicencePage.h"
#include "pages/Wizard.h"

class LicencePage : public PageWindow {
    Q_OBJECT

public:
    explicit LicencePage(Wizard& wizard);

    Ui::LicencePage ui;

    void loadLicence();
    void next();
    void back();
};
