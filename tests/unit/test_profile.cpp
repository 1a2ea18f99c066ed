#include "winemu/errors.h"
#include "winemu/profile.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

namespace zel::test {
namespace {

using namespace std::string_literals;

TEST(IntegerRule, AcceptsDecimalAndHexToTheEndOfTheText) {
    // clang-format off
    const std::pair<const char*, std::int32_t> accepted[] = {
        {"0x1F", 31}, {"0X1f", 31}, {"$1f", 31}, {"$1F", 31}, {"+7", 7}, {"-7", -7},
        {"  42", 42}, {"0000000000042", 42}, {"2147483647", 2147483647},
        {"-2147483647", -2147483647}, {"$FFFFFFFF", -1}, {"$80000000", INT32_MIN}, {"$0", 0},
        {"0x1", 1}};
    // clang-format on
    for (const auto& [text, value] : accepted)
        EXPECT_EQ(parseIntegerRule(text), value) << '"' << text << '"';

    const char* rejected[] = {
        "",           "   ",  "0x",         "0X",          "$",
        "-",          "- 5",  "+$10",       "-$1",         "12k",
        "42 ",        "1.5",  "2147483648", "-2147483648", "99999999999999999999",
        "$123456789", "$12G", " 0x10",      "0x-1",        "yes"};
    for (const char* text : rejected)
        EXPECT_EQ(parseIntegerRule(text), std::nullopt) << '"' << text << '"';
}

// Reads through both the single lookup and a profile file on disk; they must agree.
class ProfileRead : public ::testing::Test {
protected:
    std::optional<std::string> read(std::string_view content, std::string_view section,
                                    std::string_view key) {
        const fs::path path = tmp / "read.ini";
        writeFile(path, content);
        const ProfileFile file = ProfileFile::atHostPath(path);
        const std::string viaFile = file.readText(section, key, "<default>");
        const std::optional<std::string> viaLookup = ini::lookup(content, section, key);
        EXPECT_EQ(viaLookup.value_or("<default>"), viaFile) << "[" << section << "] " << key;
        return viaLookup;
    }
    TempDir tmp;
};

TEST_F(ProfileRead, LinesBlanksCommentsAndSectionHeaders) {
    for (const char* eol : {"\r\n", "\n", "\r"}) {
        const std::string text = std::string("[Principal]") + eol + "grupo=ZEL" + eol +
                                 " \t[ Update ] trailing text" + eol +
                                 "\v programa \t= UPD.EXE \v" + eol + "diretorio=" + eol;
        EXPECT_EQ(read(text, "principal", "GRUPO"), "ZEL") << int(eol[0]);
        EXPECT_EQ(read(text, "Update", "programa"), "UPD.EXE") << int(eol[0]);
        EXPECT_EQ(read(text, "Update", "diretorio"), "") << "present but empty is not missing";
        EXPECT_EQ(read(text, "Update", "grupo"), std::nullopt);
    }
    const std::string text = "top=before any section\r\n[S]\r\n  ;a=comment\r\n#b=not a comment\r\n"
                             "no equals sign\r\nc = x ; y\r\n[T]]z\r\nd=1\r\n[Open\r\ne=2\r\n"
                             "[Half=3";
    EXPECT_EQ(read(text, "S", "a"), std::nullopt);
    EXPECT_EQ(read(text, "S", "#b"), "not a comment");
    EXPECT_EQ(read(text, "S", "no equals sign"), std::nullopt);
    EXPECT_EQ(read(text, "S", "c"), "x ; y");
    EXPECT_EQ(read(text, "T]", "d"), "1") << "the name runs to the line's last ]";
    EXPECT_EQ(read(text, "T", "d"), std::nullopt);
    // As on the platform, a line with "[" and no "]" opens no section: what follows stays in
    // the section before it, and with an "=" the line is a key like any other.
    EXPECT_EQ(read(text, "Open", "e"), std::nullopt);
    EXPECT_EQ(read(text, "T]", "e"), "2");
    EXPECT_EQ(read(text, "T]", "[Half"), "3");
    EXPECT_EQ(read(text, "S", "top"), std::nullopt);
}

TEST_F(ProfileRead, ANameAloneIsAKeyWithoutValueThatHidesLaterOnes) {
    // The platform takes "name" for the key with no value: it reads as the default, and a later
    // "name=..." of the same section is never reached.
    const std::string text = "[B]\r\n  Destino  \r\ndestino=C:\\LATER\r\nother=1\r\n";
    EXPECT_EQ(read(text, "B", "destino"), std::nullopt);
    EXPECT_EQ(read(text, "B", "other"), "1");
    // A write gives that line its value, as the platform's does.
    const std::string written = ini::write(text, "B", "DESTINO", "C:\\NOW");
    EXPECT_EQ(written, "[B]\r\nDestino=C:\\NOW\r\ndestino=C:\\LATER\r\nother=1\r\n");
    EXPECT_EQ(read(written, "B", "destino"), "C:\\NOW");
}

TEST_F(ProfileRead, FirstSectionAndFirstKeyWinAndNamesIgnoreCase) {
    const std::string text = "[Patro2]\nTexto=one\ntexto=two\n[PATRO2]\nTexto=three\nImagem=x.bmp\n"
                             "[Se\xE7\xE3o]\nChave=sim\n";
    EXPECT_EQ(read(text, "patro2", "TEXTO"), "one");
    EXPECT_EQ(read(text, "Patro2", "imagem"), std::nullopt) << "only the first [Patro2] counts";
    EXPECT_EQ(read(text, "SE\xC7\xC3O", "chave"), "sim");
}

TEST_F(ProfileRead, QuotesAndLength) {
    const std::string long1500(1500, 'v');
    const std::string text = "[Q]\na=\"quoted\"\nb= 'single' \nc=\"mixed'\nd=\"\ne=\"\"\n"
                             "f=\" inner blanks \"\ng=\"a\"b\"\nlong=" +
                             long1500 + "\nquotedlong=\"" + long1500 + "\"\n";
    EXPECT_EQ(read(text, "Q", "a"), "quoted");
    EXPECT_EQ(read(text, "Q", "b"), "single");
    EXPECT_EQ(read(text, "Q", "c"), "\"mixed'");
    EXPECT_EQ(read(text, "Q", "d"), "\"");
    EXPECT_EQ(read(text, "Q", "e"), "");
    EXPECT_EQ(read(text, "Q", "f"), " inner blanks ");
    EXPECT_EQ(read(text, "Q", "g"), "a\"b");
    EXPECT_EQ(read(text, "Q", "long"), std::string(1023, 'v'));
    EXPECT_EQ(read(text, "Q", "quotedlong"), std::string(1023, 'v'));
}

TEST_F(ProfileRead, IntegersAndFlags) {
    writeFile(tmp / "n.ini", "[N]\nblanks= 42 \nhex=0x20\nsign=+7\nk=12k\nempty=\n"
                             "two=2\nzero=0\nyes=yes\nquoted=\"$10\"\n");
    const ProfileFile f = ProfileFile::atHostPath(tmp / "n.ini");
    EXPECT_EQ(f.readInteger("N", "blanks", -1), 42);
    EXPECT_EQ(f.readInteger("N", "hex", -1), 32);
    EXPECT_EQ(f.readInteger("N", "sign", -1), 7);
    EXPECT_EQ(f.readInteger("N", "k", -1), -1);
    EXPECT_EQ(f.readInteger("N", "empty", -1), -1);
    EXPECT_EQ(f.readInteger("N", "quoted", -1), 16);
    EXPECT_EQ(f.readInteger("N", "missing", 5), 5);
    EXPECT_TRUE(f.readFlag("N", "two", false));
    EXPECT_TRUE(f.readFlag("N", "hex", false));
    EXPECT_FALSE(f.readFlag("N", "zero", true));
    EXPECT_FALSE(f.readFlag("N", "yes", false));
    EXPECT_TRUE(f.readFlag("N", "yes", true));
    EXPECT_FALSE(f.readFlag("N", "empty", false));
}

TEST_F(ProfileRead, SurvivesBadInputAndReadsWhatItCan) {
    std::mt19937 random(7);
    std::string garbage(200000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random());
    EXPECT_NO_FATAL_FAILURE(read(garbage, "Principal", "grupo"));
    EXPECT_EQ(read(garbage + "\n[Principal]\ngrupo=G", "Principal", "grupo"), "G");

    const std::string huge(4 << 20, 'x');
    const std::string text = "\xEF\xBB\xBF[A]\nnul=ab\0cd\nz"s + huge + "=1\n" + "long=" + huge +
                             "\r[B]\r" + huge + "\rafter=ok";
    EXPECT_EQ(read(text, "A", "nul"), "ab") << "a value ends at a NUL";
    EXPECT_EQ(read(text, "A", "long"), std::string(1023, 'x'));
    EXPECT_EQ(read(text, "B", "after"), "ok") << "no final line break, CR-only line ends";
    EXPECT_EQ(ProfileFile::atHostPath(tmp / "absent.ini").readText("A", "b", "dflt"), "dflt");
    EXPECT_EQ(ProfileFile::atHostPath(tmp.path()).readText("A", "b", "dflt"), "dflt");
}

TEST(ProfileWrite, ChangesOnlyWhatItMust) {
    struct Case {
        const char* what;
        std::string before, section, key, value, after;
    };
    const Case cases[] = {
        {"replace keeps comments, odd line ends and the file's spelling",
         "; kit\r\n[principal]\n  GRUPO = old ; x\r\r\n\n[Next]\r\ngrupo=other\r\n", "Principal",
         "grupo", "new", "; kit\r\n[principal]\nGRUPO=new\r\r\n\n[Next]\r\ngrupo=other\r\n"},
        {"replace on a CR-only last line without a break", "[S]\ra=1\rb=2", "S", "b", "3",
         "[S]\ra=1\rb=3"},
        {"new key after the last key line, before trailing comments",
         "[S]\nk=1\n; note\n\n[T]\nx=1\n", "s", "New", "v",
         "[S]\nk=1\nNew=v\r\n; note\n\n[T]\nx=1\n"},
        {"new key in a section without keys", "[S]\r\n\r\n[T]\r\n", "S", "k", "v",
         "[S]\r\nk=v\r\n\r\n[T]\r\n"},
        {"new key after a last line without a break", "[S]\nk=1", "S", "j", "2",
         "[S]\nk=1\r\nj=2\r\n"},
        {"only the first section of the name changes", "[S]\na=1\n[S]\nb=1\n", "S", "b", "2",
         "[S]\na=1\nb=2\r\n[S]\nb=1\n"},
        {"new section after a CR LF when the file ends without a break", "[S]\nk=1", "T", "k", "v",
         "[S]\nk=1\r\n[T]\r\nk=v\r\n"},
        {"new section directly after a final break", "[S]\rk=1\r", "T", "k", "v",
         "[S]\rk=1\r[T]\r\nk=v\r\n"},
        {"new file", "", "Sec", "key", "value", "[Sec]\r\nkey=value\r\n"},
        {"a line break cannot add lines", "", "S", "k", "a\r\n[Evil]\nx=1", "[S]\r\nk=a\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini::write(c.before, c.section, c.key, c.value), c.after) << c.what;
}

// Whatever the file looks like, a write is read back and leaves other sections' values alone.
TEST(ProfileWrite, WrittenValuesReadBackInAnyFile) {
    using namespace std::string_view_literals;
    const std::string_view pieces[] = {"[S]"sv, "[s] x"sv, "[T]"sv, "["sv,  "]"sv,   "k"sv, "K"sv,
                                       "j"sv,   "="sv,     "v"sv,   " "sv,  "\t"sv,  ";"sv, "#"sv,
                                       "\""sv,  "\r"sv,    "\n"sv,  "\0"sv, "\r\n"sv};
    std::mt19937 random(3);
    for (int round = 0; round < 3000; ++round) {
        std::string content;
        for (int n = static_cast<int>(random() % 40); n > 0; --n)
            content += pieces[random() % std::size(pieces)];
        const std::optional<std::string> other = ini::lookup(content, "T", "k");
        const std::string written = ini::write(content, "S", "k", "new");
        ASSERT_EQ(ini::lookup(written, "S", "k"), "new") << testing::PrintToString(content);
        ASSERT_EQ(ini::lookup(written, "T", "k"), other) << testing::PrintToString(content);
    }
}

class ProfileOnMachine : public MachineTest {};

TEST_F(ProfileOnMachine, BareNamesLiveInTheWindowsDirectory) {
    ProfileFile log(machine(), "zelun.ini");
    log.writeText("Install", "grupo", "ZEL");
    log.writeInteger("Install", "count", -12);
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "zelun.ini"),
              "[Install]\r\ngrupo=ZEL\r\ncount=-12\r\n");
    EXPECT_EQ(log.readText("install", "COUNT", ""), "-12") << "a write refreshes what reads see";
    EXPECT_EQ(ProfileFile(machine(), "ZELUN.INI").readInteger("Install", "count", 0), -12);
    EXPECT_EQ(ProfileFile(machine(), "C:\\windows\\zelun.ini").readText("Install", "grupo", ""),
              "ZEL");

    // A handle that read earlier does not undo what another handle wrote meanwhile.
    ProfileFile first(machine(), "zelun.ini");
    ASSERT_EQ(first.readText("Install", "grupo", ""), "ZEL");
    ProfileFile(machine(), "zelun.ini").writeText("Install", "other", "1");
    first.writeText("Install", "grupo", "NEW");
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "zelun.ini"),
              "[Install]\r\ngrupo=NEW\r\ncount=-12\r\nother=1\r\n");
}

