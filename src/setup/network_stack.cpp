#include "setup/network_stack.h"

#include "setup/brand.h"
#include "setup/install.h"
#include "setup/messages.h"
#include "winemu/cp1252.h"
#include "winemu/host_file.h"
#include "winemu/profile.h"
#include "winemu/winpath.h"

#include <chrono>
#include <stdexcept>
#include <vector>

namespace zel {

std::string kitRootFolder(std::string_view sourceDir) {
    std::string s(sourceDir);
    if (!s.empty() && s.back() == '\\')
        s.pop_back();
    int cuts = 0;
    // The character just before a removed backslash is not examined.
    for (auto i = static_cast<std::ptrdiff_t>(s.size()) - 1; i >= 0 && cuts < 2;) {
        if (s[static_cast<std::size_t>(i)] == '\\') {
            s.resize(static_cast<std::size_t>(i));
            ++cuts;
            i -= 2;
        } else {
            --i;
        }
    }
    return cuts == 2 ? s : std::string();
}

std::vector<std::string> socketLibrarySweep(Files& files, const Catalogue& catalogue,
                                            std::string_view sourceDir,
                                            const std::function<void()>& pump) {
    const std::string kitRoot = upperCp1252Text(kitRootFolder(sourceDir));
    pump();

    // One pass over the drive finds both names; the list still holds every "~sock32.dll"
    // before every "~insock.dll", in walk order, as two separate walks would.
    std::vector<std::string> found, insock;
    auto last = std::chrono::steady_clock::now();
    unsigned seen = 0;
    auto accept = [&](std::string_view name) {
        if ((++seen & 1023) == 0) {
            auto now = std::chrono::steady_clock::now();
            if (now - last > std::chrono::milliseconds(50)) {
                pump();
                last = now;
            }
        }
        return equalsNoCase(name, "~sock32.dll") || equalsNoCase(name, "~insock.dll");
    };
    std::string root = catalogue.settings.destination.substr(0, 3);
    files.walk(root, accept, [&](const std::string& dir, const SearchEntry& entry) {
        (equalsNoCase(entry.name, "~sock32.dll") ? found : insock).push_back(dir + entry.name);
        return WalkAnswer::Continue;
    });
    pump();
    found.insert(found.end(), insock.begin(), insock.end());

    for (const std::string& path : found) {
        if (!kitRoot.empty() && upperCp1252Text(path).find(kitRoot) != std::string::npos)
            continue; // the kit's own copy stays
        if (!files.renameFile(path, changeFileExt(path, ".zel")))
            files.deleteFile(path);
    }
    return found;
}

std::optional<std::string> notAProfile(const std::string& content) {
    if (content.find('\0') != std::string::npos)
        return "binary content";
    for (const ini::ScannedLine& line : ini::scan(content))
        if (line.kind == ini::ScannedLine::Kind::Section)
            return std::nullopt;
    return "no [section] line";
}

std::optional<std::string> notText(std::string_view content) {
    for (const char c : content) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\x1a')
            return "binary content";
    }
    return std::nullopt;
}

void dialerSettingsUpdate(Files& files, const Catalogue& catalogue, const ModemSettings& modem) {
    const ProgramEntry& stack = catalogue.entry(1);
    if (!stack.preselected)
        return;
    std::string folder = catalogue.settings.destination;
    if (stack.ownDirectory)
        folder += stack.directory;
    const std::string settingsFile = folder + stack.file(2);
    const bool present = files.fileExists(settingsFile);
    // Entry 1 that is no dial-up stack: appending a profile section to its second file would
    // spoil that file, and its third would replace the system's socket library. Nothing is done.
    if (present) {
        const auto host = files.machine().toHost(settingsFile);
        const std::optional<std::string> content =
            host ? readHostFile(*host) : std::optional<std::string>();
        if (const auto why = content ? notText(*content) : std::optional<std::string>("unreadable"))
            throw std::runtime_error(notDialerSettings(settingsFile, *why));
    }
    // A settings write the platform refuses ("Unable to write to ..."), or a socket library
    // there that cannot be copied, is an error the copy page reports as a file not copied: the
    // dialer would not dial, and the run must not say it is whole.
    if (present) {
        ProfileFile settings(files.machine(), settingsFile);
        settings.writeInteger("Trumpet Winsock", "slip-port", modem.port.value_or(-1) + 1);
        if (!modem.initCommand.empty() && !modem.dialCommand.empty()) {
            const std::string& name = catalogue.settings.brandName;
            const std::string section = name.empty() ? std::string(kBuiltInName) : name;
            settings.writeText(section, "$modemsetup", modem.initCommand);
            settings.writeText(section, "$phone", modem.dialCommand);
        }
    }
    const std::string systemLibrary = files.machine().systemDirectory() + "\\~sock32.dll";
    const std::string keptLibrary = changeFileExt(systemLibrary, ".zel");
    const std::string library = folder + stack.file(3);
    const bool movedAside = files.renameFile(systemLibrary, keptLibrary);
    if (!fileCopy(files, library, systemLibrary)) {
        // Never leave the system without a socket library: put the old one back.
        if (movedAside)
            files.renameFile(keptLibrary, systemLibrary);
        if (files.fileExists(library))
            throw FileCopyError(copyFailed(library, systemLibrary));
    }
}

} // namespace zel
