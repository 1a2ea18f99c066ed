// zel-uninstall: takes the latest installation on the machine back, as its journal tells it.
// The kit's C:\WINDOWS\zelun.exe starts it, so the uninstall key's command really uninstalls.
#include "tools/zel-uninstall/undo.h"

#include "app/display.h"

#include "services/ui.h"
#include "setup/messages.h"
#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/machine_lock.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QString>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
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

// A box nobody could see would wait for ever: none without a screen, nor on Qt's platforms
// that show nothing.
bool haveDisplay() {
    if (const char* platform = std::getenv("QT_QPA_PLATFORM"); platform && *platform)
        return std::string_view(platform) != "offscreen" && std::string_view(platform) != "minimal";
    return zel::displayAvailable();
}

// The application, or nothing when no window can be shown after all (a display named but not
// answering): Qt is asked to fall back to its platform without a screen rather than abort,
// which would come after the work is done and hide its outcome.
std::unique_ptr<QApplication> application(int& argc, char** argv) {
    // Only for the application's start: the programs it starts get the user's environment.
    struct Setting {
        Setting(const char* name, const std::string& value) : name(name) {
            if (const char* was = std::getenv(name))
                old = was;
            ::setenv(name, (old ? *old : value).c_str(), 1);
        }
        ~Setting() {
            if (old)
                ::setenv(name, old->c_str(), 1);
            else
                ::unsetenv(name);
        }
        const char* name;
        std::optional<std::string> old;
    };
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const Setting platform("QT_QPA_PLATFORM",
                           wayland && *wayland ? "wayland;xcb;offscreen" : "xcb;offscreen");
    const Setting quiet("QT_LOGGING_RULES", "qt.qpa.*=false"); // its English on the way down
    auto app = std::make_unique<QApplication>(argc, argv);
    if (QGuiApplication::platformName() == "offscreen")
        return nullptr;
    return app;
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
        const std::unique_ptr<QApplication> app = application(argc, argv);
        if (!app)
            return problems.empty() ? 0 : 1;
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

    const auto nothingUndone = [&](const std::vector<std::string>& why) {
        return finish(argc, argv, quiet, "Nada foi desinstalado.", why);
    };
    fs::path prefix;
    std::optional<zel::MachineLock> lock;
    try {
        std::error_code ec;
        prefix = fs::absolute(zel::Machine::defaultPrefix(), ec);
        if (ec || !fs::is_directory(prefix, ec))
            return nothingUndone({"N\u00e3o h\u00e1 m\u00e1quina em " + prefix.string() +
                                  " (ZEL_PREFIX indica a pasta da m\u00e1quina)"});
        zel::Machine::refuseForeignPrefix(prefix);
        lock.emplace(prefix, std::chrono::seconds(3)); // never beside an installation under way
    } catch (const zel::ForeignPrefixError& e) {
        return nothingUndone({zel::cp1252ToUtf8(zel::foreignMachine(e))});
    } catch (const zel::MachineBusyError& e) {
        return nothingUndone({zel::cp1252ToUtf8(zel::machineBusy(e))});
    } catch (const std::exception& e) {
        return nothingUndone({zel::cp1252ToUtf8(e.what())});
    }

    // The newest installation with something to undo: one stopped before its first change was
    // kept changed nothing, and is set aside as undone. Then its machine: one that cannot be
    // opened (a part of it made unusable) has had nothing undone either.
    std::optional<fs::path> journal;
    std::vector<zel::JournalRecord> records;
    std::optional<zel::Machine> opened;
    try {
        while ((journal = zel::latestJournal(prefix)) &&
               (records = zel::readJournal(*journal)).empty())
            zel::markJournalUndone(*journal);
        if (!journal)
            return finish(argc, argv, quiet,
                          "N\u00e3o h\u00e1 instala\u00e7\u00e3o a desfazer nesta m\u00e1quina.",
                          {});
        zel::Machine::Options options;
        options.prefix = prefix;
        options.programHostPath = zel::Machine::runningExecutable();
        options.hostWorkingDir = prefix / "drive_c";
        opened.emplace(options);
    } catch (const std::exception& e) {
        return nothingUndone({zel::cp1252ToUtf8(e.what())});
    }
    std::vector<std::string> problems;
    bool refused = false;
    try {
        zel::Machine& machine = *opened;
        zel::ConsoleUi ui("zel-uninstall: ", "");
        zel::Programs programs(machine, ui);
        const zel::uninstall::Outcome outcome =
            zel::uninstall::undoJournal(machine, programs, records, zel::keptDirectory(*journal));
        problems = outcome.problems;
        refused = outcome.refused;
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
    if (refused)
        return nothingUndone(problems);
    return finish(argc, argv, quiet,
                  problems.empty() ? "Desinstala\u00e7\u00e3o conclu\u00edda."
                                   : "Desinstala\u00e7\u00e3o conclu\u00edda, mas nem tudo "
                                     "foi desfeito:",
                  problems);
}
