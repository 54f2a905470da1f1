#include <gtest/gtest.h>

#include <limits>

#include "tavrino/banner/geometry.hpp"

namespace tavrino {
namespace {

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
