#pragma once
// zel-kit keys: the kit author's table of every key of the setup description file, made from
// the key table the wizard itself reads with, so the README's copy cannot drift from the code.
#include <string>

namespace zel::kit {

// A Markdown table, one row per key in the key table's order: section, key, what it does, what
// a missing key reads as, and the page, window or file that shows it. UTF-8.
std::string keysMarkdown();

} // namespace zel::kit
