// The registration's rules: when a form is complete, the printout's lines, and the order of
// the printing calls, on a printer that records them.
#include "winemu/errors.h"
#include "tests/support/doubles.h"
#include "setup/registration.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace zel {
namespace {

using Field = std::string RegistrationForm::*;
constexpr Field kName = &RegistrationForm::name;
constexpr Field kHome = &RegistrationForm::homePhone;
constexpr Field kOffice = &RegistrationForm::officePhone;
constexpr Field kCard = &RegistrationForm::cardNumber;

RegistrationForm formWith(std::initializer_list<std::pair<Field, const char*>> fields) {
    RegistrationForm form;
    for (const auto& [field, text] : fields)
        form.*field = text;
    return form;
}

TEST(RegistrationCompleteness, OnlyTheFourKeyFieldsCount) {
    // Name, one of the telephones and the card number.
    EXPECT_EQ(completeness(formWith({{kName, "Ana"}, {kOffice, "555"}, {kCard, "4111"}})),
              Completeness::Complete);
    EXPECT_EQ(completeness(formWith({{kName, "Ana"}, {kHome, "555"}, {kCard, "4111"}})),
              Completeness::Complete);
    // Both telephones missing.
    EXPECT_EQ(completeness(formWith({{kName, "Ana"}, {kCard, "4111"}})), Completeness::Incomplete);
    // Each key field alone, and every field but one key field.
    for (const Field key : {kName, kHome, kOffice, kCard})
        EXPECT_EQ(completeness(formWith({{key, "x"}})), Completeness::Incomplete);
    EXPECT_EQ(completeness(formWith({{kHome, "5"}, {kOffice, "5"}, {kCard, "4"}})),
              Completeness::Incomplete);
    EXPECT_EQ(completeness(formWith({{kName, "A"}, {kHome, "5"}, {kOffice, "5"}})),
              Completeness::Incomplete);
    // Everything else filled in, the key fields empty: passes without registering.
    RegistrationForm others;
    for (const Field field : kRegistrationFields)
        if (field != kName && field != kHome && field != kOffice && field != kCard)
            others.*field = "preenchido";
    others.cardBrand = "VISA";
    EXPECT_EQ(completeness(others), Completeness::Empty);
    // A blank is not nothing: no content is examined beyond being empty.
    EXPECT_EQ(completeness(formWith({{kName, " "}, {kHome, " "}, {kCard, " "}})),
              Completeness::Complete);
}

RegistrationForm completeForm() {
    RegistrationForm form;
    const char* texts[16] = {"Jo\xe3o da Silva", "Rua A",        "12",       "34",
                             "Centro",           "S\xe3o Paulo", "SP",       "01000-000",
                             "01/02/70",         "Engenheiro",   "555-0101", "555-0102",
                             "JOAO SILVA",       "4111 1111",    "12/99",    "senha123"};
    for (std::size_t i = 0; i < kRegistrationFields.size(); ++i)
        form.*kRegistrationFields[i] = texts[i];
    form.cardBrand = "Diners Club";
    return form;
}

TEST(RegistrationPrintout, TwelveLinesWithEveryBlank) {
    const auto lines = printoutLines(completeForm());
    const std::array<std::string, 12> expected = {
        "Nome     :Jo\xe3o da Silva",
        "Endere\xe7o :Rua A, 12 - apto.34",
        "Compl.   :Centro",
        "Cidade   :S\xe3o Paulo  UF:SP",
        "CEP      :01000-000  Data de nasc.:01/02/70",
        "Profiss\xe3o:Engenheiro",
        "Fone Res.:555-0101  Fone Com.:555-0102",
        "Cart\xe3o     :Diners Club",
        "Nome       :JOAO SILVA",
        "N\xfamero     :4111 1111",
        "Validade   :12/99",
        " Senha de Acesso:senha123",
    };
    EXPECT_EQ(lines, expected);
}

TEST(RegistrationPrintout, EmptyFieldsKeepTheirLiterals) {
    const auto lines = printoutLines(RegistrationForm{});
    EXPECT_EQ(lines[1], "Endere\xe7o :,  - apto.");
    EXPECT_EQ(lines[3], "Cidade   :  UF:");
    EXPECT_EQ(lines[6], "Fone Res.:  Fone Com.:");
    EXPECT_EQ(lines[7], "Cart\xe3o     :");
    EXPECT_EQ(lines[11], " Senha de Acesso:");
}

TEST(RegistrationPrintout, PrintsOnTheFirstPageWithTheGaps) {
    RecordingPrinter printer;
    const RegistrationForm form = completeForm();
    printRegistration(printer, form);

    const auto lines = printoutLines(form);
    std::vector<std::string> expected = {"begin", "font Courier New 14 u",
                                         "text 0,0 Enviar via FAX para: 011-555-0190",
                                         "font Courier New 12"};
    int y = 140 + 12;
    for (std::size_t i = 0; i < 12; ++i) {
        if (i == 7)
            y += 12;
        expected.push_back("text 0," + std::to_string(y) + " " + lines[i]);
        y += 120;
    }
    expected.push_back("end");
    EXPECT_EQ(printer.calls, expected);
}

TEST(RegistrationPrintout, AFailureDropsTheDocumentAndIsRaised) {
    for (const char* failing : {"text", "end"}) {
        SCOPED_TRACE(failing);
        RecordingPrinter printer;
        printer.failAt = failing;
        EXPECT_THROW(printRegistration(printer, completeForm()), PlatformError);
        ASSERT_FALSE(printer.calls.empty());
        EXPECT_EQ(printer.calls.back(), "abort");
        EXPECT_EQ(std::count(printer.calls.begin(), printer.calls.end(), "end"), 0);
    }
    // A document that never began has nothing to drop.
    RecordingPrinter printer;
    printer.failAt = "begin";
    EXPECT_THROW(printRegistration(printer, completeForm()), PlatformError);
    EXPECT_TRUE(printer.calls.empty());
}

} // namespace
} // namespace zel
