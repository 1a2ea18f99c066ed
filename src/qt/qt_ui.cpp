#include "qt/qt_ui.h"

#include "qt/qt_text.h"
#include "winemu/cp1252.h"

#include <QApplication>
#include <QDialog>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTranslator>
#include <QWindow>

#include <iostream>

namespace zel {

namespace {

// A message box of the platform breaks the line at a CR, a LF or a CR LF, and shows the text as
// it is: kit and user text (file names among them) is never taken for markup.
void setMessageText(QMessageBox& box, const std::string& text) {
    QString shown = toQt(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setTextFormat(Qt::PlainText);
    box.setText(shown);
}

QMessageBox::Icon qtIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Stop: return QMessageBox::Critical;
    case MsgIcon::Warning: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

struct FontTwin {
    const char* windowsFace;
    const char* hostFamily;
};

constexpr FontTwin kFontTwins[] = {
    {"MS Sans Serif", "Liberation Sans"},
    {"Arial", "Liberation Sans"},
    {"Courier New", "Liberation Mono"},
    {"Times New Roman", "Liberation Serif"},
};

} // namespace

ModalResult QtUi::messageBox(const std::string& text, const std::string& caption,
                             MsgButtons buttons, MsgIcon icon) {
    // Owned by the active window so the box stays above pages kept on top.
    QMessageBox box(qtIcon(icon), toQt(caption), QString(), QMessageBox::NoButton,
                    QApplication::activeWindow());
    setMessageText(box, text);
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    QPushButton* cancel = nullptr;
    if (buttons == MsgButtons::OkCancel) {
        cancel = box.addButton(QMessageBox::Cancel);
        box.setEscapeButton(cancel);
    } else {
        // The only button also answers Escape and the close box, as on Windows.
        box.setEscapeButton(ok);
    }
    box.setDefaultButton(ok);
    std::cerr << boxOnConsole(caption, text) << std::flush;
    box.exec();
    if (cancel && box.clickedButton() != ok)
        return ModalResult::Other;
    return ModalResult::Confirm;
}

ModalResult QtUi::showModal(ModalWindow& window) {
    return modalResultOf(window.exec());
}

void QtUi::setBusyCursor(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtUi::processEvents() {
    QCoreApplication::processEvents();
}

void QtUi::minimise() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isVisible() || widget->isMinimized())
            continue;
        minimised_.emplace_back(widget);
        widget->setWindowState(widget->windowState() | Qt::WindowMinimized);
    }
}

void QtUi::restore() {
    for (const QPointer<QWidget>& widget : minimised_) {
        if (!widget)
            continue; // destroyed meanwhile
        widget->setWindowState(widget->windowState() & ~Qt::WindowMinimized);
        widget->show();
    }
    minimised_.clear();
}

void QtUi::quit() {
    quitRequested_ = true;
    // exit(), not quit(): quit() first asks every window to close, and the pages refuse to be
    // closed by anything but their own buttons, which would cancel the end of the wizard.
    if (auto* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

namespace {
std::string& titleInUse() {
    static std::string title = kApplicationTitle;
    return title;
}
} // namespace

void setApplicationTitle(std::string title) {
    titleInUse() = std::move(title);
}

const std::string& applicationTitle() {
    return titleInUse();
}

void QtUi::reportError(const std::string& message) {
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(applicationTitle()), QString(),
                    QMessageBox::Ok, QApplication::activeWindow());
    setMessageText(box, message + ".");
    std::cerr << boxOnConsole(applicationTitle(), message + ".") << std::flush;
    box.exec();
}

void loadQtTranslations(QCoreApplication& app) {
    // Qt's own texts (the print dialog, the buttons of its boxes) in the wizard's language;
    // without the package the wizard still runs, in Qt's English.
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Portuguese, QLocale::Brazil), QStringLiteral("qt"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

void installFontSubstitutions() {
    for (const FontTwin& twin : kFontTwins)
        QFont::insertSubstitution(QString::fromLatin1(twin.windowsFace),
                                  QString::fromLatin1(twin.hostFamily));
}

QString hostFontFamily(const QString& windowsFace) {
    for (const FontTwin& twin : kFontTwins) {
        if (windowsFace.compare(QLatin1String(twin.windowsFace), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(twin.hostFamily);
    }
    return windowsFace;
}

void applyClassicStyle(QApplication& app) {
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows")))
        app.setStyle(style);

    const QColor grey(0xc0, 0xc0, 0xc0);
    const QColor darkGrey(0x80, 0x80, 0x80);
    QPalette palette;
    palette.setColor(QPalette::Window, grey);
    palette.setColor(QPalette::Button, grey);
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::ButtonText, Qt::black);
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, grey);
    palette.setColor(QPalette::Light, Qt::white);
    palette.setColor(QPalette::Midlight, QColor(0xdf, 0xdf, 0xdf));
    palette.setColor(QPalette::Mid, QColor(0xa0, 0xa0, 0xa0));
    palette.setColor(QPalette::Dark, darkGrey);
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0x00, 0x00, 0x80));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xe1));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        palette.setColor(QPalette::Disabled, role, darkGrey);
    palette.setColor(QPalette::Disabled, QPalette::Base, grey);
    app.setPalette(palette);
    // Message boxes and tool tips in the era's system font, like the pages themselves.
    app.setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
}

} // namespace zel
