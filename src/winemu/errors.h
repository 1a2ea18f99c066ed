#pragma once
// The one family of errors: every failure is raised as a PlatformError, its kinds as
// subclasses beside the code that raises them (HostFileError, ForeignPrefixError, FileCopyError,
// UnreadableAnswers, WrongAnswer, zel-kit's PackError), so a caller catches the
// kind it handles and lets the rest reach the general error report. Every raised error carries
// the message the user sees there (the report adds the final ".").
#include <cerrno>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zel {

class PlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The system's reason for a failed file operation, in the user's words.
inline std::string systemReason(int error) {
    switch (error) {
    case ENOENT: return "arquivo ou pasta inexistente";
    case ENOTDIR: return "parte do caminho n\xe3o \xe9 uma pasta";
    case EACCES:
    case EPERM: return "permiss\xe3o negada";
    case EISDIR: return "\xe9 uma pasta";
    case ENOSPC: return "o disco est\xe1 cheio";
    case EDQUOT: return "a cota de disco foi excedida";
    case EROFS: return "o disco \xe9 somente de leitura";
    case EFBIG: return "o arquivo ficou grande demais";
    case EIO: return "erro de leitura ou grava\xe7\xe3o no disco";
    case ELOOP: return "\xe9 um link simb\xf3lico";
    case ENAMETOOLONG: return "nome longo demais";
    case ENXIO:
    case ENODEV: return "dispositivo inexistente";
    default: return "erro " + std::to_string(error);
    }
}
// What is there instead of a regular file, by its type bits (st_mode).
inline std::string notRegularFile(std::string_view path, unsigned mode) {
    const unsigned type = mode & 0170000u;
    const char* kind = type == 0040000u                       ? "uma pasta"
                       : type == 0010000u                     ? "um pipe"
                       : type == 0120000u                     ? "um link simb\xf3lico"
                       : type == 0140000u                     ? "um socket"
                       : type == 0020000u || type == 0060000u ? "um dispositivo"
                                                              : "algo desconhecido";
    return std::string(path) + " n\xe3o \xe9 um arquivo comum (\xe9 " + kind + ")";
}

} // namespace zel
