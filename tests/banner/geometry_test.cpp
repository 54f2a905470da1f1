#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "support/sdk_test.hpp"
#include "tavrino/banner/geometry.hpp"
#include "tavrino/platform/linux_system_info.hpp"

namespace tavrino {
namespace {

using Util::Metrics;
constexpr double kInf = std::numeric_limits<double>::infinity();

// A Constants made without arguments, and the density made with one, read
// the main screen.
class ScreenGeometryTest : public testing::SdkTest {};

TEST_F(ScreenGeometryTest, DensityReadsTheMainScreen) {
  dynamic_cast<platform::LinuxSystemInfo&>(platform::current().systemInfo())
      .setScreenNativeBounds({1242, 2688});
  const Constants constants;
  EXPECT_EQ(
      std::vector({constants.default_width, constants.default_height, Util::density(828, 844)}),
      std::vector({1242.0, 2688.0, 1.5}));
}

// Without "px" the image decides; unreadable counts as 500; every "px" goes.
TEST(GeometryTest, FindRatioTable) {
  struct Row {
    const char *width, *height;
    ui::Size image;
    float ratio;
  };
  const Row rows[] = {{"300px", "250", {}, 1.2f},     {"300", "250", {0, 0}, 1.0f},
                      {"300", "250", {600, 0}, 1.0f}, {"300", "250", {600, 400}, 1.5f},
                      {"abcpx", "100", {}, 5.0f},     {"300", "100px", {}, 3.0f},
                      {"3pxpx0", "100", {}, 0.3f},    {"99999999999999999999px", "1000", {}, 0.5f},
                      {"0px", "300", {}, 0.0f}};
  for (const auto& row : rows) {
    EXPECT_FLOAT_EQ(Util::findRatio(row.width, row.height, row.image), row.ratio)
        << row.width << " / " << row.height;
  }
  EXPECT_TRUE(std::isinf(Util::findRatio("300px", "0px", {})));
  EXPECT_TRUE(std::isnan(Util::findRatio("0px", "0px", {})));
}

TEST(GeometryTest, FinalMetricsTable) {
  struct Row {
    std::int64_t maxWidth, maxHeight, width, height;
    float ratio;
    std::optional<Metrics> expected;
  };
  const float inf = std::numeric_limits<float>::infinity();
  // In order: fits (width follows, no cap afterwards); fits, wider (height
  // follows); already in shape; width cap, height follows; height cap undoes
  // the width cap; height cap only; equal to the cap (neither branch); single
  // precision (11 / 1.1f is 10, not 9.99; 10 * 1.3f is 13, not 12.99); a
  // height of 0 makes the shape test divide by zero, still a plain result;
  // then what cannot be computed, results beyond 64 bits last.
  const Row rows[] = {{355, 600, 300, 300, 1.5f, Metrics{450, 300}},
                      {355, 600, 300, 200, 2.0f, Metrics{300, 150}},
                      {355, 600, 300, 200, 1.5f, Metrics{300, 200}},
                      {355, 600, 500, 500, 1.0f, Metrics{355, 355}},
                      {355, 400, 500, 500, 1.0f, Metrics{400, 400}},
                      {355, 400, 300, 500, 0.5f, Metrics{200, 400}},
                      {355, 600, 355, 300, 1.0f, Metrics{355, 300}},
                      {11, 100, 20, 10, 1.1f, Metrics{11, 10}},
                      {100, 10, 50, 20, 1.3f, Metrics{13, 10}},
                      {355, 600, 300, 0, 1.5f, Metrics{300, 200}},
                      {355, 600, 500, 500, 0.0f, {}},
                      {355, 600, 500, 500, inf, {}},
                      {355, 600, 500, 500, std::nanf(""), {}},
                      {1, 10, 5, 20, 1e30f, {}}};
  for (const auto& r : rows) {
    EXPECT_EQ(Util::finalMetrics(r.maxWidth, r.maxHeight, r.width, r.height, r.ratio), r.expected)
        << r.maxWidth << " " << r.maxHeight << " " << r.width << " " << r.height << " " << r.ratio;
  }
}

// The scan stops at the first other character; the length counts them all.
TEST(GeometryTest, HexColours) {
  const auto rgba = [](double r, double g, double b, double a = 255) {
    return ui::Color{r / 255, g / 255, b / 255, a / 255};
  };
  const std::pair<std::string_view, ui::Color> rows[] = {{"#FF000080", rgba(255, 0, 0, 128)},
                                                         {" \n00ff00\t ", rgba(0, 255, 0)},
                                                         {"##12#34#56", rgba(0x12, 0x34, 0x56)},
                                                         {"12345z", rgba(0x01, 0x23, 0x45)},
                                                         {"0x1234", rgba(0, 0x12, 0x34)}};
  for (const auto& [text, colour] : rows) EXPECT_EQ(Util::hexToUIColor(text), colour) << text;
  for (std::string_view bad :
       {"", "#", "abc", "#fff", "1234567", "123456789", "GG0000", "zz00ff"}) {
    EXPECT_EQ(Util::hexToUIColor(bad), Util::kDefaultColor) << bad;
  }
}

const ui::Size kPhone{375, 667};

Util::BannerGeometry sized(const Value& params, ui::Size image = {}) {
  const auto result = Util::bannerFrame(params, image, kPhone);
  EXPECT_TRUE(result) << result.refusal;
  return result.geometry.value_or(Util::BannerGeometry{});
}

std::string refusal(const Value& params, ui::Size image = {}, ui::Size reference = kPhone) {
  const auto result = Util::bannerFrame(params, image, reference);
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

// A "%" text does not read as a number for the ratio; an unreadable margin
// counts as 10; a number that is not whole as 500; no image: ratio 1.
TEST(BannerFrameTest, SizeTextsInPixelsPercentOrPlainNumbers) {
  auto g = sized({{"w", "80%"}, {"h", "100px"}});
  EXPECT_EQ(std::tuple(g.width, g.height, g.ratio), std::tuple(300, 100, 5.0f));
  g = sized({{"w", "120"}, {"h", "junk"}, {"mrgLeft", "0"}, {"mrgTop", "junk"}});
  EXPECT_EQ(std::tuple(g.width, g.height, g.maxWidth, g.maxHeight), std::tuple(120, 500, 365, 647));
  EXPECT_EQ(sized({{"w", "7.5"}, {"h", "100"}}).width, 500);
  g = sized({{"w", 200}, {"h", 100}, {"mrgLeft", "5px"}, {"mrgRight", 15}});
  EXPECT_EQ(std::pair(g.maxWidth, g.metrics), (std::pair<std::int64_t, Metrics>(355, {200, 200})));
}

TEST(BannerFrameTest, RefusesWhatCannotBeSized) {
  EXPECT_EQ(refusal({{"w", "0px"}}), "create banner ratio is zero or infinite.return.");
  EXPECT_EQ(refusal({{"mrgLeft", "7.5px"}}), "create banner margin is not a whole number.return.");
  for (const Value& rtn : {Value("0"), Value("1.5")}) {
    EXPECT_EQ(refusal({{"rtn", rtn}}, {600, 400}),
              "create banner rtn is zero or not a whole number.return.");
  }
  EXPECT_EQ(refusal({{"w", "50.5%"}, {"h", "100"}}),
            "create banner size percentage is not a whole number.return.");
  EXPECT_EQ(refusal({{"mrgLeft", "-9223372036854775807"}, {"mrgRight", "-9223372036854775807"}}),
            "create banner size out of range.return.");
  EXPECT_EQ(refusal(Value::object(), {}, {kInf, 667}), "create banner size out of range.return.");
}

}  // namespace
}  // namespace tavrino
