#include "tavrino/platform/image_decoder.hpp"

namespace tavrino::platform {

ImageDecoder::~ImageDecoder() = default;

}  // namespace tavrino::platform
