#pragma once
// The catalogue: the setup settings and the program table read from the setup description file.
#include "winemu/profile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace zel {

inline constexpr int kProgramEntries = 12;
inline constexpr int kSponsorEntries = 5;
inline constexpr int kFileSlots = 30;
inline constexpr std::size_t kFileNameLength = 12; // 8.3 names
inline constexpr const char* kMissing = "erro!";   // what a missing key flows on as
// The most the wizard reads of a kit's licence (its text box) and of one picture (shown at
// 64 x 64); a larger file is refused as a missing one is.
inline constexpr std::size_t kMaxLicenceBytes = std::size_t(1) << 20;
inline constexpr std::size_t kMaxPictureBytes = std::size_t(1) << 20;

struct SetupSettings {
    std::string version, group, destination, homePage, searchPage, groupIcon, internetIcon, bbsIcon,
        suggestedPassword, updateProgram, updateDirectory, uninstallProgram, uninstallDirectory,
        startSound, licenceFile, registrationIntro, registrationNotice, firstBrowserSetup,
        firstBrowserName;
    std::int32_t firstBrowserSize = 0;
    std::string secondBrowserSetup, secondBrowserName;
    std::int32_t secondBrowserSize = 0;
    // The provider's own texts, names and pictures ([Marca]); each missing key keeps the
    // wizard's built-in one, so a kit without the section looks as it always did.
    std::string brandTitle, brandCaption, brandName, brandShortName, brandWelcome, brandFax,
        brandFaxHeading, brandSupport, brandDialCommand, brandUpdateItem, brandUninstallName,
        brandBbsFile, brandIcon, brandWelcomePicture, brandTypePicture, brandConnectionPicture,
        brandCopyPicture, brandFinishPicture, brandBackground;
};

using FileList = std::array<std::string, kFileSlots>;

struct ProgramEntry {
    std::string name;
    bool preselected = false;
    std::int32_t sizeKb = 0;
    std::string directory;     // on the medium, ending in "\"
    bool ownDirectory = false; // the files go to that directory under the destination
    FileList files;            // slot K is files[K - 1]
    FileList systemFiles;      // for the system directory

    const std::string& file(int k) const { return files.at(k - 1); }
    const std::string& systemFile(int k) const { return systemFiles.at(k - 1); }
};

// The keys of the setup description file: what the catalogue reads, and what the kit tool
// knows of a kit.

// The provider's section: the texts, names and pictures that are the provider's, not the wizard's.
inline constexpr std::string_view kBrandSection = "Marca";

// The numbered sections: [Programa1] to [Programa12] and [Patro1] to [Patro5].
inline constexpr std::string_view kProgramSection = "Programa";
inline constexpr std::string_view kSponsorSection = "Patro";

// How a key is read. Numbers and flags read 0 when the key is missing or holds no number.
enum class KeyKind {
    Text,      // the value as written; a missing key reads as the key's fallback
    Directory, // text that ends in "\": one is added when missing (so empty becomes "\")
    Integer,   // the integer rule: decimal, 0x1F or $1F
    Flag,      // an integer, set when not 0
    FileList,  // names under the numbered keys NAME1 to NAME30, each cut to 12 characters;
               // the list ends at the first empty or missing one
};

// Each key by what it is, in the table's order: keyOf(KeyId::Group).name is the key's name, for
// code that reads or names one key (the finish sequence, the welcome page, the kit's check).
enum class KeyId : std::uint8_t {
    Version,
    Group,
    Destination,
    HomePage,
    SearchPage,
    GroupIcon,
    InternetIcon,
    BbsIcon,
    SuggestedPassword,
    UpdateProgram,
    UpdateDirectory,
    UninstallProgram,
    UninstallDirectory,
    StartSound,
    LicenceFile,
    RegistrationIntro,
    RegistrationNotice,
    FirstBrowserSetup,
    FirstBrowserName,
    FirstBrowserSize,
    SecondBrowserSetup,
    SecondBrowserName,
    SecondBrowserSize,
    ProgramName,
    ProgramSelected,
    ProgramSize,
    ProgramDirectory,
    ProgramOwnDirectory,
    ProgramFiles,
    ProgramSystemFiles,
    WelcomeMessage,
    SponsorDirectory,
    SponsorHint,
    SponsorPicture,
    SponsorProgram,
    BrandTitle,
    BrandCaption,
    BrandName,
    BrandShortName,
    BrandWelcome,
    BrandFax,
    BrandFaxHeading,
    BrandSupport,
    BrandDialCommand,
    BrandUpdateItem,
    BrandUninstallName,
    BrandBbsFile,
    BrandIcon,
    BrandWelcomePicture,
    BrandTypePicture,
    BrandConnectionPicture,
    BrandCopyPicture,
    BrandFinishPicture,
    BrandBackground,
};

