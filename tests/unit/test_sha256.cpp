// The medium's sums: SHA-256 of the standard's known answers, of data given in pieces that
// cross the hash's 64-byte blocks, and of files that cross the reader's 64 KiB blocks; and what
// a file that cannot be hashed gives.
#include "tests/support/fixtures.h"
#include "winemu/host_file.h"
#include "winemu/sha256.h"

#include <cerrno>
#include <sys/stat.h>

namespace zel::test {
namespace {

const std::string kMillionA(1000000, 'a');
constexpr const char* kMillionASum =
    "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";

// The known answers of the standard's examples, and the empty message.
TEST(Sha256Test, KnownAnswers) {
    const struct {
        std::string message, sum;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", // 56 bytes: a second block
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrl"
         "mnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {kMillionA, kMillionASum},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.substr(0, 20) + " (" + std::to_string(c.message.size()) + " bytes)");
        EXPECT_EQ(sha256Hex(c.message), c.sum);
    }
}

// The digest does not depend on how the data is cut: pieces of every size around the block's
// 64 bytes, from empty ones up to several blocks at once.
TEST(Sha256Test, DataGivenInPiecesHashesAsAWhole) {
    for (const std::size_t piece : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 127u, 129u, 4096u}) {
        SCOPED_TRACE("pieces of " + std::to_string(piece));
        Sha256 hash;
        for (std::size_t at = 0; at < kMillionA.size(); at += piece) {
            hash.update(std::string_view(kMillionA).substr(at, piece));
            hash.update({}); // an empty read changes nothing
        }
        EXPECT_EQ(hash.hexDigest(), kMillionASum);
    }
}

// A file is read 64 KiB at a time: sizes at each side of that block and of the hash's own
// padding boundaries give the digest of their content, and a million 'a' the known answer.
TEST(Sha256Test, FilesAcrossTheReadBlocksHashAsTheirContent) {
    TempDir tmp;
    writeFile(tmp / "million", kMillionA);
    EXPECT_EQ(sha256OfFile(tmp / "million"), kMillionASum);

    std::string pattern;
    for (std::size_t i = 0; pattern.size() < 4 * 65536 + 2; ++i)
        pattern += static_cast<char>((i * 131 + i / 251) & 0xff);
    for (const std::size_t size :
         {0u, 1u, 55u, 56u, 64u, 65535u, 65536u, 65537u, 131072u, 131073u, 4 * 65536u + 1}) {
        SCOPED_TRACE(std::to_string(size) + " bytes");
        const std::string content = pattern.substr(0, size);
        writeFile(tmp / "file", content);
        EXPECT_EQ(sha256OfFile(tmp / "file"), sha256Hex(content));
    }
    // Two files that differ only in their last byte, past the first block, differ.
    writeFile(tmp / "other", pattern.substr(0, 65536) + "x");
    writeFile(tmp / "file", pattern.substr(0, 65536) + "y");
    EXPECT_NE(sha256OfFile(tmp / "other"), sha256OfFile(tmp / "file"));
}

// Nothing for a missing file; an error, and no read, for anything that is not a regular file
// (a link, whatever it points to, a directory, a pipe that would block a reader).
TEST(Sha256Test, WhatIsNoRegularFileIsNotHashed) {
    TempDir tmp;
    writeFile(tmp / "target", "abc");
    fs::create_symlink(tmp / "target", tmp / "link");
    fs::create_directory(tmp / "dir");
    ASSERT_EQ(::mkfifo((tmp / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(sha256OfFile(tmp / "missing"), std::nullopt);
    EXPECT_EQ(sha256OfFile(tmp / "missing" / "file"), std::nullopt);
    EXPECT_EQ(sha256OfFile(tmp / "target"), sha256Hex("abc"));
    const struct {
        const char* name;
        int error;
    } refused[] = {{"link", ELOOP}, {"dir", EISDIR}, {"pipe", EINVAL}};
    for (const auto& r : refused) {
        SCOPED_TRACE(r.name);
        try {
            sha256OfFile(tmp / r.name);
            ADD_FAILURE() << "hashed";
        } catch (const HostFileError& e) {
            EXPECT_EQ(e.error(), r.error);
            EXPECT_EQ(e.file(), tmp / r.name);
        }
    }
}

} // namespace
} // namespace zel::test
