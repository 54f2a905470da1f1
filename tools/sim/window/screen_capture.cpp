#include "screen_capture.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace tavrino::sim {
namespace {

// One 8-bit channel of pixel under mask.
png_byte channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  const int shift = __builtin_ctzl(mask);
  const unsigned long most = mask >> shift;
  return png_byte(((pixel & mask) >> shift) * 255 / most);
}

bool writePng(const std::filesystem::path& path, int width, int height,
              const std::vector<png_byte>& rgb) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) png_write_row(png, &rgb[std::size_t(y) * width * 3]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fflush(file.get()) == 0;
}

}  // namespace

bool saveScreen(const std::filesystem::path& png) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  const Window root = DefaultRootWindow(display);
  XWindowAttributes attributes;
  XImage* image = XGetWindowAttributes(display, root, &attributes)
                      ? XGetImage(display, root, 0, 0, unsigned(attributes.width),
                                  unsigned(attributes.height), AllPlanes, ZPixmap)
                      : nullptr;
  bool saved = false;
  if (image) {
    const int width = image->width, height = image->height;
    std::vector<png_byte> rgb(std::size_t(width) * height * 3);
    png_byte* out = rgb.data();
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const unsigned long pixel = XGetPixel(image, x, y);
        *out++ = channel(pixel, image->red_mask);
        *out++ = channel(pixel, image->green_mask);
        *out++ = channel(pixel, image->blue_mask);
      }
    }
    XDestroyImage(image);
    saved = writePng(png, width, height, rgb);
  }
  XCloseDisplay(display);
  return saved;
}

}  // namespace tavrino::sim
