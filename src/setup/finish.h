#pragma once
// The finish sequence: Program Manager's groups and items, the update program's settings file,
// the uninstall log and registration, and the start of the browser setup.
#include "setup/catalogue.h"
#include "setup/choices.h"
#include "winemu/errors.h"
#include "winemu/files.h"
#include "winemu/machine.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

struct Platform;

// --- Program Manager macros. Values go in as they are: the macro language has no escape, so a
// value holding '"' would end its argument early and let the rest run as macros of its own;
// the finish sequence never sends such a macro (macroBreakingKeys names the kit's keys that
// would make one). A text is built whole whatever its length.
std::string createGroupMacro(std::string_view group);
std::string addItemMacro(std::string_view command, std::string_view name);
std::string addItemMacro(std::string_view command, std::string_view name, std::string_view icon);
std::string reloadMacro(std::string_view group);

// The group Program Manager starts its items from, and the update program's item in it.
inline constexpr const char* kStartUpGroup = "StartUp";
inline constexpr const char* kUpdateItem = "ZEL Update"; // without [Marca] atualizacao

// The path with each directory component replaced by its short name, or by its name as the
// file system reports it when there is none. The drive part (the first three characters) and
// the last component are kept as they are; a directory that cannot be found leaves an empty
// component. Each lookup uses the path as given up to that component.
std::string shortDirectoryForm(Files& files, std::string_view path);

// The update program: destino followed by update_programa.
std::string updateProgramPath(const SetupSettings& settings);
// Its settings file: the update program with the extension ".INI".
std::string updateSettingsPath(const SetupSettings& settings);
// Writes [ZEL] homepage, searchpage, item and grupo; raises "Unable to write to %s".
void writeUpdateSettings(const Machine& machine, const SetupSettings& settings);

// --- Uninstall log and registration.
inline constexpr const char* kUninstallLog = "zelun.ini"; // in the Windows directory
inline constexpr const char* kUninstallKeys =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// The key of the uninstaller named `name` ([Marca] desinstalacao).
inline std::string uninstallKey(std::string_view name) {
    return kUninstallKeys + std::string(name);
}
// Without [Marca] desinstalacao.
inline constexpr const char* kUninstallKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZEL Internet";
inline constexpr const char* kDisplayName = "ZEL Internet";
inline constexpr const char* kUninstaller = "zelun.exe";

// Writes [ZEL] dir = destino and grupo = grupo to zelun.ini in the Windows directory; raises
// "Unable to write to zelun.ini".
void writeUninstallLog(const Machine& machine, const Catalogue& catalogue);
// Registers the uninstaller in the machine's registry: DisplayName `name` and UninstallString
// under the uninstall key named `name`. Raises "Failed to create key %s" or "Failed to set data for
// '%s'"; when the key is created but will not open, nothing is written.
void registerUninstaller(const Machine& machine, std::string_view name = kDisplayName);
// The same for a given registry file and Windows directory (with or without its trailing "\").
void registerUninstaller(const std::filesystem::path& registryFile,
                         std::string_view windowsDirectory, std::string_view name = kDisplayName);

// The browser setup to start: the chosen browser's setup on the medium, or none ("").
std::string browserSetupCommand(const SetupSettings& settings, std::string_view programPath,
                                Browser browser);

// A key of the description file.
struct KitKey {
    std::string section, key;
    std::string name() const { return "[" + section + "] " + key; }
    bool operator==(const KitKey&) const = default;
};
// The kit's keys whose values would go into the finish sequence's macros holding '"' (the
// destination is the user's, checked as such): of the selected programs, or of every program
// when `allPrograms` (a kit's check, before anyone chooses).
std::vector<KitKey> macroBreakingKeys(const Catalogue& catalogue, bool allPrograms = false);

// --- The sequence behind "Finalizar", from working out the browser setup to starting it.
// The caller sets the busy cursor before and ends the wizard after; the Program Manager
// conversation stays open until the caller closes it. A failure to write a settings file or
// the registry raises and stops the sequence where it happened. A macro with a value holding
// '"' is not sent, and neither are the items of a group not sent: the sequence goes on.
struct FinishMacros {
    std::vector<std::string> sent;    // in the order they went out
    std::vector<std::string> refused; // the groups and items not sent, one line each
};
FinishMacros runFinishSequence(Platform& platform, const Catalogue& catalogue, Browser browser);

// Receives each macro text in the order it goes out.
using MacroSink = std::function<void(const std::string& macro)>;
// The same sequence with the macros going to `send` instead of Program Manager's conversation
// (which it neither opens nor uses). Returns the lines of the groups and items not sent.
std::vector<std::string> runFinishSequence(Platform& platform, const Catalogue& catalogue,
                                           Browser browser, const MacroSink& send);

// The groups and items the sequence's macros did not create, one line each for the user, given
// the macros in order and whether each was delivered and stored. An item whose group was not
// created is not where it belongs either.
std::vector<std::string> notCreated(const std::vector<std::string>& macros,
                                    const std::vector<bool>& delivered);

} // namespace zel
