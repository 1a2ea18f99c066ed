// The Qt services: the guard around handlers, message boxes, the pointer, windows put away, the
// end of the application; the gauge and radio group; the start-up sound; printing.
#include "qt/gauge_widget.h"
#include "qt/qt_modal.h"
#include "qt/qt_printer.h"
#include "qt/qt_sound.h"
#include "qt/qt_ui.h"
#include "qt/radio_group.h"
#include "qt/system_printer.h"
#include "setup/messages.h"
#include "tests/support/gui_wizard_fixture.h"
#include "winemu/errors.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <sys/stat.h>

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

// Each box as "caption | text (its format) | icon | buttons"; Escape is "Cancelar" where there
// is one, "OK" where that is the only button. Kit text is never markup, every line end breaks,
// in the box and on stderr alike. Qt's own buttons speak the wizard's language.
TEST(QtUiTest, MessageBoxesShowPlainTextAndAnswerByTheirButtons) {
    loadQtTranslations(guiApplication());
    QtUi ui;
    ::testing::internal::CaptureStderr();
    const auto box = [&](const std::function<ModalResult()>& open, const auto& act) {
        std::string seen;
        onModal([&](QWidget& widget) {
            auto& b = dynamic_cast<QMessageBox&>(widget);
            const auto* label = b.findChild<QLabel*>("qt_msgbox_label");
            QStringList buttons;
            for (const QAbstractButton* button : b.buttons())
                buttons << button->text();
            seen = (b.windowTitle() + " | " + label->text() + " (" +
                    QString::number(label->textFormat()) + ") | " + QString::number(b.icon()) +
                    " | " + buttons.join(" ") + " | ")
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
            return ui.messageBox("Copiar <u>BBS.DAT</u> &\r\nlinha\rS\xf3 \x01", "Aten\xe7\xe3o",
                                 buttons, MsgIcon::Warning);
        };
    };
    const std::string text = "Atenção | Copiar <u>BBS.DAT</u> &\nlinha\nSó \x01 (0) | 2 | ";
    EXPECT_EQ(box(message(MsgButtons::OkCancel), cancel), text + "OK Cancelar | Other");
    EXPECT_EQ(box(message(MsgButtons::OkCancel), ok), text + "OK Cancelar | Confirm");
    EXPECT_EQ(box(message(MsgButtons::OkCancel), escape), text + "OK Cancelar | Other");
    EXPECT_EQ(box(message(MsgButtons::Ok), escape), text + "OK | Confirm");
    // An error is reported under the program's title, with its full stop.
    EXPECT_EQ(
        box([&] { return ui.reportError("N\xe3o h\xe1 <b>\ndisco"), ModalResult::Confirm; }, ok),
        std::string(kApplicationTitle) + " | Não há <b>\ndisco. (0) | 3 | OK | Confirm");
    const std::string line = "Atenção: Copiar <u>BBS.DAT</u> &\nlinha\nSó \\x01\n";
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              line + line + line + line + kApplicationTitle + ": Não há <b>\ndisco.\n");
}

TEST(QtUiTest, TheBusyPointerIsAStateAndWindowsPutAwayComeBack) {
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
    QWidget shown, hidden; // restoring shows again exactly what minimising put away
    shown.show();
    auto gone = std::make_unique<QWidget>();
    gone->show();
    ui.minimise();
    shown.hide(); // as a desktop may hide a minimised window
    gone.reset(); // and a window may go meanwhile
    ui.restore();
    EXPECT_TRUE(shown.isVisible() && !shown.isMinimized() && !hidden.isVisible());
}

// A dialog belongs to the page that opens it, so it stays above a page kept on top.
TEST(QtUiTest, AModalDialogBelongsToThePageThatOpensIt) {
    guiApplication();
    QDialog page(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint), notice;
    page.show();
    QApplication::setActiveWindow(&page);
    ASSERT_EQ(QApplication::activeWindow(), &page);
    QWindow* tiedTo = nullptr;
    onModal([&](QWidget&) { tiedTo = notice.windowHandle()->transientParent(), notice.accept(); });
    QtModalDialog modal(notice);
    EXPECT_EQ(QtUi().showModal(modal), ModalResult::Confirm);
    EXPECT_EQ(tiedTo, page.windowHandle());
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
}

