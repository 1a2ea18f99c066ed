#pragma once
// The copy page: checks the space, prepares the machine and copies the selected programs.
#include "ui_TForm4.h"
#include "wizard/TWizard.h"

class TForm4 : public TPage {
    Q_OBJECT

public:
    explicit TForm4(TWizard& wizard);

    Ui::TForm4 ui;

    void Button1Click();
    void Button2Click();
    void Button3Click();
};
