// The finish sequence: the macros Program Manager receives, the update settings file, the
// uninstall log and key, the browser setup's start, and where a failure stops it.
#include "setup/finish.h"
#include "setup/messages.h"
#include "winemu/errors.h"
#include "winemu/platform.h"
#include "progman/progman_macros.h"
#include "winemu/registry.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zel::test {
namespace {

using Macros = std::vector<std::string>;

// The detached program's trace once it is there (it runs on after the sequence returned).
std::string awaitTrace(const fs::path& trace, std::string_view expected) {
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        text = readFile(trace);
        if (text == expected)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return text;
}

class FinishTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        fs::create_directories(driveC() / "Program Files" / "ACESSO");
        platform = std::make_unique<Platform>(machine(), ui, printer, sound);

        SetupSettings& s = catalogue.settings;
        s.grupo = "Acesso Internet";
        s.destino = "C:\\Program Files\\ACESSO\\";
        s.homepage = "http://www.zel.com.br/";
        s.searchpage = "http://busca.zel.com.br/";
        s.ineticone = "inet.ico";
        s.bbsicone = "bbs.ico";
        s.update_programa = "ATUALIZA.EXE";
        s.navegap_setup = "NAVEGA\\SETUP.EXE";
        s.navegai_setup = "NAVEGAI\\SETUP.EXE";
        setEntry(1, "Discador", 1, 0, "\\", "DISCADOR.EXE");
        setEntry(2, "BBS", 1, 1, "BBS\\", "ZEL.HT");
        setEntry(3, "Correio", 1, 1, "MAIL\\", "MAIL.EXE");
        setEntry(4, "Noticias", 0, 0, "\\", "NEWS.EXE");
    }

    void setEntry(int n, std::string nome, int instala, int criadir, std::string diretorio,
                  std::string arquivo) {
        ProgramEntry& e = catalogue.entry(n);
        e.nome = std::move(nome);
        e.instala = static_cast<std::uint8_t>(instala);
        e.criadir = static_cast<std::uint8_t>(criadir);
        e.diretorio = std::move(diretorio);
        e.Arquivo[0] = std::move(arquivo);
    }

    // Runs the sequence with the macros recorded instead of sent.
    Macros run(Browser browser = Browser::None) {
        Macros sent;
        runFinishSequence(*platform, catalogue, browser,
                          [&sent](const std::string& macro) { sent.push_back(macro); });
        return sent;
    }
    // The macros sent before the sequence raised, with the error's message.
    std::pair<Macros, std::string> runFailing(Browser browser = Browser::None) {
        Macros sent;
        try {
            runFinishSequence(*platform, catalogue, browser,
                              [&sent](const std::string& macro) { sent.push_back(macro); });
        } catch (const std::exception& e) {
            return {sent, e.what()};
        }
        ADD_FAILURE() << "the sequence did not fail";
        return {sent, ""};
    }

    std::string uninstallValue(const std::string& name) {
        Registry registry(machine().registryFile());
        if (!registry.openKey(kUninstallKey, false))
            return "(no key)";
        return registry.valueExists(name) ? registry.readString(name) : "(no value)";
    }

    // A browser setup stand-in that appends its tag to the trace.
    fs::path writeSetup(const fs::path& path, const std::string& tag) {
        const fs::path trace = tmp / "browser.trace";
        writeFile(path, "#!/bin/sh\necho '" + tag + "' \"$#\" >> '" + trace.string() + "'\n");
        fs::permissions(path, fs::perms::owner_all);
        return trace;
    }

    fs::path windowsDir() const { return driveC() / "WINDOWS"; }
    fs::path settingsFile() const { return driveC() / "Program Files" / "ACESSO" / "ATUALIZA.INI"; }

    ScriptedUi ui;
    RecordingPrinter printer;
    RecordingSound sound;
    std::unique_ptr<Platform> platform;
    Catalogue catalogue;
};

// --- Macro texts

