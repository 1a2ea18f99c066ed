#pragma once
// The registration notice: where to send the fax, before the print dialog.
#include "ui_TAviso.h"
#include "wizard/TWizard.h"

class TAviso : public TPage {
    Q_OBJECT

public:
    explicit TAviso(TWizard& wizard);

    Ui::TAviso ui;

    void Button1Click();
};
