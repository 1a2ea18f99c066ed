#include "setup/finish.h"

#include "progman/macros.h"
#include "services/platform.h"
#include "setup/messages.h"
#include "winemu/cp1252.h"
#include "winemu/profile.h"
#include "winemu/registry.h"
#include "winemu/winpath.h"

#include <initializer_list>
#include <optional>

namespace zel {

namespace {

constexpr const char* kSection = "ZEL";
// Show mode of the browser setup: a normal window.
constexpr int kShowNormal = 1;

std::string quoted(std::initializer_list<std::string_view> args) {
    std::string text;
    for (std::string_view arg : args) {
        text += text.empty() ? "(\"" : "\",\"";
        text += arg;
    }
    return text + "\")]";
}

} // namespace

std::string createGroupMacro(std::string_view group) {
    return "[CreateGroup" + quoted({group});
}

std::string addItemMacro(std::string_view command, std::string_view name) {
    return "[AddItem" + quoted({command, name});
}

std::string addItemMacro(std::string_view command, std::string_view name, std::string_view icon) {
    return "[AddItem" + quoted({command, name, icon});
}

std::string reloadMacro(std::string_view group) {
    return "[Reload" + quoted({group});
}

std::string shortDirectoryForm(Files& files, std::string_view path) {
    if (path.size() <= 3)
        return std::string(path);
    std::string out(path.substr(0, 3));
    std::string given = out; // the path as given up to the component looked up
    std::string_view rest = path.substr(3);
    for (auto slash = rest.find('\\'); slash != std::string_view::npos; slash = rest.find('\\')) {
        const std::string_view component = rest.substr(0, slash);
        given += component;
        // An empty component names nothing, though the path would resolve to its parent.
        if (!component.empty()) {
            if (auto entry = files.findFirst(given))
                out += entry->shortName.empty() ? entry->name : entry->shortName;
        }
        out += '\\';
        given += '\\';
        rest.remove_prefix(slash + 1);
    }
    out += rest;
    return out;
}

std::string updateProgramPath(const SetupSettings& settings) {
    return settings.destination + settings.updateProgram;
}

std::string updateSettingsPath(const SetupSettings& settings) {
    return changeFileExt(updateProgramPath(settings), ".INI");
}

void writeUpdateSettings(const Machine& machine, const SetupSettings& settings) {
    ProfileFile file(machine, updateSettingsPath(settings));
    file.writeText(kSection, "homepage", settings.homePage);
    file.writeText(kSection, "searchpage", settings.searchPage);
    file.writeText(kSection, "item", settings.brandUpdateItem);
    file.writeText(kSection, "grupo", settings.group);
}

void writeUninstallLog(const Machine& machine, const Catalogue& catalogue) {
    ProfileFile log(machine, kUninstallLog);
    log.writeText(kSection, "dir", catalogue.settings.destination);
    log.writeText(kSection, "grupo", catalogue.settings.group);
}

void registerUninstaller(const Machine& machine, std::string_view name) {
    registerUninstaller(machine.registryFile(), machine.windowsDirectory(), name);
}

void registerUninstaller(const std::filesystem::path& registryFile,
                         std::string_view windowsDirectory, std::string_view name) {
    const std::string uninstaller = withTrailingBackslash(windowsDirectory) + kUninstaller;
    const std::string key = uninstallKey(name);
    Registry registry(registryFile);
    registry.createKey(key);
    if (!registry.openKey(key, true))
        return;
    registry.writeString("DisplayName", std::string(name));
    registry.writeString("UninstallString", uninstaller);
    registry.closeKey();
}

std::string browserSetupCommand(const SetupSettings& settings, std::string_view programPath,
                                Browser browser) {
    switch (browser) {
    case Browser::First: return sourceDirectory(programPath) + settings.firstBrowserSetup;
    case Browser::Second: return sourceDirectory(programPath) + settings.secondBrowserSetup;
    case Browser::None: break;
    }
    return {};
}

FinishMacros runFinishSequence(Platform& platform, const Catalogue& catalogue, Browser browser) {
    // Nobody answering does not stop the sequence: the macros are then not delivered, which
    // the conversation's deliveries tell once it is closed.
    platform.progman.open("PROGMAN", "PROGMAN");
    FinishMacros macros;
    macros.refused = runFinishSequence(platform, catalogue, browser, [&](const std::string& macro) {
        macros.sent.push_back(macro);
        platform.progman.execute(macro);
    });
    return macros;
}

std::vector<std::string> notCreated(const std::vector<std::string>& macros,
                                    const std::vector<bool>& delivered) {
    std::vector<std::string> lost;
    std::string group;
    bool groupLost = false;
    for (std::size_t i = 0; i < macros.size(); ++i) {
        const bool ok = i < delivered.size() && delivered[i];
        for (const progman::MacroCommand& command : progman::parseMacros(macros[i]).commands) {
            const std::string name = upperAscii(command.name);
            const auto arg = [&](std::size_t n) {
                return n < command.args.size() ? command.args[n] : std::string();
            };
            if (name == "CREATEGROUP") {
                group = arg(0);
                groupLost = !ok;
                if (groupLost)
                    lost.push_back(lostGroupLine(group));
            } else if (name == "ADDITEM" && (!ok || groupLost)) {
                lost.push_back(lostItemLine(arg(1).empty() ? arg(0) : arg(1), group));
            }
        }
    }
    return lost;
}

std::vector<KitKey> macroBreakingKeys(const Catalogue& catalogue, bool allPrograms) {
    std::vector<KitKey> keys;
    // A numbered section's key carries the entry's number; a file list's, its slot's.
    const auto check = [&](KeyId id, std::string_view value, int entry = 0, int slot = 0) {
        if (value.find('"') == std::string_view::npos)
            return;
        const DescriptionKey& key = keyOf(id);
        const std::string number = entry ? std::to_string(entry) : std::string();
        keys.push_back({std::string(key.section) + number,
                        std::string(key.name) + (slot ? std::to_string(slot) : std::string())});
    };
    const SetupSettings& s = catalogue.settings;
    check(KeyId::Group, s.group);
    check(KeyId::InternetIcon, s.internetIcon);
    check(KeyId::BbsIcon, s.bbsIcon);
    check(KeyId::UpdateProgram, s.updateProgram);
    for (int n = 1; n <= kProgramEntries; ++n) {
        const ProgramEntry& entry = catalogue.entry(n);
        if (!allPrograms && !entry.preselected)
            continue;
        check(KeyId::ProgramName, entry.name, n);
        if (entry.ownDirectory)
            check(KeyId::ProgramDirectory, entry.directory, n);
        check(KeyId::ProgramFiles, entry.file(1), n, 1);
    }
    return keys;
}

std::vector<std::string> runFinishSequence(Platform& platform, const Catalogue& catalogue,
                                           Browser browser, const MacroSink& send) {
    const SetupSettings& s = catalogue.settings;
    const std::string browserSetup =
        browserSetupCommand(s, platform.machine.programPath(), browser);

    // A macro with a value holding '"' is not sent: the language has no escape, and the rest of
    // the value would run as macros of its own. What it would have made is told as not
    // created, like a macro Program Manager did not take; an item goes into the group created
    // last, so the items of a group not created are not sent either.
    std::vector<std::string> refused;
    std::string group;
    bool groupRefused = false;
    const auto fits = [](std::initializer_list<std::string_view> values) {
        for (std::string_view value : values)
            if (value.find('"') != std::string_view::npos)
                return false;
        return true;
    };
    const auto createGroup = [&](const std::string& name) {
        group = name;
        groupRefused = !fits({name});
        if (groupRefused)
            refused.push_back(lostGroupLine(name));
        else
            send(createGroupMacro(name));
    };
    const auto addItem = [&](const std::string& command, const std::string& name,
                             const std::optional<std::string>& icon) {
        if (groupRefused || !fits({command, name, icon.value_or("")}))
            refused.push_back(lostItemLine(name.empty() ? command : name, group));
        else
            send(icon ? addItemMacro(command, name, *icon) : addItemMacro(command, name));
    };
    const auto reload = [&](const std::string& name) {
        if (fits({name}))
            send(reloadMacro(name));
    };

    createGroup(kStartUpGroup);
    addItem(updateProgramPath(s), s.brandUpdateItem, std::nullopt);
    writeUpdateSettings(platform.machine, s);
    writeUninstallLog(platform.machine, catalogue);

    createGroup(s.group);
    for (int n = 1; n <= kProgramEntries; ++n) {
        const ProgramEntry& entry = catalogue.entry(n);
        if (!entry.preselected)
            continue;
        const std::string command =
            s.destination + (entry.ownDirectory ? entry.directory : std::string()) + entry.file(1);
        if (n == 1)
            addItem(command, entry.name,
                    shortDirectoryForm(platform.files, s.destination + s.internetIcon));
        else if (entry.file(1) == s.brandBbsFile)
            addItem(command, entry.name,
                    shortDirectoryForm(platform.files, s.destination + s.bbsIcon));
        else
            addItem(command, entry.name, std::nullopt);
    }

    registerUninstaller(platform.machine, s.brandUninstallName);
    reload(kStartUpGroup);
    reload(s.group);

    // The setup runs on by itself; whether it started is not the wizard's concern any more.
    if (!browserSetup.empty())
        platform.programs.winExec(browserSetup, kShowNormal);
    return refused;
}

} // namespace zel
