#pragma once
// The parts of the program that bring large libraries with them (printing, sound) are shared
// modules loaded on first use, so the program does not load those libraries at every start.
#include <string>

namespace zel {

// The module files, as CMake builds them.
inline constexpr const char* kPrintModule = "libzel-print.so";
inline constexpr const char* kMediaModule = "libzel-media.so";

// Loads a module (once; it stays loaded) and returns its function `function`, or nullptr with
// the reason in `error`. A plain file name is looked for beside the running program, then
// where this build put it, then in $ZEL_BIN_DIR; a name with a slash is taken as it is.
void* moduleFunction(const std::string& module, const char* function, std::string& error);

} // namespace zel
