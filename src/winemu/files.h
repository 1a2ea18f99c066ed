#pragma once
// Files, directories and drives of the emulated machine, in Windows terms.
#include "winemu/host_file.h"
#include "winemu/machine.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

inline constexpr std::size_t kAnySize = static_cast<std::size_t>(-1);

// A file as the wizard reads it from a kit's medium: a regular file (never a pipe or a device
// that would block or never end) of at most maxBytes, whose real path lies inside `within`
// when that is given (a link on the medium must not reach the host's other files). Nothing
// when the file is missing or refused; raises PlatformError naming it when it cannot be opened
// or read.
std::optional<std::string> readBoundedFile(const std::filesystem::path& hostFile,
                                           std::size_t maxBytes,
                                           const std::filesystem::path& within);
// The same for a Windows path, inside its drive's directory.
std::optional<std::string> readDriveFile(const Machine& machine, std::string_view winPath,
                                         std::size_t maxBytes);
// The directory of the drive a Windows path is on; nothing for no path or an unmapped drive.
std::optional<std::filesystem::path> driveDirectoryOf(const Machine& machine,
                                                      std::string_view winPath);
// Whether the file open on the descriptor lies inside the directory `root` (after links).
bool openFileInside(int fd, const std::filesystem::path& root);
// The same, with the root already resolved (fs::weakly_canonical): for a caller that checks many
// files of one drive and resolves its root once.
bool openFileWithin(int fd, const std::filesystem::path& resolvedRoot);

namespace attr {
constexpr std::uint32_t ReadOnly = 0x01;
constexpr std::uint32_t Hidden = 0x02;
constexpr std::uint32_t System = 0x04;
constexpr std::uint32_t VolumeId = 0x08;
constexpr std::uint32_t Directory = 0x10;
constexpr std::uint32_t Archive = 0x20;
constexpr std::uint32_t AnyFile = 0x3F;
} // namespace attr

struct SearchEntry {
    std::string name;      // long name as the file system reports it (code page 1252)
    std::string shortName; // 8.3 alternate name; always empty here (no short names)
    std::uint32_t attributes = 0;
    std::int64_t size = 0;
    std::uint32_t dosTime = 0; // last write, packed DOS date (high word) and time (low word)
};

enum class WalkAnswer { Continue, Stop };
// Receives the directory (ending in "\") and one matching entry.
using WalkCallback = std::function<WalkAnswer(const std::string& dir, const SearchEntry& entry)>;

class Files {
public:
    explicit Files(Machine& machine) : m_(machine) {}
    Machine& machine() const { return m_; }

    // --- files
    bool fileExists(std::string_view path) const; // a directory does not count
    // An open file is its host descriptor, closed when its owner lets it go; an empty one
    // on failure.
    FileDescriptor openRead(std::string_view path);
    FileDescriptor createFile(std::string_view path); // an existing file is emptied
    std::int64_t seek(const FileDescriptor& file, std::int64_t offset,
                      int origin); // origin 0 start, 1 current, 2 end; -1 on failure
    std::int64_t read(const FileDescriptor& file, void* buffer,
                      std::int64_t count); // count read, -1 on failure
    std::int64_t write(const FileDescriptor& file, const void* buffer,
                       std::int64_t count); // count written, -1 on failure
    // Packed DOS date-time in local time; 0 on failure.
    std::uint32_t getFileDate(const FileDescriptor& file);
    bool setFileDate(const FileDescriptor& file, std::uint32_t dosTime);
    bool deleteFile(std::string_view path);
    bool renameFile(std::string_view from, std::string_view to); // fails when `to` exists
    // The file's lines split at CR, LF and CR LF. Nothing when the file does not exist or is
    // refused as readDriveFile refuses it; raises PlatformError when it cannot be read.
    std::optional<std::vector<std::string>> readTextFile(std::string_view path,
                                                         std::size_t maxBytes = kAnySize);

    // --- finding
    // The first entry that matches a path whose last component may hold '*' and '?'.
    std::optional<SearchEntry> findFirst(std::string_view pathWithMask);
    // All entries matching dir\mask, in directory order; entries with the hidden, system,
    // volume-label or directory attribute are left out unless `filter` includes it.
    std::vector<SearchEntry> findEntries(std::string_view pathWithMask, std::uint32_t filter);
    // Depth-first walk: files of a directory before its sub-directories; hidden and system
    // directories are not entered. Empty start = current directory, empty mask = "*.*".
    // True when the walk finished, false when the callback stopped it.
    bool walk(std::string_view startDir, std::string_view mask, const WalkCallback& callback);
    // The same walk reporting every file whose name the predicate accepts, so one pass over a
    // tree can look for several names.
    bool walk(std::string_view startDir, const std::function<bool(std::string_view name)>& accept,
              const WalkCallback& callback);

    // --- directories and drives
    bool createDirectory(std::string_view path); // one level; false when it exists or fails
    std::int64_t diskFree(int driveNumber);      // 0 = current, 1 = A:, ...; -1 when unknown
    std::vector<char> listDrives() const;
    std::vector<std::string> listSubdirectories(std::string_view dir); // names, sorted, no "." ".."
    std::string currentDirectoryOf(char drive) const;
    // Makes a drive ("D:") or a directory current; raises PlatformError when unreachable.
    void enter(std::string_view driveOrDir);

private:
    Machine& m_;
};

// Packed DOS date-time helpers (local time, two-second resolution).
std::uint32_t toDosTime(std::int64_t unixSeconds);
std::int64_t fromDosTime(std::uint32_t dosTime);
// The time as the packed form keeps it: fromDosTime(toDosTime(t)), without mktime (which reads
// the time zone again on every call) where t's date fits the form.
std::int64_t dosTimeRounded(std::int64_t unixSeconds);
// Windows wildcard match of a single name ('*', '?', "*.*" matches every name).
bool wildcardMatch(std::string_view mask, std::string_view name);

} // namespace zel
