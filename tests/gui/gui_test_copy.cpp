// The copy page: the disk-space check, and the whole installation run from its "Seguir >"
// through the real widgets of the page built alone: the sweep, the gauges, a failed copy and
// its retry, the dialer settings, and the request to move on.
#include "tests/support/gui_wizard_fixture.h"

#include "pages/CopyPage.h"
#include "qt/qt_gauge.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace zel::test {
namespace {

constexpr std::int32_t kMaxKbytes = std::numeric_limits<std::int32_t>::max();

// ---------------------------------------------------------------------------------------
// The page

// A kit of three programs: the dial-up stack (entry 1), a mail reader left out and a news
// reader with a system file.
constexpr std::string_view kSetup = "[Principal]\r\n"
                                    "destino=C:\\KIT\\\r\n"
                                    "navegap_size=4000\r\n"
                                    "navegai_size=3000\r\n"
                                    "grupoicone=ZEL.ICO\r\n"
                                    "[Update]\r\nprograma=ZELUP.EXE\r\ndiretorio=UPDATE\\\r\n"
                                    "[Uninstall]\r\nprograma=DESINST.EXE\r\ndiretorio=UNINST\\\r\n"
                                    "[Programa1]\r\nnome=Discador\r\ninstala=1\r\ntamanho=500\r\n"
                                    "diretorio=TRUMPET\\\r\ncriadir=1\r\nArquivo1=TCPMAN.EXE\r\n"
                                    "Arquivo2=TRUMPWSK.INI\r\nArquivo3=WINSOCK.DLL\r\n"
                                    "[Programa2]\r\nnome=Correio\r\ninstala=0\r\ntamanho=700\r\n"
                                    "diretorio=MAIL\\\r\nArquivo1=MAIL.EXE\r\n"
                                    "[Programa3]\r\nnome=Not\xed"
                                    "cias\r\ninstala=1\r\ntamanho=1200\r\n"
                                    "diretorio=NEWS\\\r\ncriadir=1\r\nArquivo1=NEWS.EXE\r\n"
                                    "Arquivo2=NEWS.HLP\r\nSystem1=NEWSCTL.DLL\r\n";

// What the page showed each time a status line was painted during the run.
struct Snapshot {
    QString program, file;
    int overallPosition, overallMaximum, filePosition, fileMaximum;
    bool buttonsEnabled;
};

class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(CopyPage& page) : page_(page) {
        page.ui.programStatusLabel->installEventFilter(this);
        page.ui.fileStatusLabel->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const auto& u = page_.ui;
            shots.push_back({u.programStatusLabel->text(), u.fileStatusLabel->text(),
                             u.overallGauge->position(), u.overallGauge->maximum(),
                             u.fileGauge->position(), u.fileGauge->maximum(),
                             u.nextButton->isEnabled() || u.exitButton->isEnabled() ||
                                 u.backButton->isEnabled()});
        }
        return false;
    }
    std::vector<Snapshot> shots;

private:
    CopyPage& page_;
};

class CopyPageTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        writeSetup(kSetup);
        writeFile(medium() / "TRUMPET" / "TCPMAN.EXE", "dialer");
        writeFile(medium() / "TRUMPET" / "TRUMPWSK.INI", "[Trumpet Winsock]\r\nslip-port=1\r\n");
        writeFile(medium() / "TRUMPET" / "WINSOCK.DLL", "stack library");
        writeFile(medium() / "NEWS" / "NEWS.EXE", "news");
        writeFile(medium() / "NEWS" / "NEWS.HLP", "help");
        writeFile(medium() / "NEWS" / "NEWSCTL.DLL", "control");
        writeFile(medium() / "UPDATE" / "ZELUP.EXE", "update");
        writeFile(medium() / "UNINST" / "DESINST.EXE", "uninstaller");
    }

    // The copy page alone, on the start-up's choices with the connection page's answers.
    CopyPage& onCopyPage() {
        startUp();
        choices.modem = {2, "AT&F", "ATDT5550100"};
        page = std::make_unique<CopyPage>(*platform, catalogue, choices);
        page->show();
        movedOn = std::make_unique<QSignalSpy>(page.get(), &PageWindow::nextRequested);
        return *page;
    }

    // How often the page asked to move on to the finish page.
    int movesOn() const { return static_cast<int>(movedOn->count()); }

    fs::path kitDir() const { return driveC() / "Program Files" / "KIT"; }
    fs::path systemDir() const { return driveC() / "WINDOWS" / "SYSTEM"; }

    // Only the text, the picture and the (usable) buttons are up.
    void expectIdle(const CopyPage& page) {
        for (const QWidget* widget : std::initializer_list<const QWidget*>{
                 page.ui.sweepLabel, page.ui.overallGauge, page.ui.fileGauge,
                 page.ui.programStatusLabel, page.ui.fileStatusLabel})
            EXPECT_FALSE(widget->isVisibleTo(&page)) << widget->objectName().toStdString();
        EXPECT_TRUE(page.ui.readyLabel->isVisibleTo(&page));
        for (const QPushButton* button :
             {page.ui.nextButton, page.ui.exitButton, page.ui.backButton})
            EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
        EXPECT_FALSE(ui.busy());
    }

    std::unique_ptr<CopyPage> page;
    std::unique_ptr<QSignalSpy> movedOn;
};

