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
using Id = KeyId;
using W = Weight;

constexpr std::string_view kPrincipal = "Principal";
constexpr std::string_view kUpdate = "Update";
constexpr std::string_view kUninstall = "Uninstall";
constexpr std::string_view kRun = "the installation run";
constexpr std::string_view kWelcome = "the welcome page";
constexpr std::size_t kAny = SIZE_MAX;
constexpr std::string_view kBrand = kBrandSection;
constexpr std::string_view kPagePicture = "the page's picture";
constexpr MediumFile kPictureFile = {kPagePicture, {}, kMaxPictureBytes};

// The table keeps one key to a few lines, as written, rather than one field to a line.
// clang-format off
constexpr DescriptionKey kKeys[] = {
    {Id::Version, kPrincipal, "versao", K::Text, kMissing, "versao", &S::version,
     "the kit's version", "nobody but zel-kit show", W::Note},
    {Id::Group, kPrincipal, "grupo", K::Text, kMissing, "grupo", &S::group,
     "the Program Manager group", "the finish sequence's macros, the update program's settings",
     W::Error},
    {Id::Destination, kPrincipal, "destino", K::Directory, kMissing, "destino", &S::destination,
     "the destination directory", "start-up, the custom installation page, the run, the finish",
     W::Error},
    {Id::HomePage, kPrincipal, "homepage", K::Text, kMissing, "homepage", &S::homePage,
     "the home page written for the update program", "the finish sequence", W::Warning},
    {Id::SearchPage, kPrincipal, "searchpage", K::Text, kMissing, "searchpage", &S::searchPage,
     "the search page written for the update program", "the finish sequence", W::Warning},
    {Id::GroupIcon, kPrincipal, "grupoicone", K::Text, kMissing, "grupoicone", &S::groupIcon,
     "the group's icon file", kRun, W::Error, W::None, {}, {"the icon", Id::UpdateDirectory}},
    {Id::InternetIcon, kPrincipal, "ineticone", K::Text, kMissing, "ineticone", &S::internetIcon,
     "the Internet item's icon file", "the installation run, the finish sequence's items",
     W::Error, W::None, {}, {"the icon", Id::UpdateDirectory}},
    {Id::BbsIcon, kPrincipal, "bbsicone", K::Text, kMissing, "bbsicone", &S::bbsIcon,
     "the BBS item's icon file", "the installation run, the finish sequence's items", W::Error,
     W::None, {}, {"the icon", Id::UpdateDirectory}},
    {Id::SuggestedPassword, kPrincipal, "upline", K::Text, "", "upline", &S::suggestedPassword,
     "the password suggested on the registration page", "the registration page"},
    {Id::UpdateProgram, kUpdate, "programa", K::Text, kMissing, "update_programa",
     &S::updateProgram, "the update program", "the installation run, the finish sequence",
     W::Error, W::None, {}, {"the update program", Id::UpdateDirectory}},
    // Unlike a program's directory, the wizard adds no "\" to this one.
    {Id::UpdateDirectory, kUpdate, "diretorio", K::Text, kMissing, "update_diretorio",
     &S::updateDirectory, "the update program's directory", kRun, W::Error, W::Error},
    {Id::UninstallProgram, kUninstall, "programa", K::Text, kMissing, "uninstall_programa",
     &S::uninstallProgram, "the uninstaller", kRun, W::Error, W::None, {},
     {"the uninstaller", Id::UninstallDirectory}},
    {Id::UninstallDirectory, kUninstall, "diretorio", K::Text, kMissing, "uninstall_diretorio",
     &S::uninstallDirectory, "the uninstaller's directory", kRun, W::Error, W::Error},
    // Empty: no sound.
    {Id::StartSound, kPrincipal, "StartWave", K::Text, "", "StartWave", &S::startSound,
     "the sound played at the start", "start-up", W::None, W::None, {}, {"the start sound"}},
    {Id::LicenceFile, kPrincipal, "licensa", K::Text, kMissing, "licensa", &S::licenceFile,
     "the licence text file", "the licence page", W::Error, W::None, {},
     {"the licence text", {}, kMaxLicenceBytes}},
    {Id::RegistrationIntro, kPrincipal, "cadastro1", K::Text, "", "cadastro1",
     &S::registrationIntro, "the registration page's introduction", "the registration page"},
    {Id::RegistrationNotice, kPrincipal, "cadastro2", K::Text, "", "cadastro2",
     &S::registrationNotice, "the registration page's charging notice", "the registration page"},
    {Id::FirstBrowserSetup, kPrincipal, "navegap_setup", K::Text, kMissing, "navegap_setup",
     &S::firstBrowserSetup, "the first browser's setup program", "the finish sequence",
     W::Error, W::None, {}, {"the browser setup"}},
    {Id::FirstBrowserName, kPrincipal, "navegap_version", K::Text, kMissing, "navegap_version",
     &S::firstBrowserName, "the first browser's name in the browser choice",
     "the custom installation page", W::Warning},
    {Id::FirstBrowserSize, kPrincipal, "navegap_size", K::Integer, "", "navegap_size",
     &S::firstBrowserSize, "the first browser's size in kbytes", "the disk-space check",
     W::None, W::Warning, "kbytes"},
    {Id::SecondBrowserSetup, kPrincipal, "navegai_setup", K::Text, kMissing, "navegai_setup",
     &S::secondBrowserSetup, "the second browser's setup program", "the finish sequence",
     W::Error, W::None, {}, {"the browser setup"}},
    {Id::SecondBrowserName, kPrincipal, "navegai_version", K::Text, kMissing, "navegai_version",
     &S::secondBrowserName, "the second browser's name in the browser choice",
     "the custom installation page", W::Warning},
    {Id::SecondBrowserSize, kPrincipal, "navegai_size", K::Integer, "", "navegai_size",
     &S::secondBrowserSize, "the second browser's size in kbytes", "the disk-space check",
     W::None, W::Warning, "kbytes"},

    // A missing name ends the program table.
    {Id::ProgramName, kProgramSection, "nome", K::Text, "", "nome", &P::name,
     "the program's name", "the custom installation page, the finish sequence's items",
     W::Warning},
    {Id::ProgramSelected, kProgramSection, "instala", K::Flag, "", "instala", &P::preselected,
     "whether the program is selected", "start-up's choices, the installation run", W::None,
     W::Warning, "(not selected)"},
    // Also bad: less than the program's files take.
    {Id::ProgramSize, kProgramSection, "tamanho", K::Integer, "", "tamanho", &P::sizeKb,
     "the space the program takes, in kbytes", "the disk-space check", W::None, W::Warning,
     "kbytes"},
    // An empty one becomes "\": it then names the source directory itself.
    {Id::ProgramDirectory, kProgramSection, "diretorio", K::Directory, "", "diretorio",
     &P::directory, "the program's directory on the medium", kRun},
    {Id::ProgramOwnDirectory, kProgramSection, "criadir", K::Flag, "", "criadir",
     &P::ownDirectory, "whether the files go to that directory under the destination",
     "the installation run, the finish sequence", W::None, W::Warning,
     "(files to the destination itself)"},
    // A missing file stops the installation: only a warning for an entry never installed.
    {Id::ProgramFiles, kProgramSection, "Arquivo", K::FileList, "", "Arquivo", &P::files,
     "the program's files", "the installation run, the finish sequence (Arquivo1 is the item)",
     W::None, W::Error, {}, {"the program's file", Id::ProgramDirectory, kAny, W::Error}},
    {Id::ProgramSystemFiles, kProgramSection, "System", K::FileList, "", "System",
     &P::systemFiles, "the files for the system directory", kRun, W::None, W::Error, {},
     {"the program's system file", Id::ProgramDirectory, kAny, W::Error}},

    {Id::WelcomeMessage, kPrincipal, "Mensagem", K::Text, "", "", {},
     "the welcome page's message line", kWelcome},
    // The welcome page adds the "\" when missing.
    {Id::SponsorDirectory, kSponsorSection, "Diretorio", K::Directory, "", "", {},
     "the sponsor's directory on the medium", kWelcome},
    // No text, no sponsor: missing, it hides a picture or program.
    {Id::SponsorHint, kSponsorSection, "Texto", K::Text, "", "", {}, "the sponsor's hint",
     kWelcome, W::Note},
    {Id::SponsorPicture, kSponsorSection, "Imagem", K::Text, "", "", {}, "the sponsor's picture",
     kWelcome, W::Warning, W::None, {},
     {"the sponsor's picture", Id::SponsorDirectory, kMaxPictureBytes}},
    {Id::SponsorProgram, kSponsorSection, "Programa", K::Text, "", "", {},
     "the sponsor's program or picture", kWelcome, W::None, W::None, {},
     {"the sponsor's program", Id::SponsorDirectory}},

    // The provider's section. Each fallback is the built-in text, so a kit without it shows
    // exactly what it always did; an empty fallback keeps the page's own text or picture. The
    // lengths: the control's usable width over the average character width of its font (5
    // pixels for MS Sans Serif 8, 6 for 10 and for the bold caption), times the lines its
    // height holds.
    {Id::BrandTitle, kBrand, "titulo", K::Text, "ZEL Internet for Windows 95/NT", "titulo",
     &S::brandTitle, "the application's title", "the task bar entry, the error messages' caption",
     W::None, W::None, {}, {}, 64, "task bar, error messages"},
    {Id::BrandCaption, kBrand, "legenda", K::Text, "ZEL - Windows 95/NT", "legenda",
     &S::brandCaption, "the welcome page's caption", kWelcome, W::None, W::None, {}, {}, 64,
     "welcome page (caption)"},
    {Id::BrandName, kBrand, "nome", K::Text, "ZEL Internet", "nome", &S::brandName,
     "the provider's full name (for \"ZEL Internet\" in the pages' texts)",
     "the registration page, the backdrop, the dial-up stack's settings file", W::None, W::None,
     {}, {}, 40, "registration page (caption), background, dialer settings (section)"},
    {Id::BrandShortName, kBrand, "provedor", K::Text, "ZEL", "provedor", &S::brandShortName,
     "the provider's short name (for \"ZEL\" in the pages' texts)",
     "the welcome and registration pages", W::None, W::None, {}, {}, 20,
     "welcome page, registration page"},
    {Id::BrandWelcome, kBrand, "boasvindas", K::Text, "", "boasvindas", &S::brandWelcome,
     "the welcome text, whole (empty: the built-in one with provedor in it)", kWelcome, W::None,
     W::None, {}, {}, 300, "welcome page"},
    {Id::BrandFax, kBrand, "fax", K::Text, "(011) 555-0190", "fax", &S::brandFax,
     "the fax number the registration goes to", "the fax notice", W::None, W::None, {}, {}, 24,
     "fax notice"},
    {Id::BrandFaxHeading, kBrand, "cabecalho", K::Text, "Enviar via FAX para: 011-555-0190",
     "cabecalho", &S::brandFaxHeading, "the printout's heading", "the registration's printout",
     W::None, W::None, {}, {}, 55, "printout"},
    {Id::BrandSupport, kBrand, "suporte", K::Text, "(011) 555-0175", "suporte", &S::brandSupport,
     "the support telephone number", "the finish page", W::None, W::None, {}, {}, 40,
     "finish page"},
    {Id::BrandDialCommand, kBrand, "discagem", K::Text, "ATDP5550100", "discagem",
     &S::brandDialCommand, "the dial command proposed", "the connection page, the dialer settings",
     W::None, W::None, {}, {}, 40, "connection page, dialer settings ($phone)"},
    {Id::BrandUpdateItem, kBrand, "atualizacao", K::Text, "ZEL Update", "atualizacao",
     &S::brandUpdateItem, "the update program's item in StartUp",
     "the finish sequence, the update program's settings", W::None, W::None, {}, {}, 40,
     "StartUp group, update settings (item)"},
    {Id::BrandUninstallName, kBrand, "desinstalacao", K::Text, "ZEL Internet", "desinstalacao",
     &S::brandUninstallName, "the uninstall key's name and its DisplayName", "the finish sequence",
     W::None, W::None, {}, {}, 60, "registry (Uninstall key), Add/Remove Programs"},
    {Id::BrandBbsFile, kBrand, "bbs", K::Text, "ZEL.HT", "bbs", &S::brandBbsFile,
     "the first file of the program whose item gets bbsicone", "the finish sequence", W::None,
     W::None, {}, {}, 12, "Program Manager item's icon"},
    {Id::BrandIcon, kBrand, "icone", K::Text, "", "icone", &S::brandIcon,
     "the application's icon (empty: the built-in one)", "the windows' icon", W::None, W::None,
     {}, {"the application's icon", {}, kMaxPictureBytes}, 0, "window icon"},
    {Id::BrandWelcomePicture, kBrand, "imagem_boasvindas", K::Text, "", "imagem_boasvindas",
     &S::brandWelcomePicture, "the welcome page's picture (empty: the built-in one)", kWelcome,
     W::None, W::None, {}, kPictureFile, 0, "welcome page"},
    {Id::BrandTypePicture, kBrand, "imagem_tipo", K::Text, "", "imagem_tipo",
     &S::brandTypePicture, "the installation type page's picture (empty: the built-in one)",
     "the installation type page", W::None, W::None, {}, kPictureFile, 0,
     "installation type page"},
    {Id::BrandConnectionPicture, kBrand, "imagem_conexao", K::Text, "", "imagem_conexao",
     &S::brandConnectionPicture, "the connection page's picture (empty: the built-in one)",
     "the connection page", W::None, W::None, {}, kPictureFile, 0, "connection page"},
    {Id::BrandCopyPicture, kBrand, "imagem_copia", K::Text, "", "imagem_copia",
     &S::brandCopyPicture, "the copy page's picture (empty: the built-in one)", "the copy page",
     W::None, W::None, {}, kPictureFile, 0, "copy page"},
    {Id::BrandFinishPicture, kBrand, "imagem_fim", K::Text, "", "imagem_fim",
     &S::brandFinishPicture, "the finish page's picture (empty: the built-in one)",
     "the finish page", W::None, W::None, {}, kPictureFile, 0, "finish page"},
    {Id::BrandBackground, kBrand, "fundo", K::Text, "", "fundo", &S::brandBackground,
     "the background's colour at the top, R,G,B from 0 to 255, fading to black (empty: blue)",
     "the backdrop", W::None, W::Warning, {}, {}, 0, "background"},
};
// clang-format on

// Each key's place in the table is its KeyId.
constexpr bool inIdOrder() {
    for (std::size_t i = 0; i < std::size(kKeys); ++i)
        if (static_cast<std::size_t>(kKeys[i].id) != i)
            return false;
    return true;
}
static_assert(inIdOrder());

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
    case KeyKind::Flag: return std::holds_alternative<bool P::*>(key.place);
    case KeyKind::FileList: return std::holds_alternative<FileList P::*>(key.place);
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
        if (const auto field = fieldOf<Record, std::string>(key)) {
            record.*field = file.readText(section, key.name, key.fallback);
            // The provider's keys: written but empty keeps the built-in one too.
            if (key.section == kBrandSection && (record.*field).empty())
                record.*field = key.fallback;
        }
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

const DescriptionKey& keyOf(KeyId id) {
    return kKeys[static_cast<std::size_t>(id)];
}

std::string readKeyText(const ProfileFile& file, KeyId id, int number) {
    const DescriptionKey& key = keyOf(id);
    const std::string section =
        std::string(key.section) + (number ? std::to_string(number) : std::string());
    return file.readText(section, key.name, key.fallback);
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
