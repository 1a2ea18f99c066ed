#pragma once
// The finish page: "Finalizar" integrates the installed programs with the desktop and ends.
#include "ui_TForm7.h"
#include "wizard/TWizard.h"

class TForm7 : public TPage {
    Q_OBJECT

public:
    explicit TForm7(TWizard& wizard);

    Ui::TForm7 ui;

    void Button1Click();
};
