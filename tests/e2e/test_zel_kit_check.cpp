// zel-kit check, run as the kit author runs it, on copies of the demo kit.
#include "setup/catalogue.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <map>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>

namespace zel::test {
namespace {

// zel-kit's exit status, standard output and standard error.
CommandResult zelKit(const std::string& args, const TempDir& tmp) {
    return runTool("zel-kit", args, tmp);
}

struct Reported {
    std::string file;
    int line = 0;
    std::string severity, message;
};

struct Checked {
    int status = -1;
    std::vector<Reported> problems;
    nlohmann::json json;
};

Checked checkJson(const fs::path& medium, const TempDir& tmp) {
    const CommandResult run = zelKit("check --json '" + medium.string() + "'", tmp);
    Checked c;
    c.status = run.status;
    c.json = nlohmann::json::parse(run.output);
    for (const auto& p : c.json.at("problems"))
        c.problems.push_back({p.at("file"), p.at("line"), p.at("severity"), p.at("message")});
    return c;
}

std::string describe(const std::vector<Reported>& problems) {
    std::string out;
    for (const Reported& p : problems)
        out += p.file + ":" + std::to_string(p.line) + ": " + p.severity + ": " + p.message + "\n";
    return out;
}

// The demo kit copied into a temporary medium, with its description file at hand for edits.
class KitCopy {
public:
    KitCopy() {
        fs::copy(sourceDir() / "kit", medium(), fs::copy_options::recursive);
        text_ = readFile(medium() / "SETUP.INI");
    }
    fs::path medium() const { return tmp_ / "medium"; }
    const TempDir& tmp() const { return tmp_; }
    std::string& text() { return text_; }

    // Replaces the one occurrence of `from`.
    void replace(std::string_view from, std::string_view to) {
        const std::size_t at = text_.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        ASSERT_EQ(text_.find(from, at + 1), std::string::npos) << from;
        text_.replace(at, from.size(), to);
    }
    void save() { writeFile(medium() / "SETUP.INI", text_); }

