#include "setup/registration.h"

#include "services/printer.h"

namespace zel {

namespace {
constexpr const char* kFace = "Courier New";
constexpr int kHeadingPoints = 14;
constexpr int kLinePoints = 12;
constexpr int kGap = 12; // device units between the blocks
} // namespace

Completeness completeness(const RegistrationForm& form) {
    const bool name = !form.name.empty();
    const bool phone = !form.homePhone.empty() || !form.officePhone.empty();
    const bool card = !form.cardNumber.empty();
    if (name && phone && card)
        return Completeness::Complete;
    if (!name && !phone && !card)
        return Completeness::Empty;
    return Completeness::Incomplete;
}

std::array<std::string, 12> printoutLines(const RegistrationForm& f) {
    // The label columns are padded with blanks so that the colons line up in the fixed font.
    return {
        "Nome     :" + f.name,
        "Endere\xe7o :" + f.street + ", " + f.number + " - apto." + f.flat,
        "Compl.   :" + f.complement,
        "Cidade   :" + f.city + "  UF:" + f.state,
        "CEP      :" + f.postcode + "  Data de nasc.:" + f.birthDate,
        "Profiss\xe3o:" + f.profession,
        "Fone Res.:" + f.homePhone + "  Fone Com.:" + f.officePhone,
        "Cart\xe3o     :" + f.cardBrand,
        "Nome       :" + f.cardName,
        "N\xfamero     :" + f.cardNumber,
        "Validade   :" + f.cardExpiry,
        " Senha de Acesso:" + f.password,
    };
}

void printRegistration(Printer& printer, const RegistrationForm& form, std::string_view heading) {
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
        printLine(std::string(heading));
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
