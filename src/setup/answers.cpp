#include "setup/answers.h"

#include "setup/disk_space.h"
#include "setup/messages.h"
#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/host_file.h"
#include "winemu/profile.h"
#include "winemu/winpath.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

namespace {

using R = RegistrationForm;

struct FormKey {
    const char* key;
    std::string R::*field;
};

// The registration page's fields in the order it shows them, then the card's brand.
constexpr FormKey kFormKeys[] = {
    {"nome", &R::name},
    {"endereco", &R::street},
    {"numero", &R::number},
    {"apto", &R::flat},
    {"complemento", &R::complement},
    {"cidade", &R::city},
    {"estado", &R::state},
    {"cep", &R::postcode},
    {"nascimento", &R::birthDate},
    {"profissao", &R::profession},
    {"telefone_residencial", &R::homePhone},
    {"telefone_comercial", &R::officePhone},
    {"cartao_nome", &R::cardName},
    {"cartao_numero", &R::cardNumber},
    {"cartao_validade", &R::cardExpiry},
    {"senha", &R::password},
    {"cartao_bandeira", &R::cardBrand},
};

constexpr const char* kChoiceKeys[] = {"tipo",           "destino",       "programas",
                                       "navegador",      "porta",         "modem_inicializacao",
                                       "modem_discagem", "impressao_pdf", "espaco_insuficiente"};

constexpr std::size_t kMaxAnswersBytes = std::size_t(1) << 20;

bool knownKey(std::string_view key) {
    for (const char* k : kChoiceKeys)
        if (equalsNoCase(key, k))
            return true;
    for (const FormKey& f : kFormKeys)
        if (equalsNoCase(key, f.key))
            return true;
    return false;
}

[[noreturn]] void wrong(std::string_view key, std::string_view value, std::string_view expected) {
    throw WrongAnswer("Resposta inv\xe1lida em [Respostas] " + std::string(key) + "=" +
                      std::string(value) + ": " + std::string(expected));
}

InstallationType installationType(const std::string& value) {
    const std::string v = upperAscii(value);
    if (v == "TIPICA" || v == "T\xedPICA")
        return InstallationType::Typical;
    if (v == "PERSONALIZADA")
        return InstallationType::Custom;
    wrong("tipo", value, "use tipica ou personalizada");
}

ProgramSelection programSelection(const std::string& value, const Catalogue& catalogue,
                                  ProgramSelection selection) {
    // An entry without a name has no box on the custom page: the kit's choice stays.
    for (int n = 1; n <= kShownPrograms; ++n)
        if (!catalogue.entry(n).name.empty())
            selection.at(static_cast<std::size_t>(n - 1)) = false;
    if (upperAscii(value) == "NENHUM")
        return selection;
    std::string list = value;
    for (char& c : list)
        if (c == ',' || c == ';')
            c = ' ';
    std::istringstream words(list);
    for (std::string word; words >> word;) {
        int n = 0;
        const bool number =
            word.size() <= 2 && word.find_first_not_of("0123456789") == std::string::npos;
        if (number)
            n = std::stoi(word);
        // A nameless entry the kit ticks is installed, so a saved run lists it: taken as is.
        if (!number || n < 1 || n > kShownPrograms ||
            (catalogue.entry(n).name.empty() && !selection.at(static_cast<std::size_t>(n - 1))))
            wrong("programas", value,
                  "o programa " + word + " n\xe3o existe neste kit (programas de 1 a " +
                      std::to_string(kShownPrograms) + " com nome)");
        selection.at(static_cast<std::size_t>(n - 1)) = true;
    }
    return selection;
}

Browser browserChoice(const std::string& value) {
    const std::string v = upperAscii(value);
    if (v == "1")
        return Browser::First;
    if (v == "2")
        return Browser::Second;
    if (v == "NENHUM")
        return Browser::None;
    wrong("navegador", value, "use 1, 2 ou nenhum");
}

int portChoice(const std::string& value) {
    std::string v = upperAscii(value);
    if (v.starts_with("COM"))
        v.erase(0, 3);
    if (v.size() == 1 && v[0] >= '1' && v[0] <= '4')
        return v[0] - '1';
    wrong("porta", value, "use COM1, COM2, COM3 ou COM4");
}

bool spaceAnswer(const std::string& value) {
    const std::string v = upperAscii(value);
    if (v == "CONTINUAR")
        return true;
    if (v == "RECUSAR")
        return false;
    wrong("espaco_insuficiente", value, "use continuar ou recusar");
}

// A value as the profile reader gives it back: quoted when blanks at either end or quotes
// around it would otherwise be lost.
std::string profileValue(std::string_view value) {
    const bool needsQuotes =
        !value.empty() && (value.front() == ' ' || value.back() == ' ' || value.front() == '\t' ||
                           value.back() == '\t' || (value.front() == '"' && value.back() == '"'));
    return needsQuotes ? "\"" + std::string(value) + "\"" : std::string(value);
}

std::string withoutLineBreaks(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    return text;
}

// The file's content: refused by its type and its size before anything is read.
std::string readAnswersFile(const std::string& hostPath) {
    const std::string name = utf8ToCp1252(hostPath);
    const auto unreadable = [&](int error) {
        return UnreadableAnswers("N\xe3o foi poss\xedvel ler o arquivo de respostas " + name +
                                 (error == ENOENT ? "" : " (" + systemReason(error) + ")"));
    };
    struct stat st {};
    if (::stat(hostPath.c_str(), &st) != 0)
        throw unreadable(errno);
    if (!S_ISREG(st.st_mode))
        throw UnreadableAnswers("O arquivo de respostas " + notRegularFile(name, st.st_mode));
    const auto tooBig = [&] {
        return UnreadableAnswers("O arquivo de respostas " + name + " \xe9 grande demais");
    };
    if (static_cast<std::uint64_t>(st.st_size) > kMaxAnswersBytes)
        throw tooBig();
    // Checked again once open: the name may have been given to something else meanwhile.
    const FileDescriptor fd(::open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd)
        throw unreadable(errno);
    if (::fstat(fd.get(), &st) != 0)
        throw unreadable(errno);
    if (!S_ISREG(st.st_mode))
        throw UnreadableAnswers("O arquivo de respostas " + notRegularFile(name, st.st_mode));
    std::optional<std::string> content;
    try {
        content = readOpenHostFile(fd.get(), hostPath, static_cast<std::size_t>(st.st_size),
                                   kMaxAnswersBytes);
    } catch (const HostFileError& e) {
        throw unreadable(e.error());
    }
    if (!content)
        throw tooBig();
    return *content;
}

} // namespace

