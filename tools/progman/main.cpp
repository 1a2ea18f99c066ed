// progman: the Program Manager of the emulated machine. Started without options (or as
// "PROGMAN PROGMAN", the way the wizard's fallback starts C:\WINDOWS\PROGMAN.EXE) it serves
// the conversation; "--list" shows the groups and items it keeps.
#include "progman/store.h"
#include "tools/progman/run.h"
#include "tools/progman/server.h"
#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/host_file.h"
#include "winemu/machine.h"

#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

namespace {

namespace fs = std::filesystem;
using namespace zel::progman;

constexpr const char* kUsage =
    "usage: progman [PROGMAN [PROGMAN]]   serve Program Manager's conversation\n"
    "       progman --list [--json]       show the groups and their items\n"
    "       progman [--prefix MACHINE] --run GROUP ITEM [N]\n"
    "                                     start an item's program (the N-th of that name)\n"
    "       progman --help | --version\n"
    "The machine is $ZEL_PREFIX (default ~/.local/share/zel-setup/machine).\n"
    "A server leaves after $ZEL_PROGMAN_IDLE seconds (default 60) with no conversation open.\n";

double idleSeconds() {
    if (const char* env = std::getenv("ZEL_PROGMAN_IDLE"); env != nullptr && *env != '\0') {
        char* end = nullptr;
        double value = std::strtod(env, &end);
        if (end != env && *end == '\0' && value > 0 && value < 1e6)
            return value;
        std::cerr << "progman: ignoring ZEL_PROGMAN_IDLE=" << env << " (not a positive number)\n";
    }
    return 60;
}

std::string utf8(const std::string& text) {
    return zel::cp1252ToUtf8(text);
}

// For the terminal: a name's control characters cannot fake lines or drive it.
std::string shown(const std::string& text) {
    return zel::escapeControls(zel::cp1252ToUtf8(text));
}

void printJson(const Groups& groups) {
    nlohmann::ordered_json out;
    out["groups"] = nlohmann::ordered_json::array();
    for (const auto& g : groups.groups()) {
        nlohmann::ordered_json group;
        group["name"] = utf8(g.name);
        group["items"] = nlohmann::ordered_json::array();
        for (const auto& item : g.items)
            group["items"].push_back({{"command", utf8(item.command)},
                                      {"name", utf8(item.name)},
                                      {"icon", utf8(item.icon)}});
        out["groups"].push_back(std::move(group));
    }
    std::cout << out.dump(2) << '\n';
}

void printText(const Groups& groups) {
    if (groups.groups().empty())
        std::cout << "No groups.\n";
    for (const auto& g : groups.groups()) {
        std::cout << shown(g.name) << '\n';
        if (g.items.empty())
            std::cout << "    (no items)\n";
        for (const auto& item : g.items) {
            std::cout << "    " << shown(item.name) << ": " << shown(item.command);
            if (!item.icon.empty()) {
                std::cout << "  [icon " << shown(item.icon);
                if (item.iconIndex != 0)
                    std::cout << ", " << item.iconIndex;
                std::cout << ']';
            }
            std::cout << '\n';
        }
    }
}

int list(const fs::path& prefix, bool json) {
    try {
        const Groups groups = loadStore(storePath(prefix));
        if (json)
            printJson(groups);
        else
            printText(groups);
        return 0;
    } catch (const zel::PlatformError& e) {
        std::cerr << "progman: " << e.what() << '\n';
        return 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 &&
        (std::string_view(argv[1]) == "--run" || std::string_view(argv[1]) == "--prefix"))
        return runItem(argc, argv);
    bool listing = false, json = false;
    int words = 0;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        if (a == "--list") {
            listing = true;
        } else if (a == "--json") {
            json = true;
        } else if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (a == "--version") {
            std::cout << "progman (zel-setup) " ZEL_VERSION "\n";
            return 0;
        } else if (a.starts_with("-")) {
            std::cerr << "progman: unknown option " << a << '\n' << kUsage;
            return 2;
        } else if (!zel::equalsNoCase(a, "PROGMAN") || ++words > 2) {
            // The service and topic of the start on demand; there is only one of each.
            std::cerr << "progman: unknown argument " << a << '\n' << kUsage;
            return 2;
        }
    }
    if (listing && words > 0) {
        std::cerr << "progman: --list takes no service or topic\n" << kUsage;
        return 2;
    }
    if (json && !listing) {
        std::cerr << "progman: --json goes with --list\n" << kUsage;
        return 2;
    }
    fs::path prefix; // always absolute
    try {            // a relative ZEL_PREFIX from a working directory that is gone, or no home
        prefix = zel::Machine::defaultPrefix();
    } catch (const zel::PlatformError& e) {
        std::cerr << "progman: " << zel::cp1252ToUtf8(e.what()) << '\n';
        return 1;
    }
    // No machine there is a mistyped ZEL_PREFIX, not a machine without groups; one someone
    // else may change is not served, nor is its store believed.
    if (std::error_code exists; !fs::is_directory(prefix, exists)) {
        std::cerr << "progman: no machine at " << prefix.string()
                  << " (ZEL_PREFIX names the machine's directory)\n";
        return 1;
    }
    try {
        zel::Machine::refuseForeignPrefix(prefix);
    } catch (const zel::PlatformError& e) {
        std::cerr << "progman: " << e.what() << '\n';
        return 1;
    }
    if (listing)
        return list(prefix, json);
    const auto idle = idleSeconds(); // read first: a bad value is still reported
    // The server outlives whoever started it: it must not hold on to their terminal or pipes
    // (a caller waiting for its output to end would wait for the server's idle exit).
    if (zel::FileDescriptor null(::open("/dev/null", O_RDWR)); null) {
        for (int fd = 0; fd <= 2; ++fd)
            ::dup2(null.get(), fd);
        if (null.get() <= 2)
            null.release(); // it is one of the three now
    }
    return serve({prefix, idle});
}