TEST(FinishMacros, FormsPutTheirValuesBetweenTheLiteralPiecesUnescapedAndUncut) {
    EXPECT_EQ(createGroupMacro("Acesso Internet"), "[CreateGroup(\"Acesso Internet\")]");
    EXPECT_EQ(addItemMacro("C:\\A\\B.EXE", "Nome"), "[AddItem(\"C:\\A\\B.EXE\",\"Nome\")]");
    EXPECT_EQ(addItemMacro("C:\\A\\B.EXE", "Nome", "C:\\A\\i.ico"),
              "[AddItem(\"C:\\A\\B.EXE\",\"Nome\",\"C:\\A\\i.ico\")]");
    EXPECT_EQ(reloadMacro("StartUp"), "[Reload(\"StartUp\")]");
    // Quotes, commas and brackets inside values go in as they are.
    EXPECT_EQ(createGroupMacro("a\",\"b)]"), "[CreateGroup(\"a\",\"b)]\")]");
    EXPECT_EQ(addItemMacro("", ""), "[AddItem(\"\",\"\")]");
    // A text far beyond the old 512-character buffer is built whole.
    const std::string longName(3000, 'x');
    const std::string macro = addItemMacro(longName, longName, longName);
    EXPECT_EQ(macro.size(), 3000u * 3 + std::string("[AddItem(\"\",\"\",\"\")]").size());
    EXPECT_EQ(macro.substr(macro.size() - 5), "xx\")]");
}

// --- Short-directory form

TEST_F(FinishTest, ShortDirectoryFormTakesEachDirectoryAsTheDiskSpellsIt) {
    fs::create_directories(driveC() / "Program Files" / "Acesso Dois" / "Sub");
    Files& files = platform->files;
    EXPECT_EQ(shortDirectoryForm(files, "C:\\PROGRAM FILES\\acesso dois\\SUB\\Inet.ICO"),
              "C:\\Program Files\\Acesso Dois\\Sub\\Inet.ICO");
    // The file name is never looked up: a missing one is kept, and so is a directory's name.
    EXPECT_EQ(shortDirectoryForm(files, "C:\\program files\\NADA.ICO"),
              "C:\\Program Files\\NADA.ICO");
    EXPECT_EQ(shortDirectoryForm(files, "C:\\program files"), "C:\\program files");
    // The drive part stays as given; short texts come back unchanged.
    EXPECT_EQ(shortDirectoryForm(files, "c:\\windows\\x"), "c:\\WINDOWS\\x");
    EXPECT_EQ(shortDirectoryForm(files, "C:\\"), "C:\\");
    EXPECT_EQ(shortDirectoryForm(files, ""), "");
}

TEST_F(FinishTest, ShortDirectoryFormEmptiesDirectoriesItCannotFind) {
    Files& files = platform->files;
    EXPECT_EQ(shortDirectoryForm(files, "C:\\NOPE\\inet.ico"), "C:\\\\inet.ico");
    // Later lookups use the path as given: C:\NOPE\WINDOWS does not exist, though C:\WINDOWS
    // (what the rewritten path would name) does.
    EXPECT_EQ(shortDirectoryForm(files, "C:\\NOPE\\WINDOWS\\inet.ico"), "C:\\\\\\inet.ico");
    // An empty component stays empty instead of standing for its parent directory.
    EXPECT_EQ(shortDirectoryForm(files, "C:\\WINDOWS\\\\SYSTEM\\x"), "C:\\WINDOWS\\\\SYSTEM\\x");
    // An unmapped drive finds nothing.
    EXPECT_EQ(shortDirectoryForm(files, "Q:\\DIR\\x"), "Q:\\\\x");
}

// --- The whole sequence

