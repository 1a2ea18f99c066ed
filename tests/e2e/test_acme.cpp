// The Acme kit (every [Marca] key set), installed unattended from a packed copy and clicked: no
// text of the built-in provider is left anywhere but the names the README lists as fixed.
#include "tests/e2e/e2e.h"
#include "tests/support/gui_wizard_fixture.h"

#include "pages/copy_page.h"
#include "pages/install_type_page.h"
#include "pages/modem_page.h"
#include "qt/radio_group.h"
#include "winemu/profile.h"
#include "winemu/progman_client.h"
#include "winemu/programs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>

namespace zel::test {
namespace {

// The `code` spans before each ": " in the README's list of names fixed by the wizard.
std::vector<std::string> fixedNames() {
    const std::string readme = readFile(sourceDir() / "README.md");
    const auto from = readme.find("<!-- fixed names: begin -->");
    const std::string list = readme.substr(from, readme.find("<!-- fixed names: end -->") - from);
    std::vector<std::string> names;
    const std::regex head("\n- ([^\n]*?): "), span("`([^`]+)`");
    for (std::sregex_iterator line(list.begin(), list.end(), head), end; line != end; ++line) {
        const std::string spans = (*line)[1];
        for (std::sregex_iterator it(spans.begin(), spans.end(), span); it != end; ++it)
            names.push_back((*it)[1]);
    }
    return names;
}

// The built-in provider's texts in `text`, in context, the fixed names taken out.
std::vector<std::string> builtInBrand(std::string text, const std::vector<std::string>& fixed) {
    for (const std::string& name : fixed)
        for (std::size_t at; (at = text.find(name)) != std::string::npos;)
            text.replace(at, name.size(), " ");
    const std::regex brand(
        "ZEL|Zel|555-0190|555-0175|ATDP5550100|(^|[^A-Za-z0-9])zel(?![A-Za-z0-9])");
    std::vector<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), brand), end; it != end; ++it) {
        const auto at = static_cast<std::size_t>(it->position());
        found.push_back(
            text.substr(at < 20 ? 0 : at - 20, std::min<std::size_t>(at, 20) + it->length() + 20));
    }
    return found;
}

class AcmeKitTest : public WizardRunTest {
protected:
    void SetUp() override {
        WizardRunTest::SetUp();
        fixed = fixedNames();
        ASSERT_GT(fixed.size(), 8u) << "the README lists no names fixed by the wizard";
        fixed.insert(fixed.begin(), tmp.path().string());
    }

    // "where: text" for each find of the built-in brand in the machine, the desktop's directories
    // and `printout` (the programs in bin/ searched by name only).
    std::vector<std::string> traces(const std::string& printout) {
        std::vector<std::string> all;
        const auto search = [&](const std::string& where, const std::string& text) {
            for (const std::string& found : builtInBrand(text, fixed))
                all.push_back(where + ": " + found);
        };
        scanned = 0;
        for (const fs::path& root : {prefix, tmp / "xdg-data", tmp / "xdg-config"}) {
            for (const auto& entry : fs::recursive_directory_iterator(root)) {
                search("name", entry.path().string());
                if (entry.is_regular_file() && entry.path().parent_path() != prefix / "bin") {
                    search(entry.path().string(), readFile(entry.path()));
                    ++scanned;
                }
            }
        }
        search("progman --list", progmanList(prefix));
        search("printout", printout);
        return all;
    }

    // The machine shows the Acme brand where the built-in one would be: the search saw it.
    void expectAcme(const std::string& printout) {
        EXPECT_THAT(printout, HasSubstr("Enviar via FAX para: 021-555-0142"));
        EXPECT_THAT(readFile(prefix / "system.reg"), HasSubstr("Uninstall\\Acme Internet]"));
        const ProfileFile settings(machine(), "C:\\Program Files\\ACME\\TRUMPET\\TRUMPWSK.INI");
        EXPECT_EQ(ProfileFile(machine(), "C:\\WINDOWS\\zelun.ini").readText("ZEL", "dir", "") +
                      " " + settings.readText("Acme Internet", "$modemsetup", "-") + " " +
                      settings.readText("Acme Internet", "$phone", "-") + " " +
                      ProfileFile(machine(), "C:\\Program Files\\ACME\\ACMEUPD.INI")
                          .readText("ZEL", "item", "-"),
                  "C:\\Program Files\\ACME\\ ATZ ATDT5550144 Acme Atualiza");
        EXPECT_GT(scanned, 20);
    }

    std::vector<std::string> fixed;
    int scanned = 0; // the files whose contents traces() searched
};

