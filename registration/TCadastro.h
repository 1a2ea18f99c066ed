#pragma once
// The registration page: the subscriber's data, printed for faxing to the provider.
#include "ui_TCadastro.h"
#include "wizard/TWizard.h"

#include <array>

class QLineEdit;

class TCadastro : public TPage {
    Q_OBJECT

public:
    explicit TCadastro(TWizard& wizard);

    Ui::TCadastro ui;

    // Edit1 to Edit16, in their numbering.
    std::array<QLineEdit*, 16> edits() const;

    void FormCreate();
    void Button1Click();
    void Button2Click();
    void Button3Click();
};
