#include "progman/groups.h"

#include "winemu/cp1252.h"

#include <algorithm>
#include <utility>

namespace zel::progman {

namespace {

std::string arg(const std::vector<std::string>& args, std::size_t i) {
    return i < args.size() ? args[i] : std::string();
}

// An item added without a name is called after its program's file name, as Program Manager
// does when it has no description to go by.
std::string nameFromCommand(std::string_view command) {
    std::string_view program = command;
    if (!program.empty() && program.front() == '"') {
        program.remove_prefix(1);
        program = program.substr(0, program.find('"'));
    } else {
        // An unquoted program may hold blanks: it ends at the first blank after a component
        // with an extension ("C:\Meu Kit\NAVEGA.EXE /s"); without one it is all of it.
        std::size_t end = std::string_view::npos;
        for (std::size_t at = 0; at != std::string_view::npos; at = program.find(' ', at + 1)) {
            std::string_view head = program.substr(0, at);
            std::string_view last =
                head.substr(std::min(head.size(), head.find_last_of("\\/:") + 1));
            if (last.find('.') != std::string_view::npos) {
                end = at;
                break;
            }
        }
        program = program.substr(0, end);
    }
    auto slash = program.find_last_of("\\/:");
    if (slash != std::string_view::npos)
        program.remove_prefix(slash + 1);
    auto dot = program.rfind('.');
    if (dot != std::string_view::npos && dot > 0)
        program = program.substr(0, dot);
    return std::string(program);
}

} // namespace

std::optional<int> parseIconIndex(std::string_view s) {
    if (s.empty() || s.size() > 9)
        return std::nullopt;
    int value = 0;
    std::size_t i = 0;
    bool negative = s[0] == '-';
    if (negative)
        i = 1;
    if (i == s.size())
        return std::nullopt;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return std::nullopt;
        value = value * 10 + (s[i] - '0');
    }
    return negative ? -value : value;
}

const Group* Groups::find(std::string_view name) const {
    for (const auto& g : groups_)
        if (equalsNoCase(g.name, name))
            return &g;
    return nullptr;
}

Group* Groups::findGroup(std::string_view name) {
    return const_cast<Group*>(std::as_const(*this).find(name));
}

bool Groups::execute(std::string_view text) {
    ParsedMacros parsed = parseMacros(text);
    for (const auto& command : parsed.commands)
        if (!run(command))
            return false;
    return parsed.complete;
}

bool Groups::addItem(const std::vector<std::string>& args) {
    Group* group = findGroup(current_);
    if (group == nullptr || arg(args, 0).empty())
        return false;
    Item item;
    item.command = args[0];
    item.name = arg(args, 1).empty() ? nameFromCommand(item.command) : args[1];
    item.icon = arg(args, 2);
    if (!arg(args, 3).empty()) {
        auto index = parseIconIndex(args[3]);
        if (!index)
            return false;
        item.iconIndex = *index;
    }
    // Positions, directory, hot key and the rest are accepted and have no meaning here.
    auto& items = group->items;
    std::optional<std::size_t> at;
    if (replaceAt_ && equalsNoCase(replaceAt_->first, group->name))
        at = std::min(replaceAt_->second, items.size());
    replaceAt_.reset();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (equalsNoCase(items[i].name, item.name)) {
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
            if (!at)
                at = i;
            else if (*at > i)
                --*at;
            break;
        }
    }
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(at.value_or(items.size())),
                 std::move(item));
    return true;
}

bool Groups::run(const MacroCommand& command) {
    const auto& args = command.args;
    const std::string name = upperAscii(command.name);
    if (name == "CREATEGROUP") {
        if (arg(args, 0).empty())
            return false;
        if (findGroup(args[0]) == nullptr)
            groups_.push_back(Group{args[0], {}});
        current_ = findGroup(args[0])->name;
        return true;
    }
    if (name == "SHOWGROUP") {
        Group* g = findGroup(arg(args, 0));
        if (g == nullptr)
            return false;
        current_ = g->name;
        return true;
    }
    if (name == "ADDITEM")
        return addItem(args);
    if (name == "DELETEITEM" || name == "REPLACEITEM") {
        Group* g = findGroup(current_);
        if (g == nullptr || arg(args, 0).empty())
            return false;
        for (std::size_t i = 0; i < g->items.size(); ++i) {
            if (equalsNoCase(g->items[i].name, args[0])) {
                g->items.erase(g->items.begin() + static_cast<std::ptrdiff_t>(i));
                if (name == "REPLACEITEM")
                    replaceAt_ = {g->name, i};
                return true;
            }
        }
        return false;
    }
    if (name == "DELETEGROUP") {
        for (std::size_t i = 0; i < groups_.size(); ++i) {
            if (equalsNoCase(groups_[i].name, arg(args, 0))) {
                if (equalsNoCase(current_, groups_[i].name))
                    current_.clear();
                if (replaceAt_ && equalsNoCase(replaceAt_->first, groups_[i].name))
                    replaceAt_.reset();
                groups_.erase(groups_.begin() + static_cast<std::ptrdiff_t>(i));
                return true;
            }
        }
        return false;
    }
    if (name == "RELOAD")
        return true; // the store is saved after every execute anyway
    if (name == "EXITPROGMAN") {
        exit_ = true;
        return true;
    }
    return false;
}

} // namespace zel::progman
