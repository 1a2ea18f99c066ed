// The wizard driven by an answers file: a run clicked through the pages, its answers saved as
// --save-answers saves them and replayed by the program on a fresh machine, leaves the same
// machine; the replay's log and progress; the exit statuses.
#include "tests/support/gui_wizard_fixture.h"

#include "pages/CustomInstallPage.h"
#include "pages/InstallTypePage.h"
#include "pages/ModemPage.h"
#include "qt/qt_radiogroup.h"
#include "setup/answers.h"
#include "setup/messages.h"
#include "winemu/cp1252.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <sstream>

namespace zel::test {
namespace {

class UnattendedTest : public WizardRunTest {
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

    // The clicked run's answers (as --save-answers writes them) replayed on a fresh machine,
    // with the modem on COM2 when the first had it; both machines must then be the same.
    // Returns the replay's log.
    std::string replayAndCompare(bool modemOnCom2) {
        EXPECT_TRUE(ui.quitRequested() && wizard->installed())
            << ::testing::PrintToString(ui.errors);
        const fs::path answers = tmp / "answers.ini", log = tmp / "install.log";
        writeFile(answers, formatAnswers(wizard->choices));
        WizardTest::TearDown();
        EXPECT_TRUE(awaitProgmanExit());
        const fs::path clicked = prefix;
        prefix = tmp / "replayed";
        if (modemOnCom2) {
            makeMachine();
            writeRegistry(kModemKey, "AttachedTo", "COM2");
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

// The modem's port known: the typical installation asks nothing.
TEST_F(UnattendedTest, TypicalInstallationReplayedLeavesTheSameMachine) {
    writeRegistry(kModemKey, "AttachedTo", "COM2");
    start();
    throughRegistration(false);
    click(wizard->installTypePage->ui.nextButton);
    copyAndFinish();
    const std::string log = replayAndCompare(true);
    EXPECT_NE(log.find("\nprofile C:\\WINDOWS\\zelun.ini [ZEL] dir = \"C:\\Program Files\\ZEL\\\" "
                       "(was (none))\n"),
              std::string::npos)
        << log;
}

// A custom installation into a typed directory, FTP instead of the news reader, no browser;
// then the replay's log, line by line where it says what changed.
TEST_F(UnattendedTest, CustomInstallationReplayedLeavesTheSameMachineAndLogsEveryChange) {
    start();
    throughRegistration(false);
    chooseCustom();
    CustomInstallPage& custom = *wizard->customInstallPage;
    click(custom.programBoxes()[3]);
    click(custom.programBoxes()[4]);
    click(custom.ui.browserGroup->button(2));
    custom.ui.destinationEdit->setText(QStringLiteral("C:\\Acesso ZEL"));
    click(custom.ui.nextButton);
    click(wizard->modemPage->ui.portGroup->button(2));
    click(wizard->modemPage->ui.nextButton);
    copyAndFinish();
    const std::string log = replayAndCompare(false);

    // Every file under the destination came by a logged copy or profile write; each kind of
    // change is there.
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(driveC() / "Acesso ZEL"))
        if (entry.is_regular_file()) {
            ++files;
            std::string target =
                "C:\\Acesso ZEL\\" + fs::relative(entry, driveC() / "Acesso ZEL").string();
            std::replace(target.begin(), target.end(), '/', '\\');
            EXPECT_TRUE(log.find(" -> " + target + "\n") != std::string::npos ||
                        log.find("\nprofile " + target + " [") != std::string::npos)
                << target;
        }
    EXPECT_EQ(files, 16u);
    for (const char* line :
         {"\nprofile C:\\Acesso ZEL\\TRUMPET\\TRUMPWSK.INI [Trumpet Winsock] slip-port = \"3\" "
          "(was \"2\")\n",
          "\nregistry \\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZEL Internet "
          "UninstallString = \"C:\\WINDOWS\\zelun.exe\" (was (none))\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    // 19 copies, 5 directories, 7 keys, 4 registry changes (two keys made, two values), 9
    // macros, a start, begin, outcome.
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 47) << log;
    EXPECT_TRUE(log.ends_with("\noutcome 0 Instalação concluída\n")) << log;
    EXPECT_EQ(log.find("NOT"), std::string::npos) << log;
    EXPECT_NE(progress.find("\nInstalando Transferência de Arquivos (FTP)\n"
                            "\tCopiando C:\\Acesso ZEL\\FTP\\FTPZEL.EXE\n"
                            "\tCopiando C:\\Acesso ZEL\\FTP\\FTPZEL.HLP\n"),
              std::string::npos)
        << progress;
}

// Each way the program ends, and that a refused run installed nothing.
TEST_F(UnattendedTest, ExitStatuses) {
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
         "Saída: 0 instalado, 1 falhou, 2 uso incorreto, "
         "3 cancelado pelo usuário."},
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
TEST_F(UnattendedTest, LeavingTheWizardIsNoInstallation) {
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
