// The installation as the pages and the unattended run share it: what its view is told and
// asked, in which order, however the copy and the finish end.
#include "services/platform.h"
#include "setup/finish.h"
#include "setup/installation.h"
#include "setup/messages.h"
#include "tests/support/fixtures.h"
#include "winemu/events.h"
#include "winemu/journal_writer.h"

#include <algorithm>

namespace zel::test {
namespace {

// Logs each call, a word each; answers the space question as told.
struct RecordingView : CopyView, FinishView, Gauge, StatusLine {
    void working(bool on) override { log += on ? "work " : "idle "; }
    void failed(const std::string& message) override { log += "failed(" + message + ") "; }
    void destinationUnavailable(const std::string&) override { log += "unavailable "; }
    bool goOnShortOfSpace(const std::string&) override {
        log += "short? ";
        return goOn;
    }
    void sweeping() override { log += "sweep "; }
    void pump() override {}
    CopyProgress copying() override {
        log += "copying ";
        return {*this, *this, *this, *this};
    }
    void copyOver() override { log += "over "; }
    void notCreated(const std::string& message) override {
        log += "lost(" + message.substr(0, 30) + ") ";
        lost = message;
    }
    void setMaximum(int) override {}
    void setPosition(int) override {}
    void advance(int) override {}
    void setText(const std::string&) override {}
    void repaint() override {}

    bool goOn = false;
    std::string log, lost;
};

class InstallationTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        platform = std::make_unique<Platform>(machine(), ui, printer, sound);
        writeFile(tmp / "K.INI", "[Principal]\ndestino=C:\\ZEL\\\ngrupo=G\n[Update]\n"
                                 "programa=UP.EXE\n[Programa1]\nnome=Discador\n[Programa2]\n"
                                 "nome=A\ninstala=1\nArquivo1=A.EXE\n");
        catalogue.load(ProfileFile::atHostPath(tmp / "K.INI"));
        choices.destination = "C:\\ZEL\\";
        choices.programs[1] = true;
        choices.browser = Browser::None;
    }

    ScriptedUi ui;
    RecordingPrinter printer;
    RecordingSound sound;
    std::unique_ptr<Platform> platform;
    Catalogue catalogue;
    Choices choices;
};

TEST_F(InstallationTest, TheCopyAsksFirstThenWorksAndAlwaysPutsItsProgressAway) {
    // A program without a directory of its own is copied from "\\" under the source.
    const std::string missing = "failed(Erro copiando arquivo D:\\\\A.EXE para C:\\ZEL\\A.EXE) ";
    const struct {
        const char* name;
        const char* destination;
        bool shortDisk, goOn, fileThere, done, keptGoOn;
        std::string log;
        const char* resolved = "C:\\ZEL\\";
    } rows[] = {
        {"no such drive", "Z:\\ZEL\\", false, true, true, false, false, "unavailable ",
         "Z:\\ZEL\\"},
        // Anywhere but a full path would be taken against the medium's directory.
        {"relative", "ZEL\\", false, true, true, false, false, "unavailable ", "ZEL\\"},
        {"a drive letter", "C", false, true, true, false, false, "unavailable ", "C"},
        {"a quote", "C:\\A\"B\\", false, true, true, false, false, "unavailable ", "C:\\A\"B\\"},
        {"resolved once", "c:/x/../ZEL", false, true, true, true, false,
         "work sweep copying over idle "},
        {"short, declined", "C:\\ZEL\\", true, false, true, false, false, "short? "},
        {"short, on", "C:\\ZEL\\", true, true, true, true, true,
         "short? work sweep copying over idle "},
        {"a file missing", "C:\\ZEL\\", false, true, false, false, false,
         "work sweep copying over idle " + missing},
        {"all there", "C:\\ZEL\\", false, false, true, true, false,
         "work sweep copying over idle "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(driveC() / "ZEL");
        fs::remove(medium() / "A.EXE");
        if (row.fileThere)
            writeFile(medium() / "A.EXE", "a");
        catalogue.entry(2).sizeKb = row.shortDisk ? 2147483647 : 1;
        choices.destination = row.destination;
        choices.continueShortOfSpace = false;
        RecordingView view;
        view.goOn = row.goOn;
        EXPECT_EQ(runCopy(*platform, catalogue, choices, view), row.done);
        EXPECT_EQ(view.log, row.log);
        EXPECT_EQ(choices.continueShortOfSpace, row.keptGoOn);
        EXPECT_EQ(fs::exists(driveC() / "ZEL" / "A.EXE"), row.done);
        EXPECT_EQ(choices.destination, row.resolved);
        EXPECT_FALSE(fs::exists(medium() / "ZEL"));
    }
}

// A copy that failed and was tried again (the copy page's "Seguir >" pressed once more) is one
// installation: the uninstaller takes back the files of both attempts and the folders they made.
TEST_F(InstallationTest, ACopyTriedAgainIsTakenBackWhole) {
    writeFile(tmp / "K.INI", "[Principal]\ndestino=C:\\ZEL\\\ngrupo=G\n[Update]\n"
                             "programa=UP.EXE\n[Programa1]\nnome=Discador\n[Programa2]\n"
                             "nome=A\ninstala=1\nArquivo1=A.EXE\nArquivo2=B.EXE\n");
    catalogue.load(ProfileFile::atHostPath(tmp / "K.INI"));
    writeFile(medium() / "A.EXE", "a");
    const auto files = [&] {
        std::vector<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(driveC()))
            found.push_back(entry.path().lexically_relative(driveC()).string());
        std::sort(found.begin(), found.end());
        return found;
    };
    const std::vector<std::string> before = files();
    {
        InstallJournal journal(prefix);
        JournalSubscription told(journal);
        RecordingView first, second;
        EXPECT_FALSE(runCopy(*platform, catalogue, choices, first)); // B.EXE is not there yet
        EXPECT_TRUE(fs::exists(driveC() / "ZEL" / "A.EXE"));
        writeFile(medium() / "B.EXE", "b");
        EXPECT_TRUE(runCopy(*platform, catalogue, choices, second));
        EXPECT_TRUE(fs::exists(driveC() / "ZEL" / "B.EXE"));
        EXPECT_EQ(journal.failure(), "");
    }
    const CommandResult undone =
        runCommand("ZEL_PREFIX='" + prefix.string() + "' '" +
                   (binDir() / "zel-uninstall").string() + "' --quiet 2>&1");
    EXPECT_EQ(undone.status, 0) << undone.output;
    EXPECT_EQ(files(), before);
}

