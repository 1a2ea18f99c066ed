#pragma once
// Printing on a QPrinter in printer device units. The pages of a document are collected
// between beginDocument and endDocument and painted on the printer as a whole at the end,
// so a job dropped after an error never reaches the printer half-done. The QPrinter (and with
// it the print-support plugin and the print server's list of printers) is set up only when
// printing is first asked for, not when the program starts.
#include "services/printer.h"

#include <QFont>

#include <memory>
#include <string>
#include <vector>

class QPrinter;

namespace zel {

class QtPrinter : public Printer {
public:
    // One line written on a page, as the caller gave it.
    struct PrintedText {
        std::string face;
        int points = 0;
        FontStyle style;
        int x = 0;
        int y = 0;
        std::string text; // code page 1252
    };
    using Page = std::vector<PrintedText>;

    QtPrinter();
    ~QtPrinter() override;
    QtPrinter(const QtPrinter&) = delete;
    QtPrinter& operator=(const QtPrinter&) = delete;

    // The system's print dialog with its default options; the choice is kept for the job.
    bool choosePrinter() override;
    // Raises PlatformError when no printer can take the job. A job still open is dropped.
    void beginDocument() override;
    void newPage() override;
    void setFont(const std::string& face, int points, FontStyle style) override;
    void textOut(int x, int y, const std::string& text) override;
    // The line height of the current font on the chosen printer.
    int textHeight(const std::string& text) override;
    // Paints every page on the printer and sends the job; raises PlatformError on failure.
    void endDocument() override;
    void abortDocument() override;

    bool documentOpen() const { return open_; }
    // The pages of the last document sent.
    const std::vector<Page>& lastDocument() const { return lastDocument_; }

protected:
    // The printer, created on first use.
    QPrinter& device();
    // Called once on the new printer before anything else uses it.
    virtual void configure(QPrinter& /*printer*/) {}

private:
    QFont qtFont(const std::string& face, int points, FontStyle style) const;
    void requireOpen() const;
    void paint(const std::vector<Page>& pages);

    std::unique_ptr<QPrinter> printer_;
    std::string face_ = "Arial";
    int points_ = 10;
    FontStyle style_;
    bool open_ = false;
    std::vector<Page> pages_;
    std::vector<Page> lastDocument_;
};

} // namespace zel

// The print module's entry point: a new printer, owned by the caller.
extern "C" zel::Printer* zel_print_create_printer();
// A printer that writes to the PDF file (a UTF-8 host path) without asking, owned by the caller.
extern "C" zel::Printer* zel_print_create_pdf_printer(const char* file);
