// What the installation takes from the user's choices.
#include "setup/choices.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(ChosenCatalogue, TheChosenProgramsAndDestinationOverTheKit) {
    Catalogue kit;
    kit.settings.destino = "C:\\KIT\\";
    kit.settings.grupo = "ZEL Internet";
    for (int n = 1; n <= kProgramEntries; ++n) {
        kit.entry(n).nome = "Programa " + std::to_string(n);
        kit.entry(n).instala = n % 2; // odd entries selected by the kit
    }
    kit.entry(4).instala = 2; // a flag the kit's file cannot give: no selection either

    Choices choices;
    choices.destination = "E:\\Internet\\";
    for (const int n : {2, 3, 4, 12})
        choices.programs[static_cast<std::size_t>(n - 1)] = true;

    const Catalogue chosen = chosenCatalogue(kit, choices);
    for (int n = 1; n <= kProgramEntries; ++n) {
        EXPECT_EQ(chosen.entry(n).instala, n == 2 || n == 3 || n == 4 || n == 12 ? 1 : 0) << n;
        EXPECT_EQ(chosen.entry(n).nome, kit.entry(n).nome);
    }
    EXPECT_EQ(chosen.settings.destino, "E:\\Internet\\");
    EXPECT_EQ(chosen.settings.grupo, "ZEL Internet");
    // The kit itself is left as it is.
    EXPECT_EQ(kit.settings.destino, "C:\\KIT\\");
    EXPECT_EQ(kit.entry(1).instala, 1);
}

} // namespace
} // namespace zel
