#pragma once
// Program Manager's icons for the host's desktop: the picture of a Windows icon file (.ICO)
// and the PNG file the desktop's icon themes take.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::progman {

struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba; // rows top to bottom, 4 bytes a pixel, alpha not premultiplied
};

// The most pictures an icon's directory may list: the work a file can ask for is at most this
// many pictures of at most 256 x 256 pixels.
inline constexpr std::size_t kMaxIconPictures = 64;

// The largest picture of an icon file in its bitmap forms (1, 4, 8, 24 and 32 bits a pixel,
// uncompressed, with the transparency mask); nothing when the file is no such icon, its
// directory lists more than kMaxIconPictures pictures, or any part of it lies outside the data.
std::optional<IconImage> readIcon(std::string_view file);

// The picture as a PNG file (8-bit RGBA).
std::string pngFile(const IconImage& image);

} // namespace zel::progman
