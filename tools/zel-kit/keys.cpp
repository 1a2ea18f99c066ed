#include "tools/zel-kit/keys.h"

#include "setup/catalogue.h"
#include "winemu/cp1252.h"

#include <string_view>

namespace zel::kit {

namespace {

// A cell's text: "|" would end the cell, a line end the row.
std::string cell(std::string_view text) {
    std::string out;
    for (const char c : cp1252ToUtf8(text)) {
        if (c == '|')
            out += "\\|";
        else if (c == '\r' || c == '\n')
            out += ' ';
        else
            out += c;
    }
    return out;
}

std::string sectionOf(const DescriptionKey& key) {
    if (key.section == kProgramSection)
        return "`[" + std::string(key.section) + "N]` (1 to " + std::to_string(kProgramEntries) +
               ")";
    if (key.section == kSponsorSection)
        return "`[" + std::string(key.section) + "N]` (1 to " + std::to_string(kSponsorEntries) +
               ")";
    return "`[" + std::string(key.section) + "]`";
}

std::string nameOf(const DescriptionKey& key) {
    if (key.kind == KeyKind::FileList)
        return "`" + std::string(key.name) + "1` to `" + std::string(key.name) +
               std::to_string(kFileSlots) + "`";
    return "`" + std::string(key.name) + "`";
}

// What a missing key reads as. The provider's keys without a text of their own keep the
// wizard's built-in text or picture.
std::string defaultOf(const DescriptionKey& key) {
    switch (key.kind) {
    case KeyKind::Integer:
    case KeyKind::Flag: return "0";
    case KeyKind::FileList: return "none";
    case KeyKind::Directory: return key.fallback.empty() ? "`\\`" : "`" + cell(key.fallback) + "`";
    case KeyKind::Text: break;
    }
    if (key.fallback.empty())
        return key.section == kBrandSection ? "built in" : "empty";
    if (key.fallback == kMissing)
        return "`" + std::string(kMissing) + "`";
    return cell(key.fallback);
}

std::string shownIn(const DescriptionKey& key) {
    std::string where = cell(key.shownIn.empty() ? key.usedBy : key.shownIn);
    if (key.maxChars > 0)
        where += " (" + std::to_string(key.maxChars) + " characters at most)";
    return where;
}

} // namespace

std::string keysMarkdown() {
    std::string out = "| Section | Key | What it does | Default | Shown in |\n"
                      "|---|---|---|---|---|\n";
    for (const DescriptionKey& key : descriptionKeys())
        out += "| " + sectionOf(key) + " | " + nameOf(key) + " | " + cell(key.what) + " | " +
               defaultOf(key) + " | " + shownIn(key) + " |\n";
    return out;
}

} // namespace zel::kit
