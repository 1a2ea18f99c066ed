#include "tools/progman/desktop.h"

#include "tools/progman/icon.h"
#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/host_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>

namespace zel::progman {

namespace fs = std::filesystem;

namespace {

// Every file of one machine starts with this, the entries' names after "zel-setup-" too.
constexpr std::string_view kVendor = "zel-setup-";
// The sizes the hicolor theme has directories for: a picture of another size is centred on
// the next one up.
constexpr int kThemeSizes[] = {16, 22, 24, 32, 36, 48, 64, 72, 96, 128, 192, 256};

// The low `digits` hexadecimal digits of the value.
std::string hex(std::uint64_t value, int digits) {
    static const char names[] = "0123456789abcdef";
    std::string out(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        out[static_cast<std::size_t>(i)] = names[value & 15];
    return out;
}

std::string hex16(std::uint64_t value) {
    return hex(value, 16);
}

// The names of earlier versions: 32 bits, too few for machines not to share one.
std::string hex8(std::uint64_t value) {
    return hex(value, 8);
}

// FNV-1a: names that stay the same from one run to the next, which std::hash does not promise.
std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text)
        h = (h ^ c) * 1099511628211ull;
    return h;
}

// A name as the menu's file names may hold it: lower-case ASCII letters and digits, accented
// letters without their accents, everything else a single '-'.
std::string slug(std::string_view cp1252, std::string_view fallback) {
    // Code page 1252 from 0xC0: the letter each accented letter is written with.
    static constexpr std::string_view folded = "aaaaaaaceeeeiiiidnooooo-ouuuuyts"
                                               "aaaaaaaceeeeiiiidnooooo-ouuuuyty";
    std::string out;
    for (unsigned char c : cp1252) {
        char ch = '-';
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            ch = static_cast<char>(c);
        else if (c >= 'A' && c <= 'Z')
            ch = static_cast<char>(c - 'A' + 'a');
        else if (c >= 0xC0)
            ch = folded[c - 0xC0];
        if (ch == '-' && (out.empty() || out.back() == '-'))
            continue;
        out += ch;
        if (out.size() >= 40)
            break;
    }
    while (!out.empty() && out.back() == '-')
        out.pop_back();
    return out.empty() ? std::string(fallback) : out;
}

// The name given, or with "-2", "-3"... when an earlier one took it.
std::string unique(std::string name, std::set<std::string>& taken) {
    std::string candidate = name;
    for (int n = 2; !taken.insert(candidate).second; ++n)
        candidate = name + "-" + std::to_string(n);
    return candidate;
}

bool validUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t extra = c < 0x80         ? 0
                                  : (c >> 5) == 6  ? 1
                                  : (c >> 4) == 14 ? 2
                                  : (c >> 3) == 30 ? 3
                                                   : 9;
        if (extra == 9 || c == 0xC0 || c == 0xC1 || text.size() - i <= extra)
            return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

bool hasControl(std::string_view text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return true;
    return false;
}

// A picture on a square of a size the theme has; nothing when it is larger than them all.
std::optional<IconImage> themed(const IconImage& image) {
    for (const int size : kThemeSizes) {
        if (size < image.width || size < image.height)
            continue;
        if (size == image.width && size == image.height)
            return image;
        const auto s = static_cast<std::size_t>(size), w = static_cast<std::size_t>(image.width);
        IconImage out{size, size, std::vector<std::uint8_t>(s * s * 4)};
        const std::size_t left = (s - w) / 2,
                          top = (s - static_cast<std::size_t>(image.height)) / 2;
        for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y)
            std::memcpy(&out.rgba[((top + y) * s + left) * 4], &image.rgba[y * w * 4], w * 4);
        return out;
    }
    return std::nullopt;
}

// Replaces a file whole through a temporary file beside it, so a desktop never reads half of
// one. Not synced: the mirror is made again from the store at every start.
void replaceFile(const fs::path& file, std::string_view content) {
    std::string temporary = file.parent_path() / ("." + file.filename().string() + ".XXXXXX");
    FileDescriptor fd(::mkstemp(temporary.data()));
    if (!fd)
        throw HostFileError(HostFileError::Step::Write, file, errno);
    if (!writeAll(fd.get(), content) || ::fchmod(fd.get(), 0644) != 0 ||
        ::close(fd.release()) != 0 || ::rename(temporary.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw HostFileError(HostFileError::Step::Replace, file, error);
    }
}

std::uint64_t groupKey(std::string_view id, const Group& group) {
    // Each field ends with a byte no name holds, so no two groups run together alike.
    std::string text(id);
    text += '\0';
    text += group.name;
    for (const Item& item : group.items)
        text += '\0' + item.command + '\1' + item.name + '\1' + item.icon + '\1' +
                std::to_string(item.iconIndex);
    return fnv1a(text);
}

} // namespace

