#pragma once
// The sponsor picture page: a frameless window over the whole screen showing one picture.
#include "ui_TFormPat.h"
#include "wizard/TWizard.h"

class TFormPat : public TPage {
    Q_OBJECT

public:
    explicit TFormPat(TWizard& wizard);

    Ui::TFormPat ui;
};
