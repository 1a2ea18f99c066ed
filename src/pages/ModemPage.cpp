#include "pages/ModemPage.h"

#include "winemu/platform.h"
#include "qt/qt_pictures.h"
#include "pages/CopyPage.h"
#include "pages/InstallTypePage.h"
#include "pages/CustomInstallPage.h"

#include <QPixmap>

#include <string>

namespace {
// The first installed modem.
constexpr const char* kModemKey = "\\System\\CurrentControlSet\\Services\\Class\\Modem\\0000";
constexpr const char* kModemInitKey =
    "\\System\\CurrentControlSet\\Services\\Class\\Modem\\0000\\Settings\\Init";
} // namespace

ModemPage::ModemPage(Wizard& wizard) : PageWindow(wizard, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    ui.pagePicture->setPixmap(zel::ownPicture("connection.bmp"));
    whenClicked(ui.nextButton, &ModemPage::next);
    whenClicked(ui.exitButton, &ModemPage::requestExit);
    whenClicked(ui.backButton, &ModemPage::back);
    finishLayout(ui.nextButton);
    run([this] { proposeSettings(); });
}

void ModemPage::proposeSettings() {
    // Each proposal stands on its own: a value that cannot be read (missing, or of another
    // type than text) leaves its control empty, and the dial command is proposed in every case.
    const zel::Machine& machine = wizard_.platform.machine;
    ui.initCommandEdit->setText(zel::toQt(zel::readRegistryText(machine, kModemInitKey, "1")));

    // "COM2" and the like: only the fourth character counts.
    const std::string attachedTo = zel::readRegistryText(machine, kModemKey, "AttachedTo");
    if (attachedTo.size() >= 4 && attachedTo[3] >= '1' && attachedTo[3] <= '4')
        ui.portGroup->setItemIndex(attachedTo[3] - '1');

    ui.dialCommandEdit->setText(QStringLiteral("ATDP5550100"));
}

zel::ModemSettings ModemPage::modemSettings() const {
    return {portIndex(), zel::fromQt(ui.initCommandEdit->text()),
            zel::fromQt(ui.dialCommandEdit->text())};
}

void ModemPage::next() {
    // The commands may stay empty; only the port is needed.
    if (portIndex() == -1) {
        wizard_.platform.ui.messageBox("Voc\xea precisa selecionar uma porta serial",
                                       "Porta Serial", zel::MsgButtons::Ok);
        return;
    }
    wizard_.goToPage(*this, *wizard_.copyPage);
}

void ModemPage::requestExit() {
    wizard_.confirmAndEnd();
}

void ModemPage::back() {
    Wizard& w = wizard_;
    if (w.installTypePage->installationType() == zel::InstallationType::Typical)
        w.goToPage(*this, *w.installTypePage);
    else
        w.goToPage(*this, *w.customInstallPage);
}
