// The demo kit (kit/) is a complete installation medium: every file that SETUP.INI names is
// there, its texts are in the wizard's code page, the sound and pictures are valid, and
// scripts/demo stages it as a medium.
#include "winemu/profile.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace zel::test {
namespace {

fs::path kitDir() {
    return sourceDir() / "kit";
}

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(c >= 'a' && c <= 'z' ? c - 32 : c); });
    return s;
}

// A Windows name relative to the medium ("UPDATE\ZELUPD.EXE"), found the way the Windows
// layer finds it: each component matched without regard to letter case.
std::optional<fs::path> findOnMedium(const std::string& windowsName) {
    fs::path at = kitDir();
    std::string component;
    auto step = [&](const std::string& name) -> bool {
        if (name.empty())
            return true;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(at, ec)) {
            if (upper(entry.path().filename().string()) == upper(name)) {
                at = entry.path();
                return true;
            }
        }
        return false;
    };
    for (char c : windowsName) {
        if (c == '\\' || c == '/') {
            if (!step(component))
                return std::nullopt;
            component.clear();
        } else {
            component += c;
        }
    }
    if (!step(component))
        return std::nullopt;
    return at;
}

std::string withBackslash(std::string dir) {
    if (dir.empty() || dir.back() != '\\')
        dir += '\\';
    return dir;
}

struct Entry {
    int index = 0;
    std::string nome, diretorio;
    bool instala = false, criadir = false;
    int tamanho = 0;
    std::vector<std::string> files, systemFiles;
};

// The program table as the wizard reads it: sections until the first empty nome, the file
// lists until the first empty name.
std::vector<Entry> readEntries(const ProfileFile& ini) {
    std::vector<Entry> entries;
    for (int n = 1; n <= 12; ++n) {
        const std::string section = "Programa" + std::to_string(n);
        Entry e;
        e.index = n;
        e.nome = ini.readText(section, "nome", "");
        if (e.nome.empty())
            break;
        e.instala = ini.readFlag(section, "instala", false);
        e.criadir = ini.readFlag(section, "criadir", false);
        e.tamanho = ini.readInteger(section, "tamanho", 0);
        e.diretorio = withBackslash(ini.readText(section, "diretorio", ""));
        for (int k = 1; k <= 30; ++k) {
            const std::string name = ini.readText(section, "Arquivo" + std::to_string(k), "");
            if (name.empty())
                break;
            e.files.push_back(name);
        }
        for (int k = 1; k <= 30; ++k) {
            const std::string name = ini.readText(section, "System" + std::to_string(k), "");
            if (name.empty())
                break;
            e.systemFiles.push_back(name);
        }
        entries.push_back(e);
    }
    return entries;
}

ProfileFile setupIni() {
    return ProfileFile::atHostPath(kitDir() / "SETUP.INI");
}

TEST(DemoKit, EveryFileNamedInTheSetupDescriptionIsOnTheMedium) {
    const ProfileFile ini = setupIni();
    std::vector<std::string> named;
    for (const char* key : {"licensa", "StartWave", "navegap_setup", "navegai_setup"})
        named.push_back(ini.readText("Principal", key, "erro!"));
    const std::string update = ini.readText("Update", "diretorio", "erro!");
    EXPECT_EQ(update.back(), '\\') << "the update directory takes no added backslash";
    named.push_back(update + ini.readText("Update", "programa", "erro!"));
    for (const char* key : {"grupoicone", "ineticone", "bbsicone"})
        named.push_back(update + ini.readText("Principal", key, "erro!"));
    const std::string uninstall = ini.readText("Uninstall", "diretorio", "erro!");
    EXPECT_EQ(uninstall.back(), '\\');
    named.push_back(uninstall + ini.readText("Uninstall", "programa", "erro!"));

    const std::vector<Entry> entries = readEntries(ini);
    for (const Entry& e : entries) {
        for (const std::string& f : e.files)
            named.push_back(e.diretorio + f);
        for (const std::string& f : e.systemFiles)
            named.push_back(e.diretorio + f);
    }
    for (int k = 1; k <= 5; ++k) {
        const std::string section = "Patro" + std::to_string(k);
        const std::string base = withBackslash(ini.readText(section, "Diretorio", ""));
        for (const char* key : {"Imagem", "Programa"}) {
            const std::string name = ini.readText(section, key, "");
            if (!name.empty())
                named.push_back(base + name);
        }
    }

    std::vector<std::string> missing, notExecutable;
    for (const std::string& name : named) {
        const auto file = findOnMedium(name);
        if (!file || !fs::is_regular_file(*file)) {
            missing.push_back(name);
            continue;
        }
        if (upper(name).ends_with(".EXE") &&
            (fs::status(*file).permissions() & fs::perms::owner_exec) == fs::perms::none)
            notExecutable.push_back(name);
    }
    EXPECT_TRUE(missing.empty()) << "missing on the medium: " << ::testing::PrintToString(missing);
    EXPECT_TRUE(notExecutable.empty())
        << "not executable: " << ::testing::PrintToString(notExecutable);
    // Sponsors 1 to 3 and the six program entries contribute their files.
    EXPECT_GE(named.size(), 30u);
}

