#pragma once
// A progress gauge as the copy page shows it: a bordered bar filled in blue from the left with
// the percentage done centred on it. The position always lies within 0..maximum.
#include <QWidget>

namespace zel {

class GaugeWidget : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(int position READ position WRITE setPosition)

public:
    explicit GaugeWidget(QWidget* parent = nullptr);

    int maximum() const { return maximum_; }
    // A negative maximum counts as 0; lowering the maximum below the position lowers the
    // position with it.
    void setMaximum(int maximum);
    int position() const { return position_; }
    // Clamped to 0..maximum.
    void setPosition(int position);
    void advance(int by);

    // The percentage shown: position * 100 / maximum, truncated; 0 for a maximum of 0.
    int percent() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Long work runs on the event loop's thread: paint at once, but only when what is shown
    // changes, so that thousands of small steps cost nothing.
    void changed(int percentBefore);

    int maximum_ = 100;
    int position_ = 0;
};

} // namespace zel
