#include "pages/LicencePage.h"

#include "winemu/platform.h"
#include "pages/RegistrationPage.h"
#include "setup/catalogue.h"
#include "pages/WelcomePage.h"

#include <QStringList>

LicencePage::LicencePage(Wizard& wizard) : PageWindow(wizard, Role::Page, kTitleOnly) {
    ui.setupUi(this);
    onClick(ui.Button1, &LicencePage::Button1Click);
    onClick(ui.Button2, &LicencePage::Button2Click);
    finishLayout(ui.Button1);
    run([this] { FormCreate(); });
}

void LicencePage::FormCreate() {
    // Emptied first, so that a file that cannot be read leaves no text behind.
    ui.Memo1->clear();
    zel::Platform& platform = wizard_.platform;
    const std::string path =
        zel::sourceDirectory(platform.machine.programPath()) + wizard_.catalogue.settings.licensa;
    if (!platform.files.fileExists(path))
        return;
    const auto lines = platform.files.readTextFile(path);
    if (!lines)
        return;
    QStringList text;
    for (const std::string& line : *lines)
        text << zel::toQt(line);
    ui.Memo1->setPlainText(text.join(QLatin1Char('\n')));
}

void LicencePage::Button1Click() {
    wizard_.goToPage(*this, *wizard_.registrationPage);
}

void LicencePage::Button2Click() {
    wizard_.goToPage(*this, *wizard_.welcomePage);
}
