// The provider's brand ([Marca]): each key set shows where it belongs, each left out (or empty)
// keeps exactly the built-in text, and the pages' built-in words are replaced once each.
#include "setup/brand.h"
#include "setup/catalogue.h"
#include "setup/network_stack.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

namespace zel::test {
namespace {

SetupSettings loaded(const TempDir& tmp, const std::string& ini) {
    writeFile(tmp / "SETUP.INI", ini);
    Catalogue catalogue;
    catalogue.load(ProfileFile::atHostPath(tmp / "SETUP.INI"));
    return catalogue.settings;
}

// Each row: the key, the field that keeps it, and the built-in text it keeps when left out.
TEST(Brand, EachKeyReadsAsWrittenOrKeepsTheBuiltInText) {
    const struct {
        const char* key;
        std::string SetupSettings::*field;
        const char* builtIn;
    } rows[] = {
        {"titulo", &SetupSettings::brandTitle, "ZEL Internet for Windows 95/NT"},
        {"legenda", &SetupSettings::brandCaption, "ZEL - Windows 95/NT"},
        {"nome", &SetupSettings::brandName, "ZEL Internet"},
        {"provedor", &SetupSettings::brandShortName, "ZEL"},
        {"boasvindas", &SetupSettings::brandWelcome, ""},
        {"fax", &SetupSettings::brandFax, "(011) 555-0190"},
        {"cabecalho", &SetupSettings::brandFaxHeading, "Enviar via FAX para: 011-555-0190"},
        {"suporte", &SetupSettings::brandSupport, "(011) 555-0175"},
        {"discagem", &SetupSettings::brandDialCommand, "ATDP5550100"},
        {"atualizacao", &SetupSettings::brandUpdateItem, "ZEL Update"},
        {"desinstalacao", &SetupSettings::brandUninstallName, "ZEL Internet"},
        {"bbs", &SetupSettings::brandBbsFile, "ZEL.HT"},
        {"icone", &SetupSettings::brandIcon, ""},
        {"imagem_boasvindas", &SetupSettings::brandWelcomePicture, ""},
        {"imagem_tipo", &SetupSettings::brandTypePicture, ""},
        {"imagem_conexao", &SetupSettings::brandConnectionPicture, ""},
        {"imagem_copia", &SetupSettings::brandCopyPicture, ""},
        {"imagem_fim", &SetupSettings::brandFinishPicture, ""},
        {"fundo", &SetupSettings::brandBackground, ""},
    };
    TempDir tmp;
    std::size_t brandKeys = 0;
    for (const DescriptionKey& key : descriptionKeys())
        brandKeys += key.section == kBrandSection;
    EXPECT_EQ(brandKeys, std::size(rows)); // every key of the table is a row here
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        const std::string value = "Acme \xe9 " + std::string(row.key);
        EXPECT_EQ(loaded(tmp, "[Marca]\r\n" + std::string(row.key) + "=" + value + "\r\n").*
                      row.field,
                  value);
        EXPECT_EQ(loaded(tmp, "[Principal]\r\ngrupo=G\r\n").*row.field, row.builtIn);
        EXPECT_EQ(loaded(tmp, "[Marca]\r\n" + std::string(row.key) + "=\r\n").*row.field,
                  row.builtIn);
    }
}

// The pages' texts: each built-in word replaced by the kit's, once; without [Marca] unchanged.
TEST(Brand, ThePagesWordsAreReplacedOnceEach) {
    SetupSettings builtIn;
    TempDir tmp;
    const SetupSettings none = loaded(tmp, "");
    const SetupSettings acme =
        loaded(tmp, "[Marca]\r\nnome=Acme Net\r\nprovedor=AcmeZEL\r\nfax=(021) 444-0001\r\n"
                    "suporte=(021) 444-0002\r\n");
    const struct {
        std::string text, acme;
    } rows[] = {
        {"Cadastro ZEL Internet", "Cadastro Acme Net"},
        {"Nome do Login no ZEL", "Nome do Login no AcmeZEL"},
        {"FAX para: (011) 555-0190 - 24h, (011) 555-0190",
         "FAX para: (021) 444-0001 - 24h, (021) 444-0001"},
        {"telesuporte: (011) 555-0175", "telesuporte: (021) 444-0002"},
        {"ZELZEL Internet ZE", "AcmeZELAcme Net ZE"},
        {"", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(brandedText(row.text, acme), row.acme) << row.text;
        EXPECT_EQ(brandedText(row.text, none), row.text) << row.text;
        EXPECT_EQ(brandedText(row.text, builtIn), row.text) << row.text; // empty: kept
    }
}

TEST(Brand, TheBackgroundColourIsThreeBytes) {
    using Rgb = std::array<int, 3>;
    const struct {
        const char* value;
        std::optional<Rgb> colour;
    } rows[] = {
        {"0,0,255", Rgb{0, 0, 255}},
        {" 200 , 10,0 ", Rgb{200, 10, 0}},
        {"255,255,255", Rgb{255, 255, 255}},
        {"", std::nullopt},
        {"0,0", std::nullopt},
        {"0,0,256", std::nullopt},
        {"-1,0,0", std::nullopt},
        {"1,2,3,4", std::nullopt},
        {"a,b,c", std::nullopt},
        {"1,,3", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(brandColour(row.value), row.colour) << row.value;
}

// What the dial-up stack's settings file may be appended to: text, not a program or help file.
TEST(Brand, OnlyTextIsADialersSettingsFile) {
    const struct {
        std::string content;
        bool text;
    } rows[] = {
        {"", true},
        {"[Trumpet Winsock]\r\nip=0.0.0.0\r\n", true},
        {"no section\tat all\n\x1a", true},
        {"\xe9t\xe9\r\n", true},
        {std::string("MZ\0\x01", 4), false},
        {"?_\x03", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(!notText(row.content).has_value(), row.text) << row.content;
}

} // namespace
} // namespace zel::test
