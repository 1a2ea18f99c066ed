#pragma once
// A kit's CD image (ISO 9660, Joliet or Rock Ridge names) read with libarchive into a private
// directory for the life of the object: no root, no loop mount, nothing of the image trusted.
#include <filesystem>

namespace zel {

class ExtractedImage {
public:
    // Extracts `image` into a new directory made by mkdtemp (0700) under $TMPDIR (else /tmp),
    // then makes it read-only. Only regular files and directories are taken, each name must stay
    // inside the directory, and the files together may not hold more than the image itself (so a
    // forged size cannot fill the disk). Raises PlatformError (code page 1252, in Portuguese) for
    // an image that cannot be read or holds anything else, having removed what it made.
    explicit ExtractedImage(const std::filesystem::path& image);
    // Removes the directory with everything in it; while another process still works there (a
    // program started from the medium and not waited for, such as a browser setup), a detached
    // cleaner removes it once the last of them is done.
    ~ExtractedImage();
    ExtractedImage(const ExtractedImage&) = delete;
    ExtractedImage& operator=(const ExtractedImage&) = delete;

    const std::filesystem::path& dir() const { return dir_; }

private:
    std::filesystem::path dir_;
};

// Removes a tree that was made read-only: its directories are made writable again first.
void removeReadOnlyTree(const std::filesystem::path& dir);

// Whether a process other than this one works in the directory: its working directory, an open
// file or a mapped file (a running program) lies there.
bool usedByAnotherProcess(const std::filesystem::path& dir);

} // namespace zel
