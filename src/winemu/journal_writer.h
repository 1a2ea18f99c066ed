#pragma once
// Writing an installation's journal as the changes are reported; the format is in
// journal_format.h.
#include "winemu/events.h"
#include "winemu/journal_format.h"

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace zel {

// The installation's journal: what it changed, in an order and a form that lets an
// uninstaller take it back. Made on the first change so that a run that changes nothing leaves
// none. Each record is one line, appended by one write and synced before the next change (and
// each new name in the journal's directories synced too), so a run that is killed leaves the
// changes it made and at most a torn last line, which readers ignore. The records of new files
// and new directories are the exception: they are synced together with the next synced record
// or when the journal closes, since a lost one only leaves something new behind; one fsync per
// copied file made the copy ten times slower, and one at the copy's end made it wait on the
// disk as cp does not.
class InstallJournal : public InstallObserver {
public:
    explicit InstallJournal(std::filesystem::path prefix);
    ~InstallJournal() override;
    InstallJournal(const InstallJournal&) = delete;
    InstallJournal& operator=(const InstallJournal&) = delete;
    void record(const InstallEvent& event) override;
    // The journal's file; empty until the first change.
    const std::filesystem::path& file() const { return file_; }
    // Why the journal stopped being written (code page 1252); empty while it is whole.
    const std::string& failure() const { return failure_; }

private:
    void open();
    enum class Sync { Now, Later };
    void append(const std::vector<std::string>& fields, Sync sync = Sync::Now);
    std::string keep(const std::string& host);
    void dropPending();
    bool madeHere(const std::string& host) const;
    const std::string& windowsPath(const std::string& path) const;
    std::string registryRoot(const std::string& file) const;
    bool keptIsCurrent(const std::string& kept, const std::string& host) const;

    std::filesystem::path prefix_, file_, savedDir_;
    int fd_ = -1;
    bool unsynced_ = false;     // records written since the last sync
    bool nameUnsynced_ = false; // the journal's own name, not yet synced in its directory
    // Syncs the records written so far and, the first time, the journal's name.
    bool syncNow();
    int kept_ = 0;
    bool storeKept_ = false;
    std::string failure_;
    struct Pending {
        std::string path, host, kept;
        long long size = 0, mtime = 0;
        unsigned mode = 0;
    };
    std::optional<Pending> pending_;
    std::unordered_set<std::string> made_; // host files the installation made or replaced
};

} // namespace zel
