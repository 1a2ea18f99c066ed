// The installation journal as the uninstaller reads it back: which changes make which
// records, the copies kept of what was replaced or deleted, its files private, a torn last
// line ignored, and the newest journal not yet undone.
#include "tests/support/fixtures.h"

#include "winemu/journal.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zel::test {
namespace {

using K = InstallEvent::Kind;

InstallEvent event(K kind, std::string path, std::string host = {}, bool ok = true) {
    InstallEvent e{kind};
    e.path = path;
    e.target = path;
    e.host = std::move(host);
    e.ok = ok;
    return e;
}

std::string summary(const std::vector<JournalRecord>& records) {
    std::string out;
    for (const JournalRecord& r : records) {
        out += r.kind;
        for (const std::string& field : r.fields)
            out += "|" + field;
        out += "\n";
    }
    return out;
}

unsigned modeOf(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(InstallJournal, RecordsWhatEachChangeNeedsToBeUndone) {
    TempDir tmp;
    const fs::path old = tmp / "OLD.DLL", fresh = tmp / "NEW.DLL", ini = tmp / "A.INI";
    writeFile(old, "old bytes");
    ::chmod(old.c_str(), 0640);
    writeFile(ini, "[s]\nk=1\n");
    const auto sizeAndDate = [](const fs::path& file) {
        struct stat st {};
        ::stat(file.c_str(), &st);
        return std::to_string(st.st_size) + "|" +
               std::to_string(st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec);
    };

    fs::create_directory(tmp / "prefix");
    InstallJournal journal(tmp / "prefix");
    std::string expected;
    {
        JournalSubscription subscribed(journal);
        EXPECT_TRUE(journal.file().empty()); // nothing changed, no journal yet
        // A replacement that failed keeps nothing; one that happened keeps the old bytes.
        report(event(K::FileReplacing, "C:\\OLD.DLL", old.string()));
        report(event(K::FileCopied, "C:\\OLD.DLL", old.string(), false));
        report(event(K::FileReplacing, "C:\\OLD.DLL", old.string()));
        const std::string before = sizeAndDate(old);
        writeFile(old, "new bytes, longer");
        report(event(K::FileCopied, "C:\\OLD.DLL", old.string()));
        expected += "replaced|C:\\OLD.DLL|" + old.string() + "|" + sizeAndDate(old) + "|2|" +
                    before + "|416\n";
        writeFile(fresh, "made");
        report(event(K::FileCopied, "C:\\NEW.DLL", fresh.string()));
        expected += "created|C:\\NEW.DLL|" + fresh.string() + "|" + sizeAndDate(fresh) + "\n";
        report(event(K::DirectoryCreated, "C:\\D\tIR\nX"));
        expected += "mkdir|C:\\D\tIR\nX\n";
        report(event(K::DirectoryCreated, "C:\\NOT", "", false));

        InstallEvent key = event(K::ProfileKey, "C:\\A.INI", ini.string());
        key.section = "s";
        key.name = "k";
        key.before = "1";
        key.after = "2";
        report(key); // a file that was there: the key and its old value
        expected += "profile|C:\\A.INI|" + ini.string() + "|s|k|=1|=2\n";
        key.host = fresh.string();
        key.before.reset();
        report(key); // a file the installation made: only its new state
        expected += "touched|C:\\A.INI|" + fresh.string() + "|" + sizeAndDate(fresh) + "\n";

        InstallEvent value = event(K::RegistryValue, "/reg");
        value.section = "\\K";
        value.name = "n";
        value.before = "same";
        value.after = "same";
        report(value); // nothing changed: nothing to undo
        value.before.reset();
        report(value);
        expected += "regvalue|/reg|\\K|n|-|=same\n";
        report(event(K::Macro, "[CreateGroup(\"G\")]"));
        expected += "macro|[CreateGroup(\"G\")]\n";
        report(event(K::Macro, "[AddItem(\"X\")]", "", false));
        report(event(K::ProgramStarted, "C:\\X.EXE"));

        report(event(K::FileReplacing, "C:\\NEW.DLL", fresh.string()));
        ::unlink(fresh.c_str());
        report(event(K::FileDeleted, "C:\\NEW.DLL"));
        expected += "deleted|C:\\NEW.DLL|" + fresh.string() + "|3|";
    }
    ASSERT_EQ(journal.failure(), "");
    const std::vector<JournalRecord> records = readJournal(journal.file());
    EXPECT_EQ(summary(records).substr(0, expected.size()), expected);
    const fs::path kept = keptDirectory(journal.file());
    EXPECT_EQ(readFile(kept / "2"), "old bytes");
    EXPECT_EQ(readFile(kept / "3"), "made");
    EXPECT_FALSE(fs::exists(kept / "1")); // the failed replacement's copy is gone
    for (const fs::path& path : {journalDirectory(tmp / "prefix"), kept})
        EXPECT_EQ(modeOf(path), 0700u) << path;
    for (const fs::path& path : {journal.file(), kept / "2"})
        EXPECT_EQ(modeOf(path), 0600u) << path;

    // A line the run was killed while writing is no record.
    const std::string whole = readFile(journal.file());
    writeFile(journal.file(), whole + "created\tC:\\HALF");
    EXPECT_EQ(summary(readJournal(journal.file())), summary(records));
}

TEST(InstallJournal, TheLatestNotYetUndoneAndWhatIsNoJournal) {
    TempDir tmp;
    const fs::path dir = journalDirectory(tmp.path());
    EXPECT_EQ(latestJournal(tmp.path()), std::nullopt);
    writeFile(dir / "20260101T000000.000000000-1.journal", "zel-journal\t1\n");
    writeFile(dir / "20261231T000000.000000000-2.journal", "zel-journal\t1\nmkdir\tC:\\A\n");
    writeFile(dir / "20991231T000000.000000000-3.undone", "zel-journal\t1\n");
    writeFile(dir / "not-a-journal.txt", "x");
    EXPECT_EQ(latestJournal(tmp.path()), dir / "20261231T000000.000000000-2.journal");
    markJournalUndone(dir / "20261231T000000.000000000-2.journal");
    EXPECT_EQ(latestJournal(tmp.path()), dir / "20260101T000000.000000000-1.journal");
    EXPECT_EQ(readJournal(dir / "20261231T000000.000000000-2.undone").size(), 1u);

    for (const char* text : {"", "zel-journal\t2\n", "REGEDIT4\n"}) {
        writeFile(dir / "bad.journal", text);
        EXPECT_THROW(readJournal(dir / "bad.journal"), PlatformError) << text;
    }
}

} // namespace
} // namespace zel::test
