// The start-up: the catalogue, the start sound, the choices the kit and the registry propose.
#include "setup/start_up.h"
#include "tests/support/fixtures.h"
#include "winemu/registry.h"

#include <gtest/gtest.h>

#include <sstream>

namespace zel::test {
namespace {

// The program table, one line an entry ("nome|instala|tamanho|diretorio|criadir|files|system
// files", each file as "slot=name "), without the entries never read at its end.
std::string tableText(const Catalogue& c) {
    std::string out;
    for (int n = 1; n <= kProgramEntries; ++n) {
        const ProgramEntry& e = c.entry(n);
        out += e.nome + "|" + std::to_string(e.instala) + "|" + std::to_string(e.tamanho) + "|" +
               e.diretorio + "|" + std::to_string(e.criadir);
        for (const FileList* list : {&e.Arquivo, &e.System}) {
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

TEST(Catalogue, TheProgramTableAndItsFileLists) {
    std::string thirteen, twelve, thirtyOne, thirty;
    for (int n = 1; n <= 13; ++n) {
        thirteen += "[Programa" + std::to_string(n) + "]\nnome=P" + std::to_string(n) + "\n";
        twelve += n <= 12 ? "P" + std::to_string(n) + "|0|0|\\|0||\n" : "";
    }
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
         "A|0|0|\\|0||\n|1|0|\\|0|1=HIDDEN.DLL |\n"},
        {thirteen, twelve}};
    TempDir tmp;
    for (const auto& [ini, table] : rows) {
        writeFile(tmp / "SETUP.INI", ini);
        Catalogue c;
        c.load(ProfileFile::atHostPath(tmp / "SETUP.INI"));
        EXPECT_EQ(tableText(c), table) << ini;
    }
    EXPECT_EQ(setupDescriptionPath("D:\\KIT.V2\\setup.exe"), "D:\\KIT.V2\\setup.INI");
    EXPECT_EQ(sourceDirectory("D:\\KIT\\SETUP.EXE") + sourceDirectory("D:SETUP") +
                  sourceDirectory("SETUP"),
              "D:\\KIT\\D:\\");
}

class StartUpTest : public MachineTest {
protected:
    // "#" writes a number.
    void write(const char* key, const char* name, const std::string& text) {
        if (text != "#")
            return writeRegistry(key, name, text);
        Registry registry(machine().registryFile());
        ASSERT_TRUE(registry.openKey(key, true));
        registry.writeValue(name, RegType::DWord, {2, 0, 0, 0});
    }
    Choices startUp() {
        Files files(machine());
        return zel::startUp(files, sound, catalogue);
    }
    // The modem proposed, as "port|init|dial" ("-" for no port).
    std::string proposal(const ModemSettings& modem) {
        return (modem.port ? std::to_string(*modem.port) : "-") + "|" + modem.initCommand + "|" +
               modem.dialCommand;
    }
    std::string proposal() { return proposal(proposedModem(machine())); }
    const char* kModem = "System\\CurrentControlSet\\Services\\Class\\Modem\\0000";
    const char* kInit = "System\\CurrentControlSet\\Services\\Class\\Modem\\0000\\Settings\\Init";

    Catalogue catalogue;
    RecordingSound sound;
};

TEST_F(StartUpTest, ReadsTheKitBesideTheProgramAndStartsItsSound) {
    // The program is D:\SETUP; the medium spells its description in lower case.
    writeFile(medium() / "setup.ini", "[Principal]\ndestino=C:\\KIT\nStartWave=SOM\\A.WAV\n"
                                      "[Programa1]\nnome=A\ninstala=1\n[Programa2]\nnome=B\n"
                                      "[Programa3]\nnome=C\ninstala=1\n");
    const Choices choices = startUp();
    EXPECT_EQ(sound.played, std::vector<std::string>{"D:\\SOM\\A.WAV"});
    EXPECT_TRUE(choices.installs(1) && !choices.installs(2) && choices.installs(3));
    EXPECT_EQ(catalogue.settings.destino, "C:\\KIT\\"); // the kit's own stays as it is
    // Without a description: no sound, and "erro!\" goes under Program Files like any text.
    fs::remove(medium() / "setup.ini");
    sound.played.clear();
    EXPECT_EQ(startUp().destination, "C:\\Program Filesro!\\");
    EXPECT_TRUE(sound.played.empty());
    // A directory with a drive replaces the destination's drive; one without goes in front.
    EXPECT_EQ(underProgramFiles("C:\\KIT\\", "D:\\P") + "|" +
                  underProgramFiles("C:\\KIT\\", "\\P") + "|" + underProgramFiles("C:\\KIT\\", "") +
                  "|" + underProgramFiles("\\", "C:\\P") + "|" + underProgramFiles("", "E:"),
              "D:\\P\\KIT\\|\\PC:\\KIT\\|C:\\KIT\\|C:\\P|E:");
}

TEST_F(StartUpTest, TheModemThatTheRegistryProposes) {
    EXPECT_EQ(proposal(), "-||ATDP5550100") << "no modem at all";
    // Only the fourth character of AttachedTo (# a number, which is no text) gives the port.
    std::istringstream rows("COM1 0\nCOM2 1\nCOM4 3\nCOM5 -\nCOM3: 2\nCOM10 0\nLPT1 0\nCOM0 -\n"
                            "COMX -\nCOM -\n# -\n -");
    write(kInit, "1", "ATZ");
    for (std::string attachedTo, port;
         std::getline(rows, attachedTo, ' ') && std::getline(rows, port);) {
        write(kModem, "AttachedTo", attachedTo);
        EXPECT_EQ(proposal(), port + "|ATZ|ATDP5550100") << attachedTo;
    }
    write(kModem, "AttachedTo", "COM3");
    write(kInit, "1", "#");
    EXPECT_EQ(proposal(), "2||ATDP5550100");
    write(kInit, "1", "AT&F");
    EXPECT_EQ(proposal(startUp().modem), "2|AT&F|ATDP5550100");
    fs::remove(machine().registryFile());
    makeMachine();
    write(kInit, "2", "ATE0");
    EXPECT_EQ(proposal(), "-||ATDP5550100") << "the key without its value \"1\"";
    // A registry that refuses full access proposes nothing but the dial command.
    write(kModem, "AttachedTo", "COM2");
    write(kInit, "1", "AT&F");
    fs::permissions(machine().registryFile(), fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(proposal(), "-||ATDP5550100");
}

} // namespace
} // namespace zel::test
