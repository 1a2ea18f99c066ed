// The finish (macros, settings, log, key, browser setup) and the copy as its view sees it.
#include "services/platform.h"
#include "setup/finish.h"
#include "setup/installation.h"
#include "tests/support/fixtures.h"

#include <functional>
#include <iterator>
#include <sstream>

namespace zel::test {
namespace {

using Macros = std::vector<std::string>;
const std::string d = "C:\\Z\\"; // the kit's destination

class FinishTest : public PlatformTest {
protected:
    // Entry 5 has criadir but no directory (held as "\"); 4 and 9 to 11 are not selected.
    void SetUp() override {
        PlatformTest::SetUp();
        fs::create_directories(driveC() / "Z");
        load("[Principal]\ngrupo=Acesso Internet\ndestino=" + d +
             "\nhomepage=http://www.zel.com.br/\nsearchpage=http://busca.zel.com.br/\n"
             "ineticone=inet.ico\nbbsicone=bbs.ico\nnavegap_setup=NAVEGA\\SETUP.EXE\n"
             "navegai_setup=NAVEGAI\\SETUP.EXE\n[Update]\nprograma=ATUALIZA.EXE\n"
             "[Programa1]\nnome=Discador\ninstala=1\nArquivo1=DISCADOR.EXE\n[Programa2]\n"
             "nome=BBS\ninstala=1\ncriadir=1\ndiretorio=BBS\nArquivo1=ZEL.HT\n[Programa3]\n"
             "nome=Correio\ninstala=1\ncriadir=1\ndiretorio=MAIL\nArquivo1=MAIL.EXE\n"
             "[Programa4]\nnome=Noticias\nArquivo1=NEWS.EXE\n[Programa5]\nnome=Vazio\n"
             "instala=1\ncriadir=1\nArquivo1=VAZIO.EXE\n[Programa6]\nnome=Direto\n"
             "instala=1\ndiretorio=DIR\nArquivo1=DIRETO.EXE\n[Programa7]\nnome=Minusculo\n"
             "instala=1\nArquivo1=zel.ht\n[Programa8]\nnome=Longo\ninstala=1\n"
             "Arquivo1=ZEL.HTM\n[Programa9]\nnome=9\n[Programa10]\nnome=10\n[Programa11]\n"
             "nome=11\n[Programa12]\nnome=Ultimo\ninstala=1\ncriadir=1\ndiretorio=ULT\n"
             "Arquivo1=ULT.EXE\n");
    }
    struct Run {
        Macros sent;
        std::string error;
        std::vector<std::string> refused; // the items a macro would break, left out
    };
    Run run(Browser browser = Browser::None) {
        Run r;
        r.error = errorOf([&] {
            r.refused =
                runFinishSequence(*platform, catalogue, browser,
                                  [&r](const std::string& macro) { r.sent.push_back(macro); });
        });
        return r;
    }
};

TEST_F(FinishTest, TheSequenceSendsItsMacrosInOrderAndWritesItsFiles) {
    fs::rename(driveC() / "Z", driveC() / "z"); // the icons' directory as the disk spells it
    EXPECT_EQ(joined(run().sent),
              "[CreateGroup(\"StartUp\")]\n[AddItem(\"C:\\Z\\ATUALIZA.EXE\",\"ZEL Update\")]\n"
              "[CreateGroup(\"Acesso Internet\")]\n"
              "[AddItem(\"C:\\Z\\DISCADOR.EXE\",\"Discador\",\"C:\\z\\inet.ico\")]\n"
              "[AddItem(\"C:\\Z\\BBS\\ZEL.HT\",\"BBS\",\"C:\\z\\bbs.ico\")]\n"
              "[AddItem(\"C:\\Z\\MAIL\\MAIL.EXE\",\"Correio\")]\n"
              "[AddItem(\"C:\\Z\\\\VAZIO.EXE\",\"Vazio\")]\n[AddItem(\"C:\\Z\\DIRETO.EXE\","
              "\"Direto\")]\n[AddItem(\"C:\\Z\\zel.ht\",\"Minusculo\")]\n"
              "[AddItem(\"C:\\Z\\ZEL.HTM\",\"Longo\")]\n"
              "[AddItem(\"C:\\Z\\ULT\\ULT.EXE\",\"Ultimo\")]\n[Reload(\"StartUp\")]\n"
              "[Reload(\"Acesso Internet\")]\n");
    EXPECT_EQ(readFile(driveC() / "z" / "ATUALIZA.INI") + readFile(driveC() / "WINDOWS/zelun.ini"),
              "[ZEL]\r\nhomepage=http://www.zel.com.br/\r\nsearchpage=http://busca.zel.com.br/\r\n"
              "item=ZEL Update\r\ngrupo=Acesso Internet\r\n[ZEL]\r\ndir=C:\\Z\\\r\n"
              "grupo=Acesso Internet\r\n");
}

// A failure stops the sequence where it happens: nothing after it is sent, written or started.
TEST_F(FinishTest, AFailureStopsTheSequenceWhereItHappensAMacroAValueWouldBreakIsLeftOut) {
    // The error, the macros sent, then S the update settings, L the uninstall log if written.
    const fs::path settings = driveC() / "Z" / "ATUALIZA.INI", log = driveC() / "WINDOWS/zelun.ini";
    const auto stop = [&] {
        const std::string registry = readFile(machine().registryFile());
        const auto [macros, raised, refused] = run(Browser::Second);
        const std::string seen =
            raised + " " + std::to_string(macros.size()) + " " + (fs::exists(settings) ? "S" : "") +
            (fs::exists(log) ? "L" : "") +
            (readFile(machine().registryFile()) == registry ? "" : " and the registry changed");
        fs::remove(settings);
        fs::remove(log);
        return seen;
    };
    catalogue.settings.destination = "C:\\NAO EXISTE\\";
    EXPECT_EQ(stop(), "Unable to write to C:\\NAO EXISTE\\ATUALIZA.INI 2 ");
    catalogue.settings.destination = d;
    fs::permissions(machine().registryFile(), fs::perms::owner_read);
    EXPECT_EQ(stop(), "Failed to create key " + std::string(kUninstallKey) + " 11 SL");
    fs::permissions(machine().registryFile(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(run(Browser::First).error, ""); // a browser setup missing is no error
    // A macro a '"' would break is not sent; the finish goes on (its Reloads sent), naming it.
    const std::string attack = "\")][DeleteGroup(\"Acess\xF3rios\")][CreateGroup(\"";
    const auto lost = [](const std::string& item) {
        return "Item \"" + item + "\" do grupo \"Acesso Internet\"";
    };
    const std::string update = "Item \"ZEL Update\" do grupo \"StartUp\"";
    std::vector<std::string> destinationLost = {update};
    for (const char* item :
         {"Discador", "BBS", "Correio", "Vazio", "Direto", "Minusculo", "Longo", "Ultimo"})
        destinationLost.push_back(lost(item));
    const struct {
        const char* name;
        std::function<void(Catalogue&)> plant;
        std::size_t sent;
        std::vector<std::string> refused;
    } rows[] = {
        // clang-format off
        {"destino", [&](Catalogue& c) { fs::create_directories(driveC() / "A\"B"); c.settings.destination = "C:\\A\"B\\"; },
         4, destinationLost},
        {"ineticone", [&](Catalogue& c) { c.settings.internetIcon = attack; }, 12, {lost("Discador")}},
        {"[Update] programa", [&](Catalogue& c) { c.settings.updateProgram = attack; }, 12, {update}},
        {"diretorio", [&](Catalogue& c) { c.entry(3).directory = "M\"\\"; }, 12, {lost("Correio")}},
        {"none", [](Catalogue&) {}, 13, {}},
        // clang-format on
    };
    const Catalogue clean = catalogue;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        catalogue = clean;
        row.plant(catalogue);
        const Run r = run();
        EXPECT_EQ(r.error, "");
        EXPECT_EQ(r.refused, row.refused);
        EXPECT_EQ(r.sent.size(), row.sent);
    }
    // A kit's check names the keys, of every program; the destination is checked as the user's.
    catalogue = clean;
    catalogue.entry(4).name = attack;
    catalogue.entry(1).directory = "D\"\\";
    catalogue.settings.destination = "C:\\A\"B\\";
    EXPECT_EQ(macroBreakingKeys(catalogue), (std::vector<KitKey>{}));
    catalogue.settings.internetIcon = attack;
    EXPECT_EQ(macroBreakingKeys(catalogue, true),
              (std::vector<KitKey>{{"Principal", "ineticone"}, {"Programa4", "nome"}}));
}

// What was not created, by the macros delivered (1); a nameless item is named by its command.
TEST(FinishLosses, NamesTheGroupsAndItemsNotCreated) {
    std::istringstream texts(R"([CreateGroup("S")] [AddItem("C:\U.EXE","U")] [CreateGroup("K")]
[AddItem("C:\D.EXE","D","i.ico")] [AddItem("C:\M.EXE","")] [Reload("S")] [Reload("K")])");
    const Macros macros{std::istream_iterator<std::string>(texts), {}};
    const std::pair<std::string, std::string> rows[] = {
        {"1111100", ""},
        {"1101111", "Grupo K|Item D do grupo K|Item C:\\M.EXE do grupo K|"},
        {"1011011", "Item U do grupo S|Item C:\\M.EXE do grupo K|"},
        {"01111", "Grupo S|Item U do grupo S|"}};
    for (const auto& [delivered, lost] : rows) {
        std::vector<bool> flags;
        for (const char flag : delivered)
            flags.push_back(flag == '1');
        std::string lines = joined(notCreated(macros, flags), "|");
        std::erase(lines, '"');
        EXPECT_EQ(lines, lost) << delivered;
    }
}

struct RecordingView : CopyView, Gauge, StatusLine {
    void working(bool on) override { log += on ? "work " : "idle "; }
    void failed(const std::string& message) override { log += "failed(" + message + ") "; }
    void destinationUnavailable(const std::string&) override { log += "unavailable "; }
    bool goOnShortOfSpace(const std::string&) override { return false; }
    void sweeping() override { log += "sweep "; }
    void pump() override {}
    CopyProgress copying() override {
        log += "copying ";
        return {*this, *this, *this, *this};
    }
    void copyOver() override { log += "over "; }
    void setMaximum(int) override {}
    void setPosition(int) override {}
    void advance(int) override {}
    void setText(const std::string&) override {}
    void repaint() override {}

    std::string log;
};

class InstallationTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        std::string named; // up to the last entry, proposed but not chosen
        for (int n = 3; n < kProgramEntries; ++n)
            named += "[Programa" + std::to_string(n) + "]\nnome=P\n";
        load("[Principal]\ndestino=C:\\ZEL\\\ngrupo=G\n[Update]\nprograma=UP.EXE\n[Programa1]\n"
             "nome=Discador\n[Programa2]\nnome=A\ninstala=1\nArquivo1=A.EXE\n" +
             named + "[Programa12]\nnome=L\ninstala=1\nArquivo1=NONE.EXE\n");
        choices.destination = "C:\\ZEL\\";
        choices.programs[1] = true;
        choices.browser = Browser::None;
    }
    Choices choices;
};

TEST_F(InstallationTest, TheCopyTakesTheResolvedDestinationAndAlwaysPutsItsProgressAway) {
    // A program without a directory of its own is copied from "\\" under the source.
    const std::string missing = "failed(Erro copiando arquivo D:\\\\A.EXE para C:\\ZEL\\A.EXE) ";
    const struct {
        const char *name, *destination;
        bool fileThere;
        std::string outcome; // copied, went on short of space, the three twins, destination, log
    } rows[] = {
        // clang-format off
        {"relative", "ZEL\\", true, "0 0 --- ZEL\\ unavailable "},
        {"resolved once", "c:/x/../ZEL", true, "1 0 a-- C:\\ZEL\\ work sweep copying over idle "},
        {"a file missing", "C:\\ZEL\\", false, "0 0 --- C:\\ZEL\\ work sweep copying over idle " + missing},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(driveC() / "ZEL");
        for (const char* twin : {"a.exe", "A.exe", "A.Exe"}) // A.EXE is written over the first
            writeFile(driveC() / "ZEL" / twin, "-");
        fs::remove(medium() / "A.EXE");
        if (row.fileThere)
            writeFile(medium() / "A.EXE", "a");
        choices.destination = row.destination;
        RecordingView view;
        const bool done = runCopy(*platform, catalogue, choices, view);
        EXPECT_EQ(std::to_string(done) + " " + std::to_string(choices.continueShortOfSpace) + " " +
                      readFile(driveC() / "ZEL" / "A.Exe") + readFile(driveC() / "ZEL" / "A.exe") +
                      readFile(driveC() / "ZEL" / "a.exe") + " " + choices.destination + " " +
                      view.log + (fs::exists(medium() / "ZEL") ? "and made on the medium" : ""),
                  row.outcome);
    }
}

// What the custom page and the unattended run refuse, and the one form every step then uses.
TEST(Destination, IsAFullPathWindowsAcceptsResolvedOnce) {
    const auto refused = [](const std::string& typed, char c) {
        return "O destino " + typed + " cont\xe9m o caractere " + c +
               ", que o Windows n\xe3o aceita em nomes de arquivos e diret\xf3rios";
    };
    const std::pair<std::string, std::string> rows[] = {
        // clang-format off
        {"C:\\ZEL\\", "C:\\ZEL\\"}, {"c:\\Program Files\\..\\ZEL", "C:\\ZEL\\"}, {"d:/a//b/./", "D:\\a\\b\\"},
        {"C:\\", "C:\\"}, {"1:\\ZEL", "O destino 1:\\ZEL n\xe3o \xe9 um caminho completo: indique o drive e o diret\xf3rio, como C:\\INTERNET\\"},
        {"Cur|sos", refused("Cur|sos", '|')}, {"C:\\A\"B", refused("C:\\A\"B", '"')}, {"C:\\Meus Programas*", refused("C:\\Meus Programas*", '*')},
        {"C:\\A\x1b[2J", "O destino C:\\A?[2J cont\xe9m um caractere de controle (c\xf3" "digo 27), que o Windows n\xe3o aceita em nomes de arquivos e diret\xf3rios"},
        // clang-format on
    };
    for (const auto& [typed, expected] : rows) {
        const ResolvedDestination resolved = resolveDestination(typed);
        EXPECT_EQ(resolved.path + resolved.error.value_or(""), expected) << typed;
    }
}

} // namespace
} // namespace zel::test
