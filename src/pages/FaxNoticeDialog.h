#pragma once
// The registration notice: where to send the fax, before the print dialog.
#include "ui_FaxNoticeDialog.h"
#include "pages/Wizard.h"

class FaxNoticeDialog : public PageWindow {
    Q_OBJECT

public:
    explicit FaxNoticeDialog(Wizard& wizard);

    Ui::FaxNoticeDialog ui;

    void confirm();
};
