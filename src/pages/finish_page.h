#pragma once
// The finish page: "Finalizar" integrates the installed programs with the desktop and ends.
#include "pages/page_window.h"
#include "setup/catalogue.h"
#include "setup/choices.h"
#include "ui_finish_page.h"

namespace zel {

class FinishPage : public PageWindow {
    Q_OBJECT

public:
    FinishPage(zel::Platform& platform, const zel::Catalogue& catalogue,
               const zel::Choices& choices, Building building = Building::Now);
    // Ends the Program Manager conversation, so every macro handed over is delivered even
    // when the wizard ends some other way.
    ~FinishPage() override;

    Ui::FinishPage ui{};

    // Runs the installation's finish under the hourglass and moves on, which ends the wizard. A
    // failure leaves the page up with the default cursor and the button enabled, so the whole
    // sequence can be tried again; the error goes to the general error report.
    void finish();

protected:
    void buildControls() override;

private:
    const zel::SetupSettings brand_; // [Marca], as the start-up read it
    class View;                      // the finish's progress and messages on this page
    const zel::Catalogue& catalogue_;
    const zel::Choices& choices_;
};

} // namespace zel
