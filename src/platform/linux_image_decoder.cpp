#include "tavrino/platform/linux_image_decoder.hpp"

namespace tavrino::platform {

ImageDecoding LinuxImageDecoder::decode(const Data& data) {
  RgbaPixels unused;
  return decodePixels(data, unused);
}

ImageDecoding LinuxImageDecoder::decodePixels(const Data&, RgbaPixels& pixels) {
  pixels = {};
  return {std::nullopt, "not an image"};
}

}  // namespace tavrino::platform
