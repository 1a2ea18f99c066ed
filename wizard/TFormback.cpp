#include "wizard/TFormback.h"

#include <QColor>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

std::vector<BackgroundBand> backgroundBands(int height) {
    // Each band is one pixel taller than the step, so that rounding leaves no gap; a band
    // starts where the step before the previous one ended.
    const double step = height / 255.0;
    const int bandHeight = static_cast<int>(step + 1);
    std::vector<BackgroundBand> bands;
    bands.reserve(256);
    int top = 0;
    for (int i = 0; i <= 255; ++i) {
        bands.push_back({top, bandHeight, 255 - i});
        top = static_cast<int>(i * step);
    }
    return bands;
}

TFormback::TFormback(TWizard& wizard)
    : TPage(wizard, Role::Backdrop,
            Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint |
                Qt::WindowDoesNotAcceptFocus) {
    ui.setupUi(this);
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    finishLayout(nullptr);
}

void TFormback::coverScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 640, 480);
    setGeometry(area);
    ui.Image1->setGeometry(0, 0, area.width(), area.height());

    QPixmap picture(area.size());
    picture.fill(Qt::black);
    {
        QPainter painter(&picture);
        for (const BackgroundBand& band : backgroundBands(area.height()))
            painter.fillRect(0, band.top, area.width(), band.height, QColor(0, 0, band.blue));
    }
    ui.Image1->setPixmap(picture);
    show();
    // Below everything, also where no window manager keeps it there.
    lower();
}
