#include "setup/unattended.h"

#include "setup/finish.h"
#include "setup/installation.h"
#include "setup/messages.h"
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

struct Stop {
    int status;
    std::string message;
};

// Nothing to move: the gauges of a run nobody watches.
class NoGauge : public Gauge {
public:
    void setMaximum(int) override {}
    void setPosition(int) override {}
    void advance(int) override {}
};

// A status line that keeps to itself, or writes each text as a line of its own.
class Lines : public StatusLine {
public:
    explicit Lines(std::ostream* out) : out_(out) {}
    void setText(const std::string& text) override {
        if (out_)
            *out_ << escapeControls(cp1252ToUtf8(text)) << '\n' << std::flush;
    }
    void repaint() override {}

private:
    std::ostream* out_;
};

// Each file copied, told in full (the page's file line is cut to its label's width).
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

// The installation without pages: the answers stand in for the user, the progress and the
// messages a page would show in a box go to the progress stream, and whatever stops the run
// is kept for its outcome.
class Console : public CopyView, public FinishView {
public:
    Console(std::ostream* out, const Choices& choices) : out_(out), choices_(choices) {}

    std::string stop; // why the run stops (code page 1252)

    void working(bool on) override {
        if (!on)
            told_.reset();
    }
    void failed(const std::string& message) override { stop = message; }
    void destinationUnavailable(const std::string& message) override { stop = message; }
    bool goOnShortOfSpace(const std::string& question) override {
        say(kSpaceQuestionCaption, question);
        if (!choices_.continueShortOfSpace)
            stop = kSpaceRefused;
        return choices_.continueShortOfSpace;
    }
    void sweeping() override {}
    void pump() override {}
    CopyProgress copying() override {
        // Every copy until the work is over, the dialer's library included.
        told_.emplace(copies_);
        return {overall_, file_, programStatus_, fileStatus_};
    }
    void copyOver() override {}
    // As on the page: the installation is done all the same, the user learns what is missing.
    void notCreated(const std::string& message) override { say(kProgmanLossCaption, message); }

private:
    // A message box's caption and text, as lines.
    void say(const char* caption, std::string text) {
        std::replace(text.begin(), text.end(), '\r', '\n');
        if (out_)
            *out_ << cp1252ToUtf8(caption) << ": " << cp1252ToUtf8(text) << '\n';
    }

    std::ostream* out_;
    const Choices& choices_;
    NoGauge overall_, file_;
    Lines programStatus_{out_}, fileStatus_{nullptr};
    CopyLines copies_{out_};
    std::optional<JournalSubscription> told_;
};

// The printout holds the card's number: its file is made for its owner alone before Qt
// writes it, and never through a link nor into a pipe or a device.
void preparePrivateFile(const std::string& hostPath) {
    const std::string name = utf8ToCp1252(hostPath);
    const int fd =
        ::open(hostPath.c_str(),
               O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw Stop{kExitFailed, "impressao_pdf: " + notRegularFile(name, st.st_mode)};
    }
    if (fd < 0 || ::fstat(fd, &st) != 0 || ::ftruncate(fd, 0) != 0 || ::fchmod(fd, 0600) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        throw Stop{kExitFailed,
                   std::string(kPrintCannotStart) + " (" + name + ": " + systemReason(error) + ")"};
    }
    ::close(fd);
}

// The registration page's "Seguir >".
void registration(const UnattendedRun& run, const Answers& answers, const Catalogue& catalogue,
                  const Choices& choices, bool checkOnly) {
    switch (completeness(choices.registration)) {
    case Completeness::Complete: {
        if (answers.pdfFile.empty())
            throw Stop{kExitFailed, kRegistrationWithoutPdf};
        if (checkOnly) {
            if (const auto problem = userFileProblem(answers.pdfFile, FileUse::WriteNoLink))
                throw Stop{kExitFailed, "impressao_pdf: " + *problem};
            break;
        }
        preparePrivateFile(answers.pdfFile);
        try {
            std::unique_ptr<Printer> printer =
                run.pdfPrinter ? run.pdfPrinter(answers.pdfFile) : nullptr;
            if (!printer)
                throw PlatformError(kPrintCannotStart);
            if (printer->choosePrinter())
                printRegistration(*printer, choices.registration,
                                  catalogue.settings.brandFaxHeading);
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

// The modem command given that the dialer would not use, its partner being empty.
std::optional<std::string> loneModemCommand(const Answers& answers, const Choices& choices) {
    const ModemSettings& modem = choices.modem;
    if (answers.dialCommand && !modem.dialCommand.empty() && modem.initCommand.empty())
        return modemCommandAlone("modem_discagem", "modem_inicializacao");
    if (answers.initCommand && !modem.initCommand.empty() && modem.dialCommand.empty())
        return modemCommandAlone("modem_inicializacao", "modem_discagem");
    return std::nullopt;
}

// The copy page's checks, before anything is done: its error, or its question when the answer
// is to refuse.
void checkCopy(Platform& platform, const Catalogue& kit, const Choices& choices) {
    const CopyCheck check = copyCheck(platform, kit, choices);
    if (check.error)
        throw Stop{kExitFailed, *check.error};
    if (check.question && !choices.continueShortOfSpace)
        throw Stop{kExitFailed, kSpaceRefused};
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
        // The dialer's settings take both modem commands or neither: one given alone would
        // be dropped without a word.
        if (const auto alone = loneModemCommand(answers, choices))
            throw Stop{kExitFailed, *alone};
        // A kit value that would break Program Manager's macros is no reason to stop: as on the
        // finish page, the finish leaves that group or item out and says so.

        // Every page's check first, so that a wrong answer met late (a port the connection
        // page wants) stops the run before the registration is printed or anything copied.
        Console console(run.progress, choices);
        for (bool checking : {true, false}) {
            for (std::optional<Page> page = Page::Welcome; page; page = nextPage(*page, choices)) {
                switch (*page) {
                case Page::Welcome:
                case Page::Licence:
                case Page::InstallationType:
                case Page::CustomInstallation: break; // their answers are in the choices already
                case Page::Registration:
                    registration(run, answers, catalogue, choices, checking);
                    break;
                case Page::Connection:
                    if (!choices.modem.port)
                        throw Stop{kExitFailed, kNoPort};
                    break;
                case Page::Copy:
                    if (checking)
                        checkCopy(platform, catalogue, choices);
                    else if (!runCopy(platform, catalogue, choices, console))
                        throw Stop{kExitFailed, console.stop};
                    break;
                case Page::Finish:
                    if (!checking && !runFinish(platform, catalogue, choices, console))
                        throw Stop{kExitFailed, console.stop};
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
