// Writes 8-bit RGBA or RGB images as PNG files, for the icon that the build
// installs and for the pictures that tests and the docs save. Uncompressed
// (stored) deflate: small images, no library needed.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kalvo {

// pixels: rows from the top, channels bytes per pixel (3 = RGB, 4 = RGBA).
// Returns false, with the reason in *error when given, if the file cannot be written.
bool WritePng(const std::string& path, int width, int height, int channels,
              std::span<const std::uint8_t> pixels, std::string* error = nullptr);

}  // namespace kalvo
