#pragma once
// The groups and items of a machine, mirrored into the host's desktop menu: a desktop entry per
// item (started through "progman --prefix MACHINE --run GROUP ITEM"), a menu file and a menu
// directory per group and the items' icons as PNG files, all named after the machine so that
// several machines share a menu.
#include "progman/groups.h"
#include "winemu/desktop_places.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace zel::progman {

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
    // Asked before each file and icon: true ends the step at once, its group left for later.
    std::function<bool()> stopRequested;
};

// The machine's name in the menu's file names: 64 bits of its prefix's path, in hex.
std::string machineTag(const std::filesystem::path& prefix);

// Makes the desktop show the groups given, a step at a time so that a server answers between
// steps. It remembers what each file holds, so a change rewrites only the files it changed;
// the first pass compares with what is on disk and removes this machine's files that no
// longer belong (also those named by the machine's shorter tag of earlier versions). Other
// machines' files are left alone. Each icon file's content is decoded once.
class MenuMirror {
public:
    explicit MenuMirror(DesktopMirror config);

    // The groups to show from now on; what is already shown is not written again.
    void show(Groups groups);
    // Whether work is left: a group's files, or the removals.
    bool pending() const { return !queue_.empty() || finishing_; }
    // One group's files (its entries, icons, directory and menu file), or the removals once
    // every group is done. Answers what
    // could not be done, one message each (a message is told once); the rest is done all the same.
    std::vector<std::string> step();

    // How many icon files were decoded, and files written (the tests' and benchmarks' view).
    std::size_t iconsDecoded() const { return decoded_; }
    std::size_t filesWritten() const { return written_; }

private:
    struct Planned {
        std::size_t group; // in shown_
        std::string id;    // "zel-setup-TAG-GROUP"
        std::uint64_t key; // of the id and the group's names, commands and icons
    };
    struct Record {
        std::uint64_t key = 0;
        std::vector<std::filesystem::path> files, icons;
    };

    bool writeGroup(const Planned& planned);
    void finish();
    std::string entry(const Group& group, const Item& item, const std::optional<std::string>& icon);
    std::optional<std::string> iconFor(const Item& item);
    std::optional<std::uint64_t> iconContent(const std::string& winPath);
    bool write(const std::filesystem::path& file, const std::string& content);
    void remove(const std::filesystem::path& file);
    void removeLeftovers(const std::filesystem::path& dir, std::string_view end);
    void problem(std::string text);
    bool stopped() const { return m_.stopRequested && m_.stopRequested(); }
    void useIcons(const std::vector<std::filesystem::path>& icons, int change);

    DesktopMirror m_;
    std::string tag_, own_, legacy_;
    bool usable_ = true;
    Groups shown_;
    std::vector<Planned> plan_;
    std::set<std::string> planned_; // the ids in plan_
    std::deque<std::size_t> queue_; // in plan_
    bool finishing_ = false;
    bool swept_ = false;                    // the first pass removed what earlier runs left
    std::map<std::string, Record> records_; // by id: what each group's files are
    std::map<std::filesystem::path, std::uint64_t> contents_; // what a file holds, as a hash
    std::map<std::filesystem::path, int> iconUse_;
    std::set<std::filesystem::path> dropped_; // no longer any group's
    struct Icon {
        std::filesystem::path file;
        std::string png;
    };
    // Each icon file's picture by the file's content; nothing for one refused.
    std::map<std::uint64_t, std::optional<Icon>> icons_;
    // The icon files read since the last show, by their Windows path: their key in icons_.
    std::map<std::string, std::optional<std::uint64_t>> iconByPath_;
    std::set<std::string> told_;
    std::vector<std::string> problems_;
    std::size_t decoded_ = 0, written_ = 0;
};

// The whole mirror at once.
std::vector<std::string> mirrorGroups(const Groups& groups, const DesktopMirror& mirror);

} // namespace zel::progman
