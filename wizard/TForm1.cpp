#include "wizard/TForm1.h"

#include "platform/platform.h"
#include "platform/profile.h"
#include "setup/catalogue.h"
#include "wizard/TConcordo.h"
#include "wizard/TFormback.h"

#include <QPixmap>

std::string underProgramFiles(const std::string& destino, const std::string& programFilesDir) {
    std::string result = destino;
    if (programFilesDir.find(':') != std::string::npos)
        result.erase(0, std::min<std::size_t>(2, result.size()));
    return programFilesDir + result;
}

TForm1::TForm1(TWizard& wizard) : TPage(wizard, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    ui.Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/welcome.png")));
    onClick(ui.Button1, &TForm1::Button1Click);
    onClick(ui.Button2, &TForm1::Button2Click);
    finishLayout(ui.Button1);
    run([this] { FormCreate(); });
}

void TForm1::FormCreate() {
    zel::Platform& platform = wizard_.platform;
    zel::Catalogue& catalogue = wizard_.catalogue;
    const std::string program = platform.machine.programPath();

    catalogue.load(zel::ProfileFile(platform.machine, zel::setupDescriptionPath(program)));
    setWindowTitle(QStringLiteral("ZEL - Windows 95/NT"));
    if (!catalogue.settings.StartWave.empty())
        platform.sound.playWave(zel::sourceDirectory(program) + catalogue.settings.StartWave);

    const std::string programFiles = zel::readRegistryText(
        platform.machine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    catalogue.settings.destino = underProgramFiles(catalogue.settings.destino, programFiles);
}

void TForm1::FormShow() {
    wizard_.Formback->coverScreen();
    readMessage();
}

void TForm1::readMessage() {
    const zel::Machine& machine = wizard_.platform.machine;
    const zel::ProfileFile setup(machine, zel::setupDescriptionPath(machine.programPath()));
    const std::string message = setup.readText("Principal", "Mensagem", "");
    ui.Label2->setText(zel::toQt(message));
    // An empty message leaves a label shown before as it is.
    if (!message.empty())
        ui.Label2->show();
}

void TForm1::Button1Click() {
    wizard_.goToPage(*this, *wizard_.Concordo);
}

void TForm1::Button2Click() {
    // Nothing has been installed yet: leave without asking.
    wizard_.platform.ui.quit();
}
