#pragma once
// The space an installation needs and the copy page's question when the disk seems short.
#include "setup/catalogue.h"
#include "setup/choices.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zel {

// The kbytes that the selected programs among entries 1 to 10 and the browser need (entries 11
// and 12 are never counted). Summed in 64 bits: the sizes are 32-bit figures from the kit's
// file, and their sum must not wrap around into a small or negative need.
std::int64_t requiredSpace(const Catalogue& catalogue, const ProgramSelection& programs,
                           Browser browser);

// The destination as every step of the installation uses it: a full path on a drive ("C:\A\B\",
// "." and ".." resolved, the drive letter upper case, with its trailing "\"), or the reason it
// cannot be one (code page 1252): a relative path, or a character Windows refuses in a name
// ('"', '*', '?', '<', '>', '|', a control character), named in the message. A relative path
// would be taken against the current directory, which is the medium the wizard runs from.
// The first character of a destination that Windows refuses in a name, if any.
std::optional<char> refusedCharacter(std::string_view destination);
// Whether a destination is a full path ("C:\..." or "C:/..."): "C:NAME", "\NAME" and "NAME"
// are taken against a current directory.
bool isFullPath(std::string_view destination);
struct ResolvedDestination {
    std::string path;
    std::optional<std::string> error;
};
ResolvedDestination resolveDestination(std::string_view destination);

// The drive of a destination for the free-space query: its first letter (either case) as
// 1 for A, 2 for B..., 0 (the current drive) for "@"; any other first character gives a
// number no drive has.
int destinationDrive(std::string_view destination);

// The copy page's disk-space check for the chosen programs, browser and destination. Free are
// the platform's free bytes in whole kbytes (-1, an unknown drive, counts as 0; more than a
// 32-bit count holds counts as its largest value). Nothing when the space suffices, otherwise
// the question to put to the user (code page 1252).
std::optional<std::string> spaceQuestion(const Catalogue& catalogue, const Choices& choices,
                                         std::int64_t freeBytes);

// What the copy page weighs before it copies anything, from the platform's free bytes on the
// destination's drive: a destination that is no full path or names what Windows refuses
// (resolveDestination), or one on a drive the machine does not have, or cannot reach
// (free -1), is an error to show (nothing is asked, nothing copied); otherwise the space
// question, when the disk seems short.
struct CopyCheck {
    std::optional<std::string> error;    // code page 1252
    std::optional<std::string> question; // code page 1252
};
CopyCheck checkBeforeCopy(const Catalogue& catalogue, const Choices& choices,
                          std::int64_t freeBytes);

} // namespace zel