TEST(DemoKit, ProgramTableExercisesEveryKindOfEntry) {
    const std::vector<Entry> entries = readEntries(setupIni());
    ASSERT_GE(entries.size(), 5u);

    // Entry 1 is the dial-up stack: program, its settings file, its socket library.
    const Entry& stack = entries.front();
    ASSERT_GE(stack.files.size(), 3u);
    EXPECT_TRUE(stack.instala);
    const auto settings = findOnMedium(stack.diretorio + stack.files[1]);
    ASSERT_TRUE(settings.has_value());
    const ProfileFile dialer = ProfileFile::atHostPath(*settings);
    EXPECT_NE(dialer.readText("Trumpet Winsock", "slip-port", "none"), "none");
    EXPECT_NE(dialer.readText("ZEL Internet", "$phone", "none"), "none");

    auto any = [&](auto pred) { return std::any_of(entries.begin() + 1, entries.end(), pred); };
    EXPECT_TRUE(any([](const Entry& e) { return !e.files.empty() && e.files[0] == "ZEL.HT"; }));
    EXPECT_TRUE(any([](const Entry& e) { return e.systemFiles.size() >= 2; }));
    EXPECT_TRUE(any([](const Entry& e) { return !e.instala; }));
    EXPECT_TRUE(any([](const Entry& e) { return !e.criadir; }));
    EXPECT_TRUE(stack.criadir || any([](const Entry& e) { return e.criadir; }));

    for (const Entry& e : entries) {
        std::uintmax_t bytes = 0;
        for (const auto* list : {&e.files, &e.systemFiles}) {
            for (const std::string& f : *list) {
                EXPECT_LE(f.size(), 12u) << f;
                if (const auto file = findOnMedium(e.diretorio + f))
                    bytes += fs::file_size(*file);
            }
        }
        EXPECT_GE(std::uintmax_t(e.tamanho) * 1024, bytes)
            << "tamanho of entry " << e.index << " does not cover its files";
    }
}

// Bytes that form a UTF-8 multi-byte sequence (a sign the file was saved as UTF-8).
bool hasUtf8Sequence(const std::string& s) {
    for (std::size_t i = 0; i + 1 < s.size(); ++i) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const auto next = static_cast<unsigned char>(s[i + 1]);
        if (lead >= 0xC2 && lead <= 0xF4 && next >= 0x80 && next <= 0xBF)
            return true;
    }
    return false;
}

bool hasUndefinedCp1252Byte(const std::string& s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
    });
}

struct LineEnds {
    int crlf = 0, cr = 0, lf = 0;
};

LineEnds countLineEnds(const std::string& s) {
    LineEnds n;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
            ++n.crlf;
            ++i;
        } else if (s[i] == '\r') {
            ++n.cr;
        } else if (s[i] == '\n') {
            ++n.lf;
        }
    }
    return n;
}

