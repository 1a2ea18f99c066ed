// The user-interface, printing, sound and picture services, real and scripted.
#include "winemu/errors.h"
#include "qt/qt_pictures.h"
#include "setup/catalogue.h"
#include "qt/qt_printer.h"
#include "qt/qt_sound.h"
#include "qt/qt_system_printer.h"
#include "qt/qt_ui.h"
#include "qt/qt_warmup.h"
#include "tests/support/scripted_printer.h"
#include "tests/support/doubles.h"
#include "tests/support/fixtures.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace zel::test {
namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QApplication::instance())
            return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "gui_test_services";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        installFontSubstitutions();
        applyClassicStyle(*app_);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] auto* const qtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Runs `act` on the next application-modal widget as soon as it shows (polling, since the
// widget appears only once the code under test enters its own event loop).
void onModal(std::function<void(QWidget&)> act) {
    auto* timer = new QTimer(qApp);
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, elapsed] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(*modal);
        } else if (elapsed->elapsed() > 5000) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal widget appeared";
        }
    });
    timer->start(5);
}

void pressKey(QWidget& widget, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&widget, &press);
}

std::string run(const std::string& command) {
    return runCommand(command).output;
}

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

int pdfPages(const fs::path& pdf) {
    const std::string info = run("pdfinfo " + quoted(pdf) + " 2>/dev/null");
    const auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
}

std::string pdfText(const fs::path& pdf, int page) {
    const std::string p = std::to_string(page);
    return run("pdftotext -layout -f " + p + " -l " + p + " " + quoted(pdf) + " - 2>/dev/null");
}

// A dialog whose buttons end it the way the pages' buttons do.
class TwoButtonDialog : public QDialog {
public:
    TwoButtonDialog() {
        setObjectName("FaxNoticeDialog");
        setWindowTitle("Aviso");
        confirm = new QPushButton("OK", this);
        other = new QPushButton("Voltar", this);
        connect(confirm, &QPushButton::clicked, this, [this] { done(1); });
        connect(other, &QPushButton::clicked, this, [this] { done(2); });
    }
    void showEvent(QShowEvent* event) override {
        ++shows;
        QDialog::showEvent(event);
    }
    QPushButton* confirm;
    QPushButton* other;
    int shows = 0;
};

// ---- the guard around event handlers ----