    // The 1-based line (CR LF line ends) where `needle` begins.
    int lineOf(std::string_view needle) const {
        const std::size_t at = text_.find(needle);
        EXPECT_NE(at, std::string::npos) << needle;
        int line = 1;
        for (std::size_t i = 0; i < at && i < text_.size(); ++i)
            line += text_[i] == '\n';
        return line;
    }

private:
    TempDir tmp_;
    std::string text_;
};

struct Expected {
    std::string file;
    int line;
    std::string severity;
    std::string fragment; // a part of the message that names the problem
};

// Every expected problem is reported exactly once, and nothing else is.
void expectExactly(const std::vector<Reported>& problems, const std::vector<Expected>& expected) {
    for (const Expected& e : expected) {
        int count = 0;
        for (const Reported& p : problems)
            count += p.file == e.file && p.line == e.line && p.severity == e.severity &&
                     p.message.find(e.fragment) != std::string::npos;
        EXPECT_EQ(count, 1) << e.file << ":" << e.line << ": " << e.severity << ": " << e.fragment
                            << "\n"
                            << describe(problems);
    }
    EXPECT_EQ(problems.size(), expected.size()) << describe(problems);
}

TEST(ZelKitCheck, TheDemoKitChecksClean) {
    KitCopy kit;
    const CommandResult text = zelKit("check '" + kit.medium().string() + "'", kit.tmp());
    EXPECT_EQ(text.status, 0) << text.output << text.errors;
    // [Patro3] has a picture but no hint on purpose: a note, not a fault.
    EXPECT_NE(text.output.find("SETUP.INI:" + std::to_string(kit.lineOf("[Patro3]")) +
                               ": note: [Patro3] has no Texto"),
              std::string::npos)
        << text.output;
    EXPECT_TRUE(text.output.ends_with("\n0 errors, 0 warnings, 1 note\n")) << text.output;

    // The wizard finds its files in any letter case, and so does the check.
    fs::rename(kit.medium() / "SETUP.INI", kit.medium() / "setup.ini");
    fs::rename(kit.medium() / "FTP", kit.medium() / "ftp");
    fs::rename(kit.medium() / "TRUMPET" / "HOSTS", kit.medium() / "TRUMPET" / "hosts");
    const Checked json = checkJson(kit.medium(), kit.tmp());
    EXPECT_EQ(json.status, 0);
    ASSERT_EQ(json.problems.size(), 1u) << describe(json.problems);
    EXPECT_EQ(json.problems[0].file, "setup.ini");
}

TEST(ZelKitCheck, ReportsEachProblemOnceWithItsLineAndSeverity) {
    KitCopy kit;
    const std::string ini = "SETUP.INI";
    // [Principal]: missing keys of each weight, a number the integer rule refuses, UTF-8 text.
    kit.replace("versao=2.1\r\n", "");
    kit.replace("grupo=ZEL Internet\r\n", "");
    kit.replace("homepage=http://www.zel.com.br/\r\n", "");
    kit.replace("navegap_size=4200", "navegap_size=42k");
    kit.replace("Mensagem=Novos assinantes ganham 05 horas gr\xE1tis!",
                "Mensagem=Novos assinantes ganham 05 horas gr\xC3\xA1tis!");
    // [Uninstall]: a directory without its trailing "\".
    kit.replace("diretorio=UNINST\\", "diretorio=UNINST");
    // [Programa1]: a gap in the file list, and a 31st file.
    kit.replace("Arquivo4=HOSTS", "Arquivo4=");
    kit.replace("Arquivo5=LEIAME.TXT\r\n", "Arquivo5=LEIAME.TXT\r\nArquivo31=EXTRA.DLL\r\n");
    // [Programa2]: a flag the rule refuses and a misspelt key.
    kit.replace("nome=ZEL BBS\r\ninstala=1", "nome=ZEL BBS\r\ninstala=yes\r\ninstalar=1");
    // [Programa3]: a name longer than 12 characters and a repeated key.
    kit.replace("Arquivo2=CORREIO.HLP", "Arquivo2=CORREIOAJUDA.HLP\r\nnome=Outro nome");
    // [Programa6]: less space than its files take.
    kit.replace("tamanho=300", "tamanho=0");
    // Entries 7 to 11, the last one preselected without a check box, then a 13th.
    std::string more;
    for (int n = 7; n <= 11; ++n)
        more += "[Programa" + std::to_string(n) + "]\r\nnome=Extra " + std::to_string(n) +
                "\r\ninstala=" + (n == 11 ? "1" : "0") +
                "\r\ntamanho=1\r\ndiretorio=FTP\\\r\nArquivo1=FTPZEL.HLP\r\n\r\n";
    more += "[Programa13]\r\nnome=Treze\r\n\r\n";
    kit.replace("[Patro1]", more + "[Patro1]");
    // A repeated section, and a line that is no key.
    kit.text() += "[Update]\r\nprograma=OUTRO.EXE\r\nnao e uma chave\r\n";
    kit.save();
    // Files missing on the medium: an installable entry's file, a fixed file, a picture.
    fs::remove(kit.medium() / "NOTICIAS" / "NOTICIAS.INI");
    fs::remove(kit.medium() / "UPDATE" / "ZELUPD.EXE");
    fs::remove(kit.medium() / "PATRO1" / "SABER.BMP");
    // A licence saved as UTF-8.
    writeFile(kit.medium() / "LICENCA.TXT",
              "Contrato de licen\xE7\x61\r\nLinha dois\rLinha tr\xC3\xAAs\nfim\r\n");

    const auto& k = kit;
    const int principal = k.lineOf("[Principal]");
    const std::vector<Expected> expected = {
        {ini, principal, "note", "no versao"},
        {ini, principal, "error", "no grupo"},
        {ini, principal, "warning", "no homepage"},
        {ini, k.lineOf("navegap_size=42k"), "warning", "navegap_size=42k is no number"},
        {ini, k.lineOf("Mensagem="), "warning", "UTF-8"},
        {ini, k.lineOf("diretorio=UNINST"), "error", "does not end with"},
        {ini, k.lineOf("Arquivo5=LEIAME.TXT"), "warning", "\"Arquivo5\" is never read"},
        {ini, k.lineOf("Arquivo31="), "warning", "\"Arquivo31\" is no key"},
        {ini, k.lineOf("instala=yes"), "warning", "instala=yes is no number"},
        {ini, k.lineOf("instalar=1"), "warning", "did you mean \"instala\""},
        {ini, k.lineOf("Arquivo2=CORREIOAJUDA"), "error", "longer than 12 characters"},
        {ini, k.lineOf("nome=Outro nome"), "warning", "\"nome\" appears again"},
        {ini, k.lineOf("Arquivo2=NOTICIAS.INI"), "error", "\"NOTICIAS\\NOTICIAS.INI\""},
        {ini, k.lineOf("tamanho=0"), "warning", "less than the 1 kbytes"},
        {ini, k.lineOf("[Programa11]"), "warning", "installed on every installation"},
        {ini, k.lineOf("[Programa13]"), "warning", "at most 12 programs"},
        {ini, k.lineOf("programa=ZELUPD.EXE"), "warning", "\"UPDATE\\ZELUPD.EXE\""},
        {ini, k.lineOf("Imagem=SABER.BMP"), "warning", "\"PATRO1\\SABER.BMP\""},
        {ini, k.lineOf("[Patro3]"), "note", "no Texto"},
        {ini, k.lineOf("[Update]\r\nprograma=OUTRO"), "warning", "[Update] appears again"},
        {ini, k.lineOf("nao e uma chave"), "warning", "is ignored"},
        {"LICENCA.TXT", 3, "warning", "UTF-8"},
    };
    const Checked c = checkJson(kit.medium(), kit.tmp());
    EXPECT_EQ(c.status, 1);
    expectExactly(c.problems, expected);

    // The same in text form: one line per problem, then the counts.
    const CommandResult text = zelKit("check '" + kit.medium().string() + "'", kit.tmp());
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.output.find("SETUP.INI:" + std::to_string(k.lineOf("diretorio=UNINST")) +
                               ": error: [Uninstall] diretorio \"UNINST\" does not end with"),
              std::string::npos)
        << text.output;
    EXPECT_TRUE(text.output.ends_with("\n4 errors, 16 warnings, 2 notes\n")) << text.output;
}

// The check knows each key that the wizard reads, from the catalogue's own table: a file that
// names every one of them in its section draws no "is no key" report, and one unknown key in
// each section draws one each.
// A quote in a value that goes into a Program Manager macro would break out of its argument.
TEST(ZelKitCheck, QuotesThatWouldBreakAMacroAreErrors) {
    KitCopy kit;
    kit.replace("grupo=ZEL Internet", "grupo=ZEL\")][DeleteGroup(\"Acess\xF3rios\")][CreateGroup(\"");
    kit.replace("nome=ZEL BBS", "nome=ZEL \"BBS\"");
    kit.save();
    const Checked json = checkJson(kit.medium(), kit.tmp());
    EXPECT_EQ(json.status, 1);
    expectExactly(json.problems,
                  {{"SETUP.INI", kit.lineOf("grupo="), "error", "[Principal] grupo holds '\"'"},
                   {"SETUP.INI", kit.lineOf("nome=ZEL \"BBS"), "error", "nome holds '\"'"},
                   {"SETUP.INI", kit.lineOf("[Patro3]"), "note", "[Patro3] has no Texto"}});
}

// A hostile medium: links off it, a pipe where a file is expected, a Program Manager of its
// own, a picture larger than the wizard reads, and names that would drive the terminal.
TEST(ZelKitCheck, HostileMediaAreErrorsAndItsTextsCannotDriveTheTerminal) {
    KitCopy kit;
    const fs::path outside = kit.tmp() / "host-secret";
    writeFile(outside, "root:x:0:0");
    fs::remove(kit.medium() / "LICENCA.TXT");
    fs::create_symlink(outside, kit.medium() / "LICENCA.TXT");
    ASSERT_EQ(::mkfifo((kit.medium() / "FTP" / "PIPE.DAT").c_str(), 0600), 0);
    writeFile(kit.medium() / "progman.exe", "#!/bin/sh\n");
    fs::resize_file(kit.medium() / "PATRO1" / "SABER.BMP", kMaxPictureBytes + 1);
    kit.replace("grupo=ZEL Internet", "grupo=ZEL Internet\r\nfalsa\x1B[2J=1");
    kit.save();

    const Checked json = checkJson(kit.medium(), kit.tmp());
    EXPECT_EQ(json.status, 1);
    const auto count = [&](const std::string& file, const std::string& fragment,
                           const std::string& severity = "error") {
        int n = 0;
        for (const Reported& p : json.problems)
            n += p.file == file && p.severity == severity &&
                 p.message.find(fragment) != std::string::npos;
        return n;
    };
    EXPECT_EQ(count("LICENCA.TXT", "off the medium"), 1) << describe(json.problems);
    // As the wizard sees it: no licence (a warning, as for a licence left out).
    EXPECT_EQ(count("SETUP.INI", "\"LICENCA.TXT\" (licensa) is not on the medium", "warning"), 1)
        << describe(json.problems);
    EXPECT_EQ(count("FTP/PIPE.DAT", "pipe, socket or device"), 1) << describe(json.problems);
    EXPECT_EQ(count("progman.exe", "instead of Program Manager"), 1) << describe(json.problems);
    EXPECT_EQ(count("SETUP.INI", "\"PATRO1\\SABER.BMP\" is larger than the wizard reads"), 1)
        << describe(json.problems);

    const CommandResult text = zelKit("check '" + kit.medium().string() + "'", kit.tmp());
    EXPECT_EQ(text.output.find('\x1B'), std::string::npos);
    EXPECT_NE(text.output.find("\"falsa\\x1B[2J\" is no key of [Principal]"), std::string::npos)
        << text.output;

    // A licence longer than the wizard reads shows no text at all.
    KitCopy large;
    fs::resize_file(large.medium() / "LICENCA.TXT", kMaxLicenceBytes + 1);
    const Checked licence = checkJson(large.medium(), large.tmp());
    EXPECT_EQ(licence.status, 1);
    expectExactly(licence.problems,
                  {{"SETUP.INI", 0, "error", "LICENCA.TXT is larger than the wizard reads"},
                   {"SETUP.INI", large.lineOf("[Patro3]"), "note", "[Patro3] has no Texto"}});
}

// The wizard copied under another name reads the description named after it; the check finds
// it the same way, from the medium, the wizard or the description file.
TEST(ZelKitCheck, FindsTheDescriptionAsTheWizardDoes) {
    KitCopy kit;
    fs::rename(kit.medium() / "SETUP.INI", kit.medium() / "instala.ini");
    writeFile(kit.medium() / "INSTALA", "#!/bin/sh\n");
    fs::permissions(kit.medium() / "INSTALA", fs::perms::owner_all);
    writeFile(kit.medium() / "OUTRO.INI", "[Principal]\r\n"); // no wizard beside it
    for (const fs::path& given :
         {kit.medium(), kit.medium() / "INSTALA", kit.medium() / "instala.ini"}) {
        const CommandResult r = zelKit("check '" + given.string() + "'", kit.tmp());
        EXPECT_EQ(r.status, 0) << given << r.output << r.errors;
        EXPECT_NE(r.output.find("instala.ini:"), std::string::npos) << given << r.output;
    }
    // SETUP.INI first when there are several.
    writeFile(kit.medium() / "SETUP", "#!/bin/sh\n");
    fs::permissions(kit.medium() / "SETUP", fs::perms::owner_all);
    writeFile(kit.medium() / "SETUP.INI", "[Principal]\r\n");
    const Checked json = checkJson(kit.medium(), kit.tmp());
    ASSERT_FALSE(json.problems.empty());
    EXPECT_EQ(json.problems[0].file, "SETUP.INI");
    // A wizard without its description is refused with the reason.
    const CommandResult alone = zelKit("check '" + (kit.medium() / "INSTALA").string() + "'",
                                       kit.tmp());
    EXPECT_EQ(alone.status, 0);
    fs::remove(kit.medium() / "instala.ini");
    const CommandResult missing = zelKit("check '" + (kit.medium() / "INSTALA").string() + "'",
                                         kit.tmp());
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.errors.find("no INSTALA.INI beside the wizard"), std::string::npos)
        << missing.errors;
}

