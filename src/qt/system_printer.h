#pragma once
// The program's printer: QtPrinter in the print module, loaded when printing is first asked
// for, so the program does not load Qt Print Support (and the print server's libraries) at
// every start.
#include "qt/qt_modules.h"
#include "services/printer.h"

#include <memory>
#include <string>

namespace zel {

class SystemPrinter : public Printer {
public:
    // `module` names the print module (see moduleFunction).
    explicit SystemPrinter(std::string module = kPrintModule);
    // The registration written to a PDF file (a host path) instead, with no dialog.
    static std::unique_ptr<SystemPrinter> toPdf(std::string file,
                                                std::string module = kPrintModule);
    ~SystemPrinter() override;
    SystemPrinter(const SystemPrinter&) = delete;
    SystemPrinter& operator=(const SystemPrinter&) = delete;

    // Each raises PlatformError when the print module cannot be loaded.
    bool choosePrinter() override;
    void beginDocument() override;
    void newPage() override;
    void setFont(const std::string& face, int points, FontStyle style) override;
    void textOut(int x, int y, const std::string& text) override;
    int textHeight(const std::string& text) override;
    void endDocument() override;
    // Nothing to drop while the module is not loaded; never raises for a missing module.
    void abortDocument() override;

    bool loaded() const { return printer_ != nullptr; }

private:
    Printer& printer();

    std::string module_;
    std::string pdfFile_; // empty for the printer the user picks
    std::unique_ptr<Printer> printer_;
};

} // namespace zel
