// The answers file of an unattended run (read back as saved, wrong answers refused) and the
// installation log's file.
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
    for (int n = 1; n <= 3; ++n)
        catalogue.entry(n).nome = "P" + std::to_string(n);
    catalogue.entry(11).instala = 1; // not shown: keeps the kit's selection
    catalogue.settings.upline = "zel1996";
    return catalogue;
}

std::string describe(const Choices& c) {
    std::string text = std::to_string(int(c.installation)) + "|" + c.destination + "|";
    for (int n = 1; n <= kProgramEntries; ++n)
        text += c.installs(n) ? '1' : '0';
    return text + "|" + std::to_string(int(c.browser)) + "|" +
           std::to_string(c.modem.port.value_or(-1)) + "|" + c.modem.initCommand + "|" +
           c.modem.dialCommand + "|" + std::to_string(c.continueShortOfSpace);
}

// Written as --save-answers writes them and read back onto what a fresh start proposes.
TEST(Answers, SavedChoicesReadBackTheSame) {
    TempDir tmp;
    Choices proposed;
    proposed.destination = "C:\\ZEL\\";
    proposed.modem = {1, "AT&F", "ATDP5550100"};
    proposed.programs[10] = true;
    Choices custom = proposed;
    custom.installation = InstallationType::Custom;
    custom.destination = " C:\\Acesso \"ZEL\"\\"; // a leading blank and quotes survive
    custom.programs = {false, true, true};
    custom.browser = Browser::None;
    custom.modem = {std::nullopt, "AT\xc7", ""}; // no port: the proposal stays
    custom.continueShortOfSpace = true;
    for (const Choices& saved : {proposed, custom}) {
        SCOPED_TRACE(describe(saved));
        writeFile(tmp / "a.ini", formatAnswers(saved));
        Choices replayed = proposed;
        replayed.modem.port = saved.modem.port ? std::optional<int>(3) : std::nullopt;
        applyAnswers(readAnswers((tmp / "a.ini").string(), threePrograms()), replayed);
        Choices expected = saved;
        expected.programs[10] = true;
        EXPECT_EQ(describe(replayed), describe(expected));
    }
}

TEST(Answers, WrongAnswersAreRefusedByName) {
    TempDir tmp;
    const std::string wrong = "Resposta inv\xe1lida em [Respostas] ";
    const std::pair<const char*, std::string> rows[] = {
        {"tipo=rapida", wrong + "tipo=rapida: use tipica ou personalizada"},
        {"programas=11", wrong + "programas=11: o programa 11 n\xe3o existe neste kit "
                                 "(programas de 1 a 10 com nome)"},
        {"navegador=3", wrong + "navegador=3: use 1, 2 ou nenhum"},
        {"porta=COM0", wrong + "porta=COM0: use COM1, COM2, COM3 ou COM4"},
        {"espaco_insuficiente=sim", wrong + "espaco_insuficiente=sim: use continuar ou recusar"},
        {"destinos=C:\\", "Chave desconhecida em [Respostas]: destinos"},
    };
    for (const auto& [line, error] : rows) {
        SCOPED_TRACE(line);
        writeFile(tmp / "a.ini", std::string("[Outra]\nxyz=1\n[Respostas]\n") + line + "\n");
        try {
            readAnswers((tmp / "a.ini").string(), threePrograms());
            ADD_FAILURE() << "taken";
        } catch (const WrongAnswer& e) {
            EXPECT_EQ(e.what(), error);
        }
    }
    writeFile(tmp / "b.ini", "[Respostas]\nnome=Ana\n"); // the page's password proposed
    EXPECT_EQ(readAnswers((tmp / "b.ini").string(), threePrograms()).registration->password,
              "zel1996");
    EXPECT_THROW(readAnswers((tmp / "none.ini").string(), threePrograms()), UnreadableAnswers);
    EXPECT_THROW(readAnswers(tmp.path().string(), threePrograms()), UnreadableAnswers);
}

// Appended by each subscriber while subscribed; for its owner alone; never through a link;
// a value cannot fake a line.
TEST(Journal, LogFileAppendsEachChangeWhileSubscribed) {
    TempDir tmp;
    const std::string path = (tmp / "install.log").string();
    InstallEvent key(InstallEvent::Kind::ProfileKey), copy(InstallEvent::Kind::FileCopied);
    key.path = "C:\\WINDOWS\\zelun.ini";
    key.section = "ZEL";
    key.name = "dir";
    key.after = "C:\\ZEL\\\r\nforged \xe7";
    copy.path = "D:\\A";
    copy.target = "C:\\A";
    copy.ok = false;
    for (const InstallEvent* event : {&key, &copy}) {
        LogFile log(path);
        JournalSubscription subscribed(log);
        report(*event);
    }
    report(key); // nobody listens any more
    EXPECT_EQ(readFile(path), "profile C:\\WINDOWS\\zelun.ini [ZEL] dir = "
                              "\"C:\\ZEL\\\\x0D\\x0Aforged \xc3\xa7\" (was (none))\n"
                              "copy D:\\A -> C:\\A FAILED\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    fs::create_symlink(path, tmp / "link.log");
    EXPECT_THROW(LogFile((tmp / "link.log").string()), PlatformError);
}

} // namespace
} // namespace zel::test
