#pragma once
// The installation-type page: typical or custom installation.
#include "pages/Wizard.h"
#include "setup/choices.h"
#include "ui_InstallTypePage.h"

class InstallTypePage : public PageWindow {
    Q_OBJECT

public:
    explicit InstallTypePage(Wizard& wizard);

    Ui::InstallTypePage ui;

    // The installation type, as its item is selected.
    zel::InstallationType installationType() const {
        return static_cast<zel::InstallationType>(ui.installationTypeGroup->itemIndex());
    }

    void next();
    void requestExit();
    void back();
};
