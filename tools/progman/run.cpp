#include "tools/progman/run.h"

#include "progman/store.h"
#include "services/ui.h"
#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/machine.h"
#include "winemu/programs.h"

#include <cctype>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

namespace zel::progman {

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage = "progman: usage: progman [--prefix MACHINE] --run GROUP ITEM [N]\n";

const char* startFailure(unsigned code) {
    switch (code) {
    case 2: return "file not found";
    case 3: return "path not found";
    default: return "not a program the machine can run";
    }
}

// The item of that name (the occurrence-th of several); another case will do for the first.
const Item* findItem(const Group& group, const std::string& name, unsigned long occurrence) {
    for (const Item& item : group.items)
        if (item.name == name && --occurrence == 0)
            return &item;
    for (const Item& item : group.items)
        if (occurrence == 1 && equalsNoCase(item.name, name))
            return &item;
    return nullptr;
}

} // namespace

int runItem(int argc, char** argv) {
    // "--prefix MACHINE" first names the machine, as the desktop's entries do: a path given as
    // an option's value is taken as it is, whatever it holds.
    const char* machine = nullptr;
    if (argc >= 3 && std::string_view(argv[1]) == "--prefix") {
        machine = argv[2];
        argc -= 2;
        argv += 2;
    }
    if (argc < 2 || std::string_view(argv[1]) != "--run" ||
        (machine != nullptr && *machine == '\0')) {
        std::cerr << kUsage;
        return 2;
    }
    char* end = nullptr;
    const unsigned long occurrence = argc == 5 ? std::strtoul(argv[4], &end, 10) : 1;
    if ((argc != 4 && argc != 5) || occurrence == 0 || (end != nullptr && *end != '\0') ||
        (argc == 5 && !std::isdigit(static_cast<unsigned char>(argv[4][0])))) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string groupName = utf8ToCp1252(argv[2]), itemName = utf8ToCp1252(argv[3]);
    try {
        std::error_code ec;
        const fs::path prefix =
            fs::absolute(machine != nullptr ? fs::path(machine) : Machine::defaultPrefix(), ec);
        // Starting an item never creates a machine: there is nothing to start on a new one.
        if (ec || !fs::is_directory(prefix, ec))
            throw PlatformError("no machine at " + prefix.string());
        Machine::refuseForeignPrefix(prefix);
        const Groups groups = loadStore(storePath(prefix));
        const Group* group = groups.find(groupName);
        const Item* item = group != nullptr ? findItem(*group, itemName, occurrence) : nullptr;
        if (item == nullptr)
            throw PlatformError(group == nullptr ? "no group " + std::string(argv[2])
                                                 : "no item " + std::string(argv[3]) + " in " +
                                                       std::string(argv[2]));
        const fs::path c = prefix / "drive_c";
        Machine machine({prefix, c / "WINDOWS" / "PROGMAN.EXE", c, {}});
        ConsoleUi ui("", "", true); // the outcome is told by winExec's code
        Programs programs(machine, ui);
        constexpr int kShowNormal = 1;
        if (const unsigned code = programs.winExec(item->command, kShowNormal); code != 33)
            throw PlatformError("cannot start " + cp1252ToUtf8(item->command) + ": " +
                                startFailure(code));
        return 0;
    } catch (const PlatformError& e) {
        std::cerr << "progman: " << escapeControls(e.what()) << '\n';
        return 1;
    }
}

} // namespace zel::progman
