// zel-setup: the setup wizard of the ZEL Internet access kit.
#include "app/display.h"
#include "app/helpers.h"
#include "app/medium.h"
#include "app/start.h"
#include "services/ui.h"
#include "setup/answers.h"
#include "setup/messages.h"
#include "setup/unattended.h"
#include "winemu/cp1252.h"
#include "winemu/desktop_places.h"
#include "winemu/host_file.h"
#include "winemu/journal_writer.h"
#include "winemu/log_file.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The machine's options; `medium` is opened here (an image extracted) when --medium named one,
// so that what it cannot use is told as the machine's other reasons are (a box with the pages).
zel::Machine::Options machineOptions(const std::optional<std::string>& mediumArg,
                                     std::optional<zel::Medium>& medium) {
    zel::Machine::Options options;
    options.prefix = zel::Machine::defaultPrefix();
    options.programHostPath = zel::Machine::runningExecutable();
    options.hostWorkingDir = fs::current_path();
    if (mediumArg) {
        medium.emplace(*mediumArg);
        options.mediumHostDir = medium->dir();
    }
    const zel::HelperPrograms helpers =
        zel::requireHelpers(options.programHostPath, options.mediumHostDir);
    options.progmanHostPath = helpers.progman;
    options.uninstallerHostPath = helpers.uninstaller;
    options.installProgman = true;
    options.lockWait = std::chrono::seconds(3); // one writer at a time: see MachineLock
    return options;
}

struct CommandLine {
    bool help = false, version = false;
    std::optional<std::string> answers, saveAnswers, log, medium;
};

void usage(std::ostream& out, const std::string& program) {
    out << "Uso: " << program << " [--answers ARQUIVO] [--save-answers ARQUIVO] [--log ARQUIVO]\n"
        << "     " << program << " --medium PASTA|IMAGEM.iso [as mesmas op\u00e7\u00f5es]\n"
        << "     " << program << " --help | --version\n"
        << "Instala o kit de acesso ZEL Internet descrito pelo SETUP.INI ao lado do programa.\n"
        << "  --medium PASTA|IMAGEM   instala o kit de outra m\u00eddia: uma pasta com SETUP.INI\n"
        << "                          (um CD montado) ou uma imagem de CD (ISO 9660)\n"
        << "  --answers ARQUIVO       instala sem mostrar p\u00e1ginas nem precisar de tela, com\n"
        << "                          as respostas do arquivo (se\u00e7\u00e3o [Respostas])\n"
        << "  --save-answers ARQUIVO  grava as respostas dadas nas p\u00e1ginas, para repetir a\n"
        << "                          instala\u00e7\u00e3o com --answers\n"
        << "  --log ARQUIVO           acrescenta ao arquivo cada mudan\u00e7a feita na "
           "m\u00e1quina\n"
        << "  --help                  mostra este texto\n"
        << "  --version               mostra a vers\u00e3o\n"
        << "Sa\u00edda: 0 instalado, 1 falhou, 2 uso incorreto, 3 cancelado pelo usu\u00e1rio.\n";
}

// Nothing when the arguments are not understood (the reason in `error`).
std::optional<CommandLine> parse(int argc, char** argv, std::string& error) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            inlineValue = std::string(arg.substr(eq + 1));
            arg = arg.substr(0, eq);
        }
        std::optional<std::string>* target = nullptr;
        if (arg == "--answers")
            target = &line.answers;
        else if (arg == "--save-answers")
            target = &line.saveAnswers;
        else if (arg == "--log")
            target = &line.log;
        else if (arg == "--medium")
            target = &line.medium;
        if (target == nullptr && !inlineValue && (arg == "--help" || arg == "-h")) {
            line.help = true;
            continue;
        }
        if (target == nullptr && !inlineValue && arg == "--version") {
            line.version = true;
            continue;
        }
        if (target == nullptr) {
            error = "argumento desconhecido: " + std::string(argv[i]);
            return std::nullopt;
        }
        const std::string needs =
            std::string(arg) +
            (target == &line.medium ? " precisa de uma pasta ou imagem" : " precisa de um arquivo");
        if (!inlineValue && i + 1 >= argc) {
            error = needs;
            return std::nullopt;
        }
        const std::string value = inlineValue ? *inlineValue : std::string(argv[++i]);
        if (value.empty() || target->has_value()) {
            error = value.empty() ? needs : std::string(arg) + " dado duas vezes";
            return std::nullopt;
        }
        *target = value;
    }
    if (line.answers && line.saveAnswers) {
        error = "--save-answers grava as respostas das p\u00e1ginas, que --answers n\u00e3o mostra";
        return std::nullopt;
    }
    return line;
}