std::string machineTag(const fs::path& prefix) {
    return hex16(fnv1a(prefix.string()));
}

MenuMirror::MenuMirror(DesktopMirror config)
    : m_(std::move(config)), tag_(machineTag(m_.prefix)), own_(std::string(kVendor) + tag_ + "-"),
      legacy_(hex8(fnv1a(m_.prefix.string()))) {
    const std::string prefix = m_.prefix.string(), progman = m_.progman.string();
    // Entries are UTF-8 text: a machine or program path that is not cannot be started from
    // one. Its old entries go all the same.
    usable_ =
        validUtf8(prefix) && validUtf8(progman) && !hasControl(prefix) && !hasControl(progman);
}

void MenuMirror::show(Groups groups) {
    shown_ = std::move(groups);
    plan_.clear();
    planned_.clear();
    iconByPath_.clear();
    queue_.clear();
    finishing_ = true;
    if (!usable_)
        problem("no desktop entries: the path of " + m_.prefix.string() + " or of " +
                m_.progman.string() + " is no UTF-8 text");
    std::set<std::string> names;
    for (std::size_t i = 0; usable_ && i < shown_.groups().size(); ++i) {
        const Group& group = shown_.groups()[i];
        if (hasControl(group.name)) {
            problem("no desktop entries for a group whose name holds control characters: " +
                    escapeControls(cp1252ToUtf8(group.name)));
            continue;
        }
        std::string id = own_ + unique(slug(group.name, "group"), names);
        const std::uint64_t key = groupKey(id, group);
        const auto known = records_.find(id);
        if (known == records_.end() || known->second.key != key)
            queue_.push_back(plan_.size());
        planned_.insert(id);
        plan_.push_back({i, std::move(id), key});
    }
}

std::vector<std::string> MenuMirror::step() {
    if (!queue_.empty()) {
        if (writeGroup(plan_[queue_.front()]))
            queue_.pop_front();
    } else if (finishing_ && !stopped()) {
        finish();
    }
    std::vector<std::string> told;
    told.swap(problems_);
    return told;
}

bool MenuMirror::writeGroup(const Planned& planned) {
    const Group& group = shown_.groups()[planned.group];
    Record record{planned.key, {}, {}};
    const fs::path directory = m_.places.directories / (planned.id + ".directory");
    if (stopped())
        return false;
    if (write(directory, "[Desktop Entry]\nType=Directory\nName=" +
                             entryValue(cp1252ToUtf8(group.name)) + "\n"))
        record.files.push_back(directory);
    // A menu file of its own: a change to one group rewrites no other group's.
    std::string menu = "<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
                       " \"http://www.freedesktop.org/standards/menu-spec/menu-1.0.dtd\">\n"
                       "<Menu>\n  <Name>Applications</Name>\n  <Menu>\n    <Name>" +
                       planned.id + "</Name>\n    <Directory>" + directory.filename().string() +
                       "</Directory>\n    <Include>\n";
    std::set<std::string> itemNames;
    for (const Item& item : group.items) {
        if (hasControl(item.name)) {
            problem("no desktop entry for an item whose name holds control characters: " +
                    escapeControls(cp1252ToUtf8(item.name)));
            continue;
        }
        if (stopped())
            return false;
        const std::optional<std::string> icon = iconFor(item);
        if (icon)
            record.icons.push_back(*icon);
        // '_' joins them: no name's part holds one.
        const std::string file = planned.id.substr(kVendor.size()) + "_" +
                                 unique(slug(item.name, "item"), itemNames) + ".desktop";
        if (stopped())
            return false;
        const fs::path path = m_.places.entries / file;
        if (write(path,
                  entry(group, item,
                        icon ? std::optional(fs::path(*icon).stem().string()) : std::nullopt)))
            record.files.push_back(path);
        menu += "      <Filename>" + std::string(kVendor) + file + "</Filename>\n";
    }
    if (stopped())
        return false;
    const fs::path menuFile = m_.places.menus / (planned.id + ".menu");
    if (write(menuFile, menu + "    </Include>\n  </Menu>\n</Menu>\n"))
        record.files.push_back(menuFile);
    // What the group had before and has no more goes at the end of the pass.
    if (const auto old = records_.find(planned.id); old != records_.end()) {
        const std::set<fs::path> now(record.files.begin(), record.files.end());
        for (const fs::path& file : old->second.files)
            if (!now.count(file))
                dropped_.insert(file);
        useIcons(old->second.icons, -1);
    }
    useIcons(record.icons, +1);
    records_[planned.id] = std::move(record);
    return true;
}