TEST(DemoKit, TextsAreInCodePage1252) {
    const std::string ini = readFile(kitDir() / "SETUP.INI");
    ASSERT_FALSE(ini.empty());
    EXPECT_FALSE(ini.starts_with("\xEF\xBB\xBF")) << "SETUP.INI starts with a UTF-8 mark";
    EXPECT_FALSE(hasUtf8Sequence(ini));
    EXPECT_FALSE(hasUndefinedCp1252Byte(ini));
    // Accented names are single bytes: "Eletrônico" with o-circumflex as 0xF4.
    EXPECT_NE(ini.find("Correio Eletr\xF4nico"), std::string::npos);
    const LineEnds iniEnds = countLineEnds(ini);
    EXPECT_GT(iniEnds.crlf, 50);
    EXPECT_EQ(iniEnds.cr, 0);
    EXPECT_EQ(iniEnds.lf, 0);

    const ProfileFile setup = setupIni();
    const std::string licence = readFile(kitDir() / setup.readText("Principal", "licensa", ""));
    ASSERT_FALSE(licence.empty());
    EXPECT_FALSE(hasUtf8Sequence(licence));
    EXPECT_FALSE(hasUndefinedCp1252Byte(licence));
    EXPECT_NE(licence.find("LICEN\xC7"
                           "A"),
              std::string::npos);
    const LineEnds ends = countLineEnds(licence);
    EXPECT_GT(ends.crlf, 0) << "the licence needs CR LF line ends";
    EXPECT_GT(ends.cr, 0) << "the licence needs lone CR line ends";
    EXPECT_GT(ends.lf, 0) << "the licence needs lone LF line ends";
}

std::uint32_t le32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s.at(at + i));
    return v;
}

std::uint16_t le16(const std::string& s, std::size_t at) {
    return std::uint16_t(static_cast<unsigned char>(s.at(at)) |
                         static_cast<unsigned char>(s.at(at + 1)) << 8);
}

TEST(DemoKit, StartSoundIsAShortPcmWave) {
    const auto path = findOnMedium(setupIni().readText("Principal", "StartWave", ""));
    ASSERT_TRUE(path.has_value());
    const std::string wav = readFile(*path);
    ASSERT_GE(wav.size(), 44u);
    EXPECT_LT(wav.size(), 20u * 1024);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le16(wav, 20), 1) << "not PCM";
    const unsigned channels = le16(wav, 22), rate = le32(wav, 24), bits = le16(wav, 34);
    EXPECT_TRUE(channels == 1 || channels == 2);
    EXPECT_TRUE(bits == 8 || bits == 16);
    EXPECT_EQ(le32(wav, 28), rate * channels * bits / 8) << "byte rate";
    const std::size_t fmtEnd = 20 + le32(wav, 16);
    ASSERT_LE(fmtEnd + 8, wav.size());
    EXPECT_EQ(wav.substr(fmtEnd, 4), "data");
    const std::uint32_t dataSize = le32(wav, fmtEnd + 4);
    EXPECT_EQ(fmtEnd + 8 + dataSize, wav.size());
    const double seconds = double(dataSize) / (rate * channels * bits / 8);
    EXPECT_GT(seconds, 0.1);
    EXPECT_LT(seconds, 1.0);
}

std::uint32_t be32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<unsigned char>(s.at(at + i));
    return v;
}

// Width and height of a BMP or PNG file, from its header; nothing for anything else.
std::optional<std::pair<std::uint32_t, std::int32_t>> pictureSize(const std::string& file) {
    if (file.size() >= 26 && file.starts_with("BM") && le32(file, 14) >= 40)
        return std::pair{le32(file, 18), std::abs(static_cast<std::int32_t>(le32(file, 22)))};
    if (file.size() >= 24 && file.starts_with("\x89PNG\r\n\x1a\n") && file.substr(12, 4) == "IHDR")
        return std::pair{be32(file, 16), static_cast<std::int32_t>(be32(file, 20))};
    return std::nullopt;
}

