#pragma once
// The registration notice: where to send the fax, before the print dialog.
#include "pages/page_window.h"
#include "setup/catalogue.h"
#include "ui_fax_notice_dialog.h"

namespace zel {

class FaxNoticeDialog : public PageWindow {
    Q_OBJECT

public:
    FaxNoticeDialog(zel::Platform& platform, const zel::SetupSettings& brand);

    Ui::FaxNoticeDialog ui{};

    void confirm();

protected:
    void buildControls() override;

private:
    const zel::SetupSettings brand_; // [Marca], as the start-up read it
};

} // namespace zel
