#include "qt/qt_gauge.h"

#include "qt/gauge_widget.h"
#include "qt/qt_text.h"

#include <QLabel>

namespace zel {

// The widget repaints itself whenever its shown percentage changes.
void QtGauge::setMaximum(int maximum) {
    widget_.setMaximum(maximum);
}

void QtGauge::setPosition(int position) {
    widget_.setPosition(position);
}

void QtGauge::advance(int by) {
    widget_.advance(by);
}

void QtStatusLine::setText(const std::string& text) {
    label_.setText(toQt(text));
}

void QtStatusLine::repaint() {
    label_.repaint();
}

} // namespace zel
