#pragma once
// The wizard's own texts that its code shows or reports, in code page 1252, each written once
// here. The pages' fixed texts are in their layouts, the printout's lines beside its layout
// (setup/registration.cpp).
#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/machine.h"
#include "winemu/machine_lock.h"

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// --- Start-up, and the uninstaller's: a machine directory the user may not trust, or one
// that another program is changing
inline std::string foreignMachine(const ForeignPrefixError& e) {
    const std::string machine = "A m\xe1quina " + utf8ToCp1252(e.prefix().string());
    switch (e.reason()) {
    case ForeignPrefixError::Reason::OtherOwner: return machine + " pertence a outro usu\xe1rio";
    case ForeignPrefixError::Reason::WritableByOthers:
        return machine + " pode ser alterada por outros usu\xe1rios";
    case ForeignPrefixError::Reason::ReachedThroughOthers: break;
    }
    return machine + " \xe9 alcan\347ada por " + utf8ToCp1252(e.through().string()) +
           ", que outros usu\xe1rios podem alterar";
}
inline std::string machineBusy(const MachineBusyError& e) {
    return std::string(e.what()) + "; tente de novo quando ele terminar";
}

// --- The welcome page
inline constexpr const char* kWelcomeCaption = "ZEL - Windows 95/NT";
inline std::string cannotRunProgram(std::string_view path) {
    return "N\xe3o foi poss\xedvel executar o programa " + std::string(path);
}

// --- The registration page, a partly filled form
inline constexpr const char* kIncompleteRegistration =
    "O preenchimento do cadastro est\xe1 INCOMPLETO, por favor, verifique os dados novamente";
inline constexpr const char* kIncompleteRegistrationCaption = "Aviso";

// --- The custom-installation page and its directory chooser
inline constexpr const char* kNoBrowser = "N\xe3o instalar navegador";
inline std::string spaceLine(std::int64_t requiredKbytes) {
    return "Espa\xe7o necess\xe1rio: " + std::to_string(requiredKbytes) + "k";
}
inline constexpr const char* kUnavailableDirectory =
    "Este drive e/ou diret\xf3rio n\xe3o est\xe1 dispon\xedvel";
inline constexpr const char* kUnavailableDirectoryCaption = "Instala\xe7\xe3o Personalizada";
// A destination Windows would refuse, or one that depends on the current directory.
inline std::string refusedDestinationCharacter(std::string_view destination, char c) {
    const auto code = static_cast<unsigned char>(c);
    const std::string named = code < 0x20 ? "um caractere de controle (c\xf3"
                                            "digo " +
                                                std::to_string(code) + ")"
                                          : std::string("o caractere ") + c;
    // The destination as shown: a control character would reach a terminal as it is.
    std::string shown(destination);
    for (char& d : shown)
        if (static_cast<unsigned char>(d) < 0x20)
            d = '?';
    return "O destino " + shown + " cont\xe9m " + named +
           ", que o Windows n\xe3o aceita em nomes de arquivos e diret\xf3rios";
}
inline std::string relativeDestination(std::string_view destination) {
    return "O destino " + std::string(destination) +
           " n\xe3o \xe9 um caminho completo: indique o drive e o diret\xf3rio, como "
           "C:\\INTERNET\\";
}

// --- The connection page
// Without its description a kit names nothing to install (the pages would show "erro!").
inline constexpr const char* kNoKitDescription =
    "N\xe3o foi encontrado o arquivo que descreve o kit: ";
inline constexpr const char* kNoPort = "Voc\xea precisa selecionar uma porta serial";
inline constexpr const char* kNoPortCaption = "Porta Serial";

