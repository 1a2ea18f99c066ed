#include "winemu/journal_format.h"

#include "winemu/cp1252.h"

#include <cctype>

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

bool isKeptName(std::string_view name) {
    return !name.empty() && name.size() <= 18 &&
           name.find_first_not_of("0123456789") == std::string_view::npos;
}

bool isJournalWindowsPath(std::string_view path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
           path[1] == ':' && path[2] == '\\';
}

namespace {

bool isNumber(std::string_view text) {
    if (text.starts_with('-'))
        text.remove_prefix(1);
    return !text.empty() && text.size() <= 19 &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool isValue(std::string_view text) {
    return text == "-" || text.starts_with('=');
}

} // namespace

std::string journalRecordFault(std::string_view kind, const std::vector<std::string>& f) {
    // Each kind's fields: W a Windows path, N a number, K a kept name, k a kept name or none,
    // S the same or a kept name, V a value, R the machine's registry root, B a flag, T a text.
    static constexpr std::pair<std::string_view, std::string_view> kShapes[] = {
        {"created", "WNN"},    {"replaced", "WNNSNNN"}, {"touched", "WNN"},    {"deleted", "WkNN"},
        {"moved", "WWNN"},     {"mkdir", "W"},          {"profile", "WTTVVB"}, {"regkey", "RT"},
        {"regvalue", "RTTVV"}, {"groups", "k"},         {"macro", "T"},
    };
    const std::string shownKind = escapeJournalField(kind);
    for (const auto& [name, shape] : kShapes) {
        if (name != kind)
            continue;
        if (f.size() != shape.size())
            return "o registro " + shownKind + " n\xe3o tem os campos esperados";
        for (std::size_t i = 0; i < shape.size(); ++i) {
            const std::string& field = f[i];
            switch (shape[i]) {
            case 'W':
                if (!isJournalWindowsPath(field))
                    return escapeJournalField(field) +
                           " n\xe3o \xe9 um caminho do Windows desta m\xe1quina";
                break;
            case 'N':
                if (!isNumber(field))
                    return "o registro " + shownKind + " tem um n\xfamero inv\xe1lido";
                break;
            case 'k':
            case 'S':
                if (field.empty() && shape[i] == 'k')
                    break;
                if (field == kKeptSame && shape[i] == 'S')
                    break;
                if (!isKeptName(field))
                    return escapeJournalField(field) +
                           " n\xe3o \xe9 o nome de uma c\xf3pia guardada";
                break;
            case 'V':
                if (!isValue(field))
                    return "o registro " + shownKind + " tem um valor inv\xe1lido";
                break;
            case 'R':
                if (field != kJournalRegistryRoot)
                    return escapeJournalField(field) +
                           " n\xe3o \xe9 o registro do Windows desta m\xe1quina";
                break;
            case 'B':
                if (field != "0" && field != "1")
                    return "o registro " + shownKind + " tem um valor inv\xe1lido";
                break;
            default: break;
            }
        }
        return {};
    }
    return "registro de tipo desconhecido: " + shownKind;
}

std::string journalErrorPath(const fs::path& path) {
    return utf8ToCp1252(path.string());
}

} // namespace zel
