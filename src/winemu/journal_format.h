#pragma once
// The installation journal on disk, shared by its writer (journal_writer.h) and its reader
// (journal_reader.h).
//
// One journal per installation, under <prefix>/journal (the directory readable by its owner
// only); its first line is the header, then one record a line. A file about to be replaced or
// deleted is kept first, whole, beside the journal (<name>.saved/).
//
// Records (fields separated by tabs; tab, line breaks and backslash escaped; a value that may
// be absent is "-" when absent and "=" followed by the text otherwise):
//   created  WINPATH HOST SIZE MTIME               a file made where there was none (copied,
//                                                  or a profile file written first)
//   replaced WINPATH HOST SIZE MTIME KEPT OLDSIZE OLDMTIME OLDMODE
//   touched  WINPATH HOST SIZE MTIME               a later change to a file made or replaced
//                                                  by the installation (its profile keys)
//   deleted  WINPATH HOST KEPT OLDMTIME OLDMODE    KEPT "" when it could not be kept
//   moved    FROM TO SIZE MTIME                    SIZE and MTIME of the file moved
//   mkdir    WINPATH
//   profile  FILE HOST SECTION KEY OLD NEW          a key of a file that was there before
//   regkey   REGFILE KEY
//   regvalue REGFILE KEY NAME OLD NEW
//   macro    TEXT                                  one Program Manager executed
// MTIMEs are nanoseconds since the epoch; KEPT is a name in the saved directory.
//
// The journal's errors are the uninstaller's user's: Portuguese, code page 1252.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zel {

inline constexpr std::string_view kJournalHeader = "zel-journal\t1";
inline constexpr std::string_view kJournalExtension = ".journal";

// Where the journals of a machine are.
std::filesystem::path journalDirectory(const std::filesystem::path& prefix);
// The directory of a journal's kept files.
std::filesystem::path keptDirectory(const std::filesystem::path& journal);
// An optional value as a record holds it, and back.
std::string journalValue(const std::optional<std::string>& value);
std::optional<std::string> journalValueOf(std::string_view field);
// A field as a record line holds it, and back.
std::string escapeJournalField(std::string_view text);
std::string unescapeJournalField(std::string_view text);
// A host path inside a journal error (code page 1252, as the error's other text).
std::string journalErrorPath(const std::filesystem::path& path);

} // namespace zel