TEST_F(ProfileOnMachine, FailedWritesRaiseAndLeaveEverythingAsItWas) {
    const auto expectFailure = [&](const std::string& name) {
        ProfileFile file(machine(), name);
        try {
            file.writeText("S", "k", "v");
            ADD_FAILURE() << name << " was written";
        } catch (const PlatformError& e) {
            EXPECT_STREQ(e.what(), ("Unable to write to " + name).c_str());
        }
    };
    expectFailure("C:\\NOPE\\x.ini");
    expectFailure("Q:\\x.ini");

    const fs::path dir = driveC() / "RO";
    writeFile(dir / "old.ini", "[S]\nk=old\n");
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    expectFailure("C:\\RO\\new.ini");
    // A directory that takes no new file still lets its writable files be written (in place):
    // the file's own protection decides, as on Windows.
    ProfileFile(machine(), "c:\\ro\\old.ini").writeText("S", "k", "in place");
    EXPECT_EQ(readFile(dir / "old.ini"), "[S]\nk=in place\n");
    fs::permissions(dir, fs::perms::owner_all);

    fs::permissions(dir / "old.ini", fs::perms::owner_read | fs::perms::group_read);
    expectFailure("C:\\RO\\old.ini");
    EXPECT_EQ(readFile(dir / "old.ini"), "[S]\nk=in place\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
    fs::create_directory(dir / "folder.ini");
    expectFailure("C:\\RO\\folder.ini");
}

} // namespace
} // namespace zel::test