TEST(DemoKit, SponsorPicturesAndIconsAreValid) {
    const ProfileFile ini = setupIni();
    for (int k = 1; k <= 3; ++k) {
        const std::string section = "Patro" + std::to_string(k);
        const auto file = findOnMedium(withBackslash(ini.readText(section, "Diretorio", "")) +
                                       ini.readText(section, "Imagem", ""));
        ASSERT_TRUE(file.has_value()) << section;
        const auto size = pictureSize(readFile(*file));
        ASSERT_TRUE(size.has_value()) << section << ": neither BMP nor PNG";
        EXPECT_EQ(size->first, 64u) << section;
        EXPECT_EQ(size->second, 64) << section;
    }
    // The full-screen picture of sponsor 2, written [patro2] in the file.
    const auto advert = findOnMedium(withBackslash(ini.readText("Patro2", "Diretorio", "")) +
                                     ini.readText("Patro2", "Programa", ""));
    ASSERT_TRUE(advert.has_value());
    const auto advertSize = pictureSize(readFile(*advert));
    ASSERT_TRUE(advertSize.has_value());
    EXPECT_GE(advertSize->first, 640u);

    const std::string update = ini.readText("Update", "diretorio", "");
    for (const char* key : {"grupoicone", "ineticone", "bbsicone"}) {
        const auto file = findOnMedium(update + ini.readText("Principal", key, ""));
        ASSERT_TRUE(file.has_value()) << key;
        const std::string ico = readFile(*file);
        ASSERT_GE(ico.size(), 22u + 40u);
        EXPECT_EQ(le16(ico, 0), 0) << key;
        EXPECT_EQ(le16(ico, 2), 1) << key << ": not an icon";
        ASSERT_GE(le16(ico, 4), 1) << key;
        const unsigned width = static_cast<unsigned char>(ico[6]);
        const std::uint32_t bytes = le32(ico, 14), offset = le32(ico, 18);
        EXPECT_EQ(width, 32u) << key;
        ASSERT_LE(std::size_t(offset) + bytes, ico.size()) << key;
        EXPECT_EQ(le32(ico, offset), 40u) << key << ": no BITMAPINFOHEADER";
        EXPECT_EQ(le32(ico, offset + 8), 2 * width) << key << ": colour and mask heights";
        const unsigned bpp = le16(ico, offset + 14);
        // Colour rows plus the one-bit mask rows, each padded to four bytes.
        const std::size_t expected =
            40 + (width * bpp / 8 + 3) / 4 * 4 * width + (width / 8 + 3) / 4 * 4 * width;
        EXPECT_EQ(bytes, expected) << key;
    }
}

// scripts/demo with a stand-in wizard that records where and how it was started.
TEST(DemoKit, DemoScriptStagesAFreshMediumAndMachine) {
    TempDir build;
    writeFile(build / "bin" / "zel-setup",
              "#!/bin/sh\npwd >started-in.txt\necho \"$ZEL_PREFIX\" >prefix.txt\n"
              "ls \"$ZEL_PREFIX\" >prefix-content.txt\nexit 3\n");
    fs::permissions(build / "bin" / "zel-setup", fs::perms::owner_all, fs::perm_options::add);
    writeFile(build / "demo-prefix" / "left-over.txt", "from an earlier demo");
    writeFile(build / "medium" / "OLD.TXT", "from an earlier medium");

    const std::string command = "cd '" + sourceDir().string() + "' && BUILD_DIR='" +
                                build.path().string() + "' DISPLAY=:99 scripts/demo >'" +
                                (build / "demo-output.txt").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "the wizard's exit status is passed on\n"
                                      << readFile(build / "demo-output.txt");

    const fs::path medium = build / "medium";
    EXPECT_EQ(readFile(medium / "SETUP"), readFile(build / "bin" / "zel-setup"));
    EXPECT_EQ(readFile(medium / "SETUP.INI"), readFile(kitDir() / "SETUP.INI"));
    EXPECT_EQ(readFile(medium / "LICENCA.TXT"), readFile(kitDir() / "LICENCA.TXT"));
    EXPECT_FALSE(fs::exists(medium / "OLD.TXT")) << "the medium is staged afresh";
    EXPECT_NE(fs::status(medium / "UPDATE" / "ZELUPD.EXE").permissions() & fs::perms::owner_exec,
              fs::perms::none);

    EXPECT_EQ(readFile(medium / "started-in.txt"), fs::canonical(medium).string() + "\n");
    EXPECT_EQ(readFile(medium / "prefix.txt"),
              fs::canonical(build / "demo-prefix").string() + "\n");
    EXPECT_EQ(readFile(medium / "prefix-content.txt"), "") << "the demo machine starts empty";
    EXPECT_NE(readFile(build / "demo-output.txt").find("progman --list"), std::string::npos);
}

} // namespace
} // namespace zel::test
