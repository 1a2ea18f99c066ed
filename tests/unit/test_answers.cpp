// The answers file of an unattended run, the installation log and the uninstall's journal.
#include "setup/answers.h"
#include "tests/support/fixtures.h"
#include "winemu/errors.h"
#include "winemu/journal_reader.h"
#include "winemu/journal_writer.h"
#include "winemu/log_file.h"

#include <gmock/gmock.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace zel::test {
namespace {

using testing::StrEq;
using testing::ThrowsMessage;

using K = InstallEvent::Kind;

InstallEvent event(K kind, std::string path, std::string host = {}, bool ok = true) {
    InstallEvent e{kind};
    e.path = e.target = std::move(path);
    e.host = std::move(host);
    e.ok = ok;
    return e;
}

Catalogue threePrograms() {
    Catalogue catalogue;
    for (int n = 1; n <= 3; ++n)
        catalogue.entry(n).name = "P" + std::to_string(n);
    catalogue.entry(12).preselected = true; // not shown: keeps the kit's selection
    catalogue.settings.suggestedPassword = "zel1996";
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

// Read back onto a proposal; a nameless entry the kit ticks is kept when left out.
TEST(Answers, SavedChoicesReadBackTheSame) {
    TempDir tmp;
    Catalogue kit = threePrograms();
    kit.entry(6).preselected = true;
    kit.entry(kShownPrograms).name = "P10"; // the last on the custom page
    Choices proposed;
    proposed.destination = "C:\\ZEL\\";
    proposed.modem = {1, "AT&F", "ATDP5550100"};
    proposed.programs = {true, true, true, false, false, true};
    proposed.programs[11] = true;
    Choices custom = proposed;
    custom.installation = InstallationType::Custom;
    custom.destination = " C:\\Acesso ZEL\\";
    custom.programs = {true, false, false, false, false, true};
    custom.programs[11] = true; // the kit's, beyond the page
    custom.browser = Browser::Second;
    custom.modem = {1, "AT&F\r\nE0", "ATDT12"};
    EXPECT_EQ(formatAnswers(custom),
              "; Respostas de uma instala\xc3\xa7\xc3\xa3o, para repeti-la com\r\n"
              "; SETUP --answers ARQUIVO\r\n[Respostas]\r\ntipo=personalizada\r\n"
              "destino=\" C:\\Acesso ZEL\\\"\r\nprogramas=1,6\r\nnavegador=2\r\nporta=COM2\r\n"
              "modem_inicializacao=AT&F  E0\r\nmodem_discagem=ATDT12\r\n"
              "espaco_insuficiente=recusar\r\n"
              "; O cadastro n\xc3\xa3o \xc3\xa9 guardado: para imprimi-lo, preencha nome, "
              "telefone_comercial,\r\n; cartao_numero etc. e impressao_pdf.\r\n");
    custom.modem = {2, "AT", "ATD"};
    Choices odd = custom;
    odd.destination = " C:\\Acesso \"ZEL\"\\"; // blanks and quotes survive
    odd.programs = {false, true, true, false, false, true};
    odd.programs[9] = odd.programs[11] = true;
    odd.browser = Browser::None;
    odd.modem = {std::nullopt, "AT\xc7", ""}; // no port: the proposal stays
    odd.continueShortOfSpace = true;
    for (const Choices& saved : {proposed, custom, odd}) {
        writeFile(tmp / "a.ini", formatAnswers(saved));
        Choices replayed = proposed;
        replayed.modem.port = saved.modem.port ? std::optional<int>(3) : std::nullopt;
        applyAnswers(readAnswers((tmp / "a.ini").string(), kit), replayed);
        Choices expected = saved;
        if (saved.modem.initCommand.empty() || saved.modem.dialCommand.empty())
            expected.modem.initCommand = expected.modem.dialCommand = ""; // unused alone
        EXPECT_EQ(describe(replayed), describe(expected));
    }
    writeFile(tmp / "a.ini", "[Respostas]\nprogramas=1\n"); // the nameless entry left out: kept
    Choices replayed = proposed;
    applyAnswers(readAnswers((tmp / "a.ini").string(), kit), replayed);
    EXPECT_EQ(replayed.programs, custom.programs);
}

// Each wrong answer, repeated key or section refused by name and line; other sections unread.
TEST(Answers, WrongAnswersAndHugeFilesAreRefused) {
    TempDir tmp;
    const std::string wrong = "Resposta inv\xe1lida em [Respostas] ",
                      again = " (a primeira est\xe1 na linha 4)";
    // clang-format off
    const std::pair<const char*, std::string> rows[] = {
        {"tipo=rapida", wrong + "tipo=rapida: use tipica ou personalizada"},
        {"navegador=3", wrong + "navegador=3: use 1, 2 ou nenhum"},
        {"porta=COM0", wrong + "porta=COM0: use COM1, COM2, COM3 ou COM4"},
        {"espaco_insuficiente=sim", wrong + "espaco_insuficiente=sim: use continuar ou recusar"},
        {"destinos=C:\\", "Chave desconhecida em [Respostas]: destinos"},
        {"porta=COM1\nnome=Ana\nPORTA=COM2", "A chave PORTA aparece de novo em [Respostas] na linha 6" + again},
        {"tipo=tipica\n[respostas]\nporta=COM2", "A se\xe7\xe3o [Respostas] aparece de novo na linha 5 (a primeira est\xe1 na linha 3)"},
    };
    // clang-format on
    for (const auto& [lines, error] : rows) {
        writeFile(tmp / "a.ini", std::string("[Outra]\nporta=1\n[Respostas]\n") + lines + "\n");
        EXPECT_THAT([&] { readAnswers((tmp / "a.ini").string(), threePrograms()); },
                    ThrowsMessage<WrongAnswer>(StrEq(error)))
            << lines;
    }
    writeFile(tmp / "b.ini", "[Respostas]\nnome=Ana\n"); // the page's password proposed
    EXPECT_EQ(readAnswers((tmp / "b.ini").string(), threePrograms()).registration->password,
              "zel1996");
    // Only a regular file is read, its size known first: a huge file is refused unread.
    const std::string name = (tmp / "c.ini").string();
    writeFile(name, "[Respostas]\n" + std::string((1 << 20) - 13, ';') + "\n");
    EXPECT_NO_THROW(readAnswers(name, threePrograms())); // just fits
    for (const std::uintmax_t size : {(1ull << 20) + 1, 3ull << 30}) {
        fs::resize_file(name, size);
        EXPECT_THAT([&] { readAnswers(name, threePrograms()); },
                    ThrowsMessage<UnreadableAnswers>(
                        StrEq("O arquivo de respostas " + name + " \xe9 grande demais")));
    }
}

// A file the user names may be used ("" if so); saved whole and private, also through a link.
TEST(Answers, UserFilesMustBeRegularOrNewAndAreSavedForTheirOwnerAlone) {
    TempDir tmp;
    const fs::path file = tmp / "a.ini", target = tmp / "file";
    writeFile(target, "old");
    ::chmod(target.c_str(), 0644);
    fs::create_symlink(target, tmp / "link");
    const auto at = [&](const char* name) { return (tmp / name).string(); };
    ASSERT_EQ(::mknod(at("disk").c_str(), S_IFBLK | 0600, makedev(7, 0)), 0); // as root
    const std::string notRegular = " n\xe3o \xe9 um arquivo comum (\xe9 ";
    // clang-format off
    const std::tuple<std::string, FileUse, std::string> rows[] = {
        {at("file"), FileUse::WriteNoLink, ""}, {at("new"), FileUse::WriteNoLink, ""},
        {at("link"), FileUse::Write, ""},       {at("file"), FileUse::Read, ""},
        {at("link"), FileUse::WriteNoLink, at("link") + notRegular + "um link simb\xf3lico)"},
        {at("disk"), FileUse::Read, at("disk") + notRegular + "um dispositivo)"},
        {at("none"), FileUse::Read, "N\xe3o foi poss\xedvel ler " + at("none") + " (arquivo ou pasta inexistente)"},
    };
    // clang-format on
    for (const auto& [path, use, problem] : rows)
        EXPECT_EQ(userFileProblem(path, use).value_or(""), problem) << path;
    for (const auto& [path, written] :
         {std::pair{file, file}, {file, file}, {tmp / "link", target}}) {
        writePrivateFile(path.string(), "[Respostas]\r\n");
        EXPECT_EQ(readFile(written) + std::to_string(modeOf(written)), "[Respostas]\r\n384")
            << path;
    }
    // A log that may not be opened, even by root, is told by its error, not by what it is.
    EXPECT_THAT([] { LogFile("/proc/sys/kernel/osrelease"); },
                testing::Throws<LogFileError>(testing::Field(&LogFileError::error, EACCES)));
}

// Only what an undo needs is kept, privately; a torn last line is dropped, a non-journal refused.
TEST(InstallJournal, KeepsWhatIsReplacedReadsBackOnlyWholeRecordsAndStopsOutsideTheMachine) {
    TempDir tmp;
    const fs::path file = tmp / "A.DLL";
    writeFile(file, "old bytes");
    ::chmod(file.c_str(), 0640);
    fs::create_directory(tmp / "prefix");
    InstallJournal journal(tmp / "prefix");
    {
        JournalSubscription subscribed(journal);
        // A copy that failed, and a deletion that did not happen, keep nothing.
        report(event(K::FileReplacing, "C:\\A.DLL", file.string()));
        report(event(K::FileCopied, "C:\\A.DLL", file.string(), false));
        EXPECT_FALSE(fs::exists(keptDirectory(journal.file()) / "1"));
        report(event(K::FileReplacing, "C:\\A.DLL", file.string()));
        report(event(K::DirectoryCreated, "C:\\NOT", "", false));
        InstallEvent value = event(K::RegistryValue, (tmp / "prefix" / "system.reg").string());
        value.section = "\\K";
        value.name = "n\tame";
        value.before = value.after = "same\nline";
        report(value); // nothing changed: nothing to undo
        value.before.reset();
        report(value);
        report(event(K::Macro, "[AddItem(\"X\")]", "", false));
        report(event(K::FileReplacing, "C:\\A.DLL", file.string()));
        EXPECT_FALSE(fs::exists(keptDirectory(journal.file()) / "2"));
        ::unlink(file.c_str());
        report(event(K::FileDeleted, "C:\\A.DLL"));
    }
    ASSERT_EQ(journal.failure(), "");
    std::string records; // the deletion's third field is the file's date
    for (JournalRecord& r : readJournal(journal.file())) {
        if (r.kind == "deleted" && r.fields.size() == 4)
            r.fields[2] = "date";
        records += r.kind + "|" + ::testing::PrintToString(r.fields) + "\n";
    }
    EXPECT_EQ(records,
              "regvalue|{ \"HKEY_LOCAL_MACHINE\", \"\\\\K\", \"n\\tame\", \"-\", "
              "\"=same\\nline\" }\ndeleted|{ \"C:\\\\A.DLL\", \"3\", \"date\", \"416\" }\n");
    const fs::path kept = keptDirectory(journal.file());
    EXPECT_EQ(readFile(kept / "3") + " " +
                  std::to_string(modeOf(journalDirectory(tmp / "prefix"))) + " " +
                  std::to_string(modeOf(kept)) + " " + std::to_string(modeOf(journal.file())) +
                  " " + std::to_string(modeOf(kept / "3")),
              "old bytes 448 448 384 384"); // 0700 and 0600

    writeFile(journal.file(), readFile(journal.file()) + "created\tC:\\HALF");
    EXPECT_EQ(readJournal(journal.file()).size(), 2u);
    // Stopped before its header reached the disk: no records; anything else is no journal.
    for (const char* text : {"zel-jour", "zel-journal\t2"}) {
        writeFile(journal.file(), text);
        EXPECT_TRUE(readJournal(journal.file()).empty()) << text;
    }
    for (const char* text : {"zel-journal\t3\n", "zel-x"}) {
        writeFile(journal.file(), text);
        EXPECT_THROW(readJournal(journal.file()), PlatformError) << text;
    }
    // A change outside the machine stops the journal rather than name a host file.
    for (const bool registry : {true, false}) {
        TempDir dir;
        fs::create_directory(dir / "prefix");
        InstallJournal stopped(dir / "prefix");
        {
            JournalSubscription subscribed(stopped);
            InstallEvent change =
                event(registry ? K::RegistryValue : K::ProfileKey,
                      (dir / "prefix" / (registry ? "other.reg" : "x.ini")).string());
            if (registry)
                change.after = "x";
            else
                change.host = change.path;
            report(change);
            report(event(K::DirectoryCreated, "C:\\LATER"));
        }
        EXPECT_NE(stopped.failure(), "") << registry;
        EXPECT_TRUE(stopped.file().empty() || readJournal(stopped.file()).empty()) << registry;
    }
    const auto fds = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
    const FileDescriptor input(::dup(0)); // closed, so that the journal's file may be fd 0
    ::close(0);
    const auto before = fds();
    {
        InstallJournal closing(tmp / "prefix");
        JournalSubscription subscribed(closing);
        report(event(K::DirectoryCreated, "C:\\NEW"));
        report(event(K::DirectoryCreated, "C:\\NEWER"));
        EXPECT_EQ(fds(), before + 1);
    }
    EXPECT_EQ(fds(), before); // its descriptor goes with it
    ::dup2(input.get(), 0);
}

} // namespace
} // namespace zel::test
