#include "setup/catalogue.h"

#include "winemu/winpath.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace zel {

namespace {

using S = SetupSettings;
using P = ProgramEntry;
using K = KeyKind;

constexpr DescriptionKey kKeys[] = {
    {"Principal", "versao", K::Text, kMissing, "versao", &S::version, "the kit's version"},
    {"Principal", "grupo", K::Text, kMissing, "grupo", &S::group, "the Program Manager group"},
    {"Principal", "destino", K::Directory, kMissing, "destino", &S::destination,
     "the destination directory"},
    {"Principal", "homepage", K::Text, kMissing, "homepage", &S::homePage,
     "the home page written for the update program"},
    {"Principal", "searchpage", K::Text, kMissing, "searchpage", &S::searchPage,
     "the search page written for the update program"},
    {"Principal", "grupoicone", K::Text, kMissing, "grupoicone", &S::groupIcon,
     "the group's icon file"},
    {"Principal", "ineticone", K::Text, kMissing, "ineticone", &S::internetIcon,
     "the Internet item's icon file"},
    {"Principal", "bbsicone", K::Text, kMissing, "bbsicone", &S::bbsIcon,
     "the BBS item's icon file"},
    {"Principal", "upline", K::Text, "", "upline", &S::suggestedPassword,
     "the password suggested on the registration page"},
    {"Update", "programa", K::Text, kMissing, "update_programa", &S::updateProgram,
     "the update program"},
    {"Update", "diretorio", K::Text, kMissing, "update_diretorio", &S::updateDirectory,
     "the update program's directory"},
    {"Uninstall", "programa", K::Text, kMissing, "uninstall_programa", &S::uninstallProgram,
     "the uninstaller"},
    {"Uninstall", "diretorio", K::Text, kMissing, "uninstall_diretorio", &S::uninstallDirectory,
     "the uninstaller's directory"},
    {"Principal", "StartWave", K::Text, "", "StartWave", &S::startSound,
     "the sound played at the start"},
    {"Principal", "licensa", K::Text, kMissing, "licensa", &S::licenceFile, "the licence text file"},
    {"Principal", "cadastro1", K::Text, "", "cadastro1", &S::registrationIntro,
     "the registration page's introduction"},
    {"Principal", "cadastro2", K::Text, "", "cadastro2", &S::registrationNotice,
     "the registration page's charging notice"},
    {"Principal", "navegap_setup", K::Text, kMissing, "navegap_setup", &S::firstBrowserSetup,
     "the first browser's setup program"},
    {"Principal", "navegap_version", K::Text, kMissing, "navegap_version", &S::firstBrowserName,
     "the first browser's name in the browser choice"},
    {"Principal", "navegap_size", K::Integer, "", "navegap_size", &S::firstBrowserSize,
     "the first browser's size in kbytes"},
    {"Principal", "navegai_setup", K::Text, kMissing, "navegai_setup", &S::secondBrowserSetup,
     "the second browser's setup program"},
    {"Principal", "navegai_version", K::Text, kMissing, "navegai_version", &S::secondBrowserName,
     "the second browser's name in the browser choice"},
    {"Principal", "navegai_size", K::Integer, "", "navegai_size", &S::secondBrowserSize,
     "the second browser's size in kbytes"},

    {kProgramSection, "nome", K::Text, "", "nome", &P::name, "the program's name"},
    {kProgramSection, "instala", K::Flag, "", "instala", &P::preselected,
     "whether the program is selected"},
    {kProgramSection, "tamanho", K::Integer, "", "tamanho", &P::sizeKb,
     "the space the program takes, in kbytes"},
    // An empty one becomes "\": it then names the source directory itself.
    {kProgramSection, "diretorio", K::Directory, "", "diretorio", &P::directory,
     "the program's directory on the medium"},
    {kProgramSection, "criadir", K::Flag, "", "criadir", &P::ownDirectory,
     "whether the files go to that directory under the destination"},
    {kProgramSection, "Arquivo", K::FileList, "", "Arquivo", &P::files, "the program's files"},
    {kProgramSection, "System", K::FileList, "", "System", &P::systemFiles,
     "the files for the system directory"},

    {"Principal", "Mensagem", K::Text, "", "", {}, "the welcome page's message line"},
    {kSponsorSection, "Diretorio", K::Text, "", "", {}, "the sponsor's directory on the medium"},
    {kSponsorSection, "Texto", K::Text, "", "", {}, "the sponsor's hint"},
    {kSponsorSection, "Imagem", K::Text, "", "", {}, "the sponsor's picture"},
    {kSponsorSection, "Programa", K::Text, "", "", {}, "the sponsor's program or picture"},
};

// Each key's kind matches the type of the field that keeps it.
constexpr bool fitsItsField(const DescriptionKey& key) {
    switch (key.kind) {
    case KeyKind::Text:
    case KeyKind::Directory:
        return std::holds_alternative<std::monostate>(key.place) ||
               std::holds_alternative<std::string S::*>(key.place) ||
               std::holds_alternative<std::string P::*>(key.place);
    case KeyKind::Integer:
        return std::holds_alternative<std::int32_t S::*>(key.place) ||
               std::holds_alternative<std::int32_t P::*>(key.place);
    case KeyKind::Flag:
        return std::holds_alternative<bool P::*>(key.place);
    case KeyKind::FileList:
        return std::holds_alternative<FileList P::*>(key.place);
    }
    return false;
}
static_assert(std::all_of(std::begin(kKeys), std::end(kKeys), fitsItsField));

// Slots 1 to 30 from keys prefix + K; the list ends right after the first empty name.
void readSlots(const ProfileFile& file, std::string_view section, std::string_view prefix,
               FileList& slots) {
    for (int k = 1; k <= kFileSlots; ++k) {
        std::string name = file.readText(section, std::string(prefix) + std::to_string(k), "");
        if (name.size() > kFileNameLength)
            name.resize(kFileNameLength);
        slots[static_cast<std::size_t>(k - 1)] = std::move(name);
        if (slots[static_cast<std::size_t>(k - 1)].empty())
            break;
    }
}

// Reads the key into its field of record, if it has one there.
template <class Record>
void readKey(const ProfileFile& file, std::string_view section, const DescriptionKey& key,
             Record& record) {
    switch (key.kind) {
    case KeyKind::Text:
        if (const auto field = fieldOf<Record, std::string>(key))
            record.*field = file.readText(section, key.name, key.fallback);
        break;
    case KeyKind::Directory:
        if (const auto field = fieldOf<Record, std::string>(key))
            record.*field = withTrailingBackslash(file.readText(section, key.name, key.fallback));
        break;
    case KeyKind::Integer:
        if (const auto field = fieldOf<Record, std::int32_t>(key))
            record.*field = file.readInteger(section, key.name, 0);
        break;
    case KeyKind::Flag:
        if (const auto field = fieldOf<Record, bool>(key))
            record.*field = file.readFlag(section, key.name, false);
        break;
    case KeyKind::FileList:
        if (const auto field = fieldOf<Record, FileList>(key))
            readSlots(file, section, key.name, record.*field);
        break;
    }
}

} // namespace

std::span<const DescriptionKey> descriptionKeys() {
    return kKeys;
}

void Catalogue::load(const ProfileFile& file) {
    settings = SetupSettings{};
    entries_ = {};
    for (const DescriptionKey& key : kKeys)
        readKey(file, key.section, key, settings);

    // The table ends with the first entry without a name; that entry itself is read whole and
    // stays (a nameless entry with instala set is still installed).
    for (int n = 1; n <= kProgramEntries; ++n) {
        const std::string section = std::string(kProgramSection) + std::to_string(n);
        ProgramEntry& e = entry(n);
        for (const DescriptionKey& key : kKeys)
            readKey(file, section, key, e);
        if (e.name.empty())
            break;
    }
}

std::string setupDescriptionPath(std::string_view programPath) {
    return changeFileExt(programPath, ".INI");
}

std::string sourceDirectory(std::string_view programPath) {
    std::string dir = extractFilePath(programPath);
    if (!dir.empty() && dir.back() != '\\')
        dir += '\\'; // "D:" alone, from a path such as "D:SETUP"
    return dir;
}

} // namespace zel
