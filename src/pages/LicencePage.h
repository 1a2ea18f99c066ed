#pragma once
// The licence page: the kit's licence text between the welcome and registration pages.
#include "pages/PageWindow.h"
#include "ui_LicencePage.h"

namespace zel {
class Catalogue;
}

class LicencePage : public PageWindow {
    Q_OBJECT

public:
    LicencePage(zel::Platform& platform, const zel::Catalogue& catalogue);

    Ui::LicencePage ui;

    void next() { emit nextRequested(); }
    void back() { emit backRequested(); }

private:
    // The licence file named by the catalogue, beside the running program.
    void loadLicence(const zel::Catalogue& catalogue);
};
