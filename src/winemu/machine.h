#pragma once
// The emulated Windows machine: one prefix directory on the host holds drive C:, the
// drive links, and the registry file. Windows paths become host paths here and nowhere else.
#include "winemu/errors.h"
#include "winemu/host_file.h"
#include "winemu/machine_lock.h"
#include "winemu/winpath.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// A prefix the user may not trust: another user owns it, others may write it, or it is reached
// through a directory or link that others could change (`through()` names that component).
class ForeignPrefixError : public PlatformError {
public:
    enum class Reason { OtherOwner, WritableByOthers, ReachedThroughOthers };
    ForeignPrefixError(const std::filesystem::path& prefix, Reason reason,
                       const std::filesystem::path& through = {});
    const std::filesystem::path& prefix() const { return prefix_; }
    Reason reason() const { return reason_; }
    const std::filesystem::path& through() const { return through_; }

private:
    std::filesystem::path prefix_;
    Reason reason_;
    std::filesystem::path through_;
};

class Machine {
public:
    struct Options {
        std::filesystem::path prefix;          // the emulated machine; see defaultPrefix()
        std::filesystem::path programHostPath; // the running wizard's executable on the host
        std::filesystem::path hostWorkingDir;  // the process's working directory on the host
        std::filesystem::path progmanHostPath; // the Program Manager program that
                                               // C:\WINDOWS\PROGMAN.EXE starts (may be empty)
        // Copies progmanHostPath into the prefix (bin/progman) and has PROGMAN.EXE start the
        // copy, so Program Manager keeps working once the medium it came from is gone.
        bool installProgman = false;
        // The uninstaller, copied into the prefix (bin/zel-uninstall) when given, so the
        // installation can be taken back once the medium is gone.
        std::filesystem::path uninstallerHostPath{};
        // Takes the machine's lock (MachineLock) for the machine's life, waiting this long for
        // another writer to let go; MachineBusyError when it does not. No lock when unset.
        std::optional<std::chrono::milliseconds> lockWait{};
        // The kit's medium when it lies apart from the program (SETUP --medium): mounted as the
        // program's directory would be, the program then named as if it lay there (X:\SETUP),
        // so that its description file and sources are found on the medium.
        std::filesystem::path mediumHostDir{};
    };
    // The name the program takes on a medium given apart from it.
    static constexpr const char* kMediumProgramName = "SETUP";

    // Opens the prefix, creating what is missing and changing nothing that is there:
    // drive_c with WINDOWS, WINDOWS\SYSTEM and Program Files, dosdevices/c:, the registry file
    // with its defaults, and C:\WINDOWS\PROGMAN.EXE (a launcher of Program Manager, brought up
    // to date when it is one of ours that starts another program; a launcher of the user's own
    // is left alone), with Program Manager's installed copy when asked for.
    // Directories it creates are writable by
    // their owner only. Raises ForeignPrefixError for a prefix that is not the user's alone
    // (see openPrefix), and PlatformError for what cannot be created.
    // The prefix is opened once: every path of the machine goes through that open directory
    // (prefix() is /proc/self/fd/N), so swapping a component of its path later changes nothing.
    explicit Machine(Options options);

