#pragma once
// Program Manager's macro language: the commands of one execute text, as the wizard sends them.
// Texts are code page 1252 as received.
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

} // namespace zel::progman
