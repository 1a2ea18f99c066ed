#include "pages/ModemPage.h"

#include "winemu/platform.h"
#include "qt/qt_pictures.h"
#include "pages/CopyPage.h"
#include "pages/InstallTypePage.h"
#include "pages/CustomInstallPage.h"

#include <QPixmap>

#include <memory>
#include <string>

namespace {
// The first installed modem.
constexpr const char* kModemKey = "\\System\\CurrentControlSet\\Services\\Class\\Modem\\0000";
constexpr const char* kModemInitKey =
    "\\System\\CurrentControlSet\\Services\\Class\\Modem\\0000\\Settings\\Init";
} // namespace

ModemPage::ModemPage(Wizard& wizard) : PageWindow(wizard, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    foundFiles_ = std::make_unique<zel::ListBoxFoundFiles>(*ui.ListBox1);
    ui.Image1->setPixmap(zel::ownPicture("connection.bmp"));
    onClick(ui.Button1, &ModemPage::Button1Click);
    onClick(ui.Button2, &ModemPage::Button2Click);
    onClick(ui.Button3, &ModemPage::Button3Click);
    finishLayout(ui.Button1);
    run([this] { FormCreate(); });
}

void ModemPage::FormCreate() {
    // Each proposal stands on its own: a value that cannot be read (missing, or of another
    // type than text) leaves its control empty, and the dial command is proposed in every case.
    const zel::Machine& machine = wizard_.platform.machine;
    ui.Edit3->setText(zel::toQt(zel::readRegistryText(machine, kModemInitKey, "1")));

    // "COM2" and the like: only the fourth character counts.
    const std::string attachedTo = zel::readRegistryText(machine, kModemKey, "AttachedTo");
    if (attachedTo.size() >= 4 && attachedTo[3] >= '1' && attachedTo[3] <= '4')
        ui.RadioGroup1->setItemIndex(attachedTo[3] - '1');

    ui.Edit4->setText(QStringLiteral("ATDP5550100"));
}

zel::ModemSettings ModemPage::modemSettings() const {
    return {portIndex(), zel::fromQt(ui.Edit3->text()), zel::fromQt(ui.Edit4->text())};
}

void ModemPage::Button1Click() {
    // The commands may stay empty; only the port is needed.
    if (portIndex() == -1) {
        wizard_.platform.ui.messageBox("Voc\xea precisa selecionar uma porta serial",
                                       "Porta Serial", zel::MsgButtons::Ok);
        return;
    }
    wizard_.goToPage(*this, *wizard_.copyPage);
}

void ModemPage::Button2Click() {
    wizard_.confirmAndEnd();
}

void ModemPage::Button3Click() {
    Wizard& w = wizard_;
    if (w.installTypePage->installationType() == 0)
        w.goToPage(*this, *w.installTypePage);
    else
        w.goToPage(*this, *w.customInstallPage);
}
