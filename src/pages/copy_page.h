#pragma once
// The copy page: checks the space, prepares the machine and copies the selected programs.
#include "pages/page_window.h"
#include "setup/catalogue.h"
#include "setup/choices.h"
#include "ui_copy_page.h"

namespace zel {

class CopyPage : public PageWindow {
    Q_OBJECT

public:
    // Installs what the choices say, from the catalogue; keeps the answer to the space question
    // in them.
    CopyPage(zel::Platform& platform, const zel::Catalogue& catalogue, zel::Choices& choices,
             Building building = Building::Now);

    Ui::CopyPage ui{};

    // The installation's copy (checks, sweep, copy, dialer settings) shown on this page; moves
    // on once all of it succeeded.
    void next();
    void requestExit() { emit exitRequested(); }
    void back() { emit backRequested(); }

protected:
    void buildControls() override;

private:
    const zel::SetupSettings brand_; // [Marca], as the start-up read it
    class View;                      // the copy's progress and questions on this page
    // Back to the page as it stood before "Seguir >": only the text, the picture and the buttons.
    void showIdle();
    void setButtonsEnabled(bool enabled);

    const zel::Catalogue& catalogue_;
    zel::Choices& choices_;
};

} // namespace zel
