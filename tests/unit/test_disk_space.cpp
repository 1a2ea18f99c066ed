// The space an installation needs, the destination's drive, and the copy page's question.
#include "setup/disk_space.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace zel {
namespace {

constexpr std::int32_t kMaxKbytes = std::numeric_limits<std::int32_t>::max();

Catalogue sizedCatalogue() {
    Catalogue c;
    c.settings.navegap_size = 3000;
    c.settings.navegai_size = 4000;
    c.entry(1).tamanho = 500;
    c.entry(2).tamanho = 700;
    c.entry(3).tamanho = 1200;
    c.entry(11).tamanho = 9000;
    c.entry(12).tamanho = 8000;
    return c;
}

// Entries 1 and 3 selected, and 11 and 12, which never count.
Choices sizedChoices(Browser browser) {
    Choices choices;
    choices.destination = "C:\\KIT\\";
    choices.browser = browser;
    for (const int n : {1, 3, 11, 12})
        choices.programs[static_cast<std::size_t>(n - 1)] = true;
    return choices;
}

std::string question(std::string_view drive, std::int64_t free, std::int64_t required) {
    return "O drive " + std::string(drive) + " aparenta ter apenas " + std::to_string(free) +
           "kbytes livres.\rVoc\xea necessita de " + std::to_string(required) +
           "kbytes. Deseja continuar?";
}

TEST(RequiredSpace, TheSelectedEntriesOneToTenAndTheChosenBrowser) {
    const Catalogue c = sizedCatalogue();
    const ProgramSelection programs = sizedChoices(Browser::None).programs;
    EXPECT_EQ(requiredSpace(c, programs, Browser::First), 500 + 1200 + 3000);
    EXPECT_EQ(requiredSpace(c, programs, Browser::Second), 500 + 1200 + 4000);
    EXPECT_EQ(requiredSpace(c, programs, Browser::None), 500 + 1200);
    EXPECT_EQ(requiredSpace(c, ProgramSelection{}, Browser::None), 0);

    // Sizes that would overflow a 32-bit sum still add up; negative sizes count as they are.
    Catalogue big = sizedCatalogue();
    ProgramSelection all{};
    for (int n = 1; n <= 10; ++n) {
        big.entry(n).tamanho = kMaxKbytes;
        all[static_cast<std::size_t>(n - 1)] = true;
    }
    EXPECT_EQ(requiredSpace(big, all, Browser::Second), 10 * std::int64_t{kMaxKbytes} + 4000);
    big.entry(2).tamanho = -5000;
    EXPECT_EQ(requiredSpace(big, all, Browser::None), 9 * std::int64_t{kMaxKbytes} - 5000);
}

TEST(SpaceQuestion, AsksOnlyWhenTheNeedIsMoreThanTheFreeSpace) {
    const Catalogue c = sizedCatalogue();
    // Second browser: 500 + 1200 + 4000.
    EXPECT_EQ(spaceQuestion(c, sizedChoices(Browser::Second), 5700 * 1024), std::nullopt);
    EXPECT_EQ(spaceQuestion(c, sizedChoices(Browser::Second), 5700 * 1024 - 1),
              question("C", 5699, 5700));
    // No browser: the programs alone.
    EXPECT_EQ(spaceQuestion(c, sizedChoices(Browser::None), 1700 * 1024), std::nullopt);
    EXPECT_EQ(spaceQuestion(c, sizedChoices(Browser::None), 1699 * 1024),
              question("C", 1699, 1700));
}

TEST(SpaceQuestion, FreeSpaceIsCountedInWholeKbytesWithinThirtyTwoBits) {
    Catalogue c = sizedCatalogue();
    Choices choices = sizedChoices(Browser::Second);
    choices.destination = "d:\\kit\\";
    // The drive letter exactly as stored; no blank between the figures and "kbytes".
    EXPECT_EQ(spaceQuestion(c, choices, 1000 * 1024 + 1023), question("d", 1000, 5700));
    // An unknown drive (-1 bytes) has 0 kbytes: any need at all asks, none passes.
    EXPECT_EQ(spaceQuestion(c, choices, -1), question("d", 0, 5700));
    Choices nothing;
    nothing.destination = "E:\\";
    nothing.browser = Browser::None;
    EXPECT_EQ(spaceQuestion(c, nothing, -1), std::nullopt);

    // A disk of a petabyte shows the largest 32-bit count and is enough for any real kit.
    EXPECT_EQ(spaceQuestion(c, choices, std::int64_t{1} << 50), std::nullopt);
    for (int n = 1; n <= 10; ++n) {
        choices.programs[static_cast<std::size_t>(n - 1)] = true;
        c.entry(n).tamanho = kMaxKbytes;
    }
    EXPECT_EQ(spaceQuestion(c, choices, std::int64_t{1} << 50),
              question("d", kMaxKbytes, 10 * std::int64_t{kMaxKbytes} + 4000));
}

TEST(DestinationDrive, FromTheDestinationsFirstCharacter) {
    EXPECT_EQ(destinationDrive("d:\\kit\\"), 4);
    EXPECT_EQ(destinationDrive("D:\\KIT\\"), 4);
    EXPECT_EQ(destinationDrive("A:\\"), 1);
    EXPECT_EQ(destinationDrive("z:"), 26);
    EXPECT_EQ(destinationDrive("@"), 0); // the current drive
    EXPECT_GT(destinationDrive("\\KIT\\"), 26);
    EXPECT_LT(destinationDrive(""), 0);
    EXPECT_GT(destinationDrive("\xe7:\\"), 26); // no upper-casing beyond a..z
}

} // namespace
} // namespace zel
