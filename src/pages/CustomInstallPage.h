#pragma once
// The custom-installation page: the programs, the browser and the destination directory.
#include "ui_CustomInstallPage.h"
#include "pages/Wizard.h"

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
    // The browser choice: 0 first browser, 1 second browser, 2 none.
    int browserChoice() const { return ui.RadioGroup1->itemIndex(); }

    void FormCreate();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();

    // The kbytes that the ticked programs and the chosen browser need.
    std::int64_t requiredSpace() const;
    // The space line; run on every change of a box or of the browser, and on a click on the
    // programs' frame.
    void updateSpaceLine();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
