// JPEG pictures in memory: decoding the picture Graphviz renders and encoding it again for saving.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarvo {

// An 8-bit RGB picture, rows top to bottom, three bytes per pixel.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

struct JpegDecodeResult {
    RgbPicture picture;
    std::string error;  // empty on success, else a French message
};

// Decodes JPEG bytes; a damaged or truncated file gives an error, never a crash.
JpegDecodeResult DecodeJpeg(std::string_view bytes);

// Encodes the picture as JPEG bytes (quality 0..100); empty on failure.
std::string EncodeJpeg(const RgbPicture& picture, int quality = 90);

// Largest picture accepted, in pixels (a corrupt header must not make us allocate gigabytes).
inline constexpr std::int64_t MaxJpegPixels = std::int64_t{1} << 28;

}  // namespace quarvo
