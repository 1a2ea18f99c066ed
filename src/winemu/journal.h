#pragma once
// What an installation changes, told to whoever listens as it happens: files copied, moved,
// deleted and directories made, profile keys and registry values written, macros handed to
// Program Manager and whether it took them, programs started, and the outcome. The layers
// report here; a log file is one listener, an uninstaller's record could be another.
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zel {

struct InstallEvent {
    enum class Kind {
        FileCopied,       // path -> target
        FileMoved,        // path -> target
        FileDeleted,      // path
        FileReplacing,    // path, told before the existing file is replaced or deleted
        DirectoryCreated, // path
        ProfileKey,       // path [section] name: before -> after
        RegistryKey,      // path (the registry file), section (the key) created; one event
                          // for each key made, parents first
        RegistryValue,    // path (the registry file), section (the key), name: before -> after
        Macro,            // path (the macro text); ok when Program Manager executed it
        ProgramStarted,   // path (the command line or program)
        Outcome,          // status, after (what the user was told)
    };
    explicit InstallEvent(Kind kind = Kind::Outcome) : kind(kind) {}
    Kind kind;
    bool ok = true; // false when the change was tried and did not happen
    std::string path;
    std::string target;
    std::string section;
    std::string name;
    std::optional<std::string> before; // the value replaced; nothing where there was none
    std::string after;
    int status = 0;
    // The host file behind the Windows path that changes, where the reporter has it: the
    // target of FileCopied and of FileMoved, the file of FileReplacing and of ProfileKey.
    std::string host;
    // ProfileKey: the profile file did not exist before this change.
    bool created = false;
};
// Texts are as the machine holds them (code page 1252); paths are full Windows paths, except
// a registry's or a profile's file that lies on no drive, which is its host path.

class InstallObserver {
public:
    virtual ~InstallObserver() = default;
    virtual void record(const InstallEvent& event) = 0;
};

// Tells every listener subscribed now, in the order they subscribed. A listener that raises
// is not allowed to stop the change being reported.
void report(const InstallEvent& event);

// A listener hears every report for as long as its subscription lives.
class JournalSubscription {
public:
    explicit JournalSubscription(InstallObserver& observer);
    ~JournalSubscription();
    JournalSubscription(const JournalSubscription&) = delete;
    JournalSubscription& operator=(const JournalSubscription&) = delete;

private:
    InstallObserver& observer_;
};

// One line of the installation log for the event (UTF-8, no line break).
std::string logLine(const InstallEvent& event);

// The installation log: one line per event, appended to the file as it happens, so a run that
// is killed keeps what it did. The file is created readable by its owner only; an existing
// regular file is appended to. Raises PlatformError when it cannot be opened.
class LogFile : public InstallObserver {
public:
    explicit LogFile(const std::string& hostPath);
    ~LogFile() override;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    void record(const InstallEvent& event) override;
    // Writes a line of its own (UTF-8).
    void write(const std::string& line);

private:
    int fd_ = -1;
};

} // namespace zel

namespace zel {

// The installation's journal: what it changed, in an order and a form that lets an
// uninstaller take it back. One journal per installation, under <prefix>/journal (the
// directory readable by its owner only), made on the first change so that a run that changes
// nothing leaves none. Each record is one line, appended by one write and synced before the
// next change, so a run that is killed leaves the changes it made and at most a torn last
// line, which readers ignore. A file about to be replaced or deleted is kept first, whole,
// beside the journal (<name>.saved/).
//
// Records (fields separated by tabs; tab, line breaks and backslash escaped; a value that may
// be absent is "-" when absent and "=" followed by the text otherwise):
//   created  WINPATH HOST SIZE MTIME               a file made where there was none (copied,
//                                                  or a profile file written first)
//   replaced WINPATH HOST SIZE MTIME KEPT OLDSIZE OLDMTIME OLDMODE
//   touched  WINPATH HOST SIZE MTIME               a later change to a file made or replaced
//                                                  by the installation (its profile keys)
//   deleted  WINPATH HOST KEPT OLDMTIME OLDMODE    KEPT "" when it could not be kept
//   moved    FROM TO SIZE MTIME                    SIZE and MTIME of the file moved
//   mkdir    WINPATH
//   profile  FILE HOST SECTION KEY OLD NEW          a key of a file that was there before
//   regkey   REGFILE KEY
//   regvalue REGFILE KEY NAME OLD NEW
//   macro    TEXT                                  one Program Manager executed
// MTIMEs are nanoseconds since the epoch; KEPT is a name in the saved directory.
class InstallJournal : public InstallObserver {
public:
    explicit InstallJournal(std::filesystem::path prefix);
    ~InstallJournal() override;
    InstallJournal(const InstallJournal&) = delete;
    InstallJournal& operator=(const InstallJournal&) = delete;
    void record(const InstallEvent& event) override;
    // The journal's file; empty until the first change.
    const std::filesystem::path& file() const { return file_; }
    // Why the journal stopped being written; empty while it is whole.
    const std::string& failure() const { return failure_; }

private:
    void open();
    void append(const std::vector<std::string>& fields);
    std::string keep(const std::string& host);
    void dropPending();

    std::filesystem::path prefix_, file_, savedDir_;
    int fd_ = -1;
    int kept_ = 0;
    std::string failure_;
    struct Pending {
        std::string path, host, kept;
        long long size = 0, mtime = 0;
        unsigned mode = 0;
    };
    std::optional<Pending> pending_;
    std::vector<std::string> made_; // host files the installation made or replaced
};

struct JournalRecord {
    std::string kind;
    std::vector<std::string> fields;
};

// Where the journals of a machine are.
std::filesystem::path journalDirectory(const std::filesystem::path& prefix);
// The directory of a journal's kept files.
std::filesystem::path keptDirectory(const std::filesystem::path& journal);
// The complete records of a journal, in order; a torn last line is left out. Raises
// PlatformError when the file cannot be read or is no journal.
std::vector<JournalRecord> readJournal(const std::filesystem::path& journal);
// The newest journal not yet undone; nothing when there is none.
std::optional<std::filesystem::path> latestJournal(const std::filesystem::path& prefix);
// Marks a journal undone (it is kept, renamed, so a later run does not undo it again).
void markJournalUndone(const std::filesystem::path& journal);
// An optional value as a record holds it, and back.
std::string journalValue(const std::optional<std::string>& value);
std::optional<std::string> journalValueOf(std::string_view field);

} // namespace zel
