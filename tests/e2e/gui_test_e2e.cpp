// The whole wizard on a copy of the demo kit and a fresh machine, page by page through its own
// buttons; then what the machine holds, Program Manager's groups (the wizard starts it, and it
// leaves on its own) and the browser setup. $ZEL_SCREENSHOTS gets a picture of each page of the
// custom installation (scripts/screenshots). A clicked run's answers, saved as --save-answers
// saves them and replayed by the program on a fresh machine, leave the same machine; the
// replay's log and progress; the program's exit statuses.
#include "tests/support/gui_wizard_fixture.h"

#include "pages/copy_page.h"
#include "pages/custom_install_page.h"
#include "pages/directory_chooser.h"
#include "pages/finish_page.h"
#include "pages/install_type_page.h"
#include "pages/modem_page.h"
#include "pages/registration_page.h"
#include "qt/radio_group.h"
#include "setup/answers.h"
#include "setup/messages.h"
#include "winemu/cp1252.h"
#include "winemu/profile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

namespace zel::test {
namespace {

class DemoKitTest : public WizardRunTest {
protected:
    void SetUp() override {
        WizardRunTest::SetUp();
        makeMachine(true); // Program Manager in the machine, as the program's own start puts it
        // The program itself on the medium, as a kit's SETUP; the wizard in this process only
        // takes its path.
        fs::remove(program);
        fs::create_symlink(binDir() / "zel-setup", program);
        started = fs::file_time_type::clock::now() - std::chrono::seconds(2);
    }

