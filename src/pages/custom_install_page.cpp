#include "pages/custom_install_page.h"

#include "services/platform.h"
#include "setup/catalogue.h"
#include "setup/disk_space.h"
#include "setup/messages.h"
#include "winemu/winpath.h"

#include <QCheckBox>
#include <QEvent>
#include <QStringList>

namespace zel {

CustomInstallPage::CustomInstallPage(zel::Platform& platform, const zel::Catalogue& catalogue,
                                     zel::Choices& choices, Building building)
    : PageWindow(platform, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint),
      catalogue_(catalogue), choices_(choices) {
    run([this] { readChoices(); });
    if (building == Building::Now)
        build();
}

void CustomInstallPage::buildControls() {
    ui.setupUi(this);
    whenClicked(ui.chooseFolderButton, &CustomInstallPage::chooseFolder);
    whenClicked(ui.nextButton, &CustomInstallPage::next);
    whenClicked(ui.exitButton, &CustomInstallPage::requestExit);
    whenClicked(ui.backButton, &CustomInstallPage::back);
    finishLayout(ui.nextButton);
    showChoices();

    // Connected once the choices are shown, so the line is computed once for their state.
    const auto spaceLine = [this] { run([this] { updateSpaceLine(); }); };
    for (QCheckBox* box : programBoxes())
        connect(box, &QCheckBox::toggled, this, spaceLine);
    connect(ui.browserGroup, &zel::RadioGroup::itemIndexChanged, this,
            [this](int index) { choices_.browser = zel::Browser(index); });
    connect(ui.browserGroup, &zel::RadioGroup::itemIndexChanged, this, spaceLine);
    connect(ui.browserGroup, &zel::RadioGroup::clicked, this, spaceLine);
    ui.programsFrame->installEventFilter(this);
}

std::array<QCheckBox*, zel::kShownPrograms> CustomInstallPage::programBoxes() const {
    return {ui.program1Box, ui.program2Box, ui.program3Box, ui.program4Box, ui.program5Box,
            ui.program6Box, ui.program7Box, ui.program8Box, ui.program9Box, ui.program10Box};
}

void CustomInstallPage::readChoices() {
    const zel::SetupSettings& settings = catalogue_.settings;
    for (int n = 1; n <= zel::kShownPrograms; ++n) {
        const auto i = static_cast<std::size_t>(n - 1);
        shown_.names[i] = zel::toQt(catalogue_.entry(n).name);
        shown_.ticked[i] = choices_.installs(n);
    }
    shown_.browsers = {zel::toQt(settings.firstBrowserName), zel::toQt(settings.secondBrowserName),
                       zel::toQt(zel::kNoBrowser)};
    shown_.destination = zel::toQt(choices_.destination);
    shown_.browser = static_cast<int>(choices_.browser);
    // The boxes start as the choices tick them, so the space is the choices' own.
    shown_.spaceLine = zel::toQt(
        zel::spaceLine(zel::requiredSpace(catalogue_, choices_.programs, choices_.browser)));
}

void CustomInstallPage::showChoices() {
    const auto boxes = programBoxes();
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        boxes[i]->setChecked(shown_.ticked[i]);
        boxes[i]->setText(shown_.names[i]);
        boxes[i]->setVisible(!shown_.names[i].isEmpty());
    }
    ui.browserGroup->setItems(shown_.browsers);
    ui.destinationEdit->setText(shown_.destination);
    ui.browserGroup->setItemIndex(shown_.browser);
    ui.spaceLabel->setText(shown_.spaceLine);
}

std::int64_t CustomInstallPage::requiredSpace() const {
    // The boxes as they are ticked now; they are stored only when the user moves on.
    zel::ProgramSelection ticked = choices_.programs;
    const auto boxes = programBoxes();
    for (std::size_t i = 0; i < boxes.size(); ++i)
        ticked[i] = boxes[i]->isChecked();
    return zel::requiredSpace(catalogue_, ticked, choices_.browser);
}

void CustomInstallPage::updateSpaceLine() {
    ui.spaceLabel->setText(zel::toQt(zel::spaceLine(requiredSpace())));
}

bool CustomInstallPage::eventFilter(QObject* watched, QEvent* event) {
    // A click on the programs' frame (outside its boxes) counts as a change too.
    if (watched == ui.programsFrame && event->type() == QEvent::MouseButtonRelease)
        run([this] { updateSpaceLine(); });
    return PageWindow::eventFilter(watched, event);
}

void CustomInstallPage::takeDestination(const std::string& directory) {
    build();
    ui.destinationEdit->setText(zel::toQt(directory));
    choices_.destination = zel::withTrailingBackslash(directory);
}

void CustomInstallPage::next() {
    platform_.ui.setBusyCursor(true);
    const auto boxes = programBoxes();
    for (int n = 1; n <= zel::kShownPrograms; ++n)
        choices_.programs[static_cast<std::size_t>(n - 1)] =
            boxes[static_cast<std::size_t>(n - 1)]->isChecked();
    // A full path on a drive, terminated for the names that are joined to it later; one that
    // Windows would refuse keeps the user here to mend it.
    const zel::ResolvedDestination destination =
        zel::resolveDestination(zel::fromQt(ui.destinationEdit->text()));
    platform_.ui.setBusyCursor(false);
    if (destination.error) {
        platform_.ui.messageBox(*destination.error, zel::kUnavailableDirectoryCaption,
                                zel::MsgButtons::Ok);
        return;
    }
    choices_.destination = destination.path;
    emit nextRequested();
}

} // namespace zel
