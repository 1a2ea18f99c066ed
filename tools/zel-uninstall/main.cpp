// zel-uninstall: takes the latest installation on the machine back, as its journal tells it.
// The kit's C:\WINDOWS\zelun.exe starts it, so the uninstall key's command really uninstalls.
#include "tools/zel-uninstall/undo.h"

#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/machine_lock.h"
#include "services/ui.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kTitle = "Desinstalador ZEL Internet";

constexpr const char* kUsage =
    "Uso: zel-uninstall [--quiet]\n"
    "     zel-uninstall --help | --version\n"
    "Desfaz a \u00faltima instala\u00e7\u00e3o do kit ZEL Internet na m\u00e1quina "
    "($ZEL_PREFIX), na ordem\n"
    "inversa do registro que ela deixou. Arquivos alterados depois da instala\u00e7\u00e3o "
    "s\u00e3o mantidos.\n"
    "  --quiet    diz o que n\u00e3o foi desfeito s\u00f3 na sa\u00edda de erros, sem "
    "janela\n"
    "  --help     mostra este texto\n"
    "  --version  mostra a vers\u00e3o\n"
    "Sa\u00edda: 0 tudo desfeito, 1 algo n\u00e3o foi desfeito, 2 uso incorreto.\n";

// A box nobody could see would wait for ever: none without a screen.
bool haveDisplay() {
    if (const char* platform = std::getenv("QT_QPA_PLATFORM"); platform && *platform)
        return std::string_view(platform) != "offscreen" && std::string_view(platform) != "minimal";
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value)
            return true;
    return false;
}

// Tells the user: always on the standard error, and in a box unless quiet.
int finish(int argc, char** argv, bool quiet, const std::string& summary,
           const std::vector<std::string>& problems) {
    std::string text = summary;
    for (const std::string& line : problems) {
        std::cerr << "zel-uninstall: " << line << '\n';
        text += "\n\u2022 " + line + ".";
    }
    std::cerr << "zel-uninstall: " << summary << '\n';
    if (!quiet && haveDisplay()) {
        QApplication app(argc, argv);
        if (problems.empty())
            QMessageBox::information(nullptr, kTitle, QString::fromStdString(text));
        else
            QMessageBox::warning(nullptr, kTitle, QString::fromStdString(text));
    }
    return problems.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--quiet" || arg == "-q") {
            quiet = true;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--version") {
            std::cout << "zel-uninstall (zel-setup) " ZEL_VERSION "\n";
            return 0;
        } else {
            std::cerr << "zel-uninstall: argumento desconhecido: " << arg << '\n' << kUsage;
            return 2;
        }
    }

    fs::path prefix;
    std::optional<zel::MachineLock> lock;
    try {
        std::error_code ec;
        prefix = fs::absolute(zel::Machine::defaultPrefix(), ec);
        if (ec || !fs::is_directory(prefix, ec))
            return finish(argc, argv, quiet, "Nada foi desinstalado.",
                          {"N\u00e3o h\u00e1 m\u00e1quina em " + prefix.string() +
                           " (ZEL_PREFIX indica a pasta da m\u00e1quina)"});
        zel::Machine::refuseForeignPrefix(prefix);
        lock.emplace(prefix, std::chrono::seconds(3)); // never beside an installation under way
    } catch (const zel::MachineBusyError& e) {
        return finish(argc, argv, quiet, "Nada foi desinstalado.",
                      {"A m\u00e1quina " + e.prefix().string() +
                       " est\u00e1 sendo alterada por outro programa (uma instala\u00e7\u00e3o "
                       "ou desinstala\u00e7\u00e3o); tente de novo quando ele terminar"});
    } catch (const std::exception& e) {
        return finish(argc, argv, quiet, "Nada foi desinstalado.",
                      {zel::cp1252ToUtf8(e.what())});
    }

    const std::optional<fs::path> journal = zel::latestJournal(prefix);
    if (!journal)
        return finish(argc, argv, quiet,
                      "N\u00e3o h\u00e1 instala\u00e7\u00e3o a desfazer nesta m\u00e1quina.", {});
    std::vector<std::string> problems;
    try {
        const std::vector<zel::JournalRecord> records = zel::readJournal(*journal);
        zel::Machine::Options options;
        options.prefix = prefix;
        options.programHostPath = zel::Machine::runningExecutable();
        options.hostWorkingDir = prefix / "drive_c";
        zel::Machine machine(options);
        zel::ConsoleUi ui("zel-uninstall: ", "");
        zel::Programs programs(machine, ui);
        problems = zel::uninstall::undoJournal(machine, programs, records,
                                               zel::keptDirectory(*journal))
                       .problems;
        if (problems.empty()) {
            // Done: the journal is kept as undone, so a second run has nothing to take back.
            zel::markJournalUndone(*journal);
            std::error_code ec;
            fs::remove_all(zel::keptDirectory(*journal), ec);
        }
    } catch (const std::exception& e) {
        problems.push_back("A desinstala\u00e7\u00e3o foi interrompida: " +
                           zel::cp1252ToUtf8(e.what()));
    }
    return finish(argc, argv, quiet,
                  problems.empty() ? "Desinstala\u00e7\u00e3o conclu\u00edda."
                                   : "Desinstala\u00e7\u00e3o conclu\u00edda, mas nem tudo "
                                     "foi desfeito:",
                  problems);
}
