#pragma once

// The format decoders behind LinuxImageDecoder. Each reads the header,
// refuses a size isAcceptableImageSize() does not accept, then decodes every
// row of the (first) picture, into picture.pixels when it is set and
// otherwise into one reused row. They return an empty text on success and the
// reason otherwise; none throws.

#include <cstdint>
#include <string>
#include <vector>

#include "tavrino/value.hpp"

namespace tavrino::platform::image_formats {

struct Picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  // Four bytes a pixel (RGBA), row after row; null to check the image only.
  std::vector<std::uint8_t>* pixels = nullptr;
};

std::string decodePng(const Data& data, Picture& picture);
std::string decodeJpeg(const Data& data, Picture& picture);
std::string decodeGif(const Data& data, Picture& picture);

// The reason text for a refused size.
std::string tooLarge(std::uint64_t width, std::uint64_t height);

}  // namespace tavrino::platform::image_formats
