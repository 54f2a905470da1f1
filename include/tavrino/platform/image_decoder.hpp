#pragma once

// ImageDecoder: makes an image from the bytes of a file (PNG, JPEG, GIF on
// the reference platform). The result carries the size in points (one point
// per pixel) and keeps the source bytes; an animated image is its first
// frame.
//
// Every decoder refuses, from the header alone and before it allocates any
// pixel memory, an image whose declared size is beyond kMaxImageSide on a
// side or kMaxImagePixels in all: a few hundred bytes can otherwise declare
// gigabytes of pixels.
//
// Thread-safety: decode() may be called from any thread.

#include <cstdint>
#include <optional>
#include <string>

#include "tavrino/export.hpp"
#include "tavrino/ui/image.hpp"
#include "tavrino/value.hpp"

namespace tavrino::platform {

inline constexpr std::uint32_t kMaxImageSide = 8192;
// 4096 x 4096: 64 MiB once decoded to four bytes a pixel.
inline constexpr std::uint64_t kMaxImagePixels = std::uint64_t{4096} * 4096;

// Returns true iff width x height is a size a decoder accepts: both sides
// positive, neither beyond kMaxImageSide, the area not beyond kMaxImagePixels.
constexpr bool isAcceptableImageSize(std::uint64_t width, std::uint64_t height) {
  return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
         width * height <= kMaxImagePixels;
}

// The outcome of one decode: an image, or why there is none.
struct ImageDecoding {
  std::optional<ui::Image> image;
  // Empty when image is set; otherwise a short reason for the log line
  // ("not an image", "image too large: 100000x100000", "PNG: ...").
  std::string failure;

  explicit operator bool() const { return image.has_value(); }
};

class TAVRINO_EXPORT ImageDecoder {
 public:
  virtual ~ImageDecoder();

  // Makes an image from data. Never throws: bytes that are not a complete
  // image of a known format, or that declare a size isAcceptableImageSize()
  // refuses, give a failure.
  virtual ImageDecoding decode(const Data& data) = 0;
};

}  // namespace tavrino::platform
