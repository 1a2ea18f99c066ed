// The wizard's start-up: the catalogue read from the setup description file, the start sound,
// and the choices the pages begin with as the kit and the machine's registry propose them.
#include "setup/start_up.h"
#include "tests/support/fixtures.h"
#include "winemu/registry.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace zel::test {
namespace {

using namespace std::string_literals;

Catalogue load(const TempDir& tmp, std::string_view content) {
    writeFile(tmp / "SETUP.INI", content);
    Catalogue c;
    c.load(ProfileFile::atHostPath(tmp / "SETUP.INI"));
    return c;
}

// The settings' values in the order of the description's keys.
std::string settingsText(const SetupSettings& s) {
    std::string out;
    for (const DescriptionKey& key : descriptionKeys()) {
        if (const auto text = fieldOf<SetupSettings, std::string>(key))
            out += s.*text + "|";
        else if (const auto number = fieldOf<SetupSettings, std::int32_t>(key))
            out += std::to_string(s.*number) + "|";
    }
    return out;
}

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

TEST(Catalogue, EachGlobalKeyLandsInItsOwnFieldOrItsDefault) {
    TempDir tmp;
    Catalogue c;
    c.load(ProfileFile::atHostPath(tmp / "absent.ini"));
    EXPECT_EQ(settingsText(c.settings), "erro!|erro!|erro!\\|erro!|erro!|erro!|erro!|erro!||erro!|"
                                        "erro!|erro!|erro!||erro!|||erro!|erro!|0|erro!|erro!|0|");
    EXPECT_EQ(tableText(c), "|0|0|\\|0||\n"); // the entry that ends the table is read
    c = load(tmp,
             "[principal]\r\nversao=1\r\ngrupo=2\r\ndestino=3\r\nhomepage=4\r\nsearchpage=5\r\n"
             "grupoicone=6\r\nineticone=7\r\nbbsicone=8\r\nupline=9\r\nlicensa=10\r\n"
             "cadastro1=11\r\ncadastro2=12\r\nStartWave=13\r\nnavegap_setup=14\r\n"
             "navegap_version=15\r\nnavegap_size=16\r\nnavegai_setup=17\r\n"
             "navegai_version=18\r\nnavegai_size=0x13\r\n[Update]\r\nprograma=20\r\n"
             "diretorio=21\r\n[Uninstall]\r\nprograma=22\r\ndiretorio=23\r\n");
    EXPECT_EQ(settingsText(c.settings),
              "1|2|3\\|4|5|6|7|8|9|20|21|22|23|13|10|11|12|14|15|16|17|18|19|");
}

TEST(Catalogue, TheProgramTableAndItsFileLists) {
    std::string thirteen, twelve, thirtyOne, thirty;
    for (int n = 1; n <= 13; ++n)
        thirteen += "[Programa" + std::to_string(n) + "]\r\nnome=P" + std::to_string(n) + "\r\n";
    for (int n = 1; n <= 12; ++n)
        twelve += "P" + std::to_string(n) + "|0|0|\\|0||\n";
    for (int k = 1; k <= 31; ++k)
        thirtyOne += "System" + std::to_string(k) + "=" + std::to_string(k) + "\r\n";
    for (int k = 1; k <= 30; ++k)
        thirty += std::to_string(k) + "=" + std::to_string(k) + " ";
    const struct {
        const char* name;
        std::string ini, table;
    } rows[] = {
        {"values, the integer rule and the directory's backslash",
         "[Programa1]\r\nnome=Discador\r\ninstala=yes\r\ntamanho=$20\r\ndiretorio=DISC\r\n"
         "criadir=2\r\n[Programa2]\r\nnome=Correio\r\ninstala=2\r\ntamanho=12k\r\n"
         "diretorio=MAIL\\\r\ncriadir=0\r\n",
         "Discador|0|32|DISC\\|1||\nCorreio|1|0|MAIL\\|0||\n|0|0|\\|0||\n"},
        {"file lists end at the first gap, names cut to twelve, thirty slots",
         "[Programa1]\r\nnome=A\r\nArquivo1=LONGFILENAME.DLL\r\nArquivo2=ABCDEFGH.EXE\r\n"
         "Arquivo3=\r\nArquivo4=D.TXT\r\nSystem2=S2.DLL\r\n[Programa2]\r\nnome=B\r\n" +
             thirtyOne,
         "A|0|0|\\|0|1=LONGFILENAME 2=ABCDEFGH.EXE |\nB|0|0|\\|0||" + thirty + "\n|0|0|\\|0||\n"},
        // The nameless entry is read whole and kept: it is installed though no page shows it.
        {"the table ends after the first entry without a name",
         "[Programa1]\r\nnome=A\r\n[Programa2]\r\ninstala=1\r\nArquivo1=HIDDEN.DLL\r\n"
         "[Programa3]\r\nnome=C\r\n",
         "A|0|0|\\|0||\n|1|0|\\|0|1=HIDDEN.DLL |\n"},
        {"a missing number ends it too", "[Programa1]\r\nnome=A\r\n[Programa3]\r\nnome=C\r\n",
         "A|0|0|\\|0||\n|0|0|\\|0||\n"},
        {"twelve entries at most", thirteen, twelve},
    };
    TempDir tmp;
    for (const auto& row : rows)
        EXPECT_EQ(tableText(load(tmp, row.ini)), row.table) << row.name;

    // Bad input loads what can be read.
    std::mt19937 random(11);
    std::string garbage(100000, '\0');
    for (char& ch : garbage)
        ch = static_cast<char>(random());
    const Catalogue c = load(tmp, garbage + "\r" + std::string(3 << 20, 'z') +
                                      "\r[Principal]\rgrupo=ZEL\0ignored\r"s +
                                      "[Programa1]\r\nnome=A\r\ntamanho=7");
    EXPECT_EQ(c.settings.grupo, "ZEL");
    EXPECT_EQ(tableText(c), "A|0|7|\\|0||\n|0|0|\\|0||\n");
}

TEST(Catalogue, TheDescriptionAndTheSourceDirectoryFromTheProgramsPath) {
    EXPECT_EQ(setupDescriptionPath("D:\\KIT.V2\\setup.exe"), "D:\\KIT.V2\\setup.INI");
    EXPECT_EQ(sourceDirectory("D:\\KIT\\DISCO1\\SETUP.EXE"), "D:\\KIT\\DISCO1\\");
    EXPECT_EQ(sourceDirectory("D:SETUP"), "D:\\");
    EXPECT_EQ(sourceDirectory("SETUP"), "");
}

constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kModem = "System\\CurrentControlSet\\Services\\Class\\Modem\\0000";
constexpr const char* kInit =
    "System\\CurrentControlSet\\Services\\Class\\Modem\\0000\\Settings\\Init";

class StartUpTest : public MachineTest {
protected:
    // A text value; "#" writes a number instead.
    void write(const char* key, const char* name, const std::string& text) {
        Registry registry(machine().registryFile());
        ASSERT_TRUE(registry.openKey(key, true));
        if (text == "#")
            registry.writeValue(name, RegType::DWord, {2, 0, 0, 0});
        else
            registry.writeString(name, text);
        registry.closeKey();
    }
    Choices startUp() {
        Files files(machine());
        catalogue = Catalogue{};
        return zel::startUp(files, sound, catalogue);
    }
    // The modem proposed, as "port|init|dial" ("-" for no port).
    static std::string text(const ModemSettings& modem) {
        return (modem.port ? std::to_string(*modem.port) : "-") + "|" + modem.initCommand + "|" +
               modem.dialCommand;
    }
    std::string proposal() { return text(proposedModem(machine())); }