// Packed away from the build and run under `env -i`: each helper missing stops it before the
// machine exists; then every program, the print module loaded from the medium, the registration
// printed to a PDF; Program Manager serves once the medium is gone.
TEST_F(AcmeKitTest, UnattendedFromAPackedMediumLeavesNoTraceOfTheBuiltInBrand) {
    const fs::path cd = tmp / "elsewhere" / "CD";
    fs::create_directories(cd.parent_path());
    const CommandResult packed = runCommand(q(binDir() / "zel-kit") + " pack " +
                                            q(sourceDir() / "kit-acme") + " " + q(cd) + " 2>&1");
    ASSERT_EQ(packed.status, 0) << packed.output;
    fs::remove_all(prefix);
    writeFile(tmp / "a.ini", "[Respostas]\ntipo=personalizada\nprogramas=1,2,3,4,5\n"
                             "navegador=1\nporta=COM2\nmodem_inicializacao=ATZ\nnome=Maria\n"
                             "telefone_comercial=555-0123\ncartao_numero=5555 4444\n"
                             "impressao_pdf=../../card.pdf\n");
    const auto setup = [&](const std::string& more) {
        return runIn(cd,
                     "env -i HOME=" + q(tmp.path()) + " XDG_DATA_HOME=" + q(tmp / "xdg-data") +
                         " XDG_CONFIG_HOME=" + q(tmp / "xdg-config") + " ZEL_PREFIX=" + q(prefix) +
                         " ZEL_PROGMAN_IDLE=0.3 " + more + " ./SETUP --answers ../../a.ini",
                     tmp / "err");
    };
    // Without its sums (they would name the missing file first), each helper is looked for.
    fs::rename(cd / "SHA256SUMS", tmp / "SHA256SUMS");
    for (const char* helper : {"progman", "zel-uninstall", "libzel-print.so", "libzel-media.so"}) {
        SCOPED_TRACE(helper);
        fs::rename(cd / helper, tmp / helper);
        const CommandResult r = setup("");
        EXPECT_EQ(std::to_string(r.status) + lastLine(r.errors),
                  "1O arquivo " + std::string(helper) +
                      ", necess\xc3\xa1rio \xc3\xa0 instala\xc3\xa7\xc3\xa3o, n\xc3\xa3o foi "
                      "encontrado junto ao programa de instala\xc3\xa7\xc3\xa3o (" +
                      cd.string() + ")");
        EXPECT_FALSE(fs::exists(prefix));
        fs::rename(tmp / helper, cd / helper);
    }
    fs::rename(tmp / "SHA256SUMS", cd / "SHA256SUMS");
    const CommandResult run = setup("LD_DEBUG=files"); // the loader tells where modules come from
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_THAT(run.errors, HasSubstr("file=" + (cd / "libzel-print.so").string() + " "));
    EXPECT_TRUE(awaitProgmanExit());
    const fs::path installed = prefix / "bin" / "progman";
    EXPECT_TRUE(readFile(installed) == readFile(cd / "progman")); // no binary in a failure
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "PROGMAN.EXE"),
              "#!/bin/sh\nexec '" + installed.string() + "' \"$@\"\n");

    fs::remove_all(cd);
    ::setenv("ZEL_PROGMAN_IDLE", "0.3", 1);
    ScriptedUi later;
    makeMachine();
    Programs programs(machine(), later);
    DdeConversation progman(machine(), programs);
    ASSERT_TRUE(progman.open("PROGMAN", "PROGMAN"));
    EXPECT_TRUE(progman.execute("[CreateGroup(Depois)]"));
    progman.close();
    EXPECT_EQ(progman.deliveries(), std::vector<bool>{true});
    EXPECT_TRUE(awaitProgmanExit());
    ::unsetenv("ZEL_PROGMAN_IDLE");
    const std::string groups = // by the launcher the machine's Program Manager now is
        runCommand("ZEL_PREFIX=" + q(prefix) + " " + q(driveC() / "WINDOWS" / "PROGMAN.EXE") +
                   " --list")
            .output;
    EXPECT_TRUE(groups.ends_with("\nDepois\n    (no items)\n")) << groups;
    const fs::path pdf = tmp / "card.pdf";
    ASSERT_TRUE(readFile(pdf).starts_with("%PDF-"));
    // The PDF's text as a reader sees it; without pdftotext, its bytes.
    const CommandResult text = runCommand("pdftotext -layout " + q(pdf) + " - 2>/dev/null");
    const std::string printout = text.status == 0 ? text.output : readFile(pdf);
    EXPECT_EQ(traces(printout), std::vector<std::string>{});
    expectAcme(printout);
}

// Clicked, typical: the kit's dial command proposed; the pages' texts searched while up.
TEST_F(AcmeKitTest, ClickedThroughItsPagesLeavesNoTraceOfTheBuiltInBrand) {
    fs::remove_all(medium());
    fs::copy(sourceDir() / "kit-acme", medium(), fs::copy_options::recursive);
    fs::create_symlink(binDir() / "zel-setup", program);
    makeMachine(true);
    start();
    throughRegistration(true);
    click(wizard->installTypePage->ui.nextButton);
    ASSERT_EQ(currentPage(), "ModemPage");
    ModemPage& connection = *wizard->modemPage;
    EXPECT_EQ(connection.ui.dialCommandEdit->text(), "ATDT5550144");
    click(connection.ui.portGroup->button(2));
    type(connection.ui.initCommandEdit, QStringLiteral("ATZ"));
    click(connection.ui.nextButton);
    ASSERT_EQ(currentPage(), "CopyPage");
    std::string pages;
    for (QWidget* widget : QApplication::allWidgets()) {
        pages +=
            widget->windowTitle().toStdString() + "\n" + widget->toolTip().toStdString() + "\n";
        if (auto* label = qobject_cast<QLabel*>(widget))
            pages += label->text().toStdString() + "\n";
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            pages += button->text().toStdString() + "\n";
        if (auto* edit = qobject_cast<QLineEdit*>(widget))
            pages += edit->text().toStdString() + "\n";
    }
    EXPECT_EQ(builtInBrand(pages, fixed), std::vector<std::string>{});
    EXPECT_THAT(pages, HasSubstr("Acme Internet"));
    copyAndFinish();
    WizardTest::TearDown();
    EXPECT_TRUE(awaitProgmanExit());
    std::string printout;
    for (const std::string& call : printer.calls)
        printout += call + "\n";
    EXPECT_EQ(traces(printout), std::vector<std::string>{});
    expectAcme(printout);
}

} // namespace
} // namespace zel::test