TEST(ZelKitCheck, KnowsEveryKeyTheCatalogueReads) {
    TempDir tmp;
    const fs::path medium = tmp / "medium";
    std::map<std::string, std::string> sections;
    for (const DescriptionKey& key : descriptionKeys()) {
        std::string section(key.section);
        if (section == kProgramSection || section == kSponsorSection)
            section += "1";
        std::string& lines = sections[section];
        if (lines.empty())
            lines = "Desconhecida=1\r\n";
        const std::string name(key.name);
        if (key.kind == KeyKind::FileList)
            lines += name + "1=A\r\n" + name + std::to_string(kFileSlots) + "=B\r\n";
        else
            lines += name + "=1\r\n";
    }
    std::string text;
    for (const auto& [section, lines] : sections)
        text += "[" + section + "]\r\n" + lines;
    writeFile(medium / "SETUP.INI", text);

    const Checked c = checkJson(medium, tmp);
    std::set<std::string> unknown;
    for (const Reported& p : c.problems)
        if (p.message.find("is no key of") != std::string::npos)
            unknown.insert(p.message);
    EXPECT_EQ(unknown.size(), sections.size()) << describe(c.problems);
    for (const std::string& message : unknown)
        EXPECT_TRUE(message.starts_with("\"Desconhecida\" is no key")) << message;
}

