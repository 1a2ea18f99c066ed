#include "pages/welcome_page.h"

#include "qt/qt_pictures.h"
#include "services/platform.h"
#include "setup/catalogue.h"
#include "setup/messages.h"
#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/profile.h"
#include "winemu/winpath.h"

#include <QEvent>
#include <QPixmap>
#include <QTextDocument>

namespace zel {

WelcomePage::WelcomePage(zel::Platform& platform, const zel::SetupSettings& brand)
    : PageWindow(platform, Role::Page, kTitleOnly | Qt::WindowStaysOnTopHint), brand_(brand) {
    build(); // shown first, at once
}

void WelcomePage::buildControls() {
    ui.setupUi(this);
    brandControls(*this, brand_);
    if (!brand_.brandWelcome.empty())
        ui.welcomeLabel->setText(zel::toQt(brand_.brandWelcome));
    setWindowTitle(zel::toQt(brand_.brandCaption));
    showPagePicture(*ui.pagePicture, platform_.machine, brand_.brandWelcomePicture, "welcome.bmp");
    whenClicked(ui.nextButton, &WelcomePage::next);
    whenClicked(ui.exitButton, &WelcomePage::requestExit);
    for (int k = 1; k <= kSponsors; ++k)
        sponsorPicture(k)->installEventFilter(this);
    finishLayout(ui.nextButton);
}

QLabel* WelcomePage::sponsorPicture(int k) const {
    const std::array<QLabel*, kSponsors> pictures = {ui.sponsor1Picture, ui.sponsor2Picture,
                                                     ui.sponsor3Picture, ui.sponsor4Picture,
                                                     ui.sponsor5Picture};
    return pictures.at(static_cast<std::size_t>(k - 1));
}

const std::string& WelcomePage::sponsorProgram(int k) const {
    return sponsorPrograms_.at(static_cast<std::size_t>(k - 1));
}

void WelcomePage::onShow() {
    emit backgroundNeeded();
    // Read afresh on every showing, so a kit author sees a changed file on the way back.
    const zel::Machine& machine = platform_.machine;
    const zel::ProfileFile setup(machine, zel::setupDescriptionPath(machine.programPath()));
    readMessage(setup);
    for (int k = 1; k <= kSponsors; ++k)
        readSponsor(setup, k);
}

void WelcomePage::readMessage(const zel::ProfileFile& setup) {
    const std::string message = zel::readKeyText(setup, zel::KeyId::WelcomeMessage);
    ui.messageLabel->setText(zel::toQt(message));
    // An empty message leaves a label shown before as it is.
    if (!message.empty())
        ui.messageLabel->show();
}

void WelcomePage::readSponsor(const zel::ProfileFile& setup, int k) {
    zel::Platform& platform = platform_;

    QLabel& picture = *sponsorPicture(k);

    const std::string base =
        zel::withTrailingBackslash(zel::sourceDirectory(platform.machine.programPath()) +
                                   zel::readKeyText(setup, zel::KeyId::SponsorDirectory, k));

    const std::string hint = zel::readKeyText(setup, zel::KeyId::SponsorHint, k);
    // The kit's text as it is: a hint that looks like markup shows its tags.
    const QString tip = zel::toQt(hint);
    picture.setToolTip(
        Qt::mightBeRichText(tip) ? Qt::convertFromPlainText(tip, Qt::WhiteSpaceNoWrap) : tip);

    // A missing picture keeps the one shown before; one that cannot be decoded leaves the
    // control empty, and the other sponsors are read all the same.
    const std::string image = base + zel::readKeyText(setup, zel::KeyId::SponsorPicture, k);
    if (platform.files.fileExists(image))
        zel::loadPicture(picture, platform.machine, image);

    sponsorPrograms_.at(static_cast<std::size_t>(k - 1)) =
        base + zel::readKeyText(setup, zel::KeyId::SponsorProgram, k);

    // An empty hint hides nothing shown before.
    if (!hint.empty())
        picture.show();
}

bool WelcomePage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (int k = 1; k <= kSponsors; ++k) {
            if (watched == sponsorPicture(k)) {
                run([this, k] { sponsorAction(k); });
                return true;
            }
        }
    }
    return PageWindow::eventFilter(watched, event);
}

void WelcomePage::sponsorAction(int k) {
    zel::Platform& platform = platform_;
    const std::string& path = sponsorProgram(k);
    // An empty Programa leaves a directory here, which is no file either.
    if (!platform.files.fileExists(path))
        return;

    if (zel::upperAscii(zel::extractFileExt(path)) != ".EXE") {
        emit sponsorPictureRequested(path);
        return;
    }
    // Minimises the wizard while the program runs and restores it afterwards, also when the
    // program cannot be started.
    if (!platform.programs.runAndWait(path))
        throw zel::PlatformError(zel::cannotRunProgram(path));
}

} // namespace zel
