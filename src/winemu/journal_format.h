#pragma once
// The installation journal on disk, shared by its writer (journal_writer.h) and its reader
// (journal_reader.h).
//
// One journal per installation, under <prefix>/journal (the directory readable by its owner
// only); its first line is the header, then one record a line. A file about to be replaced or
// deleted is kept first, whole, beside the journal (<name>.saved/), under a name the writer
// makes (a number); a record never names a host path, so the journal means the same machine
// wherever its prefix is copied or moved.
//
// Records (fields separated by tabs; tab, line breaks and backslash escaped; a value that may
// be absent is "-" when absent and "=" followed by the text otherwise):
//   created  WINPATH SIZE MTIME                    a file made where there was none (copied,
//                                                  or a profile file written first)
//   replaced WINPATH SIZE MTIME KEPT OLDSIZE OLDMTIME OLDMODE
//                                                  KEPT "=" when the old content is the new
//   touched  WINPATH SIZE MTIME                    a later change to a file made or replaced
//                                                  by the installation (its profile keys, a
//                                                  second attempt's copy)
//   deleted  WINPATH KEPT OLDMTIME OLDMODE         KEPT "" when it could not be kept
//   moved    FROM TO SIZE MTIME                    SIZE and MTIME of the file moved
//   mkdir    WINPATH
//   profile  WINPATH SECTION KEY OLD NEW NEWSECTION  a key of a file that was there before;
//                                                  NEWSECTION "1" when the key made its section
//   regkey   ROOT KEY                              ROOT is always HKEY_LOCAL_MACHINE
//   regvalue ROOT KEY NAME OLD NEW
//   groups   KEPT                                  Program Manager's store as it was before
//                                                  the first macro; KEPT "" when there was none
//   macro    TEXT                                  handed to Program Manager, recorded before
//                                                  it is sent (it may execute it late)
// WINPATHs are full Windows paths ("C:\..."); MTIMEs are nanoseconds since the epoch.
//
// The journal's errors are the uninstaller's user's: Portuguese, code page 1252.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

inline constexpr std::string_view kJournalHeader = "zel-journal\t2";
// The first format named host paths; such a journal is refused, not guessed at.
inline constexpr std::string_view kOldJournalHeader = "zel-journal\t1";
inline constexpr std::string_view kJournalRegistryRoot = "HKEY_LOCAL_MACHINE";
// A kept file's name as the writer makes them; the old content being the new one; none.
inline constexpr std::string_view kKeptSame = "=";
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
// Whether a text is a name the writer gives a kept copy (digits only: no way out of the
// kept directory).
bool isKeptName(std::string_view name);
// Whether a text is a full Windows path of a drive ("C:\\...").
bool isJournalWindowsPath(std::string_view path);
// What is wrong with a record as a record (its kind, its fields, a kept name, a host path or
// another root in place of the machine's); empty when nothing. Code page 1252, Portuguese.
std::string journalRecordFault(std::string_view kind, const std::vector<std::string>& fields);
// A host path inside a journal error (code page 1252, as the error's other text).
std::string journalErrorPath(const std::filesystem::path& path);

} // namespace zel
