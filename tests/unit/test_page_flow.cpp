// Which page "Seguir >" and "< Voltar" lead to from every page, for the choices that matter:
// the installation type, whether the dialer (entry 1) is installed, and whether the modem's
// port is known.
#include "setup/page_flow.h"

#include <gtest/gtest.h>

#include <array>
#include <iterator>
#include <optional>
#include <string>

namespace zel {
namespace {

struct Situation {
    InstallationType installation;
    bool dialer;    // entry 1 selected
    bool portKnown; // a port selected or proposed
};

constexpr InstallationType T = InstallationType::Typical;
constexpr InstallationType C = InstallationType::Custom;

// Every combination of the three choices, in the order of the columns below.
constexpr Situation kSituations[] = {{T, false, false}, {T, false, true},  {T, true, false},
                                     {T, true, true},   {C, false, false}, {C, false, true},
                                     {C, true, false},  {C, true, true}};

Choices choicesFor(const Situation& s) {
    Choices choices;
    choices.installation = s.installation;
    choices.programs[0] = s.dialer;
    choices.modem.port = s.portKnown ? std::optional<int>(2) : std::nullopt;
    return choices;
}

// A page and where it leads in each situation.
struct Step {
    Page page;
    std::array<std::optional<Page>, std::size(kSituations)> to;
};

const char* name(Page page) {
    switch (page) {
    case Page::Welcome:
        return "Welcome";
    case Page::Licence:
        return "Licence";
    case Page::Registration:
        return "Registration";
    case Page::InstallationType:
        return "InstallationType";
    case Page::CustomInstallation:
        return "CustomInstallation";
    case Page::Connection:
        return "Connection";
    case Page::Copy:
        return "Copy";
    case Page::Finish:
        return "Finish";
    }
    return "?";
}

std::string describe(std::optional<Page> page) {
    return page ? name(*page) : "(none)";
}

std::string describe(const Situation& s) {
    return std::string(s.installation == T ? "typical" : "custom") +
           (s.dialer ? ", dialer" : ", no dialer") + (s.portKnown ? ", port" : ", no port");
}

template <class Rule> void expectTable(Rule rule, std::initializer_list<Step> steps) {
    for (const Step& step : steps)
        for (std::size_t i = 0; i < std::size(kSituations); ++i)
            EXPECT_EQ(describe(rule(step.page, choicesFor(kSituations[i]))), describe(step.to[i]))
                << name(step.page) << ", " << describe(kSituations[i]);
}

constexpr std::nullopt_t none = std::nullopt;
using P = Page;
// Short names for the table.
constexpr P Lic = P::Licence, Reg = P::Registration, Typ = P::InstallationType,
            Cus = P::CustomInstallation, Con = P::Connection, Cop = P::Copy, Fin = P::Finish;

// Columns: typical / custom; "-" no dialer or no port, "d" the dialer, "p" a known port.
//                                 T--   T-p   Td-   Tdp   C--   C-p   Cd-   Cdp

TEST(PageFlow, Next) {
    expectTable(nextPage, {
                              {P::Welcome, {Lic, Lic, Lic, Lic, Lic, Lic, Lic, Lic}},
                              {P::Licence, {Reg, Reg, Reg, Reg, Reg, Reg, Reg, Reg}},
                              {P::Registration, {Typ, Typ, Typ, Typ, Typ, Typ, Typ, Typ}},
                              // Typical: the modem is asked for only while no port is known.
                              {P::InstallationType, {Con, Cop, Con, Cop, Cus, Cus, Cus, Cus}},
                              // Custom: asked for exactly when the dialer is installed.
                              {P::CustomInstallation, {Cop, Cop, Con, Con, Cop, Cop, Con, Con}},
                              {P::Connection, {Cop, Cop, Cop, Cop, Cop, Cop, Cop, Cop}},
                              {P::Copy, {Fin, Fin, Fin, Fin, Fin, Fin, Fin, Fin}},
                              // The wizard ends.
                              {P::Finish, {none, none, none, none, none, none, none, none}},
                          });
}

TEST(PageFlow, Previous) {
    expectTable(previousPage,
                {
                    {P::Welcome, {none, none, none, none, none, none, none, none}},
                    {P::Licence,
                     {P::Welcome, P::Welcome, P::Welcome, P::Welcome, P::Welcome, P::Welcome,
                      P::Welcome, P::Welcome}},
                    {P::Registration, {Lic, Lic, Lic, Lic, Lic, Lic, Lic, Lic}},
                    {P::InstallationType, {Reg, Reg, Reg, Reg, Reg, Reg, Reg, Reg}},
                    {P::CustomInstallation, {Typ, Typ, Typ, Typ, Typ, Typ, Typ, Typ}},
                    {P::Connection, {Typ, Typ, Typ, Typ, Cus, Cus, Cus, Cus}},
                    // Typical: back to the type even when the connection page was passed;
                    // custom: through the connection page when the dialer is installed.
                    {P::Copy, {Typ, Typ, Typ, Typ, Cus, Cus, Con, Con}},
                    {P::Finish, {none, none, none, none, none, none, none, none}},
                });
}

TEST(PageFlow, OnlyTheWelcomePageLeavesWithoutAsking) {
    for (const Page page : {P::Welcome, P::Licence, P::Registration, P::InstallationType,
                            P::CustomInstallation, P::Connection, P::Copy, P::Finish})
        EXPECT_EQ(confirmsExit(page), page != P::Welcome) << name(page);
}

TEST(PageFlow, OnlyEntryOneOfTheSelectionCounts) {
    // Every other program selected, the dialer not: the custom path goes straight on.
    Choices choices = choicesFor({C, false, true});
    choices.programs.fill(true);
    choices.programs[0] = false;
    EXPECT_EQ(describe(nextPage(P::CustomInstallation, choices)), "Copy");
    EXPECT_EQ(describe(previousPage(P::Copy, choices)), "CustomInstallation");
}

} // namespace
} // namespace zel
