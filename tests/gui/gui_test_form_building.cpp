// Forms whose controls are made when first shown: the welcome page's are made at start; every
// other page, once shown, is the very picture of one made whole at start, with what the start
// found even where that has changed since (the licence file, the choices).
#include "pages/DirectoryChooser.h"
#include "pages/SponsorPictureWindow.h"
#include "tests/support/gui_wizard_fixture.h"

#include <QImage>

#include <gtest/gtest.h>

namespace zel::test {
namespace {

TEST_F(WizardTest, AFormMadeWhenFirstShownIsTheOneMadeAtStart) {
    writeSetup("[Principal]\r\ndestino=C:\\KIT\\\r\nlicensa=L.TXT\r\nupline=senha\r\n"
               "cadastro1=Cadastre-se\r\nnavegap_version=Navegador P\r\nnavegai_version=I\r\n"
               "[Programa1]\r\nnome=Discador\r\ninstala=1\r\ntamanho=500\r\n"
               "[Programa2]\r\nnome=Correio\r\ninstala=0\r\ntamanho=700\r\n");
    writeFile(medium() / "L.TXT", "Um\r\nDois");
    writeRegistry("System\\CurrentControlSet\\Services\\Class\\Modem\\0000", "AttachedTo", "COM2");
    Wizard& lazy = makeWizard();
    Catalogue wholeCatalogue;
    Wizard whole(*platform, wholeCatalogue);
    whole.buildForms();
    writeFile(medium() / "L.TXT", "Outra");
    lazy.choices = whole.choices = {InstallationType::Custom,
                                    {true, true},
                                    Browser::None,
                                    "C:\\OUTRO\\",
                                    {3, "ATZ", "ATDP"},
                                    {}};

    std::vector<std::pair<PageWindow*, PageWindow*>> forms = {
        {lazy.directoryChooser.get(), whole.directoryChooser.get()},
        {lazy.sponsorPicture.get(), whole.sponsorPicture.get()}};
    for (int p = int(Page::Welcome); p <= int(Page::Finish); ++p)
        forms.emplace_back(&lazy.window(Page(p)), &whole.window(Page(p)));
    for (const auto& [later, made] : forms) {
        SCOPED_TRACE(made->objectName().toStdString());
        EXPECT_EQ(later->isBuilt(), later == &lazy.window(Page::Welcome));
        later->show();
        made->show();
        EXPECT_EQ(later->grab().toImage(), made->grab().toImage());
        later->hide();
        made->hide();
    }
    EXPECT_EQ(ui.errors, std::vector<std::string>{});
}

} // namespace
} // namespace zel::test
