// The emulated HKEY_LOCAL_MACHINE: the REGEDIT4 file format and the TRegistry-like handle.
#include "winemu/regedit4.h"
#include "winemu/registry.h"

#include "winemu/errors.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;
namespace fs = std::filesystem;

std::vector<std::uint8_t> bytes(std::string_view text) {
    return {text.begin(), text.end()};
}
std::vector<std::uint8_t> sz(std::string_view text) {
    auto b = bytes(text);
    b.push_back(0);
    return b;
}

RegKey& addKey(RegKey& parent, std::string name) {
    parent.children.push_back(std::make_unique<RegKey>());
    parent.children.back()->name = std::move(name);
    return *parent.children.back();
}

std::unique_ptr<RegKey> parse(std::string_view text) {
    auto tree = parseRegistryFile(text);
    EXPECT_TRUE(tree.has_value()) << text;
    return tree ? std::move(*tree) : makeRootKey();
}

// The message of the PlatformError that f raises ("" when it raises none).
template <class F> std::string errorOf(F&& f) {
    try {
        f();
    } catch (const PlatformError& e) {
        return e.what();
    }
    return "";
}

const std::string kDefaults =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
    "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\r\n"
    "\r\n";

// --- file format ---------------------------------------------------------------------------

TEST(RegistryFormat, SmallTreeIsWrittenByteForByte) {
    auto root = makeRootKey();
    RegKey& software = addKey(*root, "SOFTWARE");
    RegKey& kit = addKey(software, "Zel Kit");
    kit.values.push_back({"", RegType::String, sz("default")});
    kit.values.push_back({"Path", RegType::String, sz("C:\\Program Files\\ZEL \"new\"")});
    kit.values.push_back({"Count", RegType::DWord, {0x2a, 0, 0, 0}});
    kit.values.push_back({"Bin", RegType::Binary, {0x01, 0x02}});
    kit.values.push_back({"Exp", RegType::ExpandString, sz("%W%")});
    kit.values.push_back({"Multi", RegType::MultiString, {'a', 0, 'b', 0, 0}});
    addKey(software, "Other");
    addKey(kit, "Sub"); // created after Other, still written under its parent

    EXPECT_EQ(formatRegistryFile(*root), "REGEDIT4\r\n"
                                         "\r\n"
                                         "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
                                         "\r\n"
                                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zel Kit]\r\n"
                                         "@=\"default\"\r\n"
                                         "\"Path\"=\"C:\\\\Program Files\\\\ZEL \\\"new\\\"\"\r\n"
                                         "\"Count\"=dword:0000002a\r\n"
                                         "\"Bin\"=hex:01,02\r\n"
                                         "\"Exp\"=hex(2):25,57,25,00\r\n"
                                         "\"Multi\"=hex(7):61,00,62,00,00\r\n"
                                         "\r\n"
                                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zel Kit\\Sub]\r\n"
                                         "\r\n"
                                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"
                                         "\r\n");
}

