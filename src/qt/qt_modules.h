#pragma once
// The parts of the program that bring large libraries with them (printing, sound) are shared
// modules loaded on first use, so the program does not load those libraries at every start.
#include <filesystem>
#include <optional>
#include <string>

namespace zel {

// The module files, as CMake builds them.
inline constexpr const char* kPrintModule = "libzel-print.so";
inline constexpr const char* kMediaModule = "libzel-media.so";

// Where an installation keeps the modules, beside its bin directory (PREFIX/lib/zel-setup for
// programs in PREFIX/bin): the programs find them from their own place, wherever it was put.
std::filesystem::path installedModuleDir(const std::filesystem::path& programDir);

// The bin directory of the zel-setup build tree that holds `program` (its file, links
// followed), so that a program run from inside its build (bin/, or the demo's medium) may take
// what the build made. A tree is the nearest directory above the program with a CMakeCache.txt
// of this project; it counts only when it and its bin are the running user's and nobody else
// may change them, so a directory another user planted (in /tmp, say) is never taken.
std::optional<std::filesystem::path> buildBinDirOf(const std::filesystem::path& program);

// Loads a module (once; it stays loaded) and returns its function `function`, or nullptr with
// the reason in `error`. A plain file name is looked for beside the running program, in the
// installation's module directory, in the bin directory of the build tree the program runs
// from, then in $ZEL_BIN_DIR; a name with a slash is taken as it is.
void* moduleFunction(const std::string& module, const char* function, std::string& error);

} // namespace zel
