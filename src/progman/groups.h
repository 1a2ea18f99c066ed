#pragma once
// The groups and items Program Manager keeps, and the macro commands that change them. The
// progman server runs what the wizard sends through these; tests use them directly.
#include "progman/macros.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zel::progman {

struct Item {
    std::string command;
    std::string name;
    std::string icon; // "" when none
    int iconIndex = 0;
};

struct Group {
    std::string name;
    std::vector<Item> items;
};

// An icon index as macros and the store write it: optional '-' and up to 9 digits.
std::optional<int> parseIconIndex(std::string_view text);

class Groups {
public:
    Groups() = default;
    // Groups as the store keeps them (names unique without regard to case).
    explicit Groups(std::vector<Group> groups) : groups_(std::move(groups)) {}

    // Runs the commands of one execute text left to right; the first malformed or failing one
    // stops the rest. True when every command ran.
    bool execute(std::string_view text);
    // One command; false when it is unknown, lacks an argument or names nothing that exists.
    bool run(const MacroCommand& command);

    // Groups in creation order.
    const std::vector<Group>& groups() const { return groups_; }
    const Group* find(std::string_view name) const;
    // ExitProgman was executed.
    bool exitRequested() const { return exit_; }

private:
    Group* findGroup(std::string_view name);
    bool addItem(const std::vector<std::string>& args);

    std::vector<Group> groups_;
    std::string current_;
    // Set by ReplaceItem: the next AddItem to this group goes to this position.
    std::optional<std::pair<std::string, std::size_t>> replaceAt_;
    bool exit_ = false;
};

} // namespace zel::progman
