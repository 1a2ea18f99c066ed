// The emulated HKEY_LOCAL_MACHINE: the REGEDIT4 file format and the TRegistry-like handle.
#include "tests/support/fixtures.h"
#include "winemu/regedit4.h"
#include "winemu/registry.h"

#include <numeric>
#include <sys/stat.h>

namespace zel::test {
namespace {

using namespace std::string_literals;

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

TEST(RegistryFormat, EveryValueIsWrittenAsRegeditWritesItAndReadsBack) {
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
    ASSERT_TRUE(back);
    EXPECT_EQ(**back, *root);
}

// Reading takes what regedit files vary in (LF line ends, comments, blanks, upper case, a
// continued list, keys and values named twice, an unescaped backslash, \r and \n for line
// breaks) and refuses anything else.
TEST(RegistryFormat, ReadingIsLenientWhereRegeditFilesVaryAndRefusesTheRest) {
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
          deep + "\\k]", key + "\"v\"=\"open\r\n", key + "\"v\"=\"x\" y\r\n", key + "\"v\"=-\r\n", key + "\"v\"=hex\r\n",
          key + "\"v\"=dword:123456789\r\n", key + "\"v\"=hex:1,,2\r\n", key + "\"v\"=hex:123\r\n",
          key + "\"v\"=hex(x):00\r\n", key + "\"v\"=hex(2:00\r\n", key + "\"v\"=hex(2)00\r\n",
          key + "v=\"x\"\r\n", key + "@\"x\"\r\n", key + "\"a\rb\"=\"x\"\r\n",
          "Windows Registry Editor Version 5.00\r\n"s, "REGEDIT4\r\n[-HKEY_LOCAL_MACHINE\\A]\r\n"s})
        EXPECT_FALSE(parseRegistryFile(text)) << text;
    // clang-format on
}

ino_t inode(const fs::path& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
}

// One key open at a time, found without regard to case; a failed open leaves the open key as
// it was (as TRegistry). Only a change writes the file, the defaults only once. Failures raise
// the registry's messages: a file that does not parse is never written over, and one without
// its owner-write bit refuses full access, also to root.
TEST(Registry, KeysOpenCreateHoldStringsAndFailWithTheRegistrysMessages) {
    TempDir tmp;
    const fs::path file = tmp / "prefix" / "system.reg";
    Registry::createDefaults(file);
    const std::string defaults = readFile(file);
    Registry reg(file);
    EXPECT_EQ(errorOf([&] { reg.writeString("Uninstall", "x"); }),
              "Failed to set data for 'Uninstall'");
    EXPECT_EQ(errorOf([&] { reg.createKey("\\A\\\\B"); }), "Failed to create key \\A\\\\B");
    EXPECT_FALSE(reg.openKey("\\SOFTWARE\\Zel", false));
    ASSERT_TRUE(reg.openKey("\\SOFTWARE\\Zel", true));
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
    EXPECT_EQ(errorOf([&] { reg.createKey("A"); }), "Failed to create key A");
    EXPECT_FALSE(reg.openKey("SOFTWARE", false)) << "full access is refused";
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(reg.openKey("\\", false));
    EXPECT_EQ(reg.readString("DisplayName") + std::to_string(reg.hasOpenKey()), "1");
    ASSERT_TRUE(reg.openKey("software\\ZEL", false));
    EXPECT_FALSE(reg.openKey("SOFTWARE\\Nothing", false));
    for (const std::string& bad : {"A\\\\B"s, "A\\"s, std::string(256, 'n')})
        EXPECT_FALSE(reg.openKey(bad, true)) << bad;
    reg.writeString("DISPLAYNAME", "two"); // the first spelling stays
    reg.writeValue("1", RegType::DWord, {1, 0, 0, 0});
    reg.writeValue("empty", RegType::DWord, {});
    reg.writeValue("exp", RegType::ExpandString, sz("%WINDIR%"));
    reg.writeValue("nul", RegType::String, {'C', 'O', 'M', '2', 0, 'x', 0});
    EXPECT_NE(readFile(file).find("\"DisplayName\"=\"two\"\r\n\"1\"=dword:00000001\r\n"),
              std::string::npos);
    EXPECT_EQ(errorOf([&] { reg.readString("1"); }), "Invalid data type for '1'");
    EXPECT_EQ(errorOf([&] { reg.writeString("bad\nname", "x"); }),
              "Failed to set data for 'bad\nname'");
    EXPECT_EQ(reg.readString("empty") + reg.readString("exp") + reg.readString("nul"),
              "%WINDIR%COM2");
    EXPECT_EQ(std::to_string(reg.valueExists("NUL")) + std::to_string(reg.valueExists("none")),
              "10");
    writeFile(file, defaults); // someone else deleted the open key meanwhile
    EXPECT_EQ(errorOf([&] { reg.writeString("v", "2"); }), "Failed to set data for 'v'");
    writeFile(file, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\software\\zel]\n\"v\"=\"theirs\"\n");
    EXPECT_EQ(reg.readString("v"), "theirs");
    reg.closeKey();
    EXPECT_EQ(reg.readString("v") + std::to_string(reg.hasOpenKey()), "0");

    const std::string garbage = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\"v\"=\"open\r\n";
    writeFile(file, garbage);
    EXPECT_FALSE(reg.openKey("SOFTWARE", false) || reg.openKey("\\SOFTWARE\\New", true));
    EXPECT_EQ(errorOf([&] { reg.createKey("\\SOFTWARE\\New"); }),
              "Failed to create key \\SOFTWARE\\New");
    ASSERT_TRUE(reg.openKey("", false)); // the root always exists
    EXPECT_EQ(errorOf([&] { reg.writeString("v", "x"); }), "Failed to set data for 'v'");
    EXPECT_EQ(readFile(file), garbage);
    fs::create_directory(tmp / "closed"); // a registry that cannot be created says so
    fs::permissions(tmp / "closed", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(Registry::createDefaults(tmp / "closed" / "system.reg"), PlatformError);
}

} // namespace
} // namespace zel::test
