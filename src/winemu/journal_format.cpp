#include "winemu/journal_format.h"

#include "winemu/cp1252.h"

namespace zel {

namespace fs = std::filesystem;

fs::path journalDirectory(const fs::path& prefix) {
    return prefix / "journal";
}

fs::path keptDirectory(const fs::path& journal) {
    fs::path dir = journal;
    return dir.replace_extension(".saved");
}

std::string journalValue(const std::optional<std::string>& value) {
    return value ? "=" + *value : std::string("-");
}

std::optional<std::string> journalValueOf(std::string_view field) {
    if (field.starts_with('='))
        return std::string(field.substr(1));
    return std::nullopt;
}

std::string escapeJournalField(std::string_view text) {
    std::string out;
    for (char ch : text) {
        switch (ch) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += ch;
        }
    }
    return out;
}

std::string unescapeJournalField(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

std::string journalErrorPath(const fs::path& path) {
    return utf8ToCp1252(path.string());
}

} // namespace zel
