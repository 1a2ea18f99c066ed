#pragma once
// The answers of an unattended installation: a profile file whose [Respostas] section holds
// what the pages would ask (README.md, "Unattended installation", lists the keys). Read into
// the choices the pages would have filled, and written back from them for a replay.
#include "setup/catalogue.h"
#include "setup/choices.h"
#include "setup/registration.h"
#include "winemu/errors.h"

#include <optional>
#include <string>
#include <string_view>

namespace zel {

inline constexpr std::string_view kAnswersSection = "Respostas";

// An answers file that cannot be read, or holds no [Respostas] section.
class UnreadableAnswers : public PlatformError {
public:
    using PlatformError::PlatformError;
};
// An answer no page would take (an unknown key or program, a bad port...). Its message is
// code page 1252.
class WrongAnswer : public PlatformError {
public:
    using PlatformError::PlatformError;
};

struct Answers {
    // Each missing one leaves the page's own proposal.
    std::optional<InstallationType> installation;
    std::optional<std::string> destination;   // as typed; the pages add the final "\"
    std::optional<ProgramSelection> programs; // entries 1 to 10; the others keep the kit's
    std::optional<Browser> browser;
    std::optional<int> port; // 0..3
    std::optional<std::string> initCommand, dialCommand;
    // The registration form: nothing when no field is given (the form is left empty). A
    // missing password is the kit's proposal, as on the page.
    std::optional<RegistrationForm> registration;
    std::string pdfFile;               // the host file the registration is printed to
    bool continueShortOfSpace = false; // the answer to the space question
};

// Reads the file (a host path): a regular file of at most 1 MiB, its size known before it is
// read. Raises UnreadableAnswers or WrongAnswer; a program number is wrong when the custom
// page would not show it (outside 1 to 10, or no program there) unless the kit ticks it
// anyway; a key or the [Respostas] section given twice is wrong (which one would count?).
Answers readAnswers(const std::string& hostPath, const Catalogue& catalogue);

// Raises UnreadableAnswers as readAnswers does for a file it cannot read: the check made
// before anything else is done.
void checkAnswersFile(const std::string& hostPath);

// The choices with the answers given laid over them.
void applyAnswers(const Answers& answers, Choices& choices);

// The answers file for the choices an interactive run ended with (UTF-8 text). The
// registration is left out: a card number and a password are not kept in a file to replay.
std::string formatAnswers(const Choices& choices);

// How a file the user names is used: read, written (through the user's own link, as the
// saved answers are), or written never through a link (the log, the printout).
enum class FileUse { Read, Write, WriteNoLink };

// Why the host file the user named cannot be used so (code page 1252), or nothing. Anything
// but a regular file is refused without being opened, so that a pipe or a device can neither
// hold the run up nor take what was meant for a file; a file to write may be missing, when
// its folder takes new files.
std::optional<std::string> userFileProblem(const std::string& hostPath, FileUse use);

// Writes the text to a new file only its owner can read (replacing one there); raises
// PlatformError when it cannot.
void writePrivateFile(const std::string& hostPath, std::string_view text);

} // namespace zel
