#pragma once
// The Wine side of the machine: Windows (PE) programs the host cannot run are started through
// Wine, in a WINEPREFIX of the machine's own ($ZEL_PREFIX/wine) whose drives are the machine's
// drives and whose registry gets the machine's values before each start.
#include "winemu/machine.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zel {

// Whether the host file is a Windows program or library: an "MZ" header whose offset at 0x3C
// leads to a "PE\0\0" signature inside the file. (A DOS "MZ" program alone is not one.)
bool isPortableExecutable(const std::filesystem::path& host);

// The Wine loader to start programs with: $ZEL_WINE when set (a path, or a name looked up on
// PATH; nothing when it is not there, so a run can be told there is no Wine), else wine64 or
// wine on PATH, else Debian's loader /usr/lib/wine/wine64 (the wine64 package alone puts
// nothing on PATH).
std::optional<std::filesystem::path> findWine();

// The Debian package that brings Wine, named in the message of a machine without it.
inline constexpr const char* kWinePackage = "wine64";

// Why a Windows program cannot be started without Wine (UTF-8, Portuguese): names the program
// (a Windows path, code page 1252) and the package to install.
std::string wineMissingMessage(const std::string& program);

class WineSide {
public:
    // The Wine side of this machine, with the loader found by findWine().
    WineSide(const Machine& machine, std::filesystem::path loader);

    // Makes the Wine side ready for a start: created on first need (C: linked to the
    // machine's drive_c before Wine first sets itself up, which takes a few seconds and is
    // told on the standard error), the other drive letters linked as the machine has them,
    // and the machine's registry imported. Raises PlatformError when Wine cannot be set up;
    // a registry that cannot be imported is told on the standard error and the start goes on.
    void prepare();

    // The environment for a program started through Wine: `base` with WINEPREFIX set to this
    // side and Wine's debugging output and first-start prompts turned off (unless asked for).
    std::vector<std::string> environment(std::vector<std::string> base) const;

    const std::filesystem::path& loader() const { return loader_; }
    // The WINEPREFIX, as other processes name it.
    std::filesystem::path prefix() const;

private:
    void setUp();
    void linkDrives();
    void importRegistry();
    // Runs the loader (or `program`) with these arguments, output discarded, and waits; the
    // exit status, or -1 when it could not be started.
    int runQuietly(const std::filesystem::path& program,
                   const std::vector<std::string>& args) const;

    const Machine& m_;
    std::filesystem::path loader_;
};

} // namespace zel
