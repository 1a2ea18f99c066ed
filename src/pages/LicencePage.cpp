#include "pages/LicencePage.h"

#include "setup/catalogue.h"
#include "winemu/platform.h"

#include <QStringList>

LicencePage::LicencePage(zel::Platform& platform, const zel::Catalogue& catalogue)
    : PageWindow(platform, Role::Page, kTitleOnly) {
    ui.setupUi(this);
    whenClicked(ui.nextButton, &LicencePage::next);
    whenClicked(ui.backButton, &LicencePage::back);
    finishLayout(ui.nextButton);
    run([this, &catalogue] { loadLicence(catalogue); });
}

void LicencePage::loadLicence(const zel::Catalogue& catalogue) {
    // Emptied first, so that a file that cannot be read leaves no text behind.
    ui.licenceText->clear();
    const std::string path =
        zel::sourceDirectory(platform_.machine.programPath()) + catalogue.settings.licensa;
    if (!platform_.files.fileExists(path))
        return;
    const auto lines = platform_.files.readTextFile(path, zel::kMaxLicenceBytes);
    if (!lines)
        return;
    QStringList text;
    for (const std::string& line : *lines)
        text << zel::toQt(line);
    ui.licenceText->setPlainText(text.join(QLatin1Char('\n')));
}
