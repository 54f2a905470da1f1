// Downloaded image bytes: the decoder must take any bytes, refuse what is not
// a whole image of an accepted size, and decide the same way every time.

#include <cstdint>
#include <cstdlib>

#include "tavrino/platform/linux_image_decoder.hpp"

using namespace tavrino;
using namespace tavrino::platform;

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  LinuxImageDecoder decoder;
  const Data bytes(data, data + size);

  RgbaPixels pixels;
  const ImageDecoding full = decoder.decodePixels(bytes, pixels);
  const ImageDecoding quick = decoder.decode(bytes);
  check(full.image.has_value() == quick.image.has_value());
  check(full.failure == quick.failure);
  if (!full) {
    check(!full.failure.empty());
    check(pixels.rgba.empty() && pixels.width == 0 && pixels.height == 0);
    return 0;
  }
  const ui::Image& image = *full.image;
  check(full.failure.empty());
  check(image == *quick.image);
  check(image.width() == pixels.width && image.height() == pixels.height);
  check(isAcceptableImageSize(pixels.width, pixels.height));
  check(pixels.rgba.size() == std::size_t{pixels.width} * pixels.height * 4);
  check(image.data() == bytes);

  RgbaPixels again;
  decoder.decodePixels(bytes, again);
  check(again.rgba == pixels.rgba);
  return 0;
}
