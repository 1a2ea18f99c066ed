#pragma once
// A radio group as the pages use it: a group box whose items are radio buttons laid out in
// columns filled top to bottom, with an item index that is -1 while nothing is selected.
#include <QGroupBox>
#include <QStringList>

#include <vector>

class QButtonGroup;
class QRadioButton;

namespace zel {

class RadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(QStringList items READ items WRITE setItems)
    Q_PROPERTY(int columns READ columns WRITE setColumns)
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex NOTIFY itemIndexChanged)

public:
    explicit RadioGroup(QWidget* parent = nullptr);

    QStringList items() const;
    // Replaces the items; the selection is cleared.
    void setItems(const QStringList& items);

    int columns() const { return columns_; }
    // At least one column.
    void setColumns(int columns);

    // -1 when no item is selected.
    int itemIndex() const { return index_; }
    // -1 (or less) clears the selection; an index past the last item selects the last one.
    void setItemIndex(int index);

    QRadioButton* button(int index) const;
    int count() const { return static_cast<int>(buttons_.size()); }

signals:
    // Whenever the selection changes, by a click or by setItemIndex.
    void itemIndexChanged(int index);
    // A click on the group's frame, outside its items.
    void clicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void arrange();
    void select(int index);
    void updateTabStops();

    QButtonGroup* group_;
    std::vector<QRadioButton*> buttons_;
    int columns_ = 1;
    int index_ = -1;
    bool pressed_ = false;
};

} // namespace zel
