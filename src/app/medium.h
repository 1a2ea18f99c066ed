#pragma once
// The kit's medium given apart from the wizard (SETUP --medium): a directory (a mounted CD, read
// only) taken as it is, or a CD image extracted for the run's life.
#include "winemu/iso_image.h"

#include <filesystem>
#include <optional>

namespace zel {

class Medium {
public:
    // Raises PlatformError (code page 1252, in Portuguese) for a name that is neither a
    // directory nor a regular file, for an image that cannot be read (ExtractedImage) and for
    // a medium without the description file SETUP.INI (found without regard to case).
    explicit Medium(const std::filesystem::path& given);

    // The directory the machine mounts: the one given, or the image's extraction.
    const std::filesystem::path& dir() const { return image_ ? image_->dir() : dir_; }

private:
    std::filesystem::path dir_;
    std::optional<ExtractedImage> image_;
};

} // namespace zel
