// The emulated machine: Windows paths, code page 1252, the prefix, its drives and paths.
#include "tests/support/fixtures.h"
#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/machine.h"
#include "winemu/winpath.h"

#include <unistd.h>

namespace zel::test {
namespace {

using namespace std::string_view_literals;

TEST(WinPath, ParsesAgainstTheCurrentDirectoryAndNormalises) {
    // clang-format off
    const std::tuple<std::string_view, std::string_view, const char*> rows[] = {
        {"c:\\kit\\..\\WIN\\.\\a", "C:\\", "C:\\WIN\\a"}, {"C:/A//B/", "C:\\", "C:\\A\\B"},
        {"C:\\..\\..\\etc", "C:\\", "C:\\etc"},   {"D:", "C:\\X", "D:\\"},   {"x", "C:", "C:\\x"},
        {"D:sub", "D:\\KIT", "D:\\KIT\\sub"},     {"d:sub", "C:\\KIT", "D:\\sub"},
        {"D:\\sub", "D:\\KIT", "D:\\sub"},        {"\\TOP", "E:\\A\\B", "E:\\TOP"},
        {"\\", "E:\\A", "E:\\"},                  {"..\\..\\..\\x", "e:\\A\\B", "E:\\x"},
        // No path: empty, a UNC name, a bad drive, no usable current directory, a NUL.
        {"", "C:\\", ""},     {"\\\\", "C:\\", ""}, {"//s/x", "C:\\", ""}, {"1:\\x", "C:\\", ""},
        {"x", "", ""},        {"x", "C", ""},       {"x", "CX\\", ""},     {"x", "1:\\", ""},
        {"C:\\a\0b"sv, "C:\\", ""},                 {"x", "C:\\a\0b"sv, ""},
    };
    // clang-format on
    for (const auto& [path, current, parsed] : rows)
        EXPECT_EQ(parseWinPath(path, current).value_or(WinPath{'?', {}}).text(),
                  *parsed ? parsed : "?:\\")
            << path << " in " << current;
    const std::pair<std::string, std::string> parts[] = {
        {extractFilePath("D:\\KIT\\SETUP.EXE") + "|" + extractFilePath("D:SETUP"), "D:\\KIT\\|D:"},
        {extractFileName("C:/a/b.txt") + "|" + extractFileName("SETUP"), "b.txt|SETUP"},
        {extractFileExt("C:\\A.B\\NAME") + "|" + extractFileExt("C:\\N.tar.ico"), "|.ico"},
        {changeFileExt("C:\\A.D\\NAME", ".INI") + "|" + changeFileExt("C:\\A.EXE", ".INI"),
         "C:\\A.D\\NAME.INI|C:\\A.INI"}};
    for (const auto& [got, expected] : parts)
        EXPECT_EQ(got, expected);
}

// Code page 1252 at the boundary with the host: every byte has a UTF-8 form and back; what has
// no form in the code page, or is malformed, is '?'. An overlong form of "/", "\" or "." names
// no character, so a host name never turns into a path separator or "..".
TEST(Cp1252, ConvertsAtTheBoundaryAndFoldsCase) {
    for (int c = 0; c < 256; ++c) {
        const std::string one(1, static_cast<char>(c));
        EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(one)), one) << c;
    }
    EXPECT_EQ(utf8ToCp1252("Instalação € 日\xf0\x9f\x98\x80|\xc3|\xc3(|\x80"
                           "a\xf8|\xc2\x80\xc2\x81|\xc0\xaf\xc1\x9c\xe0\x80\xae\xf0\x80\x80\xae"),
              "Instala\xe7\xe3o \x80 ??|?|?(|?a?|?\x81|????");
    EXPECT_TRUE(
        equalsNoCase("azAb\xe0\xfe\xe7\x9a\x9c\x9e\xff", "AZaB\xc0\xde\xc7\x8a\x8c\x8e\x9f"));
    for (const char* other : {"`", "{", "\xf7", "\xdf", "ab"}) // neighbours of letters
        EXPECT_FALSE(equalsNoCase(other, std::string(1, static_cast<char>(other[0] - 0x20))))
            << other;
}

// The program's drive: a mapped drive it is on, else its directory mounted as the first free
// letter from D:; a link keeps its own name and place. The deepest drive names a host path.
TEST_F(MachineTest, TheProgramsDriveAndTheDriveOfEachHostPath) {
    EXPECT_EQ(machine().programPath() + " " + machine().currentDirectory(), "D:\\SETUP D:\\");
    fs::create_directory_symlink(prefix, prefix / "dosdevices" / "d:");
    makeMachine();
    const auto letters = machine().driveLetters();
    EXPECT_EQ(machine().programPath() + " " + std::string(letters.begin(), letters.end()),
              "E:\\SETUP CDE");
    fs::create_directory_symlink("../../medium", prefix / "dosdevices" / "r:");
    makeMachine();
    EXPECT_EQ(machine().programPath(), "R:\\SETUP");
    // "ln -s .../zel-setup SETUP; ./SETUP": the description file is beside the link.
    writeFile(tmp / "build" / "zel-setup", "#!/bin/sh\n");
    fs::create_directories(driveC() / "KIT");
    fs::create_symlink("../../../build/zel-setup", driveC() / "KIT" / "SETUP");
    program = driveC() / "WINDOWS" / ".." / "KIT" / "SETUP";
    fs::create_directory_symlink(driveC() / "KIT" / "SUB", prefix / "dosdevices" / "k:");
    makeMachine();
    EXPECT_EQ(machine().programPath(), "C:\\KIT\\SETUP");
    EXPECT_EQ(machine().toWindows(medium() / "SETUP.INI"), "R:\\SETUP.INI");
    EXPECT_EQ(machine().toWindows(driveC() / "KIT" / "SUB" / "x"), "K:\\x");
    EXPECT_EQ(machine().toWindows(driveC()), "C:\\");
    EXPECT_EQ(machine().toWindows("/etc/passwd"), std::nullopt);
    EXPECT_EQ(machine().toWindows(""), std::nullopt);
}

