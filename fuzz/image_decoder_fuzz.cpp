// Downloaded image bytes: the decoder must take any bytes, refuse what is not
// a whole image of an accepted size, and decide the same way every time.

#include "fuzz_support.hpp"
#include "tavrino/platform/linux_image_decoder.hpp"

using namespace tavrino;
using namespace tavrino::platform;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  LinuxImageDecoder decoder;
  const Data bytes(data, data + size);
  RgbaPixels pixels;
  const ImageDecoding full = decoder.decodePixels(bytes, pixels);
  const ImageDecoding quick = decoder.decode(bytes);
  require(full.image.has_value() == quick.image.has_value() && full.failure == quick.failure,
          "pixel and quick decoding disagree");
  if (!full) {
    require(!full.failure.empty() && pixels.rgba.empty() && pixels.width == 0 && pixels.height == 0,
            "refusal without a reason or with pixels");
    return 0;
  }
  const ui::Image& image = *full.image;
  require(full.failure.empty() && image == *quick.image && image.data() == bytes,
          "decoded image differs");
  require(image.width() == pixels.width && image.height() == pixels.height &&
              isAcceptableImageSize(pixels.width, pixels.height) &&
              pixels.rgba.size() == std::size_t{pixels.width} * pixels.height * 4,
          "pixels of a size not accepted or not the image's");
  RgbaPixels again;
  decoder.decodePixels(bytes, again);
  require(again.rgba == pixels.rgba, "decoded differently the second time");
  return 0;
}
