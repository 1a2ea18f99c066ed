#include "tools/progman/desktop.h"

#include "tools/progman/icon.h"
#include "winemu/cp1252.h"
#include "winemu/host_file.h"

#include <pwd.h>
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

std::string hex8(std::uint64_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string out(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4)
        out[static_cast<std::size_t>(i)] = digits[value & 15];
    return out;
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

class Mirror {
public:
    explicit Mirror(const DesktopMirror& m)
        : m_(m), tag_(hex8(fnv1a(m.prefix.string()))), own_(std::string(kVendor) + tag_ + "-") {}

    std::vector<std::string> run(const Groups& groups) {
        const std::string prefix = m_.prefix.string(), progman = m_.progman.string();
        // Entries are UTF-8 text: a machine or program path that is not cannot be started
        // from one. Its old entries go all the same.
        const bool usable =
            validUtf8(prefix) && validUtf8(progman) && !hasControl(prefix) && !hasControl(progman);
        if (!usable)
            problems_.push_back("no desktop entries: the path of " + prefix + " or of " + progman +
                                " is no UTF-8 text");
        std::string menu;
        std::set<std::string> groupNames;
        for (const Group& group : usable ? groups.groups() : std::vector<Group>{}) {
            if (hasControl(group.name)) {
                problems_.push_back("no desktop entries for a group whose name holds control "
                                    "characters: " +
                                    escapeControls(cp1252ToUtf8(group.name)));
                continue;
            }
            const std::string groupId = own_ + unique(slug(group.name, "group"), groupNames);
            const std::string directory = groupId + ".directory";
            write(m_.places.directories / directory,
                  "[Desktop Entry]\nType=Directory\nName=" + entryValue(cp1252ToUtf8(group.name)) +
                      "\n");
            menu += "  <Menu>\n    <Name>" + groupId + "</Name>\n    <Directory>" + directory +
                    "</Directory>\n    <Include>\n";
            std::set<std::string> itemNames;
            for (const Item& item : group.items) {
                if (hasControl(item.name)) {
                    problems_.push_back("no desktop entry for an item whose name holds control "
                                        "characters: " +
                                        escapeControls(cp1252ToUtf8(item.name)));
                    continue;
                }
                // '_' joins them: no name's part holds one.
                const std::string file = groupId.substr(kVendor.size()) + "_" +
                                         unique(slug(item.name, "item"), itemNames) + ".desktop";
                write(m_.places.entries / file, entry(group, item));
                menu += "      <Filename>" + std::string(kVendor) + file + "</Filename>\n";
            }
            menu += "    </Include>\n  </Menu>\n";
        }
        const fs::path menuFile = m_.places.menus / (own_.substr(0, own_.size() - 1) + ".menu");
        if (!menu.empty())
            write(menuFile, "<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
                            " \"http://www.freedesktop.org/standards/menu-spec/menu-1.0.dtd\">\n"
                            "<Menu>\n  <Name>Applications</Name>\n" +
                                menu + "</Menu>\n");
        else
            remove(menuFile);
        removeOthers(m_.places.entries, tag_ + "-", ".desktop");
        removeOthers(m_.places.directories, own_, ".directory");
        std::error_code ec;
        for (fs::directory_iterator it(m_.places.icons, ec), end; !ec && it != end;
             it.increment(ec))
            removeOthers(it->path() / "apps", own_, ".png");
        fs::remove(m_.places.entries, ec); // only when it is empty
        return std::move(problems_);
    }

private:
    std::string entry(const Group& group, const Item& item) {
        std::vector<std::string> arguments = {
            "env",   "ZEL_PREFIX=" + m_.prefix.string(), m_.progman.string(),
            "--run", cp1252ToUtf8(group.name),           cp1252ToUtf8(item.name)};
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
        if (const auto icon = iconFor(item))
            text += "Icon=" + *icon + "\n";
        return text;
    }

    // The theme name of the item's icon, written as PNG; nothing when it has none or it
    // cannot be read.
    std::optional<std::string> iconFor(const Item& item) {
        if (item.icon.empty() || !m_.readFile)
            return std::nullopt;
        const auto data = m_.readFile(item.icon);
        const auto image = data ? readIcon(*data) : std::nullopt;
        const auto square = image ? themed(*image) : std::nullopt;
        if (!square)
            return std::nullopt;
        const std::string png = pngFile(*square);
        const std::string name = own_ + hex8(fnv1a(png));
        const std::string size = std::to_string(square->width);
        if (!write(m_.places.icons / (size + "x" + size) / "apps" / (name + ".png"), png))
            return std::nullopt;
        return name;
    }

    // Writes the file when its content differs; false (and a message) when it could not be.
    bool write(const fs::path& file, const std::string& content) {
        wanted_.insert(file);
        try {
            if (readHostFile(file) == content)
                return true;
            std::error_code ec;
            fs::create_directories(file.parent_path(), ec);
            writeHostFile(file, content, 0644);
            return true;
        } catch (const std::exception& e) {
            problems_.push_back(e.what());
            return false;
        }
    }

    void remove(const fs::path& file) {
        std::error_code ec;
        if (!fs::remove(file, ec) && ec && ec != std::errc::no_such_file_or_directory)
            problems_.push_back(file.string() + ": " + ec.message());
    }

    // Removes the files of `dir` named start...end that were not written this time.
    void removeOthers(const fs::path& dir, std::string_view start, std::string_view end) {
        std::error_code ec;
        std::vector<fs::path> stale;
        for (fs::directory_iterator it(dir, ec), last; !ec && it != last; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name.starts_with(start) && name.ends_with(end) && !wanted_.count(it->path()))
                stale.push_back(it->path());
        }
        for (const fs::path& file : stale)
            remove(file);
    }

    const DesktopMirror& m_;
    std::string tag_; // the machine's
    std::string own_; // "zel-setup-" and the tag and "-"
    std::set<fs::path> wanted_;
    std::vector<std::string> problems_;
};

fs::path homeDirectory() {
    if (const char* h = std::getenv("HOME"); h != nullptr && *h == '/')
        return h;
    if (const passwd* user = ::getpwuid(::geteuid()); user != nullptr && user->pw_dir != nullptr)
        return user->pw_dir;
    return {};
}

// An XDG base directory: the variable when it holds an absolute path, else the home's default.
fs::path baseDirectory(const char* variable, const fs::path& home, const char* fallback) {
    if (const char* v = std::getenv(variable); v != nullptr && *v == '/')
        return v;
    return home.empty() ? fs::path() : home / fallback;
}

} // namespace

std::optional<DesktopPlaces> desktopPlaces() {
    if (const char* off = std::getenv("ZEL_NO_DESKTOP");
        off != nullptr && *off != '\0' && std::strcmp(off, "0") != 0)
        return std::nullopt;
    const fs::path home = homeDirectory();
    const fs::path data = baseDirectory("XDG_DATA_HOME", home, ".local/share");
    const fs::path config = baseDirectory("XDG_CONFIG_HOME", home, ".config");
    if (data.empty() || config.empty())
        return std::nullopt;
    return DesktopPlaces{data / "applications" / "zel-setup", data / "desktop-directories",
                         data / "icons" / "hicolor", config / "menus" / "applications-merged"};
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
    return Mirror(mirror).run(groups);
}

} // namespace zel::progman
