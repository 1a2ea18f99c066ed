#include "setup/disk_space.h"

#include "setup/messages.h"

#include <algorithm>
#include <limits>

namespace zel {

std::int64_t requiredSpace(const Catalogue& catalogue, const ProgramSelection& programs,
                           Browser browser) {
    std::int64_t required = 0;
    for (int n = 1; n <= kShownPrograms; ++n) {
        if (programs.at(static_cast<std::size_t>(n - 1)))
            required += catalogue.entry(n).sizeKb;
    }
    if (browser == Browser::First)
        required += catalogue.settings.firstBrowserSize;
    else if (browser == Browser::Second)
        required += catalogue.settings.secondBrowserSize;
    return required;
}

int destinationDrive(std::string_view destination) {
    if (destination.empty())
        return -1;
    char letter = destination.front();
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 'a' + 'A');
    return static_cast<unsigned char>(letter) - 64;
}

std::optional<std::string> spaceQuestion(const Catalogue& catalogue, const Choices& choices,
                                         std::int64_t freeBytes) {
    const std::int64_t required = requiredSpace(catalogue, choices.programs, choices.browser);
    // Truncated toward zero, so the -1 of an unknown drive is 0 kbytes.
    const std::int64_t freeKbytes =
        std::min<std::int64_t>(freeBytes / 1024, std::numeric_limits<std::int32_t>::max());
    if (required <= freeKbytes)
        return std::nullopt;

    // The drive letter exactly as it was typed.
    return spaceQuestionText(std::string_view(choices.destination).substr(0, 1), freeKbytes,
                             required);
}

CopyCheck checkBeforeCopy(const Catalogue& catalogue, const Choices& choices,
                          std::int64_t freeBytes) {
    // Counting an unknown drive as 0 kbytes free would ask whether to go on, and every copy
    // onto it would then fail.
    if (freeBytes < 0)
        return {unavailableDestination(choices.destination), std::nullopt};
    return {std::nullopt, spaceQuestion(catalogue, choices, freeBytes)};
}

} // namespace zel
