#pragma once
// The one family of errors: every failure is raised as a PlatformError, its kinds as
// subclasses beside the code that raises them (HostFileError, ForeignPrefixError, FileCopyError,
// UnreadableAnswers, WrongAnswer, zel-kit's PackError), so a caller catches the
// kind it handles and lets the rest reach the general error report. Every raised error carries
// the message the user sees there (the report adds the final ".").
#include <stdexcept>
#include <string>

namespace zel {

class PlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace zel
