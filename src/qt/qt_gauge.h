#pragma once
// The installation run's progress shown on a page: a gauge over a GaugeWidget and a status line
// over a label. The run blocks the event loop, so a changed label is painted at once.
#include "setup/progress.h"

class QLabel;

namespace zel {

class GaugeWidget;

class QtGauge : public Gauge {
public:
    explicit QtGauge(GaugeWidget& widget) : widget_(widget) {}
    void setMaximum(int maximum) override;
    void setPosition(int position) override;
    void advance(int by) override;

private:
    GaugeWidget& widget_;
};

class QtStatusLine : public StatusLine {
public:
    explicit QtStatusLine(QLabel& label) : label_(label) {}
    void setText(const std::string& text) override; // code page 1252
    void repaint() override;

private:
    QLabel& label_;
};

} // namespace zel
