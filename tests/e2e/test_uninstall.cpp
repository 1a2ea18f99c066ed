// The demo kit installed unattended and taken back: the machine as before but the user's changes.
#include "tests/e2e/e2e.h"
#include "winemu/cp1252.h"
#include "winemu/journal_reader.h"
#include "winemu/registry.h"

namespace zel::test {
namespace {

const std::string kBusy = "está sendo alterada por outro programa (uma instalação ou "
                          "desinstalação); tente de novo quando ele terminar";

// The medium gone, the user's changes are kept and reported; a second run changes nothing.
TEST_F(UnattendedTest, TakesTheInstallationBackKeepingWhatTheUserChanged) {
    const fs::path zel = driveC() / "Program Files" / "ZEL",
                   zelun = driveC() / "WINDOWS" / "zelun.ini";
    writeFile(zelun, "[Outra]\r\nx=1\r\n");
    const std::set<std::string> before = snapshot();
    const CommandResult installed = install();
    ASSERT_EQ(installed.status, 0) << installed.errors;
    ASSERT_TRUE(awaitProgmanExit());
    writeFile(zel / "NOTICIAS.INI", "[Noticias]\nservidor=meu\n");
    writeFile(zel / "BBS" / "MEU.TXT", "mine");
    Registry registry(prefix / "system.reg");
    const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    ASSERT_TRUE(registry.openKey(key + "\\ZEL Internet", false));
    registry.writeString("DisplayName", "Renomeado");
    progman::Groups groups = progman::loadStore(progman::storePath(prefix));
    ASSERT_TRUE(groups.execute("[CreateGroup(\"ZEL Internet\")][AddItem(\"C:\\A.EXE\","
                               "\"Meu item\")][AddItem(\"C:\\B.EXE\",\"ZEL BBS\")]"));
    std::string profile = readFile(zelun); // the installation's section, with a key of the user's
    writeFile(zelun, profile.insert(profile.find("[ZEL]\r\n") + 7, "meu=1\r\n"));
    progman::saveStore(progman::storePath(prefix), groups);
    const std::set<std::string> changed = snapshot();

    fs::rename(medium(), tmp / "away");
    const CommandResult first = uninstall();
    const std::string altered = " foi alterado depois da instalação e foi mantido\nzel-uninstall: ",
                      kept = " foi mantida: contém o que a instalação não criou\nzel-uninstall: ",
                      stays = " não foi removida: contém arquivos que a instalação não criou\n";
    EXPECT_EQ(std::to_string(first.status) + first.errors,
              "1zel-uninstall: O item ZEL BBS do grupo ZEL Internet" + altered +
                  "O grupo ZEL Internet foi mantido: contém itens que a instalação não criou\n" +
                  "zel-uninstall: O valor DisplayName da chave \\" + key + "\\ZEL Internet" +
                  altered + "A chave " + key + "\\ZEL Internet do registro" + kept + "A chave " +
                  key + " do registro" + kept + "O arquivo C:\\Program Files\\ZEL\\NOTICIAS.INI" +
                  altered + "A pasta C:\\Program Files\\ZEL\\BBS" + stays +
                  "zel-uninstall: A pasta C:\\Program Files\\ZEL" + stays +
                  "zel-uninstall: Desinstalação concluída, mas nem tudo foi desfeito:\n");
    const std::set<std::string> after = snapshot();
    std::string left; // what is left over is the user's, as the user left it
    for (const std::string& line : after)
        if (!before.contains(line) && !line.starts_with("WINDOWS/zelun.ini")) {
            EXPECT_EQ(changed.count(line), 1u) << line;
            left += line.substr(0, line.find('\t')) + "\n";
        }
    EXPECT_EQ(left,
              "Program Files/ZEL\nProgram Files/ZEL/BBS\nProgram Files/ZEL/BBS/MEU.TXT\nProgram "
              "Files/ZEL/NOTICIAS.INI\ngroup ZEL Internet\ngroup ZEL Internet: Meu item: "
              "C:\\A.EXE\ngroup ZEL Internet: ZEL BBS: C:\\B.EXE\nregistry "
              "\"DisplayName\"=\"Renomeado\"\nregistry "
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZEL "
              "Internet]\nregistry "
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\n");
    EXPECT_EQ(readFile(zelun), "[Outra]\r\nx=1\r\n[ZEL]\r\nmeu=1\r\n");
    EXPECT_EQ(outcome(uninstall()), outcome(first));
    EXPECT_EQ(snapshot(), after);
}

// A run killed while it copies: the uninstaller takes back the files it had copied.
TEST_F(UnattendedTest, TakesBackARunKilledInTheMiddleOfTheCopy) {
    const std::set<std::string> before = snapshot();
    // Killed as it puts its fifth file in place, mid-copy: that copy is left beside its file.
    ASSERT_EQ(withFault("rename:signal=KILL:when=5").status, 128 + SIGKILL);
    const fs::path trumpet = driveC() / "Program Files" / "ZEL" / "TRUMPET";
    EXPECT_EQ(runCommand("ls -A " + q(trumpet) + " | grep -c '^[.]zelcopy-'").output, "1\n");
    // A later run whose machine went down before its journal's header reached the disk.
    writeFile(journalDirectory(prefix) / "99991231T235959.000000000-1.journal", "");

    EXPECT_EQ(outcome(uninstall()), "0zel-uninstall: Desinstalação concluída.\n");
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(latestJournal(prefix)) << "each journal set aside as undone";
}

// A system call failing anywhere in the run: it goes on to what a whole run makes, or it stops
// saying why, and the uninstaller takes the machine back to what it was.
TEST_F(UnattendedTest, ASystemCallFailingLeavesAWholeInstallationOrOneTakenBack) {
    const std::set<std::string> before = snapshot(false);
    const std::string machine = q(prefix), kept = q(tmp / "kept");
    ASSERT_EQ(runCommand("cp -a " + machine + " " + kept).status, 0);
    ASSERT_EQ(install().status, 0);
    const std::set<std::string> whole = snapshot(false);
    for (const std::string fault :
         {"rename:error=EIO:when=1", "rename:error=EXDEV:when=20", "rename:error=ENOSPC:when=21",
          "rename:error=EROFS:when=22", "write:error=EIO:when=110", "fsync:error=EIO:when=30",
          "mkdir:error=EACCES:when=3", "copy_file_range:error=EIO:when=4",
          "utimensat:error=EPERM:when=5", "fchmod:error=EPERM:when=3"}) {
        SCOPED_TRACE(fault);
        ASSERT_EQ(runCommand("rm -rf " + machine + " && cp -a " + kept + " " + machine).status, 0);
        const CommandResult r = withFault(fault);
        if (r.status == 0) {
            EXPECT_EQ(snapshot(false), whole) << r.errors;
            continue;
        }
        EXPECT_FALSE(lastLine(r.errors).empty() || r.errors.find("concluída") != std::string::npos)
            << r.errors;
        uninstall();
        EXPECT_EQ(snapshot(false), before) << r.errors;
    }
}

// A journal it cannot use is left, saying why; one reaching outside the machine is refused whole.
TEST_F(UnattendedTest, SaysInPortugueseWhyAJournalCannotBeUndone) {
    const fs::path journal = prefix / "journal" / "20000101T000000.000000000-1.journal";
    fs::create_directories(keptDirectory(journal));
    // A harmless record first: a file of the machine's that the journal says it made.
    const fs::path harmless = driveC() / "HARMLESS.TXT";
    const auto made = [](const fs::path& file) {
        struct stat st {};
        EXPECT_EQ(::lstat(file.c_str(), &st), 0) << file;
        return std::to_string(st.st_size) + "\t" +
               std::to_string(st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec);
    };
    // What an attacker would have the uninstaller destroy or restore over.
    const fs::path outside = tmp / "outside.txt";
    writeFile(outside, "someone else's");
    fs::create_directory_symlink(tmp.path(), driveC() / "LINK");
    const std::string refused = "O registro da instalação foi recusado: ";
    const struct {
        const char* name;
        std::string records, said;
        bool nothingUndone;
    } cases[] = {
        {"no journal", "REGEDIT4\n", journal.string() + " não é um registro de instalação", true},
        {"the previous format (host paths)",
         "zel-journal\t1\ncreated\tC:\\\\HARMLESS.TXT\t" + harmless.string() + "\t1\t0\n",
         "O registro da instalação " + journal.string() +
             " foi gravado por uma versão anterior do instalador, que nomeava os arquivos fora da "
             "máquina, e não pode ser desfeito por esta versão; nada foi alterado",
         true},
        {"a kept copy missing", "deleted\tC:\\\\A.TXT\t1\t0\t420\n",
         "Não foi possível restaurar o arquivo C:\\A.TXT (a cópia guardada não existe)", false},
        {"the groups' kept copy missing", "groups\t7\n",
         "Não foi possível remover os grupos do Gerenciador de Programas (a cópia guardada dos "
         "grupos não existe)",
         false},
        {"a host path", "created\t" + outside.string() + "\t" + made(outside) + "\n",
         refused + outside.string() + " não é um caminho do Windows desta máquina", true},
        {"a kept name leading out", "deleted\tC:\\\\SHADOW\t../../../outside.txt\t0\t420\n",
         refused + "../../../outside.txt não é o nome de uma cópia guardada", true},
        {"a replaced file's kept name leading out", "replaced\tC:\\\\S\t0\t0\t../x\t0\t0\t420\n",
         refused + "../x não é o nome de uma cópia guardada", true},
        {"another machine's registry",
         "regvalue\t" + (tmp / "other" / "system.reg").string() + "\t\\\\K\tV\t-\t=x\n",
         refused + (tmp / "other" / "system.reg").string() +
             " não é o registro do Windows desta máquina",
         true},
        {"a link inside C: leading out",
         "created\tC:\\\\LINK\\\\outside.txt\t" + made(outside) + "\n",
         refused + "C:\\LINK\\outside.txt fica fora das unidades desta máquina", true},
        {"the uninstaller's own directory as D:",
         "created\tD:\\\\zel-uninstall\t" + made(binDir() / "zel-uninstall") + "\n",
         refused + "D:\\zel-uninstall fica fora das unidades desta máquina", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(harmless, "made by the installation");
        const std::string header =
            c.records.starts_with("zel-journal") || c.records.starts_with("REGEDIT4")
                ? ""
                : "zel-journal\t2\ncreated\tC:\\\\HARMLESS.TXT\t" + made(harmless) + "\n";
        writeFile(journal, header + c.records);
        const CommandResult undone = run(q(binDir() / "zel-uninstall") + " --quiet");
        EXPECT_EQ(outcome(undone) + std::to_string(fs::exists(harmless)),
                  "1zel-uninstall: " + c.said + "\nzel-uninstall: " +
                      (c.nothingUndone ? "Nada foi desinstalado.\n1"
                                       : "Desinstalação concluída, mas nem tudo foi desfeito:\n0"));
        EXPECT_EQ(std::to_string(fs::exists(journal)) + readFile(outside) +
                      std::to_string(fs::exists(binDir() / "zel-uninstall")),
                  "1someone else's1"); // the journal left, nothing outside touched
    }
    // A machine that cannot be opened is named as its user knows it, and nothing is undone.
    fs::rename(driveC(), tmp / "c");
    writeFile(driveC(), "no directory");
    EXPECT_EQ(outcome(run(q(binDir() / "zel-uninstall") + " --quiet")),
              "1zel-uninstall: Não foi possível criar a pasta da máquina " +
                  (driveC() / "WINDOWS" / "SYSTEM").string() +
                  ": parte do caminho não é uma pasta\nzel-uninstall: Nada foi desinstalado.\n");
    // A machine others may change is refused unread; no box waits where nothing is shown.
    fs::permissions(prefix, fs::perms::others_write, fs::perm_options::add);
    writeFile(journal, "zel-journal\t2\n"); // one that changed nothing is not set aside either
    EXPECT_EQ(
        outcome(run(q(binDir() / "zel-uninstall"), "QT_QPA_PLATFORM=minimal")),
        "1zel-uninstall: A máquina " + prefix.string() +
            " pode ser alterada por outros usuários\nzel-uninstall: Nada foi desinstalado.\n");
}

// Each way of installing is taken back to the machine as it was just before.
TEST_F(UnattendedTest, EachWayOfInstallingIsTakenBackToTheMachineAsItWas) {
    const fs::path description = medium() / "SETUP.INI";
    const std::string kitText = readFile(description);
    const fs::path zelun = driveC() / "WINDOWS" / "ZELUN.INI";
    const auto plain = [&] { ASSERT_EQ(install().status, 0); };
    const std::string answers = readFile(tmp / "answers.ini");
    const struct Row {
        const char* name;
        std::function<void()> before, installs; // before: done first (the "before" taken after)
        bool keepsNothing = false;              // the files it replaces hold what they held
    } rows[] = {
        {"custom",
         [&] {
             writeFile(tmp / "answers.ini",
                       "[Respostas]\ntipo=personalizada\ndestino=C:\\INTERNET\n"
                       "programas=1,2,3,5\nnavegador=nenhum\nporta=COM3\n"
                       "modem_inicializacao=ATZ\nmodem_discagem=ATDT\n");
         },
         plain},
        {"reinstalled: the first installation stays", plain, plain, true},
        {"an entry without a name, of thirty files and thirty for the system, too big: continued",
         [&] {
             edit(description, "nome=Leitor de Not", "nomeantigo=Leitor de Not");
             std::string keys = "tamanho=2147483647\r\n"; // more than any disk holds
             for (int k = 1; k <= 30; ++k) {
                 const std::string n = std::to_string(k);
                 writeFile(medium() / "NOTICIAS" / ("F" + n), n);
                 keys += "System" + n + "=F" + n + (k > 2 ? "\nArquivo" + n + "=F" + n : "") + "\n";
             }
             edit(description, "tamanho=410\r\n", keys);
             writeFile(tmp / "answers.ini", answers + "espaco_insuficiente=continuar\n");
         },
         [&] {
             ASSERT_EQ(install().status, 0);
             EXPECT_THAT(progmanList(prefix), HasSubstr("NOTICIAS.EXE\n"));
             for (const char* dir : {"Program Files/ZEL", "WINDOWS/SYSTEM"}) // the thirtieth too
                 EXPECT_EQ(readFile(driveC() / dir / "F30"), "30") << dir;
         }},
        {"a profile file without the section",
         [&] { writeFile(zelun, "dir=mine\r\n[Outra]\r\nx=1\r\n"); }, plain}, // no section's key
        {"a profile file with the section: its old values back, the new keys gone",
         [&] { writeFile(zelun, "; mine\r\n[ZEL]\r\ndir=C:\\ANTIGO\\\r\n[Outra]\r\nx=1\r\n"); },
         plain},
        {"the user's own entry, its values no text: back with their types and bytes",
         [&] {
             Registry registry(prefix / "system.reg");
             ASSERT_TRUE(registry.openKey(
                 "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZEL Internet", true));
             registry.writeValue("DisplayName", RegType::Binary, {0, 1, 0xfe});
             registry.writeValue("UninstallString", RegType::ExpandString,
                                 {'%', 'W', 'I', 'N', 'D', 'I', 'R', '%', 0});
         },
         plain},
        {"the user's own group, an item of the kit's name in it: back as it was",
         [&] {
             progman::Groups groups = progman::loadStore(progman::storePath(prefix));
             ASSERT_TRUE(groups.execute("[CreateGroup(\"ZEL Internet\")][AddItem(\"C:\\MEU."
                                        "EXE\",\"ZEL BBS\",\"C:\\MEU.ICO\",2)]"));
             progman::saveStore(progman::storePath(prefix), groups);
         },
         plain},
        {"Program Manager late: what it was handed is done after the run", [&] {},
         [&] {
             fs::create_directory(prefix / "progman.sock"); // nobody can listen there
             const CommandResult installed =
                 runIn(medium(), "./SETUP --answers ../answers.ini --log ../run.log", tmp / "err");
             fs::remove(prefix / "progman.sock");
             ASSERT_EQ(installed.status, 0) << installed.errors;
             progman::Groups groups = progman::loadStore(progman::storePath(prefix));
             std::istringstream log(readFile(tmp / "run.log"));
             int late = 0;
             for (std::string line; std::getline(log, line);)
                 late += line.starts_with("macro NOT delivered ") &&
                         groups.execute(utf8ToCp1252(line.substr(20))); // the log is UTF-8
             EXPECT_GT(late, 2);
             progman::saveStore(progman::storePath(prefix), groups);
             fs::remove(tmp / "run.log");
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string registryText = readFile(prefix / "system.reg"),
                          groupsText = readFile(progman::storePath(prefix));
        const std::set<std::string> start = snapshot();
        row.before();
        const std::set<std::string> before = snapshot();
        const auto keptFiles = [&] { // bytes
            std::uintmax_t bytes = 0;
            for (const auto& entry : fs::recursive_directory_iterator(prefix / "journal"))
                if (entry.path().parent_path().extension() == ".saved")
                    bytes += entry.file_size();
            return bytes;
        };
        const std::uintmax_t keptBefore = fs::exists(prefix / "journal") ? keptFiles() : 0;
        row.installs();
        EXPECT_NE(snapshot(), before);
        // A reinstall keeps no copy of the kit's files, only a few.
        EXPECT_TRUE(!row.keepsNothing || keptFiles() - keptBefore < 4096u) << keptFiles();
        const std::string done = "0zel-uninstall: Desinstalação concluída.\n";
        fs::rename(medium(), tmp / "away"); // the medium is gone meanwhile
        EXPECT_EQ(outcome(uninstall()), done);
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(keptFiles(), keptBefore);      // the copies kept for it go with it
        const CommandResult again = uninstall(); // the reinstall's first installation, or nothing
        EXPECT_EQ(outcome(again),
                  row.keepsNothing
                      ? done
                      : "0zel-uninstall: Não há instalação a desfazer nesta máquina.\n");
        fs::rename(tmp / "away", medium());
        writeFile(description, kitText);
        writeFile(tmp / "answers.ini", answers);
        fs::remove(zelun);
        writeFile(prefix / "system.reg", registryText);
        writeFile(progman::storePath(prefix), groupsText);
        EXPECT_EQ(snapshot(), start);
    }
}

// One writer at a time: a second one waits, then is refused; a copy uninstalls itself only.
TEST_F(UnattendedTest, WritersTakeTurnsAndACopyUninstallsItselfOnly) {
    const std::string machine = "A máquina " + prefix.string() + " ";
    const std::set<std::string> before = snapshot();
    {
        FileDescriptor held = holdLock();
        const CommandResult second = install();
        EXPECT_EQ(std::to_string(second.status) + lastLine(second.errors), "1" + machine + kBusy);
        EXPECT_FALSE(installed());
    }
    { // a lock let go during the wait: the wizard goes on
        FileDescriptor held = holdLock();
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(800));
            held.reset();
        });
        const CommandResult later = install();
        release.join();
        EXPECT_EQ(std::to_string(later.status) + std::to_string(installed()), "01") << later.errors;
    }
    ASSERT_TRUE(awaitProgmanExit());
    {
        FileDescriptor held = holdLock();
        EXPECT_EQ(outcome(uninstall()), "1zel-uninstall: " + machine + kBusy +
                                            "\nzel-uninstall: Nada foi desinstalado.\n");
        EXPECT_TRUE(installed());
    }
    const std::set<std::string> whole = snapshot();
    const fs::path original = prefix, copy = tmp / "copy";
    ASSERT_EQ(runCommand("cp -a " + q(prefix) + " " + q(copy)).status, 0);
    prefix = copy;
    EXPECT_EQ(outcome(run(q(copy / "bin" / "zel-uninstall") + " --quiet")),
              "0zel-uninstall: Desinstalação concluída.\n");
    EXPECT_EQ(snapshot(), before);
    prefix = original;
    EXPECT_EQ(snapshot(), whole);
    fs::remove_all(copy);
    EXPECT_EQ(outcome(uninstall()), "0zel-uninstall: Desinstalação concluída.\n");
    EXPECT_EQ(snapshot(), before);
}

} // namespace
} // namespace zel::test
