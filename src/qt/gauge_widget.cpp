#include "qt/gauge_widget.h"

#include <QPainter>
#include <QPalette>
#include <qdrawutil.h>

#include <algorithm>
#include <cstdint>

namespace zel {

GaugeWidget::GaugeWidget(QWidget* parent) : QWidget(parent) {}

void GaugeWidget::setMaximum(int maximum) {
    const int before = percent();
    maximum_ = std::max(0, maximum);
    position_ = std::min(position_, maximum_);
    changed(before);
}

void GaugeWidget::setPosition(int position) {
    const int before = percent();
    position_ = std::clamp(position, 0, maximum_);
    changed(before);
}

void GaugeWidget::advance(int by) {
    // In 64 bits, so that a large step cannot wrap around.
    const std::int64_t target = static_cast<std::int64_t>(position_) + by;
    setPosition(static_cast<int>(std::clamp<std::int64_t>(target, 0, maximum_)));
}

int GaugeWidget::percent() const {
    if (maximum_ == 0)
        return 0;
    return static_cast<int>(static_cast<std::int64_t>(position_) * 100 / maximum_);
}

QSize GaugeWidget::sizeHint() const {
    return {250, 25};
}

void GaugeWidget::changed(int percentBefore) {
    if (percent() != percentBefore)
        repaint();
}

void GaugeWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    qDrawWinPanel(&painter, rect(), palette(), true);
    const QRect inside = rect().adjusted(2, 2, -2, -2);
    painter.fillRect(inside, Qt::white);

    QRect filled = inside;
    filled.setWidth(maximum_ == 0 ? 0
                                  : static_cast<int>(static_cast<std::int64_t>(inside.width()) *
                                                     position_ / maximum_));
    painter.fillRect(filled, Qt::blue);

    // The text is black on the white part and white on the blue part.
    const QString text = QStringLiteral("%1%").arg(percent());
    painter.setClipRect(inside);
    painter.setPen(Qt::black);
    painter.drawText(inside, Qt::AlignCenter, text);
    if (!filled.isEmpty()) {
        painter.setClipRect(filled);
        painter.setPen(Qt::white);
        painter.drawText(inside, Qt::AlignCenter, text);
    }
}

} // namespace zel
