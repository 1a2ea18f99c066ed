// The wizard clicked through and replayed ($ZEL_SCREENSHOTS gets each page); the Acme kit's brand.
#include "tests/e2e/e2e.h"
#include "tests/support/gui_wizard_fixture.h"

#include "pages/copy_page.h"
#include "pages/custom_install_page.h"
#include "pages/directory_chooser.h"
#include "pages/finish_page.h"
#include "pages/install_type_page.h"
#include "pages/modem_page.h"
#include "pages/welcome_page.h"
#include "qt/radio_group.h"
#include "setup/answers.h"
#include "winemu/log_file.h"
#include "winemu/profile.h"
#include "winemu/progman_client.h"
#include "winemu/programs.h"

#include <QApplication>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <nlohmann/json.hpp>

namespace zel::test {
namespace {

class DemoKitTest : public WizardRunTest {
protected:
    // The destination, the kit's programs installed (1 to 6), the dialer, the browser setup's tag.
    void expectMachine(const std::string& d, const std::string& entries, const std::string& dialer,
                       const std::string& browser) {
        EXPECT_EQ(ProfileFile(machine(), "C:\\WINDOWS\\zelun.ini").readText("ZEL", "dir", ""), d);
        const ProfileFile settings(machine(), d + "TRUMPET\\TRUMPWSK.INI");
        EXPECT_EQ(settings.readText("Trumpet Winsock", "slip-port", "-") + " " +
                      settings.readText("ZEL Internet", "$modemsetup", "-") + " " +
                      settings.readText("ZEL Internet", "$phone", "-"),
                  dialer);
        EXPECT_EQ(fs::exists(driveC() / "WINDOWS" / "SYSTEM" / "~sock32.dll"), entries[0] == '1');
        const char* items[] = {
            "Discador (Trumpet Winsock): $TRUMPET\\TCPMAN.EXE  [icon $ZELNET.ICO]",
            "ZEL BBS: $BBS\\ZEL.HT  [icon $ZELBBS.ICO]",
            "Correio Eletrônico: $CORREIO\\CORREIO.EXE",
            "Leitor de Notícias: $NOTICIAS.EXE",
            "Transferência de Arquivos (FTP): $FTP\\FTPZEL.EXE",
            "Bate-papo (IRC): $IRC\\BATEPAPO.EXE"};
        std::string expected = "StartUp\n    ZEL Update: $ZELUPD.EXE\nZEL Internet\n";
        for (const char entry : entries)
            expected += "    " + std::string(items[entry - '1']) + "\n";
        EXPECT_EQ(progmanList(prefix), replaced(expected, "$", d));
        const auto json = nlohmann::json::parse(progmanList(prefix, " --json"))["groups"][0];
        EXPECT_EQ(json["name"].get<std::string>() + json["items"][0]["command"].get<std::string>(),
                  "StartUp" + d + "ZELUPD.EXE");
        const fs::path trace = prefix / "browser-setup.log";
        for (int i = 0; i < 50 && (browser.empty() || readFile(trace).empty()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(browser.empty() ? 6 : 20));
        const std::string line = readFile(trace);
        EXPECT_EQ(line.substr(0, browser.size() + 1) +
                      std::to_string(std::count(line.begin(), line.end(), '\n')),
                  browser.empty() ? "0" : browser + " 1");
    }

    // The clicked answers replayed on a fresh machine prepared alike: the same machine; its log.
    std::string replayAndCompare(std::initializer_list<const char*> logged,
                                 const std::function<void()>& prepare = {}) {
        EXPECT_TRUE(ui.quitRequested() && wizard->installed())
            << ::testing::PrintToString(ui.errors);
        const fs::path answers = tmp / "answers.ini", log = tmp / "install.log";
        writeFile(answers, formatAnswers(wizard->choices));
        WizardTest::TearDown();
        EXPECT_TRUE(awaitProgmanExit());
        const fs::path clicked = prefix;
        prefix = tmp / "replayed";
        if (prepare) {
            makeMachine();
            prepare();
        }
        const CommandResult replay = runIn(
            medium(),
            "ZEL_PREFIX=" + q(prefix) + " ./SETUP --answers ../answers.ini --log ../install.log",
            tmp / "err");
        EXPECT_EQ(replay.status, 0) << replay.errors;
        progress = replay.errors;
        EXPECT_TRUE(awaitProgmanExit());
        const auto dated = [&](const fs::path& file) { // when made before the test
            return fs::last_write_time(file) < started;
        };
        EXPECT_EQ(machineState(prefix, prefix.string(), dated),
                  machineState(clicked, clicked.string(), dated));
        EXPECT_EQ(fs::status(log).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        const std::string text = readFile(log);
        for (const char* line : logged)
            EXPECT_THAT(text, HasSubstr(line));
        return text;
    }

    fs::file_time_type started = fs::file_time_type::clock::now() - std::chrono::seconds(2);
    std::string progress; // what the replay said on stderr
};

// Typical, the modem known (no connection page); the finish fails once, then is retried.
TEST_F(DemoKitTest, TypicalInstallationWhoseFinishFailsOnceAndIsRetried) {
    const auto modem = [this] {
        writeRegistry(kModemKey, "AttachedTo", "COM2");
        writeRegistry(kModemInitKey, "1", "AT&F");
    };
    modem();
    start();
    throughRegistration(false);
    click(wizard->installTypePage->ui.nextButton);
    ASSERT_EQ(currentPage(), "CopyPage");
    click(wizard->copyPage->ui.nextButton);
    ASSERT_EQ(currentPage(), "FinishPage");
    QPushButton* finalizar = wizard->finishPage->ui.finishButton;
    const fs::path windows = driveC() / "WINDOWS";
    fs::permissions(windows, fs::perms::owner_write, fs::perm_options::remove);
    click(finalizar);
    fs::permissions(windows, fs::perms::owner_write, fs::perm_options::add);
    // The error said, the page still up, its button enabled, no hourglass after; half done.
    EXPECT_EQ(::testing::PrintToString(ui.errors) + std::to_string(ui.quitRequested()) +
                  std::to_string(finalizar->isEnabled()) + std::to_string(ui.cursorHistory.back()) +
                  std::to_string(fs::exists(driveC() / "Program Files" / "ZEL" / "ZELUPD.INI")) +
                  std::to_string(fs::exists(windows / "zelun.ini")),
              "{ \"Unable to write to zelun.ini\" }01010");
    click(finalizar);
    expectMachine("C:\\Program Files\\ZEL\\", "1234", "2 AT&F ATDP5550100", "navegai");
    replayAndCompare(
        {"\nprofile C:\\WINDOWS\\zelun.ini [ZEL] dir = \"C:\\Program Files\\ZEL\\\" (was "
         "(none))\n",
         "\nprofile C:\\Program Files\\ZEL\\TRUMPET\\TRUMPWSK.INI [ZEL Internet] $modemsetup = "
         "\"AT&F\" (was \"ATZ\")\n"},
        modem);
}

// The README's walk-through (custom, a chosen directory, the second browser); a sponsor's program.
TEST_F(DemoKitTest, CustomInstallationInAChosenDirectoryWithTheSecondBrowser) {
    writeFile(driveC() / "WINDOWS" / "config.exe", ""); // makes the first browser the proposal
    fs::create_directories(driveC() / "INTERNET" / "ANTIGO"); // a folder already there
    fs::create_directories(prefix / "dosdevices");            // and E:, a drive without a medium
    fs::create_symlink(tmp / "no medium", prefix / "dosdevices" / "e:");
    makeMachine(true);
    comparePictures = true; // the README's pictures of the pages are this run's
    start();
    {
        LogFile log((tmp / "sponsor.log").string());
        JournalSubscription logged(log);
        QTest::mouseDClick(wizard->welcomePage->sponsorPicture(1), Qt::LeftButton);
    }
    EXPECT_EQ(readFile(tmp / "sponsor.log"), "start D:\\PATRO1\\SHOW.EXE\n");
    throughRegistration(true);
    // The typed form reached the printer in the Windows code page.
    ASSERT_EQ(printer.calls.size(), 17u);
    EXPECT_EQ(printer.calls[4], "text 0,152 Nome     :Maria da Concei\xe7\xe3o");
    EXPECT_EQ(printer.calls[13], "text 0,1244 N\xfamero     :5555 4444 3333 2222");

    chooseCustom();
    ASSERT_EQ(currentPage(), "CustomInstallPage");
    CustomInstallPage& custom = *wizard->customInstallPage;
    ASSERT_EQ(wizard->choices.browser, Browser::First);
    click(custom.ui.browserGroup->button(1));
    click(custom.programBoxes()[3]); // Notícias out, FTP in
    click(custom.programBoxes()[4]);
    ui.answerModal([this](QDialog& dialog) {
        auto& chooser = static_cast<DirectoryChooser&>(dialog);
        chooser.ui.driveBox->setCurrentText("e:"); // refused
        emit chooser.ui.driveBox->activated(chooser.ui.driveBox->currentIndex());
        chooser.ui.driveBox->setFocus(); // drive c: by its letter, the folder opened with Enter
        QTest::keyClicks(chooser.ui.driveBox, QStringLiteral("c"));
        QListWidget& list = *chooser.ui.directoryList;
        const auto found = list.findItems(QStringLiteral("INTERNET"), Qt::MatchExactly);
        list.setFocus();
        list.setCurrentItem(found.value(0));
        QTest::keyClick(&list, Qt::Key_Return);
        screenshot(chooser, "07-chooser");
        chooser.ui.confirmButton->click();
        return ScriptedUi::kEndedByItsButton;
    });
    click(custom.ui.chooseFolderButton);
    screenshot(custom, "06-custom");
    click(custom.ui.nextButton);
    // Entry 1 chosen: the connection page, which wants a port before it lets the user on.
    ASSERT_EQ(currentPage(), "ModemPage");
    ModemPage& connection = *wizard->modemPage;
    click(connection.ui.nextButton);
    std::string boxes;
    for (const auto& box : ui.boxes)
        boxes += box.text + " | " + box.caption + "\n";
    EXPECT_EQ(boxes, "Este drive e/ou diret\xf3rio n\xe3o est\xe1 dispon\xedvel | Instala\xe7\xe3o "
                     "Personalizada\nVoc\xea precisa selecionar uma porta serial | Porta Serial\n");
    ASSERT_EQ(currentPage(), "ModemPage");
    click(connection.ui.portGroup->button(2));
    type(connection.ui.initCommandEdit, QStringLiteral("ATZ"));
    screenshot(connection, "08-connection");
    click(connection.ui.nextButton);
    copyAndFinish();
    expectMachine("C:\\INTERNET\\", "1235", "3 ATZ ATDP5550100", "navegai");
}

// Custom without the dialer or a browser, into a directory typed without its "\"; logged whole.
TEST_F(DemoKitTest, CustomInstallationWithoutTheDialerReplayedLogsEveryChange) {
    start();
    throughRegistration(false);
    chooseCustom();
    CustomInstallPage& custom = *wizard->customInstallPage;
    for (const int program : {0, 3, 4})
        click(custom.programBoxes()[program]);
    click(custom.ui.browserGroup->button(2));
    custom.ui.destinationEdit->clear();
    type(custom.ui.destinationEdit, QStringLiteral("C:\\Program Files\\Acesso ZEL"));
    click(custom.ui.nextButton);
    copyAndFinish();
    expectMachine("C:\\Program Files\\Acesso ZEL\\", "235", "- - -", "");
    const std::string log = replayAndCompare(
        {"\ncopy D:\\FTP\\FTPZEL.EXE -> C:\\Program Files\\Acesso ZEL\\FTP\\FTPZEL.EXE\n",
         "\nregistry \\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZEL Internet "
         "UninstallString = \"C:\\WINDOWS\\zelun.exe\" (was (none))\n"});
    // 13 copies, 4 directories, 6 keys, 4 registry changes, 8 macros, a start, begin, outcome.
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 38) << log;
    EXPECT_TRUE(log.ends_with("\noutcome 0 Instalação concluída\n")) << log;
    EXPECT_THAT(progress, HasSubstr("\nInstalando Transferência de Arquivos (FTP)\n"
                                    "\tCopiando C:\\Program Files\\Acesso ZEL\\FTP\\FTPZEL.EXE\n"
                                    "\tCopiando C:\\Program Files\\Acesso ZEL\\FTP\\FTPZEL.HLP\n"));
}

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
        text = replaced(text, name, " ");
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