// What the custom page and the unattended run refuse, and the one form every step then uses.
TEST(Destination, IsAFullPathWindowsAcceptsResolvedOnce) {
    const std::pair<std::string, std::string> rows[] = {
        {"C:\\ZEL\\", "C:\\ZEL\\"},
        {"c:\\Program Files\\..\\ZEL", "C:\\ZEL\\"},
        {"d:/a//b/./", "D:\\a\\b\\"},
        {"C:\\", "C:\\"},
        {"Cursos", relativeDestination("Cursos")},
        {"C", relativeDestination("C")},
        {"C:ZEL", relativeDestination("C:ZEL")},
        {"\\ZEL", relativeDestination("\\ZEL")},
        {"", relativeDestination("")},
        {"1:\\ZEL", relativeDestination("1:\\ZEL")},
        {"C:\\A\"B", "O destino C:\\A\"B cont\xe9m o caractere \", que o Windows n\xe3o aceita "
                     "em nomes de arquivos e diret\xf3rios"},
        {"C:\\A*", refusedDestinationCharacter("C:\\A*", '*')},
        {"C:\\A?", refusedDestinationCharacter("C:\\A?", '?')},
        {"C:\\<A", refusedDestinationCharacter("C:\\<A", '<')},
        {"C:\\A>", refusedDestinationCharacter("C:\\A>", '>')},
        {"C:\\A|B", refusedDestinationCharacter("C:\\A|B", '|')},
        {"Cur|sos", refusedDestinationCharacter("Cur|sos", '|')},
        {"C:\\A\x1b[2J", "O destino C:\\A?[2J cont\xe9m um caractere de controle (c\xf3"
                         "digo "
                         "27), que o Windows n\xe3o aceita em nomes de arquivos e diret\xf3rios"},
    };
    for (const auto& [typed, expected] : rows) {
        const ResolvedDestination resolved = resolveDestination(typed);
        EXPECT_EQ(resolved.error ? *resolved.error : resolved.path, expected) << typed;
        EXPECT_EQ(resolved.path.empty(), resolved.error.has_value()) << typed;
    }
}

// A value that cannot go into a macro never stops the finish: it is done, and says what is
// missing as it does for a Program Manager that did not answer.
TEST_F(InstallationTest, AValueThatBreaksAMacroIsToldAsNotCreated) {
    fs::create_directories(driveC() / "ZEL");
    catalogue.entry(2).name = "Leitor \"Plus\"";
    RecordingView view;
    EXPECT_TRUE(runFinish(*platform, catalogue, choices, view));
    EXPECT_EQ(view.log, "work idle lost(O Gerenciador de Programas n\xe3o) ");
    EXPECT_NE(view.lost.find(lostItemLine("Leitor \"Plus\"", "G")), std::string::npos);
    EXPECT_EQ(ProfileFile(machine(), "C:\\WINDOWS\\zelun.ini").readText("ZEL", "dir", ""),
              "C:\\ZEL\\");
}

// A failure is told with the busy state over, and the step can be run again; Program Manager
// absent, the finish is done all the same and says what is missing.
TEST_F(InstallationTest, TheFinishTellsItsFailureOrWhatProgramManagerDidNotCreate) {
    fs::create_directories(driveC() / "ZEL");
    fs::remove(driveC() / "WINDOWS" / "PROGMAN.EXE");           // nobody answers the macros
    fs::create_directories(driveC() / "WINDOWS" / "zelun.ini"); // no file can be written there
    RecordingView view;
    EXPECT_FALSE(runFinish(*platform, catalogue, choices, view));
    EXPECT_EQ(view.log, "work idle failed(Unable to write to zelun.ini) ");
    fs::remove(driveC() / "WINDOWS" / "zelun.ini");
    view.log.clear();
    EXPECT_TRUE(runFinish(*platform, catalogue, choices, view));
    EXPECT_EQ(view.log, "work idle lost(O Gerenciador de Programas n\xe3o) ");
    EXPECT_EQ(ProfileFile(machine(), "C:\\WINDOWS\\zelun.ini").readText("ZEL", "dir", ""),
              "C:\\ZEL\\");
}

} // namespace
} // namespace zel::test
