#pragma once
// zel-kit show: the catalogue as the wizard reads it from a setup description file, as JSON
// whose keys are the catalogue's field names from the key table.
#include "setup/network_stack.h"

#include <filesystem>
#include <optional>
#include <string>

namespace zel::kit {

// Why a file is no profile file the wizard could read (the wizard's own test, also for the
// dial-up stack's settings file).
using zel::notAProfile;

// The settings, the program table and the welcome page's keys, indented by two; with
// `compact`, without what holds nothing (empty texts, zeros, unused slots at a list's end).
std::string showJson(const std::filesystem::path& description, bool compact);

} // namespace zel::kit
