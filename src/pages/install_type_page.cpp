#include "pages/install_type_page.h"

#include "qt/qt_pictures.h"
#include "services/platform.h"

#include <QPixmap>

namespace zel {

InstallTypePage::InstallTypePage(zel::Platform& platform, const zel::SetupSettings& brand,
                                 zel::Choices& choices, Building building)
    : PageWindow(platform, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint), brand_(brand),
      choices_(choices), shown_(choices.installation) {
    if (building == Building::Now)
        build();
}

void InstallTypePage::buildControls() {
    ui.setupUi(this);
    showPagePicture(*ui.pagePicture, platform_.machine, brand_.brandTypePicture,
                    "install_type.bmp");
    ui.installationTypeGroup->setItemIndex(static_cast<int>(shown_));
    connect(ui.installationTypeGroup, &zel::RadioGroup::itemIndexChanged, this,
            [this](int index) { choices_.installation = zel::InstallationType(index); });
    whenClicked(ui.nextButton, &InstallTypePage::next);
    whenClicked(ui.exitButton, &InstallTypePage::requestExit);
    whenClicked(ui.backButton, &InstallTypePage::back);
    finishLayout(ui.nextButton);
}

} // namespace zel
