#pragma once
// The installation-type page: typical or custom installation.
#include "pages/page_window.h"
#include "setup/catalogue.h"
#include "setup/choices.h"
#include "ui_install_type_page.h"

namespace zel {

class InstallTypePage : public PageWindow {
    Q_OBJECT

public:
    // Shows the choices' installation type and keeps it as the user selects another.
    InstallTypePage(zel::Platform& platform, const zel::SetupSettings& brand, zel::Choices& choices,
                    Building building = Building::Now);

    Ui::InstallTypePage ui{};

    void next() { emit nextRequested(); }
    void requestExit() { emit exitRequested(); }
    void back() { emit backRequested(); }

protected:
    void buildControls() override;

private:
    const zel::SetupSettings brand_; // [Marca], as the start-up read it
    zel::Choices& choices_;
    const zel::InstallationType shown_; // the choices' type when the page was created
};

} // namespace zel
