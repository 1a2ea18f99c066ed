#include "pages/Wizard.h"

#include "winemu/platform.h"
#include "qt/qt_ui.h"
#include "winemu/registry.h"
#include "pages/FaxNoticeDialog.h"
#include "setup/catalogue.h"
#include "pages/LicencePage.h"
#include "pages/ExitConfirmDialog.h"
#include "pages/WelcomePage.h"
#include "pages/InstallTypePage.h"
#include "pages/CustomInstallPage.h"
#include "pages/DirectoryChooser.h"
#include "pages/SponsorPictureWindow.h"
#include "pages/BackdropWindow.h"

#include "pages/ModemPage.h"
#include "pages/FinishPage.h"
#include "qt/qt_pictures.h"
#include "pages/FaxNoticeDialog.h"
#include "pages/RegistrationPage.h"
#include "pages/CopyPage.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <exception>

namespace zel {

std::string readRegistryText(const Machine& machine, std::string_view key, std::string_view value) {
    Registry registry(machine.registryFile());
    std::string text;
    try {
        if (registry.openKey(key, false))
            text = registry.readString(value);
    } catch (const std::exception&) {
        text.clear();
    }
    registry.closeKey();
    return text;
}

void setUpApplication(QApplication& app) {
    // The title of the task-bar entry and of the error report. Set as the application name,
    // not the display name, which the window system would append to every page's caption.
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    QApplication::setWindowIcon(QIcon(zel::ownPicture("app_icon.xpm")));
    QApplication::setQuitOnLastWindowClosed(false);
    installFontSubstitutions();
    applyClassicStyle(app);
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

} // namespace zel

PageWindow::PageWindow(Wizard& wizard, Role role, Qt::WindowFlags flags)
    : QDialog(nullptr, flags), wizard_(wizard), role_(role) {}

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
    zel::guarded(wizard_.platform.ui, handler);
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
        done(zel::ModalOther);
}

Wizard::Wizard(zel::Platform& platform, zel::Catalogue& catalogue)
    : platform(platform), catalogue(catalogue), welcomePage(std::make_unique<WelcomePage>(*this)),
      installTypePage(std::make_unique<InstallTypePage>(*this)), customInstallPage(std::make_unique<CustomInstallPage>(*this)),
      copyPage(std::make_unique<CopyPage>(*this)), directoryChooser(std::make_unique<DirectoryChooser>(*this)),
      modemPage(std::make_unique<ModemPage>(*this)), finishPage(std::make_unique<FinishPage>(*this)),
      backdrop(std::make_unique<BackdropWindow>(*this)), sponsorPicture(std::make_unique<SponsorPictureWindow>(*this)),
      registrationPage(std::make_unique<RegistrationPage>(*this)), licencePage(std::make_unique<LicencePage>(*this)),
      faxNoticeDialog(std::make_unique<FaxNoticeDialog>(*this)), exitConfirmDialog(std::make_unique<ExitConfirmDialog>(*this)) {}

Wizard::~Wizard() = default;

void Wizard::start() {
    // Qt polishes every new widget from the event loop, so the first pass would polish all
    // thirteen forms before anything is painted. A form is polished anyway when it is first
    // shown; the welcome page is, now.
    QCoreApplication::removePostedEvents(nullptr, QEvent::PolishRequest);
    welcomePage->show();
}

void Wizard::goToPage(QWidget& from, QWidget& to) {
    to.show();
    to.raise();
    to.activateWindow();
    from.hide();
}

void Wizard::confirmAndEnd() {
    if (platform.ui.showModal(*exitConfirmDialog) == zel::ModalConfirm)
        platform.ui.quit();
}
