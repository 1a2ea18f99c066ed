#include "pages/page_window.h"

#include "qt/qt_pictures.h"
#include "services/platform.h"
#include "setup/brand.h"
#include "winemu/machine.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

namespace zel {

void brandControls(QWidget& form, const SetupSettings& settings) {
    const auto branded = [&](const QString& text) {
        return text.isEmpty() ? text : toQt(brandedText(fromQt(text), settings));
    };
    const auto brandOne = [&](QWidget& w) {
        if (w.isWindow() && !w.windowTitle().isEmpty())
            w.setWindowTitle(branded(w.windowTitle()));
        if (!w.toolTip().isEmpty())
            w.setToolTip(branded(w.toolTip()));
        if (auto* label = qobject_cast<QLabel*>(&w); label && !label->text().isEmpty())
            label->setText(branded(label->text()));
        else if (auto* button = qobject_cast<QAbstractButton*>(&w); button)
            button->setText(branded(button->text()));
        else if (auto* group = qobject_cast<QGroupBox*>(&w); group)
            group->setTitle(branded(group->title()));
    };
    brandOne(form);
    for (QWidget* child : form.findChildren<QWidget*>())
        brandOne(*child);
}

void showPagePicture(QLabel& label, const Machine& machine, std::string_view kitFile,
                     const char* own) {
    if (!kitFile.empty() &&
        loadPicture(label, machine, sourceDirectory(machine.programPath()) + std::string(kitFile)))
        return;
    label.setPixmap(ownPicture(own));
}

void centreOnScreen(QWidget& window) {
    QScreen* screen = window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize size = window.frameGeometry().size();
    window.move(area.x() + (area.width() - size.width()) / 2,
                area.y() + (area.height() - size.height()) / 2);
}

bool isPicture(const QWidget& control) {
    return qobject_cast<const QLabel*>(&control) &&
           control.objectName().endsWith(QLatin1String("Picture"));
}

namespace {

// Marks the names given here, so that naming again (after a page changed its hints) renews
// them and never overrides a name given in the layout.
constexpr const char* kAutoNamed = "zelAutoNamed";

bool showsOwnText(const QWidget* widget) {
    if (qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QGroupBox*>(widget))
        return true;
    // Pictures are labels too; their names end in "Picture" (pagePicture, sponsor1Picture...).
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return !isPicture(*label);
    return false;
}

bool isEditField(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QAbstractScrollArea*>(widget);
}

} // namespace

void nameControls(QWidget& form) {
    QHash<const QWidget*, QString> labelOf;
    for (const QLabel* label : form.findChildren<QLabel*>()) {
        if (label->buddy())
            labelOf.insert(label->buddy(), label->text().trimmed());
    }
    for (QWidget* widget : form.findChildren<QWidget*>()) {
        // The parts of compound controls (a combo box's list, a scroll area's viewport and
        // bars) are named by their control.
        if (!widget->parentWidget() || widget->objectName().isEmpty() ||
            widget->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (showsOwnText(widget))
            continue;
        if (!widget->accessibleName().isEmpty() && !widget->property(kAutoNamed).toBool())
            continue;
        QString name;
        if (isEditField(widget))
            name = labelOf.value(widget);
        if (name.isEmpty())
            name = widget->toolTip();
        if (name.isEmpty())
            name = form.windowTitle();
        widget->setAccessibleName(name);
        widget->setProperty(kAutoNamed, true);
    }
}

PageWindow::PageWindow(zel::Platform& platform, Role role, Qt::WindowFlags flags)
    : QDialog(nullptr, flags), platform_(platform), role_(role) {}

void PageWindow::build() {
    if (built_)
        return;
    built_ = true;
    buildControls();
}

void PageWindow::setVisible(bool visible) {
    if (visible)
        build();
    QDialog::setVisible(visible);
}

void PageWindow::finishLayout(QWidget* firstControl) {
    if (role_ != Role::Backdrop) {
        setFixedSize(size());
    } else {
        setAutoFillBackground(true);
        QPalette black = palette();
        black.setColor(QPalette::Window, Qt::black);
        setPalette(black);
    }
    // A bevel is a bottom line: drawn along the lower edge of its rectangle.
    for (QFrame* frame : findChildren<QFrame*>()) {
        if (frame->frameShape() == QFrame::HLine)
            frame->setFrameRect(QRect(0, frame->height() - 2, frame->width(), 2));
    }
    if (firstControl)
        firstControl->setFocus();
}

void PageWindow::spanScreen(QWidget& picture) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 640, 480);
    setGeometry(area);
    picture.setGeometry(0, 0, area.width(), area.height());
}

void PageWindow::run(const std::function<void()>& handler) {
    zel::guarded(platform_.ui, handler);
}

void PageWindow::connectClicked(QAbstractButton* button, std::function<void()> handler) {
    connect(button, &QAbstractButton::clicked, this,
            [this, handler = std::move(handler)] { run(handler); });
}

void PageWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // back from minimised: not a new showing
    if (role_ != Role::Backdrop)
        zel::centreOnScreen(*this);
    run([this] { onShow(); });
    zel::nameControls(*this);
}

void PageWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter presses the focused button; the pages have no default button, so an Enter in
        // an edit field does nothing.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled())
            button->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void PageWindow::reject() {
    // Escape and the close box: a modal dialog ends with the other button's result; a page can
    // only be left through its own buttons.
    if (role_ == Role::Dialog)
        finish(zel::ModalResult::Other);
}

} // namespace zel
