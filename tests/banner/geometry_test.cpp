#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "support/sdk_test.hpp"
#include "tavrino/banner/geometry.hpp"

namespace tavrino {
namespace {

using Util::Metrics;

TEST(GeometryTest, FinalMetricsTable) {
  const float inf = std::numeric_limits<float>::infinity();
  // Fits (width follows; wider: height follows; in shape); width cap; height
  // cap undoing it; height cap only; equal to the cap; single precision (11 /
  // 1.1f is 10, 10 * 1.3f is 13); then what cannot be computed.
  const std::tuple<std::int64_t, std::int64_t, std::int64_t, std::int64_t, float,
                   std::optional<Metrics>>
      rows[] = {{355, 600, 300, 300, 1.5f, Metrics{450, 300}},
                {355, 600, 300, 200, 2.0f, Metrics{300, 150}},
                {355, 600, 300, 200, 1.5f, Metrics{300, 200}},
                {355, 600, 500, 500, 1.0f, Metrics{355, 355}},
                {355, 400, 500, 500, 1.0f, Metrics{400, 400}},
                {355, 400, 300, 500, 0.5f, Metrics{200, 400}},
                {355, 600, 355, 300, 1.0f, Metrics{355, 300}},
                {11, 100, 20, 10, 1.1f, Metrics{11, 10}},
                {100, 10, 50, 20, 1.3f, Metrics{13, 10}},
                {355, 600, 500, 500, 0.0f, {}},
                {355, 600, 500, 500, inf, {}},
                {1, 10, 5, 20, 1e30f, {}}};
  for (const auto& [maxWidth, maxHeight, width, height, ratio, expected] : rows) {
    EXPECT_EQ(Util::finalMetrics(maxWidth, maxHeight, width, height, ratio), expected)
        << maxWidth << " " << maxHeight << " " << width << " " << height << " " << ratio;
  }
}

const ui::Size kPhone{375, 667};

Util::BannerGeometry sized(const Value& params, ui::Size image = {}) {
  const auto result = Util::bannerFrame(params, image, kPhone);
  EXPECT_TRUE(result) << result.refusal;
  return result.geometry.value_or(Util::BannerGeometry{});
}

std::string refusal(const Value& params, ui::Size image = {}) {
  const auto result = Util::bannerFrame(params, image, kPhone);
  EXPECT_FALSE(result);
  return result.refusal;
}

// The image size is divided by "rtn" only without explicit sizes: a "w"
// entry, even blank, means the campaign sized it, and a divisor that could
// not be used is then no reason to refuse.
TEST(BannerFrameTest, DefaultsAndImageSizeDividedByRtnOnlyWithoutExplicitSizes) {
  // A 500 square fitted and centred: 187.5 - 177.5, 333.5 - 177.5.
  EXPECT_EQ(sized(Value::object()).frame, ui::Rect::make(10, 156, 355, 355));
  auto g = sized({{"rtn", "2"}}, {600, 400});
  EXPECT_EQ(std::pair(g.ratio, g.frame), std::pair(1.5f, ui::Rect::make(37, 233, 300, 200)));
  g = sized({{"w", " "}, {"rtn", "0"}}, {300, 200});
  EXPECT_EQ(std::pair(g.width, g.height), (std::pair<std::int64_t, std::int64_t>(300, 200)));
}

TEST(BannerFrameTest, RefusesWhatCannotBeSized) {
  EXPECT_EQ(refusal({{"w", "0px"}}), "create banner ratio is zero or infinite.return.");
  EXPECT_EQ(refusal({{"mrgLeft", "7.5px"}}), "create banner margin is not a whole number.return.");
  EXPECT_EQ(refusal({{"rtn", "1.5"}}, {600, 400}),
            "create banner rtn is zero or not a whole number.return.");
  EXPECT_EQ(refusal({{"w", "50.5%"}, {"h", "100"}}),
            "create banner size percentage is not a whole number.return.");
  EXPECT_EQ(refusal({{"mrgLeft", "-9223372036854775807"}, {"mrgRight", "-9223372036854775807"}}),
            "create banner size out of range.return.");
}

}  // namespace
}  // namespace tavrino
