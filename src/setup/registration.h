#pragma once
// The registration's rules without a window: when the form counts as complete, the twelve
// lines of the fax printout, and the printout itself on a printer.
#include <array>
#include <string>
#include <string_view>

namespace zel {

class Printer;

// What the subscriber typed, in code page 1252.
struct RegistrationForm {
    std::string name, street, number, flat, complement, city, state, postcode, birthDate,
        profession, homePhone, officePhone, cardName, cardNumber, cardExpiry, password;
    std::string cardBrand; // chosen from the list; empty when none is chosen
};

// The typed fields in the order the form shows them, from the name to the password.
inline constexpr std::array<std::string RegistrationForm::*, 16> kRegistrationFields = {
    &RegistrationForm::name,       &RegistrationForm::street,     &RegistrationForm::number,
    &RegistrationForm::flat,       &RegistrationForm::complement, &RegistrationForm::city,
    &RegistrationForm::state,      &RegistrationForm::postcode,   &RegistrationForm::birthDate,
    &RegistrationForm::profession, &RegistrationForm::homePhone,  &RegistrationForm::officePhone,
    &RegistrationForm::cardName,   &RegistrationForm::cardNumber, &RegistrationForm::cardExpiry,
    &RegistrationForm::password};

enum class Completeness {
    Complete,   // name, a telephone and the card number: notice, print dialog and printout
    Empty,      // none of the four key fields: the subscriber passes without registering
    Incomplete, // anything else: the form must be looked at again
};

// Only the four key fields count (name, home and office telephone, card number), and only
// whether they are empty.
Completeness completeness(const RegistrationForm& form);

// The heading and the twelve lines of the printout, each one text as it is printed.
inline constexpr const char* kFaxHeading = "Enviar via FAX para: 011-555-0190"; // [Marca] cabecalho
std::array<std::string, 12> printoutLines(const RegistrationForm& form);

// Prints the registration on the printer already chosen: the heading in Courier New 14 points
// underlined, the lines in 12 points plain, one below the other on the document's first page,
// with a gap of 12 device units after the heading and after line 7. A printing error drops
// the document begun and is raised again.
void printRegistration(Printer& printer, const RegistrationForm& form,
                       std::string_view heading = kFaxHeading);

} // namespace zel
