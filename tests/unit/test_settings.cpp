// Profile files and the emulated HKEY_LOCAL_MACHINE (REGEDIT4 and the TRegistry-like handle).
#include "tests/support/fixtures.h"
#include "winemu/profile.h"
#include "winemu/regedit4.h"
#include "winemu/registry.h"

#include <numeric>

namespace zel::test {
namespace {

using namespace std::string_literals;

// The lookup and a file on disk agree: values trimmed, unquoted once, cut at a NUL and at 1023.
TEST_F(MachineTest, ProfileTextReadAsThePlatformDoesAndFilesOnTheMachine) {
    const std::string text =
        "[Principal]\r\n grupo=ZEL\n \t[ Update ] x\r\v programa \t= UPD \v\r\n"
        "  ;a=comment\r\n#b=not one\r\nc = x ; y\rd=\r\n  Destino  \r\ndestino=later\r\n"
        "[T]]z\r\ne=1\r\n[Open\r\nf=2\r\n[update]\r\ng=3\r\n[Se\xE7\xE3o]\nq=\"quoted\"\n"
        "r= 'single' \ns=\"mixed'\nt=\"\nu=\"\"\nv=\"a\"b\"\nnul=ab\0cd\nlong="s +
        std::string(1500, 'v') + "\nqlong=\"" + std::string(1500, 'w') + "\"";
    // clang-format off
    const std::tuple<const char*, const char*, std::optional<std::string>> rows[] = {
        {"PRINCIPAL", "Grupo", "ZEL"},    {"Update", "programa", "UPD"},  {"Update", "a", std::nullopt},
        {"Update", "#b", "not one"},      {"Update", "c", "x ; y"},       {"Update", "d", ""},
        {"Update", "destino", std::nullopt}, {"Update", "g", std::nullopt}, {"Principal", "programa", std::nullopt},
        {"T]", "e", "1"},                 {"T", "e", std::nullopt},       {"Open", "f", std::nullopt},
        {"T]", "f", "2"},                 {"T]", "[Open", std::nullopt},  {"SE\xC7\xC3O", "q", "quoted"},
        {"se\xe7\xe3o", "R", "single"},   {"Se\xE7\xE3o", "s", "\"mixed'"}, {"Se\xE7\xE3o", "t", "\""},
        {"Se\xE7\xE3o", "u", ""},         {"Se\xE7\xE3o", "v", "a\"b"},   {"Se\xE7\xE3o", "nul", "ab"},
        {"Se\xE7\xE3o", "long", std::string(1023, 'v')}, {"Se\xE7\xE3o", "qlong", std::string(1023, 'w')},
    };
    // clang-format on
    writeFile(tmp / "read.ini", "\xEF\xBB\xBF" + text);
    const ProfileFile file = ProfileFile::atHostPath(tmp / "read.ini");
    for (const auto& [section, key, value] : rows) {
        EXPECT_EQ(ini::lookup(text, section, key), value) << section << "/" << key;
        EXPECT_EQ(file.readText(section, key, "<none>"), value.value_or("<none>"))
            << section << "/" << key;
    }
    ASSERT_EQ(::mkfifo((tmp / "fifo.ini").c_str(), 0600), 0); // read as empty, not waited on
    for (const fs::path& none : {tmp / "absent.ini", tmp.path(), tmp / "fifo.ini"})
        EXPECT_EQ(ProfileFile::atHostPath(none).readText("N", "zero", "dflt"), "dflt");
    // A value replaced keeps comments, line ends and spelling; a new key or section goes last.
    // clang-format off
    const std::tuple<std::string, const char*, const char*, const char*, std::string> cases[] = {
        {"; kit\r\n[principal]\n  GRUPO = old ; x\r\r\n\n[Next]\r\ngrupo=other\r\n", "Principal", "grupo",
         "new", "; kit\r\n[principal]\nGRUPO=new\r\r\n\n[Next]\r\ngrupo=other\r\n"},
        {"[S]\ra=1\rb=2", "S", "b", "3", "[S]\ra=1\rb=3"},
        {"[B]\r\n  Destino  \r\ndestino=x\r\n", "B", "DESTINO", "C:\\", "[B]\r\nDestino=C:\\\r\ndestino=x\r\n"},
        {"[S]\na=1\n[S]\nb=1\n", "S", "b", "2", "[S]\na=1\nb=2\r\n[S]\nb=1\n"},
        {"\xEF\xBB\xBF", "S", "k", "v", "\xEF\xBB\xBF[S]\r\nk=v\r\n"},
        {"", "S", "k", "a\r\n[Evil]\nx=1", "[S]\r\nk=a\r\n"}, // a line break cannot add lines
    };
    // clang-format on
    for (const auto& [before, section, key, value, after] : cases)
        EXPECT_EQ(ini::write(before, section, key, value), after) << before;
    // Each write rereads the file; one changing nothing is not made; in place in a closed folder.
    ProfileFile log(machine(), "zelun.ini");
    log.writeInteger("Install", "count", -12);
    ProfileFile(machine(), "zelun.ini").writeText("Install", "other", "1");
    log.writeText("Install", "grupo", "NEW");
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "zelun.ini"),
              "[Install]\r\ncount=-12\r\nother=1\r\ngrupo=NEW\r\n");
    fs::permissions(driveC() / "WINDOWS" / "zelun.ini", fs::perms::owner_read);
    log.writeText("Install", "grupo", "NEW"); // unchanged: not written, so no error

