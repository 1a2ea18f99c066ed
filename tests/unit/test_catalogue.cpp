#include "setup/catalogue.h"
#include "winemu/cp1252.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <variant>

namespace zel::test {
namespace {

using namespace std::string_literals;

class CatalogueLoad : public ::testing::Test {
protected:
    Catalogue load(std::string_view content) {
        writeFile(tmp / "SETUP.INI", content);
        Catalogue c;
        c.load(ProfileFile::atHostPath(tmp / "SETUP.INI"));
        return c;
    }
    static std::string program(int n, const std::string& body) {
        return "[Programa" + std::to_string(n) + "]\r\n" + body;
    }
    static void expectInitial(const ProgramEntry& e) {
        EXPECT_EQ(e.nome, "");
        EXPECT_EQ(e.instala, 0);
        EXPECT_EQ(e.tamanho, 0);
        EXPECT_EQ(e.diretorio, "") << "an entry that was never read has no backslash";
        EXPECT_EQ(e.criadir, 0);
        EXPECT_EQ(e.arquivo(1), "");
        EXPECT_EQ(e.system(1), "");
    }
    TempDir tmp;
};

TEST_F(CatalogueLoad, MissingFileGivesTheDefaultsAndOneEmptyEntry) {
    Catalogue c;
    c.load(ProfileFile::atHostPath(tmp / "absent.ini"));
    const SetupSettings& s = c.settings;
    for (const std::string* v :
         {&s.versao, &s.grupo, &s.homepage, &s.searchpage, &s.grupoicone, &s.ineticone, &s.bbsicone,
          &s.update_programa, &s.update_diretorio, &s.uninstall_programa, &s.uninstall_diretorio,
          &s.licensa, &s.navegap_setup, &s.navegap_version, &s.navegai_setup, &s.navegai_version})
        EXPECT_EQ(*v, "erro!");
    EXPECT_EQ(s.destino, "erro!\\");
    EXPECT_EQ(s.upline + s.cadastro1 + s.cadastro2 + s.StartWave, "");
    EXPECT_EQ(s.navegap_size + s.navegai_size, 0);
    EXPECT_EQ(c.entry(1).diretorio, "\\") << "entry 1 was read";
    EXPECT_EQ(c.entry(1).nome, "");
    for (int n = 2; n <= kProgramEntries; ++n)
        expectInitial(c.entry(n));
}

TEST_F(CatalogueLoad, SettingsAndEntryValues) {
    const Catalogue c = load("[principal]\r\nversao=3.1\r\ngrupo=\r\ndestino=C:\\KIT\r\n"
                             "homepage=http://www.zel.com.br\r\nupline= 123 \r\n"
                             "navegap_size=0x20\r\nnavegai_size=12k\r\n"
                             "[UPDATE]\r\nprograma=ZELUPD.EXE\r\ndiretorio=UPDATE\\\r\n" +
                             program(1, "nome=Discador\r\ninstala=yes\r\ntamanho=$20\r\n"
                                        "diretorio=DISC\r\ncriadir=2\r\n") +
                             program(2, "nome=Correio\r\ninstala=2\r\ntamanho=12k\r\n"
                                        "diretorio=MAIL\\\r\ncriadir=0\r\n"));
    const SetupSettings& s = c.settings;
    EXPECT_EQ(s.versao, "3.1");
    EXPECT_EQ(s.grupo, "") << "present but empty is not the default";
    EXPECT_EQ(s.destino, "C:\\KIT\\");
    EXPECT_EQ(s.homepage, "http://www.zel.com.br");
    EXPECT_EQ(s.upline, "123");
    EXPECT_EQ(s.navegap_size, 32);
    EXPECT_EQ(s.navegai_size, 0);
    EXPECT_EQ(s.update_programa, "ZELUPD.EXE");
    EXPECT_EQ(s.update_diretorio, "UPDATE\\");
    EXPECT_EQ(s.uninstall_programa, "erro!");

    const ProgramEntry& disc = c.entry(1);
    EXPECT_EQ(disc.nome, "Discador");
    EXPECT_EQ(disc.instala, 0) << "yes is no integer";
    EXPECT_EQ(disc.tamanho, 32);
    EXPECT_EQ(disc.diretorio, "DISC\\");
    EXPECT_EQ(disc.criadir, 1);
    const ProgramEntry& mail = c.entry(2);
    EXPECT_EQ(mail.instala, 1);
    EXPECT_EQ(mail.tamanho, 0);
    EXPECT_EQ(mail.diretorio, "MAIL\\");
    EXPECT_EQ(mail.criadir, 0);

    EXPECT_EQ(c.entry(3).diretorio, "\\") << "the entry that ends the table is read";
    expectInitial(c.entry(4));
    EXPECT_EQ(load("[Principal]\r\ndestino=C:\\KIT\\\r\n").settings.destino, "C:\\KIT\\");
}

// Every global key with its own value: a key read into another key's field shows here.
TEST_F(CatalogueLoad, EachGlobalKeyLandsInItsOwnField) {
    const Catalogue c =
        load("[Principal]\r\nversao=1\r\ngrupo=2\r\ndestino=3\\\r\nhomepage=4\r\nsearchpage=5\r\n"
             "grupoicone=6\r\nineticone=7\r\nbbsicone=8\r\nupline=9\r\nlicensa=10\r\n"
             "cadastro1=11\r\ncadastro2=12\r\nStartWave=13\r\nnavegap_setup=14\r\n"
             "navegap_version=15\r\nnavegap_size=16\r\nnavegai_setup=17\r\n"
             "navegai_version=18\r\nnavegai_size=19\r\n"
             "[Update]\r\nprograma=20\r\ndiretorio=21\r\n[Uninstall]\r\nprograma=22\r\n"
             "diretorio=23\r\n");
    const SetupSettings& s = c.settings;
    const std::pair<const std::string*, const char*> texts[] = {{&s.versao, "1"},
                                                                {&s.grupo, "2"},
                                                                {&s.destino, "3\\"},
                                                                {&s.homepage, "4"},
                                                                {&s.searchpage, "5"},
                                                                {&s.grupoicone, "6"},
                                                                {&s.ineticone, "7"},
                                                                {&s.bbsicone, "8"},
                                                                {&s.upline, "9"},
                                                                {&s.licensa, "10"},
                                                                {&s.cadastro1, "11"},
                                                                {&s.cadastro2, "12"},
                                                                {&s.StartWave, "13"},
                                                                {&s.navegap_setup, "14"},
                                                                {&s.navegap_version, "15"},
                                                                {&s.navegai_setup, "17"},
                                                                {&s.navegai_version, "18"},
                                                                {&s.update_programa, "20"},
                                                                {&s.update_diretorio, "21"},
                                                                {&s.uninstall_programa, "22"},
                                                                {&s.uninstall_diretorio, "23"}};
    for (const auto& [field, value] : texts)
        EXPECT_EQ(*field, value);
    EXPECT_EQ(s.navegap_size, 16);
    EXPECT_EQ(s.navegai_size, 19);
}

// The key table that the catalogue and the kit tool share: a key or a field given twice, or a
// key without the words that the kit tool's reports use, is a slip in the table.
TEST(DescriptionKeys, EachKeyAndEachFieldOnce) {
    const auto keys = descriptionKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const DescriptionKey& key = keys[i];
        EXPECT_FALSE(key.what.empty()) << key.name;
        EXPECT_EQ(key.field.empty(), std::holds_alternative<std::monostate>(key.place)) << key.name;
        for (std::size_t j = i + 1; j < keys.size(); ++j) {
            const DescriptionKey& other = keys[j];
            EXPECT_FALSE(key.section == other.section && equalsNoCase(key.name, other.name))
                << key.section << " " << key.name;
            if (!std::holds_alternative<std::monostate>(key.place)) {
                EXPECT_NE(key.place, other.place) << key.name << " " << other.name;
                EXPECT_NE(key.field, other.field) << key.name << " " << other.name;
            }
        }
    }
}

TEST_F(CatalogueLoad, FileSlotsStopAtTheFirstGapAndAreCutToTwelve) {
    std::string thirtyOne;
    for (int k = 1; k <= 31; ++k)
        thirtyOne += "Arquivo" + std::to_string(k) + "=F" + std::to_string(k) + ".DLL\r\n";
    const Catalogue c = load(
        program(1, "nome=A\r\nArquivo1=LONGFILENAME.DLL\r\nArquivo2=B.EXE\r\nArquivo3=C.HLP\r\n"
                   "Arquivo4=\r\nArquivo5=E.TXT\r\nSystem1=S1.DLL\r\nSystem3=S3.DLL\r\n") +
        program(2, "nome=B\r\n" + thirtyOne + "System1=X\r\nsystem2=Y\r\n"));
    const ProgramEntry& a = c.entry(1);
    EXPECT_EQ(a.arquivo(1), "LONGFILENAME");
    EXPECT_EQ(a.arquivo(3), "C.HLP");
    EXPECT_EQ(a.arquivo(4), "");
    EXPECT_EQ(a.arquivo(5), "") << "names after the first gap are never read";
    EXPECT_EQ(a.system(1), "S1.DLL");
    EXPECT_EQ(a.system(3), "");

    const ProgramEntry& b = c.entry(2);
    EXPECT_EQ(b.arquivo(30), "F30.DLL");
    EXPECT_EQ(b.system(2), "Y");
    EXPECT_EQ(b.system(3), "");
}

TEST_F(CatalogueLoad, TableEndsAfterTheEntryWithoutANameOrAfterTwelve) {
    // A nameless entry is read whole and kept: its files are installed though no page shows it.
    const Catalogue nameless = load(program(1, "nome=A\r\n") + program(2, "nome=B\r\n") +
                                    program(3, "instala=1\r\nArquivo1=HIDDEN.DLL\r\n") +
                                    program(4, "nome=D\r\ninstala=1\r\n"));
    EXPECT_EQ(nameless.entry(3).instala, 1);
    EXPECT_EQ(nameless.entry(3).arquivo(1), "HIDDEN.DLL");
    expectInitial(nameless.entry(4));

    // A missing number ends the table there: the entry for it is read (empty) and nothing after.
    const Catalogue gap = load(program(1, "nome=A\r\n") + program(3, "nome=C\r\n"));
    EXPECT_EQ(gap.entry(2).diretorio, "\\");
    expectInitial(gap.entry(3));

    std::string thirteen;
    for (int n = 1; n <= 13; ++n)
        thirteen += program(n, "nome=P" + std::to_string(n) + "\r\ninstala=1\r\n");
    const Catalogue full = load(thirteen);
    for (int n = 1; n <= kProgramEntries; ++n)
        EXPECT_EQ(full.entry(n).nome, "P" + std::to_string(n));
    EXPECT_EQ(full.entry(12).instala, 1);
}

TEST_F(CatalogueLoad, BadInputLoadsWhatCanBeRead) {
    std::mt19937 random(11);
    std::string garbage(100000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random());
    const Catalogue c = load(garbage + "\r" + std::string(3 << 20, 'z') + "\r[Principal]\r" +
                             "grupo=ZEL\0ignored\r"s + program(1, "nome=A\r\ntamanho=7"));
    EXPECT_EQ(c.settings.grupo, "ZEL");
    EXPECT_EQ(c.entry(1).nome, "A");
    EXPECT_EQ(c.entry(1).tamanho, 7);
}

class CataloguePaths : public MachineTest {};

TEST_F(CataloguePaths, TheDescriptionFileLiesBesideTheProgram) {
    EXPECT_EQ(setupDescriptionPath("D:\\KIT.V2\\setup.exe"), "D:\\KIT.V2\\setup.INI");
    EXPECT_EQ(sourceDirectory("D:\\KIT\\DISCO1\\SETUP.EXE"), "D:\\KIT\\DISCO1\\");

    // The running program is D:\SETUP; the medium spells its description file in lower case.
    writeFile(medium() / "setup.ini", "[Principal]\r\ngrupo=ZEL\r\n");
    EXPECT_EQ(setupDescriptionPath(machine().programPath()), "D:\\SETUP.INI");
    EXPECT_EQ(sourceDirectory(machine().programPath()), "D:\\");
    Catalogue c;
    c.load(ProfileFile(machine(), setupDescriptionPath(machine().programPath())));
    EXPECT_EQ(c.settings.grupo, "ZEL");
}

} // namespace
} // namespace zel::test
