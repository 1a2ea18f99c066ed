#include "winemu/sha256.h"

#include "winemu/host_file.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

Sha256::Sha256() : context_{} {
    sha256_init(&context_);
}

void Sha256::update(std::string_view data) {
    sha256_update(&context_, data.size(), reinterpret_cast<const std::uint8_t*>(data.data()));
}

std::string Sha256::hexDigest() {
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context_, sizeof digest, digest);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * sizeof digest);
    for (const std::uint8_t byte : digest) {
        out += kHex[byte >> 4];
        out += kHex[byte & 0xf];
    }
    return out;
}

std::string sha256Hex(std::string_view data) {
    Sha256 hash;
    hash.update(data);
    return hash.hexDigest();
}

std::optional<std::string> sha256OfFile(const std::filesystem::path& file) {
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    if (!fd && (errno == ENOENT || errno == ENOTDIR))
        return std::nullopt;
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0)
        throw HostFileError(HostFileError::Step::Open, file, errno);
    if (!S_ISREG(st.st_mode))
        throw HostFileError(HostFileError::Step::Open, file, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    // A wider read-ahead: each file is read once, from its start to its end.
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    Sha256 hash;
    char block[65536]; // a fixed block at a time: a file of any size, in constant memory
    for (;;) {
        const ssize_t n = uninterrupted([&] { return ::read(fd.get(), block, sizeof block); });
        if (n < 0)
            throw HostFileError(HostFileError::Step::Read, file, errno);
        if (n == 0)
            return hash.hexDigest();
        hash.update(std::string_view(block, static_cast<std::size_t>(n)));
    }
}

} // namespace zel
