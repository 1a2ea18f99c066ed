#pragma once
// SHA-256, for the sums a packed medium carries (written by zel-kit pack, checked by zel-kit
// check and by the wizard before it copies anything from the medium). The compression is
// Nettle's, which uses the processor's SHA instructions where it has them: a CD's files are
// checked at the pace of the disk rather than of the hash.
#include <nettle/sha2.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zel {

class Sha256 {
public:
    Sha256();
    void update(std::string_view data);
    // The digest of everything given, as 64 lower-case hexadecimal digits. Ends the object's use.
    std::string hexDigest();

private:
    sha256_ctx context_;
};

std::string sha256Hex(std::string_view data);
// The digest of a regular file, read in fixed-size blocks with no link followed, so that a file
// of any size is hashed in the same memory; nothing when it is missing. Raises HostFileError for
// a link, a directory or another kind of file, or a read that fails.
std::optional<std::string> sha256OfFile(const std::filesystem::path& file);

} // namespace zel
