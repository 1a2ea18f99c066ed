#pragma once
// The kit's check inside: one Checker goes over a medium, each subject in its own file
// (check.cpp the run and the order of reports, check_text.cpp the text and the keys,
// check_medium.cpp the files on the medium, check_principal.cpp [Principal], [Update] and
// [Uninstall], check_programs.cpp [ProgramaN], check_sponsors.cpp [PatroN]). Every key, and
// how much its trouble weighs, comes from the catalogue's key table.
#include "tools/zel-kit/check.h"
#include "tools/zel-kit/description.h"
#include "tools/zel-kit/medium.h"

#include "setup/catalogue.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::kit {

// ----- texts for messages (check_text.cpp)

// A text of the kit (code page 1252) quoted for a message.
std::string q(std::string_view cp1252);
// "1 name", "2 names".
std::string plural(std::size_t n, const char* one, const char* many);
// The decimal number after prefix when name is prefix + a number as the wizard spells it
// (no sign, no leading zero), compared without regard to case; nothing otherwise.
std::optional<int> numberAfter(std::string_view name, std::string_view prefix);

// ----- the key table, as the check reads it (check.cpp)

Severity severityOf(zel::Weight weight);
bool numbered(std::string_view section);
// The sections without a number, in the order the keys first name them.
std::vector<std::string_view> fixedSections();
bool isFixedSection(std::string_view name);
// The keys whose missing value becomes "erro!", which flows on into paths, names and macros.
bool marked(const zel::DescriptionKey& key);

class Checker {
public:
    Checker(const std::filesystem::path& medium, std::optional<std::filesystem::path> description,
            bool verifySums)
        : medium_(medium), description_(std::move(description)), verifySums_(verifySums) {}

    std::vector<Problem> run();

private:
    void report(Severity severity, int line, std::string message);
    void reportIn(const std::string& file, Severity severity, int line, std::string message);
    std::vector<Problem> finish();

    // check.cpp
    void checkMacroQuotes(const std::filesystem::path& description);
    void checkUnreadSections();

    // check_text.cpp
    void checkEncoding(const std::string& file, std::string_view text,
                       const std::vector<zel::ini::ScannedLine>& lines);
    void checkLayout();
    void checkKeys(const Section& s, std::string_view section);
    void checkNumbers(const Section& s, std::string_view section);
    static std::optional<std::int32_t> numberIn(const Key* k);

    // check_medium.cpp
    void checkEntries();
    void checkProgmanStandIn(const std::filesystem::path& wizardDirectory);
    bool checkFile(Severity severity, const Key& k, const std::string& path, std::string_view what,
                   std::uintmax_t maxBytes = static_cast<std::uintmax_t>(-1));
    // The directory a key of kind Directory names, as the wizard reads it ("" for the
    // medium's root); nothing when a directory the wizard adds no "\" to lacks one (reported).
    std::optional<std::string> directoryIn(const Section& s, const zel::DescriptionKey& key);

    // check_principal.cpp
    void checkGlobals();
    void checkDestination();
    void checkLicence(const std::filesystem::path& host, std::size_t maxBytes);
    void checkBrand();

    // check_programs.cpp
    struct Slot {
        const Key* key = nullptr; // nothing for an empty slot
        std::string name;         // as stored: cut to 12 characters
    };
    std::vector<Slot> checkSlots(const Section& s, const zel::DescriptionKey& list);
    void checkPrograms();
    bool checkProgram(int n, const Section& s);
    void checkDialer(const Section& s);

    // check_sponsors.cpp
    void checkSponsors();

    Medium medium_;
    std::optional<std::filesystem::path> description_;
    bool verifySums_;
    Description d_;
    std::string file_;
    std::vector<Problem> problems_;
    int lastProgram_ = 0; // the last entry the catalogue reads
};

} // namespace zel::kit
