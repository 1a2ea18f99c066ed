#pragma once
// Where the host's desktop keeps the menu that mirrors Program Manager's groups: written by the
// Program Manager server, checked by the wizard so that a menu that cannot be written is said.
#include <filesystem>
#include <optional>
#include <string>

namespace zel {

struct DesktopPlaces {
    std::filesystem::path entries;     // $XDG_DATA_HOME/applications/zel-setup
    std::filesystem::path directories; // $XDG_DATA_HOME/desktop-directories
    std::filesystem::path icons;       // $XDG_DATA_HOME/icons/hicolor
    std::filesystem::path menus;       // $XDG_CONFIG_HOME/menus/applications-merged
};

// The places under $XDG_DATA_HOME and $XDG_CONFIG_HOME (~/.local/share and ~/.config when
// unset or not absolute); nothing when ZEL_NO_DESKTOP=1 or there is no home directory.
std::optional<DesktopPlaces> desktopPlaces();

// Why the menu could not be written in one of the places (code page 1252: the place and the
// system's reason), judged by the place itself or, where it is not there yet, by the nearest
// directory above it that the server would create it in; nothing when all can be written.
std::optional<std::string> desktopPlacesProblem(const DesktopPlaces& places);

} // namespace zel
