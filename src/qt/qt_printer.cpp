#include "qt/qt_printer.h"

#include "qt/qt_text.h"
#include "qt/qt_ui.h"
#include "setup/messages.h"
#include "winemu/errors.h"

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

QtPrinter::QtPrinter() = default;

QtPrinter::~QtPrinter() = default;

QPrinter& QtPrinter::device() {
    if (!printer_) {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setDocName(QString());
        configure(*printer);
        printer_ = std::move(printer);
    }
    return *printer_;
}

bool QtPrinter::choosePrinter() {
    QPrintDialog dialog(&device(), QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

void QtPrinter::beginDocument() {
    abortDocument();
    QPrinter& printer = device();
    if (printer.outputFormat() == QPrinter::NativeFormat && !printer.isValid())
        throw PlatformError(kPrintNoPrinter);
    open_ = true;
    pages_.emplace_back();
}

void QtPrinter::newPage() {
    requireOpen();
    pages_.emplace_back();
}

void QtPrinter::setFont(const std::string& face, int points, FontStyle style) {
    face_ = face;
    points_ = points;
    style_ = style;
}

void QtPrinter::textOut(int x, int y, const std::string& text) {
    requireOpen();
    pages_.back().push_back({face_, points_, style_, x, y, text});
}

int QtPrinter::textHeight(const std::string& /*text*/) {
    // A single line is as high as its font, whatever characters it holds.
    return QFontMetrics(qtFont(face_, points_, style_), &device()).height();
}

void QtPrinter::endDocument() {
    requireOpen();
    std::vector<Page> pages = std::move(pages_);
    pages_.clear();
    open_ = false;
    paint(pages);
    lastDocument_ = std::move(pages);
}

void QtPrinter::abortDocument() {
    pages_.clear();
    open_ = false;
}

QFont QtPrinter::qtFont(const std::string& face, int points, FontStyle style) const {
    QFont font(hostFontFamily(toQt(face)));
    if (points > 0)
        font.setPointSize(points);
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    return font;
}

void QtPrinter::requireOpen() const {
    if (!open_)
        throw PlatformError(kPrintNotStarted);
}

namespace {

// A printout holds the registration (card number, password): a file it goes to is its owner's
// alone before anything is written, whether new or replaced, however the file was chosen. A
// pipe or device is left as it is (opened without waiting for a reader).
void makePrivate(const QString& file) {
    if (file.isEmpty())
        return;
    const QByteArray path = QFile::encodeName(file);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return; // the printer then tells why it cannot write there
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        ::fchmod(fd, 0600);
    ::close(fd);
}

} // namespace

void QtPrinter::paint(const std::vector<Page>& pages) {
    QPrinter& printer = device();
    makePrivate(printer.outputFileName());
    QPainter painter;
    if (!painter.begin(&printer))
        throw PlatformError(kPrintCannotStart);
    bool ok = true;
    for (std::size_t i = 0; i < pages.size() && ok; ++i) {
        if (i > 0 && !printer.newPage()) {
            ok = false;
            break;
        }
        for (const PrintedText& line : pages[i]) {
            painter.setFont(qtFont(line.face, line.points, line.style));
            // Windows places the top of the text at y; Qt draws on the baseline.
            const int baseline = line.y + painter.fontMetrics().ascent();
            painter.drawText(QPoint(line.x, baseline), toQt(line.text));
        }
    }
    if (!ok) {
        printer.abort();
        painter.end();
        throw PlatformError(kPrintCannotFinish);
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw PlatformError(kPrintCannotFinish);
}

namespace {

// The registration printed to a PDF file, for a run without pages: no dialog to confirm.
class PdfPrinter : public QtPrinter {
public:
    explicit PdfPrinter(QString file) : file_(std::move(file)) {}
    bool choosePrinter() override {
        device();
        return true;
    }

protected:
    void configure(QPrinter& printer) override {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file_);
    }

private:
    QString file_;
};

} // namespace

} // namespace zel

extern "C" zel::Printer* zel_print_create_pdf_printer(const char* file) {
    try {
        return new zel::PdfPrinter(QString::fromUtf8(file));
    } catch (...) {
        return nullptr;
    }
}

extern "C" zel::Printer* zel_print_create_printer() {
    try {
        return new zel::QtPrinter;
    } catch (...) {
        return nullptr;
    }
}
