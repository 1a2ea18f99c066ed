#pragma once
// The registration notice: where to send the fax, before the print dialog.
#include "pages/page_window.h"
#include "ui_fax_notice_dialog.h"

namespace zel {

class FaxNoticeDialog : public PageWindow {
    Q_OBJECT

public:
    explicit FaxNoticeDialog(zel::Platform& platform);

    Ui::FaxNoticeDialog ui{};

    void confirm();

protected:
    void buildControls() override;
};

} // namespace zel
