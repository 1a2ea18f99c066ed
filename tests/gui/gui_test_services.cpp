// The Qt services, the gauge and radio group, the start-up sound, printing.
#include "qt/gauge_widget.h"
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
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <climits>
#include <sys/stat.h>

namespace zel::test {
namespace {

// Runs `act` on the next application-modal widget once the code under test has shown it.
void onModal(std::function<void(QWidget&)> act) {
    auto* timer = new QTimer(&guiApplication());
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, tries = 0]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr && ++tries < 1000)
            return;
        timer->deleteLater();
        timer->stop();
        ASSERT_NE(modal, nullptr) << "no modal widget appeared";
        act(*modal);
    });
    timer->start(5);
}

// Each box as "caption | text (format) | icon | buttons | answer", on stderr too.
TEST(QtUiTest, BoxesAnswerByTheirButtonsWindowsPutAwayComeBackAndQuitIsPosted) {
    loadQtTranslations(guiApplication());
    QtUi ui;
    ::testing::internal::CaptureStderr();
    const auto box = [&](MsgButtons buttons, const auto& act, bool error = false) {
        std::string seen;
        onModal([&](QWidget& widget) {
            auto& b = dynamic_cast<QMessageBox&>(widget);
            const auto* label = b.findChild<QLabel*>("qt_msgbox_label");
            QStringList names;
            for (const QAbstractButton* button : b.buttons())
                names << button->text();
            seen = (b.windowTitle() + " | " + label->text() + " (" +
                    QString::number(label->textFormat()) + ") | " + QString::number(b.icon()) +
                    " | " + names.join(" ") + " | ")
                       .toStdString();
            act(b);
        });
        if (error)
            return ui.reportError("N\xe3o h\xe1 <b>\ndisco"), seen;
        return seen +
               (ui.messageBox("Copiar <u>BBS.DAT</u> &\r\nlinha\rS\xf3 \x01", "Aten\xe7\xe3o",
                              buttons, MsgIcon::Warning) == ModalResult::Confirm
                    ? "Confirm"
                    : "Other");
    };
    const auto ok = [](QMessageBox& b) { b.button(QMessageBox::Ok)->click(); };
    const auto escape = [](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Escape); };
    const std::string text = "Atenção | Copiar <u>BBS.DAT</u> &\nlinha\nSó \x01 (0) | 2 | ";
    EXPECT_EQ(box(MsgButtons::OkCancel, escape), text + "OK Cancelar | Other");
    EXPECT_EQ(box(MsgButtons::OkCancel, ok), text + "OK Cancelar | Confirm");
    EXPECT_EQ(box(MsgButtons::Ok, escape), text + "OK | Confirm");
    // An error is reported under the program's title, with its full stop.
    EXPECT_EQ(box(MsgButtons::Ok, ok, true),
              std::string(kApplicationTitle) + " | Não há <b>\ndisco. (0) | 3 | OK | ");
    const std::string line = "Atenção: Copiar <u>BBS.DAT</u> &\nlinha\nSó \\x01\n";
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              line + line + line + kApplicationTitle + ": Não há <b>\ndisco.\n");
    // Restoring shows exactly what minimising put away; no page refuses the posted quit.
    ui.setBusyCursor(true);
    ui.setBusyCursor(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui.setBusyCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    QWidget shown, hidden;
    shown.show();
    auto gone = std::make_unique<QWidget>();
    gone->show();
    ui.minimise();
    shown.hide(); // as a desktop may hide a minimised window
    gone.reset();
    ui.restore();
    EXPECT_TRUE(shown.isVisible() && !shown.isMinimized() && !hidden.isVisible());
    ScriptedUi scripted; // whatever leaves a handler is reported
    guarded(scripted, [] { throw 42; });
    EXPECT_EQ(scripted.errors, std::vector<std::string>{"Erro desconhecido"});
    ConsoleUi loud("lead: ", "."), quiet("", "", true); // on stderr, unless asked to be silent
    ::testing::internal::CaptureStderr();
    for (ConsoleUi* console : {&loud, &quiet})
        guarded(*console, [] { throw std::runtime_error("falhou"); });
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "lead: falhou.\n");
    struct UnclosablePage : QDialog {
        void closeEvent(QCloseEvent* event) override { event->ignore(); }
    } page;
    page.show();
    bool before = true, after = false;
    QTimer::singleShot(0, [&] {
        before = ui.quitRequested();
        ui.quit();
        after = ui.quitRequested();
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(7); }); // should the quit never come
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(!before && after);
}