void MenuMirror::useIcons(const std::vector<fs::path>& icons, int change) {
    for (const fs::path& icon : icons)
        if ((iconUse_[icon] += change) <= 0)
            dropped_.insert(icon);
}

void MenuMirror::finish() {
    for (auto r = records_.begin(); r != records_.end();) {
        if (planned_.count(r->first)) {
            ++r;
            continue;
        }
        dropped_.insert(r->second.files.begin(), r->second.files.end());
        useIcons(r->second.icons, -1);
        r = records_.erase(r);
    }
    for (const fs::path& file : dropped_)
        if (const auto use = iconUse_.find(file); use == iconUse_.end() || use->second <= 0) {
            iconUse_.erase(file);
            remove(file);
        }
    dropped_.clear();
    if (!swept_) {
        // What earlier runs left: this machine's files that no group has now, also under the
        // 32-bit tag names were given before.
        const fs::path legacyMenu = m_.places.menus / (std::string(kVendor) + legacy_ + ".menu");
        remove(legacyMenu);
        removeLeftovers(m_.places.entries, ".desktop");
        removeLeftovers(m_.places.directories, ".directory");
        removeLeftovers(m_.places.menus, ".menu");
        std::error_code ec;
        for (fs::directory_iterator it(m_.places.icons, ec), end; !ec && it != end;
             it.increment(ec))
            removeLeftovers(it->path() / "apps", ".png");
        swept_ = true;
    }
    std::error_code ec;
    fs::remove(m_.places.entries, ec); // only when it is empty
    finishing_ = false;
}

std::string MenuMirror::entry(const Group& group, const Item& item,
                              const std::optional<std::string>& icon) {
    // The desktop starts no program whose path holds '=' (nor would env: it takes such a word
    // for a setting), so such a path is started by the shell, as a plain argument.
    std::vector<std::string> arguments;
    if (m_.progman.string().find('=') != std::string::npos)
        arguments = {"sh", "-c", "exec \"$0\" \"$@\""};
    arguments.insert(arguments.end(), {m_.progman.string(), "--prefix", m_.prefix.string(), "--run",
                                       cp1252ToUtf8(group.name), cp1252ToUtf8(item.name)});
    // A group may hold several items of one name: which of them this one is.
    int occurrence = 0;
    for (const Item* i = group.items.data(); i <= &item; ++i)
        occurrence += i->name == item.name ? 1 : 0;
    if (occurrence > 1)
        arguments.push_back(std::to_string(occurrence));
    std::string exec;
    for (const std::string& argument : arguments)
        exec += (exec.empty() ? "" : " ") + execArgument(argument);
    std::string text =
        "[Desktop Entry]\nType=Application\nName=" + entryValue(cp1252ToUtf8(item.name)) + "\n";
    // The group says where the item comes from; a comment that repeats the name says nothing.
    if (!equalsNoCase(group.name, item.name))
        text += "Comment=" + entryValue(cp1252ToUtf8(group.name)) + "\n";
    text += "Exec=" + entryValue(exec) + "\nTerminal=false\n";
    if (icon)
        text += "Icon=" + *icon + "\n";
    return text;
}

