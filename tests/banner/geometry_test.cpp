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

TEST(GeometryTest, CentreDensityAndPx) {
  EXPECT_EQ(Util::centerPosition(5, 3), 1);    // each half truncated
  EXPECT_EQ(Util::centerPosition(-5, 3), -3);  // toward zero, not down
  const Constants constants(ui::Size{750, 1334});
  EXPECT_DOUBLE_EQ(Util::density(375, 0, constants), 2.0);
  EXPECT_TRUE(std::isinf(Util::density(0, 667, constants)));
  EXPECT_EQ(Util::removePx("ppxx"), "px");  // every occurrence, once
  EXPECT_EQ(Util::removePx("1px2px"), "12");
}

// A Constants made without arguments, and the density made with one, read
// the main screen.
class ScreenGeometryTest : public testing::SdkTest {};

TEST_F(ScreenGeometryTest, DensityReadsTheMainScreen) {
  struct Row {
    platform::ScreenSize screen;
    double width, density;
  };
  const Row rows[] = {{{1170, 2532}, 390, 3.0}, {{750, 1334}, 375, 2.0}, {{1242, 2688}, 828, 1.5}};
  auto& info = dynamic_cast<platform::LinuxSystemInfo&>(platform::current().systemInfo());
  for (const auto& row : rows) {
    info.setScreenNativeBounds(row.screen);
    const Constants constants;
    EXPECT_EQ(std::vector({constants.default_width, constants.default_height,
                           Util::density(row.width, 844)}),
              std::vector({row.screen.width, row.screen.height, row.density}));
  }
}

TEST(GeometryTest, FindPercentageTakesWholeParts) {
  EXPECT_EQ(Util::findPercentage(375, "33"), "123");  // 123.75 truncated
  EXPECT_EQ(Util::findPercentage(375, "-33"), "-123");
  for (std::string_view bad : {"", "50.5", "abc", " 50"}) {
    EXPECT_EQ(Util::findPercentage(375, bad), std::nullopt) << bad;
  }
  EXPECT_EQ(Util::findPercentage(std::numeric_limits<double>::infinity(), "80"), std::nullopt);
  EXPECT_EQ(Util::findPercentage(1e18, "100"), std::nullopt);  // product overflows
}

TEST(GeometryTest, FindRatioTable) {
  struct Row {
    const char* width;
    const char* height;
    ui::Size image;
    float ratio;
  };
  const Row rows[] = {
      {"300px", "250", {}, 1.2f},
      {"300", "250", {0, 0}, 1.0f},
      {"300", "250", {600, 0}, 1.0f},
      {"300", "250", {600, 400}, 1.5f},  // no "px": the image decides
      {"abcpx", "100", {}, 5.0f},        // unreadable counts as 500
      {"300", "100px", {}, 3.0f},
      {"3pxpx0", "100", {}, 0.3f},  // every "px" goes
      {"99999999999999999999px", "1000", {}, 0.5f},
      {"0px", "300", {}, 0.0f},
  };
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
    Metrics expected;
  };
  const Row rows[] = {
      {355, 600, 300, 300, 1.5f, {450, 300}},  // fits: width follows, no cap afterwards
      {355, 600, 300, 200, 2.0f, {300, 150}},  // fits, wider: height follows
      {355, 600, 300, 200, 1.5f, {300, 200}},  // already in shape
      {355, 600, 500, 500, 1.0f, {355, 355}},  // width cap, height follows
      {355, 400, 500, 500, 1.0f, {400, 400}},  // height cap undoes the width cap
      {355, 400, 300, 500, 0.5f, {200, 400}},  // height cap only
      {355, 600, 355, 300, 1.0f, {355, 300}},  // equal to the cap: neither branch
      {11, 100, 20, 10, 1.1f, {11, 10}},       // single precision: 11 / 1.1f is 10, not 9.99
      {100, 10, 50, 20, 1.3f, {13, 10}},       // single precision: 10 * 1.3f is 13, not 12.99
  };
  for (const auto& r : rows) {
    EXPECT_EQ(Util::finalMetrics(r.maxWidth, r.maxHeight, r.width, r.height, r.ratio), r.expected)
        << r.maxWidth << " " << r.maxHeight << " " << r.width << " " << r.height << " " << r.ratio;
  }
}

TEST(GeometryTest, FinalMetricsRefusesWhatCannotBeComputed) {
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(Util::finalMetrics(355, 600, 500, 500, 0.0f), std::nullopt);
  EXPECT_EQ(Util::finalMetrics(355, 600, 500, 500, inf), std::nullopt);
  EXPECT_EQ(Util::finalMetrics(355, 600, 500, 500, std::nanf("")), std::nullopt);
  // A height of 0 makes the shape test divide by zero: still a plain result.
  EXPECT_EQ(Util::finalMetrics(355, 600, 300, 0, 1.5f), (Metrics{300, 200}));
  // Results beyond 64 bits.
  EXPECT_EQ(Util::finalMetrics(1, 10, 5, 20, 1e30f), std::nullopt);
}

