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
    onClick(ui.Button1, &CustomInstallPage::Button1Click);
    onClick(ui.Button2, &CustomInstallPage::Button2Click);
    onClick(ui.Button3, &CustomInstallPage::Button3Click);
    onClick(ui.Button4, &CustomInstallPage::Button4Click);
    finishLayout(ui.Button2);
    run([this] { FormCreate(); });

    // Connected after the creation step, which computes the line once for its final state.
    const auto spaceLine = [this] { run([this] { updateSpaceLine(); }); };
    for (QCheckBox* box : checkBoxes())
        connect(box, &QCheckBox::toggled, this, spaceLine);
    connect(ui.RadioGroup1, &zel::RadioGroup::itemIndexChanged, this, spaceLine);
    connect(ui.RadioGroup1, &zel::RadioGroup::clicked, this, spaceLine);
    ui.GroupBox1->installEventFilter(this);
}

std::array<QCheckBox*, 10> CustomInstallPage::checkBoxes() const {
    return {ui.CheckBox1, ui.CheckBox2, ui.CheckBox3, ui.CheckBox4, ui.CheckBox5,
            ui.CheckBox6, ui.CheckBox7, ui.CheckBox8, ui.CheckBox9, ui.CheckBox10};
}

void CustomInstallPage::FormCreate() {
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
    ui.RadioGroup1->setItems({zel::toQt(settings.navegap_version),
                              zel::toQt(settings.navegai_version),
                              QStringLiteral("Não instalar navegador")});
    ui.Edit1->setText(zel::toQt(settings.destino));

    // A machine that already has the first browser's configuration program gets that browser.
    const bool firstBrowserPresent =
        platform.files.fileExists(platform.machine.windowsDirectory() + "\\config.exe");
    ui.RadioGroup1->setItemIndex(firstBrowserPresent ? 0 : 1);
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
    if (browserChoice() == 0)
        sum += catalogue.settings.navegap_size;
    else if (browserChoice() == 1)
        sum += catalogue.settings.navegai_size;
    return sum;
}

void CustomInstallPage::updateSpaceLine() {
    ui.Label3->setText(QStringLiteral("Espaço necessário: %1k").arg(requiredSpace()));
}

bool CustomInstallPage::eventFilter(QObject* watched, QEvent* event) {
    // A click on the programs' frame (outside its boxes) counts as a change too.
    if (watched == ui.GroupBox1 && event->type() == QEvent::MouseButtonRelease)
        run([this] { updateSpaceLine(); });
    return PageWindow::eventFilter(watched, event);
}

void CustomInstallPage::Button1Click() {
    Wizard& w = wizard_;
    if (w.platform.ui.showModal(*w.directoryChooser) != 1)
        return;
    const std::string& directory = w.directoryChooser->directory();
    ui.Edit1->setText(zel::toQt(directory));
    // Stored terminated at once: the typical installation may take it without this page
    // being left forward, and every later step joins names straight to it.
    w.catalogue.settings.destino = zel::withTrailingBackslash(directory);
}

void CustomInstallPage::Button2Click() {
    Wizard& w = wizard_;
    zel::Catalogue& catalogue = w.catalogue;
    w.platform.ui.setBusyCursor(true);
    const auto boxes = checkBoxes();
    for (int n = 1; n <= 10; ++n)
        catalogue.entry(n).instala = boxes[static_cast<std::size_t>(n - 1)]->isChecked() ? 1 : 0;
    // Taken as typed, terminated for the names that are joined to it later.
    catalogue.settings.destino = zel::withTrailingBackslash(zel::fromQt(ui.Edit1->text()));
    w.platform.ui.setBusyCursor(false);

    // Entry 1 takes the connection settings, so the custom path asks for them exactly when
    // it is installed, whether or not a port is known.
    if (catalogue.entry(1).instala == 1)
        w.goToPage(*this, *w.modemPage);
    else
        w.goToPage(*this, *w.copyPage);
}

void CustomInstallPage::Button3Click() {
    wizard_.confirmAndEnd();
}

void CustomInstallPage::Button4Click() {
    wizard_.goToPage(*this, *wizard_.installTypePage);
}
