// The keyboard, rotation and repeat rules, the badge-definition store and
// finding host views by identifier.

#include <gtest/gtest.h>

#include <chrono>

#include "banner/controller_test.hpp"
#include "tavrino/client.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/view_lookup.hpp"

namespace tavrino::testing {
namespace {

using namespace std::chrono_literals;
using platform::DeviceOrientation;

class ControllerRulesTest : public ControllerTest {
 protected:
  void keyboardAt(std::optional<double> top) {
    platform::Notification notification{std::string(platform::keyboardWillChangeFrameNotification),
                                        {}};
    if (top) {
      notification.userInfo.emplace(std::string(platform::keyboardFrameEndUserInfoKey),
                                    ui::Rect::make(0, *top, 390, 844 - *top));
    }
    platform::current().notificationCenter().post(std::move(notification));
    dispatch().runUntilIdle();
  }
  // Turns the device and lets the main loop run for the time given.
  void turn(DeviceOrientation orientation, std::chrono::milliseconds run = 1s) {
    screen().setDeviceOrientation(orientation);
    dispatch().runFor(run);
  }
};

TEST_F(ControllerRulesTest, HtmlStripWithoutOutsideTapSitsOnTheKeyboard) {
  auto follows = show({{"bc", "nt"}, {"coc", "0"}, {"h", "120px"}, {"w", "300px"}}, "nhbs");
  auto stays = show({{"bc", "nt"}, {"coc", "1"}, {"h", "120px"}, {"w", "300px"}}, "nhbs");
  auto native = show({{"bc", "nt"}, {"coc", "0"}, {"cap", "x"}}, "bs");
  const auto frames = [&] {
    return std::vector{follows->view()->frame(), stays->view()->frame(), native->view()->frame()};
  };
  auto before = frames();
  ASSERT_TRUE(follows->webView);
  keyboardAt(std::nullopt);
  before[0] = ui::Rect::make(0, 724, 390, 120);  // no keyboard frame
  EXPECT_EQ(frames(), before);
  keyboardAt(500);
  before[0].origin.y = 380;
  EXPECT_EQ(frames(), before);
  keyboardAt(844);
  EXPECT_EQ(follows->view()->frame().origin.y, 724);
}

TEST_F(ControllerRulesTest, RotationTakesAnOpenBannerAwayAfter150Milliseconds) {
  processState().withConfig([&](SharedConfiguration& c) { c.orientationFlag = "0"; });
  auto off = show({{"cap", "x"}}, "lbcs");
  turn(DeviceOrientation::landscapeRight);
  EXPECT_TRUE(attached(*off));
  turn(DeviceOrientation::portrait);

  processState().withConfig([&](SharedConfiguration& c) { c.orientationFlag = "1"; });
  auto banner = show({{"cap", "x"}}, "lbcs");
  const auto shown = banner->view();
  // Upside down is no decision; turned and back before the step runs is none.
  turn(DeviceOrientation::portraitUpsideDown);
  screen().setDeviceOrientation(DeviceOrientation::landscapeLeft);
  turn(DeviceOrientation::portrait);
  EXPECT_TRUE(attached(*banner));
  EXPECT_EQ(banner->orientation, 1);

  turn(DeviceOrientation::landscapeLeft, 149ms);
  EXPECT_TRUE(attached(*banner));
  dispatch().runFor(1ms);
  EXPECT_EQ(shown->superview(), nullptr);
  EXPECT_NE(banner->view(), shown);
  EXPECT_EQ(banner->view()->superview(), nullptr);
  EXPECT_EQ(std::pair(banner->orientation, banner->closecounter), std::pair(3, std::int64_t{0}));

  // A closed banner remembers the turn but keeps its view.
  auto closed = show({{"cap", "x"}}, "lbcs");
  const auto closedView = closed->view();
  closed->targetCoc();
  turn(DeviceOrientation::portrait);
  EXPECT_EQ(std::pair(closed->orientation, closed->closecounter), std::pair(1, std::int64_t{1}));
  EXPECT_EQ(closed->view(), closedView);
}

TEST_F(ControllerRulesTest, CustomEventBannersRepeatUpToMaxrepeat) {
  auto params = Value::parse(R"({"shEvn": "CUSTOMEVENT", "evn": "a.b.c",
      "run": {"maxrepeat": 2, "repeatevent": "1"}, "cap": "x"})");
  // The count each show leaves, from the count stored before it (none: "").
  const auto shows = [&](const std::vector<std::string>& before) {
    std::vector<std::string> after;
    for (const auto& stored : before) {
      if (!stored.empty()) Util::setCookieToQIVDefaults("_cir", stored);
      show(params, "lbcs");
      after.push_back(Util::getCookieToQIVDefaults("_cir", "none"));
    }
    return after;
  };
  // The series starts again after its last.
  EXPECT_EQ(shows({"", "", "", ""}), (std::vector<std::string>{"1", "2", "none", "1"}));
  EXPECT_TRUE(log().contains("repeat custom event : c. Repeat count : 1. max repeat count : 2"));

  // A maximum that is no whole number counts as 50; a stored count that is
  // no number starts over; a huge one ends.
  params["evn"] = "cart";
  params["run"]["maxrepeat"] = "2.5";
  EXPECT_EQ(shows({"49", "", "lots"}), (std::vector<std::string>{"50", "none", "1"}));
  EXPECT_TRUE(
      log().contains("repeat custom event : cart. Repeat count : 50. max repeat count : 50"));
  params["run"]["maxrepeat"] = "9223372036854775807";
  EXPECT_EQ(shows({"9223372036854775807"}), std::vector<std::string>{"none"});

  // Not asked to repeat, or not a custom-event banner.
  params["run"] = Value{{"maxrepeat", "5"}, {"repeatevent", "0"}};
  EXPECT_EQ(shows({"1"}), std::vector<std::string>{"none"});
  params["shEvn"] = "PAGEVIEW";
  params["run"]["repeatevent"] = "1";
  EXPECT_EQ(shows({"1"}), std::vector<std::string>{"1"});
}

TEST_F(ControllerRulesTest, CleaningUpCustomActionsForgetsBadgeDefinitions) {
  show({{"zbid", "1"}, {"bc", "badge"}}, "bdgdt");
  ASSERT_EQ(banner::BadgeDefinitions::shared().size(), 1u);
  Tavrino("https://127.0.0.1:9/", "1", "0").clearCustomActions();
  EXPECT_EQ(banner::BadgeDefinitions::shared().size(), 0u);
}

TEST_F(ControllerRulesTest, ViewsAreFoundDepthFirstBelowTheRoot) {
  auto root = ui::View::make(), a = ui::View::make(), deep = ui::View::make(),
       later = ui::View::make();
  for (const auto& named : {root, deep, later}) named->setRestorationIdentifier("x");
  a->addSubview(deep);
  root->addSubview(a);
  root->addSubview(later);

  EXPECT_EQ(Util::returnViewByIdentifier(root, "x"), deep);
  EXPECT_FALSE(Util::hasSubViewWithIdentifier(deep, "x")) << "the root itself is not below it";
  EXPECT_FALSE(Util::hasSubViewWithIdentifier(root, "")) << "views without one are not named";
  EXPECT_FALSE(Util::hasSubViewWithIdentifier(nullptr, "x"));
  const auto none = Util::returnViewByIdentifier(root, "y");
  ASSERT_TRUE(none);
  EXPECT_EQ(none->superview(), nullptr);
}

}  // namespace
}  // namespace tavrino::testing