    // $ZEL_PREFIX, else $XDG_DATA_HOME/zel-setup/machine, else ~/.local/share/zel-setup/machine
    // (the home directory from $HOME, else from the password database), always absolute: a
    // relative ZEL_PREFIX is taken against the working directory; a relative XDG_DATA_HOME or
    // HOME is ignored, as if unset.
    static std::filesystem::path defaultPrefix();
    // Opens the prefix directory (an O_PATH descriptor, close-on-exec), walking its absolute
    // path from "/" one component at a time with no link followed blindly: each directory on
    // the way must belong to the user or to root and be writable by nobody else (unless
    // sticky, as /tmp), each link must belong to the user or to root, and the prefix itself
    // must be the user's and writable by them alone. Missing directories are made (0755) when
    // `create`. `resolved` gets the directory's path with links resolved. Raises
    // ForeignPrefixError, or PlatformError when it cannot be opened or made.
    static FileDescriptor openPrefix(const std::filesystem::path& prefix, bool create,
                                     std::filesystem::path* resolved = nullptr);
    // openPrefix without making anything; the descriptor is let go.
    static void refuseForeignPrefix(const std::filesystem::path& prefix);
    // Where the uninstaller is installed in a prefix.
    static std::filesystem::path installedUninstaller(const std::filesystem::path& prefix) {
        return prefix / "bin" / "zel-uninstall";
    }
    // Where Program Manager is installed in a prefix.
    static std::filesystem::path installedProgman(const std::filesystem::path& prefix) {
        return prefix / "bin" / "progman";
    }
    // The path this process was started by, made absolute: started through a symbolic link
    // (a kit's SETUP linking to zel-setup), it is the link, as a Windows program's path is the
    // one it was run by. The process's first argument counts when it names this very
    // executable; otherwise (or when it cannot be told) the executable itself (/proc/self/exe).
    static std::filesystem::path runningExecutable();
    // The absolute path that argv0 names, when it names `executable` (the same file): taken
    // against workingDir when it holds a "/", else looked up in searchPath (PATH's form,
    // an empty entry meaning the working directory). Nothing otherwise. Links are kept.
    static std::optional<std::filesystem::path>
    startedPath(std::string_view argv0, const std::filesystem::path& workingDir,
                std::string_view searchPath, const std::filesystem::path& executable);

    // The opened prefix, as this process reaches it (/proc/self/fd/N): valid in this process only.
    const std::filesystem::path& prefix() const { return root_; }
    // The prefix's own path on the host (absolute, links resolved when it was opened): for other
    // programs, which check it again themselves, and for messages.
    const std::filesystem::path& prefixPath() const { return resolved_; }
    // A host path as another process names it: under prefix(), the prefix's own path instead.
    std::filesystem::path forOtherProcesses(const std::filesystem::path& host) const;
    std::filesystem::path registryFile() const { return root_ / "system.reg"; }

    // Drive letters (upper case, in order) and the host directory behind each.
    std::vector<char> driveLetters() const;
    std::optional<std::filesystem::path> driveRoot(char letter) const;

    // The Windows path, taken against the current directory when relative; nothing when the
    // text is no path. Its text() is the path's normal form ("C:\A\B", "C:\" for a root).
    std::optional<WinPath> parse(std::string_view winPath) const;

    // The host path behind a Windows path. Each existing component is matched against the
    // disk without regard to case (the exact spelling wins); components that do not exist
    // keep the caller's spelling. Texts are converted from code page 1252. Nothing when the
    // drive is not mapped or the text is no path. The result never leaves the drive's directory.
    std::optional<std::filesystem::path> toHost(std::string_view winPath) const;
    // The Windows path of a host path that lies on a mapped drive.
    std::optional<std::string> toWindows(const std::filesystem::path& hostPath) const;

    // Windows path of the running program, e.g. "D:\SETUP". A program reached through a
    // symbolic link keeps the link's name and place (its description file is beside the link).
    // With a medium of its own (Options::mediumHostDir), the medium's SETUP.
    std::string programPath() const { return programPath_; }
    // "C:\WINDOWS" and "C:\WINDOWS\SYSTEM" (no trailing "\").
    std::string windowsDirectory() const { return "C:\\WINDOWS"; }
    std::string systemDirectory() const { return "C:\\WINDOWS\\SYSTEM"; }

    // The process's current directory and the current directory kept for each drive.
    std::string currentDirectory() const { return current_; }
    std::string currentDirectoryOf(char drive) const;
    // Makes a drive or directory current; false when it cannot be reached.
    bool setCurrentDirectory(std::string_view winPath);

private:
    void createMissing();
    void writeProgmanLauncher();
    void mountProgramDrive();

    Options options_;
    FileDescriptor opened_;
    std::filesystem::path root_, resolved_;
    std::optional<MachineLock> lock_;
    std::map<char, std::filesystem::path> drives_; // letter -> host root (canonical)
    std::string programPath_;
    std::string current_;
    std::map<char, std::string> currentOfDrive_;
};

} // namespace zel