std::optional<std::string> userFileProblem(const std::string& hostPath, FileUse use) {
    const std::string name = utf8ToCp1252(hostPath);
    struct stat st {};
    const bool follow = use != FileUse::WriteNoLink;
    if ((follow ? ::stat(hostPath.c_str(), &st) : ::lstat(hostPath.c_str(), &st)) != 0) {
        const int error = errno;
        if (use == FileUse::Read || error != ENOENT)
            return use == FileUse::Read ? cannotReadFile(name, error)
                                        : cannotWriteFile(name, error);
        // A new file: its folder must take it.
        const std::string parent = std::filesystem::path(hostPath).parent_path().string();
        if (::access(parent.empty() ? "." : parent.c_str(), W_OK | X_OK) != 0)
            return cannotWriteFile(name, errno);
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode))
        return notRegularFile(name, st.st_mode);
    if (::access(hostPath.c_str(), use == FileUse::Read ? R_OK : W_OK) != 0)
        return use == FileUse::Read ? cannotReadFile(name, errno) : cannotWriteFile(name, errno);
    return std::nullopt;
}

void checkAnswersFile(const std::string& hostPath) {
    readAnswersFile(hostPath);
}

Answers readAnswers(const std::string& hostPath, const Catalogue& catalogue) {
    const std::string content = readAnswersFile(hostPath);
    bool inAnswers = false;
    int sectionLine = 0;
    std::map<std::string, int> keyLines; // each key given, by its line
    for (const ini::ScannedLine& line : ini::scan(content)) {
        if (line.kind == ini::ScannedLine::Kind::Section) {
            inAnswers = equalsNoCase(line.name, kAnswersSection);
            if (inAnswers && sectionLine != 0)
                throw WrongAnswer("A se\xe7\xe3o [Respostas] aparece de novo na linha " +
                                  std::to_string(line.number) + " (a primeira est\xe1 na linha " +
                                  std::to_string(sectionLine) + ")");
            if (inAnswers)
                sectionLine = line.number;
        } else if (line.kind == ini::ScannedLine::Kind::Key && inAnswers) {
            if (!knownKey(line.name)) // a misspelt key would leave its question to the default
                throw WrongAnswer("Chave desconhecida em [Respostas]: " + utf8ToCp1252(line.name));
            const auto [first, isNew] = keyLines.emplace(upperAscii(line.name), line.number);
            if (!isNew)
                throw WrongAnswer("A chave " + utf8ToCp1252(line.name) +
                                  " aparece de novo em [Respostas] na linha " +
                                  std::to_string(line.number) + " (a primeira est\xe1 na linha " +
                                  std::to_string(first->second) + ")");
        }
    }
    if (sectionLine == 0)
        throw UnreadableAnswers("O arquivo de respostas " + utf8ToCp1252(hostPath) +
                                " n\xe3o tem a se\xe7\xe3o [Respostas]");

    // The file is UTF-8, as typed in a terminal; the machine's texts are code page 1252.
    const auto get = [&](std::string_view key) -> std::optional<std::string> {
        auto value = ini::lookup(content, kAnswersSection, key);
        if (value)
            return utf8ToCp1252(*value);
        return std::nullopt;
    };
    Answers answers;
    if (const auto v = get("tipo"))
        answers.installation = installationType(*v);
    if (const auto v = get("destino"))
        answers.destination = *v;
    if (const auto v = get("programas")) {
        ProgramSelection kit{};
        for (int n = 1; n <= kProgramEntries; ++n)
            kit.at(static_cast<std::size_t>(n - 1)) = catalogue.entry(n).preselected;
        answers.programs = programSelection(*v, catalogue, kit);
    }
    if (const auto v = get("navegador"))
        answers.browser = browserChoice(*v);
    if (const auto v = get("porta"))
        answers.port = portChoice(*v);
    answers.initCommand = get("modem_inicializacao");
    answers.dialCommand = get("modem_discagem");
    if (const auto v = get("espaco_insuficiente"))
        answers.continueShortOfSpace = spaceAnswer(*v);
    for (const FormKey& f : kFormKeys) {
        if (const auto v = get(f.key)) {
            if (!answers.registration)
                answers.registration.emplace();
            (*answers.registration).*f.field = *v;
        }
    }
    // The page proposes the kit's password; only a given one replaces it.
    if (answers.registration && !get("senha"))
        answers.registration->password = catalogue.settings.suggestedPassword;
    if (const auto v = ini::lookup(content, kAnswersSection, "impressao_pdf"))
        answers.pdfFile = *v; // a host path: kept in UTF-8
    return answers;
}

