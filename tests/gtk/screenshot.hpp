#pragma once

// The pixels of a picture (a rendered window, a saved file), read by colour.

#include <gtk/gtk.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace tavrino::testing {

struct Rgb {
  int r, g, b;
};

// Within 12 in the sum of the channels' differences.
inline bool near(Rgb a, Rgb b) {
  return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) <= 12;
}

class Screenshot {
 public:
  // Takes texture over; null gives an empty picture.
  explicit Screenshot(GdkTexture* texture)
      : width(texture ? gdk_texture_get_width(texture) : 0),
        height(texture ? gdk_texture_get_height(texture) : 0),
        pixels_(std::size_t(width) * height * 4) {
    if (!texture) return;
    gdk_texture_download(texture, pixels_.data(), std::size_t(width) * 4);
    g_object_unref(texture);
  }
  // Premultiplied BGRA; everything the tests read is opaque.
  Rgb at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
    const auto* p = &pixels_[(std::size_t(y) * width + x) * 4];
    return {p[2], p[1], p[0]};
  }
  // The pixels near colour in the area, the whole picture by default.
  int count(Rgb colour, int x0 = 0, int y0 = 0, int w = 1 << 20, int h = 1 << 20) const {
    int n = 0;
    for (int y = y0; y < y0 + h && y < height; ++y) {
      for (int x = x0; x < x0 + w && x < width; ++x) n += near(at(x, y), colour);
    }
    return n;
  }
  const int width, height;

 private:
  std::vector<std::uint8_t> pixels_;
};

}  // namespace tavrino::testing
