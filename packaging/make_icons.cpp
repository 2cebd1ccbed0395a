// Writes the desktop icon into a hicolor-style tree at build time:
//   OUTDIR/<n>x<n>/apps/kalvo.png for each size asked for, and
//   OUTDIR/scalable/apps/kalvo.svg,
// from the drawing the window uses, so the two never drift apart.
#include <png.h>

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/icon.h"

namespace {

constexpr int kMaxSizePx = 1024;  // larger than any hicolor size

bool MakeParent(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  if (ec) {
    std::cerr << "make_icons: cannot create " << file.parent_path() << ": " << ec.message() << '\n';
    return false;
  }
  return true;
}

bool WriteIconPng(const std::filesystem::path& out_dir, int size) {
  const std::string edge = std::to_string(size);
  const auto path = out_dir / (edge + 'x' + edge) / "apps" / "kalvo.png";
  if (!MakeParent(path)) return false;

  // 0xAARRGGBB words to R, G, B, A bytes, as PNG stores them.
  std::vector<std::uint8_t> rgba;
  for (std::uint32_t pixel : kalvo::IconPixels(size)) {
    for (int shift : {16, 8, 0, 24}) rgba.push_back(static_cast<std::uint8_t>(pixel >> shift));
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(size);
  image.height = static_cast<png_uint_32>(size);
  image.format = PNG_FORMAT_RGBA;
  if (png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) == 0) {
    std::cerr << "make_icons: cannot write " << path << ": " << image.message << '\n';
    return false;
  }
  return true;
}

bool WriteIconSvg(const std::filesystem::path& out_dir) {
  const auto path = out_dir / "scalable" / "apps" / "kalvo.svg";
  if (!MakeParent(path)) return false;
  std::ofstream file(path);
  file << kalvo::IconSvg();
  file.close();  // flush now, so a full disk shows up as a failure here
  if (!file) {
    std::cerr << "make_icons: cannot write " << path << '\n';
    return false;
  }
  return true;
}

bool ParseSize(std::string_view text, int& size) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), size);
  return ec == std::errc{} && end == text.data() + text.size() && size > 0 && size <= kMaxSizePx;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: make_icons OUTDIR SIZE_PX...\n";
    return 2;
  }
  const std::filesystem::path out_dir = argv[1];
  std::vector<int> sizes;
  for (int i = 2; i < argc; ++i) {
    int size = 0;
    if (!ParseSize(argv[i], size)) {
      std::cerr << "make_icons: size must be a whole number of pixels from 1 to " << kMaxSizePx
                << ", got '" << argv[i] << "'\n";
      return 2;
    }
    sizes.push_back(size);
  }
  for (int size : sizes) {
    if (!WriteIconPng(out_dir, size)) return 1;
  }
  return WriteIconSvg(out_dir) ? 0 : 1;
}
