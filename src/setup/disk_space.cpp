#include "setup/disk_space.h"

#include "setup/messages.h"
#include "winemu/winpath.h"

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

std::optional<char> refusedCharacter(std::string_view destination) {
    for (const char c : destination) {
        if (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '*' || c == '?' || c == '<' ||
            c == '>' || c == '|')
            return c;
    }
    return std::nullopt;
}

bool isFullPath(std::string_view destination) {
    return destination.size() >= 3 && destination[1] == ':' &&
           (destination[2] == '\\' || destination[2] == '/') &&
           ((destination[0] >= 'A' && destination[0] <= 'Z') ||
            (destination[0] >= 'a' && destination[0] <= 'z'));
}

ResolvedDestination resolveDestination(std::string_view destination) {
    if (const std::optional<char> c = refusedCharacter(destination))
        return {{}, refusedDestinationCharacter(destination, *c)};
    const std::optional<WinPath> path =
        isFullPath(destination) ? parseWinPath(destination) : std::nullopt;
    if (!path)
        return {{}, relativeDestination(destination)};
    return {withTrailingBackslash(path->text()), std::nullopt};
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
    if (const ResolvedDestination resolved = resolveDestination(choices.destination);
        resolved.error)
        return {resolved.error, std::nullopt};
    if (freeBytes < 0)
        return {unavailableDestination(choices.destination), std::nullopt};
    return {std::nullopt, spaceQuestion(catalogue, choices, freeBytes)};
}

} // namespace zel
