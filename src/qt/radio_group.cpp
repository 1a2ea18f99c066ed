#include "qt/radio_group.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QRadioButton>

#include <algorithm>

namespace zel {

namespace {

// As on Windows, an item answers a click anywhere on it, not only on its circle and text.
class GroupItem : public QRadioButton {
public:
    GroupItem(const QString& text, QWidget* parent) : QRadioButton(text, parent) {}

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

} // namespace

RadioGroup::RadioGroup(QWidget* parent) : QGroupBox(parent), group_(new QButtonGroup(this)) {
    group_->setExclusive(true);
    // A tab stop, so that a page's tab order can place the group; once it has items, the
    // focus goes to them and the frame itself is skipped.
    setFocusPolicy(Qt::TabFocus);
    connect(group_, &QButtonGroup::idClicked, this, [this](int id) { select(id); });
}

QStringList RadioGroup::items() const {
    QStringList texts;
    for (const QRadioButton* button : buttons_)
        texts << button->text();
    return texts;
}

void RadioGroup::setItems(const QStringList& items) {
    const bool hadSelection = index_ != -1;
    index_ = -1;
    for (QRadioButton* button : buttons_) {
        group_->removeButton(button);
        delete button;
    }
    buttons_.clear();
    setFocusProxy(nullptr);
    QWidget* previous = this;
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new GroupItem(items[i], this);
        button->setObjectName(QStringLiteral("%1_item%2").arg(objectName()).arg(i));
        group_->addButton(button, i);
        // The items follow the group in the tab order, wherever the page has put it.
        QWidget::setTabOrder(previous, button);
        previous = button;
        buttons_.push_back(button);
        if (isVisible())
            button->show();
    }
    if (!buttons_.empty())
        setFocusProxy(buttons_.front());
    arrange();
    updateTabStops();
    if (hadSelection)
        emit itemIndexChanged(-1);
}

void RadioGroup::setColumns(int columns) {
    columns_ = std::max(1, columns);
    arrange();
}

void RadioGroup::setItemIndex(int index) {
    if (index < -1)
        index = -1;
    if (index >= count())
        index = count() - 1;
    if (index == index_)
        return;
    if (index == -1) {
        // An exclusive group refuses to uncheck its checked button.
        group_->setExclusive(false);
        buttons_[static_cast<std::size_t>(index_)]->setChecked(false);
        group_->setExclusive(true);
    } else {
        buttons_[static_cast<std::size_t>(index)]->setChecked(true);
    }
    index_ = index;
    updateTabStops();
    emit itemIndexChanged(index_);
}

QRadioButton* RadioGroup::button(int index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return buttons_[static_cast<std::size_t>(index)];
}

void RadioGroup::select(int index) {
    if (index == index_)
        return;
    index_ = index;
    updateTabStops();
    emit itemIndexChanged(index_);
}

void RadioGroup::updateTabStops() {
    // As on Windows, Tab enters a radio group at its selected item (the first while none is
    // selected); the arrow keys move between the items.
    const int stop = index_ >= 0 ? index_ : 0;
    for (int i = 0; i < count(); ++i)
        buttons_[static_cast<std::size_t>(i)]->setFocusPolicy(i == stop ? Qt::StrongFocus
                                                                        : Qt::ClickFocus);
}

void RadioGroup::arrange() {
    // The classic radio group: the items share the height below the caption evenly, each
    // column the width inside the frame, the remainder of the height split above and below.
    if (buttons_.empty())
        return;
    const int itemCount = count();
    const int perColumn = (itemCount + columns_ - 1) / columns_;
    const int textHeight = QFontMetrics(font()).height();
    const int itemWidth = (width() - 10) / columns_;
    const int available = std::max(0, height() - textHeight - 5);
    const int itemHeight = available / perColumn;
    const int topMargin = textHeight + 1 + (available % perColumn) / 2;
    for (int i = 0; i < itemCount; ++i) {
        const int left = (i / perColumn) * itemWidth + 8;
        const int top = (i % perColumn) * itemHeight + topMargin;
        buttons_[static_cast<std::size_t>(i)]->setGeometry(left, top, itemWidth, itemHeight);
    }
}

void RadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    arrange();
}

void RadioGroup::changeEvent(QEvent* event) {
    QGroupBox::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        arrange();
}

void RadioGroup::mousePressEvent(QMouseEvent* event) {
    QGroupBox::mousePressEvent(event);
    pressed_ = event->button() == Qt::LeftButton;
}

void RadioGroup::mouseReleaseEvent(QMouseEvent* event) {
    QGroupBox::mouseReleaseEvent(event);
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click)
        emit clicked();
}

} // namespace zel