// The gauge writes in black whatever the palette's text colour; a radio group's clicks.
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
    const QPalette classic = gauge.palette();
    QPalette red = classic;
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        red.setColor(role, Qt::red);
    gauge.setPalette(red);
    gauge.resize(200, 25);
    gauge.setMaximum(10);
    gauge.setPosition(5); // "50%" in the middle: white on the blue half, black on the other
    const QImage image = gauge.grab().toImage();
    int dark = 0, reddish = 0, white = 0;
    for (int y = 2; y < image.height() - 2; ++y) // inside the frame
        for (int x = 2; x < image.width() - 2; ++x) {
            const QColor c = image.pixelColor(x, y);
            white += x < 98 && std::min({c.red(), c.green(), c.blue()}) > 200;
            dark += x > 101 && std::max({c.red(), c.green(), c.blue()}) < 128;
            reddish += c.red() > c.green() + 60 && c.red() > c.blue() + 60;
        }
    EXPECT_EQ(std::to_string(white > 5) + std::to_string(dark > 5) + std::to_string(reddish),
              "110");
    EXPECT_EQ((std::vector<QColor>{image.pixelColor(100, 0), image.pixelColor(0, 12),
                                   image.pixelColor(100, 24), image.pixelColor(4, 4)}),
              (std::vector<QColor>{classic.color(QPalette::Dark), classic.color(QPalette::Dark),
                                   classic.color(QPalette::Light), QColor(Qt::blue)}));
    RadioGroup group;
    group.setItems({"a", "b", "c"});
    group.show();
    group.resize(400, 90);
    int clicks = 0; // a left button pressed and let go on its frame, not a release alone
    QObject::connect(&group, &RadioGroup::clicked, [&] { ++clicks; });
    QTest::mouseRelease(&group, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseClick(&group, Qt::RightButton, {}, QPoint(2, 2));
    QTest::mouseClick(&group, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseRelease(&group, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(group.focusProxy(), group.button(0)); // focused, the group hands on to its first
    seen.clear(); // checked (x) or not (o); Tab enters (T) at the selected item, or the first
    for (const int index : {2, -1}) {
        group.setItemIndex(index);
        for (QRadioButton* b : {group.button(0), group.button(1), group.button(2)})
            seen += (b->isChecked() ? "x" : "o") +
                    std::string(b->focusPolicy() & Qt::TabFocus ? "T " : " ");
    }
    EXPECT_EQ(seen, "o o xT oT o o ");
}

// Once a window is painted a sound starts at once (here it beeps); no module is said once.
TEST_F(MachineTest, ASoundStartsOnceAWindowIsPaintedAndAPrintJobComesOutWholeOrNotAtAll) {
    guiApplication();
    writeFile(driveC() / "TADA.WAV", "RIFF");
    static QStringList warnings;
    warnings.clear(); // counted afresh when the test is repeated
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
    QtSound unpainted(machine(), "no_such_module"); // started unpainted: a later paint adds none
    unpainted.playWave("C:\\TADA.WAV");
    ASSERT_TRUE(QTest::qWaitFor([&] { return unpainted.beeps() == 1; }));
    window.repaint();
    QtUi().processEvents();
    EXPECT_EQ(unpainted.beeps(), 1);
    // A print job comes out whole, its file its owner's alone, or is a clear error.
    const fs::path job = tmp / "job.pdf";
    const mode_t umask = ::umask(0);
    writeFile(job, "old");
    fs::permissions(job, fs::perms(0666));
    const std::unique_ptr<Printer> pdf(zel_print_create_pdf_printer(job.c_str()));
    auto& printer = dynamic_cast<QtPrinter&>(*pdf);
    const auto read = [&](const std::string& tool) {
        return runCommand(tool + " '" + job.string() + "'" + (tool == "pdffonts" ? "" : " -"))
            .output;
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
    EXPECT_EQ(read("pdftotext"), "\fEnviar via FAX\nEndereço :Rua\nFim\n\n\f");
    EXPECT_NE(read("pdffonts").find("LiberationMono-Bold"), std::string::npos); // Courier's twin
    EXPECT_TRUE(printer.lastDocument().at(1).at(0).style.underline);       // which no text shows
    EXPECT_EQ(int(fs::status(job).permissions() & fs::perms::mask), 0600); // it was 0666
    // A line is as high as its font, in printer units (12 points are a sixth of an inch).
    printer.setFont("Courier New", 8, {});
    EXPECT_LT(printer.textHeight("Nome"), line);
    fs::remove(job);
    printer.beginDocument(); // an aborted job is over
    printer.abortDocument();
    EXPECT_THROW(printer.endDocument(), PlatformError);
    // A new file is its owner's alone too, whatever the umask.
    printer.beginDocument();
    printer.textOut(0, 0, "Senha: segredo");
    printer.endDocument();
    EXPECT_EQ(int(fs::status(job).permissions() & fs::perms::mask), 0600);
    ::umask(umask);
    const std::unique_ptr<Printer> unwritable(
        zel_print_create_pdf_printer((tmp / "no such directory" / "job.pdf").c_str()));
    unwritable->beginDocument();
    unwritable->textOut(0, 0, "x");
    EXPECT_EQ(errorOf([&] { unwritable->endDocument(); }),
              "N\xe3o foi poss\xedvel iniciar a impress\xe3o");
    EXPECT_FALSE(dynamic_cast<QtPrinter&>(*unwritable).documentOpen());
    // The print module is loaded at its first use; a missing one is an error once printing starts.
    SystemPrinter system;
    system.abortDocument(); // nothing loaded, nothing to drop
    EXPECT_FALSE(system.loaded());
    system.setFont("Courier New", 12, {});
    EXPECT_GT(system.textHeight("x"), 0);
    EXPECT_TRUE(system.loaded());
    SystemPrinter missing("/nowhere/libzel-print.so");
    EXPECT_EQ(errorOf([&] { missing.beginDocument(); }),
              std::string(kPrintCannotStart) +
                  " (module /nowhere/libzel-print.so not found (looked in /nowhere))");
}

} // namespace
} // namespace zel::test
