#pragma once
// The connection page: the modem's serial port, initialisation command and dial command.
#include "ui_TForm5.h"
#include "wizard/TWizard.h"

class TForm5 : public TPage {
    Q_OBJECT

public:
    explicit TForm5(TWizard& wizard);

    Ui::TForm5 ui;

    // 0 to 3 for COM1 to COM4, -1 while no port is selected.
    int portIndex() const { return ui.RadioGroup1->itemIndex(); }

    void FormCreate();
    void Button1Click();
    void Button2Click();
    void Button3Click();
};
