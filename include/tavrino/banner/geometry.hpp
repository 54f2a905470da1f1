#pragma once

// The numbers that turn a banner's size parameters into a frame on screen,
// and the colour reader the banner code uses. Everything here is a pure
// function of its arguments, but for what reads the main screen: a default
// Constants and the density that makes one.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/ui/geometry.hpp"
#include "tavrino/value.hpp"

namespace tavrino {

// Fixed user-interface numbers; default_width and default_height are the
// main screen's native bounds in physical pixels.
struct TAVRINO_EXPORT Constants {
  // Reads the main screen of the installed platform.
  Constants();
  explicit Constants(ui::Size nativeBounds)
      : default_width(nativeBounds.width), default_height(nativeBounds.height) {}

  int additional_width = 20;
  int button_margin = 3;
  std::string borderColor = "fefefe";
  int closefontsize = 20;
  double default_width = 0;
  double default_height = 0;
  int margin = 18;
  int margin_notification = 10;
  int minWidth = 80;
  int progressSize = 40;
  double round_number = 80.0;
};

}  // namespace tavrino

namespace tavrino::Util {

// What an unreadable colour text gives: no colour at all.
inline constexpr ui::Color kDefaultColor{0, 0, 0, 0};

// A banner size in points.
struct Metrics {
  std::int64_t width = 0;
  std::int64_t height = 0;
  bool operator==(const Metrics&) const = default;
};

// parent / 2 - child / 2, each half truncated first.
TAVRINO_EXPORT std::int64_t centerPosition(std::int64_t parent, std::int64_t child);

// constants.default_width / width (height is not used); infinite for width 0.
TAVRINO_EXPORT double density(double width, double height, const Constants& constants);
// The same for the main screen.
TAVRINO_EXPORT double density(double width, double height);

// The decimal text of (whole part of reference x whole value) / 100; nothing
// when value is not a whole number, reference is not finite or the product
// does not fit.
TAVRINO_EXPORT std::optional<std::string> findPercentage(double reference, std::string_view value);

// The banner's aspect ratio. Without "px" in either text: image width over
// image height, 1 when either is 0. Otherwise the texts without "px" read as
// whole numbers (500 when unreadable), width over height; single precision,
// so a height of 0 gives an infinite ratio.
TAVRINO_EXPORT float findRatio(std::string_view width, std::string_view height, ui::Size image);

// Fits width x height within maxWidth x maxHeight by ratio, in single
// precision (see geometry.cpp). Nothing when ratio is zero or not finite or a
// result does not fit an integer.
TAVRINO_EXPORT std::optional<Metrics> finalMetrics(std::int64_t maxWidth, std::int64_t maxHeight,
                                                   std::int64_t width, std::int64_t height,
                                                   float ratio);

// "#RRGGBB" or "#RRGGBBAA" (any "#" and surrounding blanks ignored) to a
// colour; kDefaultColor for anything else.
TAVRINO_EXPORT ui::Color hexToUIColor(std::string_view hex);

// Removes every "px": the normalisation of font sizes, border widths, radii
// and close-button offsets.
TAVRINO_EXPORT std::string removePx(std::string_view text);

// Every step of sizing a banner, kept for the caller and for log lines.
struct BannerGeometry {
  float ratio = 1;
  std::int64_t width = 0;  // requested size, after percentages and the divisor
  std::int64_t height = 0;
  std::int64_t maxWidth = 0;  // reference size less the margins
  std::int64_t maxHeight = 0;
  Metrics metrics;  // the fitted size
  ui::Rect frame;   // the fitted size centred in the reference size
};

// The outcome of sizing: geometry, or the log line saying why the banner
// cannot be sized (then it is skipped).
struct BannerFrame {
  std::optional<BannerGeometry> geometry;
  std::string refusal;
  explicit operator bool() const { return geometry.has_value(); }
};

// Reads "w", "h", "rtn" and the four margins from params (text-value rule)
// and sizes the banner for image (its size in points; 0 x 0 when there is
// none) within reference (the size the banner is laid in). Refuses a ratio
// that is zero or not finite, a margin or percentage that is a number but not
// whole, a divisor "rtn" that is zero or not whole, and sizes out of range.
TAVRINO_EXPORT BannerFrame bannerFrame(const Value& params, ui::Size image, ui::Size reference);

}  // namespace tavrino::Util
