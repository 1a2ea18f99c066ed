#include "wizard/TConcordo.h"

#include "platform/platform.h"
#include "registration/TCadastro.h"
#include "setup/catalogue.h"
#include "wizard/TForm1.h"

#include <QStringList>

TConcordo::TConcordo(TWizard& wizard) : TPage(wizard, Role::Page, kTitleOnly) {
    ui.setupUi(this);
    onClick(ui.Button1, &TConcordo::Button1Click);
    onClick(ui.Button2, &TConcordo::Button2Click);
    finishLayout(ui.Button1);
    run([this] { FormCreate(); });
}

void TConcordo::FormCreate() {
    // Emptied first, so that a file that cannot be read leaves no text behind.
    ui.Memo1->clear();
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
    ui.Memo1->setPlainText(text.join(QLatin1Char('\n')));
}

void TConcordo::Button1Click() {
    wizard_.goToPage(*this, *wizard_.Cadastro);
}

void TConcordo::Button2Click() {
    wizard_.goToPage(*this, *wizard_.Form1);
}