    // The built-in brand nowhere (bin/ by name only), the Acme one where it would be.
    void expectAcmeAlone(const std::string& printout) {
        std::vector<std::string> all;
        const auto search = [&](const std::string& where, const std::string& text) {
            for (const std::string& found : builtInBrand(text, fixed))
                all.push_back(where + ": " + found);
        };
        for (const fs::path& root : {prefix, tmp / "xdg-data", tmp / "xdg-config"}) {
            for (const auto& entry : fs::recursive_directory_iterator(root)) {
                search("name", entry.path().string());
                if (entry.is_regular_file() && entry.path().parent_path() != prefix / "bin")
                    search(entry.path().string(), readFile(entry.path()));
            }
        }
        search("progman --list", progmanList(prefix));
        search("printout", printout);
        EXPECT_EQ(all, std::vector<std::string>{});
        EXPECT_THAT(printout, HasSubstr("Enviar via FAX para: 021-555-0142"));
        EXPECT_THAT(readFile(prefix / "system.reg"), HasSubstr("Uninstall\\Acme Internet]"));
        const ProfileFile settings(machine(), "C:\\Program Files\\ACME\\TRUMPET\\TRUMPWSK.INI");
        EXPECT_EQ(ProfileFile(machine(), "C:\\WINDOWS\\zelun.ini").readText("ZEL", "dir", "") +
                      " " + settings.readText("Acme Internet", "$modemsetup", "-") + " " +
                      settings.readText("Acme Internet", "$phone", "-") + " " +
                      ProfileFile(machine(), "C:\\Program Files\\ACME\\ACMEUPD.INI")
                          .readText("ZEL", "item", "-"),
                  "C:\\Program Files\\ACME\\ ATZ ATDT5550144 Acme Atualiza");
    }

