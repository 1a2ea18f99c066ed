// What the whole-run tests cannot reach: a replacement that failed keeps nothing, a deleted
// file is kept, a change that changed nothing is left out, texts with tabs and line breaks
// come back whole, the files are private, and a torn last line or a file that is no journal.
#include "tests/support/fixtures.h"

#include "winemu/journal.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zel::test {
namespace {

using K = InstallEvent::Kind;

InstallEvent event(K kind, std::string path, std::string host = {}, bool ok = true) {
    InstallEvent e{kind};
    e.path = e.target = std::move(path);
    e.host = std::move(host);
    e.ok = ok;
    return e;
}

unsigned modeOf(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

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
        InstallEvent value = event(K::RegistryValue, "/reg");
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
    EXPECT_EQ(records[0].fields,
              (std::vector<std::string>{"/reg", "\\K", "n\tame", "-", "=same\nline"}));
    EXPECT_EQ(records[1].kind, "deleted");
    ASSERT_EQ(records[1].fields.size(), 5u);
    EXPECT_EQ(records[1].fields[2], "3");
    EXPECT_EQ(records[1].fields[4], std::to_string(0640));
    const fs::path kept = keptDirectory(journal.file());
    EXPECT_EQ(readFile(kept / "3"), "old bytes");
    for (const fs::path& path : {journalDirectory(tmp / "prefix"), kept})
        EXPECT_EQ(modeOf(path), 0700u) << path;
    for (const fs::path& path : {journal.file(), kept / "3"})
        EXPECT_EQ(modeOf(path), 0600u) << path;

    // A line the run was killed while writing is no record.
    writeFile(journal.file(), readFile(journal.file()) + "created\tC:\\HALF");
    EXPECT_EQ(readJournal(journal.file()).size(), 2u);
    for (const char* text : {"", "zel-journal\t2\n", "REGEDIT4\n"}) {
        writeFile(journal.file(), text);
        EXPECT_THROW(readJournal(journal.file()), PlatformError) << text;
    }
}

} // namespace
} // namespace zel::test
