#include "qt/system_printer.h"

#include "setup/messages.h"
#include "winemu/errors.h"

#include <utility>

namespace zel {

SystemPrinter::SystemPrinter(std::string module) : module_(std::move(module)) {}

std::unique_ptr<SystemPrinter> SystemPrinter::toPdf(std::string file, std::string module) {
    auto printer = std::make_unique<SystemPrinter>(std::move(module));
    printer->pdfFile_ = std::move(file);
    return printer;
}

SystemPrinter::~SystemPrinter() = default;

Printer& SystemPrinter::printer() {
    if (!printer_) {
        std::string error;
        if (pdfFile_.empty()) {
            using Create = Printer* (*)();
            auto create = reinterpret_cast<Create>(
                moduleFunction(module_, "zel_print_create_printer", error));
            if (create)
                printer_.reset(create());
        } else {
            using Create = Printer* (*)(const char*);
            auto create = reinterpret_cast<Create>(
                moduleFunction(module_, "zel_print_create_pdf_printer", error));
            if (create)
                printer_.reset(create(pdfFile_.c_str()));
        }
        if (!printer_)
            throw PlatformError(std::string(kPrintCannotStart) + " (" +
                                (error.empty() ? "print module failed" : error) + ")");
    }
    return *printer_;
}

bool SystemPrinter::choosePrinter() {
    return printer().choosePrinter();
}

void SystemPrinter::beginDocument() {
    printer().beginDocument();
}

void SystemPrinter::newPage() {
    printer().newPage();
}

void SystemPrinter::setFont(const std::string& face, int points, FontStyle style) {
    printer().setFont(face, points, style);
}

void SystemPrinter::textOut(int x, int y, const std::string& text) {
    printer().textOut(x, y, text);
}

int SystemPrinter::textHeight(const std::string& text) {
    return printer().textHeight(text);
}

void SystemPrinter::endDocument() {
    printer().endDocument();
}

void SystemPrinter::abortDocument() {
    if (printer_)
        printer_->abortDocument();
}

} // namespace zel
