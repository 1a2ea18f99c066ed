#pragma once
// The exit confirmation: "Sim" confirms; "Não", Escape and the close box give the other result.
#include "pages/page_window.h"
#include "ui_exit_confirm_dialog.h"

namespace zel {

class ExitConfirmDialog : public PageWindow {
    Q_OBJECT

public:
    explicit ExitConfirmDialog(zel::Platform& platform);

    Ui::ExitConfirmDialog ui{};

    void no();
    void yes();

protected:
    void buildControls() override;
    void onShow() override;
};

} // namespace zel