    writeFile(driveC() / "RO" / "in.ini", "[S]\nk=old and much longer\n"); // cut to the new
    fs::create_directories(driveC() / "RO" / "folder.ini");
    fs::permissions(driveC() / "RO", fs::perms::owner_read | fs::perms::owner_exec);
    ProfileFile(machine(), "c:\\ro\\in.ini").writeText("S", "k", "new");
    EXPECT_EQ(readFile(driveC() / "RO" / "in.ini"), "[S]\nk=new\n");
    for (const std::string name :
         {"C:\\NOPE\\x.ini", "Q:\\x.ini", "zelun.ini", "C:\\RO\\new.ini", "C:\\RO\\folder.ini"})
        EXPECT_EQ(errorOf([&] { ProfileFile(machine(), name).writeText("S", "k", "v"); }),
                  "Unable to write to " + name);
}

std::vector<std::uint8_t> sz(std::string_view text) {
    std::vector<std::uint8_t> b(text.begin(), text.end());
    b.push_back(0);
    return b;
}

RegKey& addKey(RegKey& parent, std::string name) {
    parent.children.push_back(std::make_unique<RegKey>());
    parent.children.back()->name = std::move(name);
    return *parent.children.back();
}

TEST(Registry, WrittenAsRegeditReadBackLenientlyAndUsedAsTRegistryWithItsMessages) {
    auto root = makeRootKey();
    root->values.push_back({"AtRoot", RegType::String, sz("r")});
    RegKey& software = addKey(*root, "SOFTWARE");
    RegKey& kit = addKey(software, "Zel \xC7\xC3O [x]");
    std::vector<std::uint8_t> wrapped(48); // lines wrap where they reach 77 characters
    std::iota(wrapped.begin(), wrapped.end(), 0);
    // clang-format off
    kit.values = {{"", RegType::String, sz("default")}, {"Path", RegType::String, sz("C:\\P \"n\" ;=@[]")},
                  {"Order", RegType::DWord, {0x78, 0x56, 0x34, 0x0a}}, {"Short", RegType::DWord, {1, 2, 3}},
                  {"Exp", RegType::ExpandString, sz("%W%")}, {"No data", RegType::String, {}},
                  {"Inner", RegType::String, {'a', 0, 'b', 0}}, {"Open", RegType::String, {'a', 'b'}},
                  {"Lines", RegType::String, sz("1\r\n")}, {"T", static_cast<RegType>(0xffffffffu), {}},
                  {"\"q\\n\"", RegType::String, sz("")}, {"Bin1", RegType::Binary, wrapped}};
    // clang-format on
    addKey(software, "Other");
    addKey(kit, "Sub"); // made after Other, still written under its parent
    const std::string text = formatRegistryFile(*root);
    EXPECT_EQ(
        text,
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n\"AtRoot\"=\"r\"\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zel \xC7\xC3O "
        "[x]]\r\n"
        "@=\"default\"\r\n\"Path\"=\"C:\\\\P \\\"n\\\" ;=@[]\"\r\n\"Order\"=dword:0a345678\r\n"
        "\"Short\"=hex(4):01,02,03\r\n\"Exp\"=hex(2):25,57,25,00\r\n\"No data\"=hex(1):\r\n"
        "\"Inner\"=hex(1):61,00,62,00\r\n\"Open\"=hex(1):61,62\r\n\"Lines\"=hex(1):31,0d,0a,00\r\n"
        "\"T\"=hex(ffffffff):\r\n\"\\\"q\\\\n\\\"\"=\"\"\r\n"
        "\"Bin1\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
        "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,\\\r\n"
        "  2f\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zel \xC7\xC3O [x]\\Sub]\r\n"
        "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\r\n");
    const auto back = parseRegistryFile(text);
    EXPECT_TRUE(back && **back == *root);
    // Lenient where regedit files vary (line ends, comments, case, names twice, a lone backslash).
    const auto tree =
        parseRegistryFile("REGEDIT4 \n; note\n[hkey_local_machine\\A\\B]\n"
                          " \"v\" = DWORD:2A \n\"b\"=HEX:01, FF,\\\n  02\n\n"
                          "[HKEY_LOCAL_MACHINE\\a]\n\"p\"=\"C:\\P\\\\Q\\r\\n\"\n"
                          "[HKEY_LOCAL_MACHINE\\A\\b]\n\"V\"=\"2\"\n\"e\"=hex:03\\\n");
    ASSERT_TRUE(tree);
    EXPECT_EQ(formatRegistryFile(**tree), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n"
                                          "\"p\"=hex(1):43,3a,5c,50,5c,51,0d,0a,00\r\n\r\n"
                                          "[HKEY_LOCAL_MACHINE\\A\\B]\r\n\"v\"=\"2\"\r\n"
                                          "\"b\"=hex:01,ff,02\r\n\"e\"=hex:03\r\n\r\n");
    std::string deep = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE";
    for (int i = 0; i < 512; ++i)
        deep += "\\k";
    const std::string key = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n", name(255, 'n');
    EXPECT_TRUE(parseRegistryFile(deep + "]") &&
                parseRegistryFile(key + "[HKEY_LOCAL_MACHINE\\" + name + "]"));
    // clang-format off
    for (const std::string& text :
         {""s, "REGEDIT5\r\n"s, "REGEDIT4\r\n\"v\"=\"no key\"\r\n"s, "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n"s,
          "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A\\\\B]\r\n"s, "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\]\r\n"s,
          "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A\r\n"s, "REGEDIT4\r\n[\r\n"s, key + "[HKEY_LOCAL_MACHINE\\" + name + "n]",
          deep + "\\k]", key + "\"v\"=\"open\r\n", key + "\"v\"=\"open\\", key + "\"v\"=\"x\" y\r\n", key + "\"v\"=-\r\n", key + "\"v\"=hex\r\n",
          key + "\"v\"=dword:123456789\r\n", key + "\"v\"=hex:1,,2\r\n", key + "\"v\"=hex:123\r\n", key + "\"v\"=hex:0g\r\n",
          key + "\"v\"=hex(x):00\r\n", key + "\"v\"=hex(2:00\r\n", key + "\"v\"=hex(2)00\r\n",
          key + "v=\"x\"\r\n", key + "@\"x\"\r\n", key + "\"a\rb\"=\"x\"\r\n"})
        EXPECT_FALSE(parseRegistryFile(text)) << text;
    // clang-format on
    // As TRegistry; only a change writes; a file that does not parse is never written over.
    TempDir tmp;
    const fs::path file = tmp / "prefix" / "system.reg";
    Registry::createDefaults(file);
    const std::string defaults = readFile(file);
    Registry reg(file);
    EXPECT_EQ(errorOf([&] { reg.writeString("Uninstall", "x"); }) + "|" +
                  errorOf([&] { reg.createKey("\\A\\\\B"); }),
              "Failed to set data for 'Uninstall'|Failed to create key \\A\\\\B");
    ASSERT_TRUE(!reg.openKey("\\SOFTWARE\\Zel", false) && reg.openKey("\\SOFTWARE\\Zel", true));
    reg.writeString("DisplayName", "ZEL");
    EXPECT_EQ(readFile(file),
              defaults.substr(0, defaults.size() - 2) +
                  "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zel]\r\n\"DisplayName\"=\"ZEL\"\r\n\r\n");
    const ino_t before = inode(file);
    reg.writeString("displayname", "ZEL"); // unchanged: the file is not written
    reg.createKey("software\\microsoft");  // there: neither
    Registry::createDefaults(file);        // there: kept
    EXPECT_EQ(inode(file), before);
    fs::permissions(file, fs::perms::owner_read);
    EXPECT_FALSE(reg.openKey("SOFTWARE", false)) << "full access is refused";
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(reg.openKey("\\", false));
    EXPECT_EQ(reg.readString("DisplayName") + std::to_string(reg.hasOpenKey()), "1");
    ASSERT_TRUE(reg.openKey("software\\ZEL", false));
    for (const std::string& bad : {"A\\\\B"s, "A\\"s, std::string(256, 'n')})
        EXPECT_FALSE(reg.openKey(bad, true)) << bad;
    reg.writeString("DISPLAYNAME", "two"); // the first spelling stays
    reg.writeValue("1", RegType::DWord, {1, 0, 0, 0});
    reg.writeValue("empty", RegType::DWord, {});
    reg.writeValue("exp", RegType::ExpandString, sz("%WINDIR%"));
    reg.writeValue("nul", RegType::String, {'C', 'O', 'M', '2', 0, 'x', 0});
    EXPECT_NE(readFile(file).find("\"DisplayName\"=\"two\"\r\n\"1\"=dword:00000001\r\n"),
              std::string::npos);
    EXPECT_EQ(errorOf([&] { reg.readString("1"); }) + "|" +
                  errorOf([&] { reg.writeString("bad\nname", "x"); }) + "|" +
                  reg.readString("empty") + reg.readString("exp") + reg.readString("nul") +
                  std::to_string(reg.valueExists("NUL")) + std::to_string(reg.valueExists("none")),
              "Invalid data type for '1'|Failed to set data for 'bad\nname'|%WINDIR%COM210");
    writeFile(file, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\software\\zel]\n\"v\"=\"theirs\"\n");
    EXPECT_EQ(reg.readString("v"), "theirs");
    reg.closeKey();
    EXPECT_EQ(reg.readString("v") + std::to_string(reg.hasOpenKey()), "0");

    const std::string garbage = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\"v\"=\"open\r\n";
    writeFile(file, garbage);
    EXPECT_FALSE(reg.openKey("SOFTWARE", false) || reg.openKey("\\SOFTWARE\\New", true));
    ASSERT_TRUE(reg.openKey("", false)); // the root always exists
    EXPECT_EQ(errorOf([&] { reg.createKey("\\SOFTWARE\\New"); }) + "|" +
                  errorOf([&] { reg.writeString("v", "x"); }) + "|" +
                  errorOf([&] { reg.deleteValue("v"); }) + "|" +
                  errorOf([&] { reg.deleteEmptyKey("SOFTWARE"); }) + "|" + readFile(file),
              "Failed to create key \\SOFTWARE\\New|Failed to set data for 'v'|N\xe3o foi "
              "poss\xedvel apagar 'v'|N\xe3o foi poss\xedvel apagar a chave SOFTWARE|" +
                  garbage);
    fs::create_directory(tmp / "closed"); // a registry that cannot be created says so
    fs::permissions(tmp / "closed", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(Registry::createDefaults(tmp / "closed" / "system.reg"), PlatformError);
    // A registry begun from no file; a change that cannot be written (a full disk) raises.
    Registry k(tmp / "k.reg");
    ASSERT_TRUE(k.openKey("K\\E", true) && k.openKey("K", false));
    k.writeString("big", std::string(5000, 'b'));
    k.writeString("s", "1");
    const auto changes = [&] {
        fullDisk();
        ::_exit(errorOf([&] { k.createKey("K\\N"); }).empty() +
                errorOf([&] { k.writeString("s", "2"); }).empty() +
                errorOf([&] { k.deleteValue("s"); }).empty() +
                errorOf([&] { k.deleteEmptyKey("K\\E"); }).empty() + k.deleteValue("none"));
    };
    EXPECT_EQ(inChild(changes), 0) << "a change not written, or of nothing, was taken for done";
    writeFile(tmp / "k.reg", "REGEDIT4\r\n"); // someone else deleted the open key meanwhile
    EXPECT_EQ(errorOf([&] { k.writeString("v", "2"); }) + k.readString("s") + "|" +
                  errorOf([&] { k.deleteEmptyKey(""); }),
              "Failed to set data for 'v'|N\xe3o foi poss\xedvel apagar a chave ");
}

} // namespace
} // namespace zel::test