// --- The copy page: the space question and the installation's lines and error
inline std::string spaceQuestionText(std::string_view drive, std::int64_t freeKbytes,
                                     std::int64_t requiredKbytes) {
    return "O drive " + std::string(drive) + " aparenta ter apenas " + std::to_string(freeKbytes) +
           "kbytes livres.\rVoc\xea necessita de " + std::to_string(requiredKbytes) +
           "kbytes. Deseja continuar?";
}
inline constexpr const char* kSpaceQuestionCaption = "Espa\xe7o em disco";
// A destination whose drive the machine does not have (or cannot reach): nothing to ask about.
inline std::string unavailableDestination(std::string_view destination) {
    return "O drive do destino " + std::string(destination) +
           " n\xe3o existe ou n\xe3o est\xe1 dispon\xedvel";
}
inline constexpr const char* kUnavailableDestinationCaption = "Destino da instala\xe7\xe3o";
inline std::string installingProgram(std::string_view name) {
    return "Instalando " + std::string(name);
}
inline std::string copyingFile(std::string_view name) {
    return "\tCopiando " + std::string(name);
}
inline std::string notDialerSettings(std::string_view file, std::string_view why) {
    return "O arquivo de configura\xe7\xe3o do discador " + std::string(file) +
           " n\xe3o \xe9 um arquivo de perfil de texto (" + std::string(why) +
           "): nada foi gravado nele";
}
inline std::string copyFailed(std::string_view source, std::string_view target) {
    return "Erro copiando arquivo " + std::string(source) + " para " + std::string(target);
}

// --- An unattended installation: what stops it, in the order the pages would meet it
inline constexpr const char* kRegistrationWithoutPdf =
    "O cadastro est\xe1 preenchido, mas falta impressao_pdf, o arquivo onde imprimi-lo";
inline constexpr const char* kPdfWithoutRegistration =
    "impressao_pdf foi dado, mas o cadastro est\xe1 vazio";
inline constexpr const char* kSpaceRefused =
    "Instala\xe7\xe3o n\xe3o realizada: falta espa\xe7o em disco (responda "
    "espaco_insuficiente=continuar para instalar assim mesmo)";
inline constexpr const char* kInstalled = "Instala\xe7\xe3o conclu\xed"
                                          "da";
inline constexpr const char* kCancelled = "Instala\xe7\xe3o cancelada pelo usu\xe1rio";
inline std::string modemCommandAlone(std::string_view given, std::string_view empty) {
    return std::string(given) + " foi dado, mas " + std::string(empty) +
           " est\xe1 vazio: o discador s\xf3 usa os dois comandos juntos";
}
inline constexpr const char* kWizardCannotStart = "O assistente n\xe3o p\xf4"
                                                  "de iniciar";

// --- Printing the registration form
inline constexpr const char* kPrintCannotStart = "N\xe3o foi poss\xedvel iniciar a impress\xe3o";
inline constexpr const char* kPrintNoPrinter =
    "Nenhuma impressora dispon\xedvel para a impress\xe3o";
inline constexpr const char* kPrintNotStarted = "Nenhum documento de impress\xe3o foi iniciado";
inline constexpr const char* kPrintCannotFinish = "N\xe3o foi poss\xedvel concluir a impress\xe3o";

// --- The finish page: what Program Manager did not create
inline std::string lostGroupLine(std::string_view group) {
    return "Grupo \"" + std::string(group) + "\"";
}
inline std::string lostItemLine(std::string_view item, std::string_view group) {
    return "Item \"" + std::string(item) + "\" do grupo \"" + std::string(group) + "\"";
}
inline std::string progmanLoss(const std::vector<std::string>& lines) {
    std::string text = "O Gerenciador de Programas n\xe3o criou os seguintes grupos e itens:\r";
    for (const std::string& line : lines)
        text += "\r" + line;
    return text;
}
inline constexpr const char* kProgmanLossCaption = "Gerenciador de Programas";

// --- Files the user names (the answers, the log, the printout, the saved answers)
inline std::string cannotWriteFile(std::string_view path, int error) {
    return "N\xe3o foi poss\xedvel gravar " + std::string(path) + " (" + systemReason(error) + ")";
}
inline std::string cannotReadFile(std::string_view path, int error) {
    return "N\xe3o foi poss\xedvel ler " + std::string(path) + " (" + systemReason(error) + ")";
}

} // namespace zel
