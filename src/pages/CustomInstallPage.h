#pragma once
// The custom-installation page: the programs, the browser and the destination directory.
#include "pages/Wizard.h"
#include "setup/choices.h"
#include "ui_CustomInstallPage.h"

#include <array>
#include <cstdint>

class QCheckBox;

class CustomInstallPage : public PageWindow {
    Q_OBJECT

public:
    explicit CustomInstallPage(Wizard& wizard);

    Ui::CustomInstallPage ui;

    // Check box N (1 to 10) belongs to program entry N.
    std::array<QCheckBox*, 10> checkBoxes() const;
    // The browser, as its item is selected.
    zel::Browser browserChoice() const {
        return static_cast<zel::Browser>(ui.browserGroup->itemIndex());
    }

    void create();
    void chooseFolder();
    void next();
    void requestExit();
    void back();

    // The kbytes that the ticked programs and the chosen browser need.
    std::int64_t requiredSpace() const;
    // The space line; run on every change of a box or of the browser, and on a click on the
    // programs' frame.
    void updateSpaceLine();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
