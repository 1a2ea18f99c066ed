// The answers file of an unattended run, the installation log and the uninstall's journal.
#include "setup/answers.h"
#include "tests/support/fixtures.h"
#include "winemu/errors.h"
#include "winemu/journal_reader.h"
#include "winemu/journal_writer.h"
#include "winemu/log_file.h"

#include <cctype>
#include <gmock/gmock.h>
#include <sys/stat.h>

namespace zel::test {
namespace {

using testing::StrEq;
using testing::ThrowsMessage;

unsigned modeOf(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

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
    catalogue.entry(11).preselected = true; // not shown: keeps the kit's selection
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

// Saved and read back onto a fresh start's proposal; a nameless entry the kit ticks (installed,
// not on the custom page) is listed and kept when left out, an unticked one is no answer.
TEST(Answers, SavedChoicesReadBackTheSame) {
    TempDir tmp;
    Catalogue kit = threePrograms();
    kit.entry(6).preselected = true;
    kit.entry(kShownPrograms).name = "P10"; // the last on the custom page
    Choices proposed;
    proposed.destination = "C:\\ZEL\\";
    proposed.modem = {1, "AT&F", "ATDP5550100"};
    proposed.programs = {true, true, true, false, false, true};
    proposed.programs[10] = true;
    Choices custom = proposed;
    custom.installation = InstallationType::Custom;
    custom.destination = " C:\\Acesso ZEL\\";
    custom.programs = {true, false, false, false, false, true};
    custom.programs[10] = true; // the kit's, beyond the page
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
    odd.programs[9] = odd.programs[10] = true;
    odd.browser = Browser::None;
    odd.modem = {std::nullopt, "AT\xc7", ""}; // no port: the proposal stays
    odd.continueShortOfSpace = true;
    for (const Choices& saved : {proposed, custom, odd}) {
        SCOPED_TRACE(describe(saved));
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
    writeFile(tmp / "a.ini", "[Respostas]\nprogramas=1,7\n"); // nameless, not ticked: no box
    EXPECT_THROW(readAnswers((tmp / "a.ini").string(), kit), WrongAnswer);
}

// Each wrong answer, repeated key or section refused by name and line; other sections unread.
TEST(Answers, WrongAnswersAreRefusedByName) {
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
        SCOPED_TRACE(lines);
        writeFile(tmp / "a.ini", std::string("[Outra]\nporta=1\n[Respostas]\n") + lines + "\n");
        EXPECT_THAT([&] { readAnswers((tmp / "a.ini").string(), threePrograms()); },
                    ThrowsMessage<WrongAnswer>(StrEq(error)));
    }
    writeFile(tmp / "b.ini", "[Respostas]\nnome=Ana\n"); // the page's password proposed
    EXPECT_EQ(readAnswers((tmp / "b.ini").string(), threePrograms()).registration->password,
              "zel1996");
    EXPECT_THROW(readAnswers((tmp / "none.ini").string(), threePrograms()), UnreadableAnswers);
}

// Only a regular file is read, its size known first: a huge file is refused unread.
TEST(Answers, OnlyARegularFileOfItsSizeIsRead) {
    TempDir tmp;
    const fs::path file = tmp / "a.ini";
    const std::string name = file.string(), what = "O arquivo de respostas " + name,
                      notRegular = what + " n\xe3o \xe9 um arquivo comum (\xe9 ";
    const std::pair<std::function<void()>, std::string> rows[] = {
        {[&] { fs::create_directory(file); }, notRegular + "uma pasta)"},
        {[&] { fs::resize_file((writeFile(file, "[Respostas]\n"), file), 3ull << 30); },
         what + " \xe9 grande demais"},
        {[&] { writeFile(file, "[Respostas]\n" + std::string((1 << 20) - 12, ';') + "\n"); },
         what + " \xe9 grande demais"},
    };
    for (const auto& [make, error] : rows) {
        SCOPED_TRACE(error);
        fs::remove_all(file);
        make();
        EXPECT_THAT([&] { checkAnswersFile(name); },
                    ThrowsMessage<UnreadableAnswers>(StrEq(error)));
        EXPECT_THAT([&] { readAnswers(name, threePrograms()); },
                    ThrowsMessage<UnreadableAnswers>(StrEq(error)));
    }
    writeFile(file, "[Respostas]\n" + std::string((1 << 20) - 13, ';') + "\n"); // just fits
    EXPECT_NO_THROW(readAnswers(name, threePrograms()));
}

// Whether a file the user names may be used, asked before anything is done ("" for no problem).
TEST(Answers, UserFilesMustBeRegularOrNew) {
    TempDir tmp;
    writeFile(tmp / "file", "x");
    ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0600), 0);
    fs::create_directory(tmp / "dir");
    fs::create_symlink(tmp / "file", tmp / "link");
    const auto at = [&](const char* name) { return (tmp / name).string(); };
    const std::string notRegular = " n\xe3o \xe9 um arquivo comum (\xe9 ";
    // clang-format off
    const std::tuple<std::string, FileUse, std::string> rows[] = {
        {at("file"), FileUse::WriteNoLink, ""}, {at("new"), FileUse::WriteNoLink, ""},
        {at("link"), FileUse::Write, ""},       {at("file"), FileUse::Read, ""},
        {at("link"), FileUse::WriteNoLink, at("link") + notRegular + "um link simb\xf3lico)"},
        {at("fifo"), FileUse::WriteNoLink, at("fifo") + notRegular + "um pipe)"},
        {at("dir"), FileUse::Write, at("dir") + notRegular + "uma pasta)"},
        {"/dev/full", FileUse::WriteNoLink, "/dev/full" + notRegular + "um dispositivo)"},
        {at("none/new"), FileUse::Write, "N\xe3o foi poss\xedvel gravar " + at("none/new") + " (arquivo ou pasta inexistente)"},
        {at("none"), FileUse::Read, "N\xe3o foi poss\xedvel ler " + at("none") + " (arquivo ou pasta inexistente)"},
    };
    // clang-format on
    for (const auto& [path, use, problem] : rows)
        EXPECT_EQ(userFileProblem(path, use).value_or(""), problem) << path;
}

// Saved whole and for its owner alone, also over a readable file or through the user's link.
TEST(Answers, SavedFileIsItsOwnersAlone) {
    TempDir tmp;
    const fs::path file = tmp / "a.ini", target = tmp / "target.ini";
    writeFile(target, "old");
    ::chmod(target.c_str(), 0644);
    fs::create_symlink(target, tmp / "link.ini");
    fs::create_directory(tmp / "dir.ini");
    for (const auto& [path, written] :
         {std::pair{file, file}, {file, file}, {tmp / "link.ini", target}}) {
        SCOPED_TRACE(path);
        writePrivateFile(path.string(), "[Respostas]\r\n");
        EXPECT_EQ(readFile(written), "[Respostas]\r\n");
        EXPECT_EQ(modeOf(written), 0600u);
    }
    EXPECT_EQ(errorOf([&] { writePrivateFile((tmp / "dir.ini").string(), "x"); }),
              (tmp / "dir.ini").string() + " n\xe3o \xe9 um arquivo comum (\xe9 uma pasta)");
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), {}), 4); // no temporary stays
}

