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
#include <cstring>
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

bool isWindowsPath(std::string_view path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
           path[1] == ':' && path[2] == '\\';
}

// A key's line taken out of a profile text; the text as it was when there is none.
std::string withoutKey(const std::string& content, std::string_view section, std::string_view key) {
    bool inSection = false;
    for (const ini::ScannedLine& line : ini::scan(content)) {
        if (line.kind == ini::ScannedLine::Kind::Section)
            inSection = equalsNoCase(line.name, section);
        if (!inSection || line.kind != ini::ScannedLine::Kind::Key ||
            !equalsNoCase(line.name, key))
            continue;
        std::size_t begin = static_cast<std::size_t>(line.text.data() - content.data());
        std::size_t end = begin + line.text.size();
        if (end < content.size() && content[end] == '\r')
            ++end;
        if (end < content.size() && content[end] == '\n')
            ++end;
        return content.substr(0, begin) + content.substr(end);
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

class Undo {
public:
    Undo(Machine& machine, Programs& programs, const fs::path& keptDir)
        : m_(machine), programs_(programs), keptDir_(keptDir) {}

    void prepare(const std::vector<JournalRecord>& records);
    void run(const JournalRecord& record);
    void removeGroups(const std::vector<JournalRecord>& records);
    Outcome outcome;

private:
    fs::path host(const std::string& winPath) const {
        return m_.toHost(winPath).value_or(fs::path());
    }
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

void Undo::prepare(const std::vector<JournalRecord>& records) {
    // A file moved aside is what a file later made under its name replaced.
    std::map<fs::path, FileState> movedAway;
    for (const JournalRecord& r : records) {
        if (r.kind == "moved" && r.fields.size() >= 4)
            movedAway[host(r.fields[0])] = {true, number(r.fields[2]), number(r.fields[3])};
        const bool created = r.kind == "created", replaced = r.kind == "replaced";
        if ((!created && !replaced && r.kind != "touched") || r.fields.size() < 4)
            continue;
        const fs::path file = host(r.fields[0]);
        const FileState after{true, number(r.fields[2]), number(r.fields[3])};
        auto found = files_.find(file);
        if (found == files_.end()) {
            FileState before;
            if (const auto moved = movedAway.find(file); moved != movedAway.end())
                before = moved->second;
            if (replaced && r.fields.size() >= 7)
                before = {true, number(r.fields[5]), number(r.fields[6])};
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
        const std::optional<std::string> content =
            kept.empty() ? std::nullopt : readHostFile(keptDir_ / kept);
        if (!content)
            throw PlatformError("a c\xf3pia guardada n\xe3o existe");
        writeHostFile(file, *content, mode);
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(mtime / 1000000000LL);
        times[1].tv_nsec = static_cast<long>(mtime % 1000000000LL);
        if (::chmod(file.c_str(), mode) != 0 || ::utimensat(AT_FDCWD, file.c_str(), times, 0) != 0)
            throw PlatformError(std::strerror(errno));
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
                    std::strerror(errno) + ")");
    } else if (r.kind == "replaced" && f.size() >= 8) {
        if (ours(f[0], file))
            restore(f[0], file, f[4], number(f[6]), static_cast<unsigned>(number(f[7])));
    } else if (r.kind == "deleted" && f.size() >= 5) {
        if (!stateOf(file).exists)
            restore(f[0], file, f[2], number(f[3]), static_cast<unsigned>(number(f[4])));
    } else if (r.kind == "moved" && f.size() >= 2) {
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
                               std::string(std::strerror(errno)) + ")"));
    }
}

void Undo::undoProfile(const JournalRecord& r) {
    const std::vector<std::string>& f = r.fields; // FILE HOST SECTION KEY OLD NEW
    if (f.size() < 6)
        return;
    const fs::path file = isWindowsPath(f[0]) ? host(f[0]) : fs::path(f[0]);
    if (files_.count(file))
        return; // the file goes back whole
    const std::string where = "[" + shown(f[2]) + "] " + shown(f[3]) + " de " + shown(f[0]);
    try {
        const std::optional<std::string> content = readHostFile(file);
        if (!content)
            return;
        const std::optional<std::string> now = ini::lookup(*content, f[2], f[3]);
        const std::optional<std::string> before = journalValueOf(f[4]), after = journalValueOf(f[5]);
        if (now == before)
            return;
        if (now != after) {
            problem("O valor " + where +
                    " foi alterado depois da instala\u00e7\u00e3o e foi mantido");
            return;
        }
        writeHostFile(file, before ? ini::write(*content, f[2], f[3], *before)
                                   : withoutKey(*content, f[2], f[3]));
    } catch (const std::exception& e) {
        problem("N\u00e3o foi poss\u00edvel restaurar o valor " + where + " (" +
                cp1252ToUtf8(e.what()) + ")");
    }
}

void Undo::undoRegistry(const JournalRecord& r) {
    const std::vector<std::string>& f = r.fields;
    try {
        Registry registry(f.at(0));
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
                shown(f.size() > 1 ? f[1] : std::string()) + " (" + cp1252ToUtf8(e.what()) +
                ")");
    }
}