TEST(Guarded, ReportsWhatLeavesTheHandlerAndSwallowsIt) {
    ScriptedUi ui;
    bool ran = false;
    EXPECT_NO_THROW(guarded(ui, [&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_TRUE(ui.errors.empty());

    EXPECT_NO_THROW(guarded(ui, [] { throw PlatformError("Failed to create key SOFTWARE\\X"); }));
    EXPECT_NO_THROW(guarded(ui, [] { throw std::out_of_range("fora"); }));
    EXPECT_NO_THROW(guarded(ui, [] { throw 42; }));
    ASSERT_EQ(ui.errors.size(), 3u);
    EXPECT_EQ(ui.errors[0], "Failed to create key SOFTWARE\\X");
    EXPECT_EQ(ui.errors[1], "fora");
    EXPECT_FALSE(ui.errors[2].empty());
}

TEST(Guarded, AFailingReportDoesNotEscapeEither) {
    struct ThrowingUi : ScriptedUi {
        void reportError(const std::string&) override { throw std::runtime_error("again"); }
    } ui;
    EXPECT_NO_THROW(guarded(ui, [] { throw std::runtime_error("first"); }));
}

// ---- the scripted services ----

TEST(ScriptedUi, MessageBoxesAnswerInOrderAndAreRecorded) {
    ScriptedUi ui;
    ui.answerMessage(ModalResult::Other);
    ui.answerMessage(ModalResult::Confirm);
    EXPECT_EQ(ui.messageBox("Pouco espa\xe7o", "Aviso", MsgButtons::OkCancel, MsgIcon::Warning), ModalResult::Other);
    EXPECT_EQ(ui.messageBox("b", "c", MsgButtons::OkCancel), ModalResult::Confirm);
    EXPECT_EQ(ui.messageBox("nada na fila", "c", MsgButtons::OkCancel), ModalResult::Confirm);
    ui.answerMessage(ModalResult::Other);
    EXPECT_EQ(ui.messageBox("s\xf3 OK", "c", MsgButtons::Ok), ModalResult::Confirm) << "an OK-only box answers OK";
    EXPECT_TRUE(ui.messageAnswers.empty());

    ASSERT_EQ(ui.boxes.size(), 4u);
    EXPECT_EQ(ui.boxes[0].text, "Pouco espa\xe7o");
    EXPECT_EQ(ui.boxes[0].caption, "Aviso");
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(ui.boxes[0].icon, MsgIcon::Warning);
    EXPECT_EQ(ui.boxes[0].result, ModalResult::Other);
    EXPECT_EQ(ui.boxes[3].buttons, MsgButtons::Ok);
}

TEST(ScriptedUi, ModalPagesRunTheirOwnButtonsOrTakeTheQueuedResult) {
    ScriptedUi ui;
    TwoButtonDialog dialog;
    bool visibleDuringAnswer = false;
    ui.answerModal([&](QDialog& d) {
        visibleDuringAnswer = d.isVisible();
        dialog.confirm->click();
        return ModalResult::Other; // ignored: the dialog ended itself confirmed
    });
    ui.answerModal([&](QDialog&) {
        dialog.other->click();
        return ModalResult::Confirm;
    });
    ui.answerModal(ModalResult::Confirm);
    ui.answerModal([](QDialog& d) {
        d.reject(); // the close box
        return ModalResult::Confirm;
    });

    EXPECT_EQ(ui.showModal(dialog), ModalResult::Confirm);
    EXPECT_TRUE(visibleDuringAnswer);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(ui.showModal(dialog), ModalResult::Other);
    EXPECT_EQ(ui.showModal(dialog), ModalResult::Confirm);
    EXPECT_EQ(ui.showModal(dialog), ModalResult::Other);
    EXPECT_EQ(ui.showModal(dialog), ModalResult::Other) << "nothing queued: closed as by the close box";
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.shows, 5);

    ASSERT_EQ(ui.modals.size(), 5u);
    EXPECT_EQ(ui.modals[0].objectName, "FaxNoticeDialog");
    EXPECT_EQ(ui.modals[0].windowTitle, "Aviso");
    EXPECT_EQ(ui.modals[0].result, ModalResult::Confirm);
    EXPECT_EQ(ui.modals[3].result, ModalResult::Other);
}

TEST(ScriptedUi, CursorQuitAndWindowStateAreRecordedNotPerformed) {
    ScriptedUi ui;
    ui.setBusyCursor(true);
    EXPECT_TRUE(ui.busy());
    ui.setBusyCursor(false);
    EXPECT_FALSE(ui.busy());
    EXPECT_EQ(ui.cursorHistory, (std::vector<bool>{true, false}));

    ui.minimise();
    ui.restore();
    EXPECT_EQ(std::count(ui.calls.begin(), ui.calls.end(), "minimise"), 1);
    EXPECT_EQ(std::count(ui.calls.begin(), ui.calls.end(), "restore"), 1);

    EXPECT_FALSE(ui.quitRequested());
    ui.quit();
    EXPECT_TRUE(ui.quitRequested());
    // The application was not asked to quit: a posted call still runs.
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    ui.processEvents();
    EXPECT_TRUE(ran);
}

// ---- the real user-interface services ----

TEST(QtUi, MessageBoxMapsButtonsAndEscapeToOneAndTwo) {
    QtUi ui;
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    onModal([&](QWidget& w) {
        auto& box = dynamic_cast<QMessageBox&>(w);
        text = box.text();
        title = box.windowTitle();
        icon = box.icon();
        box.button(QMessageBox::Cancel)->click();
    });
    EXPECT_EQ(ui.messageBox("Endere\xe7o incompleto", "Aten\xe7\xe3o", MsgButtons::OkCancel,
                            MsgIcon::Warning),
              ModalResult::Other);
    EXPECT_EQ(text, QString::fromUtf8("Endereço incompleto"));
    EXPECT_EQ(title, QString::fromUtf8("Atenção"));
    EXPECT_EQ(icon, QMessageBox::Warning);

    onModal([](QWidget& w) { dynamic_cast<QMessageBox&>(w).button(QMessageBox::Ok)->click(); });
    EXPECT_EQ(ui.messageBox("a", "b", MsgButtons::OkCancel), ModalResult::Confirm);

    onModal([](QWidget& w) { pressKey(w, Qt::Key_Escape); });
    EXPECT_EQ(ui.messageBox("a", "b", MsgButtons::OkCancel), ModalResult::Other);

    bool hasCancel = true;
    onModal([&](QWidget& w) {
        hasCancel = dynamic_cast<QMessageBox&>(w).button(QMessageBox::Cancel) != nullptr;
        pressKey(w, Qt::Key_Escape);
    });
    EXPECT_EQ(ui.messageBox("a", "b", MsgButtons::Ok, MsgIcon::Information), ModalResult::Confirm);
    EXPECT_FALSE(hasCancel);
}

TEST(QtUi, ErrorReportAddsTheFullStopUnderTheApplicationTitle) {
    QtUi ui;
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    onModal([&](QWidget& w) {
        auto& box = dynamic_cast<QMessageBox&>(w);
        text = box.text();
        title = box.windowTitle();
        icon = box.icon();
        buttons = static_cast<int>(box.buttons().size());
        box.button(QMessageBox::Ok)->click();
    });
    ui.reportError("N\xe3o foi poss\xedvel criar C:\\ZEL");
    EXPECT_EQ(text, QString::fromUtf8("Não foi possível criar C:\\ZEL."));
    EXPECT_EQ(title, QString::fromUtf8(kApplicationTitle));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, 1);
}

TEST(QtUi, MessageTextIsPlainAndBreaksAtEveryLineEnd) {
    // Kit and user text is never markup: a copy error naming "<u>BBS.DAT" shows that name.
    // A CR breaks the line as on the platform (the space question has one between sentences).
    struct Case {
        std::string text;
        QString shown;
    };
    const Case cases[] = {
        {"N\xe3o foi poss\xedvel copiar <u>BBS.DAT</u> & <b>",
         "Não foi possível copiar <u>BBS.DAT</u> & <b>"},
        {"O drive C aparenta ter apenas 1000kbytes livres.\rVoc\xea necessita de 5700kbytes.",
         "O drive C aparenta ter apenas 1000kbytes livres.\nVocê necessita de 5700kbytes."},
        {"um\r\ndois\ntr\xeas\r\rcinco", "um\ndois\ntrês\n\ncinco"},
    };
    QtUi ui;
    for (const Case& c : cases) {
        for (const bool report : {false, true}) {
            QString label;
            Qt::TextFormat format = Qt::AutoText;
            onModal([&](QWidget& w) {
                auto& box = dynamic_cast<QMessageBox&>(w);
                // The label the user reads, as the box lays it out.
                for (auto* l : box.findChildren<QLabel*>())
                    if (l->text().contains(QStringLiteral("BBS")) ||
                        l->text().contains(QStringLiteral("dois")) ||
                        l->text().contains(QStringLiteral("drive"))) {
                        label = l->text();
                        format = l->textFormat();
                    }
                box.button(QMessageBox::Ok)->click();
            });
            if (report)
                ui.reportError(c.text);
            else
                ui.messageBox(c.text, "Aten\xe7\xe3o", MsgButtons::Ok);
            EXPECT_EQ(label, report ? c.shown + "." : c.shown);
            EXPECT_EQ(format, Qt::PlainText) << label.toStdString();
        }
    }
}

TEST(QtUi, ShowModalReturnsTheDialogsResultAndTwoWhenRejected) {
    QtUi ui;
    TwoButtonDialog dialog;
    onModal([&](QWidget&) { dialog.confirm->click(); });
    EXPECT_EQ(ui.showModal(dialog), ModalResult::Confirm);
    onModal([&](QWidget&) { dialog.other->click(); });
    EXPECT_EQ(ui.showModal(dialog), ModalResult::Other);
    onModal([&](QWidget&) { dialog.reject(); });
    EXPECT_EQ(ui.showModal(dialog), ModalResult::Other);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(QtUi, BusyCursorIsAStateNotACount) {
    QtUi ui;
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    ui.setBusyCursor(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui.setBusyCursor(true);
    ui.setBusyCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ui.setBusyCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtUi, MinimiseAndRestoreTouchOnlyTheVisibleWindows) {
    QtUi ui;
    QWidget shown, hidden;
    shown.show();
    ui.minimise();
    EXPECT_TRUE(shown.isMinimized());
    EXPECT_FALSE(hidden.isMinimized());
    EXPECT_FALSE(hidden.isVisible());
    {
        QWidget goneMeanwhile;
        goneMeanwhile.show();
        ui.restore(); // the previous minimise's windows only
    }
    EXPECT_FALSE(shown.isMinimized());
    EXPECT_TRUE(shown.isVisible());
    EXPECT_FALSE(hidden.isVisible());

    auto temporary = std::make_unique<QWidget>();
    temporary->show();
    ui.minimise();
    temporary.reset();
    ui.restore(); // a window destroyed while minimised is skipped
    EXPECT_FALSE(shown.isMinimized());
}

TEST(QtUi, AModalDialogStaysAboveThePageThatOpensIt) {
    QtUi ui;
    QDialog page(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint);
    page.show();
    QApplication::setActiveWindow(&page);
    ASSERT_EQ(QApplication::activeWindow(), &page);
    QDialog notice; // not kept on top itself
    QWindow* tiedTo = nullptr;
    QTimer::singleShot(0, [&] {
        tiedTo = notice.windowHandle()->transientParent();
        notice.done(1);
    });
    EXPECT_EQ(ui.showModal(notice), ModalResult::Confirm);
    EXPECT_EQ(tiedTo, page.windowHandle());
}

namespace {
// A page that only its own buttons may close, as the wizard's pages are.
class UnclosablePage : public QDialog {
protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};
} // namespace

TEST(QtUi, QuitIsPostedSoTheHandlerFinishesFirst) {
    QtUi ui;
    UnclosablePage page; // must not keep the wizard from ending
    page.show();
    bool handlerFinished = false;
    QTimer::singleShot(0, [&] {
        ui.quit();
        EXPECT_TRUE(ui.quitRequested());
        handlerFinished = true;
    });
    QTimer safetyNet; // ends the loop should the quit never come; not a timing
    safetyNet.setSingleShot(true);
    QObject::connect(&safetyNet, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    safetyNet.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(handlerFinished);
}

TEST(QtUi, PagesGetTheClassicLookAndTheFontsTheirMetricTwins) {
    EXPECT_EQ(QApplication::style()->name(), QStringLiteral("windows"));
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(0xc0, 0xc0, 0xc0));
    EXPECT_EQ(QApplication::palette().color(QPalette::Button), QColor(0xc0, 0xc0, 0xc0));
    EXPECT_EQ(QFontInfo(QFont("MS Sans Serif")).family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(QFontInfo(QFont("Courier New")).family(), QStringLiteral("Liberation Mono"));
    EXPECT_EQ(hostFontFamily("courier new"), QStringLiteral("Liberation Mono"));
    EXPECT_EQ(hostFontFamily("Wingdings"), QStringLiteral("Wingdings"));
}

// ---- printing ----

class Printing : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path pdf = tmp / "job.pdf";
    PdfPrinter printer{pdf};
};

TEST_F(Printing, ThePrintDialogIsAnsweredFromTheQueue) {
    printer.answerChoose(false);
    EXPECT_FALSE(printer.choosePrinter());
    EXPECT_TRUE(printer.choosePrinter());
    EXPECT_EQ(printer.chooseCount, 2);
}

TEST_F(Printing, APageComesOutWithItsBlanksAccentsAndPages) {
    printer.beginDocument();
    printer.newPage(); // the first page stays empty
    printer.setFont("Courier New", 14, {false, false, true});
    int y = 0;
    const auto line = [&](const std::string& text) {
        printer.textOut(0, y, text);
        y += printer.textHeight(text);
    };
    line("Enviar via FAX para: 011-555-0190");
    printer.setFont("Courier New", 12, {});
    y += 12;
    line("Nome     :Maria da Silva");
    line("Endere\xe7o :Rua das Flores, 12 - apto.");
    line("Cart\xe3o     :");
    const int afterBlock = y;
    printer.endDocument();
    EXPECT_FALSE(printer.documentOpen());

    ASSERT_TRUE(fs::exists(pdf));
    EXPECT_EQ(pdfPages(pdf), 2);
    EXPECT_EQ(pdfText(pdf, 1).find_first_not_of(" \n\f"), std::string::npos);
    const std::string text = pdfText(pdf, 2);
    const auto fax = text.find("Enviar via FAX para: 011-555-0190");
    const auto name = text.find("Nome     :Maria da Silva");
    const auto street = text.find("Endereço :Rua das Flores, 12 - apto.");
    const auto card = text.find("Cartão     :");
    ASSERT_NE(fax, std::string::npos) << text;
    ASSERT_NE(name, std::string::npos) << text;
    ASSERT_NE(street, std::string::npos) << text;
    ASSERT_NE(card, std::string::npos) << text;
    EXPECT_LT(fax, name);
    EXPECT_LT(name, street);
    EXPECT_LT(street, card);

    // "Courier New" is drawn in its metric twin.
    EXPECT_NE(run("pdffonts " + quoted(pdf)).find("LiberationMono"), std::string::npos);

    // What was printed is kept, as written.
    ASSERT_EQ(printer.lastDocument().size(), 2u);
    EXPECT_TRUE(printer.lastDocument()[0].empty());
    ASSERT_EQ(printer.lastDocument()[1].size(), 4u);
    EXPECT_EQ(printer.lastDocument()[1][2].text, "Endere\xe7o :Rua das Flores, 12 - apto.");
    EXPECT_TRUE(printer.lastDocument()[1][0].style.underline);
    EXPECT_GT(afterBlock, printer.lastDocument()[1][3].y);
}

TEST_F(Printing, TextHeightIsInPrinterUnitsAndGrowsWithThePointSize) {
    printer.setFont("Courier New", 8, {});
    const int small = printer.textHeight("Nome");
    printer.setFont("Courier New", 12, {});
    const int medium = printer.textHeight("Nome");
    printer.setFont("Courier New", 14, {true, false, false});
    const int large = printer.textHeight("Nome");
    EXPECT_LT(small, medium);
    EXPECT_LT(medium, large);
    // 12 points are a sixth of an inch: far more than 12 units on any real printer.
    EXPECT_GT(medium, 100);
    // A line is as high as its font, whatever it holds.
    EXPECT_EQ(printer.textHeight(""), large);
    EXPECT_EQ(printer.textHeight("\xc1gua"), large);
}

TEST_F(Printing, AnAbortedJobNeverReachesThePrinter) {
    printer.beginDocument();
    printer.textOut(0, 0, "meio trabalho");
    printer.abortDocument();
    EXPECT_FALSE(printer.documentOpen());
    EXPECT_FALSE(fs::exists(pdf));
    EXPECT_THROW(printer.endDocument(), PlatformError);

    // A job left open by an error is dropped when the next one begins.
    printer.beginDocument();
    printer.textOut(0, 0, "esquecido");
    printer.beginDocument();
    printer.textOut(0, 0, "novo");
    printer.endDocument();
    EXPECT_EQ(pdfPages(pdf), 1);
    const std::string text = pdfText(pdf, 1);
    EXPECT_NE(text.find("novo"), std::string::npos);
    EXPECT_EQ(text.find("esquecido"), std::string::npos);
}

TEST_F(Printing, MisuseAndAnUnwritableOutputRaiseClearErrors) {
    EXPECT_THROW(printer.textOut(0, 0, "x"), PlatformError);
    EXPECT_THROW(printer.newPage(), PlatformError);

    printer.setOutputFile(tmp / "no such directory" / "job.pdf");
    printer.beginDocument();
    printer.textOut(0, 0, "x");
    try {
        printer.endDocument();
        ADD_FAILURE() << "the job could not be written";
    } catch (const PlatformError& e) {
        EXPECT_NE(std::string(e.what()).find("impress"), std::string::npos);
    }
    EXPECT_FALSE(printer.documentOpen());
}

TEST(SystemPrinterTest, ThePrintModuleIsLoadedOnFirstUseOnly) {
    SystemPrinter printer;
    EXPECT_FALSE(printer.loaded());
    EXPECT_NO_THROW(printer.abortDocument()); // nothing to drop, nothing loaded for it
    EXPECT_FALSE(printer.loaded());
    // Whether a printer can take the job depends on this machine; the module is there either way.
    try {
        printer.beginDocument();
        printer.abortDocument();
    } catch (const PlatformError& e) {
        EXPECT_EQ(std::string(e.what()).find("module"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(printer.loaded());
}

TEST(SystemPrinterTest, AMissingPrintModuleIsAClearPrintingError) {
    SystemPrinter printer("libzel-no-such-module.so");
    EXPECT_NO_THROW(printer.abortDocument());
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            printer.choosePrinter();
            ADD_FAILURE() << "printing without its module";
        } catch (const PlatformError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find("impress"), std::string::npos) << message;
            EXPECT_NE(message.find("libzel-no-such-module.so"), std::string::npos) << message;
        }
    }
    EXPECT_THROW(printer.beginDocument(), PlatformError);
    EXPECT_FALSE(printer.loaded());
}

// ---- sound ----

class SoundTest : public MachineTest {};

TEST_F(SoundTest, AFileThatCannotBePlayedNeverRaises) {
    QtSound sound(machine());
    writeFile(driveC() / "WINDOWS" / "BAD.WAV", "not a wave at all");
    EXPECT_NO_THROW(sound.playWave(""));
    EXPECT_NO_THROW(sound.playWave("C:\\WINDOWS\\MISSING.WAV"));
    EXPECT_NO_THROW(sound.playWave("Q:\\NO\\DRIVE.WAV"));
    EXPECT_NO_THROW(sound.playWave("C:\\WINDOWS\\BAD.WAV"));
    EXPECT_NO_THROW(QCoreApplication::processEvents());
}

// A short, valid wave file: 8-bit mono silence.
std::string silentWave() {
    const auto le = [](std::uint32_t value, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>((value >> (8 * i)) & 0xff);
        return out;
    };
    const std::uint32_t samples = 800;
    return "RIFF" + le(36 + samples, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) +
           le(8000, 4) + le(8000, 4) + le(1, 2) + le(8, 2) + "data" + le(samples, 4) +
           std::string(samples, '\x80');
}

// Runs the event loop until `done` holds or five seconds have passed.
bool eventsUntil(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

TEST_F(SoundTest, TheSoundModuleIsSetUpFromTheEventLoop) {
    QtSound sound(machine());
    writeFile(driveC() / "WINDOWS" / "TADA.WAV", silentWave());
    sound.playWave("");
    sound.playWave("C:\\WINDOWS\\TADA.WAV");
    EXPECT_FALSE(sound.playerLoaded()); // not while the caller builds its windows
    EXPECT_TRUE(eventsUntil([&] { return sound.playerLoaded(); }));
}

TEST_F(SoundTest, AMissingFileBeepsAtOnceAndAnEmptyPathSoundsNothing) {
    QtSound sound(machine(), "libzel-no-such-module.so");
    sound.playWave("");
    EXPECT_EQ(sound.beeps(), 0);
    sound.playWave("C:\\WINDOWS\\MISSING.WAV");
    EXPECT_EQ(sound.beeps(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(sound.beeps(), 1);
}

TEST_F(SoundTest, AMissingSoundModuleBeepsInstead) {
    QtSound sound(machine(), "libzel-no-such-module.so");
    writeFile(driveC() / "WINDOWS" / "TADA.WAV", silentWave());
    EXPECT_NO_THROW(sound.playWave("C:\\WINDOWS\\TADA.WAV"));
    EXPECT_EQ(sound.beeps(), 0);
    EXPECT_TRUE(eventsUntil([&] { return sound.beeps() == 1; }));
    EXPECT_FALSE(sound.playerLoaded());
    EXPECT_NO_THROW(sound.playWave("C:\\WINDOWS\\TADA.WAV"));
    EXPECT_TRUE(eventsUntil([&] { return sound.beeps() == 2; }));
    EXPECT_FALSE(sound.playerLoaded());
}

// Calls back on the window's first paint.
class PaintProbe : public QObject {
public:
    PaintProbe(QWidget& window, std::function<void()> painted) : painted_(std::move(painted)) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && painted_)
            std::exchange(painted_, nullptr)();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> painted_;
};

TEST_F(SoundTest, TheSoundModuleWaitsForTheFirstPaint) {
    QtSound sound(machine());
    writeFile(driveC() / "WINDOWS" / "TADA.WAV", silentWave());
    QWidget window;
    window.resize(80, 60);
    std::optional<bool> loadedAtPaint;
    PaintProbe probe(window, [&] { loadedAtPaint = sound.playerLoaded(); });
    sound.playWave("C:\\WINDOWS\\TADA.WAV");
    window.show();
    EXPECT_TRUE(eventsUntil([&] { return sound.playerLoaded(); }));
    ASSERT_TRUE(loadedAtPaint.has_value());
    EXPECT_FALSE(*loadedAtPaint);
}

// ---- start-up warm-ups ----

TEST(WarmUp, ItsTaskIsDoneByWaitOrByTheEnd) {
    using namespace std::chrono_literals;
    std::atomic<int> runs{0};
    {
        WarmUp slow([&] {
            std::this_thread::sleep_for(20ms);
            ++runs;
        });
    } // joined here, never left running
    EXPECT_EQ(runs, 1);
    WarmUp first([&] { ++runs; });
    first.wait();
    EXPECT_EQ(runs, 2);
    first.wait(); // a second wait returns at once
    first = WarmUp([&] {
        std::this_thread::sleep_for(10ms);
        ++runs;
    });
    first = WarmUp(); // replacing a running task waits for it
    EXPECT_EQ(runs, 3);
}

TEST(WarmUp, MemoryIsClearedWholeAndAnEmptyRangeNeedsNoThread) {
    std::vector<unsigned char> block(3 * 4096 + 123, 0xab);
    WarmUp clearing = warmUpMemory(block.data(), block.size());
    clearing.wait();
    EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](unsigned char c) { return c == 0; }));
    WarmUp none = warmUpMemory(nullptr, 4096);
    none.wait();
    WarmUp nothing = warmUpMemory(block.data(), 0);
    nothing.wait();
}

// ---- pictures ----

QImage twoColours(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (int y = 0; y < size.height(); ++y)
        for (int x = size.width() / 2; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(0, 0, 255));
    return image;
}

QRgb pixelAt(const QLabel& label, int x, int y) {
    return label.pixmap().toImage().pixel(x, y);
}

std::string le16(int v) {
    return {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff)};
}
std::string le32(uint32_t v) {
    return le16(static_cast<int>(v & 0xffff)) + le16(static_cast<int>(v >> 16));
}
std::string wmfRecord(int function, const std::string& params) {
    return le32(static_cast<uint32_t>(3 + params.size() / 2)) + le16(function) + params;
}
std::string emfRecord(uint32_t type, const std::string& params) {
    return le32(type) + le32(static_cast<uint32_t>(8 + params.size())) + params;
}

// A placeable metafile of 100 x 50 pixels (at 96 units an inch) with a red left half drawn
// as a rectangle and a stretched 2 x 1 bitmap (green, blue) over the right half.
std::string sampleWmf() {
    std::string body;
    body += wmfRecord(0x02FC, le16(0) + le32(0x0000ff) + le16(0));    // red brush -> slot 0
    body += wmfRecord(0x02FA, le16(5) + le16(0) + le16(0) + le32(0)); // null pen -> slot 1
    body += wmfRecord(0x012D, le16(0));
    body += wmfRecord(0x012D, le16(1));
    body += wmfRecord(0x041B, le16(51) + le16(51) + le16(0) + le16(0)); // bottom right top left
    std::string dib = le32(40) + le32(2) + le32(1) + le16(1) + le16(24) + le32(0) + le32(8) +
                      le32(0) + le32(0) + le32(0) + le32(0);
    dib += std::string("\x00\xff\x00", 3) + std::string("\xff\x00\x00", 3) + std::string(2, '\0');
    body += wmfRecord(0x0F43, le32(0x00CC0020) + le16(0) + le16(1) + le16(2) + le16(0) + le16(0) +
                                  le16(50) + le16(50) + le16(0) + le16(50) + dib);
    body += wmfRecord(0x0000, "");
    std::string placeable =
        le32(0x9AC6CDD7) + le16(0) + le16(0) + le16(0) + le16(100) + le16(50) + le16(96) + le32(0);
    placeable += le16(0); // checksum, not checked
    const std::string header =
        le16(1) + le16(9) + le16(0x0300) + le32(0) + le16(2) + le32(0) + le16(0);
    return placeable + header + body;
}

// An enhanced metafile of 100 x 50 device pixels whose right half is a blue rectangle.
std::string sampleEmf() {
    std::string header = le32(0) + le32(0) + le32(99) + le32(49); // bounds
    header += le32(0) + le32(0) + le32(0) + le32(0);              // frame: unused here
    header += le32(0x464D4520) + le32(0x10000) + le32(0) + le32(0) + le16(0) + le16(0);
    header += le32(0) + le32(0) + le32(0);           // description, palette
    header += le32(0) + le32(0) + le32(0) + le32(0); // reference device, millimetres
    std::string body;
    body += emfRecord(39, le32(1) + le32(0) + le32(0xff0000) + le32(0)); // blue brush
    body += emfRecord(37, le32(1));
    body += emfRecord(37, le32(0x80000008)); // the stock null pen
    body += emfRecord(43, le32(50) + le32(0) + le32(101) + le32(51));
    body += emfRecord(14, le32(0) + le32(16) + le32(20));
    return emfRecord(1, header) + body;
}

class Pictures : public ::testing::Test {
protected:
    TempDir tmp;
    QLabel label;
};

TEST_F(Pictures, BitmapsIconsPngAndJpegLoadAtTheirSize) {
    const QImage image = twoColours(QSize(40, 20));
    for (const char* name : {"A.BMP", "b.png", "C.JPG", "d.ico"}) {
        const fs::path file = tmp / name;
        ASSERT_TRUE(image.save(QString::fromStdString(file.string()))) << name;
        label.setPixmap(QPixmap());
        EXPECT_TRUE(loadPicture(label, file)) << name;
        EXPECT_EQ(label.pixmap().size(), QSize(40, 20)) << name;
    }
    EXPECT_EQ(pixelAt(label, 5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(pixelAt(label, 35, 5), qRgb(0, 0, 255));

    // A PNG saved under a bitmap's name still shows.
    const fs::path misnamed = tmp / "PNG.BMP";
    ASSERT_TRUE(image.save(QString::fromStdString(misnamed.string()), "PNG"));
    EXPECT_TRUE(loadPicture(label, misnamed));
}

TEST_F(Pictures, AFileThatCannotBeDecodedLeavesThePictureEmpty) {
    ASSERT_TRUE(twoColours(QSize(8, 8)).save(QString::fromStdString((tmp / "ok.bmp").string())));
    for (const char* name :
         {"GARBAGE.BMP", "GARBAGE.ICO", "GARBAGE.WMF", "GARBAGE.EMF", "GARBAGE.JPG"}) {
        ASSERT_TRUE(loadPicture(label, tmp / "ok.bmp"));
        writeFile(tmp / name, "BM this is not a picture, only some text in a file");
        EXPECT_FALSE(loadPicture(label, tmp / name)) << name;
        EXPECT_TRUE(label.pixmap().isNull()) << name;
    }
    ASSERT_TRUE(loadPicture(label, tmp / "ok.bmp"));
    EXPECT_FALSE(loadPicture(label, tmp / "MISSING.BMP"));
    EXPECT_TRUE(label.pixmap().isNull());
    writeFile(tmp / "EMPTY.BMP", "");
    EXPECT_FALSE(loadPicture(label, tmp / "EMPTY.BMP"));
}

TEST_F(Pictures, MetafilesAreDrawnAtTheirOwnSize) {
    writeFile(tmp / "LOGO.WMF", sampleWmf());
    ASSERT_TRUE(loadPicture(label, tmp / "LOGO.WMF"));
    EXPECT_EQ(label.pixmap().size(), QSize(100, 50));
    EXPECT_EQ(pixelAt(label, 25, 25), qRgb(255, 0, 0));
    EXPECT_EQ(pixelAt(label, 60, 25), qRgb(0, 255, 0));
    EXPECT_EQ(pixelAt(label, 90, 25), qRgb(0, 0, 255));

    writeFile(tmp / "logo.emf", sampleEmf());
    ASSERT_TRUE(loadPicture(label, tmp / "logo.emf"));
    EXPECT_EQ(label.pixmap().size(), QSize(100, 50));
    EXPECT_EQ(pixelAt(label, 25, 25), qRgb(255, 255, 255));
    EXPECT_EQ(pixelAt(label, 75, 25), qRgb(0, 0, 255));

    // A record that claims more than the file holds is damage, not a picture.
    std::string cut = sampleWmf();
    cut.replace(22 + 18, 4, le32(100000));
    writeFile(tmp / "CUT.WMF", cut);
    EXPECT_FALSE(loadPicture(label, tmp / "CUT.WMF"));
}

TEST_F(Pictures, WindowsPathsGoThroughTheMachine) {
    TempDir prefixDir;
    Machine::Options options;
    options.prefix = prefixDir / "prefix";
    options.programHostPath = prefixDir / "medium" / "SETUP";
    options.hostWorkingDir = prefixDir / "medium";
    writeFile(options.programHostPath, "");
    Machine machine(options);
    ASSERT_TRUE(twoColours(QSize(6, 4))
                    .save(QString::fromStdString(
                        (prefixDir / "prefix" / "drive_c" / "Logo.bmp").string())));
    EXPECT_TRUE(loadPicture(label, machine, "C:\\LOGO.BMP"));
    EXPECT_EQ(label.pixmap().size(), QSize(6, 4));
    EXPECT_FALSE(loadPicture(label, machine, "C:\\NADA.BMP"));
    // A picture that is a link off its drive, or larger than a picture the wizard shows, is as
    // missing; so is a pipe, which is never waited for.
    const fs::path drive = prefixDir / "prefix" / "drive_c";
    fs::copy_file(drive / "Logo.bmp", prefixDir / "host.bmp");
    fs::create_symlink(prefixDir / "host.bmp", drive / "LINK.BMP");
    fs::copy_file(drive / "Logo.bmp", drive / "BIG.BMP");
    fs::resize_file(drive / "BIG.BMP", kMaxPictureBytes + 1);
    ASSERT_EQ(::mkfifo((drive / "PIPE.BMP").c_str(), 0600), 0);
    for (const char* refused : {"C:\\LINK.BMP", "C:\\BIG.BMP", "C:\\PIPE.BMP"}) {
        ASSERT_TRUE(loadPicture(label, machine, "C:\\LOGO.BMP"));
        EXPECT_FALSE(loadPicture(label, machine, refused)) << refused;
        EXPECT_TRUE(label.pixmap().isNull()) << refused;
    }
}

} // namespace
} // namespace zel::test
