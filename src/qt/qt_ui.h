#pragma once
// The user-interface services on Qt Widgets, and the application-wide look of the pages.
#include "services/ui.h"

#include <QPointer>
#include <QWidget>
#include <string>

#include <vector>

class QApplication;
class QCoreApplication;

namespace zel {

class QtUi : public UiServices {
public:
    ModalResult messageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                           MsgIcon icon = MsgIcon::None) override;
    ModalResult showModal(ModalWindow& window) override;
    // The hourglass is one state, not a stack: busy twice and default once is the default.
    void setBusyCursor(bool busy) override;
    void processEvents() override;
    // Minimises every visible top-level window; restore brings back exactly those.
    void minimise() override;
    void restore() override;
    // Queued, so the handler that asks returns before the event loop ends.
    void quit() override;
    bool quitRequested() const override { return quitRequested_; }
    void reportError(const std::string& message) override;

private:
    bool busy_ = false;
    bool quitRequested_ = false;
    std::vector<QPointer<QWidget>> minimised_;
};

// Loads Qt's own Portuguese (Brazil) translations, when installed, into the application.
void loadQtTranslations(QCoreApplication& app);

// Maps the fonts the pages were designed with onto their metric twins on this system
// ("MS Sans Serif" and "Arial" to Liberation Sans, "Courier New" to Liberation Mono,
// "Times New Roman" to Liberation Serif).
void installFontSubstitutions();

// The title of the error report (UTF-8): kApplicationTitle until the kit's brand sets another.
void setApplicationTitle(std::string title);
const std::string& applicationTitle();

// Qt's classic "Windows" style on the grey of that era, whatever the platform would pick.
void applyClassicStyle(QApplication& app);

// The host font family that stands in for a Windows face name (the name itself when it has
// no stand-in).
QString hostFontFamily(const QString& windowsFace);

} // namespace zel
