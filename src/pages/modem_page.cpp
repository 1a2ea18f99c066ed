#include "pages/modem_page.h"

#include "qt/qt_pictures.h"
#include "services/platform.h"
#include "setup/messages.h"

#include <QPixmap>

namespace zel {

ModemPage::ModemPage(zel::Platform& platform, const zel::SetupSettings& brand,
                     zel::Choices& choices, Building building)
    : PageWindow(platform, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint), brand_(brand),
      choices_(choices), shown_(choices.modem) {
    if (building == Building::Now)
        build();
}

void ModemPage::buildControls() {
    ui.setupUi(this);
    showPagePicture(*ui.pagePicture, platform_.machine, brand_.brandConnectionPicture,
                    "connection.bmp");
    whenClicked(ui.nextButton, &ModemPage::next);
    whenClicked(ui.exitButton, &ModemPage::requestExit);
    whenClicked(ui.backButton, &ModemPage::back);
    finishLayout(ui.nextButton);

    ui.initCommandEdit->setText(zel::toQt(shown_.initCommand));
    ui.portGroup->setItemIndex(shown_.port.value_or(-1));
    ui.dialCommandEdit->setText(zel::toQt(shown_.dialCommand));
    zel::ModemSettings& modem = choices_.modem;
    connect(ui.portGroup, &zel::RadioGroup::itemIndexChanged, this, [&modem](int index) {
        modem.port = index == -1 ? std::nullopt : std::optional<int>(index);
    });
    connect(ui.initCommandEdit, &QLineEdit::textChanged, this,
            [&modem](const QString& text) { modem.initCommand = zel::fromQt(text); });
    connect(ui.dialCommandEdit, &QLineEdit::textChanged, this,
            [&modem](const QString& text) { modem.dialCommand = zel::fromQt(text); });
}

void ModemPage::next() {
    if (!choices_.modem.port) {
        platform_.ui.messageBox(zel::kNoPort, zel::kNoPortCaption, zel::MsgButtons::Ok);
        return;
    }
    emit nextRequested();
}

} // namespace zel
