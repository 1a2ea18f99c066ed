// Profile files: the integer rule, reading and writing profile texts, and files on the machine.
#include "tests/support/fixtures.h"
#include "winemu/profile.h"

#include <sys/stat.h>

namespace zel::test {
namespace {

using namespace std::string_literals;

// Each value is read through the single lookup and through a profile file on disk, which must
// agree: lines end at CR, LF or CR LF; names ignore case and the first section and key of a
// name win; a name alone hides later keys of its name; a value is trimmed, loses one pair of
// outer quotes, ends at a NUL and is cut to 1023 characters.
TEST(ProfileRead, FindsWhatThePlatformsReaderFinds) {
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
    TempDir tmp;
    writeFile(tmp / "read.ini", "\xEF\xBB\xBF" + text);
    const ProfileFile file = ProfileFile::atHostPath(tmp / "read.ini");
    for (const auto& [section, key, value] : rows) {
        EXPECT_EQ(ini::lookup(text, section, key), value) << section << "/" << key;
        EXPECT_EQ(file.readText(section, key, "<none>"), value.value_or("<none>"))
            << section << "/" << key;
    }
    // Integers: "0x"/"$" hex to 8 digits (the top bit makes them negative), decimal to 2^31-1.
    writeFile(tmp / "n.ini",
              "[N]\nblanks= 42 \nhex=0x20\nk=12k\nempty=\nzero=0\nq=\"$10\"\nmax=2147483647\n"
              "min=-2147483647\nover=-2147483648\ntop=$80000000\nshort=0x1\nbare=0X\n");
    const ProfileFile n = ProfileFile::atHostPath(tmp / "n.ini");
    std::string numbers;
    for (const char* key :
         {"blanks", "hex", "k", "empty", "q", "max", "min", "over", "top", "short", "bare"})
        numbers += std::to_string(n.readInteger("N", key, -1)) + " ";
    EXPECT_EQ(numbers, "42 32 -1 -1 16 2147483647 -2147483647 -1 -2147483648 1 -1 ");
    EXPECT_EQ((std::vector<bool>{n.readFlag("N", "hex", false), n.readFlag("N", "zero", true),
                                 n.readFlag("N", "k", false), n.readFlag("N", "k", true)}),
              (std::vector<bool>{true, false, false, true}));
    ASSERT_EQ(::mkfifo((tmp / "fifo.ini").c_str(), 0600),
              0); // read at once as empty, not waited on
    for (const fs::path& none : {tmp / "absent.ini", tmp.path(), tmp / "fifo.ini"})
        EXPECT_EQ(ProfileFile::atHostPath(none).readText("N", "zero", "dflt"), "dflt");
}

TEST(ProfileWrite, ChangesOnlyWhatItMust) {
    // clang-format off
    const std::tuple<std::string, const char*, const char*, const char*, std::string> cases[] = {
        // A replaced value keeps comments, odd line ends and the file's spelling.
        {"; kit\r\n[principal]\n  GRUPO = old ; x\r\r\n\n[Next]\r\ngrupo=other\r\n", "Principal", "grupo",
         "new", "; kit\r\n[principal]\nGRUPO=new\r\r\n\n[Next]\r\ngrupo=other\r\n"},
        {"[S]\ra=1\rb=2", "S", "b", "3", "[S]\ra=1\rb=3"},
        {"[B]\r\n  Destino  \r\ndestino=x\r\n", "B", "DESTINO", "C:\\", "[B]\r\nDestino=C:\\\r\ndestino=x\r\n"},
        // A new key goes after the section's last key line.
        {"[S]\nk=1\n; note\n\n[T]\nx=1\n", "s", "New", "v", "[S]\nk=1\nNew=v\r\n; note\n\n[T]\nx=1\n"},
        {"[S]\r\n\r\n[T]\r\n", "S", "k", "v", "[S]\r\nk=v\r\n\r\n[T]\r\n"},
        {"[S]\nk=1", "S", "j", "2", "[S]\nk=1\r\nj=2\r\n"},
        {"[S]\na=1\n[S]\nb=1\n", "S", "b", "2", "[S]\na=1\nb=2\r\n[S]\nb=1\n"},
        // A new section goes at the end.
        {"[S]\nk=1", "T", "k", "v", "[S]\nk=1\r\n[T]\r\nk=v\r\n"},
        {"[S]\rk=1\r", "T", "k", "v", "[S]\rk=1\r[T]\r\nk=v\r\n"},
        {"\xEF\xBB\xBF", "S", "k", "v", "\xEF\xBB\xBF[S]\r\nk=v\r\n"},
        {"", "S", "k", "a\r\n[Evil]\nx=1", "[S]\r\nk=a\r\n"}, // a line break cannot add lines
    };
    // clang-format on
    for (const auto& [before, section, key, value, after] : cases)
        EXPECT_EQ(ini::write(before, section, key, value), after) << before;
}

// A bare name is a file of the Windows directory; each write starts from the file as it is, so
// a handle that read earlier keeps what another wrote meanwhile. A failed write raises the
// platform's message and changes nothing; a directory that takes no new name still lets its
// writable files be written, in place, as on Windows.
TEST_F(MachineTest, ProfileFilesOnTheMachine) {
    ProfileFile log(machine(), "zelun.ini");
    log.writeText("Install", "grupo", "ZEL");
    log.writeInteger("Install", "count", -12);
    EXPECT_EQ(log.readText("install", "COUNT", ""), "-12");
    EXPECT_EQ(ProfileFile(machine(), "C:\\windows\\ZELUN.INI").readText("Install", "grupo", ""),
              "ZEL");
    ProfileFile(machine(), "zelun.ini").writeText("Install", "other", "1");
    log.writeText("Install", "grupo", "NEW");
    const std::string written = "[Install]\r\ngrupo=NEW\r\ncount=-12\r\nother=1\r\n";
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "zelun.ini"), written);
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
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "zelun.ini"), written);
}

} // namespace
} // namespace zel::test
