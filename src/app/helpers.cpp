#include "app/helpers.h"

#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/host_file.h"
#include "winemu/sha256.h"

#include <algorithm>
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

namespace {

[[noreturn]] void refuseMedium(const std::string& file, const std::string& why) {
    throw PlatformError("O arquivo " + utf8ToCp1252(file) + " da m\355dia " + why +
                        "; nada foi instalado");
}

bool isSum(std::string_view text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
           });
}

} // namespace

void verifyMedium(const fs::path& mediumDir) {
    const fs::path sumsFile = mediumDir / kMediumSums;
    std::optional<std::string> sums;
    try {
        sums = readHostFileNoLink(sumsFile);
    } catch (const HostFileError&) {
        refuseMedium(kMediumSums, "n\xe3o p\364de ser lido (um link ou algo que n\xe3o \xe9 "
                                  "um arquivo)");
    }
    if (!sums)
        return;
    // Every line is read before any file, so a damaged list stops before any work.
    std::vector<std::pair<std::string, std::string>> listed; // name, sum
    std::string_view rest = *sums;
    for (int number = 1; !rest.empty(); ++number) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        std::string name(line.size() > 66 ? line.substr(66) : std::string_view());
        bool inside = !name.empty() && name.front() != '/';
        for (const fs::path& part : fs::path(name))
            inside = inside && part != ".." && part != "." && !part.empty();
        if (!isSum(line.substr(0, 64)) || line.size() <= 66 ||
            (line.substr(64, 2) != "  " && line.substr(64, 2) != " *") || !inside)
            refuseMedium(kMediumSums, "est\xe1 danificado (linha " + std::to_string(number) + ")");
        std::string sum(line.substr(0, 64));
        std::transform(sum.begin(), sum.end(), sum.begin(),
                       [](char c) { return static_cast<char>(c >= 'A' && c <= 'F' ? c + 32 : c); });
        listed.emplace_back(std::move(name), std::move(sum));
    }
    for (const auto& [name, sum] : listed) {
        std::optional<std::string> actual;
        try {
            actual = sha256OfFile(mediumDir / name);
        } catch (const HostFileError&) {
            refuseMedium(name, "n\xe3o p\364de ser verificado (um link ou algo que n\xe3o \xe9 "
                               "um arquivo)");
        }
        if (!actual)
            refuseMedium(name, "est\xe1 listado em " + std::string(kMediumSums) +
                                   " mas n\xe3o foi encontrado");
        if (*actual != sum)
            refuseMedium(name, "n\xe3o confere com " + std::string(kMediumSums) +
                                   ": foi alterado depois que a m\355dia foi feita");
    }
}

std::string linkedHelperMessage(std::string_view name, const fs::path& besideDir) {
    return "O arquivo " + std::string(name) + " junto ao programa de instala\xe7\xe3o (" +
           utf8ToCp1252(besideDir.string()) +
           ") \xe9 um link, n\xe3o um arquivo: nada foi instalado";
}

HelperPrograms requireHelpers(const fs::path& program, const fs::path& mediumDir) {
    verifyMedium(program.parent_path()); // its sums vouch for the helpers beside it
    if (std::error_code ec;
        !mediumDir.empty() && !fs::equivalent(mediumDir, program.parent_path(), ec))
        verifyMedium(mediumDir);
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
        // Copied into the machine and run there, or loaded: only a real file, never what a
        // link names.
        if (std::error_code ec; fs::is_symlink(*found, ec))
            throw PlatformError(linkedHelperMessage(name, found->parent_path()));
        if (std::string_view(name) == kProgmanProgram)
            programs.progman = *found;
        else if (std::string_view(name) == kUninstallProgram)
            programs.uninstaller = *found;
    }
    return programs;
}

} // namespace zel
