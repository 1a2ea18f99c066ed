#include "app/helpers.h"

#include "winemu/cp1252.h"
#include "winemu/errors.h"

#include <cstdlib>
#include <system_error>
#include <vector>

namespace zel {

namespace fs = std::filesystem;

namespace {

bool isWithin(const fs::path& path, const fs::path& dir) {
    const fs::path relative = path.lexically_relative(dir);
    return !dir.empty() && !relative.empty() && *relative.begin() != "..";
}

} // namespace

std::optional<fs::path> findHelper(const fs::path& program, std::string_view name,
                                   const fs::path& buildTree, const fs::path& buildBinDir) {
    std::error_code ec;
    const fs::path file = fs::canonical(program, ec);
    std::vector<fs::path> dirs;
    if (name == kProgmanProgram || name == kUninstallProgram)
        dirs.push_back(program.parent_path());
    if (!ec) {
        dirs.push_back(file.parent_path());
        dirs.push_back(installedModuleDir(file.parent_path())); // an installed program's
    }
    if (!ec && isWithin(file, fs::weakly_canonical(buildTree, ec)))
        dirs.push_back(buildBinDir);
    if (const char* dir = std::getenv("ZEL_BIN_DIR"); dir && *dir)
        dirs.emplace_back(dir);
    for (const fs::path& dir : dirs) {
        const fs::path candidate = dir / name;
        if (!dir.empty() && fs::is_regular_file(candidate, ec))
            return candidate;
    }
    return std::nullopt;
}

std::string missingHelperMessage(std::string_view name, const fs::path& besideDir) {
    // One sentence: the message box adds the full stop.
    return "O arquivo " + std::string(name) +
           ", necess\xe1rio \xe0 instala\xe7\xe3o, n\xe3o foi encontrado junto ao programa de "
           "instala\xe7\xe3o (" +
           utf8ToCp1252(besideDir.string()) + ")";
}

HelperPrograms requireHelpers(const fs::path& program) {
    // The build tree, when the program runs from inside one, is told by the program's place.
    const fs::path buildBinDir = buildBinDirOf(program).value_or(fs::path());
    const fs::path buildTree = buildBinDir.parent_path();
    HelperPrograms programs;
    for (const char* name : kHelperFiles) {
        const std::optional<fs::path> found = findHelper(program, name, buildTree, buildBinDir);
        if (!found) {
            // Named where it was looked for: a module beside the file a link names.
            std::error_code ec;
            const fs::path file = fs::canonical(program, ec);
            const bool besideFile = name != std::string_view(kProgmanProgram) &&
                                    name != std::string_view(kUninstallProgram) && !ec;
            throw PlatformError(
                missingHelperMessage(name, (besideFile ? file : program).parent_path()));
        }
        if (std::string_view(name) == kProgmanProgram)
            programs.progman = *found;
        else if (std::string_view(name) == kUninstallProgram)
            programs.uninstaller = *found;
    }
    return programs;
}

} // namespace zel