TEST(RegistryFormat, LongHexListsWrapAsRegedit) {
    auto root = makeRootKey();
    RegKey& key = addKey(*root, "K");
    std::vector<std::uint8_t> data;
    for (int i = 0; i < 30; ++i)
        data.push_back(static_cast<std::uint8_t>(i));
    key.values.push_back({"Bin", RegType::Binary, data});
    std::string text = formatRegistryFile(*root);
    EXPECT_NE(text.find("\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,"
                        "13,14,15,16,\\\r\n  17,18,19,1a,1b,1c,1d\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(*parse(text), *root);
}

TEST(RegistryFormat, EveryValueTypeRoundTrips) {
    auto root = makeRootKey();
    root->values.push_back({"AtRoot", RegType::String, sz("r")});
    RegKey& key = addKey(*root, "Types \xC7\xC3O [x]");
    std::vector<std::uint8_t> big(300);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 7);
    key.values = {
        {"", RegType::String, sz("default")},
        {"sz", RegType::String, sz("a\\b \"q\" \xE9\xE7 ;=@[]")},
        {"empty sz", RegType::String, sz("")},
        {"no data", RegType::String, {}},
        {"inner nul", RegType::String, {'a', 0, 'b', 0}},
        {"not terminated", RegType::String, bytes("abc")},
        {"line break", RegType::String, sz("one\r\ntwo")},
        {"expand", RegType::ExpandString, sz("%SystemRoot%\\x")},
        {"binary", RegType::Binary, big},
        {"empty binary", RegType::Binary, {}},
        {"dword", RegType::DWord, {0x78, 0x56, 0x34, 0x12}},
        {"short dword", RegType::DWord, {1, 2, 3}},
        {"multi", RegType::MultiString, {'a', 0, 'b', 'c', 0, 0}},
        {"none", RegType::None, {9}},
        {"qword", static_cast<RegType>(0xb), {1, 2, 3, 4, 5, 6, 7, 8}},
        {"big type", static_cast<RegType>(0xffffffffu), {1}},
        {"\"quoted\\name\"", RegType::String, sz("v")},
    };
    addKey(addKey(key, "Child"), "Grandchild")
        .values.push_back({"x", RegType::DWord, {0, 0, 0, 0}});

    std::string text = formatRegistryFile(*root);
    auto back = parse(text);
    EXPECT_EQ(*back, *root);
    EXPECT_EQ(formatRegistryFile(*back), text);
    EXPECT_NE(text.find("\r\n[HKEY_LOCAL_MACHINE]\r\n\"AtRoot\"=\"r\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"no data\"=hex(1):\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"inner nul\"=hex(1):61,00,62,00\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"short dword\"=hex(4):01,02,03\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"qword\"=hex(b):01,02,03,04,05,06,07,08\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"big type\"=hex(ffffffff):01\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"empty binary\"=hex:\r\n"), std::string::npos);
}

TEST(RegistryFormat, ReadingIsLenientWhereRegeditFilesVary) {
    // LF line ends, comments, blanks, upper case, a continued list, a key named twice and a
    // child before its parent, a value named twice, an unescaped backslash, and the line
    // breaks that regedit exports as \r and \n.
    auto tree = parse("REGEDIT4\n"
                      "; a comment\n"
                      "[hkey_local_machine\\A\\B]\n"
                      "  \"v\" = DWORD:2A  \n"
                      "\"bin\"=HEX:01, FF,\\\n"
                      "     02\n"
                      "\n"
                      "[HKEY_LOCAL_MACHINE\\a]\n"
                      "\"p\"=\"C:\\Program Files\"\n"
                      "\"lines\"=\"one\\r\\ntwo\\\\n\"\n"
                      "[HKEY_LOCAL_MACHINE\\A\\b]\n"
                      "\"V\"=\"later\"\n");
    auto expected = makeRootKey();
    RegKey& a = addKey(*expected, "A");
    a.values.push_back({"p", RegType::String, sz("C:\\Program Files")});
    a.values.push_back({"lines", RegType::String, sz("one\r\ntwo\\n")});
    addKey(a, "B").values = {{"v", RegType::String, sz("later")},
                             {"bin", RegType::Binary, {0x01, 0xff, 0x02}}};
    EXPECT_EQ(*tree, *expected);
}

TEST(RegistryFormat, MalformedFilesAreRefused) {
    const std::string deep = [] {
        std::string path = "[HKEY_LOCAL_MACHINE";
        for (int i = 0; i < 513; ++i)
            path += "\\k";
        return path + "]\r\n";
    }();
    for (std::string text :
         {std::string(""), std::string("REGEDIT5\r\n"),
          std::string("Windows Registry Editor Version 5.00\r\n"),
          std::string("REGEDIT4\r\n\"v\"=\"before any key\"\r\n"),
          std::string("REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n"),
          std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A\\\\B]\r\n"),
          std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\]\r\n"),
          std::string("REGEDIT4\r\n[-HKEY_LOCAL_MACHINE\\A]\r\n"),
          std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A\r\n"),
          std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\") + std::string(256, 'n') + "]\r\n",
          "REGEDIT4\r\n" + deep,
          std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"v\"=\"open\r\n"),
          std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"v\"=\"x\" y\r\n"),
          std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"v\"=-\r\n"),
          std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"v\"=dword:123456789\r\n"),
          std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"v\"=hex:1,,2\r\n"),
          std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"v\"=hex:123\r\n"),
          std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"v\"=hex(x):00\r\n"),
          std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\nv=\"x\"\r\n")}) {
        EXPECT_FALSE(parseRegistryFile(text).has_value()) << text;
    }
    // 512 levels are allowed.
    std::string ok = "REGEDIT4\r\n" + deep;
    ok.erase(ok.find("\\k"), 2);
    EXPECT_TRUE(parseRegistryFile(ok).has_value());
}

