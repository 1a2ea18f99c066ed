#include "winemu/machine_lock.h"

#include "winemu/cp1252.h"

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
    : PlatformError("A m\xe1quina " + utf8ToCp1252(prefix.string()) +
                    " est\xe1 sendo alterada por outro programa (uma instala\xe7\xe3o ou "
                    "desinstala\xe7\xe3o)"),
      prefix_(prefix) {}

MachineLock::MachineLock(const fs::path& prefix, std::chrono::milliseconds wait,
                         const fs::path& shown) {
    const fs::path file = prefix / kFileName;
    const fs::path& machine = shown.empty() ? prefix : shown;
    file_.reset(::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    struct stat st {};
    if (!file_ || ::fstat(file_.get(), &st) != 0)
        throw PlatformError("N\xe3o foi poss\xedvel abrir a trava da m\xe1quina em " +
                            utf8ToCp1252(machine.string()) + ": " + systemReason(errno));
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
        throw PlatformError("N\xe3o foi poss\xedvel abrir a trava da m\xe1quina em " +
                            utf8ToCp1252(machine.string()) +
                            ": n\xe3o \xe9 um arquivo do dono da m\xe1quina");
    // Polled rather than blocking, so the wait has an end.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(file_.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            throw PlatformError("N\xe3o foi poss\xedvel travar a m\xe1quina " +
                                utf8ToCp1252(machine.string()) + ": " + systemReason(errno));
        if (std::chrono::steady_clock::now() >= deadline)
            throw MachineBusyError(machine);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace zel