// Why a file the user named cannot be used (a line in UTF-8), or nothing: asked before anything is
// installed, so that a run is not lost for a log or answers it could not write at the end.
std::optional<std::string> fileProblem(const CommandLine& line, const std::string& program) {
    const struct {
        const char* option;
        const std::optional<std::string>& file;
        zel::FileUse use;
    } files[] = {
        {"--log", line.log, zel::FileUse::WriteNoLink},
        {"--save-answers", line.saveAnswers, zel::FileUse::Write},
    };
    if (line.answers) {
        try {
            zel::checkAnswersFile(*line.answers);
        } catch (const zel::UnreadableAnswers& e) {
            return zel::cp1252ToUtf8(e.what());
        }
    }
    for (const auto& [option, file, use] : files)
        if (file)
            if (const auto problem = zel::userFileProblem(*file, use))
                return program + ": " + option + ": " + zel::cp1252ToUtf8(*problem);
    return std::nullopt;
}

// Where the run's changes are told while it lasts: the --log file, and the machine's
// installation journal, which the uninstaller takes back.
class Records {
public:
    // Raises when the log file cannot be opened.
    explicit Records(const CommandLine& line) {
        if (line.log) {
            logPath_ = *line.log;
            try {
                log_ = std::make_unique<zel::LogFile>(*line.log);
            } catch (const zel::LogFileError& e) {
                const std::string name = zel::utf8ToCp1252(*line.log);
                throw zel::PlatformError(e.mode ? zel::notRegularFile(name, e.mode)
                                                : zel::cannotWriteFile(name, e.error));
            }
            log_->write(std::string("begin zel-setup ") + ZEL_VERSION +
                        (line.answers ? " --answers " + zel::escapeControls(*line.answers)
                                      : std::string(" (pages)")));
            // Its first line is the check that it takes any: a full disk stops the run here.
            if (const auto incomplete = logProblem())
                throw zel::PlatformError(zel::utf8ToCp1252(*incomplete));
            logged_.emplace(*log_);
        }
        try {
            journal_ = std::make_unique<zel::InstallJournal>(zel::Machine::defaultPrefix());
            journaled_.emplace(*journal_);
        } catch (const std::exception&) {
            // No prefix to name: the machine itself refuses to start and says why.
        }
    }