TEST(RegistryFormat, ArbitraryBytesNeverBreakTheParser) {
    // A small in-process fuzz: mutations of a valid file either fail to parse or give a tree
    // that formats and parses back to itself.
    const std::string seed = formatRegistryFile(*parse(
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n@=\"d\"\r\n\"s\"=\"x\\\\y\"\r\n"
        "\"b\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
        "  "
        "17\r\n\"d\"=dword:00000001\r\n\r\n[HKEY_LOCAL_MACHINE\\A\\B]\r\n\"e\"=hex(2):41,00\r\n"));
    const std::string alphabet = "\\\"[]@=:,;()\r\n \t0aFxhexdword\xE9";
    std::mt19937 rng(12345);
    for (int round = 0; round < 3000; ++round) {
        std::string text = seed;
        int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            std::size_t at = rng() % (text.size() + 1);
            char c = rng() % 3 == 0 ? static_cast<char>(rng() & 0xFF)
                                    : alphabet[rng() % alphabet.size()];
            switch (rng() % 3) {
            case 0:
                text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), c);
                break;
            case 1:
                if (at < text.size())
                    text.erase(at, 1 + rng() % 8);
                break;
            default:
                if (at < text.size())
                    text[at] = c;
            }
        }
        auto tree = parseRegistryFile(text);
        if (!tree)
            continue;
        std::string formatted = formatRegistryFile(**tree);
        auto again = parseRegistryFile(formatted);
        ASSERT_TRUE(again.has_value()) << text;
        ASSERT_EQ(**again, **tree) << text;
        ASSERT_EQ(formatRegistryFile(**again), formatted) << text;
    }
}

// --- the registry handle --------------------------------------------------------------------

class RegistryTest : public ::testing::Test {
protected:
    fs::path file() const { return tmp / "prefix" / "system.reg"; }
    void SetUp() override { Registry::createDefaults(file()); }

    TempDir tmp;
};

