#include "winemu/log_file.h"

#include "winemu/cp1252.h"
#include "winemu/errors.h"
#include "winemu/host_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

namespace {

// A text as the log shows it: UTF-8, control characters escaped, so a value cannot fake lines.
std::string shown(std::string_view text) {
    return escapeControls(cp1252ToUtf8(text));
}

std::string quotedValue(const std::optional<std::string>& value) {
    return value ? "\"" + shown(*value) + "\"" : std::string("(none)");
}

} // namespace

std::string logLine(const InstallEvent& e) {
    using K = InstallEvent::Kind;
    const std::string failed = e.ok ? "" : " FAILED";
    switch (e.kind) {
    case K::FileCopied: return "copy " + shown(e.path) + " -> " + shown(e.target) + failed;
    case K::FileMoved: return "move " + shown(e.path) + " -> " + shown(e.target) + failed;
    case K::FileDeleted: return "delete " + shown(e.path) + failed;
    case K::FileReplacing: return "replacing " + shown(e.path) + failed;
    case K::DirectoryCreated: return "mkdir " + shown(e.path) + failed;
    case K::ProfileKey:
        return "profile " + shown(e.path) + " [" + shown(e.section) + "] " + shown(e.name) + " = " +
               quotedValue(e.after) + " (was " + quotedValue(e.before) + ")" + failed;
    case K::RegistryKey: return "registry-key " + shown(e.section) + failed;
    case K::RegistryValue:
        return "registry " + shown(e.section) + " " + shown(e.name) + " = " + quotedValue(e.after) +
               " (was " + quotedValue(e.before) + ")" + failed;
    case K::MacroSending: return "macro sending " + shown(e.path);
    case K::Macro:
        return std::string(e.ok ? "macro delivered " : "macro NOT delivered ") + shown(e.path);
    case K::ProgramStarted: return "start " + shown(e.path) + failed;
    case K::WineSetUp: return "wine-setup " + shown(e.path);
    case K::Outcome: return "outcome " + std::to_string(e.status) + " " + shown(e.after);
    }
    return "event";
}

LogFileError::LogFileError(const std::string& hostPath, int error, unsigned mode)
    : PlatformError("N\xe3o foi poss\xedvel abrir o registro da instala\xe7\xe3o " +
                    utf8ToCp1252(hostPath)),
      error(error), mode(mode) {}

LogFile::LogFile(const std::string& hostPath) {
    // Never through a link: the log could otherwise be aimed at someone else's file; never
    // waiting on a pipe's reader.
    fd_.reset(::open(hostPath.c_str(),
                     O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                     0600));
    struct stat st {};
    if (!fd_) {
        // A pipe without a reader, a link: said as what is there rather than as the error.
        const int error = errno;
        if (::lstat(hostPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
            throw LogFileError(hostPath, 0, st.st_mode);
        throw LogFileError(hostPath, error, 0);
    }
    if (::fstat(fd_.get(), &st) != 0)
        throw LogFileError(hostPath, errno, 0);
    if (!S_ISREG(st.st_mode))
        throw LogFileError(hostPath, 0, st.st_mode);
}

void LogFile::record(const InstallEvent& event) {
    if (event.kind == InstallEvent::Kind::MacroSending)
        return; // its outcome is the line that tells
    write(logLine(event));
}

void LogFile::write(const std::string& line) {
    // One write per line, straight to the file: what happened is there even if the run dies.
    if (error_ == 0 && !writeAll(fd_.get(), line + "\n"))
        error_ = errno ? errno : EIO;
}

void LogFile::close() {
    if (fd_ && !fd_.close() && error_ == 0)
        error_ = errno ? errno : EIO;
}

} // namespace zel
