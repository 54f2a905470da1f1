#pragma once

// The reference platform's ImageDecoder: libpng, libjpeg and giflib from
// Debian. The format is told by the leading bytes, not by any name.
//
// Every image is decoded through to its last row (the first frame of a GIF),
// so bytes cut short or corrupt inside the pixel data are refused rather than
// shown half drawn. decode() keeps only one row of pixels at a time;
// decodePixels() also returns the whole picture.
//
// Thread-safety: every method may be called from any thread; the decoder
// keeps no state between calls.

#include <cstdint>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/platform/image_decoder.hpp"

namespace tavrino::platform {

// A decoded picture: width x height pixels of four bytes (red, green, blue,
// alpha; not premultiplied), row after row from the top.
struct RgbaPixels {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgba;
};

class TAVRINO_EXPORT LinuxImageDecoder final : public ImageDecoder {
 public:
  ImageDecoding decode(const Data& data) override;

  // As decode(), also filling pixels when the image is decoded (pixels is
  // left empty otherwise).
  ImageDecoding decodePixels(const Data& data, RgbaPixels& pixels);
};

}  // namespace tavrino::platform
