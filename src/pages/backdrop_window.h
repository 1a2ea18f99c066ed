#pragma once
// The full-screen background behind the pages: a gradient from bright blue to black.
#include "pages/page_window.h"
#include "qt/warm_up.h"
#include "ui_backdrop_window.h"

#include <vector>

// One horizontal band of the gradient: its top, its height and its colour (red and green 0).
namespace zel {

struct BackgroundBand {
    int top = 0;
    int height = 0;
    int blue = 0;
};

// The 256 bands that paint a background of the given height, from blue 255 down to 0.
std::vector<BackgroundBand> backgroundBands(int height);

class BackdropWindow : public PageWindow {
    Q_OBJECT

public:
    explicit BackdropWindow(zel::Platform& platform);

    Ui::BackdropWindow ui{};

    // Lays the page over the whole screen, paints the gradient and shows it. It is kept below
    // every other window, so the pages always stay in front of it.
    void coverScreen();

protected:
    void buildControls() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void prepareCanvas();

    zel::WarmUp canvasWarmUp_;
};

} // namespace zel
