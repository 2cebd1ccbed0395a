#include "tools/png_writer.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

namespace kalvo {
namespace {

std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> kTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1U) : c >> 1U;
      table[n] = c;
    }
    return table;
  }();
  crc = ~crc;
  for (std::uint8_t b : bytes) crc = kTable[(crc ^ b) & 0xFFU] ^ (crc >> 8U);
  return ~crc;
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char (&type)[5],
              std::span<const std::uint8_t> data) {
  PutU32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t type_at = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutU32(out, Crc32({out.data() + type_at, data.size() + 4}));
}

// A zlib stream of stored deflate blocks.
std::vector<std::uint8_t> ZlibStored(std::span<const std::uint8_t> raw) {
  std::vector<std::uint8_t> z{0x78, 0x01};
  constexpr std::size_t kMaxBlock = 65535;
  std::size_t at = 0;
  do {
    const std::size_t len = std::min(kMaxBlock, raw.size() - at);
    const bool last = at + len == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<std::uint8_t>(len & 0xFFU));
    z.push_back(static_cast<std::uint8_t>(len >> 8U));
    z.push_back(static_cast<std::uint8_t>(~len & 0xFFU));
    z.push_back(static_cast<std::uint8_t>((~len >> 8U) & 0xFFU));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
             raw.begin() + static_cast<std::ptrdiff_t>(at + len));
    at += len;
  } while (at < raw.size());
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521U;
    b = (b + a) % 65521U;
  }
  PutU32(z, (b << 16U) | a);
  return z;
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, int channels,
              std::span<const std::uint8_t> pixels, std::string* error) {
  const auto fail = [error](const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
  };
  if (width <= 0 || height <= 0 || (channels != 3 && channels != 4)) return fail("bad image shape");
  const auto row_bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
  if (pixels.size() != row_bytes * static_cast<std::size_t>(height)) {
    return fail("pixel buffer does not match the image size");
  }

  std::vector<std::uint8_t> raw;  // each row behind a filter byte of 0 (none)
  raw.reserve((row_bytes + 1) * static_cast<std::size_t>(height));
  for (std::size_t row = 0; row < static_cast<std::size_t>(height); ++row) {
    raw.push_back(0);
    const auto first = pixels.begin() + static_cast<std::ptrdiff_t>(row * row_bytes);
    raw.insert(raw.end(), first, first + static_cast<std::ptrdiff_t>(row_bytes));
  }

  std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  PutU32(header, static_cast<std::uint32_t>(width));
  PutU32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, static_cast<std::uint8_t>(channels == 4 ? 6 : 2), 0, 0, 0});
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", ZlibStored(raw));
  PutChunk(png, "IEND", {});

  std::ofstream file(path, std::ios::binary);
  if (!file) return fail("cannot open " + path + ": " + std::strerror(errno));
  file.write(reinterpret_cast<const char*>(png.data()),  // NOLINT
             static_cast<std::streamsize>(png.size()));
  file.close();  // a full disk may only show when the last bytes go out
  if (!file) return fail("cannot write " + path);
  return true;
}

}  // namespace kalvo
