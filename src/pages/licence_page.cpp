#include "pages/licence_page.h"

#include "services/platform.h"
#include "setup/catalogue.h"

#include <QStringList>

namespace zel {

LicencePage::LicencePage(zel::Platform& platform, const zel::Catalogue& catalogue,
                         Building building)
    : PageWindow(platform, Role::Page, kTitleOnly) {
    run([this, &catalogue] { loadLicence(catalogue); });
    if (building == Building::Now)
        build();
}

void LicencePage::buildControls() {
    ui.setupUi(this);
    whenClicked(ui.nextButton, &LicencePage::next);
    whenClicked(ui.backButton, &LicencePage::back);
    finishLayout(ui.nextButton);
    if (!licence_.isEmpty())
        ui.licenceText->setPlainText(licence_);
}

void LicencePage::loadLicence(const zel::Catalogue& catalogue) {
    const std::string path =
        zel::sourceDirectory(platform_.machine.programPath()) + catalogue.settings.licenceFile;
    if (!platform_.files.fileExists(path))
        return;
    const auto lines = platform_.files.readTextFile(path, zel::kMaxLicenceBytes);
    if (!lines)
        return;
    QStringList text;
    for (const std::string& line : *lines)
        text << zel::toQt(line);
    licence_ = text.join(QLatin1Char('\n'));
}

} // namespace zel
