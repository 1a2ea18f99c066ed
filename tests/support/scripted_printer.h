#pragma once
// Printing for tests and unattended runs: the print dialog is answered from a queue and the
// job goes to a PDF file. Everything else is QtPrinter's own code.
#include "qt/qt_printer.h"

#include <deque>
#include <filesystem>

namespace zel {

class PdfPrinter : public QtPrinter {
public:
    explicit PdfPrinter(const std::filesystem::path& outputFile);

    // The next queued answer; true (confirmed) when none is queued.
    bool choosePrinter() override;
    void answerChoose(bool confirm) { chooseAnswers.push_back(confirm); }

    // Where the next document is written (each document replaces the file).
    void setOutputFile(const std::filesystem::path& outputFile);
    const std::filesystem::path& outputFile() const { return outputFile_; }

    std::deque<bool> chooseAnswers;
    int chooseCount = 0;

protected:
    void configure(QPrinter& printer) override;

private:
    std::filesystem::path outputFile_;
};

} // namespace zel