// Appended while subscribed; its owner's alone; never through a link; no value fakes a line.
TEST(Journal, LogFileAppendsEachChangeWhileSubscribed) {
    TempDir tmp;
    const std::string path = (tmp / "install.log").string();
    InstallEvent key = event(K::ProfileKey, "C:\\WINDOWS\\zelun.ini");
    InstallEvent copy = event(K::FileCopied, "D:\\A", "", false);
    key.section = "ZEL";
    key.name = "dir";
    key.after = "C:\\ZEL\\\r\nforged \xe7";
    copy.target = "C:\\A";
    for (const InstallEvent* event : {&key, &copy}) {
        LogFile log(path);
        JournalSubscription subscribed(log);
        report(*event);
    }
    report(key); // nobody listens any more
    EXPECT_EQ(readFile(path), "profile C:\\WINDOWS\\zelun.ini [ZEL] dir = "
                              "\"C:\\ZEL\\\\x0D\\x0Aforged \xc3\xa7\" (was (none))\n"
                              "copy D:\\A -> C:\\A FAILED\n");
    EXPECT_EQ(modeOf(path), 0600u);
    fs::create_symlink(path, tmp / "link.log");
    EXPECT_THROW(LogFile((tmp / "link.log").string()), LogFileError);
}

// Failed replacements keep nothing, deletions keep the file, no-op changes are left out; the
// files are private; a torn last line is dropped, what is no journal refused.
TEST(InstallJournal, KeepsWhatIsReplacedOnlyWhenItIsAndReadsBackOnlyWholeRecords) {
    TempDir tmp;
    const fs::path file = tmp / "A.DLL";
    writeFile(file, "old bytes");
    ::chmod(file.c_str(), 0640);
    fs::create_directory(tmp / "prefix");
    InstallJournal journal(tmp / "prefix");
    {
        JournalSubscription subscribed(journal);
        EXPECT_TRUE(journal.file().empty()); // nothing changed, no journal yet
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
    const std::vector<JournalRecord> records = readJournal(journal.file());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].kind, "regvalue");
    EXPECT_EQ(records[0].fields, (std::vector<std::string>{"HKEY_LOCAL_MACHINE", "\\K", "n\tame",
                                                           "-", "=same\nline"}));
    EXPECT_EQ(records[1].kind, "deleted");
    ASSERT_EQ(records[1].fields.size(), 4u);
    EXPECT_EQ(records[1].fields[1], "3");
    EXPECT_EQ(records[1].fields[3], std::to_string(0640));
    const fs::path kept = keptDirectory(journal.file());
    EXPECT_EQ(readFile(kept / "3"), "old bytes");
    for (const fs::path& path : {journalDirectory(tmp / "prefix"), kept})
        EXPECT_EQ(modeOf(path), 0700u) << path;
    for (const fs::path& path : {journal.file(), kept / "3"})
        EXPECT_EQ(modeOf(path), 0600u) << path;

    // A line the run was killed while writing is no record.
    writeFile(journal.file(), readFile(journal.file()) + "created\tC:\\HALF");
    EXPECT_EQ(readJournal(journal.file()).size(), 2u);
    // Stopped before its header reached the disk: no records; anything else is no journal.
    for (const char* text : {"", "zel-jour", "zel-journal\t2"}) {
        writeFile(journal.file(), text);
        EXPECT_TRUE(readJournal(journal.file()).empty()) << text;
    }
    for (const char* text : {"zel-journal\t3\n", "zel-x"}) {
        writeFile(journal.file(), text);
        EXPECT_THROW(readJournal(journal.file()), PlatformError) << text;
    }
}