// The PNG file of the item's icon; nothing when it has none or it cannot be read. A content
// seen before is not decoded again, nor is a refused one.
std::optional<std::string> MenuMirror::iconFor(const Item& item) {
    if (item.icon.empty() || !m_.readFile)
        return std::nullopt;
    // One change reads each icon file once, however many items show it.
    auto seen = iconByPath_.find(item.icon);
    if (seen == iconByPath_.end())
        seen = iconByPath_.emplace(item.icon, iconContent(item.icon)).first;
    if (!seen->second)
        return std::nullopt;
    const std::optional<Icon>& icon = icons_.at(*seen->second);
    // Written again when it was removed with the last item that showed it.
    if (!icon || !write(icon->file, icon->png))
        return std::nullopt;
    return icon->file.string();
}

// The icon file's content as its key in icons_, decoded when new; nothing when unreadable.
std::optional<std::uint64_t> MenuMirror::iconContent(const std::string& winPath) {
    const auto data = m_.readFile(winPath);
    if (!data)
        return std::nullopt;
    const std::uint64_t content = fnv1a(*data) ^ data->size();
    if (icons_.count(content))
        return content;
    ++decoded_;
    const auto image = readIcon(*data);
    const auto square = image ? themed(*image) : std::nullopt;
    std::optional<Icon> icon;
    if (square) {
        const std::string size = std::to_string(square->width);
        std::string png = pngFile(*square);
        icon = Icon{m_.places.icons / (size + "x" + size) / "apps" /
                        (own_ + hex16(fnv1a(png)) + ".png"),
                    std::move(png)};
    }
    icons_.emplace(content, std::move(icon));
    return content;
}

// Writes the file when its content differs from what it holds; false (and a message) when it
// could not be.
bool MenuMirror::write(const fs::path& file, const std::string& content) {
    const std::uint64_t hash = fnv1a(content);
    if (const auto known = contents_.find(file); known != contents_.end() && known->second == hash)
        return true;
    try {
        if (!contents_.count(file)) {
            std::error_code ec;
            if (fs::file_size(file, ec) == content.size() && !ec && readHostFile(file) == content) {
                contents_[file] = hash;
                return true;
            }
        }
        std::error_code ec;
        fs::create_directories(file.parent_path(), ec);
        replaceFile(file, content);
        contents_[file] = hash;
        ++written_;
        return true;
    } catch (const std::exception& e) {
        contents_.erase(file);
        problem(e.what());
        return false;
    }
}

void MenuMirror::remove(const fs::path& file) {
    contents_.erase(file);
    std::error_code ec;
    if (!fs::remove(file, ec) && ec && ec != std::errc::no_such_file_or_directory)
        problem(file.string() + ": " + ec.message());
}

// Removes the files of `dir` named after this machine (or its old tag) that no group has.
void MenuMirror::removeLeftovers(const fs::path& dir, std::string_view end) {
    const bool entries = dir == m_.places.entries; // entries' names lack the vendor
    const std::string start = entries ? tag_ + "-" : own_;
    const std::string legacy = (entries ? "" : std::string(kVendor)) + legacy_ + "-";
    std::error_code ec;
    std::vector<fs::path> stale;
    for (fs::directory_iterator it(dir, ec), last; !ec && it != last; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if ((name.starts_with(start) || name.starts_with(legacy)) && name.ends_with(end) &&
            !contents_.count(it->path()))
            stale.push_back(it->path());
    }
    for (const fs::path& file : stale)
        remove(file);
}

void MenuMirror::problem(std::string text) {
    if (told_.insert(text).second)
        problems_.push_back(std::move(text));
}

std::string execArgument(std::string_view argument) {
    static constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    const bool quote = argument.empty() || argument.find_first_of(reserved) != argument.npos;
    std::string out = quote ? "\"" : "";
    for (char c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += '\\';
        out += c;
        if (c == '%')
            out += '%';
    }
    return quote ? out + "\"" : out;
}

std::string entryValue(std::string_view utf8) {
    std::string out;
    for (char c : utf8) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (c == ' ' && out.empty())
            out += "\\s";
        else
            out += c;
    }
    return out;
}

std::vector<std::string> mirrorGroups(const Groups& groups, const DesktopMirror& mirror) {
    MenuMirror menu(mirror);
    menu.show(groups);
    std::vector<std::string> problems;
    while (menu.pending() && !(mirror.stopRequested && mirror.stopRequested())) {
        std::vector<std::string> more = menu.step();
        problems.insert(problems.end(), more.begin(), more.end());
    }
    return problems;
}

} // namespace zel::progman
