// The answers file of an unattended run (read, refused, written back for a replay) and the
// installation log (its lines, its file).
#include "setup/answers.h"
#include "tests/support/fixtures.h"
#include "winemu/errors.h"
#include "winemu/journal.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zel::test {
namespace {

Catalogue threePrograms() {
    Catalogue catalogue;
    for (int n = 1; n <= 3; ++n) {
        catalogue.entry(n).nome = "Programa " + std::to_string(n);
        catalogue.entry(n).instala = n == 1;
    }
    catalogue.entry(11).instala = 1; // not shown: keeps the kit's selection
    catalogue.settings.upline = "zel1996";
    return catalogue;
}

std::string describe(const Choices& c) {
    std::string programs;
    for (int n = 1; n <= kProgramEntries; ++n)
        programs += c.installs(n) ? '1' : '0';
    return std::to_string(int(c.installation)) + "|" + c.destination + "|" + programs + "|" +
           std::to_string(int(c.browser)) + "|" + std::to_string(c.modem.port.value_or(-1)) + "|" +
           c.modem.initCommand + "|" + c.modem.dialCommand + "|" +
           std::to_string(c.continueShortOfSpace) + "|" + c.registration.password;
}

// What an interactive run ended with, written as --save-answers writes it and read back onto
// the choices a fresh start proposes, is the same.
TEST(Answers, SavedChoicesReadBackTheSame) {
    TempDir tmp;
    const Catalogue catalogue = threePrograms();
    Choices proposed;
    proposed.destination = "C:\\Program Files\\ZEL\\";
    proposed.modem = {1, "AT&F", "ATDP5550100"};
    proposed.programs[10] = true;
    Choices custom = proposed;
    custom.installation = InstallationType::Custom;
    custom.destination = " C:\\Acesso \"ZEL\"\\"; // a leading blank and quotes survive
    custom.programs[0] = false;
    custom.programs[2] = true;
    custom.browser = Browser::None;
    custom.modem = {std::nullopt, "AT\xc7", ""};
    custom.continueShortOfSpace = true;
    Choices none = proposed;
    none.programs = {};
    for (const Choices& saved : {proposed, custom, none}) {
        SCOPED_TRACE(describe(saved));
        writeFile(tmp / "a.ini", formatAnswers(saved));
        Choices replayed = proposed;
        replayed.modem.port = saved.modem.port ? std::optional<int>(3) : std::nullopt;
        applyAnswers(readAnswers((tmp / "a.ini").string(), catalogue), replayed);
        Choices expected = saved;
        expected.programs[10] = true;
        EXPECT_EQ(describe(replayed), describe(expected));
    }
}

TEST(Answers, WrongAnswersAreRefusedByName) {
    TempDir tmp;
    const struct {
        const char* line;
        const char* error;
    } rows[] = {
        {"tipo=rapida",
         "Resposta inv\xe1lida em [Respostas] tipo=rapida: use tipica ou personalizada"},
        {"programas=2,4", "Resposta inv\xe1lida em [Respostas] programas=2,4: o programa 4 n\xe3o "
                          "existe neste kit (programas de 1 a 10 com nome)"},
        {"programas=11", "Resposta inv\xe1lida em [Respostas] programas=11: o programa 11 n\xe3o "
                         "existe neste kit (programas de 1 a 10 com nome)"},
        {"navegador=3", "Resposta inv\xe1lida em [Respostas] navegador=3: use 1, 2 ou nenhum"},
        {"porta=COM0",
         "Resposta inv\xe1lida em [Respostas] porta=COM0: use COM1, COM2, COM3 ou COM4"},
        {"espaco_insuficiente=sim",
         "Resposta inv\xe1lida em [Respostas] espaco_insuficiente=sim: use continuar ou recusar"},
        {"destinos=C:\\", "Chave desconhecida em [Respostas]: destinos"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        writeFile(tmp / "a.ini", std::string("[Outra]\nxyz=1\n[Respostas]\n") + row.line + "\n");
        try {
            readAnswers((tmp / "a.ini").string(), threePrograms());
            ADD_FAILURE() << "taken";
        } catch (const WrongAnswer& e) {
            EXPECT_EQ(std::string(e.what()), row.error);
        }
    }
    writeFile(tmp / "b.ini", "[Respostas]\nnome=Ana\n");
    EXPECT_EQ(readAnswers((tmp / "b.ini").string(), threePrograms()).registration->password,
              "zel1996"); // the page's proposal, as the form shows it
    EXPECT_THROW(readAnswers((tmp / "none.ini").string(), threePrograms()), UnreadableAnswers);
    EXPECT_THROW(readAnswers(tmp.path().string(), threePrograms()), UnreadableAnswers);
}

// The log: appended, line by line, by whoever subscribed while subscribed; created for its
// owner alone; never written through a link; a value cannot fake a line.
TEST(Journal, LogFileAppendsEachChangeWhileSubscribed) {
    TempDir tmp;
    const std::string path = (tmp / "install.log").string();
    InstallEvent key(InstallEvent::Kind::ProfileKey);
    key.path = "C:\\WINDOWS\\zelun.ini";
    key.section = "ZEL";
    key.name = "dir";
    key.after = "C:\\ZEL\\\r\nforged line \xe7";
    InstallEvent copy(InstallEvent::Kind::FileCopied);
    copy.path = "D:\\A";
    copy.target = "C:\\A";
    copy.ok = false;
    for (int run = 0; run < 2; ++run) {
        LogFile log(path);
        JournalSubscription subscribed(log);
        report(run == 0 ? key : copy);
    }
    report(key); // nobody listens any more
    EXPECT_EQ(readFile(path), "profile C:\\WINDOWS\\zelun.ini [ZEL] dir = "
                              "\"C:\\ZEL\\\\x0D\\x0Aforged line \xc3\xa7\" (was (none))\n"
                              "copy D:\\A -> C:\\A FAILED\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    fs::create_symlink(path, tmp / "link.log");
    EXPECT_THROW(LogFile((tmp / "link.log").string()), PlatformError);
    writePrivateFile(path, "x");
    EXPECT_EQ(readFile(path), "x");
}

} // namespace
} // namespace zel::test
