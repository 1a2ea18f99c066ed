#include "wizard/TFormPat.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

TFormPat::TFormPat(TWizard& wizard)
    : TPage(wizard, Role::Backdrop,
            Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    // The screen's edges around a small picture are black, like the background behind.
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    ui.Image1->installEventFilter(this);
    finishLayout(nullptr);
}

void TFormPat::FormShow() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 640, 480);
    setGeometry(area);
    ui.Image1->setGeometry(0, 0, area.width(), area.height());
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
