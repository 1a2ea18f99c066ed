#include "tools/zel-uninstall/undo.h"

#include "progman/groups.h"
#include "progman/macros.h"
#include "progman/store.h"
#include "setup/install.h"
#include "winemu/cp1252.h"
#include "winemu/host_file.h"
#include "winemu/profile.h"
#include "winemu/progman_client.h"
#include "winemu/regedit4.h"
#include "winemu/registry.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace zel::uninstall {

namespace fs = std::filesystem;

namespace {

// A file's state as far as telling a change goes: absent, or its size and modification time.
struct FileState {
    bool exists = false;
    long long size = 0, mtime = 0;
    bool operator==(const FileState&) const = default;
};

long long number(const std::string& text) {
    long long value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

FileState stateOf(const fs::path& host) {
    struct stat st {};
    if (::lstat(host.c_str(), &st) != 0)
        return {};
    if (!S_ISREG(st.st_mode))
        return {true, -1, -1}; // no file of the installation's
    return {true, static_cast<long long>(st.st_size),
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

std::string shown(std::string_view cp1252) {
    return escapeControls(cp1252ToUtf8(cp1252));
}

// The text without one of its lines (a view into it), that line's break included.
std::string withoutLine(const std::string& content, std::string_view line) {
    const std::size_t begin = static_cast<std::size_t>(line.data() - content.data());
    std::size_t end = begin + line.size();
    if (end < content.size() && content[end] == '\r')
        ++end;
    if (end < content.size() && content[end] == '\n')
        ++end;
    return content.substr(0, begin) + content.substr(end);
}

// A key's line taken out of a profile text; the text as it was when there is none.
std::string withoutKey(const std::string& content, std::string_view section, std::string_view key) {
    bool inSection = false;
    for (const ini::ScannedLine& line : ini::scan(content)) {
        if (line.kind == ini::ScannedLine::Kind::Section)
            inSection = equalsNoCase(line.name, section);
        if (!inSection || line.kind != ini::ScannedLine::Kind::Key || !equalsNoCase(line.name, key))
            continue;
        return withoutLine(content, line.text);
    }
    return content;
}

// A section's header taken out of a profile text when nothing is left under it (not even a
// comment); the text as it was otherwise.
std::string withoutEmptySection(const std::string& content, std::string_view section) {
    const std::vector<ini::ScannedLine> lines = ini::scan(content);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != ini::ScannedLine::Kind::Section ||
            !equalsNoCase(lines[i].name, section))
            continue;
        for (std::size_t j = i + 1; j < lines.size(); ++j) {
            if (lines[j].kind == ini::ScannedLine::Kind::Section)
                break;
            if (lines[j].text.find_first_not_of(" \t") != std::string_view::npos)
                return content; // something is still in it
        }
        return withoutLine(content, lines[i].text);
    }
    return content;
}

// The registry value as the journal tells it ("hex(N):..." for what is no plain text).
void restoreValue(Registry& registry, const std::string& name, const std::string& text) {
    const auto colon = text.find("):");
    if (text.starts_with("hex(") && colon != std::string::npos) {
        const unsigned type = static_cast<unsigned>(number(text.substr(4, colon - 4)));
        std::vector<std::uint8_t> data;
        for (std::size_t i = colon + 2; i + 1 < text.size(); i += 2)
            data.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
        registry.writeValue(name, static_cast<RegType>(type), std::move(data));
        return;
    }
    registry.writeString(name, text);
}

std::optional<std::string> currentValue(Registry& registry, const std::string& name) {
    const std::optional<RegValue> value = registry.readValue(name);
    if (!value)
        return std::nullopt;
    if (value->type == RegType::String || value->type == RegType::ExpandString)
        return registry.readString(name);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text = "hex(" + std::to_string(static_cast<std::uint32_t>(value->type)) + "):";
    for (const std::uint8_t byte : value->data) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::string macroArg(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

bool sameItem(const progman::Item& a, const progman::Item& b) {
    return a.name == b.name && a.command == b.command && a.icon == b.icon &&
           a.iconIndex == b.iconIndex;
}

const progman::Item* itemNamed(const progman::Group* group, std::string_view name) {
    if (group)
        for (const progman::Item& item : group->items)
            if (equalsNoCase(item.name, name))
                return &item;
    return nullptr;
}

class Undo {
public:
    Undo(Machine& machine, Programs& programs, const fs::path& keptDir)
        : m_(machine), programs_(programs), keptDir_(keptDir) {}

    // Whether every record is one this machine's uninstaller may act on; reports each that
    // is not.
    bool check(const std::vector<JournalRecord>& records);
    void prepare(const std::vector<JournalRecord>& records);
    void run(const JournalRecord& record);
    void removeGroups(const std::vector<JournalRecord>& records);
    Outcome outcome;

private:
    fs::path host(const std::string& winPath) const {
        return m_.toHost(winPath).value_or(fs::path());
    }
    bool onMachineDrive(const fs::path& file) const;
    void problem(std::string text) { outcome.problems.push_back(std::move(text)); }
    // Whether the file is still as the installation left it; reports a changed one once.
    bool ours(const std::string& winPath, const fs::path& file);
    void restore(const std::string& winPath, const fs::path& file, const std::string& kept,
                 long long mtime, unsigned mode);
    void undoFile(const JournalRecord& r);
    void undoProfile(const JournalRecord& r);
    void undoRegistry(const JournalRecord& r);

    Machine& m_;
    Programs& programs_;
    fs::path keptDir_;
    // For each file the installation made or replaced: its last state after the installation
    // and its state before (the first record's).
    std::map<fs::path, std::pair<FileState, FileState>> files_;
    std::set<fs::path> reported_;
};

// The machine's disks are the prefix's drive_ directories as they really are: a drive letter
// mapped anywhere else (the medium, the uninstaller's own directory, a link to another
// machine's disk) is not the machine's, and neither is a link inside a drive leading out.
bool Undo::onMachineDrive(const fs::path& file) const {
    if (file.empty())
        return false;
    std::error_code ec;
    const fs::path root = fs::weakly_canonical(m_.prefix(), ec);
    if (ec)
        return false;
    const fs::path dir = fs::weakly_canonical(file.parent_path(), ec);
    if (ec)
        return false;
    const fs::path inside = dir.lexically_relative(root);
    return !inside.empty() && inside.begin()->string().starts_with("drive_");
}

bool Undo::check(const std::vector<JournalRecord>& records) {
    const auto refuse = [&](const std::string& why) {
        problem("O registro da instala\u00e7\u00e3o foi recusado: " + shown(why));
    };
    for (const JournalRecord& r : records) {
        if (const std::string fault = journalRecordFault(r.kind, r.fields); !fault.empty()) {
            refuse(fault);
            continue;
        }
        const auto reach = [&](const std::string& winPath) {
            if (!onMachineDrive(host(winPath)))
                refuse(winPath + " fica fora das unidades desta m\xe1quina");
        };
        if (r.kind == "moved")
            reach(r.fields[1]);
        if (r.kind != "regkey" && r.kind != "regvalue" && r.kind != "groups" && r.kind != "macro")
            reach(r.fields[0]);
    }
    outcome.refused = !outcome.problems.empty();
    return !outcome.refused;
}

void Undo::prepare(const std::vector<JournalRecord>& records) {
    // A file moved aside is what a file later made under its name replaced.
    std::map<fs::path, FileState> movedAway;
    for (const JournalRecord& r : records) {
        if (r.kind == "moved")
            movedAway[host(r.fields[0])] = {true, number(r.fields[2]), number(r.fields[3])};
        const bool created = r.kind == "created", replaced = r.kind == "replaced";
        if (!created && !replaced && r.kind != "touched")
            continue;
        const fs::path file = host(r.fields[0]);
        const FileState after{true, number(r.fields[1]), number(r.fields[2])};
        auto found = files_.find(file);
        if (found == files_.end()) {
            FileState before;
            if (const auto moved = movedAway.find(file); moved != movedAway.end())
                before = moved->second;
            if (replaced)
                before = {true, number(r.fields[4]), number(r.fields[5])};
            files_.emplace(file, std::make_pair(after, before));
        } else {
            found->second.first = after;
        }
    }
}

bool Undo::ours(const std::string& winPath, const fs::path& file) {
    const auto found = files_.find(file);
    if (found == files_.end())
        return false;
    const FileState now = stateOf(file);
    if (now == found->second.first)
        return true;
    if (now != found->second.second && reported_.insert(file).second)
        problem("O arquivo " + shown(winPath) +
                " foi alterado depois da instala\u00e7\u00e3o e foi mantido");
    return false;
}

void Undo::restore(const std::string& winPath, const fs::path& file, const std::string& kept,
                   long long mtime, unsigned mode) {
    try {
        // "=": the old content was the one the file holds (the same kit installed again).
        const std::optional<std::string> content = kept.empty() ? std::nullopt
                                                   : kept == kKeptSame
                                                       ? readHostFile(file)
                                                       : readHostFile(keptDir_ / kept);
        if (!content)
            throw PlatformError("a c\xf3pia guardada n\xe3o existe");
        writeHostFile(file, *content, mode);
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(mtime / 1000000000LL);
        times[1].tv_nsec = static_cast<long>(mtime % 1000000000LL);
        if (::chmod(file.c_str(), mode) != 0 || ::utimensat(AT_FDCWD, file.c_str(), times, 0) != 0)
            throw PlatformError(systemReason(errno));
    } catch (const std::exception& e) {
        problem("N\u00e3o foi poss\u00edvel restaurar o arquivo " + shown(winPath) + " (" +
                cp1252ToUtf8(e.what()) + ")");
    }
}

void Undo::undoFile(const JournalRecord& r) {
    const std::vector<std::string>& f = r.fields;
    const fs::path file = host(f[0]);
    if (file.empty()) {
        problem("O arquivo " + shown(f[0]) + " n\u00e3o est\u00e1 mais na m\u00e1quina");
        return;
    }
    if (r.kind == "created") {
        if (ours(f[0], file) && ::unlink(file.c_str()) != 0)
            problem("N\u00e3o foi poss\u00edvel remover o arquivo " + shown(f[0]) + " (" +
                    cp1252ToUtf8(systemReason(errno)) + ")");
    } else if (r.kind == "replaced") {
        if (ours(f[0], file))
            restore(f[0], file, f[3], number(f[5]), static_cast<unsigned>(number(f[6])));
    } else if (r.kind == "deleted") {
        if (!stateOf(file).exists)
            restore(f[0], file, f[1], number(f[2]), static_cast<unsigned>(number(f[3])));
    } else if (r.kind == "moved") {
        const fs::path to = host(f[1]);
        if (stateOf(file).exists)
            return; // back already, or a file of the user's took the name
        if (to.empty() || !stateOf(to).exists || ::rename(to.c_str(), file.c_str()) != 0)
            problem("N\u00e3o foi poss\u00edvel devolver " + shown(f[1]) + " a " + shown(f[0]));
    } else if (r.kind == "mkdir") {
        removeStaleCopies(file); // what a copy killed halfway left is no file of anybody's
        if (::rmdir(file.c_str()) != 0 && errno != ENOENT)
            problem("A pasta " + shown(f[0]) +
                    (errno == ENOTEMPTY || errno == EEXIST
                         ? " n\u00e3o foi removida: cont\u00e9m arquivos que a "
                           "instala\u00e7\u00e3o n\u00e3o criou"
                         : " n\u00e3o p\u00f4de ser removida (" +
                               cp1252ToUtf8(systemReason(errno)) + ")"));
    }
}

void Undo::undoProfile(const JournalRecord& r) {
    const std::vector<std::string>& f = r.fields; // FILE SECTION KEY OLD NEW NEWSECTION
    const fs::path file = host(f[0]);
    if (files_.count(file))
        return; // the file goes back whole
    const std::string where = "[" + shown(f[1]) + "] " + shown(f[2]) + " de " + shown(f[0]);
    try {
        const std::optional<std::string> content = readHostFile(file);
        if (!content)
            return;
        const std::optional<std::string> now = ini::lookup(*content, f[1], f[2]);
        const std::optional<std::string> before = journalValueOf(f[3]),
                                         after = journalValueOf(f[4]);
        std::string restored = *content;
        if (now != before) {
            if (now != after) {
                problem("O valor " + where +
                        " foi alterado depois da instala\u00e7\u00e3o e foi mantido");
                return;
            }
            restored = before ? ini::write(*content, f[1], f[2], *before)
                              : withoutKey(*content, f[1], f[2]);
        }
        // The section the installation made goes too once nothing is left in it.
        if (f[5] == "1")
            restored = withoutEmptySection(restored, f[1]);
        if (restored != *content)
            writeHostFile(file, restored);
    } catch (const std::exception& e) {
        problem("N\u00e3o foi poss\u00edvel restaurar o valor " + where + " (" +
                cp1252ToUtf8(e.what()) + ")");
    }
}

void Undo::undoRegistry(const JournalRecord& r) {
    const std::vector<std::string>& f = r.fields;
    try {
        Registry registry(m_.registryFile()); // the one the record's root names
        if (r.kind == "regkey") {
            // Only a key left empty goes: one holding anything else is kept.
            if (!registry.deleteEmptyKey(f.at(1)) && registry.openKey(f.at(1), false))
                problem("A chave " + shown(f[1]) +
                        " do registro foi mantida: cont\u00e9m o que a "
                        "instala\u00e7\u00e3o n\u00e3o criou");
            return;
        }
        const std::string& name = f.at(2);
        if (!registry.openKey(f.at(1), false))
            return; // the key is gone, and the value with it
        const std::optional<std::string> now = currentValue(registry, name);
        const std::optional<std::string> before = journalValueOf(f.at(3)),
                                         after = journalValueOf(f.at(4));
        if (now == before)
            return;
        if (now != after) {
            problem("O valor " + shown(name) + " da chave " + shown(f[1]) +
                    " foi alterado depois da instala\u00e7\u00e3o e foi mantido");
            return;
        }
        if (before)
            restoreValue(registry, name, *before);
        else
            registry.deleteValue(name);
    } catch (const std::exception& e) {
        problem("N\u00e3o foi poss\u00edvel desfazer a altera\u00e7\u00e3o do registro em " +
                shown(f.size() > 1 ? f[1] : std::string()) + " (" + cp1252ToUtf8(e.what()) + ")");
    }
}

void Undo::removeGroups(const std::vector<JournalRecord>& records) {
    // What Program Manager held before the installation, and what the installation's macros
    // make of it (run through Program Manager's own rules: an item without a name is named
    // after its program, an item of a name already there replaces it). Whatever differs is
    // the installation's, whenever Program Manager executed it.
    std::optional<progman::Groups> before;
    progman::Groups expected;
    for (const JournalRecord& r : records) {
        if (r.kind == "groups" && !before) {
            std::optional<std::string> text;
            if (!r.fields[0].empty() && !(text = readHostFile(keptDir_ / r.fields[0])))
                throw PlatformError("a c\xf3pia guardada dos grupos n\xe3o existe");
            before = text ? progman::groupsFromStoreText(*text) : progman::Groups();
            expected = *before;
        } else if (r.kind == "macro" && before) {
            expected.execute(r.fields[0]);
        }
    }
    if (!before)
        return;
    const progman::Groups now = progman::loadStore(progman::storePath(m_.prefix()));
    std::vector<std::pair<std::string, std::string>> macros; // text, what it undoes
    for (auto group = expected.groups().rbegin(); group != expected.groups().rend(); ++group) {
        const progman::Group* old = before->find(group->name);
        const progman::Group* current = now.find(group->name);
        if (!current)
            continue; // never made, or the user removed it
        const std::string show = "[ShowGroup(" + macroArg(current->name) + ",1)]";
        std::size_t left = current->items.size();
        for (const progman::Item& mine : group->items) {
            const progman::Item* was = itemNamed(old, mine.name);
            if (was && sameItem(*was, mine))
                continue; // there before, as it is
            const progman::Item* is = itemNamed(current, mine.name);
            if (!is)
                continue;
            if (!sameItem(*is, mine)) {
                problem("O item " + shown(is->name) + " do grupo " + shown(current->name) +
                        " foi alterado depois da instala\u00e7\u00e3o e foi mantido");
                continue;
            }
            if (was) {
                macros.emplace_back(show + "[AddItem(" + macroArg(was->command) + "," +
                                        macroArg(was->name) + "," + macroArg(was->icon) + "," +
                                        std::to_string(was->iconIndex) + ")]",
                                    "o item " + shown(was->name) + " do grupo " +
                                        shown(current->name) + " como era");
                continue;
            }
            --left;
            macros.emplace_back(show + "[DeleteItem(" + macroArg(is->name) + ")]",
                                "o item " + shown(is->name) + " do grupo " + shown(current->name));
        }
        if (old)
            continue; // the group was there before: it stays
        if (left == 0)
            macros.emplace_back("[DeleteGroup(" + macroArg(current->name) + ")]",
                                "o grupo " + shown(current->name));
        else
            problem("O grupo " + shown(current->name) +
                    " foi mantido: cont\u00e9m itens que a instala\u00e7\u00e3o n\u00e3o "
                    "criou");
    }
    if (macros.empty())
        return;
    DdeConversation progman(m_, programs_);
    progman.open("PROGMAN", "PROGMAN");
    for (const auto& macro : macros)
        progman.execute(macro.first);
    progman.close();
    for (std::size_t i = 0; i < macros.size(); ++i)
        if (i >= progman.deliveries().size() || !progman.deliveries()[i])
            problem("O Gerenciador de Programas n\u00e3o desfez " + macros[i].second);
}

void Undo::run(const JournalRecord& r) {
    if (r.fields.empty())
        return;
    if (r.kind == "profile")
        undoProfile(r);
    else if (r.kind == "regkey" || r.kind == "regvalue")
        undoRegistry(r);
    else if (r.kind != "touched" && r.kind != "macro" && r.kind != "groups")
        undoFile(r);
}

} // namespace

Outcome undoJournal(Machine& machine, Programs& programs, const std::vector<JournalRecord>& records,
                    const fs::path& keptDir) {
    Undo undo(machine, programs, keptDir);
    // One record that would reach outside the machine and nothing is undone.
    if (!undo.check(records))
        return undo.outcome;
    undo.prepare(records);
    bool groupsDone = false;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        // The groups were made last; they go first, all in one conversation.
        if ((it->kind == "macro" || it->kind == "groups") && !groupsDone) {
            groupsDone = true;
            try {
                undo.removeGroups(records);
            } catch (const std::exception& e) {
                undo.outcome.problems.push_back(
                    "N\u00e3o foi poss\u00edvel remover os grupos do Gerenciador de Programas (" +
                    cp1252ToUtf8(e.what()) + ")");
            }
        }
        undo.run(*it);
    }
    return undo.outcome;
}

} // namespace zel::uninstall
