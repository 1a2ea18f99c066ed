#include "winemu/name_lookup.h"

#include "winemu/cp1252.h"

namespace zel {

namespace fs = std::filesystem;

std::optional<std::string> findCaseless(const fs::path& dir, std::string_view windowsName) {
    std::string exact = cp1252ToUtf8(windowsName);
    std::error_code ec;
    if (fs::symlink_status(dir / exact, ec).type() != fs::file_type::not_found && !ec)
        return exact;
    // Directory order is arbitrary: the smallest name keeps the answer the same on every run.
    std::optional<std::string> best;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string candidate = it->path().filename().string();
        if ((!best || candidate < *best) && equalsNoCase(utf8ToCp1252(candidate), windowsName))
            best = std::move(candidate);
    }
    return best;
}

} // namespace zel
