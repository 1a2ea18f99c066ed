// The start-up (the catalogue, the choices proposed), the space check and the registration form.
#include "setup/catalogue.h"
#include "setup/disk_space.h"
#include "setup/registration.h"
#include "setup/start_up.h"
#include "tests/support/fixtures.h"

#include <limits>
#include <sstream>

namespace zel::test {
namespace {

// "nome|instala|tamanho|diretorio|criadir|slot=file ...|slot=system file ..." an entry.
std::string tableText(const Catalogue& c) {
    std::string out;
    for (int n = 1; n <= kProgramEntries; ++n) {
        const ProgramEntry& e = c.entry(n);
        out += e.name + "|" + std::to_string(e.preselected) + "|" + std::to_string(e.sizeKb) + "|" +
               e.directory + "|" + std::to_string(e.ownDirectory);
        for (const FileList* list : {&e.files, &e.systemFiles}) {
            out += "|";
            for (int k = 1; k <= kFileSlots; ++k)
                if (const std::string& name = (*list)[std::size_t(k - 1)]; !name.empty())
                    out += std::to_string(k) + "=" + name + " ";
        }
        out += "\n";
    }
    while (out.ends_with("\n|0|0||0||\n"))
        out.resize(out.size() - 10);
    return out;
}

TEST(Catalogue, TheProgramTableItsFileListsAndTheDiskSpaceTheyNeed) {
    std::string thirtyOne, thirty;
    for (int k = 1; k <= 31; ++k) {
        thirtyOne += "System" + std::to_string(k) + "=" + std::to_string(k) + "\n";
        thirty += k <= 30 ? std::to_string(k) + "=" + std::to_string(k) + " " : "";
    }
    const std::pair<std::string, std::string> rows[] = {
        {"", "|0|0|\\|0||\n"},
        {"[Programa1]\nnome=Discador\ninstala=yes\ntamanho=$20\ndiretorio=DISC\ncriadir=2\n"
         "[Programa2]\nnome=Correio\ninstala=2\ntamanho=12k\ndiretorio=MAIL\\\ncriadir=0\n",
         "Discador|0|32|DISC\\|1||\nCorreio|1|0|MAIL\\|0||\n|0|0|\\|0||\n"},
        // File lists end at the first gap, names are cut to twelve, there are thirty slots.
        {"[Programa1]\nnome=A\nArquivo1=LONGFILENAME.DLL\nArquivo2=ABCDEFGH.EXE\nArquivo3=\n"
         "Arquivo4=D.TXT\nSystem2=S2.DLL\n[Programa2]\nnome=B\n" +
             thirtyOne,
         "A|0|0|\\|0|1=LONGFILENAME 2=ABCDEFGH.EXE |\nB|0|0|\\|0||" + thirty + "\n|0|0|\\|0||\n"},
        // The first entry without a name ends the table, read whole (it installs unseen).
        {"[Programa1]\nnome=A\n[Programa2]\ninstala=1\nArquivo1=HIDDEN.DLL\n[Programa3]\nnome=C\n",
         "A|0|0|\\|0||\n|1|0|\\|0|1=HIDDEN.DLL |\n"}};
    TempDir tmp;
    for (const auto& [ini, table] : rows) {
        writeFile(tmp / "SETUP.INI", ini);
        Catalogue c;
        c.load(ProfileFile::atHostPath(tmp / "SETUP.INI"));
        EXPECT_EQ(tableText(c), table) << ini;
    }
    // Entry n takes 10n kbytes, the browsers 3000 and 4000; entries 11 and 12 never count.
    Catalogue c;
    c.settings.firstBrowserSize = 3000;
    c.settings.secondBrowserSize = 4000;
    Choices choices;
    choices.destination = "C:\\KIT\\";
    for (int n = 1; n <= kProgramEntries; ++n) {
        c.entry(n).sizeKb = 10 * n;
        choices.programs[std::size_t(n - 1)] = n == 1 || n == 3 || n >= 10;
    }
    const auto ask = [&](Browser browser, std::int64_t freeBytes) {
        choices.browser = browser;
        return spaceQuestion(c, choices, freeBytes);
    };
    EXPECT_EQ(ask(Browser::Second, 4140 * 1024), std::nullopt);
    EXPECT_EQ(ask(Browser::Second, 4140 * 1024 - 1),
              "O drive C aparenta ter apenas 4139kbytes livres.\rVoc\xea necessita de "
              "4140kbytes. Deseja continuar?");
    // The drive letter as typed; an unknown drive (-1 bytes) has 0 kbytes, enough for nothing.
    choices.destination = "d:\\kit\\";
    EXPECT_EQ(ask(Browser::First, -1), "O drive d aparenta ter apenas 0kbytes livres.\rVoc\xea "
                                       "necessita de 3140kbytes. Deseja continuar?");
    const std::int64_t max32 = std::numeric_limits<std::int32_t>::max();
    for (int n = 1; n <= 10; ++n) {
        c.entry(n).sizeKb = n == 2 ? -5000 : std::int32_t(max32); // counted as it is
        choices.programs[std::size_t(n - 1)] = true;
    }
    EXPECT_EQ(ask(Browser::Second, std::int64_t{1} << 50), // 9 * 2147483647 - 5000 + 4000
              "O drive d aparenta ter apenas 2147483647kbytes livres.\rVoc\xea necessita de "
              "19327351823kbytes. Deseja continuar?");
    // The destination's drive, its letter upper-cased; -1 for nothing.
    std::istringstream drives("A:\\ 1\na: 1\nd:\\kit\\ 4\nz: 26\n -1");
    for (std::string dest, drive; std::getline(drives, dest, ' ') && std::getline(drives, drive);)
        EXPECT_EQ(destinationDrive(dest), std::stoi(drive)) << dest;
}

class StartUpTest : public PlatformTest {
protected:
    Choices startUp() {
        Files files(machine());
        return zel::startUp(files, sound, catalogue);
    }
    std::string proposal(const ModemSettings& modem) {
        return (modem.port ? std::to_string(*modem.port) : "-") + "|" + modem.initCommand + "|" +
               modem.dialCommand;
    }
    std::string proposal() { return proposal(proposedModem(machine())); }
};

TEST_F(StartUpTest, ReadsTheKitBesideTheProgramStartsItsSoundAndProposesTheModem) {
    // The program is D:\SETUP; the medium spells its description in lower case.
    std::string kit = "[Principal]\ndestino=C:\\KIT\nStartWave=SOM\\A.WAV\n";
    for (int n = 1; n <= kProgramEntries; ++n) // every entry named: the last one is read too
        kit += "[Programa" + std::to_string(n) + "]\nnome=P\n" + (n == 12 ? "instala=1\n" : "");
    writeFile(medium() / "setup.ini", kit);
    EXPECT_TRUE(startUp().installs(12)); // the sound and the rest: the wizard's forms
    EXPECT_EQ(catalogue.settings.destination, "C:\\KIT\\"); // the kit's own stays as it is
    // Without a description: no sound, and "erro!\" goes under Program Files like any text.
    fs::remove(medium() / "setup.ini");
    EXPECT_EQ(startUp().destination, "C:\\Program Filesro!\\");
    EXPECT_EQ(sound.played.size(), 1u); // the first start's alone
    // A directory with a drive replaces the destination's drive; one without goes in front.
    EXPECT_EQ(underProgramFiles("C:\\KIT\\", "D:\\P") + "|" +
                  underProgramFiles("C:\\KIT\\", "\\P") + "|" + underProgramFiles("C:\\KIT\\", "") +
                  "|" + underProgramFiles("\\", "C:\\P") + "|" + underProgramFiles("", "E:"),
              "D:\\P\\KIT\\|\\PC:\\KIT\\|C:\\KIT\\|C:\\P|E:");
    EXPECT_EQ(proposal(), "-||ATDP5550100") << "no modem at all";
    // Only the fourth character of AttachedTo gives the port.
    std::istringstream rows("COM1 0\nCOM2 1\nCOM4 3\nCOM3: 2\nCOM10 0");
    writeRegistry(kModemInitKey, "1", "ATZ");
    for (std::string attachedTo, port;
         std::getline(rows, attachedTo, ' ') && std::getline(rows, port);) {
        writeRegistry(kModemKey, "AttachedTo", attachedTo);
        EXPECT_EQ(proposal(), port + "|ATZ|ATDP5550100") << attachedTo;
    }
    writeRegistry(kModemKey, "AttachedTo", "COM3");
    writeRegistry(kModemInitKey, "1", "AT&F");
    EXPECT_EQ(proposal(startUp().modem), "2|AT&F|ATDP5550100");
    fs::remove(machine().registryFile());
    makeMachine();
    writeRegistry(kModemInitKey, "2", "ATE0");
    EXPECT_EQ(proposal(), "-||ATDP5550100") << "the key without its value \"1\"";
}

// The printout as the printer receives it (an error's abort: the registration page's test).
TEST(Registration, ThePrintoutAsThePrinterReceivesIt) {
    RegistrationForm form;
    std::istringstream texts("Jo\xe3o da Silva|Rua A|12|34|Centro|S\xe3o Paulo|SP|01000-000|"
                             "01/02/70|Engenheiro|555-0101|555-0102|JOAO SILVA|4111 1111|12/99|"
                             "senha123");
    for (const auto field : kRegistrationFields)
        std::getline(texts, form.*field, '|');
    form.cardBrand = "Diners Club";
    RecordingPrinter printer;
    printRegistration(printer, form);
    EXPECT_EQ(
        joined(printer.calls),
        "begin\nfont Courier New 14 u\ntext 0,0 Enviar via FAX para: 011-555-0190\n"
        "font Courier New 12\ntext 0,152 Nome     :Jo\xe3o da Silva\n"
        "text 0,272 Endere\xe7o :Rua A, 12 - apto.34\ntext 0,392 Compl.   :Centro\n"
        "text 0,512 Cidade   :S\xe3o Paulo  UF:SP\n"
        "text 0,632 CEP      :01000-000  Data de nasc.:01/02/70\n"
        "text 0,752 Profiss\xe3o:Engenheiro\ntext 0,872 Fone Res.:555-0101  Fone Com.:555-0102\n"
        "text 0,1004 Cart\xe3o     :Diners Club\ntext 0,1124 Nome       :JOAO SILVA\n"
        "text 0,1244 N\xfamero     :4111 1111\ntext 0,1364 Validade   :12/99\n"
        "text 0,1484  Senha de Acesso:senha123\nend\n");
}

} // namespace
} // namespace zel::test
