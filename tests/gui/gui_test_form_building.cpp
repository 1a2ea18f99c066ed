// Forms whose controls are made when first shown: at start only the welcome page, the
// background and the two small dialogs are made; every other form, once shown, is the very
// picture of one made whole at start, with what the start found even where that has changed
// since (the licence file, the choices).
#include "pages/BackdropWindow.h"
#include "pages/CopyPage.h"
#include "pages/CustomInstallPage.h"
#include "pages/DirectoryChooser.h"
#include "pages/ExitConfirmDialog.h"
#include "pages/FaxNoticeDialog.h"
#include "pages/FinishPage.h"
#include "pages/InstallTypePage.h"
#include "pages/LicencePage.h"
#include "pages/ModemPage.h"
#include "pages/RegistrationPage.h"
#include "pages/SponsorPictureWindow.h"
#include "pages/WelcomePage.h"
#include "tests/support/gui_wizard_fixture.h"

#include <QImage>

#include <gtest/gtest.h>

#include <functional>

namespace zel::test {
namespace {

constexpr std::string_view kSetup =
    "[Principal]\r\ndestino=C:\\KIT\\\r\nlicensa=LICENSA.TXT\r\nupline=senha123\r\n"
    "cadastro1=Cadastre-se j\xe1!\r\ncadastro2=Taxa\r\n"
    "navegap_version=Navegador P\r\nnavegai_version=Navegador I\r\nnavegai_size=3000\r\n"
    "[Programa1]\r\nnome=Discador\r\ninstala=1\r\ntamanho=500\r\ndiretorio=DISC\\\r\n"
    "[Programa2]\r\nnome=Correio\r\ninstala=0\r\ntamanho=700\r\n";

using FormTest = WizardTest;

TEST_F(FormTest, AFormMadeWhenFirstShownIsTheOneMadeAtStart) {
    writeSetup(kSetup);
    writeFile(medium() / "LICENSA.TXT", "Um\r\nDois");
    writeRegistry("System\\CurrentControlSet\\Services\\Class\\Modem\\0000", "AttachedTo", "COM2");
    Wizard& lazy = makeWizard();
    Catalogue wholeCatalogue;
    Wizard whole(*platform, wholeCatalogue);
    whole.buildForms();
    // What the forms read at start changes before they are first shown.
    writeFile(medium() / "LICENSA.TXT", "Outra licen\xe7"
                                        "a");
    for (Choices* choices : {&lazy.choices, &whole.choices}) {
        choices->installation = InstallationType::Custom;
        choices->programs[1] = true;
        choices->browser = Browser::None;
        choices->destination = "C:\\OUTRO\\";
        choices->modem = {3, "ATZ", "ATDP"};
    }

    struct Row {
        const char* name;
        std::function<PageWindow&(Wizard&)> form;
        bool madeAtStart;
    };
    const Row rows[] = {
        {"welcome", [](Wizard& w) -> PageWindow& { return *w.welcomePage; }, true},
        {"licence", [](Wizard& w) -> PageWindow& { return *w.licencePage; }, false},
        {"registration", [](Wizard& w) -> PageWindow& { return *w.registrationPage; }, false},
        {"installation type", [](Wizard& w) -> PageWindow& { return *w.installTypePage; }, false},
        {"custom", [](Wizard& w) -> PageWindow& { return *w.customInstallPage; }, false},
        {"chooser", [](Wizard& w) -> PageWindow& { return *w.directoryChooser; }, false},
        {"connection", [](Wizard& w) -> PageWindow& { return *w.modemPage; }, false},
        {"copy", [](Wizard& w) -> PageWindow& { return *w.copyPage; }, false},
        {"finish", [](Wizard& w) -> PageWindow& { return *w.finishPage; }, false},
        {"sponsor picture", [](Wizard& w) -> PageWindow& { return *w.sponsorPicture; }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PageWindow& later = row.form(lazy);
        PageWindow& made = row.form(whole);
        EXPECT_EQ(later.isBuilt(), row.madeAtStart);
        later.show();
        made.show();
        EXPECT_EQ(later.grab().toImage(), made.grab().toImage());
        later.hide();
        made.hide();
    }
    EXPECT_TRUE(lazy.backdrop->isBuilt() && lazy.exitConfirmDialog->isBuilt() &&
                lazy.faxNoticeDialog->isBuilt());
    EXPECT_EQ(ui.errors, std::vector<std::string>{});
}

} // namespace
} // namespace zel::test
