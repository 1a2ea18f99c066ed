#pragma once
// Taking an installation back: the changes its journal names, undone newest first.
#include "winemu/journal_reader.h"
#include "winemu/machine.h"
#include "winemu/programs.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zel::uninstall {

struct Outcome {
    // What was not undone, one sentence each (UTF-8, Portuguese): files the user changed
    // since, which are kept, and what could not be done.
    std::vector<std::string> problems;
    // The journal was refused whole (a record reaching outside the machine, or no record at
    // all): nothing was undone, and the problems say why.
    bool refused = false;
};

// Undoes the records in reverse order on the machine. A file, profile key or registry value
// is changed back only while it is as the installation left it: one the user changed is kept
// and reported, one already back as it was is left alone, so a second run changes nothing.
// Program Manager's groups and items go through its conversation (started when needed): those
// the installation made go, those it changed get their old form back. A journal with any
// record naming something outside the machine is refused before anything is done.
Outcome undoJournal(Machine& machine, Programs& programs, const std::vector<JournalRecord>& records,
                    const std::filesystem::path& keptDir);

} // namespace zel::uninstall
