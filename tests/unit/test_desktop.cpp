// Program Manager's groups in the desktop's menu: icons, entries' command lines, the mirror.
#include "tests/support/fixtures.h"
#include "tools/progman/desktop.h"
#include "tools/progman/icon.h"

#include <map>
#include <regex>
#include <set>

namespace zel::test {
namespace {

using namespace progman;

std::string patched(std::string data, std::size_t at, std::uint32_t value, int bytes = 4) {
    return data.replace(at, bytes, le(value, bytes));
}

// An icon whose directory lists its one picture `entries` times.
std::string bomb(const std::string& icon, std::size_t entries) {
    const std::string picture = icon.substr(22), entry = icon.substr(6, 8);
    std::string out = le(0, 2) + le(1, 2) + le(static_cast<std::uint32_t>(entries), 2);
    const auto at = static_cast<std::uint32_t>(6 + 16 * entries);
    for (std::size_t i = 0; i < entries; ++i)
        out += entry + le(static_cast<std::uint32_t>(picture.size()), 4) + le(at, 4);
    return out + picture;
}

// Each icon read as ImageMagick reads it (and our PNG without a warning); a damaged one is none.
TEST(DesktopIcons, ReadAsAnotherReaderDoesOrNotAtAll) {
    TempDir tmp;
    const std::string kit = readFile(sourceDir() / "kit" / "UPDATE" / "ZELNET.ICO");
    const struct {
        const char* name;
        std::string file;
        const char* read;      // "WxH", "" for no icon
        std::string same = {}; // the undamaged icon it reads as, when not itself
    } cases[] = {
        // clang-format off
        {"the kit's icon", kit, "32x32"}, {"1 bit", paletteIcon(16, 16, 1, 2, '\x5A'), "16x16"},
        {"4 bits, 20 wide", paletteIcon(20, 20, 4, 16, '\x3C'), "20x20"},
        {"8 bits, a short palette", paletteIcon(24, 24, 8, 4, '\x03'), "24x24"},
        {"24 bits", paletteIcon(48, 48, 24, 0, '\x7E'), "48x48"},
        {"32 bits without a mask", patched(kit.substr(0, 4158), 14, 4136), "32x32"},
        {"a directory of 64 pictures, all one", bomb(kit, 64), "32x32", kit},
        {"a directory count beyond the file", patched(kit, 4, 64, 2), "32x32", kit},
        {"32 bits, its mask all opaque", kit.substr(0, 4158) + std::string(128, '\0'), "32x32"},
        {"the larger picture second", twoPictures(paletteIcon(16, 16, 1, 2, 0), kit), "32x32", kit},
        {"more bits second", twoPictures(paletteIcon(32, 32, 4, 16, 1), kit), "32x32", kit},
        {"fewer bits second", twoPictures(kit, paletteIcon(32, 32, 4, 16, 1)), "32x32", kit},
        {"a colour beyond the palette", paletteIcon(24, 24, 8, 4, '\x04'), ""},
        {"a palette longer than the bits reach", paletteIcon(16, 16, 1, 3, '\0'), ""},
        {"empty", "", ""}, {"a cursor", patched(kit, 2, 2, 2), ""},
        {"cut in the directory", kit.substr(0, 12), ""}, {"cut in the colours", kit.substr(0, 2000), ""},
        {"a 1-bit picture without its mask",
         patched(paletteIcon(16, 16, 1, 2, 0).substr(0, 134), 14, 112), ""},
        {"the picture past the end", patched(kit, 18, 0xFFFFFFF0), ""},
        {"a header larger than the picture", patched(kit, 22, 5000), ""},
        {"no width", patched(kit, 26, 0), ""}, {"257 wide", patched(kit, 26, 257), ""},
        {"an odd double height", patched(kit, 30, 63), ""},
        {"top-down", patched(kit, 30, static_cast<std::uint32_t>(-64)), ""},
        {"16 bits", patched(kit, 36, 16, 2), ""}, {"compressed", patched(kit, 38, 1), ""},
        {"a directory of 65 pictures, all one", bomb(kit, 65), ""},
        {"a directory count of 65535 beyond the file", patched(kit, 4, 0xFFFF, 2), ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto image = readIcon(c.file);
        ASSERT_EQ(image ? std::to_string(image->width) + "x" + std::to_string(image->height) : "",
                  c.read);
        if (!image)
            continue;
        writeFile(tmp / "ours.png", pngFile(*image));
        writeFile(tmp / "icon.ico", c.same.empty() ? c.file : c.same);
        const auto pixels = [&](const char* file) {
            return runCommand("convert '" + (tmp / file).string() +
                              "' -depth 8 rgba:- 2>&1 | md5sum")
                .output;
        };
        EXPECT_EQ(pixels("ours.png"), pixels("icon.ico"));
    }
}

// An entry value's escapes undone, as a desktop reads it (leading blanks are no part of it).
std::string unescaped(std::string_view value) {
    value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char next = i + 1 < value.size() ? value[i + 1] : '\0';
        if (value[i] != '\\' || next == '\0') {
            out += value[i];
            continue;
        }
        out += next == 's' ? ' ' : next == 'n' ? '\n' : next == 't' ? '\t' : next;
        ++i;
    }
    return out;
}

std::string field(const std::string& entry, const std::string& key) {
    std::smatch m;
    return std::regex_search(entry, m, std::regex("\n" + key + "=([^\n]*)")) ? m[1].str() : "-";
}

// The arguments an entry's Exec line starts (the shell's double quotes, "%%" a '%').
std::string arguments(const std::string& entry, const TempDir& tmp) {
    const std::string exec =
        std::regex_replace(unescaped(field(entry, "Exec")), std::regex("%%"), "%");
    return runCommand("cd '" + tmp.path().string() + "' && printf '[%s]' " + exec).output;
}

// Every file under the directory, relative, the machines' tags written T and O, icons' H.
std::set<std::string> files(const fs::path& dir, const std::string& tag, const std::string& other) {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            names.insert(std::regex_replace(
                std::regex_replace(
                    std::regex_replace(fs::relative(e.path(), dir).string(), std::regex(tag), "T"),
                    std::regex(other), "O"),
                std::regex("-[0-9a-f]{16}\\.png"), "-H.png"));
    return names;
}

// Valid entries under safe names, removed with their items; another machine's files left alone.
TEST(DesktopMirror, FollowsTheGroupsAndNothingElse) {
    TempDir tmp;
    const std::string kit = readFile(sourceDir() / "kit" / "UPDATE" / "ZELNET.ICO");
    const std::string hostile = "../x \"$(touch pwned)\" `id` 100% \\ ~y; '*'";
    const Group kitGroup{"ZEL Internet",
                         {{"C:\\A.EXE", "Discador", "C:\\I.ICO", 0},
                          {"C:\\B.EXE", "Discador", "C:\\BAD.ICO", 0},
                          {"C:\\C.EXE", hostile, "C:\\SMALL.ICO", 0}}};
    const Group twin{
        "Zel/Internet",
        {{"C:\\D.EXE", " Not\355cias", "C:\\NONE.ICO", 0}, {"C:\\F.EXE", "Two\nlines", "", 0}}};
    const std::map<std::string, std::string> icons = {
        {"C:\\I.ICO", kit},
        {"C:\\SMALL.ICO", paletteIcon(20, 20, 4, 16, 1)},
        {"C:\\BAD.ICO", kit.substr(0, 99)}};
    DesktopMirror mirror{{tmp / "data/applications/zel-setup", tmp / "data/desktop-directories",
                          tmp / "data/icons/hicolor", tmp / "config/menus"},
                         tmp / "my pre%fix `id` \\ ~;$HOME 'q' \"d\"",
                         "/usr/bin/prog man",
                         [&](const std::string& path) -> std::optional<std::string> {
                             const auto it = icons.find(path);
                             return it == icons.end() ? std::nullopt : std::optional(it->second);
                         },
                         {}};
    DesktopMirror other = mirror;
    other.prefix = tmp / "outra máquina de 5€ 😀"; // two, three and four bytes
    EXPECT_EQ(mirrorGroups(Groups({{"Other", {{"C:\\O.EXE", "other", "C:\\I.ICO", 0}}}}), other),
              std::vector<std::string>{});
    const auto menuTag = [&](const std::string& not_) {
        for (const auto& e : fs::directory_iterator(tmp / "config/menus"))
            if (const std::string tag = e.path().stem().string().substr(10, 16); tag != not_)
                return tag;
        return std::string("none");
    };
    const std::string otherTag = menuTag("");
    EXPECT_EQ(
        mirrorGroups(Groups({kitGroup, twin, {"Tab\tbed", {{"C:\\E.EXE", "E", "", 0}}}}), mirror),
        (std::vector<std::string>{
            "no desktop entries for a group whose name holds control characters: Tab\\x09bed",
            "no desktop entry for an item whose name holds control characters: Two\\x0Alines"}));
    const std::string tag = menuTag(otherTag);
    const std::set<std::string> others = {"config/menus/zel-setup-O-other.menu",
                                          "data/applications/zel-setup/O-other_other.desktop",
                                          "data/desktop-directories/zel-setup-O-other.directory",
                                          "data/icons/hicolor/32x32/apps/zel-setup-O-H.png"};
    std::set<std::string> kept = others;
    kept.insert({"config/menus/zel-setup-T-zel-internet.menu",
                 "data/applications/zel-setup/T-zel-internet_discador-2.desktop",
                 "data/applications/zel-setup/T-zel-internet_discador.desktop",
                 "data/desktop-directories/zel-setup-T-zel-internet.directory",
                 "data/icons/hicolor/32x32/apps/zel-setup-T-H.png"});
    std::set<std::string> all = kept;
    all.insert({"config/menus/zel-setup-T-zel-internet-2.menu",
                "data/applications/zel-setup/T-zel-internet-2_noticias.desktop",
                "data/applications/zel-setup/T-zel-internet_x-touch-pwned-id-100-y.desktop",
                "data/desktop-directories/zel-setup-T-zel-internet-2.directory",
                "data/icons/hicolor/22x22/apps/zel-setup-T-H.png"});
    EXPECT_EQ(files(tmp.path(), tag, otherTag), all);
    EXPECT_EQ(runCommand("cd '" + tmp.path().string() +
                         "' && desktop-file-validate data/*/*.directory "
                         "data/*/*/*.desktop 2>&1; echo $?")
                  .output,
              "0\n");
    // Each group's menu lists its entries, in the items' order (past "zel-setup-TAG-").
    EXPECT_EQ(
        runCommand("cd '" + (tmp / "config/menus").string() +
                   "' && python3 -c \"import sys, xml.dom.minidom as m; [print(*(n.firstChild."
                   "data[27:] for n in m.parse(f).getElementsByTagName('Filename'))) for f in "
                   "sys.argv[1:]]\" zel-setup-" +
                   tag + "-zel-internet.menu zel-setup-" + tag + "-zel-internet-2.menu")
            .output,
        "zel-internet_discador.desktop zel-internet_discador-2.desktop "
        "zel-internet_x-touch-pwned-id-100-y.desktop\nzel-internet-2_noticias.desktop\n");

    const auto entry = [&](const std::string& name) {
        return readFile(tmp / "data/applications/zel-setup" /
                        (tag + "-zel-internet" + name + ".desktop"));
    };
    const std::string good = entry("_discador"), odd = entry("_x-touch-pwned-id-100-y");
    EXPECT_TRUE(fs::exists(tmp / "data/icons/hicolor/32x32/apps" / (field(good, "Icon") + ".png")));
    EXPECT_TRUE(fs::exists(tmp / "data/icons/hicolor/22x22/apps" / (field(odd, "Icon") + ".png")));
    EXPECT_EQ(field(entry("_discador-2"), "Icon") + field(entry("-2_noticias"), "Icon"), "--");
    EXPECT_EQ(unescaped(field(odd, "Name")) + "|" + unescaped(field(entry("-2_noticias"), "Name")),
              hostile + "| Not\303\255cias");
    const std::string start = "[/usr/bin/prog man][--prefix][" +
                              (tmp / "my pre%fix `id` \\ ~;$HOME 'q' \"d\"").string() +
                              "][--run][ZEL Internet]";
    EXPECT_EQ(arguments(good, tmp) + arguments(entry("_discador-2"), tmp) + arguments(odd, tmp),
              start + "[Discador]" + start + "[Discador][2]" + start + "[" + hostile + "]");

    // The twin group and an item go, and then all: only the other machine's files are left.
    Group fewer = kitGroup;
    fewer.items.pop_back();
    EXPECT_EQ(mirrorGroups(Groups({fewer}), mirror), std::vector<std::string>{});
    EXPECT_EQ(files(tmp.path(), tag, otherTag), kept);
    mirror.progman = "/p\xc3("; // no UTF-8: no entries, and the old ones go all the same
    EXPECT_EQ(mirrorGroups(Groups(), mirror).size(), 1u);
    EXPECT_EQ(files(tmp.path(), tag, otherTag), others);
}

} // namespace
} // namespace zel::test