void applyAnswers(const Answers& answers, Choices& choices) {
    if (answers.installation)
        choices.installation = *answers.installation;
    if (answers.destination)
        choices.destination = withTrailingBackslash(*answers.destination);
    if (answers.programs)
        choices.programs = *answers.programs;
    if (answers.browser)
        choices.browser = *answers.browser;
    if (answers.port)
        choices.modem.port = answers.port;
    if (answers.initCommand)
        choices.modem.initCommand = *answers.initCommand;
    if (answers.dialCommand)
        choices.modem.dialCommand = *answers.dialCommand;
    choices.registration = answers.registration.value_or(RegistrationForm{});
    choices.continueShortOfSpace = answers.continueShortOfSpace;
}

std::string formatAnswers(const Choices& choices) {
    std::string text = "; Respostas de uma instala\xe7\xe3o, para repeti-la com\r\n"
                       "; SETUP --answers ARQUIVO\r\n[Respostas]\r\n";
    const auto line = [&](std::string_view key, std::string_view value) {
        text +=
            std::string(key) + "=" + profileValue(withoutLineBreaks(std::string(value))) + "\r\n";
    };
    line("tipo", choices.installation == InstallationType::Custom ? "personalizada" : "tipica");
    line("destino", choices.destination);
    std::string programs;
    for (int n = 1; n <= kShownPrograms; ++n)
        if (choices.installs(n))
            programs += (programs.empty() ? "" : ",") + std::to_string(n);
    line("programas", programs.empty() ? "nenhum" : programs);
    line("navegador", choices.browser == Browser::First    ? "1"
                      : choices.browser == Browser::Second ? "2"
                                                           : "nenhum");
    if (choices.modem.port)
        line("porta", "COM" + std::to_string(*choices.modem.port + 1));
    // The dialer takes the two commands together or neither: one alone would be refused.
    const bool commands = !choices.modem.initCommand.empty() && !choices.modem.dialCommand.empty();
    line("modem_inicializacao", commands ? choices.modem.initCommand : "");
    line("modem_discagem", commands ? choices.modem.dialCommand : "");
    line("espaco_insuficiente", choices.continueShortOfSpace ? "continuar" : "recusar");
    text +=
        "; O cadastro n\xe3o \xe9 guardado: para imprimi-lo, preencha nome, telefone_comercial,\r\n"
        "; cartao_numero etc. e impressao_pdf.\r\n";
    return cp1252ToUtf8(text);
}

void writePrivateFile(const std::string& hostPath, std::string_view text) {
    const auto fail = [&](int error) {
        return PlatformError(cannotWriteFile(utf8ToCp1252(hostPath), error));
    };
    // The one atomic writer: never half written. A file it replaces keeps its mode, so one
    // already there is made its owner's alone first; a link someone else planted is refused,
    // and so is anything but a regular file (a pipe or a device would not be replaced).
    struct stat st {};
    if (::lstat(hostPath.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode) && st.st_uid != ::geteuid())
            throw fail(EPERM);
        if (::stat(hostPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
            throw PlatformError(notRegularFile(utf8ToCp1252(hostPath), st.st_mode));
        if (S_ISREG(st.st_mode) && (st.st_mode & 077) &&
            ::chmod(hostPath.c_str(), st.st_mode & 0700) != 0)
            throw fail(errno);
    }
    try {
        writeHostFile(hostPath, text, 0600);
    } catch (const HostFileError& e) {
        throw fail(e.error());
    }
}

} // namespace zel