// What each sequence of changes journals, keeping only the copies it must; a change outside the
// machine stops the journal rather than name a host file.
TEST(InstallJournal, RecordsTheMachinesOwnTermsAndKeepsOnlyWhatItMust) {
    struct Row {
        const char* name;
        std::function<void(const fs::path& prefix, const fs::path& file)> changes;
        std::vector<std::string> kinds; // the records' kinds and, for a file, its kept name
        bool stops = false;
    };
    const auto copied = [](const fs::path& file) {
        report(event(K::FileCopied, "C:\\A.DLL", file.string()));
    };
    const auto replacing = [](const fs::path& file) {
        report(event(K::FileReplacing, "C:\\A.DLL", file.string()));
    };
    const Row rows[] = {
        // clang-format off
        {"the same content installed again", [&](const fs::path&, const fs::path& file) { replacing(file); copied(file); },
         {"replaced ="}},
        {"other content replaced",
         [&](const fs::path&, const fs::path& file) { replacing(file); writeFile(file, "new bytes"); copied(file); },
         {"replaced 1"}},
        {"macros, the second not delivered",
         [](const fs::path& prefix, const fs::path&) {
             writeFile(prefix / "progman.txt", "the store");
             report(event(K::MacroSending, "[CreateGroup(\"G\")]"));
             report(event(K::Macro, "[CreateGroup(\"G\")]"));
             report(event(K::MacroSending, "[AddItem(\"C:\\X.EXE\")]"));
             report(event(K::Macro, "[AddItem(\"C:\\X.EXE\")]", "", false));
         }, {"groups 1", "macro", "macro"}},
        {"another machine's registry",
         [](const fs::path& prefix, const fs::path&) {
             InstallEvent value = event(K::RegistryValue, (prefix / "other.reg").string());
             value.after = "x";
             report(value);
             report(event(K::DirectoryCreated, "C:\\LATER"));
         }, {}, true},
        {"a profile file on no drive",
         [](const fs::path& prefix, const fs::path&) {
             InstallEvent key = event(K::ProfileKey, (prefix / "x.ini").string());
             key.host = key.path;
             report(key);
         }, {}, true},
        // clang-format on
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir tmp;
        const fs::path file = tmp / "A.DLL";
        writeFile(file, "old bytes");
        fs::create_directory(tmp / "prefix");
        InstallJournal journal(tmp / "prefix");
        {
            JournalSubscription subscribed(journal);
            row.changes(tmp / "prefix", file);
        }
        EXPECT_EQ(journal.failure().empty(), !row.stops) << journal.failure();
        std::vector<std::string> kinds;
        if (!journal.file().empty()) {
            for (const JournalRecord& r : readJournal(journal.file())) {
                EXPECT_EQ(journalRecordFault(r.kind, r.fields), "");
                const bool kept = r.kind == "replaced" || r.kind == "groups";
                kinds.push_back(r.kind + (kept ? " " + r.fields[r.kind == "groups" ? 0 : 3] : ""));
            }
        }
        EXPECT_EQ(kinds, row.kinds);
        std::ptrdiff_t copies = 0; // only the copies the records name are kept
        for (const std::string& kind : kinds)
            copies -= std::isdigit(static_cast<unsigned char>(kind.back())) != 0;
        if (!journal.file().empty() && fs::exists(keptDirectory(journal.file())))
            copies += std::distance(fs::directory_iterator(keptDirectory(journal.file())), {});
        EXPECT_EQ(copies, 0);
    }
}

} // namespace
} // namespace zel::test