TEST_F(FinishTest, WorkedExampleSendsTheMacrosInOrderAndWritesFilesAndKey) {
    fs::rename(driveC() / "Program Files" / "ACESSO", driveC() / "Program Files" / "Acesso");
    const Macros expected = {
        "[CreateGroup(\"StartUp\")]",
        "[AddItem(\"C:\\Program Files\\ACESSO\\ATUALIZA.EXE\",\"ZEL Update\")]",
        "[CreateGroup(\"Acesso Internet\")]",
        "[AddItem(\"C:\\Program Files\\ACESSO\\DISCADOR.EXE\",\"Discador\","
        "\"C:\\Program Files\\Acesso\\inet.ico\")]",
        "[AddItem(\"C:\\Program Files\\ACESSO\\BBS\\ZEL.HT\",\"BBS\","
        "\"C:\\Program Files\\Acesso\\bbs.ico\")]",
        "[AddItem(\"C:\\Program Files\\ACESSO\\MAIL\\MAIL.EXE\",\"Correio\")]",
        "[Reload(\"StartUp\")]",
        "[Reload(\"Acesso Internet\")]",
    };
    EXPECT_EQ(run(), expected);

    const fs::path settings = driveC() / "Program Files" / "Acesso" / "ATUALIZA.INI";
    EXPECT_EQ(readFile(settings), "[ZEL]\r\nhomepage=http://www.zel.com.br/\r\n"
                                  "searchpage=http://busca.zel.com.br/\r\n"
                                  "item=ZEL Update\r\ngrupo=Acesso Internet\r\n");
    ProfileFile log(machine(), "zelun.ini");
    EXPECT_EQ(log.readText("ZEL", "dir", ""), "C:\\Program Files\\ACESSO\\");
    EXPECT_EQ(log.readText("ZEL", "grupo", ""), "Acesso Internet");
    EXPECT_TRUE(fs::exists(windowsDir() / "zelun.ini"));
    EXPECT_EQ(uninstallValue("DisplayName"), "ZEL Internet");
    EXPECT_EQ(uninstallValue("UninstallString"), "C:\\WINDOWS\\zelun.exe");
}

TEST_F(FinishTest, EachEntrysCommandAndIconFollowItsDirectoryAndFirstFile) {
    // criadir 1 with an empty directory key (held as "\"), criadir 0 with a directory.
    setEntry(2, "Vazio", 1, 1, "\\", "VAZIO.EXE");
    setEntry(3, "Direto", 1, 0, "MAIL\\", "MAIL.EXE");
    // Only the exact "ZEL.HT" takes the BBS icon; entry 1 always takes the Internet icon.
    setEntry(1, "Primeiro", 1, 0, "\\", "ZEL.HT");
    setEntry(5, "Minusculo", 1, 0, "\\", "zel.ht");
    setEntry(6, "Quadro", 1, 1, "BBS\\", "ZEL.HT");
    setEntry(7, "Longo", 1, 0, "\\", "ZEL.HTM");
    setEntry(8, "Dois", 2, 0, "\\", "DOIS.EXE"); // only instala 1 selects
    setEntry(12, "Ultimo", 1, 1, "ULT\\", "ULT.EXE");
    catalogue.settings.bbsicone = "ICONES\\bbs.ico"; // a directory that does not exist

    const std::string d = "C:\\Program Files\\ACESSO\\";
    const Macros expected = {
        "[CreateGroup(\"StartUp\")]",
        "[AddItem(\"" + d + "ATUALIZA.EXE\",\"ZEL Update\")]",
        "[CreateGroup(\"Acesso Internet\")]",
        "[AddItem(\"" + d + "ZEL.HT\",\"Primeiro\",\"" + d + "inet.ico\")]",
        "[AddItem(\"" + d + "\\VAZIO.EXE\",\"Vazio\")]",
        "[AddItem(\"" + d + "MAIL.EXE\",\"Direto\")]",
        "[AddItem(\"" + d + "zel.ht\",\"Minusculo\")]",
        "[AddItem(\"" + d + "BBS\\ZEL.HT\",\"Quadro\",\"" + d + "\\bbs.ico\")]",
        "[AddItem(\"" + d + "ZEL.HTM\",\"Longo\")]",
        "[AddItem(\"" + d + "ULT\\ULT.EXE\",\"Ultimo\")]",
        "[Reload(\"StartUp\")]",
        "[Reload(\"Acesso Internet\")]",
    };
    EXPECT_EQ(run(), expected);
}

TEST_F(FinishTest, NoEntrySelectedStillDoesEverythingElse) {
    for (int n = 1; n <= kProgramEntries; ++n)
        catalogue.entry(n).instala = 0;
    const fs::path trace = writeSetup(medium() / "NAVEGA" / "SETUP.EXE", "P");
    const Macros expected = {
        "[CreateGroup(\"StartUp\")]",
        "[AddItem(\"C:\\Program Files\\ACESSO\\ATUALIZA.EXE\",\"ZEL Update\")]",
        "[CreateGroup(\"Acesso Internet\")]",
        "[Reload(\"StartUp\")]",
        "[Reload(\"Acesso Internet\")]",
    };
    EXPECT_EQ(run(Browser::First), expected);
    EXPECT_TRUE(fs::exists(settingsFile()));
    EXPECT_TRUE(fs::exists(windowsDir() / "zelun.ini"));
    EXPECT_EQ(uninstallValue("DisplayName"), "ZEL Internet");
    EXPECT_EQ(awaitTrace(trace, "P 0\n"), "P 0\n");
}

