#pragma once
// The welcome page, the wizard's main window: on every showing it brings up the background,
// the message and the five sponsors.
#include "pages/page_window.h"
#include "setup/catalogue.h"
#include "ui_welcome_page.h"

#include <array>
#include <string>

namespace zel {

class ProfileFile;

class WelcomePage : public PageWindow {
    Q_OBJECT

public:
    WelcomePage(zel::Platform& platform, const zel::SetupSettings& brand);

    Ui::WelcomePage ui{};

    static constexpr int kSponsors = 5;

    // Sponsor k's (1 to 5) picture control.
    QLabel* sponsorPicture(int k) const;
    // The file that a double click on sponsor k's picture uses, as of the last show step.
    const std::string& sponsorProgram(int k) const;

    void next() { emit nextRequested(); }
    // Nothing has been installed yet: the wizard leaves without asking.
    void requestExit() { emit exitRequested(); }
    // A double click on sponsor k's picture: asks for the sponsor's picture full-screen, or
    // runs its program and waits for it.
    void sponsorAction(int k);

signals:
    // The background behind the pages, brought up before each showing.
    void backgroundNeeded();
    // A sponsor's picture file (Windows path) to be shown full-screen.
    void sponsorPictureRequested(const std::string& path);

protected:
    void buildControls() override;
    void onShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const zel::SetupSettings brand_; // [Marca], as the start-up read it
    void readMessage(const zel::ProfileFile& setup);
    void readSponsor(const zel::ProfileFile& setup, int k);

    std::array<std::string, kSponsors> sponsorPrograms_;
};

} // namespace zel
