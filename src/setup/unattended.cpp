#include "setup/unattended.h"

#include "setup/disk_space.h"
#include "setup/finish.h"
#include "setup/install.h"
#include "setup/messages.h"
#include "setup/network_stack.h"
#include "setup/page_flow.h"
#include "setup/registration.h"
#include "setup/start_up.h"
#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/events.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

namespace {

// Nothing to move: the gauges of a run nobody watches.
class NoGauge : public Gauge {
public:
    void setMaximum(int) override {}
    void setPosition(int) override {}
    void advance(int) override {}
};

// The program being installed, as a line of its own.
class ProgramLine : public StatusLine {
public:
    explicit ProgramLine(std::ostream* out) : out_(out) {}
    void setText(const std::string& text) override {
        if (out_)
            *out_ << escapeControls(cp1252ToUtf8(text)) << '\n' << std::flush;
    }
    void repaint() override {}

private:
    std::ostream* out_;
};

// The file line of the page is cut to its label's width; here each copy is told in full.
class NoLine : public StatusLine {
public:
    void setText(const std::string&) override {}
    void repaint() override {}
};

class CopyLines : public InstallObserver {
public:
    explicit CopyLines(std::ostream* out) : out_(out) {}
    void record(const InstallEvent& event) override {
        if (out_ && event.kind == InstallEvent::Kind::FileCopied && event.ok)
            *out_ << "\tCopiando " << escapeControls(cp1252ToUtf8(event.target)) << '\n'
                  << std::flush;
    }

private:
    std::ostream* out_;
};

struct Stop {
    int status;
    std::string message;
};

// The printout holds the card's number: its file is made for its owner alone before Qt
// writes it, and never through a link.
void preparePrivateFile(const std::string& hostPath) {
    const int fd =
        ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::fchmod(fd, 0600) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        throw Stop{kExitFailed, std::string(kPrintCannotStart) + " (" + utf8ToCp1252(hostPath) +
                                    ": " + std::strerror(error) + ")"};
    }
    ::close(fd);
}

// The registration page's "Seguir >".
void registration(const UnattendedRun& run, const Answers& answers, const Choices& choices,
                  bool checkOnly) {
    switch (completeness(choices.registration)) {
    case Completeness::Complete: {
        if (answers.pdfFile.empty())
            throw Stop{kExitFailed, kRegistrationWithoutPdf};
        if (checkOnly)
            break;
        preparePrivateFile(answers.pdfFile);
        try {
            std::unique_ptr<Printer> printer =
                run.pdfPrinter ? run.pdfPrinter(answers.pdfFile) : nullptr;
            if (!printer)
                throw PlatformError(kPrintCannotStart);
            if (printer->choosePrinter())
                printRegistration(*printer, choices.registration);
        } catch (const std::exception& e) {
            ::unlink(answers.pdfFile.c_str()); // no empty or partial printout left behind
            throw Stop{kExitFailed, e.what()};
        }
        break;
    }
    case Completeness::Empty:
        if (!answers.pdfFile.empty())
            throw Stop{kExitFailed, kPdfWithoutRegistration};
        break;
    case Completeness::Incomplete: throw Stop{kExitFailed, kIncompleteRegistration};
    }
}

