#include <array>

#include "banner/float_conversion.hpp"
#include "tavrino/banner/geometry.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino::Util {
namespace {

using banner_detail::truncateToInt;

constexpr std::string_view kRatioRefused = "create banner ratio is zero or infinite.return.";
constexpr std::string_view kMarginRefused = "create banner margin is not a whole number.return.";
constexpr std::string_view kDivisorRefused =
    "create banner rtn is zero or not a whole number.return.";
constexpr std::string_view kPercentageRefused =
    "create banner size percentage is not a whole number.return.";
constexpr std::string_view kRangeRefused = "create banner size out of range.return.";

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool isDecimal(std::string_view text) {
  double ignored = 0;
  return parseNumber(text, &ignored);
}

std::string without(std::string_view text, char removed) {
  std::string out;
  for (char c : text) {
    if (c != removed) out.push_back(c);
  }
  return out;
}

// A size text: "px" stripped, "%" taken of the reference, any other text
// that is no number read as 500. Nothing when a percentage is not whole.
std::optional<std::int64_t> sizeValue(std::string_view text, double reference) {
  std::string normal;
  if (contains(text, "px")) {
    normal = removePx(text);
  } else if (contains(text, "%")) {
    auto percentage = findPercentage(reference, without(text, '%'));
    if (!percentage) return std::nullopt;
    normal = std::move(*percentage);
  } else {
    normal = std::string(text);
  }
  std::int64_t value = 0;
  return parseInteger(normal, &value) ? value : 500;
}

std::optional<std::int64_t> marginValue(const Value& params, std::string_view key) {
  std::string text = tryCatch(params, key, "10px");
  if (contains(text, "px")) {
    text = removePx(text);
  } else if (!isDecimal(text)) {
    text = "10";
  }
  std::int64_t value = 0;
  if (!parseInteger(text, &value)) return std::nullopt;
  return value;
}

std::string defaultSize(double side, ui::Size image) {
  if (image.width == 0 || image.height == 0) return "500px";
  const auto whole = truncateToInt(side);
  return whole ? std::to_string(*whole) : "500px";
}

BannerFrame refuse(std::string_view line) {
  return BannerFrame{std::nullopt, std::string(line)};
}

}  // namespace

BannerFrame bannerFrame(const Value& params, ui::Size image, ui::Size reference) {
  BannerGeometry g;
  const std::string width_text = tryCatch(params, "w", defaultSize(image.width, image));
  const std::string height_text = tryCatch(params, "h", defaultSize(image.height, image));
  g.ratio = findRatio(width_text, height_text, image);
  if (g.ratio == 0 || !std::isfinite(g.ratio)) return refuse(kRatioRefused);

  const auto reference_width = truncateToInt(reference.width);
  const auto reference_height = truncateToInt(reference.height);
  if (!reference_width || !reference_height) return refuse(kRangeRefused);

  const auto width = sizeValue(width_text, reference.width);
  const auto height = sizeValue(height_text, reference.height);
  if (!width || !height) return refuse(kPercentageRefused);
  g.width = *width;
  g.height = *height;

  // The divisor scales an image's pixel size to points; sizes the campaign
  // gave are already in points.
  const bool sized_by_image =
      !params.is_object() || (!params.contains("w") && !params.contains("h"));
  const std::string rtn_text = tryCatch(params, "rtn", "1");
  if (sized_by_image && !rtn_text.empty()) {
    std::int64_t rtn = 0;
    if (!parseInteger(rtn_text, &rtn) || rtn == 0) return refuse(kDivisorRefused);
    if (rtn == -1) {
      if (g.width == INT64_MIN || g.height == INT64_MIN) return refuse(kRangeRefused);
    }
    g.width /= rtn;
    g.height /= rtn;
  }

  std::array<std::int64_t, 4> margins{};
  constexpr std::array<std::string_view, 4> kMarginKeys{"mrgLeft", "mrgRight", "mrgTop",
                                                        "mrgBottom"};
  for (std::size_t i = 0; i < margins.size(); ++i) {
    const auto margin = marginValue(params, kMarginKeys[i]);
    if (!margin) return refuse(kMarginRefused);
    margins[i] = *margin;
  }
  if (__builtin_sub_overflow(*reference_width, margins[0], &g.maxWidth) ||
      __builtin_sub_overflow(g.maxWidth, margins[1], &g.maxWidth) ||
      __builtin_sub_overflow(*reference_height, margins[2], &g.maxHeight) ||
      __builtin_sub_overflow(g.maxHeight, margins[3], &g.maxHeight)) {
    return refuse(kRangeRefused);
  }

  const auto metrics = finalMetrics(g.maxWidth, g.maxHeight, g.width, g.height, g.ratio);
  if (!metrics) return refuse(kRangeRefused);
  g.metrics = *metrics;
  const auto x = truncateToInt(reference.width * 0.5 - static_cast<double>(metrics->width) * 0.5);
  const auto y = truncateToInt(reference.height * 0.5 - static_cast<double>(metrics->height) * 0.5);
  if (!x || !y) return refuse(kRangeRefused);
  g.frame =
      ui::Rect::make(static_cast<double>(*x), static_cast<double>(*y),
                     static_cast<double>(metrics->width), static_cast<double>(metrics->height));
  return BannerFrame{g, {}};
}

}  // namespace tavrino::Util