    // What a run left, given the destination, the programs of the kit installed (1 to 6), the
    // dialer's port and commands and the browser setup's tag ("" for none).
    void expectMachine(const std::string& d, const std::string& entries, const std::string& dialer,
                       const std::string& browser) {
        EXPECT_EQ(ProfileFile(machine(), "C:\\WINDOWS\\zelun.ini").readText("ZEL", "dir", ""), d);
        // The dial-up stack: the connection page's answers in its settings, the system's library.
        const ProfileFile settings(machine(), d + "TRUMPET\\TRUMPWSK.INI");
        EXPECT_EQ(settings.readText("Trumpet Winsock", "slip-port", "-") + " " +
                      settings.readText("ZEL Internet", "$modemsetup", "-") + " " +
                      settings.readText("ZEL Internet", "$phone", "-"),
                  dialer);
        EXPECT_EQ(fs::exists(driveC() / "WINDOWS" / "SYSTEM" / "~sock32.dll"), entries[0] == '1');
        // Program Manager: the update program starts with Windows; the kit's group holds an
        // item per program installed, the Internet icon on the dialer and the BBS icon on ZEL.HT.
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
        for (auto at = expected.find('$'); at != std::string::npos; at = expected.find('$', at))
            expected.replace(at, 1, d);
        EXPECT_EQ(runCommand("ZEL_PREFIX='" + prefix.string() + "' '" +
                             (binDir() / "progman").string() + "' --list")
                      .output,
                  expected);
        // The browser setup, started without waiting, once (a setup started by mistake would
        // have written its line by now).
        const fs::path trace = prefix / "browser-setup.log";
        for (int i = 0; i < 50 && (browser.empty() || readFile(trace).empty()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(browser.empty() ? 6 : 20));
        const std::string line = readFile(trace);
        EXPECT_EQ(line.substr(0, browser.size() + 1) +
                      std::to_string(std::count(line.begin(), line.end(), '\n')),
                  browser.empty() ? "0" : browser + " 1");
    }

    // The program run from the medium on the machine at `machineDir`.
    CommandResult setup(const std::string& args, const fs::path& machineDir) {
        const fs::path errors = tmp / "stderr.txt";
        CommandResult result =
            runCommand("cd '" + medium().string() + "' && ZEL_PREFIX='" + machineDir.string() +
                       "' ./SETUP " + args + " 2>'" + errors.string() + "' </dev/null");
        result.errors = readFile(errors);
        return result;
    }

    // Program Manager's launcher names the machine's own directory: that is the same machine.
    static std::string ownPathsOut(std::string text, const fs::path& machineDir) {
        for (std::size_t at; (at = text.find(machineDir.string())) != std::string::npos;)
            text.replace(at, machineDir.string().size(), "<machine>");
        return text;
    }

    // What a machine holds: each file under C: with its mode, content and date (one from
    // before the test is the copied file's own; a later one says "new"), the registry, and
    // Program Manager's groups.
    std::string snapshot(const fs::path& machineDir) {
        std::vector<std::string> lines;
        for (const auto& entry : fs::recursive_directory_iterator(machineDir / "drive_c")) {
            std::ostringstream line;
            line << fs::relative(entry.path(), machineDir).string();
            if (const auto date = entry.last_write_time(); entry.is_regular_file())
                line << " " << std::oct << int(entry.status().permissions()) << std::dec << " "
                     << std::hash<std::string>{}(ownPathsOut(readFile(entry), machineDir)) << " "
                     << (date < started ? date.time_since_epoch().count() : 0);
            lines.push_back(line.str());
        }
        std::sort(lines.begin(), lines.end());
        return ::testing::PrintToString(lines) + readFile(machineDir / "system.reg") +
               runCommand("ZEL_PREFIX='" + machineDir.string() + "' '" +
                          (binDir() / "progman").string() + "' --list")
                   .output;
    }

    // The clicked run's answers (as --save-answers writes them) replayed on a fresh machine
    // prepared as the first was; both machines must then be the same. Returns the replay's log.
    std::string replayAndCompare(const std::function<void()>& prepare = {}) {
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
        const CommandResult replay = setup("--answers ../answers.ini --log ../install.log", prefix);
        EXPECT_EQ(replay.status, 0) << replay.errors;
        progress = replay.errors;
        EXPECT_TRUE(awaitProgmanExit());
        EXPECT_EQ(snapshot(prefix), snapshot(clicked));
        EXPECT_EQ(fs::status(log).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        return readFile(log);
    }

    fs::file_time_type started;
    std::string progress; // what the replay said on stderr
};

// Typical, with the modem's port known: no connection page. The uninstall log cannot be
// written at first: the finish stops there, usable, and finishing again completes it all, as
// the run's answers replayed on a fresh machine do.
TEST_F(DemoKitTest, TypicalInstallationWhoseFinishFailsOnceAndIsRetried) {
    const auto modem = [this] {
        writeRegistry(kModemKey, "AttachedTo", "COM2");
        writeRegistry(std::string(kModemKey) + "\\Settings\\Init", "1", "AT&F");
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
    EXPECT_EQ(ui.errors, std::vector<std::string>{"Unable to write to zelun.ini"});
    EXPECT_FALSE(ui.quitRequested());
    EXPECT_TRUE(finalizar->isEnabled());
    EXPECT_EQ(ui.cursorHistory.back(), false); // the hourglass while it ran, not after
    EXPECT_TRUE(fs::exists(driveC() / "Program Files" / "ZEL" / "ZELUPD.INI"));
    EXPECT_FALSE(fs::exists(windows / "zelun.ini"));
    // The whole sequence again: the update program's item went out twice and is there once;
    // the failed try's browser setup never started.
    click(finalizar);
    EXPECT_TRUE(ui.quitRequested());
    expectMachine("C:\\Program Files\\ZEL\\", "1234", "2 AT&F ATDP5550100", "navegai");
    const std::string log = replayAndCompare(modem);
    for (const char* line :
         {"\nprofile C:\\WINDOWS\\zelun.ini [ZEL] dir = \"C:\\Program Files\\ZEL\\\" (was "
          "(none))\n",
          "\nprofile C:\\Program Files\\ZEL\\TRUMPET\\TRUMPWSK.INI [ZEL Internet] $modemsetup = "
          "\"AT&F\" (was \"ATZ\")\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

// The walk-through of the README: a subscriber's custom installation into a directory picked
// in the chooser, the first browser proposed and the second taken, the connection page.
TEST_F(DemoKitTest, CustomInstallationInAChosenDirectoryWithTheSecondBrowser) {
    writeFile(driveC() / "WINDOWS" / "config.exe", ""); // makes the first browser the proposal
    fs::create_directories(driveC() / "INTERNET");
    fs::create_directories(prefix / "dosdevices"); // and E:, a drive without a medium
    fs::create_symlink(tmp / "no medium", prefix / "dosdevices" / "e:");
    makeMachine(true);
    start();
    throughRegistration(true);
    // The typed form reached the printer in the Windows code page.
    ASSERT_EQ(printer.calls.size(), 17u);
    EXPECT_EQ(printer.calls[4], "text 0,152 Nome     :Maria da Concei\xe7\xe3o");
    EXPECT_EQ(printer.calls[11],
              "text 0,1004 Cart\xe3o     :" +
                  wizard->registrationPage->ui.cardBrandBox->currentText().toStdString());
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
        EXPECT_EQ(found.size(), 1) << chooser.directory();
        list.setFocus();
        list.setCurrentItem(found.value(0));
        QTest::keyClick(&list, Qt::Key_Return);
        EXPECT_EQ(chooser.ui.directoryLabel->text(), "C:\\INTERNET");
        screenshot(chooser, "07-chooser");
        chooser.ui.confirmButton->click();
        return ModalResult::Other; // ignored: the click has ended the dialog
    });
    click(custom.ui.chooseFolderButton);
    EXPECT_EQ(custom.ui.destinationEdit->text(), "C:\\INTERNET");
    screenshot(custom, "06-custom");
    click(custom.ui.nextButton);
    // Entry 1 chosen: the connection page, which wants a port before it lets the user on.
    ASSERT_EQ(currentPage(), "ModemPage");
    ModemPage& connection = *wizard->modemPage;
    click(connection.ui.nextButton);
    std::vector<std::string> boxes;
    for (const auto& box : ui.boxes)
        boxes.push_back(box.text + " | " + box.caption);
    EXPECT_EQ(boxes,
              (std::vector<std::string>{
                  "Este drive e/ou diret\xf3rio n\xe3o est\xe1 dispon\xedvel | Instala\xe7\xe3o "
                  "Personalizada",
                  "Voc\xea precisa selecionar uma porta serial | Porta Serial"}));
    ASSERT_EQ(currentPage(), "ModemPage");
    click(connection.ui.portGroup->button(2));
    type(connection.ui.initCommandEdit, QStringLiteral("ATZ"));
    screenshot(connection, "08-connection");
    click(connection.ui.nextButton);
    copyAndFinish();
    expectMachine("C:\\INTERNET\\", "1235", "3 ATZ ATDP5550100", "navegai");
}

// Without the dialer there is nothing to ask about the modem: straight to the copy. A custom
// installation into a new directory typed without its final "\", FTP instead of the news
// reader, no browser; then the replay's log, line by line where it says what changed.
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
    EXPECT_FALSE(fs::exists(driveC() / "Program Files" / "ZEL"));
    const std::string log = replayAndCompare();

    // Every file under the destination came by a logged copy or profile write; each kind of
    // change is there.
    std::size_t files = 0;
    const fs::path destination = driveC() / "Program Files" / "Acesso ZEL";
    for (const auto& entry : fs::recursive_directory_iterator(destination))
        if (entry.is_regular_file()) {
            ++files;
            std::string target =
                "C:\\Program Files\\Acesso ZEL\\" + fs::relative(entry, destination).string();
            std::replace(target.begin(), target.end(), '/', '\\');
            EXPECT_TRUE(log.find(" -> " + target + "\n") != std::string::npos ||
                        log.find("\nprofile " + target + " [") != std::string::npos)
                << target;
        }
    EXPECT_EQ(files, 11u);
    EXPECT_NE(log.find("\nregistry \\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZEL "
                       "Internet UninstallString = \"C:\\WINDOWS\\zelun.exe\" (was (none))\n"),
              std::string::npos)
        << log;
    // 13 copies, 4 directories, 6 keys, 4 registry changes (two keys made, two values), 8
    // macros, a start, begin, outcome.
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 38) << log;
    EXPECT_TRUE(log.ends_with("\noutcome 0 Instalação concluída\n")) << log;
    EXPECT_EQ(log.find("NOT"), std::string::npos) << log;
    EXPECT_NE(progress.find("\nInstalando Transferência de Arquivos (FTP)\n"
                            "\tCopiando C:\\Program Files\\Acesso ZEL\\FTP\\FTPZEL.EXE\n"
                            "\tCopiando C:\\Program Files\\Acesso ZEL\\FTP\\FTPZEL.HLP\n"),
              std::string::npos)
        << progress;
}

// Each way the program ends, and that a refused run installed nothing.
TEST_F(DemoKitTest, ExitStatuses) {
    const std::string cmake = readFile(sourceDir() / "CMakeLists.txt");
    const auto at = cmake.find(" VERSION ", cmake.find("project(")) + 9;
    const std::string version = cmake.substr(at, cmake.find_first_of(" )", at) - at);
    const std::string complete =
        "nome=Maria\ntelefone_comercial=555-0123\ncartao_numero=5555 4444\n";
    struct Row {
        const char* name;
        const char* args;
        std::string answers; // the [Respostas] section's lines; none when empty
        int status;
        std::string said; // the last line on stderr (or all of stdout, for 0 without answers)
    } rows[] = {
        {"help", "--help", "", 0, "Uso: SETUP [--answers ARQUIVO] [--save-answers ARQUIVO]"},
        {"version", "--version", "", 0, "zel-setup " + version + "\n"},
        {"unknown argument", "--bogus", "", 2,
         "Saída: 0 instalado, 1 falhou, 2 uso incorreto, 3 cancelado pelo usuário."},
        {"answers file missing", "--answers none.ini", "", 2,
         "Não foi possível ler o arquivo de respostas none.ini"},
        {"no answers section", "--answers a.ini", "[Outra]\n", 2,
         "O arquivo de respostas a.ini não tem a seção [Respostas]"},
        {"program the kit lacks", "--answers a.ini", "porta=1\nprogramas=1,7\n", 1,
         "Resposta inválida em [Respostas] programas=1,7: o programa 7 não existe neste kit "
         "(programas de 1 a 10 com nome)"},
        {"no port known", "--answers a.ini", "tipo=tipica\n", 1,
         "Você precisa selecionar uma porta serial"},
        {"drive the machine lacks", "--answers a.ini", "porta=1\ndestino=Z:\\ZEL\n", 1,
         "O drive do destino Z:\\ZEL\\ não existe ou não está disponível"},
        {"registration incomplete", "--answers a.ini", "porta=1\nnome=Maria\n", 1,
         cp1252ToUtf8(kIncompleteRegistration)},
        {"registration without its PDF", "--answers a.ini", "porta=1\n" + complete, 1,
         cp1252ToUtf8(kRegistrationWithoutPdf)},
        {"space question refused", "--answers a.ini", "porta=1\nnavegador=1\n", 1,
         cp1252ToUtf8(kSpaceRefused)},
    };
    // The first browser and the programs take more than any disk can report.
    std::string ini = readFile(medium() / "SETUP.INI");
    ini.replace(ini.find("navegap_size=4200"), 17, "navegap_size=2147483647");
    writeFile(medium() / "SETUP.INI", ini);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove(medium() / "a.ini");
        if (!row.answers.empty())
            writeFile(medium() / "a.ini",
                      row.answers.starts_with("[") ? row.answers : "[Respostas]\n" + row.answers);
        const CommandResult run = setup(row.args, tmp / "m");
        EXPECT_EQ(run.status, row.status) << run.errors;
        if (row.status == 0) {
            EXPECT_TRUE(run.output.starts_with(row.said)) << run.output;
            continue;
        }
        std::string last = run.errors.substr(0, run.errors.size() - 1);
        last = last.substr(last.rfind('\n') + 1);
        EXPECT_EQ(last, row.said) << run.errors;
        EXPECT_FALSE(fs::exists(tmp / "m" / "drive_c" / "Program Files" / "ZEL"));
        EXPECT_FALSE(fs::exists(tmp / "m" / "drive_c" / "WINDOWS" / "zelun.ini"));
    }
    // A program away from its kit's description has nothing it could install.
    fs::rename(medium() / "SETUP.INI", medium() / "OUTRO.INI");
    const CommandResult bare = setup("--answers a.ini", tmp / "m");
    EXPECT_EQ(bare.status, 1);
    EXPECT_EQ(bare.errors, cp1252ToUtf8(kNoKitDescription) + "D:\\SETUP.INI\n");
}

// Leaving the wizard, even past the copy, is no installation (the program's status 3).
TEST_F(DemoKitTest, LeavingTheWizardIsNoInstallation) {
    start();
    throughRegistration(false);
    click(wizard->installTypePage->ui.nextButton);
    ui.answerModal(ModalResult::Confirm); // "Sim" to leaving
    click(wizard->modemPage->ui.exitButton);
    EXPECT_TRUE(ui.quitRequested());
    EXPECT_FALSE(wizard->installed());
}

} // namespace
} // namespace zel::test
