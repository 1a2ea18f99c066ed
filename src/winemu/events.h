#pragma once
// What an installation changes, told to whoever listens as it happens: files copied, moved,
// deleted and directories made, profile keys and registry values written, macros handed to
// Program Manager and whether it took them, programs started, Wine set up for them, and the
// outcome. The layers report here; the log file (log_file.h) and the installation journal
// (journal_writer.h) listen.
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
        MacroSending,     // path (the macro text), told before it is handed over
        Macro,            // path (the macro text); ok when Program Manager executed it
        ProgramStarted,   // path (the command line or program)
        WineSetUp,        // path (the Wine side's host directory): Wine's first set-up begins
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
    // ProfileKey: the section did not exist before this change.
    bool sectionCreated = false;
};
// Texts are as the machine holds them (code page 1252); paths are full Windows paths, except
// a registry's file and a profile file opened by its host path, which are host paths.

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

} // namespace zel