// A kit value holding '"' would close its macro argument and run the rest as macros of its own
// (a group named `")][DeleteGroup("Acessórios")][CreateGroup("` deletes the user's groups): the
// sequence refuses it, naming the key, before it sends or writes anything.
TEST_F(FinishTest, AKitValueThatWouldBreakAMacroIsRefusedBeforeAnything) {
    const std::string attack = "\")][DeleteGroup(\"Acess\xF3rios\")][CreateGroup(\"";
    struct Case {
        std::string key;
        std::function<void(Catalogue&)> plant;
    } cases[] = {
        {"[Principal] grupo", [&](Catalogue& c) { c.settings.grupo = "Kit" + attack; }},
        {"[Principal] destino", [&](Catalogue& c) { c.settings.destino = "C:\\A\"B\\"; }},
        {"[Principal] ineticone", [&](Catalogue& c) { c.settings.ineticone = attack; }},
        {"[Principal] bbsicone", [&](Catalogue& c) { c.settings.bbsicone = attack; }},
        {"[Update] programa", [&](Catalogue& c) { c.settings.update_programa = attack; }},
        {"[Programa2] nome", [&](Catalogue& c) { c.entry(2).nome = attack; }},
        {"[Programa3] diretorio", [&](Catalogue& c) { c.entry(3).diretorio = "M\"\\"; }},
        {"[Programa1] Arquivo1", [&](Catalogue& c) { c.entry(1).Arquivo[0] = "A\".EXE"; }},
    };
    const Catalogue clean = catalogue;
    for (const auto& c : cases) {
        catalogue = clean;
        c.plant(catalogue);
        const auto [sent, message] = runFailing();
        EXPECT_TRUE(sent.empty()) << c.key;
        EXPECT_EQ(message, kitValueBreaksMacro(c.key));
        EXPECT_FALSE(fs::exists(settingsFile())) << c.key;
        EXPECT_FALSE(fs::exists(windowsDir() / "zelun.ini")) << c.key;
        EXPECT_EQ(uninstallValue("DisplayName"), "(no key)") << c.key;
    }
    // What never goes into a macro may hold one: a program not selected, the directory of one
    // whose files go straight to the destination.
    catalogue = clean;
    catalogue.entry(4).nome = attack;
    catalogue.entry(1).diretorio = "D\"\\";
    EXPECT_EQ(run().size(), 8u);
    EXPECT_EQ(macroBreakingKeys(catalogue, true), (std::vector<KitKey>{{"Programa4", "nome"}}));
}

