#include "tests/support/fixtures.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <sys/wait.h>

namespace zel::test {
namespace {

// zel-kit's exit status, standard output and standard error.
CommandResult zelKit(const std::string& args, const TempDir& tmp) {
    return runTool("zel-kit", args, tmp);
}

TEST(ZelKitShow, PrintsTheCatalogueAndTheWelcomePage) {
    TempDir tmp;
    writeFile(tmp / "SETUP.INI",
              "[Principal]\r\ngrupo=ZEL Internet\r\ndestino=C:\\ZEL\r\n"
              "navegap_size=$400\r\nMensagem=Promo\xE7\xE3o de ver\xE3o\r\n"
              "[Programa1]\r\nnome=Discador\r\ninstala=1\r\ntamanho=120\r\n"
              "criadir=1\r\nArquivo1=DISCADOR.EXE\r\nArquivo2=LONGFILENAME.DLL\r\n"
              "System1=WINSOCK.DLL\r\n"
              "[patro2]\r\nDiretorio=P2\r\ntexto=Patroc\xEDnio\r\n");
    const CommandResult run = zelKit("show '" + (tmp / "SETUP.INI").string() + "'", tmp);
    ASSERT_EQ(run.status, 0) << run.errors;
    const nlohmann::ordered_json j = nlohmann::ordered_json::parse(run.output);

    const auto& settings = j.at("settings");
    std::vector<std::string> keys;
    for (const auto& item : settings.items())
        keys.push_back(item.key());
    const std::vector<std::string> expectedKeys = {"versao",
                                                   "grupo",
                                                   "destino",
                                                   "homepage",
                                                   "searchpage",
                                                   "grupoicone",
                                                   "ineticone",
                                                   "bbsicone",
                                                   "upline",
                                                   "update_programa",
                                                   "update_diretorio",
                                                   "uninstall_programa",
                                                   "uninstall_diretorio",
                                                   "StartWave",
                                                   "licensa",
                                                   "cadastro1",
                                                   "cadastro2",
                                                   "navegap_setup",
                                                   "navegap_version",
                                                   "navegap_size",
                                                   "navegai_setup",
                                                   "navegai_version",
                                                   "navegai_size"};
    EXPECT_EQ(keys, expectedKeys);
    EXPECT_EQ(settings.at("grupo"), "ZEL Internet");
    EXPECT_EQ(settings.at("destino"), "C:\\ZEL\\");
    EXPECT_EQ(settings.at("versao"), "erro!");
    EXPECT_EQ(settings.at("navegap_size"), 1024);

    const auto& programs = j.at("programs");
    ASSERT_EQ(programs.size(), 12u);
    const auto& first = programs.at(0);
    EXPECT_EQ(first.at("nome"), "Discador");
    EXPECT_EQ(first.at("instala"), 1);
    EXPECT_EQ(first.at("tamanho"), 120);
    EXPECT_EQ(first.at("diretorio"), "\\");
    EXPECT_EQ(first.at("criadir"), 1);
    ASSERT_EQ(first.at("Arquivo").size(), 30u);
    EXPECT_EQ(first.at("Arquivo").at(1), "LONGFILENAME");
    EXPECT_EQ(first.at("Arquivo").at(2), "");
    ASSERT_EQ(first.at("System").size(), 30u);
    EXPECT_EQ(first.at("System").at(0), "WINSOCK.DLL");
    EXPECT_EQ(programs.at(1).at("diretorio"), "\\") << "the entry that ends the table";
    EXPECT_EQ(programs.at(2).at("diretorio"), "");

    const auto& welcome = j.at("welcome");
    EXPECT_EQ(welcome.at("Mensagem"), "Promoção de verão");
    ASSERT_EQ(welcome.at("sponsors").size(), 5u);
    EXPECT_EQ(welcome.at("sponsors").at(1).at("Texto"), "Patrocínio");
    EXPECT_EQ(welcome.at("sponsors").at(1).at("Diretorio"), "P2");
    EXPECT_EQ(welcome.at("sponsors").at(0).at("Texto"), "");
}

TEST(ZelKitShow, MissingFilesAndUsageErrorsExitWithStatusTwo) {
    TempDir tmp;
    const CommandResult missing = zelKit("show '" + (tmp / "NONE.INI").string() + "'", tmp);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.output, "");
    EXPECT_NE(missing.errors.find("NONE.INI"), std::string::npos) << missing.errors;

    for (const char* args : {"", "show", "show a b", "frobnicate x"}) {
        const CommandResult run = zelKit(args, tmp);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.errors.find("usage"), std::string::npos) << args << ": " << run.errors;
    }

    // Garbage is read as the wizard reads it: the defaults.
    writeFile(tmp / "BAD.INI", std::string("\0\xFF[\r\x01=\x02", 7));
    const CommandResult bad = zelKit("show '" + (tmp / "BAD.INI").string() + "'", tmp);
    ASSERT_EQ(bad.status, 0) << bad.errors;
    EXPECT_EQ(nlohmann::json::parse(bad.output).at("settings").at("destino"), "erro!\\");
}

} // namespace
} // namespace zel::test
