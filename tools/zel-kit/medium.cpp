#include "tools/zel-kit/medium.h"

#include "winemu/cp1252.h"
#include "winemu/host_file.h"
#include "winemu/name_lookup.h"
#include "winemu/winpath.h"

#include <unistd.h>

#include <algorithm>
#include <vector>

namespace zel::kit {

namespace fs = std::filesystem;

bool Medium::staysOn(const fs::path& host) const {
    std::error_code ec;
    const fs::path real = fs::canonical(host, ec);
    if (ec)
        return false;
    const fs::path base = fs::canonical(root_, ec);
    auto r = real.begin();
    for (auto b = base.begin(); b != base.end(); ++b, ++r)
        if (r == real.end() || *r != *b)
            return false;
    return true;
}

std::optional<fs::path> Medium::findFile(std::string_view relative) const {
    const auto parsed = zel::parseWinPath("D:\\" + std::string(relative));
    if (!parsed || parsed->components.empty())
        return std::nullopt;
    fs::path host = root_;
    for (const std::string& component : parsed->components) {
        const auto name = zel::findCaseless(host, component);
        if (!name)
            return std::nullopt;
        host /= *name;
    }
    std::error_code ec;
    if (!fs::is_regular_file(host, ec) || !staysOn(host))
        return std::nullopt;
    return host;
}

std::optional<fs::path> Medium::findDescription() const {
    if (auto setup = findFile(kDescriptionName))
        return setup;
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec) && ::access(it->path().c_str(), X_OK) == 0)
            names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        if (auto ini = findFile(zel::changeFileExt(zel::utf8ToCp1252(name), ".INI")))
            return ini;
    return std::nullopt;
}

std::string Medium::display(const fs::path& host) const {
    return host.lexically_relative(root_).generic_string();
}

std::optional<std::string> readWhole(const fs::path& path) {
    try {
        return zel::readHostFile(path);
    } catch (const zel::HostFileError&) {
        return std::nullopt;
    }
}

} // namespace zel::kit
