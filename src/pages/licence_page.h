#pragma once
// The licence page: the kit's licence text between the welcome and registration pages.
#include "pages/page_window.h"
#include "ui_licence_page.h"

namespace zel {

class Catalogue;

class LicencePage : public PageWindow {
    Q_OBJECT

public:
    LicencePage(zel::Platform& platform, const zel::Catalogue& catalogue,
                Building building = Building::Now);

    Ui::LicencePage ui{};

    void next() { emit nextRequested(); }
    void back() { emit backRequested(); }

protected:
    void buildControls() override;

private:
    // The licence file named by the catalogue, beside the running program: read when the page
    // is created, empty when it is missing or cannot be read.
    void loadLicence(const zel::Catalogue& catalogue);

    QString licence_;
};

} // namespace zel
