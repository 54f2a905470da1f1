#pragma once

// An image: its size in points and the bytes it came from. Copies share the
// bytes.
//
// Thread-safety: a const Image may be read from any thread.

#include <memory>

#include "tavrino/export.hpp"
#include "tavrino/ui/geometry.hpp"
#include "tavrino/value.hpp"

namespace tavrino::ui {

class TAVRINO_EXPORT Image {
 public:
  // The empty image: no size, no bytes.
  Image() = default;
  // Negative or non-finite dimensions count as 0.
  Image(double width, double height, Data bytes);

  static Image empty() { return Image(); }

  double width() const { return width_; }
  double height() const { return height_; }
  Size size() const { return {width_, height_}; }
  const Data& data() const;
  // True when either dimension is 0.
  bool isEmpty() const { return width_ == 0 || height_ == 0; }

  bool operator==(const Image& other) const;

 private:
  double width_ = 0;
  double height_ = 0;
  std::shared_ptr<const Data> bytes_;
};

}  // namespace tavrino::ui
