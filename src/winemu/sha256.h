#pragma once
// SHA-256, for the sums a packed medium carries (written by zel-kit pack, checked by the
// wizard before it copies anything from the medium): small enough to keep here rather than
// bring a cryptography library for telling a changed file.
#include <array>
#include <cstdint>
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
    void block(const unsigned char* p);

    std::array<std::uint32_t, 8> state_;
    std::array<unsigned char, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t totalBytes_ = 0;
};

std::string sha256Hex(std::string_view data);
// The digest of a regular file, read in fixed-size blocks with no link followed; nothing when
// it is missing. Raises HostFileError for a link, a directory or another kind of file, or a
// read that fails.
std::optional<std::string> sha256OfFile(const std::filesystem::path& file);

} // namespace zel
