#include "pages/SponsorPictureWindow.h"

#include <QEvent>
#include <QMouseEvent>

SponsorPictureWindow::SponsorPictureWindow(Wizard& wizard)
    : PageWindow(wizard, Role::Backdrop,
            Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    // The screen's edges around a small picture are black (finishLayout), like the background
    // behind.
    ui.Image1->installEventFilter(this);
    finishLayout(nullptr);
}

void SponsorPictureWindow::FormShow() {
    spanScreen(*ui.Image1);
    raise();
    activateWindow();
}

bool SponsorPictureWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui.Image1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        ui.Image1->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        run([this] { Image1Click(); });
        return true;
    }
    return PageWindow::eventFilter(watched, event);
}

void SponsorPictureWindow::Image1Click() {
    hide();
}
