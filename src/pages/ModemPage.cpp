#include "pages/ModemPage.h"

#include "qt/qt_pictures.h"
#include "setup/messages.h"
#include "winemu/platform.h"

#include <QPixmap>

ModemPage::ModemPage(zel::Platform& platform, zel::Choices& choices)
    : PageWindow(platform, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint), choices_(choices) {
    ui.setupUi(this);
    ui.pagePicture->setPixmap(zel::ownPicture("connection.bmp"));
    whenClicked(ui.nextButton, &ModemPage::next);
    whenClicked(ui.exitButton, &ModemPage::requestExit);
    whenClicked(ui.backButton, &ModemPage::back);
    finishLayout(ui.nextButton);

    zel::ModemSettings& modem = choices_.modem;
    ui.initCommandEdit->setText(zel::toQt(modem.initCommand));
    ui.portGroup->setItemIndex(modem.port.value_or(-1));
    ui.dialCommandEdit->setText(zel::toQt(modem.dialCommand));
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
