#pragma once
// The registration notice: where to send the fax, before the print dialog.
#include "pages/PageWindow.h"
#include "ui_FaxNoticeDialog.h"

class FaxNoticeDialog : public PageWindow {
    Q_OBJECT

public:
    explicit FaxNoticeDialog(zel::Platform& platform);

    Ui::FaxNoticeDialog ui{};

    void confirm();

protected:
    void buildControls() override;
};
