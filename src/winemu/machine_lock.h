#pragma once
// One machine, one writer: the wizard's installation and the uninstaller each hold the
// machine's lock (flock on `.lock` in the prefix) while they change it.
#include "winemu/errors.h"
#include "winemu/host_file.h"

#include <chrono>
#include <filesystem>

namespace zel {

// Another program holds the machine's lock (an installation or an uninstall under way).
class MachineBusyError : public PlatformError {
public:
    explicit MachineBusyError(const std::filesystem::path& prefix);
    const std::filesystem::path& prefix() const { return prefix_; }

private:
    std::filesystem::path prefix_;
};

class MachineLock {
public:
    // The lock file's name in the prefix.
    static constexpr const char* kFileName = ".lock";

    // Takes the lock of the machine in `prefix`, waiting up to `wait` for whoever holds it.
    // The lock file is opened with no link followed and must be a regular file of the user's.
    // Raises MachineBusyError when the wait runs out, PlatformError when the file cannot be
    // opened. Held until this object goes (or the process ends). Errors name the machine as
    // `shown` (the prefix itself when empty).
    MachineLock(const std::filesystem::path& prefix, std::chrono::milliseconds wait,
                const std::filesystem::path& shown = {});

private:
    FileDescriptor file_;
};

} // namespace zel
