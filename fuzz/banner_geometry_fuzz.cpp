// Banner geometry over arbitrary size parameters, image and screen sizes.
//
// Input: 16 bytes read as four single-precision numbers (image width and
// height, reference width and height; any bit pattern, so infinities and
// NaNs too), then the parameter map as JSON.
//
// Invariants: no trap (division by zero, overflow, out-of-range conversion:
// the sanitizers stop those), a sized banner has a finite non-zero ratio and
// a finite frame of the fitted size, a refused one says why, and colours
// read from any text stay within [0, 1].

#include <algorithm>
#include <cmath>
#include <cstring>

#include "fuzz_support.hpp"
#include "tavrino/banner/geometry.hpp"

using namespace tavrino;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::install();
  std::uint8_t head[16] = {};
  const std::size_t skip = std::min<std::size_t>(size, sizeof head);
  std::copy_n(data, skip, head);
  float sides[4];
  std::memcpy(sides, head, sizeof sides);
  std::int64_t whole[2];
  std::memcpy(whole, head, sizeof whole);
  const Value params = fuzz::jsonObject(data + skip, size - skip);
  const ui::Size image{sides[0], sides[1]};
  const ui::Size reference{sides[2], sides[3]};

  const Util::BannerFrame result = Util::bannerFrame(params, image, reference);
  require(result.refusal.empty() == static_cast<bool>(result), "sized and refused, or no reason");
  if (result) {
    const auto& g = *result.geometry;
    const ui::Rect& f = g.frame;
    require(g.ratio != 0 && std::isfinite(g.ratio), "sized with a zero or infinite ratio");
    require(std::isfinite(f.origin.x) && std::isfinite(f.origin.y) && std::isfinite(f.size.width) &&
                std::isfinite(f.size.height),
            "frame not finite");
    require(f.size.width == static_cast<double>(g.metrics.width) &&
                f.size.height == static_cast<double>(g.metrics.height),
            "frame is not the fitted size");
  }

  // The pieces on their own, with every number the input spells.
  for (const char* key : {"w", "h", "rtn", "mrgLeft", "bgc", "bc"}) {
    const std::string text = Util::tryCatch(params, key, "");
    Util::findRatio(text, Util::tryCatch(params, "h", ""), image);
    Util::findPercentage(reference.width, text);
    Util::removePx(text);
    const ui::Color c = Util::hexToUIColor(text);
    for (const double v : {c.red, c.green, c.blue, c.alpha}) {
      require(v >= 0 && v <= 1, "colour out of range from " + text);
    }
  }
  Util::finalMetrics(whole[0], whole[1], whole[1], whole[0], sides[0]);
  Util::centerPosition(whole[0], whole[1]);
  Util::density(sides[0], sides[1], Constants(reference));
  return 0;
}