void Undo::removeGroups(const std::vector<JournalRecord>& records) {
    // The groups the installation's macros named and the items they added to each.
    std::vector<std::pair<std::string, std::vector<progman::Item>>> groups;
    std::string current;
    const auto groupNamed = [&](const std::string& name) {
        for (auto& group : groups)
            if (equalsNoCase(group.first, name))
                return &group;
        return &groups.emplace_back(name, std::vector<progman::Item>{});
    };
    for (const JournalRecord& r : records) {
        if (r.kind != "macro" || r.fields.empty())
            continue;
        for (const progman::MacroCommand& c : progman::parseMacros(r.fields[0]).commands) {
            const std::string name = upperCp1252Text(c.name);
            if ((name == "CREATEGROUP" || name == "SHOWGROUP") && !c.args.empty()) {
                current = c.args[0];
                groupNamed(current);
            } else if (name == "ADDITEM" && c.args.size() >= 2 && !current.empty()) {
                groupNamed(current)->second.push_back({c.args[0], c.args[1], "", 0});
            }
        }
    }
    if (groups.empty())
        return;
    const progman::Groups store = progman::loadStore(progman::storePath(m_.prefix()));
    std::vector<std::pair<std::string, std::string>> macros; // text, what it removes
    for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
        const progman::Group* group = store.find(it->first);
        if (!group)
            continue;
        const auto added = [&](const progman::Item& item) {
            for (const progman::Item& mine : it->second)
                if (equalsNoCase(mine.name, item.name) && mine.command == item.command)
                    return true;
            return false;
        };
        bool onlyOurs = true;
        for (const progman::Item& item : group->items)
            onlyOurs = onlyOurs && added(item);
        if (onlyOurs) {
            macros.emplace_back("[DeleteGroup(" + macroArg(group->name) + ")]",
                                "o grupo " + shown(group->name));
            continue;
        }
        // A group that holds the user's own items keeps them: only the installation's go.
        for (const progman::Item& item : group->items)
            if (added(item))
                macros.emplace_back("[ShowGroup(" + macroArg(group->name) + ",1)][DeleteItem(" +
                                        macroArg(item.name) + ")]",
                                    "o item " + shown(item.name) + " do grupo " +
                                        shown(group->name));
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
            problem("O Gerenciador de Programas n\u00e3o removeu " + macros[i].second);
}

void Undo::run(const JournalRecord& r) {
    if (r.fields.empty())
        return;
    if (r.kind == "profile")
        undoProfile(r);
    else if (r.kind == "regkey" || r.kind == "regvalue")
        undoRegistry(r);
    else if (r.kind != "touched" && r.kind != "macro")
        undoFile(r);
}

} // namespace

Outcome undoJournal(Machine& machine, Programs& programs, const std::vector<JournalRecord>& records,
                    const fs::path& keptDir) {
    Undo undo(machine, programs, keptDir);
    undo.prepare(records);
    bool groupsDone = false;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        // The groups were made last; they go first, all in one conversation.
        if (it->kind == "macro" && !groupsDone) {
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
