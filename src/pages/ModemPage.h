#pragma once
// The connection page: the modem's serial port, initialisation command and dial command.
#include "pages/Wizard.h"
#include "setup/network_stack.h"
#include "ui_ModemPage.h"

class ModemPage : public PageWindow {
    Q_OBJECT

public:
    explicit ModemPage(Wizard& wizard);

    Ui::ModemPage ui;

    // 0 to 3 for COM1 to COM4, -1 while no port is selected.
    int portIndex() const { return ui.portGroup->itemIndex(); }
    // The port and the two commands as they stand now (the commands in code page 1252).
    zel::ModemSettings modemSettings() const;

    void proposeSettings();
    void next();
    void requestExit();
    void back();
};
