#pragma once
// The installation log (--log): one line per change the run reports.
#include "winemu/errors.h"
#include "winemu/events.h"
#include "winemu/host_file.h"

#include <string>

namespace zel {

// One line of the installation log for the event (UTF-8, no line break).
std::string logLine(const InstallEvent& event);

// Why the log could not be opened: the system's error, or the type of what is there instead of
// a regular file (`mode`, with `error` 0).
class LogFileError : public PlatformError {
public:
    LogFileError(const std::string& hostPath, int error, unsigned mode);
    int error;
    unsigned mode;
};

// The installation log: one line per event, appended to the file as it happens, so a run that
// is killed keeps what it did. The file is created readable by its owner only; an existing
// regular file is appended to; a link, a pipe or a device is refused (and opening never waits
// on one). A write that fails is remembered, and later lines are not attempted: the log is
// then incomplete, which its owner must say.
class LogFile : public InstallObserver {
public:
    // Raises LogFileError when the file cannot be opened or is no regular file.
    explicit LogFile(const std::string& hostPath);
    void record(const InstallEvent& event) override;
    // Writes a line of its own (UTF-8).
    void write(const std::string& line);
    // The system's error of the first write that failed; 0 while every one succeeded.
    int writeError() const { return error_; }
    // Closes the file, so that a write the system had delayed shows its failure too.
    void close();

private:
    FileDescriptor fd_;
    int error_ = 0;
};

} // namespace zel
