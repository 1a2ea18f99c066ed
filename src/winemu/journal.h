#pragma once
// What an installation changes, told to whoever listens as it happens: files copied, moved,
// deleted and directories made, profile keys and registry values written, macros handed to
// Program Manager and whether it took them, programs started, and the outcome. The layers
// report here; a log file is one listener, an uninstaller's record could be another.
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
        DirectoryCreated, // path
        ProfileKey,       // path [section] name: before -> after
        RegistryKey,      // path (the registry file), section (the key) created
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
