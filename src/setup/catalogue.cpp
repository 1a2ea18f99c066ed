#include "setup/catalogue.h"

#include "winemu/winpath.h"

#include <string>

namespace zel {

namespace {

// Slots 1 to 30 from keys prefix + K; the list ends right after the first empty name.
void readSlots(const ProfileFile& file, const std::string& section, const char* prefix,
               std::array<std::string, kFileSlots>& slots) {
    for (int k = 1; k <= kFileSlots; ++k) {
        std::string name = file.readText(section, prefix + std::to_string(k), "");
        if (name.size() > kFileNameLength)
            name.resize(kFileNameLength);
        slots[static_cast<std::size_t>(k - 1)] = std::move(name);
        if (slots[static_cast<std::size_t>(k - 1)].empty())
            break;
    }
}

} // namespace

void Catalogue::load(const ProfileFile& file) {
    settings = SetupSettings{};
    entries_ = {};

    SetupSettings& s = settings;
    s.versao = file.readText("Principal", "versao", kMissing);
    s.grupo = file.readText("Principal", "grupo", kMissing);
    s.destino = file.readText("Principal", "destino", kMissing);
    s.homepage = file.readText("Principal", "homepage", kMissing);
    s.searchpage = file.readText("Principal", "searchpage", kMissing);
    s.grupoicone = file.readText("Principal", "grupoicone", kMissing);
    s.bbsicone = file.readText("Principal", "bbsicone", kMissing);
    s.ineticone = file.readText("Principal", "ineticone", kMissing);
    s.update_programa = file.readText("Update", "programa", kMissing);
    s.update_diretorio = file.readText("Update", "diretorio", kMissing);
    s.uninstall_programa = file.readText("Uninstall", "programa", kMissing);
    s.uninstall_diretorio = file.readText("Uninstall", "diretorio", kMissing);
    s.upline = file.readText("Principal", "upline", "");
    s.licensa = file.readText("Principal", "licensa", kMissing);
    s.cadastro1 = file.readText("Principal", "cadastro1", "");
    s.cadastro2 = file.readText("Principal", "cadastro2", "");
    s.StartWave = file.readText("Principal", "StartWave", "");
    s.destino = withTrailingBackslash(s.destino);

    s.navegap_setup = file.readText("Principal", "navegap_setup", kMissing);
    s.navegap_version = file.readText("Principal", "navegap_version", kMissing);
    s.navegap_size = file.readInteger("Principal", "navegap_size", 0);
    s.navegai_setup = file.readText("Principal", "navegai_setup", kMissing);
    s.navegai_version = file.readText("Principal", "navegai_version", kMissing);
    s.navegai_size = file.readInteger("Principal", "navegai_size", 0);

    // The table ends with the first entry without a name; that entry itself is read whole and
    // stays (a nameless entry with instala set is still installed).
    for (int n = 1; n <= kProgramEntries; ++n) {
        const std::string section = "Programa" + std::to_string(n);
        ProgramEntry& e = entry(n);
        e.nome = file.readText(section, "nome", "");
        e.instala = file.readFlag(section, "instala", false) ? 1 : 0;
        e.tamanho = file.readInteger(section, "tamanho", 0);
        // An empty one becomes "\": it then names the source directory itself.
        e.diretorio = withTrailingBackslash(file.readText(section, "diretorio", ""));
        e.criadir = file.readFlag(section, "criadir", false) ? 1 : 0;
        readSlots(file, section, "Arquivo", e.Arquivo);
        readSlots(file, section, "System", e.System);
        if (e.nome.empty())
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
