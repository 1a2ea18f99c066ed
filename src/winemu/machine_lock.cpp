#include "winemu/machine_lock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zel {

namespace fs = std::filesystem;

MachineBusyError::MachineBusyError(const fs::path& prefix)
    : PlatformError("The machine " + prefix.string() +
                    " is being changed by another program (an installation or an uninstall)"),
      prefix_(prefix) {}

MachineLock::MachineLock(const fs::path& prefix, std::chrono::milliseconds wait,
                         const fs::path& shown) {
    const fs::path file = prefix / kFileName;
    const fs::path& machine = shown.empty() ? prefix : shown;
    file_.reset(::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    struct stat st {};
    if (!file_ || ::fstat(file_.get(), &st) != 0)
        throw PlatformError("Unable to open the machine's lock in " + machine.string() + ": " +
                            std::strerror(errno));
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
        throw PlatformError("Unable to open the machine's lock in " + machine.string() +
                            ": not a file of the machine's owner");
    // Polled rather than blocking, so the wait has an end.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(file_.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            throw PlatformError("Unable to lock the machine " + machine.string() + ": " +
                                std::strerror(errno));
        if (std::chrono::steady_clock::now() >= deadline)
            throw MachineBusyError(machine);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace zel
