#pragma once

// Plain geometry and colour values of the user-interface layer, in points.

namespace tavrino::ui {

struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  double width = 0;
  double height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  Point origin;
  Size size;

  static constexpr Rect make(double x, double y, double width, double height) {
    return Rect{{x, y}, {width, height}};
  }
  double width() const { return size.width; }
  double height() const { return size.height; }
  bool operator==(const Rect&) const = default;
};

// Components from 0 to 1.
struct Color {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;

  // A grey of the given brightness.
  static constexpr Color white(double white, double alpha) { return {white, white, white, alpha}; }
  static constexpr Color clear() { return {0, 0, 0, 0}; }
  bool operator==(const Color&) const = default;
};

}  // namespace tavrino::ui
