#pragma once
// The welcome page, the wizard's main window. Its creation step loads the catalogue.
#include "ui_TForm1.h"
#include "wizard/TWizard.h"

#include <string>

class TForm1 : public TPage {
    Q_OBJECT

public:
    explicit TForm1(TWizard& wizard);

    Ui::TForm1 ui;

    void FormCreate();
    void Button1Click();
    void Button2Click();

protected:
    void FormShow() override;

private:
    void readMessage();
};

// The default destination under the machine's program-files directory: a directory with a
// drive ("C:\Program Files") replaces the destination's drive, and the directory goes in
// front of the destination in every case ("" leaves it as it is).
std::string underProgramFiles(const std::string& destino, const std::string& programFilesDir);