// How badly a key's trouble spoils an installation, as the kit's check reports it.
enum class Weight : std::uint8_t { None, Note, Warning, Error };

// Where the catalogue keeps a key's value: nowhere for the keys the welcome page reads afresh
// each time it is shown.
using KeyField =
    std::variant<std::monostate, std::string SetupSettings::*, std::int32_t SetupSettings::*,
                 std::string ProgramEntry::*, std::int32_t ProgramEntry::*, bool ProgramEntry::*,
                 FileList ProgramEntry::*>;

// A file on the medium that a key's value names.
struct MediumFile {
    std::string_view label;            // how the kit's check names it; empty: the key names none
    std::optional<KeyId> under = {};   // the key of the directory it is in; none: the medium's root
    std::size_t maxBytes = SIZE_MAX;   // the most of it the wizard reads
    Weight ifAbsent = Weight::Warning; // when it is not on the medium
};

struct DescriptionKey {
    KeyId id;
    std::string_view section; // a numbered section's name without its number
    std::string_view name;    // a file list's key names without their number
    KeyKind kind;
    std::string_view fallback; // what a missing text key reads as
    std::string_view field;    // the value's name in the catalogue and in zel-kit show; empty: none
    KeyField place;
    std::string_view what;   // what the value is
    std::string_view usedBy; // who reads the value
    // A missing key: an "erro!" that flows into a path, a group or a macro is an error, one
    // only shown or written for the update program a warning, the version only a note.
    Weight ifMissing = Weight::None;
    // A value the wizard misreads: a number the integer rule refuses, a directory without the
    // "\" the wizard does not add, a file name longer than 12 characters.
    Weight ifBad = Weight::None;
    std::string_view zero = {}; // what a refused number counts as
    MediumFile file = {};
    // The most characters the control that shows the text fits on one line (its width in the
    // .ui over the average character width of its font); 0: no limit the check knows.
    std::size_t maxChars = 0;
    std::string_view shownIn = {}; // the page, window or file that shows it
};

// Every key, in the order of the catalogue's fields, then the welcome page's keys, then the
// provider's.
std::span<const DescriptionKey> descriptionKeys();
const DescriptionKey& keyOf(KeyId id);
inline std::string_view keyName(KeyId id) {
    return keyOf(id).name;
}
// A text key's value as written, or its fallback; `number` picks the entry of a numbered section.
std::string readKeyText(const ProfileFile& file, KeyId id, int number = 0);

// The member of Record that keeps the key's value, when it is one of type Value.
template <class Record, class Value> Value Record::*fieldOf(const DescriptionKey& key) {
    return std::visit(
        [](auto field) -> Value Record::* {
            if constexpr (std::is_same_v<decltype(field), Value Record::*>)
                return field;
            else
                return nullptr;
        },
        key.place);
}

class Catalogue {
public:
    SetupSettings settings;

    // Entry N, 1 to 12.
    ProgramEntry& entry(int n) { return entries_.at(n - 1); }
    const ProgramEntry& entry(int n) const { return entries_.at(n - 1); }

    // Reads the setup description file; never fails (missing keys take their defaults).
    void load(const ProfileFile& file);

private:
    std::array<ProgramEntry, kProgramEntries> entries_;
};

// The setup description file beside a program: its path with the extension ".INI".
std::string setupDescriptionPath(std::string_view programPath);
// The source directory: the program's directory with its trailing "\".
std::string sourceDirectory(std::string_view programPath);

} // namespace zel
