#pragma once
// The finish page: "Finalizar" integrates the installed programs with the desktop and ends.
#include "ui_TForm7.h"
#include "wizard/TWizard.h"

class TForm7 : public TPage {
    Q_OBJECT

public:
    explicit TForm7(TWizard& wizard);
    // Ends the Program Manager conversation, so every macro handed over is delivered even
    // when the wizard ends some other way.
    ~TForm7() override;

    Ui::TForm7 ui;

    // Runs the finish sequence under the hourglass and ends the wizard. A failure leaves the
    // page up with the default cursor and the button enabled, so the whole sequence can be
    // tried again; the error goes to the general error report.
    void Button1Click();
};
