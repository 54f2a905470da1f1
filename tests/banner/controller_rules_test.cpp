// What keeps a banner off the screen, which screen it belongs to, its
// controls' defaults, the ways the user closes it and its release after; the
// keyboard, rotation and repeat rules, and finding host views by identifier.

#include <gtest/gtest.h>

#include <chrono>

#include "banner/controller_test.hpp"
#include "tavrino/ui/gesture_recognizer.hpp"
#include "tavrino/ui/text_view.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/view_lookup.hpp"

namespace tavrino::testing {
namespace {

using namespace std::chrono_literals;
using platform::DeviceOrientation;

class ControllerRulesTest : public ControllerTest {
 protected:
  // Whether a plain web banner reaches the host's screen.
  bool shows(const StringMap& client_map = {}) {
    return attached(*show({{"cap", "x"}}, "lbcs", {}, client_map));
  }
  void keyboardAt(std::optional<double> top) {
    platform::Notification note{std::string(platform::keyboardWillChangeFrameNotification), {}};
    if (top) {
      note.userInfo.emplace(std::string(platform::keyboardFrameEndUserInfoKey),
                            ui::Rect::make(0, *top, 390, 844 - *top));
    }
    platform::current().notificationCenter().post(std::move(note));
    dispatch().runUntilIdle();
  }
  // Turns the device and lets the main loop run for the time given.
  void turn(DeviceOrientation orientation, std::chrono::milliseconds run = 1s) {
    screen().setDeviceOrientation(orientation);
    dispatch().runFor(run);
  }
};

TEST_F(ControllerRulesTest, ExecutionCounterOtherScreensAndUnsizableBannersShowNothing) {
  processState().incrementExecCounter();
  processState().incrementExecCounter();
  EXPECT_TRUE(shows({{"_execcounter", "abc"}}) && shows({{"_execcounter", "2"}}));
  auto stale = show({{"cap", "x"}}, "lbcs", {}, {{"_execcounter", "1"}});
  EXPECT_TRUE(log().contains("create banner execcount did not match"));
  EXPECT_FALSE(stale->isViewLoaded() || stale->parent()) << "stopped before anything was built";

  auto other = std::make_shared<ui::ViewController>("Other");
  auto banner = std::make_shared<popUpController>();
  other->addChild(banner);
  banner->createBanner(host, {}, {{"cap", "x"}}, "lbcs", kReference, {});
  EXPECT_TRUE(
      log().contains("create banner popOver parent and current viewcontroller different.return."));
  EXPECT_TRUE(!attached(*banner) && banner->parent() == other);
  EXPECT_FALSE(attached(*show({{"w", "300px"}, {"h", "0px"}}, "lbcs")));
  EXPECT_TRUE(log().contains("create banner ratio is zero or infinite.return."));
}

TEST_F(ControllerRulesTest, OnlyTheScreenTheUserSeesGetsTheBanner) {
  application().setKeyWindow(nullptr);
  auto unseen = show({{"cap", "x"}}, "lbcs");
  EXPECT_FALSE(attached(*unseen) || unseen->parent());

  // Under a navigation controller: the screens of its stack, and what its
  // top screen presents (over the whole stack).
  window->setRootViewController(std::make_shared<ui::NavigationController>(host));
  application().setKeyWindow(window);
  EXPECT_TRUE(shows());
  auto sheet = std::make_shared<ui::ViewController>("Sheet");
  host->present(sheet);
  host = sheet;
  EXPECT_TRUE(shows());

  // Under a tab bar controller: any of its screens, and what they present.
  auto tabs = std::make_shared<ui::TabBarController>();
  auto first = std::make_shared<ui::ViewController>("First");
  host = std::make_shared<ui::ViewController>("Second");
  tabs->setViewControllers({first, host});
  window->setRootViewController(tabs);
  EXPECT_TRUE(shows());
  host->present(sheet = std::make_shared<ui::ViewController>("Sheet"));
  host = sheet;
  EXPECT_TRUE(shows());
  sheet->dismiss();

  // The top screen follows the selected tab's stack and what it presents.
  auto nested = std::make_shared<ui::NavigationController>(host);
  auto detail = std::make_shared<ui::ViewController>("Detail");
  nested->pushViewController(detail);
  tabs->setViewControllers({first, nested});
  tabs->setSelectedIndex(1);
  EXPECT_EQ(popUpController::topViewController(tabs), detail);
  detail->present(sheet = std::make_shared<ui::ViewController>("Sheet"));
  EXPECT_EQ(popUpController::topViewController(tabs), sheet);

  // A screen the root knows nothing of.
  host = std::make_shared<ui::ViewController>("Loose");
  EXPECT_FALSE(shows());
  window->setRootViewController(nullptr);
  EXPECT_FALSE(popUpController::isChild(first, window) || shows());
}

TEST_F(ControllerRulesTest, FontSizesDependOnTheBannerClass) {
  const auto sizes = [&](const std::string& extra) {
    auto banner =
        show(Value::parse(R"({"cap": "T", "sub": "S", "btx": "OK", "xtx": "No", )" + extra), "tl");
    const auto views = find<ui::TextView>(banner->containerView);
    return std::vector{views.at(0)->effectiveFont().size, views.at(1)->effectiveFont().size,
                       button(banner->containerView, "OK")->font().size,
                       button(banner->containerView, "No")->font().size};
  };
  EXPECT_EQ(sizes(R"("bc": "nts"})"), (std::vector<double>{15, 12, 12, 12}));
  EXPECT_EQ(sizes(R"("bc": "other"})"), (std::vector<double>{35, 21, 16, 16}));
  EXPECT_EQ(sizes(R"("cfs": "20px"})")[0], 20);
}

TEST_F(ControllerRulesTest, OutsideTapBorderAndCloseButton) {
  auto banner = show({{"cap", "x"}}, "lbcs");
  const auto& recognizers = banner->view()->gestureRecognizers();
  ASSERT_EQ(recognizers.size(), 1u);
  EXPECT_TRUE(recognizers[0]->fire({5, 5}));
  EXPECT_FALSE(attached(*banner));
  EXPECT_TRUE(show({{"coc", "0"}}, "lbcs")->view()->gestureRecognizers().empty());

  // A border only without the outside tap, and never on web kinds.
  Value bordered = {{"bbr", "1"}, {"coc", "0"}, {"bbrst", "3px"}, {"bbrclr", "#000000"}};
  auto image = show(bordered, "img");
  EXPECT_EQ(std::pair(image->containerView->borderWidth(), image->containerView->cornerRadius()),
            std::pair(3.0, 3.0));
  EXPECT_EQ(show(bordered, "lbcs")->containerView->borderWidth(), 0);
  bordered["coc"] = "1";
  EXPECT_EQ(show(bordered, "img")->containerView->borderWidth(), 0);

  // The close button: top right by default, placed from the left and bottom
  // when asked, an image instead of its title, or none.
  banner = show({{"w", "300px"}, {"h", "250px"}}, "img");
  const auto close = button(banner->containerView, "\u00d7");
  ASSERT_TRUE(close);
  EXPECT_EQ(close->frame(), ui::Rect::make(270, 0, 30, 30));
  EXPECT_TRUE(close->sendTouchUpInside());
  EXPECT_TRUE(banner->closecounter == 1 && !attached(*banner));
  auto placed = show(Value::parse(R"({"w": "300px", "h": "250px", "cBtnW": "40px", "cBtnH": "20",
      "cBtnLeft": "5px", "cBtnBottom": "6", "cBtnTxt": "X", "cBtnbr": "1", "cBtnbrst": "2px",
      "cBtnbrclr": "#ff0000"})"),
                     "img");
  const auto x = button(placed->containerView, "X");
  ASSERT_TRUE(x);
  EXPECT_EQ(
      std::pair(x->frame(), x->borderColor()),
      std::pair(ui::Rect::make(5, 250 - 20 - 6, 40, 20), std::optional(ui::Color{1, 0, 0, 1})));
  const auto pictured = find<ui::Button>(show({{"cBtnImg", "//127.0.0.1:9/c.png"}}, "img")->view());
  EXPECT_TRUE(std::any_of(pictured.begin(), pictured.end(), [](const auto& b) {
    return b->accessibilityIdentifier() == "qiv_close" && b->title().empty();
  }));
  EXPECT_FALSE(button(show({{"cBtn", "0"}}, "img")->containerView, "\u00d7"));
}

// A screen that stays through many page views must not gather every banner
// it showed; closing twice (the button and an outside tap) releases once.
TEST_F(ControllerRulesTest, ClosedBannerIsFreedOnceTheWorkInHandHasRun) {
  std::weak_ptr<popUpController> closed;
  std::shared_ptr<popUpController> open = show({{"cap", "y"}}, "lbcs");
  {
    auto banner = show({{"cap", "x"}}, "lbcs");
    closed = banner;
    banner->targetCoc();
    // The caller may still be inside the banner's methods.
    EXPECT_EQ(host->children().size(), 2u);
  }
  dispatch().runUntilIdle();
  EXPECT_TRUE(closed.expired());
  EXPECT_EQ(host->children(), (std::vector<std::shared_ptr<ui::ViewController>>{open}));
  open->targetCoc();
  open->targetCoc();
  dispatch().runUntilIdle();
  EXPECT_TRUE(host->children().empty() && open->closecounter == 2);
}

TEST_F(ControllerRulesTest, HtmlStripWithoutOutsideTapSitsOnTheKeyboard) {
  auto follows = show({{"bc", "nt"}, {"coc", "0"}, {"h", "120px"}, {"w", "300px"}}, "nhbs");
  auto stays = show({{"bc", "nt"}, {"coc", "1"}, {"h", "120px"}, {"w", "300px"}}, "nhbs");
  auto native = show({{"bc", "nt"}, {"coc", "0"}, {"cap", "x"}}, "bs");
  const auto frames = [&] {
    return std::vector{follows->view()->frame(), stays->view()->frame(), native->view()->frame()};
  };
  auto before = frames();
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
  EXPECT_TRUE(attached(*banner) && banner->orientation == 1);
  turn(DeviceOrientation::landscapeLeft, 149ms);
  EXPECT_TRUE(attached(*banner));
  dispatch().runFor(1ms);
  EXPECT_TRUE(!shown->superview() && banner->view() != shown && !banner->view()->superview());
  EXPECT_EQ(std::pair(banner->orientation, banner->closecounter), std::pair(3, std::int64_t{0}));

  // A closed banner remembers the turn but keeps its view.
  auto closed = show({{"cap", "x"}}, "lbcs");
  const auto closedView = closed->view();
  closed->targetCoc();
  turn(DeviceOrientation::portrait);
  EXPECT_EQ(std::tuple(closed->orientation, closed->closecounter, closed->view()),
            std::tuple(1, std::int64_t{1}, closedView));
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

// Depth first, below the root only, never views without one; an identifier
// not found gives an empty view, not null.
TEST_F(ControllerRulesTest, ViewsAreFoundDepthFirstBelowTheRoot) {
  auto root = ui::View::make(), a = ui::View::make(), deep = ui::View::make(),
       later = ui::View::make();
  for (const auto& named : {root, deep, later}) named->setRestorationIdentifier("x");
  a->addSubview(deep);
  root->addSubview(a);
  root->addSubview(later);
  EXPECT_EQ(Util::returnViewByIdentifier(root, "x"), deep);
  EXPECT_FALSE(Util::hasSubViewWithIdentifier(deep, "x") ||
               Util::hasSubViewWithIdentifier(root, "") ||
               Util::hasSubViewWithIdentifier(nullptr, "x"));
  const auto none = Util::returnViewByIdentifier(root, "y");
  EXPECT_TRUE(none && !none->superview());
}

}  // namespace
}  // namespace tavrino::testing
