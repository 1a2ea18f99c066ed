#pragma once
// The installation log (--log): one line per change the run reports.
#include "winemu/events.h"

#include <string>

namespace zel {

// One line of the installation log for the event (UTF-8, no line break).
std::string logLine(const InstallEvent& event);

// The installation log: one line per event, appended to the file as it happens, so a run that
// is killed keeps what it did. The file is created readable by its owner only; an existing
// regular file is appended to. Raises PlatformError when it cannot be opened.
class LogFile : public InstallObserver {
public:
    explicit LogFile(const std::string& hostPath);
    ~LogFile() override;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    void record(const InstallEvent& event) override;
    // Writes a line of its own (UTF-8).
    void write(const std::string& line);

private:
    int fd_ = -1;
};

} // namespace zel
