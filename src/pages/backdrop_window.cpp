#include "pages/backdrop_window.h"

#include <QBackingStore>
#include <QColor>
#include <QEvent>
#include <QImage>
#include <QPainter>

#include "setup/brand.h"

namespace zel {

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

BackdropWindow::BackdropWindow(zel::Platform& platform, const zel::SetupSettings& brand)
    : PageWindow(platform, Role::Backdrop,
                 Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint |
                     Qt::WindowDoesNotAcceptFocus),
      brand_(brand) {
    build(); // shown with the first page
}

void BackdropWindow::buildControls() {
    ui.setupUi(this);
    brandControls(*this, brand_);
    top_ = zel::brandColour(brand_.brandBackground).value_or(top_);
    ui.backgroundPicture->installEventFilter(this);
    finishLayout(nullptr);
    prepareCanvas();
}

void BackdropWindow::prepareCanvas() {
    // The window's canvas is megabytes of fresh memory that the first paint would bring in a
    // page at a time; it is made now and cleared on another core while the remaining pages are
    // built (the window is shown only once that is done). The first paint then finds it at
    // this size and keeps it.
    spanScreen(*ui.backgroundPicture);
    create();
    QBackingStore* store = backingStore();
    if (!store)
        return;
    store->resize(size());
    if (auto* canvas = dynamic_cast<QImage*>(store->paintDevice()))
        canvasWarmUp_ =
            zel::warmUpMemory(canvas->bits(), static_cast<std::size_t>(canvas->sizeInBytes()));
}

void BackdropWindow::coverScreen() {
    canvasWarmUp_.wait(); // the canvas is the window's own again
    spanScreen(*ui.backgroundPicture);
    ui.backgroundPicture->update();
    show();
    // Below everything, also where no window manager keeps it there.
    lower();
}

bool BackdropWindow::eventFilter(QObject* watched, QEvent* event) {
    // The gradient is drawn straight onto the window rather than kept in a picture of the
    // whole screen: it is only bands of one colour, and a screen-sized picture would cost as
    // much memory as the window itself.
    if (watched == ui.backgroundPicture && event->type() == QEvent::Paint) {
        QPainter painter(ui.backgroundPicture);
        const int width = ui.backgroundPicture->width();
        for (const BackgroundBand& band : backgroundBands(ui.backgroundPicture->height()))
            painter.fillRect(0, band.top, width, band.height,
                             QColor(top_[0] * band.blue / 255, top_[1] * band.blue / 255,
                                    top_[2] * band.blue / 255));
        return true;
    }
    return PageWindow::eventFilter(watched, event);
}

} // namespace zel
