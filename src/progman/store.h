#pragma once
// Program Manager's store: the groups and items kept in a text file inside the prefix, so they
// outlive the server. Written whole through the layer's atomic writer.
#include "progman/groups.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zel::progman {

// The store's text: a header line, then "group<TAB>name" lines, each followed by its
// "item<TAB>command<TAB>name<TAB>icon<TAB>index" lines; '%', tab and control characters are
// written as %XX, and lines starting with '#' are comments. The current group and a pending
// ReplaceItem are not part of it.
std::string storeText(const Groups& groups);
// Raises PlatformError naming the line ("line 3: ...") for a text that is no store.
Groups groupsFromStoreText(std::string_view text);

// The store of the machine in `prefix`.
std::filesystem::path storePath(const std::filesystem::path& prefix);
// The groups in the store; no groups when there is no store. Raises PlatformError naming the
// file when it cannot be read or holds no store: such a store is never taken for an empty one.
Groups loadStore(const std::filesystem::path& file);
// Raises PlatformError naming the file and the reason; the old store stays whole then.
void saveStore(const std::filesystem::path& file, const Groups& groups);

} // namespace zel::progman
