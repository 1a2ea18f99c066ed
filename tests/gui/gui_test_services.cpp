// The Qt services: the guard around handlers, message boxes and modal dialogs, the pointer,
// window states and the end of the application; printing on a QPrinter and through the print
// module; the start sound; warm-ups; the radio group and the gauge.
#include "qt/qt_gauge.h"
#include "qt/qt_printer.h"
#include "qt/qt_radiogroup.h"
#include "qt/qt_sound.h"
#include "qt/qt_system_printer.h"
#include "qt/qt_ui.h"
#include "qt/qt_warmup.h"
#include "tests/support/gui_wizard_fixture.h"
#include "winemu/errors.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

namespace zel::test {
namespace {

// Runs `act` on the next application-modal widget as soon as it shows (polled: it appears only
// once the code under test runs its own event loop).
void onModal(std::function<void(QWidget&)> act) {
    auto* timer = new QTimer(&guiApplication());
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, tries = 0]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr && ++tries < 1000)
            return;
        timer->deleteLater();
        timer->stop();
        if (modal)
            act(*modal);
        else
            ADD_FAILURE() << "no modal widget appeared";
    });
    timer->start(5);
}

// Runs the event loop until `done` holds, or five seconds have passed.
bool eventsUntil(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

TEST(Guarded, ReportsWhatLeavesTheHandlerAndSwallowsIt) {
    ScriptedUi ui;
    bool ran = false;
    guarded(ui, [&] { ran = true; });
    guarded(ui, [] { throw PlatformError("Failed to create key SOFTWARE\\X"); });
    guarded(ui, [] { throw 42; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(ui.errors,
              (std::vector<std::string>{"Failed to create key SOFTWARE\\X", "Erro desconhecido"}));
    struct ThrowingUi : ScriptedUi {
        void reportError(const std::string&) override { throw std::runtime_error("again"); }
    } throwing;
    EXPECT_NO_THROW(guarded(throwing, [] { throw std::runtime_error("first"); }));
    EXPECT_NO_THROW(guarded(throwing, [] { throw 42; }));
}

// ---- the user-interface services

// Each box as "caption | text (its format) | icon | buttons"; Escape is "Cancelar" where there
// is one, "OK" where that is the only button. Kit text is never markup, every line end breaks.
TEST(QtUiTest, MessageBoxesShowPlainTextAndAnswerByTheirButtons) {
    QtUi ui;
    const auto box = [&](const std::function<ModalResult()>& open, const auto& act) {
        std::string seen;
        onModal([&](QWidget& widget) {
            auto& b = dynamic_cast<QMessageBox&>(widget);
            const auto* label = b.findChild<QLabel*>("qt_msgbox_label");
            seen = (b.windowTitle() + " | " + label->text() + " (" +
                    QString::number(label->textFormat()) + ") | " + QString::number(b.icon()) +
                    " | " + QString::number(b.buttons().size()) + " | ")
                       .toStdString();
            act(b);
        });
        return seen + (open() == ModalResult::Confirm ? "Confirm" : "Other");
    };
    const auto cancel = [](QMessageBox& b) { b.button(QMessageBox::Cancel)->click(); };
    const auto ok = [](QMessageBox& b) { b.button(QMessageBox::Ok)->click(); };
    const auto escape = [](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Escape); };
    const auto message = [&](MsgButtons buttons) {
        return [&ui, buttons] {
            return ui.messageBox("Copiar <u>BBS.DAT</u> &\r\nlinha\rS\xf3", "Aten\xe7\xe3o",
                                 buttons, MsgIcon::Warning);
        };
    };
    const std::string text = "Atenção | Copiar <u>BBS.DAT</u> &\nlinha\nSó (0) | 2 | ";
    EXPECT_EQ(box(message(MsgButtons::OkCancel), cancel), text + "2 | Other");
    EXPECT_EQ(box(message(MsgButtons::OkCancel), ok), text + "2 | Confirm");
    EXPECT_EQ(box(message(MsgButtons::OkCancel), escape), text + "2 | Other");
    EXPECT_EQ(box(message(MsgButtons::Ok), escape), text + "1 | Confirm");
    // An error is reported under the program's title, with its full stop.
    EXPECT_EQ(
        box([&] { return ui.reportError("N\xe3o h\xe1 <b>\ndisco"), ModalResult::Confirm; }, ok),
        std::string(kApplicationTitle) + " | Não há <b>\ndisco. (0) | 3 | 1 | Confirm");
}

TEST(QtUiTest, AModalDialogEndsWithItsResultAboveThePageThatOpensIt) {
    guiApplication();
    QtUi ui;
    QDialog page(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint), dialog; // dialog: not on top
    page.show();
    QApplication::setActiveWindow(&page);
    for (const auto& [code, result] :
         {std::pair{1, ModalResult::Confirm}, {2, ModalResult::Other}, {0, ModalResult::Other}}) {
        QWindow* tiedTo = nullptr;
        onModal([&, code = code](QWidget&) {
            tiedTo = dialog.windowHandle()->transientParent();
            dialog.done(code);
        });
        EXPECT_EQ(ui.showModal(dialog), result);
        EXPECT_EQ(tiedTo, page.windowHandle());
    }
}

TEST(QtUiTest, TheBusyPointerIsAStateAndWindowsComeBackAsTheyWere) {
    guiApplication();
    QtUi ui;
    ui.setBusyCursor(true);
    ui.setBusyCursor(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui.setBusyCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    QApplication::setOverrideCursor(Qt::IBeamCursor); // someone else's: not ours to restore
    ui.setBusyCursor(false);
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    QApplication::restoreOverrideCursor();

    QWidget shown, hidden;
    shown.show();
    auto destroyed = std::make_unique<QWidget>();
    destroyed->show();
    ui.minimise();
    EXPECT_TRUE(shown.isMinimized());
    destroyed.reset(); // skipped by the restore
    QWidget later;
    later.show();
    ui.restore();
    EXPECT_FALSE(shown.isMinimized() || later.isMinimized());
    EXPECT_TRUE(shown.isVisible());
    EXPECT_FALSE(hidden.isVisible());
}

TEST(QtUiTest, QuitIsPostedSoTheHandlerFinishesAndNoPageCanRefuseIt) {
    guiApplication();
    struct UnclosablePage : QDialog {
        void closeEvent(QCloseEvent* event) override { event->ignore(); }
    } page;
    page.show();
    QtUi ui;
    bool handlerFinished = false;
    QTimer::singleShot(0, [&] {
        ui.quit();
        handlerFinished = ui.quitRequested();
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(7); }); // should the quit never come
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(handlerFinished);
    // Windows fonts are drawn in their metric twins.
    EXPECT_EQ(QFontInfo(QFont("Courier New")).family(), "Liberation Mono");
    EXPECT_EQ(hostFontFamily("ms sans serif"), "Liberation Sans");
    EXPECT_EQ(hostFontFamily("Wingdings"), "Wingdings");
}

// ---- printing

// QtPrinter writing a PDF file; everything else is QtPrinter's own.
class PdfPrinter : public QtPrinter {
public:
    explicit PdfPrinter(fs::path file) : file_(std::move(file)) {}

protected:
    void configure(QPrinter& printer) override {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(file_.string()));
    }

private:
    fs::path file_;
};

TEST(QtPrinterTest, AJobComesOutWholeWithItsPagesFontsAndAccents) {
    guiApplication();
    TempDir tmp;
    PdfPrinter printer(tmp / "job.pdf");
    const auto pdf = [&](const char* tool) {
        return runCommand(tool + (" '" + (tmp / "job.pdf").string()) + "' -").output;
    };
    EXPECT_THROW(printer.textOut(0, 0, "x"), PlatformError); // no job yet
    EXPECT_THROW(printer.newPage(), PlatformError);
    printer.beginDocument();
    printer.textOut(0, 0, "esquecido");
    printer.beginDocument(); // drops the job an error left open
    printer.newPage();       // the first page stays empty
    printer.setFont("Courier New", 14, {false, false, true});
    printer.textOut(0, 0, "Enviar via FAX");
    printer.setFont("Courier New", 12, {});
    const int line = printer.textHeight("");
    printer.textOut(0, line, "Endere\xe7o :Rua");
    printer.textOut(0, 2 * line, "Fim");
    printer.endDocument();
    EXPECT_FALSE(printer.documentOpen());
    EXPECT_EQ(pdf("pdftotext"), "\fEnviar via FAX\nEndereço :Rua\nFim\n\n\f");
    EXPECT_NE(
        runCommand("pdffonts '" + (tmp / "job.pdf").string() + "'").output.find("LiberationMono"),
        std::string::npos); // "Courier New" drawn in its metric twin
    ASSERT_EQ(printer.lastDocument().size(), 2u);
    ASSERT_EQ(printer.lastDocument()[1].size(), 3u);
    EXPECT_TRUE(printer.lastDocument()[1][0].style.underline);
    EXPECT_EQ(printer.lastDocument()[1][1].text, "Endere\xe7o :Rua");
    // A line is as high as its font, in printer units (12 points are a sixth of an inch).
    EXPECT_GT(line, 100);
    printer.setFont("Courier New", 8, {});
    EXPECT_LT(printer.textHeight("Nome"), line);
    EXPECT_EQ(printer.textHeight("\xc1gua"), printer.textHeight(""));
    // An aborted job never reaches the printer.
    printer.beginDocument();
    printer.textOut(0, 0, "meio trabalho");
    printer.abortDocument();
    EXPECT_FALSE(printer.documentOpen());
    EXPECT_THROW(printer.endDocument(), PlatformError);
    EXPECT_EQ(pdf("pdftotext").find("meio"), std::string::npos);
}

TEST(QtPrinterTest, AnUnwritableOutputIsAClearErrorAndThePrintDialogAnswers) {
    guiApplication();
    TempDir tmp;
    PdfPrinter printer(tmp / "no such directory" / "job.pdf");
    printer.beginDocument();
    printer.textOut(0, 0, "x");
    try {
        printer.endDocument();
        ADD_FAILURE() << "the job could not be written";
    } catch (const PlatformError& e) {
        EXPECT_STREQ(e.what(), "N\xe3o foi poss\xedvel iniciar a impress\xe3o");
    }
    EXPECT_FALSE(printer.documentOpen());
    onModal([](QWidget& dialog) { dynamic_cast<QDialog&>(dialog).accept(); });
    EXPECT_TRUE(printer.choosePrinter());
    onModal([](QWidget& dialog) { dynamic_cast<QDialog&>(dialog).reject(); });
    EXPECT_FALSE(printer.choosePrinter());
}

TEST(SystemPrinterTest, ThePrintModuleIsLoadedOnFirstUseAndAMissingOneIsAClearError) {
    guiApplication();
    SystemPrinter printer;
    printer.abortDocument(); // nothing to drop, nothing loaded for it
    EXPECT_FALSE(printer.loaded());
    try { // whether a printer takes the job depends on this machine; the module is there
        printer.beginDocument();
        printer.abortDocument();
    } catch (const PlatformError& e) {
        EXPECT_EQ(std::string(e.what()).find("module"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(printer.loaded());
    SystemPrinter missing("libzel-no-such-module.so");
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            missing.beginDocument();
            ADD_FAILURE() << "printing without its module";
        } catch (const PlatformError& e) {
            EXPECT_EQ(
                std::string(e.what()).rfind("N\xe3o foi poss\xedvel iniciar a impress\xe3o (", 0),
                0u);
            EXPECT_NE(std::string(e.what()).find("libzel-no-such-module.so"), std::string::npos);
        }
    }
    EXPECT_FALSE(missing.loaded());
}

// ---- sound

class QtSoundTest : public MachineTest {
protected:
    void SetUp() override {
        guiApplication();
        MachineTest::SetUp();
        // A short, valid wave file: 8-bit mono silence.
        const auto le = [](std::uint32_t value, int bytes) {
            return std::string(reinterpret_cast<const char*>(&value), std::size_t(bytes));
        };
        writeFile(driveC() / "WINDOWS" / "TADA.WAV",
                  "RIFF" + le(836, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(8000, 4) +
                      le(8000, 4) + le(1, 2) + le(8, 2) + "data" + le(800, 4) +
                      std::string(800, '\x80'));
    }
};

TEST_F(QtSoundTest, AMissingFileBeepsAtOnceAndAMissingModuleFromTheEventLoop) {
    QtSound sound(machine(), "libzel-no-such-module.so");
    sound.playWave("");
    EXPECT_EQ(sound.beeps(), 0);
    sound.playWave("C:\\WINDOWS\\MISSING.WAV");
    EXPECT_EQ(sound.beeps(), 1);
    sound.playWave("Q:\\NO\\DRIVE.WAV");
    EXPECT_EQ(sound.beeps(), 2);
    sound.playWave("C:\\WINDOWS\\TADA.WAV");
    EXPECT_EQ(sound.beeps(), 2);
    EXPECT_TRUE(eventsUntil([&] { return sound.beeps() == 3; }));
    sound.playWave("C:\\WINDOWS\\TADA.WAV"); // the module is not looked for again, nor missed
    EXPECT_TRUE(eventsUntil([&] { return sound.beeps() == 4; }));
    EXPECT_FALSE(sound.playerLoaded());
}

TEST_F(QtSoundTest, TheSoundModuleIsLoadedOnlyAfterTheFirstPaint) {
    QtSound sound(machine());
    struct PaintProbe : QWidget {
        std::function<void()> painted;
        void paintEvent(QPaintEvent*) override {
            if (painted)
                std::exchange(painted, nullptr)();
        }
    } window;
    std::optional<bool> loadedAtPaint;
    window.painted = [&] { loadedAtPaint = sound.playerLoaded(); };
    sound.playWave("C:\\WINDOWS\\TADA.WAV");
    EXPECT_FALSE(sound.playerLoaded()); // not while the caller builds its windows
    window.show();
    EXPECT_TRUE(eventsUntil([&] { return sound.playerLoaded(); }));
    EXPECT_EQ(loadedAtPaint, std::optional<bool>(false));
}

// ---- warm-ups and widgets

TEST(WarmUpTest, ItsTaskIsDoneByWaitOrByTheEndAndMemoryIsClearedWhole) {
    std::atomic<int> runs{0};
    const auto slow = [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ++runs;
    };
    WarmUp(slow).wait();
    { WarmUp joined(slow); } // never left running
    WarmUp task(slow);
    task = WarmUp(); // replacing a running task waits for it
    EXPECT_EQ(runs, 3);
    std::vector<unsigned char> block(3 * 4096 + 123, 0xab);
    warmUpMemory(block.data(), block.size()).wait();
    EXPECT_EQ(block, std::vector<unsigned char>(block.size(), 0));
}

TEST(RadioGroupTest, ItemsInColumnsSelectedByClickOrIndexWithinTheirRange) {
    guiApplication();
    RadioGroup group;
    group.setGeometry(0, 0, 432, 65);
    group.setColumns(2);
    group.setItems({"A", "B", "C"});
    QSignalSpy changed(&group, &RadioGroup::itemIndexChanged);
    QSignalSpy frame(&group, &RadioGroup::clicked);
    group.show();
    // Filled top to bottom: A and B in the first column, C at the top of the second.
    EXPECT_EQ(group.button(0)->x(), group.button(1)->x());
    EXPECT_LT(group.button(0)->y(), group.button(1)->y());
    EXPECT_GT(group.button(2)->x(), group.button(0)->x());
    EXPECT_EQ(group.button(2)->y(), group.button(0)->y());
    EXPECT_EQ(group.button(3), nullptr);
    // An item answers a click anywhere on it, past its text too.
    QTest::mouseClick(group.button(2), Qt::LeftButton, {}, QPoint(group.button(2)->width() - 2, 2));
    for (const int index : {0, 0, -1, 7, -5}) // past the end: the last item
        group.setItemIndex(index);
    QList<int> indices;
    for (const auto& signal : changed)
        indices << signal.at(0).toInt();
    EXPECT_EQ(indices, QList<int>({2, 0, -1, 2, -1}));
    EXPECT_FALSE(group.button(2)->isChecked());
    QTest::mouseClick(&group, Qt::LeftButton, {}, QPoint(2, 2)); // the frame: selects nothing
    EXPECT_EQ(frame.count(), 1);
    group.setItemIndex(1);
    group.setItems({"X", "Y"}); // new items start without a selection, and say so
    EXPECT_EQ(group.itemIndex(), -1);
    EXPECT_EQ(changed.count(), 7);
    EXPECT_EQ(group.items(), QStringList({"X", "Y"}));
}

TEST(GaugeTest, PositionStaysWithinTheMaximumAndPaintsOnPercentChanges) {
    guiApplication();
    struct Gauge : GaugeWidget {
        int paints = 0;
        void paintEvent(QPaintEvent* event) override { ++paints, GaugeWidget::paintEvent(event); }
    } gauge;
    gauge.setMaximum(10);
    gauge.setPosition(15);
    EXPECT_EQ(gauge.position(), 10);
    gauge.setPosition(-3);
    gauge.advance(7);
    EXPECT_EQ(gauge.percent(), 70);
    gauge.setMaximum(4); // lowering the maximum lowers the position
    EXPECT_EQ(gauge.position(), 4);
    gauge.setMaximum(0);
    EXPECT_EQ(gauge.percent(), 0);
    gauge.setMaximum(3);
    gauge.advance(1);
    EXPECT_EQ(gauge.percent(), 33); // truncated
    gauge.setMaximum(2147483647);
    gauge.setPosition(2147483647);
    gauge.advance(2147483647); // no wrap-around
    EXPECT_EQ(gauge.percent(), 100);
    gauge.setMaximum(1000);
    gauge.setPosition(0);
    gauge.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&gauge));
    QCoreApplication::processEvents();
    gauge.paints = 0;
    for (int i = 0; i < 9; ++i)
        gauge.advance(1); // still 0 %
    EXPECT_EQ(gauge.paints, 0);
    gauge.advance(1); // 1 %: painted at once, without the event loop
    EXPECT_EQ(gauge.paints, 1);
}

} // namespace
} // namespace zel::test
