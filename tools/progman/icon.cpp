#include "tools/progman/icon.h"

#include <zlib.h>

#include <algorithm>

namespace zel::progman {

namespace {

std::uint32_t le16(std::string_view d, std::size_t at) {
    return static_cast<std::uint8_t>(d[at]) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(d[at + 1])) << 8;
}

std::uint32_t le32(std::string_view d, std::size_t at) {
    return le16(d, at) | le16(d, at + 2) << 16;
}

// One picture of the file: its bitmap header, colour table, colour bits and mask, each checked
// to lie inside the picture's own bytes before anything is read from it.
std::optional<IconImage> readPicture(std::string_view res) {
    if (res.size() < 40)
        return std::nullopt;
    const std::uint32_t headerSize = le32(res, 0);
    const auto width = static_cast<std::int32_t>(le32(res, 4));
    const auto doubleHeight = static_cast<std::int32_t>(le32(res, 8));
    const std::uint32_t bits = le16(res, 14);
    const std::uint32_t colorsUsed = le32(res, 32);
    // The height counts the colour bits and the mask; a top-down (negative) one is no icon.
    if (headerSize < 40 || headerSize > res.size() || le16(res, 12) != 1 || le32(res, 16) != 0 ||
        width < 1 || width > 256 || doubleHeight < 2 || doubleHeight % 2 != 0 || doubleHeight > 512)
        return std::nullopt;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return std::nullopt;
    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(doubleHeight / 2);
    std::size_t colors = 0;
    if (bits <= 8) {
        colors = colorsUsed != 0 ? colorsUsed : 1u << bits;
        if (colors > (1u << bits))
            return std::nullopt;
    }
    const std::size_t paletteAt = headerSize;
    const std::size_t pixelsAt = paletteAt + 4 * colors;
    const std::size_t stride = (w * bits + 31) / 32 * 4;
    const std::size_t maskAt = pixelsAt + stride * h;
    const std::size_t maskStride = (w + 31) / 32 * 4;
    const bool hasMask = maskAt + maskStride * h <= res.size();
    // Without a mask only a picture with its own transparency can be shown.
    if (maskAt > res.size() || (!hasMask && bits != 32))
        return std::nullopt;

    IconImage image{width, doubleHeight / 2, std::vector<std::uint8_t>(w * h * 4)};
    bool anyAlpha = false;
    for (std::size_t y = 0; y < h; ++y) {
        const std::size_t row = pixelsAt + (h - 1 - y) * stride; // stored bottom up
        for (std::size_t x = 0; x < w; ++x) {
            std::uint8_t* out = &image.rgba[(y * w + x) * 4];
            std::size_t entry = 0;
            if (bits <= 8) {
                const std::size_t bit = x * bits;
                const auto byte = static_cast<std::uint8_t>(res[row + bit / 8]);
                entry = (byte >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                if (entry >= colors)
                    return std::nullopt;
                const std::size_t at = paletteAt + 4 * entry;
                out[0] = static_cast<std::uint8_t>(res[at + 2]);
                out[1] = static_cast<std::uint8_t>(res[at + 1]);
                out[2] = static_cast<std::uint8_t>(res[at]);
                out[3] = 255;
            } else {
                const std::size_t at = row + x * (bits / 8);
                out[0] = static_cast<std::uint8_t>(res[at + 2]);
                out[1] = static_cast<std::uint8_t>(res[at + 1]);
                out[2] = static_cast<std::uint8_t>(res[at]);
                out[3] = bits == 32 ? static_cast<std::uint8_t>(res[at + 3]) : 255;
                anyAlpha = anyAlpha || (bits == 32 && out[3] != 0);
            }
        }
    }
    // A 32-bit picture whose alpha is all zero was made before icons had alpha: its mask says.
    if (bits == 32 && anyAlpha)
        return image;
    for (std::size_t y = 0; y < h; ++y) {
        const std::size_t row = maskAt + (h - 1 - y) * maskStride;
        for (std::size_t x = 0; x < w; ++x) {
            const bool clear =
                hasMask && ((static_cast<std::uint8_t>(res[row + x / 8]) >> (7 - x % 8)) & 1) != 0;
            image.rgba[(y * w + x) * 4 + 3] = clear ? 0 : 255;
        }
    }
    return image;
}

void appendBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>(value >> shift);
}

void appendChunk(std::string& out, std::string_view type, std::string_view data) {
    appendBigEndian(out, static_cast<std::uint32_t>(data.size()));
    std::string body(type);
    body += data;
    out += body;
    appendBigEndian(
        out, static_cast<std::uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                static_cast<uInt>(body.size()))));
}

} // namespace

std::optional<IconImage> readIcon(std::string_view file) {
    if (file.size() < 6 || le16(file, 0) != 0 || le16(file, 2) != 1)
        return std::nullopt;
    // Icons hold a few pictures; a directory of thousands, all pointing at one picture, would
    // have it decoded thousands of times.
    const std::size_t count = le16(file, 4);
    if (count > kMaxIconPictures)
        return std::nullopt;
    std::optional<IconImage> best;
    std::uint32_t bestBits = 0;
    for (std::size_t i = 0; i < count && 6 + 16 * (i + 1) <= file.size(); ++i) {
        const std::size_t entry = 6 + 16 * i;
        const std::uint64_t size = le32(file, entry + 8), offset = le32(file, entry + 12);
        if (offset + size > file.size())
            continue;
        auto picture = readPicture(file.substr(offset, size));
        if (!picture)
            continue;
        const std::uint32_t bits = le16(file, offset + 14);
        if (!best || picture->width > best->width ||
            (picture->width == best->width && bits > bestBits)) {
            best = std::move(picture);
            bestBits = bits;
        }
    }
    return best;
}

std::string pngFile(const IconImage& image) {
    const auto w = static_cast<std::size_t>(image.width);
    std::string raw;
    raw.reserve((w * 4 + 1) * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        raw += '\0'; // no filter
        raw.append(reinterpret_cast<const char*>(&image.rgba[static_cast<std::size_t>(y) * w * 4]),
                   w * 4);
    }
    uLongf packedSize = ::compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (::compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                    reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                    Z_BEST_COMPRESSION) != Z_OK)
        throw std::bad_alloc(); // the only way it fails with a buffer of compressBound's size
    packed.resize(packedSize);

    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    appendBigEndian(header, static_cast<std::uint32_t>(image.width));
    appendBigEndian(header, static_cast<std::uint32_t>(image.height));
    header += std::string("\x08\x06\x00\x00\x00", 5); // 8 bits, RGBA, deflate, no interlace
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", packed);
    appendChunk(png, "IEND", {});
    return png;
}

} // namespace zel::progman
