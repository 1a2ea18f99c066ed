#pragma once
// The differences from the platform that we keep on purpose, each with its reason (as the
// platform's own conformance tests mark what they know to differ). A difference that none of
// them explains is a failure.
#include "tests/conformance/cases.h"

#include <optional>
#include <string>
#include <string_view>

namespace zel::conformance {

// The reason a read of a profile file answers differently from the platform, when it is one
// we keep. fileText is the file that was read.
std::optional<std::string> keptProfileDifference(std::string_view fileText, const Query& read,
                                                 const Answer& platform, const Answer& ours);

// The same for a value that the platform reads differently from the file we wrote than from
// the file it wrote with the same writes.
std::optional<std::string> keptWriteDifference(std::string_view platformFileText,
                                               std::string_view ourFileText, const Query& read,
                                               const Answer& fromPlatformFile,
                                               const Answer& fromOurFile);

// The reason a registry value (a dump line, see probe.c) that the platform holds differs from
// ours, when it is one we keep.
std::optional<std::string> keptRegistryDifference(std::string_view platformLine,
                                                  std::string_view ourLine);

} // namespace zel::conformance
