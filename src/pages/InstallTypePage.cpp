#include "pages/InstallTypePage.h"

#include "qt/qt_pictures.h"

#include <QPixmap>

InstallTypePage::InstallTypePage(zel::Platform& platform, zel::Choices& choices)
    : PageWindow(platform, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    ui.pagePicture->setPixmap(zel::ownPicture("install_type.bmp"));
    ui.installationTypeGroup->setItemIndex(static_cast<int>(choices.installation));
    connect(ui.installationTypeGroup, &zel::RadioGroup::itemIndexChanged, this,
            [&choices](int index) { choices.installation = zel::InstallationType(index); });
    whenClicked(ui.nextButton, &InstallTypePage::next);
    whenClicked(ui.exitButton, &InstallTypePage::requestExit);
    whenClicked(ui.backButton, &InstallTypePage::back);
    finishLayout(ui.nextButton);
}