// A gauge never shows more than its maximum nor wraps, whatever it is told; its text is black on
// the white part whatever the palette's text colour.
TEST(WidgetsTest, AGaugeStaysWithinItsMaximumAndWritesInBlack) {
    guiApplication();
    GaugeWidget gauge;
    gauge.setMaximum(INT_MAX);
    gauge.setPosition(INT_MAX - 1);
    gauge.advance(INT_MAX);
    std::string seen = std::to_string(gauge.percent());
    gauge.setMaximum(4);
    seen += " " + std::to_string(gauge.position());
    gauge.setPosition(-3);
    seen += " " + std::to_string(gauge.position());
    gauge.setMaximum(0);
    EXPECT_EQ(seen + " " + std::to_string(gauge.percent()), "100 4 0 0");
    QPalette red = gauge.palette();
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        red.setColor(role, Qt::red);
    gauge.setPalette(red);
    gauge.resize(200, 25);
    gauge.setMaximum(10);
    gauge.setPosition(1); // "10%" in the middle, on white
    const QImage image = gauge.grab().toImage();
    int dark = 0, reddish = 0;
    for (int y = 2; y < image.height() - 2; ++y) // inside the frame, right of the blue
        for (int x = 40; x < image.width() - 2; ++x) {
            const QColor c = image.pixelColor(x, y);
            dark += std::max({c.red(), c.green(), c.blue()}) < 64;
            reddish += c.red() > c.green() + 60 && c.red() > c.blue() + 60;
        }
    EXPECT_GT(dark, 5);
    EXPECT_EQ(reddish, 0);
    // Sunk into the page: dark above and to the left, light below and to the right.
    const QPalette& p = gauge.palette();
    const int x = image.width() / 2, y = image.height() / 2, w = image.width(), h = image.height();
    EXPECT_EQ(
        std::vector<QColor>({image.pixelColor(x, 0), image.pixelColor(0, y), image.pixelColor(x, 1),
                             image.pixelColor(x, h - 1), image.pixelColor(w - 1, y)}),
        std::vector<QColor>({p.color(QPalette::Dark), p.color(QPalette::Dark),
                             p.color(QPalette::Shadow), p.color(QPalette::Light),
                             p.color(QPalette::Light)}));
}

// A field the user cannot change is grey, as the page around it, not white as one to fill in.
TEST(WidgetsTest, ADisabledFieldIsGreyAsThePage) {
    guiApplication();
    QLineEdit enabled, disabled;
    disabled.setEnabled(false);
    const auto inside = [](QLineEdit& edit) {
        edit.resize(80, 20);
        return edit.grab().toImage().pixelColor(70, 10);
    };
    EXPECT_EQ(inside(enabled), enabled.palette().color(QPalette::Base));
    EXPECT_EQ(inside(disabled), enabled.palette().color(QPalette::Window));
    EXPECT_NE(inside(disabled), inside(enabled));
}

// A new list drops the choice, and says so only when there was one.
TEST(WidgetsTest, ANewListDropsTheRadioGroupsChoice) {
    guiApplication();
    RadioGroup group;
    std::vector<int> changes;
    QObject::connect(&group, &RadioGroup::itemIndexChanged, [&](int i) { changes.push_back(i); });
    group.setItems({"a", "b", "c"});
    group.setItemIndex(1);
    group.setItems({"x", "y"});
    EXPECT_EQ(changes, (std::vector<int>{1, -1}));
}

// Once a window is painted a sound starts at once, not half a second later (here it beeps).
class QtSoundTest : public MachineTest {};
TEST_F(QtSoundTest, OnceAWindowIsPaintedASoundStartsAtOnce) {
    guiApplication();
    writeFile(driveC() / "TADA.WAV", "RIFF");
    static QStringList warnings; // the user is told why there is no sound, once
    const QtMessageHandler before = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext&, const QString& message) {
            if (type == QtWarningMsg && message.startsWith("No sound: "))
                warnings << message;
        });
    QtSound sound(machine(), "no_such_module");
    sound.playWave(""); // no sound named: silence
    sound.playWave("C:\\TADA.WAV");
    EXPECT_EQ(sound.beeps(), 0); // not before the first paint
    QWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sound.beeps() == 1; }));
    sound.playWave("C:\\TADA.WAV");
    QtUi().processEvents(); // the turn of the event loop that long work lets through
    EXPECT_EQ(sound.beeps(), 2);
    qInstallMessageHandler(before);
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains("no_such_module")) << warnings[0].toStdString();
}

