#pragma once
// Reading an installation's journal back (the uninstaller's side); the format is in
// journal_format.h.
#include "winemu/journal_format.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zel {

struct JournalRecord {
    std::string kind;
    std::vector<std::string> fields;
};

// The complete records of a journal, in order; a torn last line is left out, and a journal
// that is empty or cut short in its header holds none. Raises PlatformError when the file
// cannot be read or is no journal.
std::vector<JournalRecord> readJournal(const std::filesystem::path& journal);
// The newest journal not yet undone; nothing when there is none.
std::optional<std::filesystem::path> latestJournal(const std::filesystem::path& prefix);
// Marks a journal undone (it is kept, renamed, so a later run does not undo it again). Raises
// PlatformError when it cannot be renamed.
void markJournalUndone(const std::filesystem::path& journal);

} // namespace zel
