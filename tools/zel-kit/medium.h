#pragma once
// A kit medium as the wizard sees it: files found by the machine's own name lookup, and links
// that lead off the medium treated as missing.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zel::kit {

inline constexpr std::string_view kDescriptionName = "SETUP.INI";

class Medium {
public:
    explicit Medium(std::filesystem::path root) : root_(std::move(root)) {}
    const std::filesystem::path& root() const { return root_; }

    // Whether a host path, its links followed, stays on the medium; the wizard's layer treats a
    // file whose real path leaves its drive as missing.
    bool staysOn(const std::filesystem::path& host) const;

    // The regular file that a path relative to the medium names, if any.
    std::optional<std::filesystem::path> findFile(std::string_view relative) const;

    // The description file the wizard on this medium reads: the one named after an executable
    // beside it with the extension .INI, SETUP.INI first (the wizard is usually copied as
    // SETUP), then by name.
    std::optional<std::filesystem::path> findDescription() const;

    // The medium-relative name of a host file, for reports.
    std::string display(const std::filesystem::path& host) const;

private:
    std::filesystem::path root_;
};

// A file's whole content, read as the machine reads its own files (a regular file only, so a
// pipe cannot hold the check up); nothing when it is missing or cannot be read.
std::optional<std::string> readWhole(const std::filesystem::path& path);

} // namespace zel::kit