TEST_F(CopyPageTest, SuccessfulInstallationCopiesConfiguresAndMovesOn) {
    CopyPage& copy = onCopyPage();
    writeFile(driveC() / "OLD" / "~insock.dll", "old stack");
    PaintRecorder recorder(copy);

    // The first pending-event pass comes while the page prepares the machine.
    struct {
        bool seen = false, notice = false, gauges = true, buttons = true, busy = false;
    } preparing;
    QTimer::singleShot(0, &copy, [&] {
        const auto& u = copy.ui;
        preparing = {true, u.sweepLabel->isVisible(),
                     u.overallGauge->isVisible() || u.fileGauge->isVisible(),
                     u.nextButton->isEnabled() || u.exitButton->isEnabled() ||
                         u.backButton->isEnabled(),
                     ui.busy()};
    });
    copy.ui.nextButton->click();

    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_TRUE(preparing.seen);
    EXPECT_TRUE(preparing.notice);
    EXPECT_FALSE(preparing.gauges);
    EXPECT_FALSE(preparing.buttons);
    EXPECT_TRUE(preparing.busy);

    // The sweep moved the old library aside.
    EXPECT_EQ(readFile(driveC() / "OLD" / "~insock.zel"), "old stack");

    // The programs, the system file, the update program and the uninstaller.
    EXPECT_EQ(readFile(kitDir() / "TRUMPET" / "TCPMAN.EXE"), "dialer");
    EXPECT_EQ(readFile(kitDir() / "NEWS" / "NEWS.HLP"), "help");
    EXPECT_EQ(readFile(systemDir() / "NEWSCTL.DLL"), "control");
    EXPECT_EQ(readFile(kitDir() / "ZELUP.EXE"), "update");
    EXPECT_EQ(readFile(driveC() / "WINDOWS" / "zelun.exe"), "uninstaller");

    // The dialer settings with the connection page's answers, and the stack's library.
    EXPECT_EQ(readFile(kitDir() / "TRUMPET" / "TRUMPWSK.INI"),
              "[Trumpet Winsock]\r\nslip-port=3\r\n"
              "[ZEL Internet]\r\n$modemsetup=AT&F\r\n$phone=ATDT5550100\r\n");
    EXPECT_EQ(readFile(systemDir() / "~sock32.dll"), "stack library");

    // Progress as the run went: one step per program, one per file of the current program;
    // every line painted while the buttons were off.
    // The page is painted once with the empty lines before the run; then the run's own lines.
    ASSERT_GE(recorder.shots.size(), 2u);
    EXPECT_EQ(recorder.shots.front().program, "");
    EXPECT_EQ(recorder.shots.front().file, "");
    const auto running = std::find_if(recorder.shots.begin(), recorder.shots.end(),
                                      [](const Snapshot& shot) { return !shot.program.isEmpty(); });
    ASSERT_NE(running, recorder.shots.end());
    const Snapshot& first = *running;
    EXPECT_EQ(first.program, "Instalando Discador");
    EXPECT_EQ(first.overallPosition, 0);
    EXPECT_EQ(first.overallMaximum, 2);
    EXPECT_EQ(first.fileMaximum, 3);
    bool sawNews = false;
    for (const Snapshot& shot : recorder.shots) {
        EXPECT_FALSE(shot.buttonsEnabled);
        if (shot.program == "Instalando Notícias") {
            sawNews = true;
            EXPECT_EQ(shot.overallPosition, 1);
            EXPECT_EQ(shot.fileMaximum, 3);
        }
    }
    EXPECT_TRUE(sawNews);
    EXPECT_EQ(recorder.shots.back().file, "\tCopiando NEWSCTL.DLL");
    const auto& u = copy.ui;
    EXPECT_EQ(u.overallGauge->maximum(), 2);
    EXPECT_EQ(u.overallGauge->position(), 2);
    EXPECT_EQ(u.fileGauge->maximum(), 3);
    EXPECT_EQ(u.fileGauge->position(), 3);

    // Done: gauges away, default cursor, on to the finish page.
    expectIdle(copy);
    EXPECT_EQ(ui.cursorHistory, (std::vector<bool>{true, false}));
    EXPECT_EQ(movesOn(), 1);
    EXPECT_FALSE(ui.quitRequested());
}