TEST_F(MachineTest, ResolvesNamesWithoutRegardToCase) {
    writeFile(driveC() / "Program Files" / "Kit" / "Read Me.TXT", "x");
    writeFile(driveC() / "a.txt", "lower");
    writeFile(driveC() / "A.TXT", "upper");
    writeFile(driveC() / "Configuração.ini", "x");
    const fs::path kit = driveC() / "Program Files" / "Kit";
    const std::pair<const char*, fs::path> rows[] = {
        {"C:\\PROGRAM FILES\\kit\\read me.txt", kit / "Read Me.TXT"},
        {"c:\\program files\\KIT\\New\\F.Txt", kit / "New" / "F.Txt"}, // new names keep their case
        {"C:\\A.TXT", driveC() / "A.TXT"}, // the exact spelling wins when both exist
        {"C:\\a.txt", driveC() / "a.txt"},
        {"C:\\CONFIGURA\xc7\xc3O.INI", driveC() / "Configuração.ini"},
        {"C:\\..\\..\\dosdevices\\c:\\x", driveC() / "dosdevices" / "c:" / "x"},
    };
    for (const auto& [windows, host] : rows)
        EXPECT_EQ(machine().toHost(windows), host) << windows;
    EXPECT_EQ(machine().toHost("Q:\\x"), std::nullopt);
    EXPECT_EQ(machine().toWindows(driveC() / "Configuração.ini"), "C:\\Configura\xe7\xe3o.ini");

    // Started in a directory of a drive, the machine has it as its current directory.
    EXPECT_EQ(Machine({prefix, program, driveC() / "WINDOWS", {}}).currentDirectory(),
              "C:\\WINDOWS");
    // Outside every drive it starts in the program's directory; a link's ".." is not followed.
    fs::create_directory_symlink(driveC() / "WINDOWS", medium() / "w");
    const Machine outside({prefix, medium() / "w" / ".." / "SETUP", tmp.path(), {}});
    EXPECT_EQ(outside.programPath() + " " + outside.currentDirectory(), "D:\\SETUP D:\\");
}

// Programs of the machine are started from the prefix (PROGMAN.EXE, the kit's programs), so a
// prefix that other users may change is refused before anything is made in it, also by
// Program Manager; what the machine makes is never writable by others, whatever the umask.
TEST_F(MachineTest, APrefixOfAnotherUserOrWritableByOthersIsRefused) {
    const auto refusal = [&](const fs::path& where) -> std::string {
        try {
            Machine m({where, program, {}, "/opt/it's/progman"});
        } catch (const PlatformError& e) {
            return e.what();
        }
        return "(opened)";
    };
    for (const fs::perms writer : {fs::perms::others_write, fs::perms::group_write}) {
        const fs::path shared = tmp / "shared";
        fs::create_directory(shared);
        fs::permissions(shared, writer, fs::perm_options::add);
        const std::string why = "The machine " + shared.string() + " may be changed by other users";
        EXPECT_EQ(refusal(shared), why);
        for (const char* args : {"--list", "PROGMAN PROGMAN"}) {
            const auto r = runCommand("ZEL_PREFIX='" + shared.string() + "' '" +
                                      (binDir() / "progman").string() + "' " + args + " 2>&1");
            EXPECT_EQ(std::to_string(r.status) + r.output, "1progman: " + why + "\n") << args;
        }
        EXPECT_TRUE(fs::is_empty(shared));
        fs::remove(shared);
    }
    const mode_t umask = ::umask(0);
    const fs::path fresh = tmp / "fresh" / "prefix";
    EXPECT_EQ(refusal(fresh), "(opened)");
    ::umask(umask);
    for (const fs::path& made :
         {fresh, fresh / "drive_c" / "WINDOWS" / "SYSTEM", fresh / "dosdevices"})
        EXPECT_EQ(fs::status(made).permissions(), static_cast<fs::perms>(0755)) << made;
    EXPECT_EQ(fs::status(fresh / "system.reg").permissions(), static_cast<fs::perms>(0644));
    EXPECT_EQ(readFile(fresh / "drive_c" / "WINDOWS" / "PROGMAN.EXE"),
              "#!/bin/sh\nexec '/opt/it'\\''s/progman' \"$@\"\n");
}

} // namespace
} // namespace zel::test
