#include "tavrino/ui/image.hpp"

#include <cmath>
#include <utility>

namespace tavrino::ui {
namespace {

double dimension(double value) {
  return std::isfinite(value) && value > 0 ? value : 0;
}

const Data& noBytes() {
  static const Data none;
  return none;
}

}  // namespace

Image::Image(double width, double height, Data bytes)
    : width_(dimension(width)),
      height_(dimension(height)),
      bytes_(std::make_shared<const Data>(std::move(bytes))) {}

const Data& Image::data() const {
  return bytes_ ? *bytes_ : noBytes();
}

bool Image::operator==(const Image& other) const {
  if (width_ != other.width_ || height_ != other.height_) return false;
  return bytes_ == other.bytes_ || data() == other.data();
}

}  // namespace tavrino::ui
