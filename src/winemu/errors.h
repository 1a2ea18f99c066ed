#pragma once
// Errors raised by the Windows layer. Every raised error carries the message the user sees
// in the general error report (the report adds the final ".").
#include <stdexcept>
#include <string>

namespace zel {

class PlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace zel