TEST(ZelKitCheck, TheProgramTableEndsAtTheFirstEntryWithoutName) {
    KitCopy kit;
    // Entry 5 loses its name: it ends the table with its files unused, and entry 6 is lost.
    kit.replace("nome=Transfer\xEAncia de Arquivos (FTP)\r\n", "");
    kit.save();
    fs::remove(kit.medium() / "FTP" / "FTPZEL.HLP"); // not installable now: a warning only
    const Checked c = checkJson(kit.medium(), kit.tmp());
    EXPECT_EQ(c.status, 0);
    expectExactly(c.problems,
                  {{"SETUP.INI", kit.lineOf("[Programa5]"), "warning", "has no nome"},
                   {"SETUP.INI", kit.lineOf("Arquivo2=FTPZEL.HLP"), "warning", "not on the medium"},
                   {"SETUP.INI", kit.lineOf("[Programa6]"), "warning", "ends at entry 5"},
                   {"SETUP.INI", kit.lineOf("[Patro3]"), "note", "no Texto"}});

    // A nameless entry that is preselected is installed without being shown: its files count.
    kit.replace("instala=0\r\ntamanho=260", "instala=1\r\ntamanho=260");
    kit.save();
    const Checked selected = checkJson(kit.medium(), kit.tmp());
    EXPECT_EQ(selected.status, 1);
    expectExactly(selected.problems,
                  {{"SETUP.INI", kit.lineOf("[Programa5]"), "warning", "without being shown"},
                   {"SETUP.INI", kit.lineOf("Arquivo2=FTPZEL.HLP"), "error", "not on the medium"},
                   {"SETUP.INI", kit.lineOf("[Programa6]"), "warning", "ends at entry 5"},
                   {"SETUP.INI", kit.lineOf("[Patro3]"), "note", "no Texto"}});
}

