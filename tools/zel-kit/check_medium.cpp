// What the medium holds: links off it, pipes and devices, a Program Manager of its own, and the
// files the description names.
#include "tools/zel-kit/checker.h"
#include "tools/zel-kit/pack.h"

#include "winemu/cp1252.h"

#include <algorithm>

namespace zel::kit {

namespace fs = std::filesystem;

// What a hostile medium may put where files are expected: links that lead off it (the wizard
// treats them as missing; copied, they would hand out the host's files) and pipes or devices
// (which would block the wizard or never end).
void Checker::checkEntries() {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(medium_.root(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const fs::file_status status = it->symlink_status(ec);
        if (ec)
            break;
        const std::string name = medium_.display(it->path());
        const bool helper =
            it.depth() == 0 &&
            std::find(kWizardHelpers.begin(), kWizardHelpers.end(), name) != kWizardHelpers.end();
        if (helper && fs::is_symlink(status)) {
            // Copied into the machine or loaded by the wizard: a link is never taken for one.
            reportIn(name, Severity::Error, 0,
                     "helper " + name +
                         " is a link: the wizard refuses it; put the file itself "
                         "on the medium");
        } else if (fs::is_symlink(status)) {
            if (fs::exists(it->path(), ec) && !medium_.staysOn(it->path()))
                reportIn(name, Severity::Error, 0,
                         "is a link to " + fs::read_symlink(it->path(), ec).string() +
                             ", off the medium: the wizard treats it as missing");
        } else if (!fs::is_regular_file(status) && !fs::is_directory(status)) {
            reportIn(name, Severity::Error, 0,
                     "is a pipe, socket or device, not a file: the wizard treats it as missing");
        }
    }
}

// The wizard's fallback start of Program Manager ("PROGMAN PROGMAN") finds a PROGMAN.EXE in the
// wizard's own directory before the machine's.
void Checker::checkProgmanStandIn(const fs::path& wizardDirectory) {
    std::error_code ec;
    for (fs::directory_iterator it(wizardDirectory, ec), end; !ec && it != end; it.increment(ec)) {
        if (zel::equalsNoCase(zel::utf8ToCp1252(it->path().filename().string()), "PROGMAN.EXE"))
            reportIn(medium_.display(it->path()), Severity::Error, 0,
                     "would run instead of Program Manager when the wizard starts it: remove it "
                     "from the medium");
    }
}

// A file named relative to the medium; reports it when missing. A file the wizard reads only up
// to a size (a picture) is reported when larger.
bool Checker::checkFile(Severity severity, const Key& k, const std::string& path,
                        std::string_view what, std::uintmax_t maxBytes) {
    const std::string label(what);
    if (const auto host = medium_.findFile(path)) {
        std::error_code ec;
        if (const auto size = fs::file_size(*host, ec); !ec && size > maxBytes)
            report(Severity::Error, k.line,
                   label + " " + q(path) + " is larger than the wizard reads (" +
                       std::to_string(maxBytes) + " bytes): it is not shown");
        return true;
    }
    std::string message =
        label + " " + q(path) + " (" + zel::cp1252ToUtf8(k.name) + ") is not on the medium";
    if (k.value.empty())
        message = label + " is empty: " + zel::cp1252ToUtf8(k.name) + " names no file";
    report(severity, k.line, std::move(message));
    return false;
}

std::optional<std::string> Checker::directoryIn(const Section& s, const zel::DescriptionKey& key) {
    const Key* k = s.find(key.name);
    if (key.kind == zel::KeyKind::Directory) {
        std::string dir = k ? k->value : std::string();
        if (!dir.empty() && dir.back() != '\\')
            dir += '\\';
        return dir;
    }
    if (!k)
        return std::nullopt; // reported as missing
    const std::string& dir = k->value;
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') {
        report(severityOf(key.ifBad), k->line,
               "[" + zel::cp1252ToUtf8(s.name) + "] " + std::string(key.name) + " " + q(dir) +
                   " does not end with \"\\\"; the wizard adds none, so its files are looked "
                   "for as " +
                   q(dir + "NAME"));
        return std::nullopt;
    }
    return dir;
}

} // namespace zel::kit
