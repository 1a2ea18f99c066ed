#pragma once
// The catalogue: the setup settings and the program table read from the setup description file.
#include "winemu/profile.h"

#include <array>
#include <cstdint>
#include <string>

namespace zel {

inline constexpr int kProgramEntries = 12;
inline constexpr int kFileSlots = 30;
inline constexpr std::size_t kFileNameLength = 12; // 8.3 names
inline constexpr const char* kMissing = "erro!";   // what a missing key flows on as

struct SetupSettings {
    std::string versao, grupo, destino, homepage, searchpage, grupoicone, ineticone, bbsicone,
        upline, update_programa, update_diretorio, uninstall_programa, uninstall_diretorio,
        StartWave, licensa, cadastro1, cadastro2, navegap_setup, navegap_version;
    std::int32_t navegap_size = 0;
    std::string navegai_setup, navegai_version;
    std::int32_t navegai_size = 0;
};

struct ProgramEntry {
    std::string nome;
    std::uint8_t instala = 0;
    std::int32_t tamanho = 0;
    std::string diretorio;
    std::uint8_t criadir = 0;
    std::array<std::string, kFileSlots> Arquivo; // slot K is Arquivo[K - 1]
    std::array<std::string, kFileSlots> System;

    const std::string& arquivo(int k) const { return Arquivo.at(k - 1); }
    const std::string& system(int k) const { return System.at(k - 1); }
};

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
