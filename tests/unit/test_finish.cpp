// The finish sequence: the macros Program Manager receives, the update settings file, the
// uninstall log and key, the browser setup's start, and where a failure stops it.
#include "progman/progman_macros.h"
#include "setup/finish.h"
#include "setup/messages.h"
#include "tests/support/fixtures.h"
#include "winemu/platform.h"
#include "winemu/registry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

namespace zel::test {
namespace {

using Macros = std::vector<std::string>;
const std::string d = "C:\\Program Files\\ACESSO\\"; // the kit's destination

// The detached program's trace once it is there (it runs on after the sequence returned).
std::string awaitTrace(const fs::path& trace, std::string_view expected) {
    std::string text;
    for (int i = 0; i < 1000 && (text = readFile(trace)) != expected; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
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
        s.destino = d;
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
    // The macros sent, recorded instead of going to Program Manager, and the error raised.
    std::pair<Macros, std::string> run(Browser browser = Browser::None) {
        Macros sent;
        try {
            runFinishSequence(*platform, catalogue, browser,
                              [&sent](const std::string& macro) { sent.push_back(macro); });
        } catch (const std::exception& e) {
            return {sent, e.what()};
        }
        return {sent, ""};
    }
    std::string uninstallValue(const std::string& name) {
        Registry registry(machine().registryFile());
        return registry.openKey(kUninstallKey, false) ? registry.readString(name) : "(no key)";
    }
    // Browser setup stand-ins on the medium that append their tag to one trace.
    fs::path writeSetups() {
        const fs::path trace = tmp / "browser.trace";
        for (const auto& [dir, tag] : {std::pair{"NAVEGA", "P"}, std::pair{"NAVEGAI", "I"}}) {
            writeFile(medium() / dir / "SETUP.EXE", "#!/bin/sh\necho " + std::string(tag) +
                                                        " \"$#\" >> '" + trace.string() + "'\n");
            fs::permissions(medium() / dir / "SETUP.EXE", fs::perms::owner_all);
        }
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

TEST(FinishMacros, ATextIsBuiltWholeWhateverItsLength) {
    const std::string x(3000, 'x');
    EXPECT_EQ(addItemMacro(x, x, x), "[AddItem(\"" + x + "\",\"" + x + "\",\"" + x + "\")]");
}

TEST_F(FinishTest, ShortDirectoryFormTakesEachDirectoryAsTheDiskSpellsIt) {
    fs::create_directories(driveC() / "Program Files" / "Acesso Dois" / "Sub");
    // The path and its form. The drive part and the name stay as given; a directory not found
    // leaves nothing, and the lookups go on with the path as given (C:\NOPE\WINDOWS does not
    // exist); an empty component names nothing, though the path would resolve to its parent.
    std::istringstream rows(
        R"(C:\PROGRAM FILES\acesso dois\SUB\Inet.ICO|C:\Program Files\Acesso Dois\Sub\Inet.ICO
C:\program files\NADA.ICO|C:\Program Files\NADA.ICO
C:\program files|C:\program files
c:\windows\x|c:\WINDOWS\x
C:\|C:\
C:|C:
|
C:\NOPE\inet.ico|C:\\inet.ico
C:\NOPE\WINDOWS\inet.ico|C:\\\inet.ico
C:\WINDOWS\\SYSTEM\x|C:\WINDOWS\\SYSTEM\x
Q:\DIR\x|Q:\\x)");
    for (std::string path, expected; std::getline(rows, path, '|') && std::getline(rows, expected);)
        EXPECT_EQ(shortDirectoryForm(platform->files, path), expected) << path;
}

TEST_F(FinishTest, TheSequenceSendsItsMacrosInOrderAndWritesItsFilesAndKey) {
    fs::rename(driveC() / "Program Files" / "ACESSO", driveC() / "Program Files" / "Acesso");
    // criadir with an empty directory key (held as "\"), a directory without criadir, the BBS
    // icon for exactly "ZEL.HT", a flag of 2 that selects nothing, and the last entry.
    setEntry(5, "Vazio", 1, 1, "\\", "VAZIO.EXE");
    setEntry(6, "Direto", 1, 0, "DIR\\", "DIRETO.EXE");
    setEntry(7, "Minusculo", 1, 0, "\\", "zel.ht");
    setEntry(8, "Longo", 1, 0, "\\", "ZEL.HTM");
    setEntry(9, "Dois", 2, 0, "\\", "DOIS.EXE");
    setEntry(12, "Ultimo", 1, 1, "ULT\\", "ULT.EXE");
    const std::string icons = "C:\\Program Files\\Acesso\\";
    const Macros expected = {"[CreateGroup(\"StartUp\")]",
                             "[AddItem(\"" + d + "ATUALIZA.EXE\",\"ZEL Update\")]",
                             "[CreateGroup(\"Acesso Internet\")]",
                             "[AddItem(\"" + d + "DISCADOR.EXE\",\"Discador\",\"" + icons +
                                 "inet.ico\")]",
                             "[AddItem(\"" + d + "BBS\\ZEL.HT\",\"BBS\",\"" + icons + "bbs.ico\")]",
                             "[AddItem(\"" + d + "MAIL\\MAIL.EXE\",\"Correio\")]",
                             "[AddItem(\"" + d + "\\VAZIO.EXE\",\"Vazio\")]",
                             "[AddItem(\"" + d + "DIRETO.EXE\",\"Direto\")]",
                             "[AddItem(\"" + d + "zel.ht\",\"Minusculo\")]",
                             "[AddItem(\"" + d + "ZEL.HTM\",\"Longo\")]",
                             "[AddItem(\"" + d + "ULT\\ULT.EXE\",\"Ultimo\")]",
                             "[Reload(\"StartUp\")]",
                             "[Reload(\"Acesso Internet\")]"};
    EXPECT_EQ(run(), std::pair(expected, std::string()));
    EXPECT_EQ(readFile(driveC() / "Program Files" / "Acesso" / "ATUALIZA.INI"),
              "[ZEL]\r\nhomepage=http://www.zel.com.br/\r\nsearchpage=http://busca.zel.com.br/\r\n"
              "item=ZEL Update\r\ngrupo=Acesso Internet\r\n");
    EXPECT_EQ(readFile(windowsDir() / "zelun.ini"),
              "[ZEL]\r\ndir=" + d + "\r\ngrupo=Acesso Internet\r\n");
    EXPECT_EQ(uninstallValue("DisplayName"), "ZEL Internet");
    EXPECT_EQ(uninstallValue("UninstallString"), "C:\\WINDOWS\\zelun.exe");
    // A Windows directory given with its trailing "\" (a drive root) keeps a single one.
    registerUninstaller(machine().registryFile(), "C:\\");
    EXPECT_EQ(uninstallValue("UninstallString"), "C:\\zelun.exe");
}

// A failure stops the sequence where it happens: nothing after it is sent, written or started.
TEST_F(FinishTest, AFailureStopsTheSequenceWhereItHappens) {
    const fs::path trace = writeSetups();
    const fs::path registry = machine().registryFile();
    const struct {
        const char* name;
        std::function<void()> spoil, mend;
        std::string error;
        std::size_t sent;
        bool settings, log;
    } rows[] = {
        {"an unwritable update settings file",
         [&] { catalogue.settings.destino = "C:\\NAO EXISTE\\"; },
         [&] { catalogue.settings.destino = d; }, "Unable to write to C:\\NAO EXISTE\\ATUALIZA.INI",
         2, false, false},
        {"a read-only Windows directory",
         [&] { fs::permissions(windowsDir(), fs::perms::owner_read | fs::perms::owner_exec); },
         [&] { fs::permissions(windowsDir(), fs::perms::owner_all); },
         "Unable to write to zelun.ini", 2, true, false},
        {"a read-only registry", [&] { fs::permissions(registry, fs::perms::owner_read); },
         [&] { fs::permissions(registry, fs::perms::owner_read | fs::perms::owner_write); },
         "Failed to create key \\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZEL "
         "Internet",
         6, true, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove(settingsFile());
        fs::remove(windowsDir() / "zelun.ini");
        const std::string registryBefore = readFile(registry);
        row.spoil();
        const auto [sent, error] = run(Browser::First);
        row.mend();
        EXPECT_EQ(error, row.error);
        EXPECT_EQ(sent.size(), row.sent);
        EXPECT_EQ(fs::exists(settingsFile()), row.settings);
        EXPECT_EQ(fs::exists(windowsDir() / "zelun.ini"), row.log);
        EXPECT_EQ(readFile(registry), registryBefore);
    }
    // Had a failed run started its setup, its line would be in the trace as well.
    EXPECT_EQ(run(Browser::Second).first.size(), 8u);
    EXPECT_EQ(awaitTrace(trace, "I 0\n"), "I 0\n");
}

TEST_F(FinishTest, TheChosenBrowserSetupStartsFromTheMedium) {
    SetupSettings& s = catalogue.settings;
    EXPECT_EQ(browserSetupCommand(s, "D:\\KIT\\SETUP.EXE", Browser::First),
              "D:\\KIT\\NAVEGA\\SETUP.EXE");
    EXPECT_EQ(browserSetupCommand(s, "D:SETUP", Browser::Second), "D:\\NAVEGAI\\SETUP.EXE");
    EXPECT_EQ(browserSetupCommand(s, "D:\\KIT\\SETUP.EXE", Browser::None), "");
    const fs::path trace = writeSetups();
    run(Browser::None);
    run(Browser::First);
    EXPECT_EQ(awaitTrace(trace, "P 0\n"), "P 0\n");
    s.navegap_setup = "FALTA\\SETUP.EXE"; // a missing setup is no failure
    EXPECT_EQ(run(Browser::First).second, "");
}

// A kit value holding '"' would close its macro argument and run the rest as macros of its own
// (a group named `")][DeleteGroup("Acessórios")][CreateGroup("` deletes the user's groups): the
// sequence refuses it, naming the key, before it sends or writes anything.
TEST_F(FinishTest, AKitValueThatWouldBreakAMacroIsRefusedBeforeAnything) {
    const std::string attack = "\")][DeleteGroup(\"Acess\xF3rios\")][CreateGroup(\"";
    const std::pair<std::string, std::function<void(Catalogue&)>> rows[] = {
        {"[Principal] grupo", [&](Catalogue& c) { c.settings.grupo = "Kit" + attack; }},
        {"[Principal] destino", [&](Catalogue& c) { c.settings.destino = "C:\\A\"B\\"; }},
        {"[Principal] ineticone", [&](Catalogue& c) { c.settings.ineticone = attack; }},
        {"[Principal] bbsicone", [&](Catalogue& c) { c.settings.bbsicone = attack; }},
        {"[Update] programa", [&](Catalogue& c) { c.settings.update_programa = attack; }},
        {"[Programa2] nome", [&](Catalogue& c) { c.entry(2).nome = attack; }},
        {"[Programa3] diretorio", [&](Catalogue& c) { c.entry(3).diretorio = "M\"\\"; }},
        {"[Programa1] Arquivo1", [&](Catalogue& c) { c.entry(1).Arquivo[0] = "A\".EXE"; }}};
    const Catalogue clean = catalogue;
    for (const auto& [key, plant] : rows) {
        catalogue = clean;
        plant(catalogue);
        EXPECT_EQ(run(), std::pair(Macros{}, kitValueBreaksMacro(key)));
        EXPECT_EQ(readFile(settingsFile()) + readFile(windowsDir() / "zelun.ini") +
                      uninstallValue("DisplayName"),
                  "(no key)")
            << key;
    }
    EXPECT_EQ(kitValueBreaksMacro("[Principal] grupo"),
              "O valor de [Principal] grupo no arquivo de configura\xe7\xe3o cont\xe9m aspas (\"), "
              "que o Gerenciador de Programas n\xe3o aceita");
    // What never goes into a macro may hold one: a program not selected, the directory of one
    // whose files go straight to the destination; a kit's check looks at every program.
    catalogue = clean;
    catalogue.entry(4).nome = attack;
    catalogue.entry(1).diretorio = "D\"\\";
    EXPECT_EQ(run().first.size(), 8u);
    EXPECT_EQ(macroBreakingKeys(catalogue, true), (std::vector<KitKey>{{"Programa4", "nome"}}));
}

// What Program Manager did not create, from the macros and whether each was delivered.
TEST(FinishLosses, NamesTheGroupsAndItemsNotCreated) {
    const Macros macros = {createGroupMacro("StartUp"),
                           addItemMacro("C:\\K\\ATUALIZA.EXE", "ZEL Update"),
                           createGroupMacro("Acesso Internet"),
                           addItemMacro("C:\\K\\DISCADOR.EXE", "Discador", "C:\\K\\inet.ico"),
                           addItemMacro("C:\\K\\MAIL.EXE", ""), // no name: the command stands
                           reloadMacro("StartUp"),
                           reloadMacro("Acesso Internet")};
    const std::string startUp = "Grupo \"StartUp\"", kit = "Grupo \"Acesso Internet\"",
                      update = "Item \"ZEL Update\" do grupo \"StartUp\"",
                      dialer = "Item \"Discador\" do grupo \"Acesso Internet\"",
                      mail = "Item \"C:\\K\\MAIL.EXE\" do grupo \"Acesso Internet\"";
    const std::pair<std::vector<bool>, Macros> rows[] = {
        {{true, true, true, true, true, true, true}, {}},
        {{true, true, true, true, true, false, false}, {}}, // a reload creates nothing
        {{}, {startUp, update, kit, dialer, mail}},         // no conversation at all
        {{true, true, false, true, true, true, true}, {kit, dialer, mail}},
        {{true, false, true, true, false, true, true}, {update, mail}},
        {{false, true, true, true, true}, {startUp, update}}};
    for (const auto& [delivered, lost] : rows)
        EXPECT_EQ(notCreated(macros, delivered), lost);
    EXPECT_EQ(progmanLoss({kit, dialer}),
              "O Gerenciador de Programas n\xe3o criou os seguintes grupos e itens:\r\r"
              "Grupo \"Acesso Internet\"\rItem \"Discador\" do grupo \"Acesso Internet\"");
}

} // namespace
} // namespace zel::test
