#pragma once
// The destination directory chooser, opened modally by the custom-installation page.
#include "ui_TFormDir.h"
#include "wizard/TWizard.h"

class TFormDir : public TPage {
    Q_OBJECT

public:
    explicit TFormDir(TWizard& wizard);

    Ui::TFormDir ui;

    void Button1Click();
    void Button2Click();
};