    Catalogue catalogue;
    RecordingSound sound;
};

TEST_F(StartUpTest, ReadsTheKitBesideTheProgramAndStartsItsSound) {
    // The program is D:\SETUP; the medium spells its description in lower case.
    writeFile(medium() / "setup.ini", "[Principal]\r\ndestino=C:\\KIT\r\nStartWave=SOM\\A.WAV\r\n"
                                      "[Programa1]\r\nnome=Discador\r\ninstala=1\r\n"
                                      "[Programa2]\r\nnome=Correio\r\ninstala=0\r\n"
                                      "[Programa3]\r\nnome=Noticias\r\ninstala=1\r\n");
    Choices choices = startUp();
    EXPECT_EQ(sound.played, std::vector<std::string>{"D:\\SOM\\A.WAV"});
    // The typical installation, the kit's selection and destination under Program Files (the
    // registry's default), the second browser and no modem on a fresh machine.
    std::string selection;
    for (int n = 1; n <= kProgramEntries; ++n)
        selection += choices.installs(n) ? '1' : '0';
    EXPECT_EQ(selection, "101000000000");
    EXPECT_EQ(choices.installation, InstallationType::Typical);
    EXPECT_EQ(choices.destination, "C:\\Program Files\\KIT\\");
    EXPECT_EQ(catalogue.settings.destino, "C:\\KIT\\");
    EXPECT_EQ(choices.browser, Browser::Second);
    EXPECT_EQ(text(choices.modem), "-||ATDP5550100");
    // The first browser where its configuration program is.
    writeFile(driveC() / "WINDOWS" / "config.exe", "MZ");
    EXPECT_EQ(startUp().browser, Browser::First);
    // Without a description: no sound, and the marker of a missing destination takes the
    // program-files rule like any other text.
    fs::remove(medium() / "setup.ini");
    sound.played.clear();
    EXPECT_EQ(startUp().destination, "C:\\Program Filesro!\\");
    EXPECT_TRUE(sound.played.empty());
}

TEST_F(StartUpTest, TheDestinationGoesUnderTheProgramFilesDirectory) {
    writeFile(medium() / "SETUP.INI", "[Principal]\r\ndestino=C:\\KIT\\\r\n");
    // The directory (# a number, which is no directory) and the destination under it.
    std::istringstream rows(R"(C:\Program Files|C:\Program Files\KIT\
D:\Programs|D:\Programs\KIT\
\Programs|\ProgramsC:\KIT\
|C:\KIT\
#|C:\KIT\)");
    for (std::string value, expected;
         std::getline(rows, value, '|') && std::getline(rows, expected);) {
        write(kCurrentVersion, "ProgramFilesDir", value);
        EXPECT_EQ(startUp().destination, expected) << value;
    }
    writeFile(prefix / "system.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\"
                                     "Windows\\CurrentVersion]\r\n\r\n");
    makeMachine();
    EXPECT_EQ(startUp().destination, "C:\\KIT\\") << "the key without the value";
    // Short destinations lose no more than they have.
    EXPECT_EQ(underProgramFiles("\\", "C:\\P") + underProgramFiles("", "C:\\P"), "C:\\PC:\\P");
    EXPECT_EQ(underProgramFiles("C:\\KIT\\", "E:"), "E:\\KIT\\");
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
    // Each proposal stands on its own.
    write(kModem, "AttachedTo", "COM3");
    write(kInit, "1", "#");
    EXPECT_EQ(proposal(), "2||ATDP5550100");
    write(kInit, "1", "AT&F");
    EXPECT_EQ(text(startUp().modem), "2|AT&F|ATDP5550100");
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