TEST_F(CopyPageTest, ShortSpaceAsksAndCancelLeavesThePageAsItWas) {
    // Drive E: points nowhere, so its free space cannot be queried.
    fs::create_directories(prefix / "dosdevices");
    fs::create_symlink(tmp / "missing", prefix / "dosdevices" / "e:");
    makeMachine();
    CopyPage& copy = onCopyPage();
    choices.destination = "E:\\KIT\\";
    choices.browser = Browser::None;

    ui.answerMessage(ModalResult::Other);
    copy.ui.nextButton->click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "O drive E aparenta ter apenas 0kbytes livres.\rVoc\xea necessita "
                                "de 1700kbytes. Deseja continuar?");
    EXPECT_EQ(ui.boxes[0].caption, "Espa\xe7o em disco");
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::OkCancel);

    expectIdle(copy);
    EXPECT_TRUE(ui.cursorHistory.empty());
    EXPECT_EQ(ui.processEventsCount, 0);
    EXPECT_FALSE(fs::exists(kitDir()));
    EXPECT_EQ(movesOn(), 0);
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(CopyPageTest, TheQuestionShowsTheLetterAsStoredAndOkGoesOn) {
    // On the medium's drive, under a lower-case letter, with more needed than any disk has.
    CopyPage& copy = onCopyPage();
    choices.destination = "d:\\ZEL\\";
    catalogue.entry(1).tamanho = kMaxKbytes;
    catalogue.entry(3).tamanho = kMaxKbytes;
    choices.browser = Browser::First; // 4000 more

    ui.answerMessage(ModalResult::Other);
    copy.ui.nextButton->click();
    ASSERT_EQ(ui.boxes.size(), 1u);
    const std::string& text = ui.boxes[0].text;
    const std::string head = "O drive d aparenta ter apenas ";
    const std::string tail =
        "kbytes livres.\rVoc\xea necessita de 4294971294kbytes. Deseja continuar?";
    ASSERT_EQ(text.rfind(head, 0), 0u) << text;
    ASSERT_GT(text.size(), head.size() + tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    // The medium's drive D: was asked, not some drive number 36.
    const std::string free = text.substr(head.size(), text.size() - head.size() - tail.size());
    EXPECT_GT(std::stoll(free), 0) << text;
    expectIdle(copy);

    ui.answerMessage(ModalResult::Confirm);
    copy.ui.nextButton->click();
    EXPECT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(readFile(medium() / "ZEL" / "NEWS" / "NEWS.EXE"), "news");
    EXPECT_EQ(movesOn(), 1);
}

TEST_F(CopyPageTest, AFailedCopyKeepsThePageUsableAndARetryCompletes) {
    fs::remove(medium() / "NEWS" / "NEWS.EXE");
    CopyPage& copy = onCopyPage();
    copy.ui.nextButton->click();

    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(
        ui.errors[0],
        "Erro copiando arquivo D:\\NEWS\\NEWS.EXE para C:\\Program Files\\KIT\\NEWS\\NEWS.EXE");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(ui.quitRequested());
    EXPECT_EQ(movesOn(), 0);
    expectIdle(copy);
    // What was copied stays; the run stopped there and the dialer was not configured.
    EXPECT_EQ(readFile(kitDir() / "TRUMPET" / "WINSOCK.DLL"), "stack library");
    EXPECT_FALSE(fs::exists(kitDir() / "ZELUP.EXE"));
    EXPECT_FALSE(fs::exists(systemDir() / "~sock32.dll"));
    EXPECT_EQ(readFile(kitDir() / "TRUMPET" / "TRUMPWSK.INI"),
              "[Trumpet Winsock]\r\nslip-port=1\r\n");

    // The file put in place, the same button again.
    writeFile(medium() / "NEWS" / "NEWS.EXE", "news");
    PaintRecorder recorder(copy);
    copy.ui.nextButton->click();
    EXPECT_EQ(ui.errors.size(), 1u);
    ASSERT_FALSE(recorder.shots.empty());
    // The gauges and lines start afresh, not from where the first attempt stopped.
    EXPECT_EQ(recorder.shots.front().overallPosition, 0);
    EXPECT_EQ(recorder.shots.front().filePosition, 0);
    EXPECT_EQ(recorder.shots.front().program, "");
    EXPECT_EQ(readFile(kitDir() / "NEWS" / "NEWS.EXE"), "news");
    EXPECT_EQ(readFile(systemDir() / "~sock32.dll"), "stack library");
    EXPECT_EQ(movesOn(), 1);
    expectIdle(copy);
}

TEST_F(CopyPageTest, TheChoicesDecideWhatGoesWhere) {
    // The news reader left out, the destination chosen; the kit's own selection and
    // destination play no part.
    CopyPage& copy = onCopyPage();
    choices.programs[2] = false;
    choices.destination = "C:\\OUTRO\\";
    copy.ui.nextButton->click();
    EXPECT_EQ(movesOn(), 1);
    EXPECT_EQ(readFile(driveC() / "OUTRO" / "TRUMPET" / "TCPMAN.EXE"), "dialer");
    EXPECT_EQ(readFile(driveC() / "OUTRO" / "ZELUP.EXE"), "update");
    EXPECT_FALSE(fs::exists(driveC() / "OUTRO" / "NEWS"));
    EXPECT_FALSE(fs::exists(systemDir() / "NEWSCTL.DLL"));
    EXPECT_FALSE(fs::exists(kitDir()));
}

} // namespace
} // namespace zel::test
