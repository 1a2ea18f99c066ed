#pragma once
// The groups and items of a machine, mirrored into the host's desktop menu: a desktop entry per
// item (started through "progman --run GROUP ITEM"), a menu directory per group and the items'
// icons as PNG files, all named after the machine so that several machines share a menu.
#include "progman/groups.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::progman {

struct DesktopPlaces {
    std::filesystem::path entries;     // $XDG_DATA_HOME/applications/zel-setup
    std::filesystem::path directories; // $XDG_DATA_HOME/desktop-directories
    std::filesystem::path icons;       // $XDG_DATA_HOME/icons/hicolor
    std::filesystem::path menus;       // $XDG_CONFIG_HOME/menus/applications-merged
};

// The places under $XDG_DATA_HOME and $XDG_CONFIG_HOME (~/.local/share and ~/.config when
// unset or not absolute); nothing when ZEL_NO_DESKTOP=1 or there is no home directory.
std::optional<DesktopPlaces> desktopPlaces();

// One argument of an entry's Exec line, quoted when it must be (its '%' doubled): the line as
// the entry holds it, before the entry's own escapes of '\' and control characters.
std::string execArgument(std::string_view argument);
// A value of an entry or directory file: '\' and line breaks escaped, a leading blank kept.
std::string entryValue(std::string_view utf8);

struct DesktopMirror {
    DesktopPlaces places;
    std::filesystem::path prefix;  // the machine, absolute
    std::filesystem::path progman; // the program the entries start, absolute
    // The bytes of a Windows file of the machine (an item's icon); nothing when unreadable.
    std::function<std::optional<std::string>(const std::string& winPath)> readFile;
};

// Makes the desktop show exactly the groups given: writes what is new or changed (each file
// whole, through a temporary file) and removes this machine's entries, directories, icons and
// menu that no longer belong. Other machines' files are left alone. Answers what could not be
// done, one message each; the rest is done all the same.
std::vector<std::string> mirrorGroups(const Groups& groups, const DesktopMirror& mirror);

} // namespace zel::progman
