#include "tests/support/scripted_printer.h"

#include <QPrinter>
#include <QString>

namespace zel {

PdfPrinter::PdfPrinter(const std::filesystem::path& outputFile) {
    setOutputFile(outputFile);
}

bool PdfPrinter::choosePrinter() {
    ++chooseCount;
    if (chooseAnswers.empty())
        return true;
    const bool confirm = chooseAnswers.front();
    chooseAnswers.pop_front();
    return confirm;
}

void PdfPrinter::setOutputFile(const std::filesystem::path& outputFile) {
    outputFile_ = outputFile;
    if (hasDevice())
        configure(device());
}

void PdfPrinter::configure(QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(outputFile_.string()));
}

} // namespace zel
