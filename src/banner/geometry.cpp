#include "tavrino/banner/geometry.hpp"

#include "banner/float_conversion.hpp"
#include "tavrino/platform/platform.hpp"

namespace tavrino {

Constants::Constants() : Constants(platform::current().screen().nativeBounds().size) {}

}  // namespace tavrino

namespace tavrino::Util {
namespace {

using banner_detail::divide;
using banner_detail::truncateToInt;

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::int64_t wholeOr500(std::string_view text) {
  std::int64_t value = 0;
  return parseInteger(text, &value) ? value : 500;
}

}  // namespace

std::int64_t centerPosition(std::int64_t parent, std::int64_t child) {
  return parent / 2 - child / 2;
}

double density(double width, double /*height*/, const Constants& constants) {
  return constants.default_width / width;
}

double density(double width, double height) {
  return density(width, height, Constants());
}

std::optional<std::string> findPercentage(double reference, std::string_view value) {
  std::int64_t percent = 0;
  if (!parseInteger(value, &percent)) return std::nullopt;
  const auto whole = truncateToInt(reference);
  std::int64_t product = 0;
  if (!whole || __builtin_mul_overflow(*whole, percent, &product)) return std::nullopt;
  return std::to_string(product / 100);
}

float findRatio(std::string_view width, std::string_view height, ui::Size image) {
  if (!contains(width, "px") && !contains(height, "px")) {
    if (image.width == 0 || image.height == 0) return 1.0f;
    return static_cast<float>(image.width / image.height);
  }
  return divide(static_cast<float>(wholeOr500(removePx(width))),
                static_cast<float>(wholeOr500(removePx(height))));
}

// When the requested size fits, only its shape is corrected to the ratio;
// otherwise the width cap and then the height cap apply, each testing the
// requested size (so the height cap may undo the width cap).
std::optional<Metrics> finalMetrics(std::int64_t maxWidth, std::int64_t maxHeight,
                                    std::int64_t width, std::int64_t height, float ratio) {
  if (ratio == 0 || !std::isfinite(ratio)) return std::nullopt;
  std::optional<std::int64_t> w = width;
  std::optional<std::int64_t> h = height;
  const auto fw = static_cast<float>(width);
  const auto fh = static_cast<float>(height);
  if (width < maxWidth && height < maxHeight) {
    if (divide(fw, fh) != ratio) {
      if (height >= width) {
        w = truncateToInt(fh * ratio);
      } else {
        h = truncateToInt(fw / ratio);
      }
    }
  } else {
    if (width > maxWidth) {
      w = maxWidth;
      h = truncateToInt(static_cast<float>(maxWidth) / ratio);
    }
    if (height > maxHeight) {
      w = truncateToInt(static_cast<float>(maxHeight) * ratio);
      h = maxHeight;
    }
  }
  if (!w || !h) return std::nullopt;
  return Metrics{*w, *h};
}

std::string removePx(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i, 2) == "px") {
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace tavrino::Util
