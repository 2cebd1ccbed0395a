// Writes the window's icon as a Windows .ico file at build time:
//   make_ico OUT.ico
// with one 16-colour image for each of the window's icon sizes, drawn by the
// same code as every other copy of the icon. Built for the build machine,
// not the target, so it has no Windows headers and writes the format itself.
#include <cstdint>
#include <fstream>
#include <iostream>
#include <vector>

#include "app/icon.h"

namespace {

// The standard 16-colour palette, as 0xRRGGBB.
constexpr std::uint32_t kPalette[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};
constexpr std::size_t kDirectoryBytes = 6;
constexpr std::size_t kEntryBytes = 16;
constexpr std::size_t kInfoHeaderBytes = 40;

class Bytes {
 public:
  void U8(std::uint32_t value) { data_.push_back(static_cast<char>(value & 0xFFU)); }
  void U16(std::uint32_t value) {
    U8(value);
    U8(value >> 8U);
  }
  void U32(std::uint32_t value) {
    U16(value);
    U16(value >> 16U);
  }
  void Append(const Bytes& other) {
    data_.insert(data_.end(), other.data_.begin(), other.data_.end());
  }
  std::size_t size() const { return data_.size(); }
  const std::vector<char>& data() const { return data_; }

 private:
  std::vector<char> data_;
};

// Palette index of an opaque pixel, or -1 if the palette lacks its colour.
int IndexOf(std::uint32_t argb) {
  for (int i = 0; i < 16; ++i) {
    if (kPalette[i] == (argb & 0xFFFFFFU)) return i;
  }
  return -1;
}

// One image as the format stores it: a bitmap header of twice the height
// (colour rows, then the transparency mask), the palette, 4-bit colour rows
// and 1-bit mask rows, both bottom-up and padded to 32 bits.
bool EncodeImage(int size, Bytes& out) {
  const auto pixels = kalvo::IconPixels(size);
  const auto edge = static_cast<std::uint32_t>(size);
  const std::uint32_t colour_stride = ((edge * 4 + 31) / 32) * 4;
  const std::uint32_t mask_stride = ((edge + 31) / 32) * 4;
  out.U32(kInfoHeaderBytes);
  out.U32(edge);
  out.U32(edge * 2);
  out.U16(1);  // planes
  out.U16(4);  // bits per pixel
  out.U32(0);  // uncompressed
  out.U32((colour_stride + mask_stride) * edge);
  for (int i = 0; i < 4; ++i) out.U32(0);           // resolution, colours used and important: all
  for (std::uint32_t rgb : kPalette) out.U32(rgb);  // stored B, G, R, 0
  std::vector<std::uint8_t> colour(colour_stride * edge);
  std::vector<std::uint8_t> mask(mask_stride * edge);
  for (std::uint32_t row = 0; row < edge; ++row) {
    const std::uint32_t line = edge - 1 - row;
    for (std::uint32_t col = 0; col < edge; ++col) {
      const std::uint32_t argb = pixels[(row * edge) + col];
      if ((argb >> 24U) == 0) {
        mask[(line * mask_stride) + (col / 8)] |= static_cast<std::uint8_t>(0x80U >> (col % 8));
        continue;
      }
      const int index = IndexOf(argb);
      if (index < 0) {
        std::cerr << "make_ico: colour " << std::hex << argb
                  << " is not in the 16-colour palette\n";
        return false;
      }
      const unsigned shift = col % 2 == 0 ? 4U : 0U;
      colour[(line * colour_stride) + (col / 2)] |= static_cast<std::uint8_t>(index << shift);
    }
  }
  for (std::uint8_t byte : colour) out.U8(byte);
  for (std::uint8_t byte : mask) out.U8(byte);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_ico OUT.ico\n";
    return 2;
  }
  std::vector<Bytes> images;
  for (int size : kalvo::kIconSizesPx) {
    images.emplace_back();
    if (!EncodeImage(size, images.back())) return 1;
  }
  Bytes file;
  file.U16(0);  // reserved
  file.U16(1);  // an icon, not a cursor
  file.U16(static_cast<std::uint32_t>(images.size()));
  auto offset = static_cast<std::uint32_t>(kDirectoryBytes + (kEntryBytes * images.size()));
  for (std::size_t i = 0; i < images.size(); ++i) {
    const auto edge = static_cast<std::uint32_t>(kalvo::kIconSizesPx[i]);
    file.U8(edge);
    file.U8(edge);
    file.U8(16);  // colours
    file.U8(0);
    file.U16(1);  // planes
    file.U16(4);  // bits per pixel
    file.U32(static_cast<std::uint32_t>(images[i].size()));
    file.U32(offset);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const Bytes& image : images) file.Append(image);

  std::ofstream out(argv[1], std::ios::binary);
  out.write(file.data().data(), static_cast<std::streamsize>(file.size()));
  out.close();  // flush now, so a full disk shows up as a failure here
  if (!out) {
    std::cerr << "make_ico: cannot write " << argv[1] << '\n';
    return 1;
  }
  return 0;
}