TEST(GeometryTest, HexColours) {
  const ui::Color red_half{1.0, 0, 0, 128 / 255.0};
  EXPECT_EQ(Util::hexToUIColor("#FF000080"), red_half);
  EXPECT_EQ(Util::hexToUIColor(" \n00ff00\t "), (ui::Color{0, 1.0, 0, 1.0}));
  EXPECT_EQ(Util::hexToUIColor("##12#34#56"),
            (ui::Color{0x12 / 255.0, 0x34 / 255.0, 0x56 / 255.0, 1}));
  // The scan stops at the first other character; the length counts them all.
  EXPECT_EQ(Util::hexToUIColor("12345z"), (ui::Color{0x01 / 255.0, 0x23 / 255.0, 0x45 / 255.0, 1}));
  EXPECT_EQ(Util::hexToUIColor("0x1234"), (ui::Color{0, 0x12 / 255.0, 0x34 / 255.0, 1}));
  for (std::string_view bad :
       {"", "#", "abc", "#fff", "1234567", "123456789", "GG0000", "zz00ff"}) {
    EXPECT_EQ(Util::hexToUIColor(bad), Util::kDefaultColor) << bad;
  }
}

const ui::Size kPhone{375, 667};

Util::BannerGeometry sized(const Value& params, ui::Size image = {}, ui::Size reference = kPhone) {
  const auto result = Util::bannerFrame(params, image, reference);
  EXPECT_TRUE(result) << result.refusal;
  return result.geometry.value_or(Util::BannerGeometry{});
}

std::string refusal(const Value& params, ui::Size image = {}, ui::Size reference = kPhone) {
  const auto result = Util::bannerFrame(params, image, reference);
  EXPECT_FALSE(result);
  return result.refusal;
}

TEST(BannerFrameTest, DefaultsAndImageSizeDividedByRtnOnlyWithoutExplicitSizes) {
  auto g = sized(Value::object());                        // a 500 square fitted and centred
  EXPECT_EQ(g.frame, ui::Rect::make(10, 156, 355, 355));  // 187.5 - 177.5, 333.5 - 177.5

  g = sized({{"rtn", "2"}}, {600, 400});
  EXPECT_FLOAT_EQ(g.ratio, 1.5f);
  EXPECT_EQ(g.frame, ui::Rect::make(37, 233, 300, 200));

  // A "w" entry, even blank, means the campaign sized it: no divisor, and a
  // divisor that could not be used is no reason to refuse.
  g = sized({{"w", " "}, {"rtn", "0"}}, {300, 200});
  EXPECT_EQ(g.width, 300);
  EXPECT_EQ(g.height, 200);
}

TEST(BannerFrameTest, SizeTextsInPixelsPercentOrPlainNumbers) {
  auto g = sized({{"w", "80%"}, {"h", "100px"}});
  EXPECT_EQ(g.width, 300);
  EXPECT_EQ(g.height, 100);
  EXPECT_FLOAT_EQ(g.ratio, 5.0f);  // the "%" text does not read as a number
  g = sized({{"w", "120"}, {"h", "junk"}, {"mrgLeft", "0"}, {"mrgTop", "junk"}});
  EXPECT_EQ(g.width, 120);
  EXPECT_EQ(g.height, 500);
  EXPECT_EQ(g.maxWidth, 365);
  EXPECT_EQ(g.maxHeight, 647);                                // an unreadable margin counts as 10
  EXPECT_EQ(sized({{"w", "7.5"}, {"h", "100"}}).width, 500);  // a number but not whole: 500
  g = sized({{"w", 200}, {"h", 100}, {"mrgLeft", "5px"}, {"mrgRight", 15}});
  EXPECT_EQ(g.maxWidth, 355);
  EXPECT_EQ(g.metrics, (Util::Metrics{200, 200}));  // no image: ratio 1
}

TEST(BannerFrameTest, RefusesWhatCannotBeSized) {
  EXPECT_EQ(refusal({{"w", "0px"}}), "create banner ratio is zero or infinite.return.");
  EXPECT_EQ(refusal({{"mrgLeft", "7.5px"}}), "create banner margin is not a whole number.return.");
  EXPECT_EQ(refusal({{"rtn", "0"}}, {600, 400}),
            "create banner rtn is zero or not a whole number.return.");
  EXPECT_EQ(refusal({{"rtn", "1.5"}}), "create banner rtn is zero or not a whole number.return.");
  EXPECT_EQ(refusal({{"w", "50.5%"}, {"h", "100"}}),
            "create banner size percentage is not a whole number.return.");
  EXPECT_EQ(refusal({{"mrgLeft", "-9223372036854775807"}, {"mrgRight", "-9223372036854775807"}}),
            "create banner size out of range.return.");
  EXPECT_EQ(refusal(Value::object(), {}, {std::numeric_limits<double>::infinity(), 667}),
            "create banner size out of range.return.");
}

}  // namespace
}  // namespace tavrino
