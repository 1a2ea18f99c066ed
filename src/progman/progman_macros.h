#pragma once
// Program Manager's macro language and the groups it works on. The progman server executes
// what the wizard sends with this; tests use it directly. Texts are code page 1252 as received.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::progman {

// One "[Command(arg, ...)]". Arguments keep their places: an empty one (nothing between two
// commas, or "") is an empty text that leaves the command's default in its place. Trailing
// empty arguments are dropped, so "[ExitProgman()]" has none.
struct MacroCommand {
    std::string name;
    std::vector<std::string> args;
};

struct ParsedMacros {
    std::vector<MacroCommand> commands; // the well-formed commands before any bad one
    bool complete = true;               // false when the text went bad after `commands`
};

// Splits one execute text into its commands: blanks around anything, arguments quoted with '"'
// (no escapes inside) or bare (up to ',' or ')', blanks trimmed). Parsing stops at the first
// malformed command; the commands before it are kept.
ParsedMacros parseMacros(std::string_view text);

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

class Groups {
public:
    // Runs the commands of one execute text left to right; the first malformed or failing one
    // stops the rest. True when every command ran.
    bool execute(std::string_view text);
    // One command; false when it is unknown, lacks an argument or names nothing that exists.
    bool run(const MacroCommand& command);

    // Groups in creation order.
    const std::vector<Group>& groups() const { return groups_; }
    const Group* find(std::string_view name) const;
    // The group that AddItem adds to; "" when none.
    const std::string& currentGroup() const { return current_; }
    // ExitProgman was executed.
    bool exitRequested() const { return exit_; }

    // The store's text form (see the .cpp) and back. Reading fails with a message naming the
    // line; the current group and a pending ReplaceItem are not part of the store.
    std::string serialise() const;
    static std::optional<Groups> deserialise(std::string_view text, std::string* error);

private:
    Group* findGroup(std::string_view name);
    bool addItem(const std::vector<std::string>& args);

    std::vector<Group> groups_;
    std::string current_;
    // Set by ReplaceItem: the next AddItem to this group goes to this position.
    std::optional<std::pair<std::string, std::size_t>> replaceAt_;
    bool exit_ = false;
};

// The store inside the prefix and its reading and atomic writing (temporary file + rename).
std::filesystem::path storePath(const std::filesystem::path& prefix);
// An absent store reads as no groups. Nothing, with a message, when it cannot be read.
std::optional<Groups> loadStore(const std::filesystem::path& file, std::string* error);
bool saveStore(const std::filesystem::path& file, const Groups& groups, std::string* error);

} // namespace zel::progman
