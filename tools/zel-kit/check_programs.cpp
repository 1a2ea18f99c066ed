// [Programa1] to [Programa12]: where the program table ends, which entries can be installed,
// their file lists and their files on the medium, and the size they declare.
#include "tools/zel-kit/checker.h"

#include "setup/network_stack.h"
#include "winemu/cp1252.h"

#include <algorithm>

namespace zel::kit {

namespace fs = std::filesystem;
using zel::DescriptionKey;
using zel::KeyId;
using zel::keyName;

namespace {

std::string name(KeyId id) {
    return std::string(keyName(id));
}

} // namespace

// Reads one file list as the catalogue does and reports what it loses.
std::vector<Checker::Slot> Checker::checkSlots(const Section& s, const DescriptionKey& list) {
    const std::string prefix(list.name);
    std::vector<Slot> slots;
    int end = zel::kFileSlots + 1; // the first slot that is never read
    for (int k = 1; k <= zel::kFileSlots; ++k) {
        const Key* key = s.find(prefix + std::to_string(k));
        if (!key || key->value.empty()) {
            end = k + 1;
            break;
        }
        Slot slot{key, key->value};
        if (key->value.size() > zel::kFileNameLength) {
            slot.name.resize(zel::kFileNameLength);
            report(severityOf(list.ifBad), key->line,
                   q(key->value) + " is longer than 12 characters: the wizard keeps " +
                       q(slot.name) + ", which then fails to copy");
        }
        slots.push_back(std::move(slot));
    }
    // Names after the gap: one report for the list, at the first of them.
    std::vector<const Key*> lost;
    for (const Key& key : s.keys) {
        const auto n = numberAfter(key.name, prefix);
        if (n && *n >= end && *n <= zel::kFileSlots && !key.value.empty())
            lost.push_back(&key);
    }
    if (!lost.empty()) {
        const int gap = end - 1;
        std::string message = q(lost.front()->name);
        if (lost.size() > 1)
            message += " and " + plural(lost.size() - 1, "later name", "later names");
        message += std::string(lost.size() > 1 ? " are" : " is") + " never read: the list " +
                   "ends at the empty or missing " + prefix + std::to_string(gap);
        report(Severity::Warning,
               (*std::min_element(lost.begin(), lost.end(),
                                  [](const Key* a, const Key* b) { return a->line < b->line; }))
                   ->line,
               std::move(message));
    }
    return slots;
}

void Checker::checkPrograms() {
    lastProgram_ = 0;
    for (int n = 1; n <= zel::kProgramEntries; ++n) {
        lastProgram_ = n;
        const std::string section = std::string(zel::kProgramSection) + std::to_string(n);
        const Section* s = d_.find(section);
        // The table ends after the first entry without a name; a missing section is one.
        if (!s || !checkProgram(n, *s))
            break;
    }
}

// Returns whether the entry has a name (so the table goes on).
bool Checker::checkProgram(int n, const Section& s) {
    checkKeys(s, zel::kProgramSection);
    checkNumbers(s, zel::kProgramSection);

    const Key* nome = s.find(keyName(KeyId::ProgramName));
    const bool named = nome && !nome->value.empty();
    const auto instala = numberIn(s.find(keyName(KeyId::ProgramSelected)));
    const Key* sizeKey = s.find(keyName(KeyId::ProgramSize));
    const auto tamanho = numberIn(sizeKey);
    const bool selected = instala.value_or(0) != 0;

    const std::string section = "[" + zel::cp1252ToUtf8(s.name) + "]";
    // Entries 1 to 10 with a name have a check box; the rest install only when preselected.
    const bool shown = named && n <= 10;
    const bool installable = shown || selected;
    const Severity unnamed = severityOf(zel::keyOf(KeyId::ProgramName).ifMissing);
    if (!named) {
        const bool hasContent = std::any_of(s.keys.begin(), s.keys.end(),
                                            [](const Key& k) { return !k.value.empty(); });
        if (selected)
            report(unnamed, s.line,
                   section + " has no " + name(KeyId::ProgramName) + " but " +
                       name(KeyId::ProgramSelected) +
                       " is set: it is installed on every installation without being shown, and "
                       "it ends the program table");
        else if (hasContent)
            report(unnamed, s.line,
                   section + " has no " + name(KeyId::ProgramName) +
                       ": it ends the program table and is never shown nor installed");
    } else if (n > 10) {
        report(Severity::Warning, s.line,
               section + " " + q(nome->value) +
                   (selected ? " has no check box: it is installed on every installation "
                               "without being shown, and the user cannot deselect it"
                             : " has no check box and is not preselected: it is never "
                               "installed"));
    }

    std::int64_t bytes = 0;
    for (const DescriptionKey& list : zel::descriptionKeys()) {
        if (list.section != zel::kProgramSection || list.kind != zel::KeyKind::FileList ||
            list.file.label.empty())
            continue;
        // An empty directory becomes "\": the medium's root itself.
        std::string dir = *directoryIn(s, zel::keyOf(*list.file.under));
        if (dir == "\\")
            dir.clear();
        // A missing file stops the installation; of an entry never installed, it only wastes.
        const Severity missing = installable ? severityOf(list.file.ifAbsent) : Severity::Warning;
        for (const Slot& slot : checkSlots(s, list)) {
            if (slot.name.size() < slot.key->value.size())
                continue; // cut: reported as too long
            const std::string path = dir + slot.name;
            if (const auto host = medium_.findFile(path)) {
                std::error_code ec;
                const auto size = fs::file_size(*host, ec);
                if (!ec)
                    bytes += static_cast<std::int64_t>(size);
            } else {
                report(missing, slot.key->line,
                       q(path) + " (" + zel::cp1252ToUtf8(slot.key->name) + " of " + section +
                           ") is not on the medium" +
                           (installable ? ": the installation stops there" : ""));
            }
        }
    }

    if (n == 1 && installable)
        checkDialer(s);

    // The copy page's space check counts entries 1 to 10 by their declared size.
    const bool sizeReadable = !sizeKey || sizeKey->value.empty() || tamanho.has_value();
    const std::int64_t needed = (bytes + 1023) / 1024;
    const std::int64_t declared = tamanho.value_or(0);
    if (n <= 10 && installable && sizeReadable && declared < needed)
        report(severityOf(zel::keyOf(KeyId::ProgramSize).ifBad), sizeKey ? sizeKey->line : s.line,
               section + " " + name(KeyId::ProgramSize) + " " + std::to_string(declared) +
                   " is less than the " + std::to_string(needed) +
                   " kbytes its files take; the free-space check would pass too easily");
    return named;
}

// Entry 1 is always the dial-up stack: its second file gets the port and modem commands
// appended as profile keys, its third becomes the system's socket library. Another program
// there would have its files spoilt (the wizard refuses a settings file that is no profile).
void Checker::checkDialer(const Section& s) {
    std::string dir = *directoryIn(s, zel::keyOf(KeyId::ProgramDirectory));
    if (dir == "\\")
        dir.clear();
    const std::string section = "[" + zel::cp1252ToUtf8(s.name) + "]";
    const std::string files(zel::keyName(KeyId::ProgramFiles));
    const Key* settings = s.find(files + "2");
    const Key* library = s.find(files + "3");
    // Files it does not have are left alone by the wizard: only those it has are looked at.
    std::string why;
    if (!settings || settings->value.empty()) {
    } else if (const auto host = medium_.findFile(dir + settings->value)) {
        const std::optional<std::string> content = readWhole(*host);
        if (const auto no =
                content ? zel::notText(*content) : std::optional<std::string>("unreadable"))
            why = files + "2 " + q(settings->value) + " is no text settings file (" + *no +
                  "): the installation stops rather than write into it";
    }
    if (why.empty() && library && !library->value.empty()) {
        if (!zel::upperCp1252Text(library->value).ends_with(".DLL"))
            why = files + "3 " + q(library->value) +
                  " is no .DLL, yet it would replace the system's socket library";
    }
    if (!why.empty())
        report(Severity::Warning, s.line,
               section + " does not look like the dial-up stack entry 1 must be: " + why);
}

} // namespace zel::kit
