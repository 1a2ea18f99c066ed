// zel-kit check, show and keys as kit authors run them.
#include "setup/catalogue.h"
#include "tests/e2e/e2e.h"

#include <nlohmann/json.hpp>

namespace zel::test {
namespace {

using Edits = std::vector<std::pair<std::string, std::string>>;

std::string checked(const fs::path& given, const TempDir& tmp) {
    const CommandResult run = runTool("zel-kit", "check '" + given.string() + "'", tmp);
    return std::to_string(run.status) + run.output;
}

// A clean medium: a 20-line description, edited (`from` to `to`), `more` at its end.
fs::path writeMedium(const TempDir& tmp, const std::string& more = "", const Edits& edits = {}) {
    std::string ini = "[Principal]\nversao=1\ngrupo=G\ndestino=C:\\Z\\\nhomepage=h\nsearchpage=s\n"
                      "grupoicone=G.ICO\nineticone=I.ICO\nbbsicone=B.ICO\nlicensa=L.TXT\n"
                      "navegap_setup=P.EXE\nnavegap_version=p\nnavegai_setup=I.EXE\n"
                      "navegai_version=i\n[Update]\nprograma=U.EXE\ndiretorio=\n[Uninstall]\n"
                      "programa=U.EXE\ndiretorio=UN\\\n";
    for (const auto& [from, to] : edits)
        ini.replace(ini.find(from), from.size(), to);
    for (const char* name :
         {"G.ICO", "I.ICO", "B.ICO", "L.TXT", "P.EXE", "I.EXE", "U.EXE", "UN/U.EXE"})
        writeFile(tmp / "m" / name, "");
    writeFile(tmp / "m" / "SETUP.INI", ini + more);
    return tmp / "m";
}

// UTF-8 where code page 1252 is read: a comment's bytes in hex, and whether UTF-8 allows them.
TEST(ZelKit, CheckTellsUtf8FromCodePage1252AndReportsEachProblemOnceWithItsLineAndSeverity) {
    std::istringstream rows( // the first, "ção áô" in code page 1252
        "E7E36F20E1F4 0  C3A1 1  C2A0 1  DFBF 1  C1BF 0  C380 1  C3BF 1  E0A080 1  E09FBF 0  "
        "E18080 1  E282AC78 1  EFBFBF 1  ED9FBF 1  EDA080 0  E2827F 0  F0908080 1  F08FBFBF 0  "
        "F1808080 1  F3BFBFBF 1  F48FBFBF 1  F4908080 0  F5808080 0");
    TempDir tmp;
    const std::string warning = "holds UTF-8 text, which the wizard reads as code page 1252 "
                                "(accented letters come out garbled); save it as code page 1252\n";
    for (std::string hex, utf8; rows >> hex >> utf8;) {
        std::string bytes = "; ";
        for (std::size_t i = 0; i < hex.size(); i += 2)
            bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
        EXPECT_EQ(checked(writeMedium(tmp, bytes), tmp),
                  utf8 == "1"
                      ? "0SETUP.INI:21: warning: " + warning + "0 errors, 1 warning, 0 notes\n"
                      : "00 errors, 0 warnings, 0 notes\n")
            << hex;
    }
    // The first line, lines counted as readers split them; a byte order mark at the top.
    const fs::path m = writeMedium(tmp, "; a\r; b\n; c\r\n\r\n; á\n; é");
    EXPECT_EQ(checked(m, tmp),
              "0SETUP.INI:25: warning: " + warning + "0 errors, 1 warning, 0 notes\n");
    const std::string bom = "0SETUP.INI:1: warning: starts with a UTF-8 byte order mark";
    const std::string rest = ": the wizard reads it as code page 1252; save it as code page "
                             "1252\n0 errors, 1 warning, 0 notes\n";
    writeFile(m / "SETUP.INI", "\xEF\xBB\xBF" + readFile(m / "SETUP.INI"));
    EXPECT_EQ(checked(m, tmp), bom + " and holds UTF-8 text" + rest);
    writeFile(m / "SETUP.INI", "\xEF\xBB\xBF" + readFile(writeMedium(tmp) / "SETUP.INI"));
    EXPECT_EQ(checked(m, tmp), bom + rest);
    // A licence splits into lines as a description does.
    writeFile(writeMedium(tmp) / "L.TXT", "Licen\xE7\x61\r\nLinha dois\rLinha três\nfim\r\n");
    EXPECT_EQ(checked(m, tmp), "0L.TXT:3: warning: " + warning + "0 errors, 1 warning, 0 notes\n");
    // Each report with its line and severity, and the counts, each on a medium of its own.
    const std::string entry =
        "[Programa1]\nnome=D\ninstala=1\ntamanho=999\ndiretorio=D\\\nArquivo1=D.EXE\n";
    std::string nine;
    for (int n = 1; n <= 9; ++n)
        nine += "[Programa" + std::to_string(n) + "]\nnome=P" + std::to_string(n) + "\n";
    const struct {
        std::string more, output;
        std::vector<std::pair<std::string, std::string>> files = {}; // with their contents
        Edits edits = {};
    } reports[] = {
        // Entry 1 is the dial-up stack: its settings file must be text, its library a .DLL.
        {entry + "Arquivo2=D.INI\nArquivo3=W.DLL\n",
         "0 errors, 0 warnings, 0 notes\n",
         {{"D/D.INI", "[Trumpet Winsock]\r\n"}, {"D/W.DLL", "MZ"}}},
        {entry + "Arquivo2=D.HLP\nArquivo3=W.DLL\n",
         "SETUP.INI:21: warning: [Programa1] does not look like the dial-up stack entry 1 must be: "
         "Arquivo2 \"D.HLP\" is no text settings file (binary content): the installation stops "
         "rather than write into it\n0 errors, 1 warning, 0 notes\n",
         {{"D/D.HLP", std::string("?_\x03\0\x01", 5)}, {"D/W.DLL", "MZ"}}},
        {entry + "Arquivo2=D.INI\nArquivo3=W.EXE\n",
         "SETUP.INI:21: warning: [Programa1] does not look like the dial-up stack entry 1 must be: "
         "Arquivo3 \"W.EXE\" is no .DLL, yet it would replace the system's socket library\n0 "
         "errors, 1 warning, 0 notes\n",
         {{"D/D.INI", ""}, {"D/W.EXE", "MZ"}}},
        {entry + replaced(entry, "a1]", "a2]") + "Arquivo2=D.HLP\nArquivo3=W.EXE\n",
         "0 errors, 0 warnings, 0 notes\n", // entry 1 with one file only, entry 2 another program
         {{"D/D.HLP", std::string("?_\x03\0\x01", 5)}, {"D/W.EXE", "MZ"}}},
        {"[Marca]\nprovedor=Acme\nfax=(021) 444-1234\nimagem_fim=FIM.BMP\nfundo=1, 2 ,3\n",
         "SETUP.INI:24: warning: the page's picture \"FIM.BMP\" (imagem_fim) is not on the "
         "medium\n0 errors, 1 warning, 0 notes\n"},
        {"[Marca]\nprovedor=" + std::string(21, 'A') + "\nlogo=\nfundo=0,0,256\ndesinstalacao=\\\n",
         "SETUP.INI:22: warning: [Marca] provedor has 21 characters, more than welcome page, "
         "registration page shows (20): the rest is cut off\nSETUP.INI:23: warning: \"logo\" is no "
         "key of [Marca]; the wizard never reads it\nSETUP.INI:24: warning: [Marca] fundo=0,0,256 "
         "is no colour R,G,B (each 0 to 255): the background stays blue\nSETUP.INI:25: warning: "
         "[Marca] desinstalacao holds '\\', which makes it a key under another in the registry\n0 "
         "errors, 4 warnings, 0 notes\n"},

        {nine + "[Programa10]\nnome=P10\nArquivo1=K.DAT\n[Programa11]\nnome=P11\ninstala=1\n"
                "[Programa12]\nnome=P12\nArquivo1=NONE\n[Programa13]\nnome=P13\n[Programa123456]\n"
                "[Programa1234567]\n[Patro5]\nDiretorio=X\n[Patro6]\n[Programa]\n",
         "SETUP.INI:39: warning: [Programa10] tamanho 0 is less than the 2 kbytes its files take; "
         "the free-space check would pass too easily\nSETUP.INI:42: warning: [Programa11] \"P11\" "
         "has no check box: it is installed on every installation without being shown, and the "
         "user cannot deselect it\nSETUP.INI:45: warning: [Programa12] \"P12\" has no check box "
         "and is not preselected: it is never installed\nSETUP.INI:47: warning: \"NONE\" (Arquivo1 "
         "of [Programa12]) is not on the medium\nSETUP.INI:48: warning: [Programa13] is never "
         "read: the wizard reads at most 12 programs\nSETUP.INI:50: warning: [Programa123456] is "
         "never read: the wizard reads at most 12 programs\nSETUP.INI:51: warning: "
         "[Programa1234567] is no section the wizard reads; its keys are never read\nSETUP.INI:54: "
         "warning: [Patro6] is never read: the welcome page shows at most 5 "
         "sponsors\nSETUP.INI:55: warning: [Programa] is no section the wizard reads; its keys are "
         "never read\n0 errors, 9 warnings, 0 notes\n",
         {{"K.DAT", std::string(1025, 'x')}}},
        // The fixed files under [Update]'s directory; an empty browser setup; a sponsor's "\".
        {"[Patro2]\nDiretorio=PD\nTexto=T\nImagem=P.BMP\n",
         "SETUP.INI:7: warning: the icon \"UP\\NO.ICO\" (grupoicone) is not on the "
         "medium\nSETUP.INI:8: warning: the start sound \"S.WAV\" (StartWave) is not on the "
         "medium\nSETUP.INI:12: warning: the browser setup is empty: navegap_setup names no "
         "file\n0 errors, 3 warnings, 0 notes\n",
         {{"UP/U.EXE", ""}, {"UP/I.ICO", ""}, {"UP/B.ICO", ""}, {"PD/P.BMP", "x"}},
         {{"grupoicone=G.ICO", "grupoicone=NO.ICO\nStartWave=S.WAV"},
          {"navegap_setup=P.EXE", "navegap_setup="},
          {"diretorio=\n", "diretorio=UP\\\n"}}},
        // Three edits from the nearest key: no "did you mean". A sponsor may have no program.
        {"XYZograma=1\n[Patro1]\nTexto=T\nImagem=G.ICO\n",
         "SETUP.INI:21: warning: \"XYZograma\" is no key of [Uninstall]; the wizard never reads "
         "it\n0 errors, 1 warning, 0 notes\n"},
        {"",
         "SETUP.INI: error: no section [Uninstall]: programa, diretorio read as \"erro!\", which "
         "flows on into paths, group names and macros\n1 error, 0 warnings, 0 notes\n",
         {},
         {{"[Uninstall]\nprograma=U.EXE\ndiretorio=UN\\\n", ""}}},
        // The destination: a full path Windows accepts, or the wizard copies nothing.
        {"",
         "SETUP.INI:4: error: [Principal] destino \"Cursos\" is not a full path with its drive "
         "(such as C:\\ZEL\\): the wizard refuses to install there\n1 error, 0 warnings, 0 notes\n",
         {},
         {{"destino=C:\\Z\\", "destino=Cursos"}}},
        {"",
         "SETUP.INI:4: error: [Principal] destino holds '\"', which Windows refuses in a name: the "
         "wizard refuses to install there\n1 error, 0 warnings, 0 notes\n",
         {},
         {{"destino=C:\\Z\\", "destino=C:\\A\"B\\"}}},
        {"",
         "SETUP.INI: error: the licence text L.TXT is larger than the wizard reads (1048576 "
         "bytes): the licence page shows no text\n1 error, 0 warnings, 0 notes\n",
         {{"L.TXT", std::string(kMaxLicenceBytes + 1, 'x')}}},
        {"[Programa2]\nnome=B\n",
         "SETUP.INI:21: warning: [Programa2] is never read: the program table ends at entry 1, "
         "whose section is missing\n0 errors, 1 warning, 0 notes\n"},
        {"[Programa1]\nnome=A\n[Programa2]\ntamanho=5\n[Programa3]\nnome=C\n",
         "SETUP.INI:23: warning: [Programa2] has no nome: it ends the program table and is never "
         "shown nor installed\nSETUP.INI:25: warning: [Programa3] is never read: the program table "
         "ends at entry 2, whose section is without nome\n0 errors, 2 warnings, 0 notes\n"},
        {"[Programa1]\ninstala=1\nArquivo1=X.EXE\n",
         "SETUP.INI:21: warning: [Programa1] has no nome but instala is set: it is installed on "
         "every installation without being shown, and it ends the program table\nSETUP.INI:23: "
         "error: \"X.EXE\" (Arquivo1 of [Programa1]) is not on the medium: the installation stops "
         "there\n1 error, 1 warning, 0 notes\n"},
        {"[Programa1]\nnome=A\ndiretorio=D\ntamanho=2\nArquivo1=ABCDEFGH.EXE\n"
         "Arquivo2=ABCDEFGHI.EXE\nArquivo4=X\nArquivo30=Y\nArquivo31=Z\nArquivo01=W\n"
         "System1=S.DLL\nSystem2=\nSystem3=T\n[Programa2]\nnome=B\ntamanho=1\nArquivo1=K.DAT\n",
         "SETUP.INI:26: error: \"ABCDEFGHI.EXE\" is longer than 12 characters: the wizard keeps "
         "\"ABCDEFGHI.EX\", which then fails to copy\nSETUP.INI:27: warning: \"Arquivo4\" and 1 "
         "later name are never read: the list ends at the empty or missing Arquivo3\nSETUP.INI:29: "
         "warning: \"Arquivo31\" is no key of [Programa1]; the wizard never reads it (file keys "
         "run from Arquivo1 to Arquivo30)\nSETUP.INI:30: warning: \"Arquivo01\" is no key of "
         "[Programa1]; the wizard never reads it (file keys run from Arquivo1 to "
         "Arquivo30)\nSETUP.INI:33: warning: \"System3\" is never read: the list ends at the empty "
         "or missing System2\nSETUP.INI:36: warning: [Programa2] tamanho 1 is less than the 2 "
         "kbytes its files take; the free-space check would pass too easily\n1 error, 5 warnings, "
         "0 notes\n",
         {{"D/ABCDEFGH.EXE", std::string(1024, 'x')},
          {"D/S.DLL", "x"},
          {"K.DAT", std::string(1025, 'x')}}},
        {"[Update]\nprograma=X\ndiretorio=Y\nnao e uma chave\n[Programa1]\nnome=A \"B\"\n"
         "instala=yes\ninstalarr=1\nnome=B\n[Patro1]\nTexto=T\nTextto=T\nPrograma=P.EXE\n[Patro3]\n"
         "Diretorio=PD\nTexto=T\nImagem=BIG.BMP\nPrograma=NO.EXE\n",
         "SETUP.INI:1: note: [Principal] has no versao: the kit's version reads "
         "\"erro!\"\nSETUP.INI:1: error: [Principal] has no grupo: the Program Manager group "
         "becomes \"erro!\"\nSETUP.INI:1: warning: [Principal] has no homepage: the home page "
         "written for the update program becomes \"erro!\"\nSETUP.INI:3: warning: [Principal] "
         "navegap_size=42k is no number the wizard reads (decimal, 0x1F or $1F); it silently "
         "counts as 0 kbytes\nSETUP.INI:14: warning: the update program \"NO.EXE\" (programa) is "
         "not on the medium\nSETUP.INI:18: error: [Uninstall] diretorio \"UN\" does not end with "
         "\"\\\"; the wizard adds none, so its files are looked for as \"UNNAME\"\nSETUP.INI:19: "
         "warning: section [Update] appears again (first at line 13); only the first is read, so "
         "its 2 keys are ignored\nSETUP.INI:22: warning: line \"nao e uma chave\" is neither a "
         "section, a key=value nor a comment; it is ignored\nSETUP.INI:24: error: [Programa1] nome "
         "holds '\"', which would end its Program Manager macro argument early: the wizard does "
         "not create that group or item\nSETUP.INI:25: warning: [Programa1] instala=yes is no "
         "number the wizard reads (decimal, 0x1F or $1F); it silently counts as 0 (not "
         "selected)\nSETUP.INI:26: warning: \"instalarr\" is no key of [Programa1]; the wizard "
         "never reads it (did you mean \"instala\"?)\nSETUP.INI:27: warning: \"nome\" appears "
         "again in [Programa1] (first at line 24); only the first counts\nSETUP.INI:28: warning: "
         "[Patro1] has no Imagem: an empty area is shown with the hint\nSETUP.INI:30: warning: "
         "\"Textto\" is no key of [Patro1]; the wizard never reads it (did you mean "
         "\"Texto\"?)\nSETUP.INI:35: error: the sponsor's picture \"PD\\BIG.BMP\" is larger than "
         "the wizard reads (1048576 bytes): it is not shown\nSETUP.INI:36: warning: the sponsor's "
         "program \"PD\\NO.EXE\" (Programa) is not on the medium\n4 errors, 11 warnings, 1 note\n",
         {{"PD/BIG.BMP", std::string(kMaxPictureBytes + 1, 'x')}},
         {{"versao=1\n", ""},
          {"grupo=G\n", ""},
          {"homepage=h", "navegap_size=42k"},
          {"U.EXE\ndiretorio=\n", "NO.EXE\ndiretorio=\n"},
          {"UN\\", "UN"}}},
    };
    for (const auto& row : reports) {
        TempDir tmp;
        const fs::path m = writeMedium(tmp, row.more, row.edits);
        writeFile(m / "D" / "D.EXE", "");
        for (const auto& [name, content] : row.files)
            writeFile(m / name, content);
        EXPECT_EQ(checked(m, tmp),
                  (row.output.find(": error: ") == std::string::npos ? "0" : "1") + row.output);
    }
}

// A hostile medium's tricks are errors; the description is found as the wizard finds it.
TEST(ZelKit, CheckCallsAHostileMediumsTricksErrorsFindsFilesAsTheWizardDoesAndSpeaksJson) {
    TempDir tmp;
    fs::path m = writeMedium(tmp, "falsa\x1B[2J=1\n");
    writeFile(tmp / "secret", "root:x:0:0");
    fs::remove(m / "L.TXT");
    fs::create_symlink(tmp / "secret", m / "L.TXT");
    ASSERT_EQ(::mkfifo((m / "P.DAT").c_str(), 0600), 0);
    writeFile(m / "progman.exe", "#!/bin/sh\n");
    EXPECT_EQ(checked(m, tmp),
              "1SETUP.INI:10: warning: the licence text \"L.TXT\" (licensa) is not on the "
              "medium\nSETUP.INI:21: warning: \"falsa\\x1B[2J\" is no key of [Uninstall]; the "
              "wizard never reads it\nL.TXT: error: is a link to " +
                  (tmp / "secret").string() +
                  ", off the medium: the wizard treats it as missing\nP.DAT: error: is a pipe, "
                  "socket or device, not a file: the wizard treats it as missing\nprogman.exe: "
                  "error: would run instead of Program Manager when the wizard starts it: remove "
                  "it from the medium\n3 errors, 2 warnings, 0 notes\n");
    fs::remove_all(m);
    m = writeMedium(tmp, "[Patro1]\nImagem=X\n");
    fs::rename(m / "SETUP.INI", m / "instala.ini");
    fs::rename(m / "U.EXE", m / "u.exe");
    writeProgram(m / "INSTALA", "");
    for (const fs::path& given : {m, m / "INSTALA", m / "instala.ini"})
        EXPECT_EQ(checked(given, tmp), "0instala.ini:21: note: [Patro1] has no Texto: the sponsor "
                                       "is never shown\n0 errors, 0 warnings, 1 note\n")
            << given;
    fs::remove(m / "instala.ini");
    // Usage errors, with no usage after them.
    const std::pair<std::string, std::string> unusable[] = {
        {"show '" + (tmp / "NONE.INI").string() + "'",
         (tmp / "NONE.INI").string() + ": no such file"},
        {"check '" + (tmp / "none").string() + "'",
         (tmp / "none").string() + ": no such file or directory"},
        {"show /", "/: is a directory"},
        {"check -", "-: no such file or directory"}, // a lone "-" is a name, not an option
        {"check '" + (m / "INSTALA").string() + "'",
         m.string() + ": no INSTALA.INI beside the wizard"}};
    for (const auto& [args, error] : unusable) {
        const CommandResult r = runTool("zel-kit", args, tmp);
        EXPECT_EQ(std::to_string(r.status) + r.output + r.errors, "2zel-kit: " + error + "\n");
    }
    fs::create_directories(tmp / "e");
    const auto json = [&](const std::string& args) {
        const CommandResult run = runTool("zel-kit", args, tmp);
        return std::pair(run.status, nlohmann::json::parse(run.output));
    };
    // A medium without a description file: the wizard would run on defaults alone.
    EXPECT_EQ(
        json("check '" + (tmp / "e").string() + "' --json"),
        std::pair(1,
                  nlohmann::json::parse(
                      R"({"problems":[{"file":"SETUP.INI","line":0,"severity":"error","message":)"
                      R"("no setup description file: the wizard, copied to the medium as SETUP, )"
                      R"(reads SETUP.INI beside itself and would run with every setting at its )"
                      R"(default"}],"errors":1,"warnings":0,"notes":0})")));
    // "show" prints the catalogue as the wizard reads it (code page 1252 as UTF-8), the sponsors.
    const fs::path accented = writeMedium(tmp, "", {{"grupo=G", "grupo=Acesso \xC0 Rede"}});
    const auto [status, shown] = json("show '" + (accented / "SETUP.INI").string() + "'");
    EXPECT_EQ(
        std::to_string(status) + shown["settings"]["destino"].get<std::string>() +
            shown["settings"]["grupo"].get<std::string>() +
            std::to_string(shown["programs"].size() * 100 + shown["welcome"]["sponsors"].size()),
        "0C:\\Z\\Acesso À Rede1205");
    writeFile(tmp / "SMALL.INI", "[Principal]\ngrupo=G\n[Programa1]\nnome=N\ninstala=1\n");
    // Output that cannot be written whole is an error, however little of it there is.
    EXPECT_EQ(outcome(runCommand("cd " + q(tmp.path()) + " && " + q(binDir() / "zel-kit") +
                                 " show --compact SMALL.INI 2>&1 >/dev/full")),
              "1zel-kit: cannot write the output\n");
    // --compact keeps what holds something; an entry keeps its place among the others.
    const auto compact = nlohmann::ordered_json::parse(
        runTool("zel-kit", "show --compact " + q(tmp / "SMALL.INI"), tmp).output);
    EXPECT_EQ(compact["programs"].dump() + std::to_string(compact.contains("welcome")),
              R"([{"nome":"N","instala":1,"diretorio":"\\"},{"diretorio":"\\"}]0)");
    // The README's table between its markers is `keys --markdown`, byte for byte.
    const CommandResult table = runTool("zel-kit", "keys --markdown", tmp);
    ASSERT_EQ(table.status, 0) << table.errors;
    const std::string readme = readFile(sourceDir() / "README.md");
    const std::string begin = "<!-- zel-kit keys --markdown: begin -->\n",
                      end = "<!-- zel-kit keys --markdown: end -->";
    const auto from = readme.find(begin), to = readme.find(end);
    EXPECT_EQ(readme.substr(from + begin.size(), to - from - begin.size()), table.output)
        << "regenerate the README's table with build/bin/zel-kit keys --markdown";
}

} // namespace
} // namespace zel::test