// The copy page's "Seguir >".
void copy(Platform& platform, const Catalogue& kit, const Choices& choices, std::ostream* out,
          bool checkOnly) {
    const CopyCheck check = checkBeforeCopy(
        kit, choices, platform.files.diskFree(destinationDrive(choices.destination)));
    if (check.error)
        throw Stop{kExitFailed, *check.error};
    if (check.question && !checkOnly) {
        std::string text = *check.question;
        std::replace(text.begin(), text.end(), '\r', '\n');
        if (out)
            *out << cp1252ToUtf8(kSpaceQuestionCaption) << ": " << cp1252ToUtf8(text) << '\n';
    }
    if (check.question && !choices.continueShortOfSpace)
        throw Stop{kExitFailed, kSpaceRefused};
    if (checkOnly)
        return;
    const Catalogue catalogue = chosenCatalogue(kit, choices);
    const std::string sourceDir = sourceDirectory(platform.machine.programPath());
    socketLibrarySweep(platform.files, catalogue, sourceDir, [] {});
    NoGauge overall, file;
    ProgramLine programStatus(out);
    NoLine fileStatus;
    CopyLines copies(out);
    JournalSubscription told(copies);
    try {
        installationRun(platform.files, catalogue, sourceDir, overall, file, programStatus,
                        fileStatus);
    } catch (const std::exception& e) {
        throw Stop{kExitFailed, e.what()};
    }
    dialerSettingsUpdate(platform.files, catalogue, choices.modem);
}

// The finish page's "Finalizar".
void finish(Platform& platform, const Catalogue& kit, const Choices& choices, std::ostream* out) {
    std::vector<std::string> lost;
    try {
        const std::vector<std::string> macros =
            runFinishSequence(platform, chosenCatalogue(kit, choices), choices.browser);
        platform.progman.close();
        lost = notCreated(macros, platform.progman.deliveries());
    } catch (const std::exception& e) {
        platform.progman.close();
        throw Stop{kExitFailed, e.what()};
    }
    // As on the page: the installation is done all the same, the user learns what is missing.
    if (!lost.empty() && out) {
        std::string text = progmanLoss(lost);
        std::replace(text.begin(), text.end(), '\r', '\n');
        *out << cp1252ToUtf8(kProgmanLossCaption) << ": " << cp1252ToUtf8(text) << '\n';
    }
}

} // namespace

UnattendedResult runUnattended(Platform& platform, const UnattendedRun& run) {
    try {
        Catalogue catalogue;
        Choices choices;
        const std::string description =
            setupDescriptionPath(platform.files.machine().programPath());
        if (!platform.files.fileExists(description))
            throw Stop{kExitFailed, kNoKitDescription + description};
        try {
            choices = startUp(platform.files, platform.sound, catalogue);
        } catch (const std::exception& e) {
            throw Stop{kExitFailed, e.what()};
        }
        Answers answers;
        try {
            answers = readAnswers(run.answersFile, catalogue);
        } catch (const UnreadableAnswers& e) {
            throw Stop{kExitUsage, e.what()};
        } catch (const WrongAnswer& e) {
            throw Stop{kExitFailed, e.what()};
        }
        applyAnswers(answers, choices);
        // A kit or destination value that would break Program Manager's macros stops the
        // finish after the copy; here nobody could mend it, so nothing is begun.
        if (const auto keys = macroBreakingKeys(chosenCatalogue(catalogue, choices)); !keys.empty())
            throw Stop{kExitFailed, kitValueBreaksMacro(keys.front().name())};

        // Every page's check first, so that a wrong answer met late (a port the connection
        // page wants) stops the run before the registration is printed or anything copied.
        for (bool checking : {true, false}) {
            for (std::optional<Page> page = Page::Welcome; page; page = nextPage(*page, choices)) {
                switch (*page) {
                case Page::Welcome:
                case Page::Licence:
                case Page::InstallationType:
                case Page::CustomInstallation: break; // their answers are in the choices already
                case Page::Registration: registration(run, answers, choices, checking); break;
                case Page::Connection:
                    if (!choices.modem.port)
                        throw Stop{kExitFailed, kNoPort};
                    break;
                case Page::Copy: copy(platform, catalogue, choices, run.progress, checking); break;
                case Page::Finish:
                    if (!checking)
                        finish(platform, catalogue, choices, run.progress);
                    break;
                }
            }
        }
        return {kExitInstalled, kInstalled};
    } catch (const Stop& stop) {
        return {stop.status, stop.message};
    } catch (const std::exception& e) {
        return {kExitFailed, e.what()};
    }
}

} // namespace zel
