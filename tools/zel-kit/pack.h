#pragma once
// zel-kit pack: a kit made into a medium that installs on any machine (the kit, the wizard
// under the kit's name and what it needs at run time, and the sums of every file), and the
// check of those sums.
#include "tools/zel-kit/check.h"
#include "winemu/errors.h"

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace zel::kit {

// The sums file at the top of a packed medium, in the form `sha256sum -c` reads.
inline constexpr const char* kManifestName = "SHA256SUMS";
// What the wizard needs beside it, found beside zel-kit.
inline constexpr const char* kWizardProgram = "zel-setup";
inline constexpr std::array<const char*, 4> kWizardHelpers = {"progman", "zel-uninstall",
                                                              "libzel-print.so", "libzel-media.so"};

// An installation keeps the modules apart from the programs, under PREFIX/lib/zel-setup (the
// wizard looks there too, from its own place).
inline constexpr const char* kInstalledModuleDir = "lib/zel-setup";

// Where pack takes `helper` from: beside zel-kit (a build's bin directory, or an installation's
// for the programs), else a module from the installation's module directory beside toolsDir.
// The path beside zel-kit when neither holds it.
std::filesystem::path helperSource(const std::filesystem::path& toolsDir,
                                   const std::string& helper);

class PackError : public zel::PlatformError {
public:
    using zel::PlatformError::PlatformError;
};

// Makes the directory `out` (absent, or an empty directory) hold the kit's files (those whose
// names start with "." left out, links replaced by the files they name), the wizard from
// toolsDir named `name`, its helpers (helperSource) and the manifest. The medium is put
// together beside `out` and renamed into place, so on failure (PackError) nothing is left at
// `out`. Gives the number of files the manifest lists.
std::size_t packMedium(const std::filesystem::path& kit, const std::filesystem::path& out,
                       const std::string& name, const std::filesystem::path& toolsDir);

// The manifest's own problems and each file that differs from its sum, is missing, or is on
// the medium without a sum; nothing for a medium without a manifest.
std::vector<Problem> verifyManifest(const std::filesystem::path& medium);

} // namespace zel::kit
