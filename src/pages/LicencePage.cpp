#include "pages/LicencePage.h"

#include "winemu/platform.h"
#include "pages/RegistrationPage.h"
#include "setup/catalogue.h"
#include "pages/WelcomePage.h"

#include <QStringList>

LicencePage::LicencePage(Wizard& wizard) : PageWindow(wizard, Role::Page, kTitleOnly) {
    ui.setupUi(this);
    whenClicked(ui.nextButton, &LicencePage::next);
    whenClicked(ui.backButton, &LicencePage::back);
    finishLayout(ui.nextButton);
    run([this] { loadLicence(); });
}

void LicencePage::loadLicence() {
    // Emptied first, so that a file that cannot be read leaves no text behind.
    ui.licenceText->clear();
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
    ui.licenceText->setPlainText(text.join(QLatin1Char('\n')));
}

void LicencePage::next() {
    wizard_.goToPage(*this, *wizard_.registrationPage);
}

void LicencePage::back() {
    wizard_.goToPage(*this, *wizard_.welcomePage);
}
