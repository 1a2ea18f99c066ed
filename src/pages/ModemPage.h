#pragma once
// The connection page: the modem's serial port, initialisation command and dial command.
#include "setup/network_stack.h"
#include "pages/qt_found_files.h"
#include "ui_ModemPage.h"
#include "pages/Wizard.h"

#include <memory>

class ModemPage : public PageWindow {
    Q_OBJECT

public:
    explicit ModemPage(Wizard& wizard);

    Ui::ModemPage ui;

    // 0 to 3 for COM1 to COM4, -1 while no port is selected.
    int portIndex() const { return ui.portGroup->itemIndex(); }
    // The port and the two commands as they stand now (the commands in code page 1252).
    zel::ModemSettings modemSettings() const;
    // The socket-library sweep's scratch list, kept in the hidden found-files list.
    zel::FoundFilesList& foundFiles() { return *foundFiles_; }

    void proposeSettings();
    void next();
    void requestExit();
    void back();

private:
    std::unique_ptr<zel::ListBoxFoundFiles> foundFiles_;
};
