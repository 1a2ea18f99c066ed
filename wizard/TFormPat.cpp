#include "wizard/TFormPat.h"

#include <QEvent>
#include <QMouseEvent>

TFormPat::TFormPat(TWizard& wizard)
    : TPage(wizard, Role::Backdrop,
            Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    // The screen's edges around a small picture are black (finishLayout), like the background
    // behind.
    ui.Image1->installEventFilter(this);
    finishLayout(nullptr);
}

void TFormPat::FormShow() {
    spanScreen(*ui.Image1);
    raise();
    activateWindow();
}

bool TFormPat::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui.Image1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        ui.Image1->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        run([this] { Image1Click(); });
        return true;
    }
    return TPage::eventFilter(watched, event);
}

void TFormPat::Image1Click() {
    hide();
}