// What Program Manager did not create, from the macros and whether each was delivered.
TEST(FinishLosses, NamesTheGroupsAndItemsNotCreated) {
    const std::vector<std::string> macros = {
        createGroupMacro("StartUp"),
        addItemMacro("C:\\K\\ATUALIZA.EXE", "ZEL Update"),
        createGroupMacro("Acesso Internet"),
        addItemMacro("C:\\K\\DISCADOR.EXE", "Discador", "C:\\K\\inet.ico"),
        addItemMacro("C:\\K\\MAIL.EXE", "Correio"),
        reloadMacro("StartUp"),
        reloadMacro("Acesso Internet"),
    };
    const std::string startUp = lostGroupLine("StartUp"), kit = lostGroupLine("Acesso Internet");
    const std::string update = lostItemLine("ZEL Update", "StartUp"),
                      dialer = lostItemLine("Discador", "Acesso Internet"),
                      mail = lostItemLine("Correio", "Acesso Internet");
    const struct {
        std::vector<bool> delivered;
        std::vector<std::string> lost;
    } cases[] = {
        {{true, true, true, true, true, true, true}, {}},
        {{true, true, true, true, true, false, false}, {}}, // a reload creates nothing
        {{}, {startUp, update, kit, dialer, mail}},         // no conversation at all
        {{true, true, false, true, true, true, true}, {kit, dialer, mail}},
        {{true, false, true, true, false, true, true}, {update, mail}},
        {{false, true, true, true, true}, {startUp, update}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(notCreated(macros, c.delivered), c.lost);
    EXPECT_EQ(progmanLoss({kit, dialer}),
              "O Gerenciador de Programas n\xe3o criou os seguintes grupos e itens:\r\r"
              "Grupo \"Acesso Internet\"\rItem \"Discador\" do grupo \"Acesso Internet\"");
}

// --- Update settings file and uninstall log

TEST_F(FinishTest, UpdateSettingsSitBesideTheUpdateProgramAndKeepOtherContent) {
    SetupSettings& s = catalogue.settings;
    EXPECT_EQ(updateSettingsPath(s), "C:\\Program Files\\ACESSO\\ATUALIZA.INI");
    s.update_programa = "BIN\\ATUALIZA";
    EXPECT_EQ(updateSettingsPath(s), "C:\\Program Files\\ACESSO\\BIN\\ATUALIZA.INI");
    s.update_programa = "ATUAL.V2\\ATUALIZA";
    EXPECT_EQ(updateSettingsPath(s), "C:\\Program Files\\ACESSO\\ATUAL.V2\\ATUALIZA.INI");
    s.update_programa = "atualiza.exe";
    EXPECT_EQ(updateSettingsPath(s), "C:\\Program Files\\ACESSO\\atualiza.INI");

    // An earlier file: its other keys and sections stay, the four keys take the new values.
    s.update_programa = "ATUALIZA";
    writeFile(settingsFile(), "[Proxy]\r\nhost=proxy\r\n[ZEL]\r\ngrupo=Antigo\r\nextra=1\r\n");
    writeUpdateSettings(machine(), s);
    EXPECT_EQ(readFile(settingsFile()),
              "[Proxy]\r\nhost=proxy\r\n[ZEL]\r\ngrupo=Acesso Internet\r\n"
              "extra=1\r\nhomepage=http://www.zel.com.br/\r\n"
              "searchpage=http://busca.zel.com.br/\r\n"
              "item=ZEL Update\r\n");
}

TEST_F(FinishTest, UninstallLogChangesOnlyItsTwoKeys) {
    const std::string before = "; kept\r\n[Outro]\r\ndir=D:\\OUTRO\\\r\n"
                               "[ZEL]\r\ndir=C:\\VELHO\\\r\nversao=1\r\ngrupo=Velho\r\n";
    writeFile(windowsDir() / "zelun.ini", before);
    writeUninstallLog(machine(), catalogue);
    EXPECT_EQ(readFile(windowsDir() / "zelun.ini"),
              "; kept\r\n[Outro]\r\ndir=D:\\OUTRO\\\r\n"
              "[ZEL]\r\ndir=C:\\Program Files\\ACESSO\\\r\nversao=1\r\ngrupo=Acesso Internet\r\n");
}

TEST_F(FinishTest, AMissingGroupKeyIsLoggedAsTheCataloguesDefault) {
    writeFile(medium() / "SETUP.INI", "[Setup]\r\ndestino=C:\\KIT\\\r\n");
    Catalogue loaded;
    loaded.load(ProfileFile(machine(), "D:\\SETUP.INI"));
    writeUninstallLog(machine(), loaded);
    ProfileFile log(machine(), "zelun.ini");
    EXPECT_EQ(log.readText("ZEL", "grupo", ""), "erro!");
    EXPECT_EQ(log.readText("ZEL", "dir", ""), loaded.settings.destino);
}

// --- Uninstall registration

TEST_F(FinishTest, RegistrationReplacesItsValuesAndKeepsOthers) {
    {
        Registry registry(machine().registryFile());
        ASSERT_TRUE(registry.openKey(kUninstallKey, true));
        registry.writeString("DisplayName", "Velho");
        registry.writeString("Publisher", "ZEL");
    }
    registerUninstaller(machine());
    EXPECT_EQ(uninstallValue("DisplayName"), "ZEL Internet");
    EXPECT_EQ(uninstallValue("UninstallString"), "C:\\WINDOWS\\zelun.exe");
    EXPECT_EQ(uninstallValue("Publisher"), "ZEL");

    // A Windows directory reported as a drive root keeps its single "\".
    registerUninstaller(machine().registryFile(), "C:\\");
    EXPECT_EQ(uninstallValue("UninstallString"), "C:\\zelun.exe");
    registerUninstaller(machine().registryFile(), "D:\\WIN95\\");
    EXPECT_EQ(uninstallValue("UninstallString"), "D:\\WIN95\\zelun.exe");
}

// --- Failures stop the sequence where they happen

TEST_F(FinishTest, AReadOnlyWindowsDirectoryStopsTheSequenceAtTheLog) {
    writeSetup(medium() / "NAVEGA" / "SETUP.EXE", "P");
    const fs::path trace = writeSetup(medium() / "NAVEGAI" / "SETUP.EXE", "I");
    fs::permissions(windowsDir(), fs::perms::owner_read | fs::perms::owner_exec);
    auto [sent, error] = runFailing(Browser::First);
    EXPECT_EQ(error, "Unable to write to zelun.ini");
    EXPECT_EQ(sent,
              (Macros{"[CreateGroup(\"StartUp\")]",
                      "[AddItem(\"C:\\Program Files\\ACESSO\\ATUALIZA.EXE\",\"ZEL Update\")]"}));
    EXPECT_TRUE(fs::exists(settingsFile())); // written before the log
    EXPECT_FALSE(fs::exists(windowsDir() / "zelun.ini"));
    EXPECT_EQ(uninstallValue("DisplayName"), "(no key)");

    // Once the directory can be written, running again completes, browser setup included;
    // had the failed run started its setup, that line would come first.
    fs::permissions(windowsDir(), fs::perms::owner_all);
    EXPECT_EQ(run(Browser::Second).size(), 8u);
    EXPECT_EQ(awaitTrace(trace, "I 0\n"), "I 0\n");
}

TEST_F(FinishTest, AnUnwritableUpdateSettingsFileStopsTheSequenceBeforeTheLog) {
    catalogue.settings.destino = "C:\\NAO EXISTE\\";
    auto [sent, error] = runFailing();
    EXPECT_EQ(error, "Unable to write to C:\\NAO EXISTE\\ATUALIZA.INI");
    EXPECT_EQ(sent.size(), 2u);
    EXPECT_FALSE(fs::exists(windowsDir() / "zelun.ini"));
}

TEST_F(FinishTest, AnUnwritableRegistryStopsTheSequenceBeforeTheReloads) {
    writeSetup(medium() / "NAVEGA" / "SETUP.EXE", "P");
    const fs::path trace = writeSetup(medium() / "NAVEGAI" / "SETUP.EXE", "I");
    const std::string registryBefore = readFile(machine().registryFile());
    fs::permissions(machine().registryFile(), fs::perms::owner_read);
    auto [sent, error] = runFailing(Browser::First);
    EXPECT_EQ(error,
              "Failed to create key \\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZEL "
              "Internet");
    ASSERT_EQ(sent.size(), 6u); // up to the last item: no reloads
    EXPECT_EQ(sent.back(), "[AddItem(\"C:\\Program Files\\ACESSO\\MAIL\\MAIL.EXE\",\"Correio\")]");
    EXPECT_TRUE(fs::exists(windowsDir() / "zelun.ini"));
    EXPECT_EQ(readFile(machine().registryFile()), registryBefore);

    // No browser setup: a later successful run's start is the only one in the trace.
    fs::permissions(machine().registryFile(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(run(Browser::Second).size(), 8u);
    EXPECT_EQ(awaitTrace(trace, "I 0\n"), "I 0\n");
}

// --- Browser setup

TEST(FinishBrowser, TheSetupCommandComesFromTheSourceDirectory) {
    SetupSettings s;
    s.navegap_setup = "NAVEGA\\SETUP.EXE";
    s.navegai_setup = "IE\\SETUP.EXE";
    EXPECT_EQ(browserSetupCommand(s, "D:\\SETUP", Browser::First), "D:\\NAVEGA\\SETUP.EXE");
    EXPECT_EQ(browserSetupCommand(s, "D:\\KIT\\SETUP.EXE", Browser::Second),
              "D:\\KIT\\IE\\SETUP.EXE");
    EXPECT_EQ(browserSetupCommand(s, "D:\\KIT\\SETUP.EXE", Browser::None), "");
}

TEST_F(FinishTest, TheChosenBrowserSetupStartsFromTheMediumAndNoneForChoiceTwo) {
    ASSERT_EQ(machine().programPath(), "D:\\SETUP");
    writeSetup(medium() / "NAVEGA" / "SETUP.EXE", "P");
    const fs::path trace = writeSetup(medium() / "NAVEGAI" / "SETUP.EXE", "I");
    run(Browser::None);
    run(Browser::Second);
    // Had choice 2 started either setup, its line would be in the trace as well.
    EXPECT_EQ(awaitTrace(trace, "I 0\n"), "I 0\n");
    run(Browser::First);
    EXPECT_EQ(awaitTrace(trace, "I 0\nP 0\n"), "I 0\nP 0\n");
    // A setup that is missing is no failure.
    catalogue.settings.navegap_setup = "FALTA\\SETUP.EXE";
    EXPECT_EQ(run(Browser::First).size(), 8u);
}

// --- End to end, with the real Program Manager

class FinishWithProgmanTest : public FinishTest {
protected:
    void SetUp() override {
        // The server started on demand leaves soon after the conversation ends.
        ::setenv("ZEL_PROGMAN_IDLE", "1", 1);
        FinishTest::SetUp();
    }
    void TearDown() override {
        platform->progman.close();
        awaitServerGone();
        ::unsetenv("ZEL_PROGMAN_IDLE");
    }

    // The server names its pid in its lock file; it must leave by itself after the idle time,
    // and is killed only when it does not.
    bool awaitServerGone() {
        const std::string text = readFile(prefix / "progman.lock");
        if (text.empty())
            return true;
        const pid_t pid = static_cast<pid_t>(std::stol(text));
        for (int i = 0; i < 1000; ++i) {
            if (::kill(pid, 0) != 0 && errno == ESRCH)
                return true;
            // Adopted by an init that does not reap: a zombie has left all the same.
            const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
            const auto paren = stat.rfind(')');
            if (paren != std::string::npos && stat.size() > paren + 2 && stat[paren + 2] == 'Z')
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid, SIGKILL);
        return false;
    }
};

TEST_F(FinishWithProgmanTest, ProgramManagerKeepsTheStartUpItemAndTheKitsGroup) {
    const std::vector<std::string> macros = runFinishSequence(*platform, catalogue, Browser::None);
    EXPECT_TRUE(platform->progman.isOpen());
    platform->progman.close(); // delivers everything handed over
    EXPECT_EQ(platform->progman.deliveries(), std::vector<bool>(macros.size(), true));
    EXPECT_TRUE(notCreated(macros, platform->progman.deliveries()).empty());
    EXPECT_TRUE(awaitServerGone()) << "Program Manager did not leave after its idle time";

    std::string error;
    auto groups = progman::loadStore(progman::storePath(prefix), &error);
    ASSERT_TRUE(groups) << error;
    ASSERT_EQ(groups->groups().size(), 2u);
    const progman::Group& startUp = groups->groups()[0];
    EXPECT_EQ(startUp.name, "StartUp");
    ASSERT_EQ(startUp.items.size(), 1u);
    EXPECT_EQ(startUp.items[0].command, "C:\\Program Files\\ACESSO\\ATUALIZA.EXE");
    EXPECT_EQ(startUp.items[0].name, "ZEL Update");
    EXPECT_EQ(startUp.items[0].icon, "");

    const progman::Group& kit = groups->groups()[1];
    EXPECT_EQ(kit.name, "Acesso Internet");
    ASSERT_EQ(kit.items.size(), 3u);
    EXPECT_EQ(kit.items[0].name, "Discador");
    EXPECT_EQ(kit.items[0].command, "C:\\Program Files\\ACESSO\\DISCADOR.EXE");
    EXPECT_EQ(kit.items[0].icon, "C:\\Program Files\\ACESSO\\inet.ico");
    EXPECT_EQ(kit.items[1].name, "BBS");
    EXPECT_EQ(kit.items[1].icon, "C:\\Program Files\\ACESSO\\bbs.ico");
    EXPECT_EQ(kit.items[2].command, "C:\\Program Files\\ACESSO\\MAIL\\MAIL.EXE");
    EXPECT_EQ(kit.items[2].icon, "");
}

} // namespace
} // namespace zel::test
