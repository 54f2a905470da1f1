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

  void enableOrientation(const char* flag) {
    processState().withConfig([&](SharedConfiguration& c) { c.orientationFlag = flag; });
  }
};

TEST_F(ControllerRulesTest, HtmlStripWithoutOutsideTapSitsOnTheKeyboard) {
  auto follows = show({{"bc", "nt"}, {"coc", "0"}, {"h", "120px"}, {"w", "300px"}}, "nhbs");
  auto stays = show({{"bc", "nt"}, {"coc", "1"}, {"h", "120px"}, {"w", "300px"}}, "nhbs");
  auto native = show({{"bc", "nt"}, {"coc", "0"}, {"cap", "x"}}, "bs");
  const ui::Rect staysAt = stays->view()->frame();
  const ui::Rect nativeAt = native->view()->frame();

  keyboardAt(std::nullopt);
  ASSERT_TRUE(follows->webView);
  EXPECT_EQ(follows->view()->frame(), ui::Rect::make(0, 724, 390, 120)) << "no keyboard frame";

  keyboardAt(500);
  EXPECT_EQ(follows->view()->frame(), ui::Rect::make(0, 380, 390, 120));
  EXPECT_EQ(stays->view()->frame(), staysAt);
  EXPECT_EQ(native->view()->frame(), nativeAt);

  keyboardAt(844);
  EXPECT_EQ(follows->view()->frame().origin.y, 724);
}

TEST_F(ControllerRulesTest, RotationTakesAnOpenBannerAwayAfter150Milliseconds) {
  enableOrientation("0");
  auto off = show({{"cap", "x"}}, "lbcs");
  screen().setDeviceOrientation(DeviceOrientation::landscapeRight);
  dispatch().runFor(1s);
  EXPECT_TRUE(attached(*off));
  screen().setDeviceOrientation(DeviceOrientation::portrait);
  dispatch().runFor(1s);

  enableOrientation("1");
  auto banner = show({{"cap", "x"}}, "lbcs");
  const auto shown = banner->view();
  // Upside down is no decision; turned and back before the step runs is none.
  screen().setDeviceOrientation(DeviceOrientation::portraitUpsideDown);
  dispatch().runFor(1s);
  screen().setDeviceOrientation(DeviceOrientation::landscapeLeft);
  screen().setDeviceOrientation(DeviceOrientation::portrait);
  dispatch().runFor(1s);
  EXPECT_TRUE(attached(*banner));
  EXPECT_EQ(banner->orientation, 1);

  screen().setDeviceOrientation(DeviceOrientation::landscapeLeft);
  dispatch().runFor(149ms);
  EXPECT_TRUE(attached(*banner));
  dispatch().runFor(1ms);
  EXPECT_EQ(shown->superview(), nullptr);
  EXPECT_NE(banner->view(), shown);
  EXPECT_EQ(banner->view()->superview(), nullptr);
  EXPECT_EQ(banner->orientation, 3);
  EXPECT_EQ(banner->closecounter, 0);

  // A closed banner remembers the turn but keeps its view.
  auto closed = show({{"cap", "x"}}, "lbcs");
  const auto closedView = closed->view();
  closed->targetCoc();
  screen().setDeviceOrientation(DeviceOrientation::portrait);
  dispatch().runFor(1s);
  EXPECT_EQ(closed->orientation, 1);
  EXPECT_EQ(closed->view(), closedView);
  EXPECT_EQ(closed->closecounter, 1);
}

TEST_F(ControllerRulesTest, CustomEventBannersRepeatUpToMaxrepeat) {
  Value params = {{"shEvn", "CUSTOMEVENT"},
                  {"evn", "a.b.c"},
                  {"run", {{"maxrepeat", 2}, {"repeatevent", "1"}}},
                  {"cap", "x"}};
  const auto cir = [] { return Util::getCookieToQIVDefaults("_cir", "none"); };
  show(params, "lbcs");
  EXPECT_TRUE(log().contains("repeat custom event : c. Repeat count : 1. max repeat count : 2"));
  EXPECT_EQ(cir(), "1");
  show(params, "lbcs");
  EXPECT_EQ(cir(), "2");
  show(params, "lbcs");
  EXPECT_EQ(cir(), "none");
  show(params, "lbcs");
  EXPECT_EQ(cir(), "1") << "the series starts again";

  // A maximum that is no whole number counts as 50.
  params["evn"] = "cart";
  params["run"]["maxrepeat"] = "2.5";
  Util::setCookieToQIVDefaults("_cir", "49");
  show(params, "lbcs");
  EXPECT_TRUE(
      log().contains("repeat custom event : cart. Repeat count : 50. max repeat count : 50"));
  show(params, "lbcs");
  EXPECT_EQ(cir(), "none");

  // A stored count that is no number starts over; so does a huge one end.
  Util::setCookieToQIVDefaults("_cir", "lots");
  show(params, "lbcs");
  EXPECT_EQ(cir(), "1");
  Util::setCookieToQIVDefaults("_cir", "9223372036854775807");
  params["run"]["maxrepeat"] = "9223372036854775807";
  show(params, "lbcs");
  EXPECT_EQ(cir(), "none");

  // Not asked to repeat, or not a custom-event banner.
  Util::setCookieToQIVDefaults("_cir", "1");
  params["run"] = Value{{"maxrepeat", "5"}, {"repeatevent", "0"}};
  show(params, "lbcs");
  EXPECT_EQ(cir(), "none");
  Util::setCookieToQIVDefaults("_cir", "1");
  params["shEvn"] = "PAGEVIEW";
  params["run"]["repeatevent"] = "1";
  show(params, "lbcs");
  EXPECT_EQ(cir(), "1");
}

TEST_F(ControllerRulesTest, CleaningUpCustomActionsForgetsBadgeDefinitions) {
  show({{"zbid", "1"}, {"bc", "badge"}}, "bdgdt");
  ASSERT_EQ(banner::BadgeDefinitions::shared().size(), 1u);
  Tavrino client("https://127.0.0.1:9/", "1", "0");
  client.clearCustomActions();
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
