#include "setup/finish.h"

#include "setup/messages.h"
#include "progman/macros.h"
#include "winemu/cp1252.h"
#include "services/platform.h"
#include "winemu/profile.h"
#include "winemu/registry.h"
#include "winemu/winpath.h"

#include <initializer_list>

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
    file.writeText(kSection, "item", kUpdateItem);
    file.writeText(kSection, "grupo", settings.group);
}

void writeUninstallLog(const Machine& machine, const Catalogue& catalogue) {
    ProfileFile log(machine, kUninstallLog);
    log.writeText(kSection, "dir", catalogue.settings.destination);
    log.writeText(kSection, "grupo", catalogue.settings.group);
}

void registerUninstaller(const Machine& machine) {
    registerUninstaller(machine.registryFile(), machine.windowsDirectory());
}

void registerUninstaller(const std::filesystem::path& registryFile,
                         std::string_view windowsDirectory) {
    const std::string uninstaller = withTrailingBackslash(windowsDirectory) + kUninstaller;
    Registry registry(registryFile);
    registry.createKey(kUninstallKey);
    if (!registry.openKey(kUninstallKey, true))
        return;
    registry.writeString("DisplayName", kDisplayName);
    registry.writeString("UninstallString", uninstaller);
    registry.closeKey();
}

std::string browserSetupCommand(const SetupSettings& settings, std::string_view programPath,
                                Browser browser) {
    switch (browser) {
    case Browser::First:
        return sourceDirectory(programPath) + settings.firstBrowserSetup;
    case Browser::Second:
        return sourceDirectory(programPath) + settings.secondBrowserSetup;
    case Browser::None:
        break;
    }
    return {};
}

std::vector<std::string> runFinishSequence(Platform& platform, const Catalogue& catalogue,
                                           Browser browser) {
    // Nobody answering does not stop the sequence: the macros are then not delivered, which
    // the conversation's deliveries tell once it is closed.
    platform.progman.open("PROGMAN", "PROGMAN");
    std::vector<std::string> sent;
    runFinishSequence(platform, catalogue, browser, [&](const std::string& macro) {
        sent.push_back(macro);
        platform.progman.execute(macro);
    });
    return sent;
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
    check(KeyId::Destination, s.destination);
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

void runFinishSequence(Platform& platform, const Catalogue& catalogue, Browser browser,
                       const MacroSink& send) {
    if (const auto keys = macroBreakingKeys(catalogue); !keys.empty())
        throw KitValueError(kitValueBreaksMacro(keys.front().name()));
    const SetupSettings& s = catalogue.settings;
    const std::string browserSetup =
        browserSetupCommand(s, platform.machine.programPath(), browser);

    send(createGroupMacro(kStartUpGroup));
    send(addItemMacro(updateProgramPath(s), kUpdateItem));
    writeUpdateSettings(platform.machine, s);
    writeUninstallLog(platform.machine, catalogue);

    send(createGroupMacro(s.group));
    for (int n = 1; n <= kProgramEntries; ++n) {
        const ProgramEntry& entry = catalogue.entry(n);
        if (!entry.preselected)
            continue;
        const std::string command =
            s.destination + (entry.ownDirectory ? entry.directory : std::string()) + entry.file(1);
        if (n == 1)
            send(addItemMacro(command, entry.name,
                              shortDirectoryForm(platform.files, s.destination + s.internetIcon)));
        else if (entry.file(1) == "ZEL.HT")
            send(addItemMacro(command, entry.name,
                              shortDirectoryForm(platform.files, s.destination + s.bbsIcon)));
        else
            send(addItemMacro(command, entry.name));
    }

    registerUninstaller(platform.machine);
    send(reloadMacro(kStartUpGroup));
    send(reloadMacro(s.group));

    // The setup runs on by itself; whether it started is not the wizard's concern any more.
    if (!browserSetup.empty())
        platform.programs.winExec(browserSetup, kShowNormal);
}

} // namespace zel
