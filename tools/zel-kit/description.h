#pragma once
// The setup description file line by line, as the kit's check sees it: sections and keys with
// their line numbers, and what readers pass over or take only once.
#include "winemu/profile.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zel::kit {

struct Key {
    std::string_view name;
    std::string value;
    int line = 0;
};

struct Section {
    std::string_view name;
    int line = 0;
    bool first = true;       // false: a later section of a name already seen, never read
    std::vector<Key> keys;   // the keys a reader sees: the first of each name
    std::vector<Key> repeat; // later keys of a name already in the section, never read
    std::unordered_map<std::string, std::size_t> index; // upper-cased name -> its place in keys

    const Key* find(std::string_view key) const;
    // Keeps the key among those read when it is the first of its name.
    void add(Key key);
};

struct Description {
    std::string text;
    std::vector<zel::ini::ScannedLine> lines;
    std::vector<Section> sections;
    std::vector<const zel::ini::ScannedLine*> keysOutside; // keys before the first section
    std::vector<const zel::ini::ScannedLine*> ignored;     // lines readers pass over
    std::unordered_map<std::string, std::size_t> index;    // upper-cased name -> the first section

    // The section a reader finds: the first of the name.
    const Section* find(std::string_view name) const;
};

// Fills the description's lines, sections and keys from its text.
void scanDescription(Description& d);

} // namespace zel::kit
