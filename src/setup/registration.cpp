#include "setup/registration.h"

#include "winemu/printer.h"

namespace zel {

namespace {
constexpr const char* kFace = "Courier New";
constexpr int kHeadingPoints = 14;
constexpr int kLinePoints = 12;
constexpr int kGap = 12; // device units between the blocks
} // namespace

Completeness completeness(const RegistrationForm& form) {
    const bool name = !form.field(1).empty();
    const bool phone = !form.field(11).empty() || !form.field(12).empty();
    const bool card = !form.field(14).empty();
    if (name && phone && card)
        return Completeness::Complete;
    if (!name && !phone && !card)
        return Completeness::Empty;
    return Completeness::Incomplete;
}

std::array<std::string, 12> printoutLines(const RegistrationForm& f) {
    // The label columns are padded with blanks so that the colons line up in the fixed font.
    return {
        "Nome     :" + f.field(1),
        "Endere\xe7o :" + f.field(2) + ", " + f.field(3) + " - apto." + f.field(4),
        "Compl.   :" + f.field(5),
        "Cidade   :" + f.field(6) + "  UF:" + f.field(7),
        "CEP      :" + f.field(8) + "  Data de nasc.:" + f.field(9),
        "Profiss\xe3o:" + f.field(10),
        "Fone Res.:" + f.field(11) + "  Fone Com.:" + f.field(12),
        "Cart\xe3o     :" + f.cardBrand,
        "Nome       :" + f.field(13),
        "N\xfamero     :" + f.field(14),
        "Validade   :" + f.field(15),
        " Senha de Acesso:" + f.field(16),
    };
}

void printRegistration(Printer& printer, const RegistrationForm& form) {
    const auto lines = printoutLines(form);
    int y = 0;
    const auto printLine = [&](const std::string& text) {
        printer.textOut(0, y, text);
        y += printer.textHeight(text);
    };

    // The document's own first page takes the text: a page started before it would go out
    // blank with every fax.
    printer.beginDocument();
    try {
        FontStyle underlined;
        underlined.underline = true;
        printer.setFont(kFace, kHeadingPoints, underlined);
        printLine(kFaxHeading);
        printer.setFont(kFace, kLinePoints, FontStyle{});
        y += kGap;
        for (std::size_t i = 0; i < 7; ++i)
            printLine(lines[i]);
        y += kGap;
        for (std::size_t i = 7; i < lines.size(); ++i)
            printLine(lines[i]);
        printer.endDocument();
    } catch (...) {
        printer.abortDocument();
        throw;
    }
}

} // namespace zel
