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
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_platform.hpp"
#include "tavrino/banner/geometry.hpp"
#include "tavrino/util/json_helpers.hpp"

using namespace tavrino;

namespace {

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "banner geometry invariant broken: %s\n", what.c_str());
  std::abort();
}

bool finite(const ui::Rect& r) {
  return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
         std::isfinite(r.size.height);
}

bool unit(double v) {
  return v >= 0 && v <= 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::installQuietPlatform();
  std::uint8_t head[16] = {};
  if (size > 0) std::memcpy(head, data, std::min<std::size_t>(size, sizeof head));
  float sides[4];
  std::memcpy(sides, head, sizeof sides);
  std::int64_t whole[2];
  std::memcpy(whole, head, sizeof whole);
  const std::size_t skip = std::min<std::size_t>(size, sizeof head);
  const Value params = Util::parseJSONObject(Data(data + skip, data + size));
  const ui::Size image{sides[0], sides[1]};
  const ui::Size reference{sides[2], sides[3]};

  const Util::BannerFrame result = Util::bannerFrame(params, image, reference);
  if (result) {
    const auto& g = *result.geometry;
    if (g.ratio == 0 || !std::isfinite(g.ratio))
      fail("sized with ratio " + std::to_string(g.ratio));
    if (!finite(g.frame)) fail("frame not finite");
    if (g.frame.size.width != static_cast<double>(g.metrics.width) ||
        g.frame.size.height != static_cast<double>(g.metrics.height)) {
      fail("frame is not the fitted size");
    }
    if (!result.refusal.empty()) fail("sized and refused");
  } else if (result.refusal.empty()) {
    fail("refused without a reason");
  }

  // The pieces on their own, with every number the input spells.
  for (const char* key : {"w", "h", "rtn", "mrgLeft", "bgc", "bc"}) {
    const std::string text = Util::tryCatch(params, key, "");
    Util::findRatio(text, Util::tryCatch(params, "h", ""), image);
    Util::findPercentage(reference.width, text);
    Util::removePx(text);
    const ui::Color color = Util::hexToUIColor(text);
    if (!unit(color.red) || !unit(color.green) || !unit(color.blue) || !unit(color.alpha)) {
      fail("colour out of range from " + text);
    }
  }
  Util::finalMetrics(whole[0], whole[1], whole[1], whole[0], sides[0]);
  Util::centerPosition(whole[0], whole[1]);
  Util::density(sides[0], sides[1], Constants(reference));
  return 0;
}
