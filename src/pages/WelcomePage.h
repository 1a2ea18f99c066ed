#pragma once
// The welcome page, the wizard's main window. Its creation step loads the catalogue; its show
// step brings up the background, the message and the five sponsors.
#include "ui_WelcomePage.h"
#include "pages/Wizard.h"

#include <array>
#include <string>

namespace zel {
class ProfileFile;
}

class WelcomePage : public PageWindow {
    Q_OBJECT

public:
    explicit WelcomePage(Wizard& wizard);

    Ui::WelcomePage ui;

    static constexpr int kSponsors = 5;

    // Sponsor k's (1 to 5) picture control.
    QLabel* sponsorPicture(int k) const;
    // The file that a double click on sponsor k's picture uses, as of the last show step.
    const std::string& sponsorProgram(int k) const;

    void create();
    void next();
    void requestExit();

protected:
    void onShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void readMessage(const zel::ProfileFile& setup);
    void readSponsor(const zel::ProfileFile& setup, int k);
    // A double click on sponsor k's picture: shows the sponsor's picture full-screen, or runs
    // its program and waits for it.
    void sponsorAction(int k);

    std::array<std::string, kSponsors> sponsorPrograms_;
};

// The default destination under the machine's program-files directory: a directory with a
// drive ("C:\Program Files") replaces the destination's drive, and the directory goes in
// front of the destination in every case ("" leaves it as it is).
std::string underProgramFiles(const std::string& destino, const std::string& programFilesDir);
