#pragma once
// The connection page: the modem's serial port, initialisation command and dial command.
#include "pages/page_window.h"
#include "setup/catalogue.h"
#include "setup/choices.h"
#include "ui_modem_page.h"

namespace zel {

class ModemPage : public PageWindow {
    Q_OBJECT

public:
    // Shows the choices' modem settings and keeps them as the user changes them (the commands
    // in code page 1252).
    ModemPage(zel::Platform& platform, const zel::SetupSettings& brand, zel::Choices& choices,
              Building building = Building::Now);

    Ui::ModemPage ui{};

    // Moves on once a port is selected; the commands may stay empty.
    void next();
    void requestExit() { emit exitRequested(); }
    void back() { emit backRequested(); }

protected:
    void buildControls() override;

private:
    const zel::SetupSettings brand_; // [Marca], as the start-up read it
    zel::Choices& choices_;
    const zel::ModemSettings shown_; // the choices' settings when the page was created
};

} // namespace zel