// QtPrinter writing a PDF file; everything else is QtPrinter's own.
struct PdfPrinter : QtPrinter {
    explicit PdfPrinter(fs::path file) : file(std::move(file)) {}
    void configure(QPrinter& printer) override {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(file.string()));
    }
    fs::path file;
};

TEST(QtPrinterTest, AJobComesOutWholeOrIsAClearErrorAndThePrintDialogAnswers) {
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
    printer.setFont("Courier New", 14, {true, false, true});
    printer.textOut(0, 0, "Enviar via FAX");
    printer.setFont("Courier New", 12, {});
    const int line = printer.textHeight("");
    printer.textOut(0, line, "Endere\xe7o :Rua");
    printer.textOut(0, 2 * line, "Fim");
    printer.endDocument();
    EXPECT_FALSE(printer.documentOpen());
    EXPECT_EQ(pdf("pdftotext"), "\fEnviar via FAX\nEndereço :Rua\nFim\n\n\f");
    EXPECT_NE(runCommand("pdffonts '" + (tmp / "job.pdf").string() + "'")
                  .output.find("LiberationMono-Bold"),
              std::string::npos); // "Courier New" drawn in its metric twin, bold
    EXPECT_TRUE(printer.lastDocument().at(1).at(0).style.underline); // which no text shows
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
    // An output that cannot be written is a clear error, the job dropped.
    PdfPrinter unwritable(tmp / "no such directory" / "job.pdf");
    unwritable.beginDocument();
    unwritable.textOut(0, 0, "x");
    EXPECT_EQ(errorOf([&] { unwritable.endDocument(); }),
              "N\xe3o foi poss\xedvel iniciar a impress\xe3o");
    EXPECT_FALSE(unwritable.documentOpen());
    // The print dialog answers as the user did.
    onModal([](QWidget& dialog) { dynamic_cast<QDialog&>(dialog).accept(); });
    EXPECT_TRUE(printer.choosePrinter());
    onModal([](QWidget& dialog) { dynamic_cast<QDialog&>(dialog).reject(); });
    EXPECT_FALSE(printer.choosePrinter());
}

// The printout holds the registration: its file is its owner's alone, new or replaced, whatever
// the umask; rows: the file's mode before (0: none), the mode after.
TEST(QtPrinterTest, APrintoutFileIsReadableByItsOwnerOnly) {
    guiApplication();
    TempDir tmp;
    const mode_t umask = ::umask(0);
    for (const int before : {0, 0644, 0666, 0600}) {
        SCOPED_TRACE(before);
        const fs::path file = tmp / "cadastro.pdf";
        fs::remove(file);
        if (before) {
            writeFile(file, "old");
            fs::permissions(file, fs::perms(before));
        }
        PdfPrinter printer(file);
        printer.beginDocument();
        printer.textOut(0, 0, "Senha: segredo");
        printer.endDocument();
        EXPECT_EQ(int(fs::status(file).permissions() & fs::perms::mask), 0600);
        EXPECT_GT(fs::file_size(file), 3u);
    }
    ::umask(umask);
}

// The print module is loaded at its first use, found by name where the build put it or by a
// path as it is; a missing one is a clear error once printing starts.
TEST(SystemPrinterTest, LoadsItsModuleOnFirstUseOrSaysWhyNot) {
    guiApplication();
    SystemPrinter printer;
    printer.abortDocument(); // nothing loaded, nothing to drop
    EXPECT_FALSE(printer.loaded());
    printer.setFont("Courier New", 12, {});
    EXPECT_GT(printer.textHeight("x"), 0);
    EXPECT_TRUE(printer.loaded());
    SystemPrinter missing("/nowhere/libzel-print.so");
    EXPECT_THAT([&] { missing.beginDocument(); },
                ::testing::ThrowsMessage<PlatformError>(
                    std::string(kPrintCannotStart) +
                    " (module /nowhere/libzel-print.so not found (looked in /nowhere))"));
}

} // namespace
} // namespace zel::test
