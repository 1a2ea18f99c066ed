#pragma once
// The sponsor picture page: a frameless window over the whole screen showing one picture,
// centred and unscaled; a click on it hides the page again.
#include "ui_SponsorPictureWindow.h"
#include "pages/Wizard.h"

class SponsorPictureWindow : public PageWindow {
    Q_OBJECT

public:
    explicit SponsorPictureWindow(Wizard& wizard);

    Ui::SponsorPictureWindow ui;

    void hidePicture();

protected:
    void onShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
