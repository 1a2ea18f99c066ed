#pragma once
// The sponsor picture page: a frameless window over the whole screen showing one picture,
// centred and unscaled; a click on it hides the page again.
#include "pages/page_window.h"
#include "ui_sponsor_picture_window.h"

#include <string>

namespace zel {

class SponsorPictureWindow : public PageWindow {
    Q_OBJECT

public:
    explicit SponsorPictureWindow(zel::Platform& platform, Building building = Building::Now);

    Ui::SponsorPictureWindow ui{};

    // Puts the picture file (Windows path) up for the next showing; false, with the control
    // emptied, when the file is no picture.
    bool loadPicture(const std::string& path);
    void hidePicture() { hide(); }

protected:
    void buildControls() override;
    void onShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace zel
