#pragma once
// The full-screen background behind the pages: a gradient from bright blue (or the kit's
// [Marca] fundo) to black.
#include "pages/page_window.h"
#include "qt/warm_up.h"
#include "setup/catalogue.h"
#include "ui_backdrop_window.h"

#include <array>
#include <vector>

// One horizontal band of the gradient: its top, its height and its brightness (blue 255 to 0).
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
    BackdropWindow(zel::Platform& platform, const zel::SetupSettings& brand);

    Ui::BackdropWindow ui{};

    // Lays the page over the whole screen, paints the gradient and shows it. It is kept below
    // every other window, so the pages always stay in front of it.
    void coverScreen();

protected:
    void buildControls() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const zel::SetupSettings brand_; // [Marca], as the start-up read it
    void prepareCanvas();

    zel::WarmUp canvasWarmUp_;
    // The colour at the top, fading to black: blue unless [Marca] fundo names another.
    std::array<int, 3> top_ = {0, 0, 255};
};

} // namespace zel
