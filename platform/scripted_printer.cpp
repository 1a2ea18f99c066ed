#include "platform/scripted_printer.h"

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
    device().setOutputFormat(QPrinter::PdfFormat);
    device().setOutputFileName(QString::fromStdString(outputFile.string()));
}

} // namespace zel