    std::vector<std::string> fixed;
};

// Packed, under `env -i`: the print module from the medium; a PDF; Program Manager after it.
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
    const CommandResult run = // the loader tells where modules come from
        runIn(cd,
              "env -i HOME=" + q(tmp.path()) + " XDG_DATA_HOME=" + q(tmp / "xdg-data") +
                  " XDG_CONFIG_HOME=" + q(tmp / "xdg-config") + " ZEL_PREFIX=" + q(prefix) +
                  " ZEL_PROGMAN_IDLE=0.3 LD_DEBUG=files ./SETUP --answers ../../a.ini",
              tmp / "err");
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_THAT(run.errors, HasSubstr("file=" + (cd / "libzel-print.so").string() + " "));
    EXPECT_TRUE(awaitProgmanExit());
    EXPECT_TRUE(readFile(prefix / "bin/progman") ==
                readFile(cd / "progman")); // no binary in a failure

    fs::remove_all(cd);
    makeMachine();
    Programs programs(machine(), ui);
    DdeConversation progman(machine(), programs);
    ASSERT_TRUE(progman.open("PROGMAN", "PROGMAN") && progman.execute("[CreateGroup(Depois)]"));
    progman.close();
    EXPECT_EQ(progman.deliveries(), std::vector<bool>{true});
    EXPECT_TRUE(awaitProgmanExit());
    ::unsetenv("ZEL_PROGMAN_IDLE");
    const fs::path pdf = tmp / "card.pdf";
    ASSERT_TRUE(readFile(pdf).starts_with("%PDF-"));
    const CommandResult text = runCommand("pdftotext -layout " + q(pdf) + " - 2>/dev/null");
    const std::string printout = text.status == 0 ? text.output : readFile(pdf);
    expectAcmeAlone(printout);
}

// Clicked, typical: the kit's dial command kept as proposed; the pages' texts searched while up.
TEST_F(AcmeKitTest, ClickedThroughItsPagesLeavesNoTraceOfTheBuiltInBrand) {
    fs::remove_all(medium());
    fs::copy(sourceDir() / "kit-acme", medium(), fs::copy_options::recursive);
    fs::create_symlink(binDir() / "zel-setup", program);
    start();
    throughRegistration(true);
    click(wizard->installTypePage->ui.nextButton);
    ASSERT_EQ(currentPage(), "ModemPage");
    ModemPage& connection = *wizard->modemPage;
    click(connection.ui.portGroup->button(2));
    type(connection.ui.initCommandEdit, QStringLiteral("ATZ"));
    click(connection.ui.nextButton);
    std::string pages; // every caption, tip and text (labels, buttons, edits)
    for (QWidget* widget : QApplication::allWidgets())
        pages += (widget->windowTitle() + "\n" + widget->toolTip() + "\n" +
                  widget->property("text").toString() + "\n")
                     .toStdString();
    EXPECT_EQ(builtInBrand(pages, fixed), std::vector<std::string>{});
    EXPECT_THAT(pages, HasSubstr("Acme Internet"));
    copyAndFinish();
    WizardTest::TearDown();
    EXPECT_TRUE(awaitProgmanExit());
    expectAcmeAlone(joined(printer.calls));
}

} // namespace
} // namespace zel::test
