#include "tavrino/platform/linux_image_decoder.hpp"

#include <algorithm>
#include <exception>
#include <string_view>

#include "platform/image_formats.hpp"

namespace tavrino::platform {
namespace {

bool startsWith(const Data& data, std::string_view prefix) {
  return data.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), data.begin(),
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

// Decodes data, into *rgba when it is set.
ImageDecoding decodeInto(const Data& data, image_formats::Picture& picture) {
  std::string failure;
  try {
    if (startsWith(data, "\x89PNG\r\n\x1a\n")) {
      failure = image_formats::decodePng(data, picture);
    } else if (startsWith(data, "\xff\xd8\xff")) {
      failure = image_formats::decodeJpeg(data, picture);
    } else if (startsWith(data, "GIF87a") || startsWith(data, "GIF89a")) {
      failure = image_formats::decodeGif(data, picture);
    } else {
      failure = "not an image";
    }
  } catch (const std::exception& error) {  // allocation failures
    failure = std::string("image not decoded: ") + error.what();
  }
  if (failure.empty() && !isAcceptableImageSize(picture.width, picture.height)) {
    failure = image_formats::tooLarge(picture.width, picture.height);
  }
  if (!failure.empty()) return {std::nullopt, std::move(failure)};
  return {ui::Image(picture.width, picture.height, data), {}};
}

}  // namespace

namespace image_formats {

std::string tooLarge(std::uint64_t width, std::uint64_t height) {
  return "image too large: " + std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace image_formats

ImageDecoding LinuxImageDecoder::decode(const Data& data) {
  image_formats::Picture picture;
  return decodeInto(data, picture);
}

ImageDecoding LinuxImageDecoder::decodePixels(const Data& data, RgbaPixels& pixels) {
  pixels = {};
  image_formats::Picture picture{0, 0, &pixels.rgba};
  auto decoding = decodeInto(data, picture);
  if (decoding) {
    pixels.width = picture.width;
    pixels.height = picture.height;
  } else {
    pixels = {};
  }
  return decoding;
}

}  // namespace tavrino::platform
