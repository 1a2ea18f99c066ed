#pragma once
// SHA-256, for the sums a packed medium carries: small enough to keep here rather than bring
// a cryptography library to a tool that only needs to tell a changed file.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zel::kit {

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

} // namespace zel::kit