    // The run's status, once the user was warned of a journal that missed a change; a log
    // that missed one makes an installation a failure (the record asked for is not there).
    int end(int status, const std::string& program) {
        // The menu is the Program Manager server's, made after it answers: one it cannot write
        // is said here, and the installation still counts as done, as the finish page says.
        if (status == zel::kExitInstalled)
            if (const auto places = zel::desktopPlaces())
                if (const auto problem = zel::desktopPlacesProblem(*places)) {
                    const std::string line =
                        "aviso: as entradas do menu da \u00e1rea de trabalho n\u00e3o podem ser "
                        "gravadas em " +
                        zel::cp1252ToUtf8(*problem);
                    std::cerr << program << ": " << line << '\n';
                    if (log_)
                        log_->write(line);
                }
        if (log_)
            log_->close();
        if (const auto incomplete = logProblem()) {
            std::cerr << program << ": " << *incomplete << '\n';
            if (status == zel::kExitInstalled)
                status = zel::kExitFailed;
        }
        if (journal_ && !journal_->failure().empty())
            std::cerr
                << program
                << ": aviso: o registro da instala\u00e7\u00e3o para o desinstalador est\u00e1 "
                   "incompleto ("
                << zel::cp1252ToUtf8(journal_->failure()) << ")\n";
        return status;
    }

private:
    // Nothing, or why the log is incomplete (UTF-8).
    std::optional<std::string> logProblem() const {
        if (!log_ || log_->writeError() == 0)
            return std::nullopt;
        return "o registro da instala\u00e7\u00e3o est\u00e1 incompleto: " +
               zel::cp1252ToUtf8(
                   zel::cannotWriteFile(zel::utf8ToCp1252(logPath_), log_->writeError()));
    }

    std::string logPath_;
    std::unique_ptr<zel::LogFile> log_;
    std::optional<zel::JournalSubscription> logged_;
    std::unique_ptr<zel::InstallJournal> journal_;
    std::optional<zel::JournalSubscription> journaled_;
};

// The wizard with its pages; the answers saved once the installation is complete.
int runPages(int& argc, char** argv, const CommandLine& line, const std::string& program,
             const std::function<zel::Machine::Options()>& machine) {
    zel::WizardRun run;
    run.machine = machine;
    run.cannotStart = [](zel::UiServices& ui, const std::string& reason) {
        ui.reportError(reason); // the box, and the same on the standard error
    };
    if (line.saveAnswers)
        run.installed = [&](const zel::Choices& choices) -> std::string {
            try {
                zel::writePrivateFile(*line.saveAnswers, zel::formatAnswers(choices));
                return {};
            } catch (const std::exception& e) {
                std::cerr << program << ": " << zel::cp1252ToUtf8(e.what()) << '\n';
                return e.what();
            }
        };
    return zel::runWizard(argc, argv, run);
}

} // namespace

int main(int argc, char* argv[]) {
    const std::string program = argc > 0 ? fs::path(argv[0]).filename().string() : "zel-setup";
    std::string error;
    const std::optional<CommandLine> line = parse(argc, argv, error);
    if (!line) {
        std::cerr << program << ": " << error << '\n';
        usage(std::cerr, program);
        return zel::kExitUsage;
    }
    if (line->help || line->version) {
        if (line->help)
            usage(std::cout, program);
        else
            std::cout << "zel-setup " << ZEL_VERSION << '\n';
        return 0;
    }
    // The pages need a display: without one Qt would abort before a word to the user.
    if (!line->answers && !zel::displayAvailable()) {
        std::cerr << program
                  << ": n\u00e3o h\u00e1 tela para mostrar o assistente (DISPLAY ou "
                     "WAYLAND_DISPLAY n\u00e3o indica uma tela dispon\u00edvel).\n"
                  << program << ": para instalar sem tela, use --answers ARQUIVO (veja --help).\n";
        return zel::kExitFailed;
    }
    if (const auto problem = fileProblem(*line, program)) {
        std::cerr << *problem << '\n';
        return zel::kExitUsage;
    }
    std::optional<Records> records;
    try {
        records.emplace(*line);
    } catch (const std::exception& e) {
        std::cerr << program << ": " << zel::cp1252ToUtf8(e.what()) << '\n';
        return zel::kExitUsage;
    }
    // An image's extraction lasts the run and is removed when it ends, however it ends.
    std::optional<zel::Medium> medium;
    const auto machine = [&] { return machineOptions(line->medium, medium); };
    // Each run tells its outcome.
    return records->end(line->answers
                            ? zel::runUnattendedInstallation(argc, argv, {machine, *line->answers})
                            : runPages(argc, argv, *line, program, machine),
                        program);
}
