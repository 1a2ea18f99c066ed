#pragma once
// The licence page: the kit's licence text between the welcome and registration pages.
#include "ui_TConcordo.h"
#include "wizard/TWizard.h"

class TConcordo : public TPage {
    Q_OBJECT

public:
    explicit TConcordo(TWizard& wizard);

    Ui::TConcordo ui;

    void FormCreate();
    void Button1Click();
    void Button2Click();
};
