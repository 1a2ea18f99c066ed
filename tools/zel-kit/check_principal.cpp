// The sections without a number: [Principal], [Update] and [Uninstall]. Missing keys that read
// as "erro!", and the fixed files they name (a missing one is skipped silently by the run).
#include "tools/zel-kit/checker.h"

#include "setup/brand.h"
#include "setup/disk_space.h"
#include "winemu/cp1252.h"

#include <algorithm>
#include <map>

namespace zel::kit {

namespace fs = std::filesystem;
using zel::DescriptionKey;
using zel::KeyId;

void Checker::checkGlobals() {
    const std::vector<std::string_view> sections = fixedSections();

    // Missing "erro!" keys: one problem per key, or one for a whole missing section.
    for (std::string_view name : sections) {
        if (d_.find(name))
            continue;
        Severity worst = Severity::Note;
        std::string list;
        for (const DescriptionKey& key : zel::descriptionKeys()) {
            if (key.section != name || !marked(key))
                continue;
            worst = std::min(worst, severityOf(key.ifMissing));
            list += (list.empty() ? "" : ", ") + std::string(key.name);
        }
        if (!list.empty())
            report(worst, 0,
                   "no section [" + std::string(name) + "]: " + list +
                       " read as \"erro!\", which flows on into paths, group names and macros");
    }
    for (const DescriptionKey& key : zel::descriptionKeys()) {
        if (numbered(key.section) || !marked(key))
            continue;
        const Section* s = d_.find(key.section);
        if (!s || s->find(key.name))
            continue;
        // A value only noted (the version) reads as "erro!"; the others become it where used.
        const bool noted = key.ifMissing == zel::Weight::Note;
        report(severityOf(key.ifMissing), s->line,
               "[" + std::string(key.section) + "] has no " + std::string(key.name) + ": " +
                   std::string(key.what) + (noted ? " reads" : " becomes") + " \"erro!\"");
    }

    for (std::string_view name : sections) {
        if (const Section* s = d_.find(name)) {
            checkKeys(*s, name);
            checkNumbers(*s, name);
        }
    }

    checkDestination();

    // The directories the fixed files are in, each checked once.
    std::map<KeyId, std::optional<std::string>> directories;
    for (const DescriptionKey& key : zel::descriptionKeys()) {
        if (numbered(key.section) || !key.file.under || directories.contains(*key.file.under))
            continue;
        const DescriptionKey& dirKey = zel::keyOf(*key.file.under);
        const Section* s = d_.find(dirKey.section);
        directories[dirKey.id] = s ? directoryIn(*s, dirKey) : std::nullopt;
    }

    for (const DescriptionKey& key : zel::descriptionKeys()) {
        if (numbered(key.section) || key.file.label.empty())
            continue;
        const Section* s = d_.find(key.section);
        const Key* k = s ? s->find(key.name) : nullptr;
        if (!k || (!marked(key) && k->value.empty()))
            continue; // missing: reported above; empty where that means none
        std::string path = k->value;
        if (key.file.under) {
            const std::optional<std::string>& dir = directories[*key.file.under];
            if (!dir)
                continue; // reported with the directory
            path = *dir + path;
        }
        const Severity absent = severityOf(key.file.ifAbsent);
        if (key.id != KeyId::LicenceFile)
            checkFile(absent, *k, path, key.file.label, key.file.maxBytes);
        else if (checkFile(absent, *k, path, key.file.label))
            checkLicence(*medium_.findFile(path), key.file.maxBytes);
    }
    checkBrand();
}

// The provider's texts: longer than their control shows, they are cut off on the page.
void Checker::checkBrand() {
    const Section* s = d_.find(zel::kBrandSection);
    if (!s)
        return;
    for (const DescriptionKey& key : zel::descriptionKeys()) {
        if (key.section != zel::kBrandSection)
            continue;
        const Key* k = s->find(key.name);
        if (!k)
            continue;
        const std::string name = "[" + std::string(key.section) + "] " + std::string(key.name);
        if (key.maxChars && k->value.size() > key.maxChars)
            report(Severity::Warning, k->line,
                   name + " has " + std::to_string(k->value.size()) + " characters, more than " +
                       std::string(key.shownIn) + " shows (" + std::to_string(key.maxChars) +
                       "): the rest is cut off");
        if (key.id == KeyId::BrandBackground && !k->value.empty() && !zel::brandColour(k->value))
            report(severityOf(key.ifBad), k->line,
                   name + "=" + zel::cp1252ToUtf8(k->value) +
                       " is no colour R,G,B (each 0 to 255): the background stays blue");
        if (key.id == KeyId::BrandUninstallName && k->value.find('\\') != std::string::npos)
            report(Severity::Warning, k->line,
                   name + " holds '\\', which makes it a key under another in the registry");
    }
}

// The destination is proposed under the machine's program-files directory in place of its drive,
// and must then be a full path Windows accepts: the wizard refuses to copy anywhere else.
void Checker::checkDestination() {
    const DescriptionKey& key = zel::keyOf(KeyId::Destination);
    const Section* s = d_.find(key.section);
    const Key* k = s ? s->find(key.name) : nullptr;
    if (!k)
        return; // missing: reported with the section's keys
    const std::string name = "[" + std::string(key.section) + "] " + std::string(key.name);
    if (const std::optional<char> c = zel::refusedCharacter(k->value)) {
        const auto code = static_cast<unsigned char>(*c);
        report(Severity::Error, k->line,
               name + " holds " +
                   (code < 0x20 ? "a control character (code " + std::to_string(code) + ")"
                                : "'" + std::string(1, *c) + "'") +
                   ", which Windows refuses in a name: the wizard refuses to install there");
    } else if (!zel::isFullPath(k->value)) {
        report(Severity::Error, k->line,
               name + " \"" + zel::cp1252ToUtf8(k->value) +
                   "\" is not a full path with its drive (such as C:\\ZEL\\): the wizard "
                   "refuses to install there");
    }
}

void Checker::checkLicence(const fs::path& host, std::size_t maxBytes) {
    const std::string label(zel::keyOf(KeyId::LicenceFile).file.label);
    std::error_code ec;
    if (const auto size = fs::file_size(host, ec); !ec && size > maxBytes) {
        report(Severity::Error, 0,
               label + " " + medium_.display(host) + " is larger than the wizard reads (" +
                   std::to_string(maxBytes) + " bytes): the licence page shows no text");
        return;
    }
    const std::optional<std::string> text = readWhole(host);
    if (!text) {
        report(Severity::Warning, 0, label + " " + medium_.display(host) + " cannot be read");
        return;
    }
    // The licence splits into lines as a profile file does: at CR, LF and CR LF.
    checkEncoding(medium_.display(host), *text, zel::ini::scan(*text));
}

} // namespace zel::kit
