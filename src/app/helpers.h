#pragma once
// The files the wizard needs beside it at run time: Program Manager's program, the uninstaller
// and the printing and sound modules. A kit medium carries them; a copy of the wizard without them
// would install every file and then fail at Program Manager or at printing, so their absence stops
// it first.
#include "qt/qt_modules.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zel {

inline constexpr const char* kProgmanProgram = "progman";
inline constexpr const char* kUninstallProgram = "zel-uninstall";
inline constexpr std::array<const char*, 4> kHelperFiles = {kProgmanProgram, kUninstallProgram,
                                                            kPrintModule, kMediaModule};

// Where the program started as `program` finds a helper: beside it (Program Manager also
// beside the file a link names; a module only there, where the program loads it from), in the
// installation's module directory beside that one (installedModuleDir), then in `buildBinDir`
// when the program's file lies inside `buildTree` (a copy elsewhere, such as a kit medium,
// must carry its own), then in $ZEL_BIN_DIR. Nothing when none holds it.
std::optional<std::filesystem::path> findHelper(const std::filesystem::path& program,
                                                std::string_view name,
                                                const std::filesystem::path& buildTree,
                                                const std::filesystem::path& buildBinDir);

// The message (code page 1252, for the wizard's message box) naming a missing helper.
std::string missingHelperMessage(std::string_view name, const std::filesystem::path& besideDir);

// The sums file a packed medium carries beside the wizard.
inline constexpr const char* kMediumSums = "SHA256SUMS";

// When `mediumDir` holds SHA256SUMS, checks every file it lists against its sum (read with no
// link followed) and raises PlatformError (code page 1252, naming the file) for a file that
// differs, is missing, is a link or cannot be read, and for a sums file that is no such list.
// A medium without the file is taken as it is.
void verifyMedium(const std::filesystem::path& mediumDir);

// The message (code page 1252) naming a helper that is a link, not a file.
std::string linkedHelperMessage(std::string_view name, const std::filesystem::path& besideDir);

struct HelperPrograms {
    std::filesystem::path progman, uninstaller;
};
// Verifies the medium the program is on (verifyMedium), and the kit's medium when it is given
// apart (`mediumDir`, SETUP --medium), then finds every helper beside the program, with the
// build tree the program runs from, if any (buildBinDirOf); raises PlatformError with
// missingHelperMessage for the first that is missing, linkedHelperMessage for one that is a link
// (a program would be copied into the machine, a module loaded). Gives the two programs.
HelperPrograms requireHelpers(const std::filesystem::path& program,
                              const std::filesystem::path& mediumDir = {});

} // namespace zel
