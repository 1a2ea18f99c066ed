#include "pages/sponsor_picture_window.h"

#include "qt/qt_pictures.h"
#include "services/platform.h"

#include <QEvent>
#include <QMouseEvent>

namespace zel {

SponsorPictureWindow::SponsorPictureWindow(zel::Platform& platform, Building building)
    : PageWindow(platform, Role::Backdrop,
                 Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    if (building == Building::Now)
        build();
}

void SponsorPictureWindow::buildControls() {
    ui.setupUi(this);
    // The screen's edges around a small picture are black (finishLayout), like the background
    // behind.
    ui.sponsorPicture->installEventFilter(this);
    finishLayout(nullptr);
}

bool SponsorPictureWindow::loadPicture(const std::string& path) {
    build();
    return zel::loadPicture(*ui.sponsorPicture, platform_.machine, path);
}

void SponsorPictureWindow::onShow() {
    spanScreen(*ui.sponsorPicture);
    raise();
    activateWindow();
}

bool SponsorPictureWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui.sponsorPicture && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        ui.sponsorPicture->rect().contains(
            static_cast<QMouseEvent*>(event)->position().toPoint())) {
        run([this] { hidePicture(); });
        return true;
    }
    return PageWindow::eventFilter(watched, event);
}

} // namespace zel
