#pragma once
// The one way a Windows name finds its entry in a host directory: without regard to case, as
// Windows would, with one rule for the case twins a Linux directory can hold. The machine's
// paths and every zel-kit command go through it, so a kit's check sees the file the wizard reads.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zel {

// The host spelling of the entry of `dir` that the code page 1252 name `windowsName` names, or
// nothing when none matches. The exact spelling wins when an entry of that name exists (of any
// type, a dangling link too). Otherwise, among the entries equal to it without regard to case,
// the first in byte order of their host names: capitals sort first, so of "licenca.txt" and
// "Licenca.txt", "LICENCA.TXT" finds "Licenca.txt", whatever order the directory lists them in.
std::optional<std::string> findCaseless(const std::filesystem::path& dir,
                                        std::string_view windowsName);

} // namespace zel
