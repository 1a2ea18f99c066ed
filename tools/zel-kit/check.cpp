#include "tools/zel-kit/check.h"

#include "tools/zel-kit/checker.h"
#include "tools/zel-kit/pack.h"

#include "setup/catalogue.h"
#include "setup/finish.h"
#include "winemu/cp1252.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zel::kit {

namespace fs = std::filesystem;

const char* severityName(Severity severity) {
    switch (severity) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Note: return "note";
    }
    return "error";
}

Tally tally(const std::vector<Problem>& problems) {
    Tally counts;
    for (const Problem& p : problems) {
        switch (p.severity) {
        case Severity::Error: ++counts.errors; break;
        case Severity::Warning: ++counts.warnings; break;
        case Severity::Note: ++counts.notes; break;
        }
    }
    return counts;
}

std::string summary(const Tally& counts) {
    const auto count = [](int n) { return static_cast<std::size_t>(n); };
    return plural(count(counts.errors), "error", "errors") + ", " +
           plural(count(counts.warnings), "warning", "warnings") + ", " +
           plural(count(counts.notes), "note", "notes");
}

// ---------------------------------------------------------------------------------------------
// The key table, as the check reads it

Severity severityOf(zel::Weight weight) {
    switch (weight) {
    case zel::Weight::Error: return Severity::Error;
    case zel::Weight::Warning: return Severity::Warning;
    case zel::Weight::Note:
    case zel::Weight::None: // asked only of keys whose trouble weighs something
        return Severity::Note;
    }
    return Severity::Error;
}

bool numbered(std::string_view section) {
    return section == zel::kProgramSection || section == zel::kSponsorSection;
}

std::vector<std::string_view> fixedSections() {
    std::vector<std::string_view> sections;
    for (const zel::DescriptionKey& key : zel::descriptionKeys())
        if (!numbered(key.section) &&
            std::find(sections.begin(), sections.end(), key.section) == sections.end())
            sections.push_back(key.section);
    return sections;
}

bool isFixedSection(std::string_view name) {
    const auto sections = fixedSections();
    return std::any_of(sections.begin(), sections.end(),
                       [&](std::string_view s) { return zel::equalsNoCase(name, s); });
}

bool marked(const zel::DescriptionKey& key) {
    return key.fallback == zel::kMissing;
}

// ---------------------------------------------------------------------------------------------
// The run

std::vector<Problem> Checker::run() {
    std::error_code ec;
    if (!fs::is_directory(medium_.root(), ec))
        throw std::runtime_error(medium_.root().string() + ": not a directory");
    checkEntries();
    if (verifySums_)
        for (Problem& p : verifyManifest(medium_.root()))
            problems_.push_back(std::move(p));
    const std::optional<fs::path> description =
        description_ ? description_ : medium_.findDescription();
    if (!description) {
        file_ = std::string(kDescriptionName);
        report(Severity::Error, 0,
               "no setup description file: the wizard, copied to the medium as SETUP, reads "
               "SETUP.INI beside itself and would run with every setting at its default");
        return finish();
    }
    file_ = medium_.display(*description);
    std::optional<std::string> text = readWhole(*description);
    if (!text)
        throw std::runtime_error(description->string() + ": cannot be read");
    d_.text = std::move(*text);
    scanDescription(d_);

    checkEncoding(file_, d_.text, d_.lines);
    checkLayout();
    checkGlobals();
    checkPrograms();
    checkSponsors();
    checkUnreadSections();
    checkMacroQuotes(*description);
    checkProgmanStandIn(description->parent_path());
    return finish();
}

void Checker::report(Severity severity, int line, std::string message) {
    problems_.push_back({file_, line, severity, std::move(message)});
}

void Checker::reportIn(const std::string& file, Severity severity, int line, std::string message) {
    problems_.push_back({file, line, severity, std::move(message)});
}

std::vector<Problem> Checker::finish() {
    // The description file first, then the files it names, each by line.
    std::stable_sort(problems_.begin(), problems_.end(), [&](const Problem& a, const Problem& b) {
        const bool aMain = a.file == file_, bMain = b.file == file_;
        if (aMain != bMain)
            return aMain;
        if (a.file != b.file)
            return a.file < b.file;
        return a.line < b.line;
    });
    return std::move(problems_);
}

// Program Manager's macros have no escape: a '"' in a value they carry would end its argument
// and run the rest as macros of their own. The wizard leaves such a group or item out.
void Checker::checkMacroQuotes(const fs::path& description) {
    zel::Catalogue catalogue;
    catalogue.load(zel::ProfileFile::atHostPath(description));
    for (const zel::KitKey& key : zel::macroBreakingKeys(catalogue, true)) {
        const Section* s = d_.find(key.section);
        const Key* k = s ? s->find(key.key) : nullptr;
        report(Severity::Error, k ? k->line : 0,
               key.name() + " holds '\"', which would end its Program Manager macro argument "
                            "early: the wizard does not create that group or item");
    }
}

// Sections nobody reads.
void Checker::checkUnreadSections() {
    for (const Section& s : d_.sections) {
        if (!s.first)
            continue; // reported as a repeat
        const std::string section = "[" + zel::cp1252ToUtf8(s.name) + "]";
        if (const auto n = numberAfter(s.name, zel::kProgramSection)) {
            const std::string last =
                std::string(zel::kProgramSection) + std::to_string(lastProgram_);
            if (*n > zel::kProgramEntries)
                report(Severity::Warning, s.line,
                       section + " is never read: the wizard reads at most " +
                           std::to_string(zel::kProgramEntries) + " programs");
            else if (*n > lastProgram_)
                report(Severity::Warning, s.line,
                       section + " is never read: the program table ends at entry " +
                           std::to_string(lastProgram_) + ", whose section is " +
                           (d_.find(last)
                                ? "without " + std::string(zel::keyName(zel::KeyId::ProgramName))
                                : std::string("missing")));
            continue;
        }
        if (const auto k = numberAfter(s.name, zel::kSponsorSection)) {
            if (*k > zel::kSponsorEntries)
                report(Severity::Warning, s.line,
                       section + " is never read: the welcome page shows at most " +
                           std::to_string(zel::kSponsorEntries) + " sponsors");
            continue;
        }
        if (isFixedSection(s.name))
            continue;
        report(Severity::Warning, s.line,
               section + " is no section the wizard reads; its keys are never read");
    }
}

std::vector<Problem> checkMedium(const fs::path& medium, const std::optional<fs::path>& description,
                                 bool verifySums) {
    return Checker(medium, description, verifySums).run();
}

} // namespace zel::kit
