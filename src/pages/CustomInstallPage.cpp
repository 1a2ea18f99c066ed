#include "pages/CustomInstallPage.h"

#include "pages/ModemPage.h"
#include "winemu/platform.h"
#include "winemu/winpath.h"
#include "pages/CopyPage.h"
#include "setup/catalogue.h"
#include "pages/InstallTypePage.h"
#include "pages/DirectoryChooser.h"

#include <QCheckBox>
#include <QEvent>
#include <QStringList>

#include <string>

CustomInstallPage::CustomInstallPage(Wizard& wizard) : PageWindow(wizard, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint) {
    ui.setupUi(this);
    whenClicked(ui.chooseFolderButton, &CustomInstallPage::chooseFolder);
    whenClicked(ui.nextButton, &CustomInstallPage::next);
    whenClicked(ui.exitButton, &CustomInstallPage::requestExit);
    whenClicked(ui.backButton, &CustomInstallPage::back);
    finishLayout(ui.nextButton);
    run([this] { create(); });

    // Connected after the creation step, which computes the line once for its final state.
    const auto spaceLine = [this] { run([this] { updateSpaceLine(); }); };
    for (QCheckBox* box : checkBoxes())
        connect(box, &QCheckBox::toggled, this, spaceLine);
    connect(ui.browserGroup, &zel::RadioGroup::itemIndexChanged, this, spaceLine);
    connect(ui.browserGroup, &zel::RadioGroup::clicked, this, spaceLine);
    ui.programsFrame->installEventFilter(this);
}

std::array<QCheckBox*, 10> CustomInstallPage::checkBoxes() const {
    return {ui.program1Box, ui.program2Box, ui.program3Box, ui.program4Box, ui.program5Box,
            ui.program6Box, ui.program7Box, ui.program8Box, ui.program9Box, ui.program10Box};
}

void CustomInstallPage::create() {
    zel::Platform& platform = wizard_.platform;
    const zel::Catalogue& catalogue = wizard_.catalogue;
    const zel::SetupSettings& settings = catalogue.settings;

    const auto boxes = checkBoxes();
    for (int n = 1; n <= 10; ++n) {
        QCheckBox* box = boxes[static_cast<std::size_t>(n - 1)];
        const zel::ProgramEntry& entry = catalogue.entry(n);
        box->setChecked(entry.instala == 1);
        box->setText(zel::toQt(entry.nome));
        box->setVisible(!entry.nome.empty());
    }
    ui.browserGroup->setItems({zel::toQt(settings.navegap_version),
                               zel::toQt(settings.navegai_version),
                               QStringLiteral("Não instalar navegador")});
    ui.destinationEdit->setText(zel::toQt(settings.destino));

    // A machine that already has the first browser's configuration program gets that browser.
    const bool firstBrowserPresent =
        platform.files.fileExists(platform.machine.windowsDirectory() + "\\config.exe");
    ui.browserGroup->setItemIndex(firstBrowserPresent ? 0 : 1);
    updateSpaceLine();
}

std::int64_t CustomInstallPage::requiredSpace() const {
    const zel::Catalogue& catalogue = wizard_.catalogue;
    std::int64_t sum = 0;
    const auto boxes = checkBoxes();
    for (int n = 1; n <= 10; ++n) {
        if (boxes[static_cast<std::size_t>(n - 1)]->isChecked())
            sum += catalogue.entry(n).tamanho;
    }
    if (browserChoice() == zel::Browser::First)
        sum += catalogue.settings.navegap_size;
    else if (browserChoice() == zel::Browser::Second)
        sum += catalogue.settings.navegai_size;
    return sum;
}

void CustomInstallPage::updateSpaceLine() {
    ui.spaceLabel->setText(QStringLiteral("Espaço necessário: %1k").arg(requiredSpace()));
}

bool CustomInstallPage::eventFilter(QObject* watched, QEvent* event) {
    // A click on the programs' frame (outside its boxes) counts as a change too.
    if (watched == ui.programsFrame && event->type() == QEvent::MouseButtonRelease)
        run([this] { updateSpaceLine(); });
    return PageWindow::eventFilter(watched, event);
}

void CustomInstallPage::chooseFolder() {
    Wizard& w = wizard_;
    if (w.platform.ui.showModal(*w.directoryChooser) != zel::ModalConfirm)
        return;
    const std::string& directory = w.directoryChooser->directory();
    ui.destinationEdit->setText(zel::toQt(directory));
    // Stored terminated at once: the typical installation may take it without this page
    // being left forward, and every later step joins names straight to it.
    w.catalogue.settings.destino = zel::withTrailingBackslash(directory);
}

void CustomInstallPage::next() {
    Wizard& w = wizard_;
    zel::Catalogue& catalogue = w.catalogue;
    w.platform.ui.setBusyCursor(true);
    const auto boxes = checkBoxes();
    for (int n = 1; n <= 10; ++n)
        catalogue.entry(n).instala = boxes[static_cast<std::size_t>(n - 1)]->isChecked() ? 1 : 0;
    // Taken as typed, terminated for the names that are joined to it later.
    catalogue.settings.destino =
        zel::withTrailingBackslash(zel::fromQt(ui.destinationEdit->text()));
    w.platform.ui.setBusyCursor(false);

    // Entry 1 takes the connection settings, so the custom path asks for them exactly when
    // it is installed, whether or not a port is known.
    if (catalogue.entry(1).instala == 1)
        w.goToPage(*this, *w.modemPage);
    else
        w.goToPage(*this, *w.copyPage);
}

void CustomInstallPage::requestExit() {
    wizard_.confirmAndEnd();
}

void CustomInstallPage::back() {
    wizard_.goToPage(*this, *wizard_.installTypePage);
}