TEST(ZelKitCheck, CountsLinesAsTheProfileReaderSplitsThem) {
    TempDir tmp;
    const fs::path medium = tmp / "medium";
    // Lines end in CR, LF and CR LF; a byte order mark opens the file. [Update] stands on line
    // 5 and its diretorio on line 7.
    writeFile(medium / "SETUP.INI", "\xEF\xBB\xBF; kit\r[Principal]\nversao=1\r\n\n"
                                    "[Update]\rprograma=U.EXE\ndiretorio=UPD\r\n");
    writeFile(medium / "UPD" / "U.EXE", "x");
    const Checked c = checkJson(medium, tmp);
    EXPECT_EQ(c.status, 1);
    int byteOrderMark = 0, directory = 0, missingSection = 0;
    for (const Reported& p : c.problems) {
        byteOrderMark += p.line == 1 && p.message.find("byte order mark") != std::string::npos;
        directory += p.line == 7 && p.severity == "error" &&
                     p.message.find("does not end with") != std::string::npos;
        missingSection +=
            p.line == 0 && p.message.find("no section [Uninstall]") != std::string::npos;
    }
    EXPECT_EQ(byteOrderMark, 1) << describe(c.problems);
    EXPECT_EQ(directory, 1) << describe(c.problems);
    EXPECT_EQ(missingSection, 1) << describe(c.problems);
}

TEST(ZelKitCheck, JsonShapeAndUsage) {
    TempDir tmp;
    const fs::path medium = tmp / "medium";
    fs::create_directories(medium);
    // A medium without a description file: the wizard would run on defaults alone.
    const Checked empty = checkJson(medium, tmp);
    EXPECT_EQ(empty.status, 1);
    const nlohmann::json& j = empty.json;
    ASSERT_TRUE(j.is_object());
    std::vector<std::string> keys;
    for (const auto& item : j.items())
        keys.push_back(item.key());
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<std::string>{"errors", "notes", "problems", "warnings"}));
    EXPECT_EQ(j.at("errors"), 1);
    EXPECT_EQ(j.at("warnings"), 0);
    EXPECT_EQ(j.at("notes"), 0);
    ASSERT_EQ(j.at("problems").size(), 1u);
    const auto& p = j.at("problems").at(0);
    EXPECT_EQ(p.size(), 4u);
    EXPECT_EQ(p.at("file"), "SETUP.INI");
    EXPECT_TRUE(p.at("line").is_number_integer());
    EXPECT_EQ(p.at("severity"), "error");
    EXPECT_TRUE(p.at("message").is_string());

    // The option may come after the medium too.
    EXPECT_EQ(zelKit("check '" + medium.string() + "' --json", tmp).status, 1);
    for (const std::string& args : {std::string("check"), "check --frob '" + medium.string() + "'",
                                    "check '" + (tmp / "none").string() + "'",
                                    "check '" + (tmp / "stderr.txt").string() + "'"}) {
        const CommandResult run = zelKit(args, tmp);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.output, "") << args;
        EXPECT_FALSE(run.errors.empty()) << args;
    }
}

} // namespace
} // namespace zel::test