TEST_F(RegistryTest, DefaultsAreCreatedOnceAndNeverChanged) {
    EXPECT_EQ(readFile(file()), kDefaults);
    writeFile(file(), "REGEDIT4\r\n\r\n");
    Registry::createDefaults(file());
    EXPECT_EQ(readFile(file()), "REGEDIT4\r\n\r\n");

    Registry reg(file());
    EXPECT_FALSE(reg.openKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", false));

    // A registry that cannot be created says so (the directory's owner-write bit is off).
    const fs::path closed = tmp / "closed";
    fs::create_directory(closed);
    fs::permissions(closed, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(Registry::createDefaults(closed / "system.reg"), PlatformError);
    EXPECT_TRUE(fs::is_empty(closed));
}

TEST_F(RegistryTest, ReadsTheProgramFilesDirectory) {
    Registry reg(file());
    EXPECT_FALSE(reg.hasOpenKey());
    EXPECT_EQ(reg.readString("ProgramFilesDir"), ""); // no key open
    ASSERT_TRUE(reg.openKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", false));
    EXPECT_EQ(reg.readString("ProgramFilesDir"), "C:\\Program Files");
    EXPECT_EQ(reg.readString("Missing"), "");
    reg.closeKey();
    EXPECT_FALSE(reg.hasOpenKey());
    EXPECT_EQ(reg.readString("ProgramFilesDir"), "");
    EXPECT_EQ(readFile(file()), kDefaults); // reading writes nothing
}

TEST_F(RegistryTest, OpensWithAndWithoutCreating) {
    Registry reg(file());
    EXPECT_FALSE(reg.openKey("\\SOFTWARE\\Zel\\Uninstall", false));
    EXPECT_EQ(readFile(file()), kDefaults);
    EXPECT_EQ(reg.readString("x"), ""); // a key that failed to open reads empty, no error

    ASSERT_TRUE(reg.openKey("\\SOFTWARE\\Zel\\Uninstall", true));
    reg.writeString("DisplayName", "ZEL");
    EXPECT_EQ(readFile(file()), kDefaults.substr(0, kDefaults.size() - 2) +
                                    "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zel]\r\n"
                                    "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zel\\Uninstall]\r\n"
                                    "\"DisplayName\"=\"ZEL\"\r\n"
                                    "\r\n");

    // The same key without the leading "\", and the root itself.
    ASSERT_TRUE(reg.openKey("SOFTWARE\\Zel\\Uninstall", false));
    EXPECT_EQ(reg.readString("DisplayName"), "ZEL");
    ASSERT_TRUE(reg.openKey("\\", false));
    EXPECT_TRUE(reg.hasOpenKey());
    EXPECT_EQ(reg.readString("DisplayName"), "");

    // The opened key replaces the open one; a failed open leaves it (as TRegistry).
    ASSERT_TRUE(reg.openKey("SOFTWARE\\Zel\\Uninstall", false));
    EXPECT_FALSE(reg.openKey("SOFTWARE\\Nothing", false));
    EXPECT_EQ(reg.readString("DisplayName"), "ZEL");

    for (const std::string& bad :
         {std::string("A\\\\B"), std::string("A\\"), std::string(256, 'n')})
        EXPECT_FALSE(reg.openKey(bad, true)) << bad;
}

TEST_F(RegistryTest, NamesMatchWithoutCaseAndKeepTheirFirstSpelling) {
    Registry reg(file());
    reg.createKey("Software\\Zel\\A\xC7\xC3O");
    ASSERT_TRUE(reg.openKey("SOFTWARE\\ZEL\\a\xE7\xE3o", false));
    reg.writeString("Name", "one");
    reg.writeString("NAME", "two");
    EXPECT_EQ(reg.readString("name"), "two");
    reg.createKey("software\\zel\\a\xE7\xE3o\\Sub");

    std::string text = readFile(file());
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zel\\A\xC7\xC3O\\Sub]\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"Name\"=\"two\"\r\n\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("NAME"), std::string::npos);
}

TEST_F(RegistryTest, ReadsOnlyStrings) {
    Registry reg(file());
    ASSERT_TRUE(reg.openKey("Modem", true));
    reg.writeValue("1", RegType::DWord, {1, 0, 0, 0});
    reg.writeValue("empty", RegType::DWord, {});
    reg.writeValue("exp", RegType::ExpandString, sz("%WINDIR%"));
    reg.writeValue("nul", RegType::String, {'C', 'O', 'M', '2', 0, 'x', 0});
    EXPECT_EQ(errorOf([&] { reg.readString("1"); }), "Invalid data type for '1'");
    EXPECT_EQ(reg.readString("empty"), ""); // no data: empty before the type counts
    EXPECT_EQ(reg.readString("exp"), "%WINDIR%");
    EXPECT_EQ(reg.readString("nul"), "COM2");
    EXPECT_TRUE(reg.valueExists("nul"));
    EXPECT_FALSE(reg.valueExists("none"));
    EXPECT_EQ(reg.readValue("1")->data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
}

TEST_F(RegistryTest, FailuresRaiseTheRegistrysMessages) {
    Registry reg(file());
    EXPECT_EQ(errorOf([&] { reg.writeString("Uninstall", "x"); }),
              "Failed to set data for 'Uninstall'"); // no key open
    EXPECT_EQ(errorOf([&] { reg.createKey("\\A\\\\B"); }), "Failed to create key \\A\\\\B");
    ASSERT_TRUE(reg.openKey("A", true));
    EXPECT_EQ(errorOf([&] { reg.writeString("bad\nname", "x"); }),
              "Failed to set data for 'bad\nname'");

    // An open key that someone else deleted meanwhile: reads empty, writes fail.
    reg.writeString("v", "1");
    writeFile(file(), kDefaults);
    EXPECT_EQ(reg.readString("v"), "");
    EXPECT_EQ(errorOf([&] { reg.writeString("v", "2"); }), "Failed to set data for 'v'");
    EXPECT_EQ(readFile(file()), kDefaults);

    // Someone else's change is seen at once.
    writeFile(file(), "REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"v\"=\"theirs\"\n");
    EXPECT_EQ(reg.readString("v"), "theirs");
}

TEST_F(RegistryTest, AnUnparseableFileIsNeverOverwritten) {
    const std::string garbage = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\"v\"=\"open\r\n";
    writeFile(file(), garbage);
    Registry reg(file());
    EXPECT_FALSE(reg.openKey("SOFTWARE", false)); // reads as empty
    EXPECT_FALSE(reg.openKey("\\SOFTWARE\\New", true));
    EXPECT_EQ(errorOf([&] { reg.createKey("\\SOFTWARE\\New"); }),
              "Failed to create key \\SOFTWARE\\New");
    ASSERT_TRUE(reg.openKey("", false)); // the root always exists
    EXPECT_EQ(reg.readString("v"), "");
    EXPECT_EQ(errorOf([&] { reg.writeString("v", "x"); }), "Failed to set data for 'v'");
    EXPECT_EQ(readFile(file()), garbage);
    EXPECT_EQ(std::distance(fs::directory_iterator(file().parent_path()), {}), 1);
}

TEST_F(RegistryTest, AReadOnlyRegistryRefusesFullAccess) {
    // A file without its owner-write bit refuses, also to root (for whom access() passes).
    fs::permissions(file(),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    Registry reg(file());
    EXPECT_FALSE(reg.writable());
    EXPECT_FALSE(reg.openKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", false));
    EXPECT_EQ(reg.readString("ProgramFilesDir"), "");
    EXPECT_EQ(errorOf([&] { reg.createKey("SOFTWARE"); }), "Failed to create key SOFTWARE");
    EXPECT_EQ(readFile(file()), kDefaults);

    fs::permissions(file(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_TRUE(reg.openKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", false));

    // A directory without its owner-write bit, also for root: the file's own mode decides, and
    // the file is written in place.
    fs::permissions(file().parent_path(), fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_TRUE(reg.writable());
    reg.writeString("x", "y");
    EXPECT_EQ(reg.readString("x"), "y");
    fs::permissions(file(), fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(reg.writable());
    EXPECT_FALSE(reg.openKey("SOFTWARE", false));
    EXPECT_EQ(errorOf([&] { reg.writeString("x", "z"); }), "Failed to set data for 'x'");
    fs::permissions(file().parent_path(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_NE(readFile(file()).find("\"x\"=\"y\""), std::string::npos);
}

TEST_F(RegistryTest, WritesReplaceTheFileWholeAndKeepItsMode) {
    fs::permissions(file(), fs::perms::owner_read | fs::perms::owner_write);
    auto inode = [&] {
        struct stat st {};
        ::stat(file().c_str(), &st);
        return st.st_ino;
    };
    auto before = inode();
    Registry reg(file());
    ASSERT_TRUE(reg.openKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", false));
    reg.writeString("ProgramFilesDir", "C:\\Program Files"); // unchanged: nothing written
    reg.createKey("software\\microsoft");                    // exists: nothing written
    EXPECT_EQ(inode(), before);
    reg.writeString("ProgramFilesDir", "D:\\Programs");
    EXPECT_NE(inode(), before); // renamed over, not rewritten in place
    EXPECT_EQ(fs::status(file()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(file().parent_path()), {}), 1);
    EXPECT_EQ(Registry(file()).openKey("SOFTWARE\\MICROSOFT\\windows\\currentversion", false),
              true);
    EXPECT_EQ(reg.readString("programfilesdir"), "D:\\Programs");
}

} // namespace
} // namespace zel
