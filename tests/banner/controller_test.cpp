// Banners over the host: every kind and what it lays over the host, or why
// it lays nothing; which screen a banner belongs to, its controls' defaults,
// the ways the user closes it and its release after; the keyboard, rotation
// and repeat rules.

#include <gtest/gtest.h>

#include <chrono>

#include "banner/click_test.hpp"
#include "tavrino/banner/banner_document.hpp"
#include "tavrino/client.hpp"
#include "tavrino/ui/gesture_recognizer.hpp"
#include "tavrino/ui/text_view.hpp"
#include "tavrino/ui/web_view.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {
namespace {

using namespace std::chrono_literals;
using platform::DeviceOrientation;
using platform::WebContent;

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
  WebContent::Kind loads(const Value& params, std::string_view function) {
    return contentOf(*show(params, function)->webView).kind;
  }
  // Turns the device and lets the main loop run for the time given.
  void turn(DeviceOrientation orientation, std::chrono::milliseconds run = 1s) {
    screen().setDeviceOrientation(orientation);
    dispatch().runFor(run);
  }
};

TEST_F(ControllerRulesTest, ExecutionCounterAndOtherScreensShowNothing) {
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

  // Under a tab bar controller: any of its screens.
  auto tabs = std::make_shared<ui::TabBarController>();
  auto first = std::make_shared<ui::ViewController>("First");
  host = std::make_shared<ui::ViewController>("Second");
  tabs->setViewControllers({first, host});
  window->setRootViewController(tabs);
  EXPECT_TRUE(shows());

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

TEST_F(ControllerRulesTest, OutsideTapBorderAndCloseButton) {
  auto banner = show({{"cap", "x"}}, "lbcs");
  EXPECT_TRUE(banner->view()->gestureRecognizers().at(0)->fire({5, 5}) && !attached(*banner));
  EXPECT_TRUE(show({{"coc", "0"}}, "lbcs")->view()->gestureRecognizers().empty());

  // A border only without the outside tap.
  Value bordered = {{"bbr", "1"}, {"coc", "0"}, {"bbrst", "3px"}};
  EXPECT_EQ(show(bordered, "img")->containerView->borderWidth(), 3);
  bordered["coc"] = "1";
  EXPECT_EQ(show(bordered, "img")->containerView->borderWidth(), 0);

  // The close button: top right by default, an image instead of its title,
  // or none.
  banner = show({{"w", "300px"}, {"h", "250px"}}, "img");
  const auto close = button(banner->containerView, "\u00d7");
  ASSERT_TRUE(close);
  EXPECT_EQ(close->frame(), ui::Rect::make(270, 0, 30, 30));
  EXPECT_TRUE(close->sendTouchUpInside());
  EXPECT_TRUE(banner->closecounter == 1 && !attached(*banner));
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
  Value strip = {{"bc", "nt"}, {"coc", "0"}, {"h", "120px"}, {"w", "300px"}};
  auto follows = show(strip, "nhbs");
  strip["coc"] = "1";
  auto stays = show(strip, "nhbs");
  auto native = show({{"bc", "nt"}, {"coc", "0"}, {"cap", "x"}}, "bs");
  const auto frames = [&] {
    return std::vector{follows->view()->frame(), stays->view()->frame(), native->view()->frame()};
  };
  auto before = frames();
  keyboardAt(std::nullopt);  // no keyboard frame
  EXPECT_EQ(frames(), before);
  keyboardAt(500);
  before[0].origin.y = 380;
  EXPECT_EQ(frames(), before);
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
  params["run"]["maxrepeat"] = "9223372036854775807";
  EXPECT_EQ(shows({"9223372036854775807"}), std::vector<std::string>{"none"});

  // Not asked to repeat, or not a custom-event banner.
  params["run"] = Value{{"maxrepeat", "5"}, {"repeatevent", "0"}};
  EXPECT_EQ(shows({"1"}), std::vector<std::string>{"none"});
  params["shEvn"] = "PAGEVIEW";
  params["run"]["repeatevent"] = "1";
  EXPECT_EQ(shows({"1"}), std::vector<std::string>{"1"});
}

using ControllerKindsTest = ControllerRulesTest;

TEST_F(ControllerKindsTest, WebBannersShowTheDocumentOrAddressAtTheirFrame) {
  const Value params = {{"zbid", "7"}, {"w", "300px"}, {"h", "250px"}, {"cap", "<b>Hi</b>"}};
  auto banner = show(params, "lbcs");
  ASSERT_TRUE(attached(*banner) && banner->webView);
  EXPECT_EQ((std::vector{banner->view()->frame(), banner->containerView->frame(),
                         banner->webView->frame(), banner->actInd->frame()}),
            (std::vector{ui::Rect::make(0, 0, 390, 844), ui::Rect::make(45, 297, 300, 250),
                         ui::Rect::make(0, 0, 300, 250), ui::Rect::make(130, 125, 40, 40)}));
  const WebContent content = contentOf(*banner->webView);
  EXPECT_EQ(std::tuple(content.kind, content.html, banner->actInd->isAnimating()),
            std::tuple(WebContent::Kind::html, banner::createHTMLContent(params), true));
  auto page = show({{"c10", "https://shop.example/offer?x=1"}}, "ajx");
  EXPECT_EQ(contentOf(*page->webView).request.url, "https://shop.example/offer?x=1");
  auto full = show({{"btype", "fs"}, {"bstatus", "1"}}, "lbcs");
  EXPECT_EQ(full->containerView->frame(), ui::Rect::make(0, 47, 390, 844 - 47));

  // Allowed domains decide what loads; the campaign's own document counts
  // as the empty domain, and its banner still shows, empty.
  allowDomains({"shop.example"});
  EXPECT_EQ(loads({{"c10", "https://shop.example:8443/a"}}, "svc"), WebContent::Kind::request);
  EXPECT_EQ(loads({{"c10", "https://elsewhere.example/a"}}, "svc"), WebContent::Kind::none);
  EXPECT_TRUE(log().contains("create banner domain not allowed : elsewhere.example"));
  auto empty = show({{"cap", "x"}}, "lbcs");
  EXPECT_TRUE(attached(*empty) && contentOf(*empty->webView).kind == WebContent::Kind::none);
  allowDomains({"shop.example", ""});
  EXPECT_EQ(loads({{"cap", "x"}}, "lbcs"), WebContent::Kind::html);
}

TEST_F(ControllerKindsTest, ImageBannersAreClickButtonsCarryingTheCampaign) {
  const ui::Image image(600, 400, Data{1, 2, 3});
  const Value params = {{"zbid", "9"}, {"cap", "Title"}, {"btx", "Buy"}};
  auto banner = show(params, "img", image, {{"p", "Home"}});
  const auto buttons = find<ui::customButton>(banner->containerView);
  ASSERT_TRUE(attached(*banner) && buttons.size() == 1u);
  EXPECT_EQ(std::tuple(buttons[0]->image(), buttons[0]->customArray, buttons[0]->client_map,
                       buttons[0]->frame()),
            std::tuple(image, params, StringMap{{"p", "Home"}}, banner->containerView->bounds()));
  auto withText = show(params, "imgtxt", image);
  EXPECT_EQ(std::pair(find<ui::customButton>(withText->containerView).size(),
                      find<ui::TextView>(withText->containerView).size()),
            std::pair(2ul, 1ul))
      << "image and OK, and the title";

  // Image and compact strips: the whole compact strip is the button.
  auto pictured = show({{"bc", "ntimg"}}, "nitl", ui::Image(600, 400, Data{7}));
  EXPECT_EQ(std::pair(pictured->view()->frame(), find<ui::customButton>(pictured->view()).size()),
            std::pair(ui::Rect::make(10, 57, 370, 246), 1ul));
  auto compact = show({{"bc", "nts"}, {"cap", "Hello"}, {"btx", "Go"}}, "nsbr");
  const auto surface = find<ui::customButton>(compact->containerView);
  EXPECT_TRUE(compact->view()->frame().origin.x == 164 && !button(compact->containerView, "Go"));
  EXPECT_EQ(surface.size() == 1 ? surface[0]->frame() : ui::Rect{},
            compact->containerView->bounds());
}

TEST_F(ControllerKindsTest, NativeStripsSitAtTheirPositionsAndSlideIn) {
  const Value params = Value::parse(R"({"bc": "nt", "cap": "Sale", "sub": "Today only",
      "btx": "Go", "xtx": "Later", "bgc": "#112233"})");
  const double top = 47 + 10;  // the status bar and the gap
  struct Case {
    const char* function;
    double x, y, width;  // y of a bottom strip: gap below the screen's foot
  };
  for (const auto& c :
       {Case{"tl", 10, top, 216}, Case{"tr", 164, top, 216}, Case{"tc", 87, top, 216},
        Case{"ts", 0, 47, 390}, Case{"bc", 87, -10, 216}, Case{"bs", 0, 0, 390}}) {
    SCOPED_TRACE(c.function);
    ui::clearRecordedAnimations();
    auto banner = show(params, c.function);
    const ui::Rect frame = banner->view()->frame();
    const bool atTop = c.function[0] == 't';
    EXPECT_EQ(std::tuple(frame.origin, frame.width(), banner->containerView->backgroundColor()),
              std::tuple(ui::Point{c.x, atTop ? c.y : 844 + c.y - frame.height()}, c.width,
                         Util::hexToUIColor("#112233")));
    // Title and subtitle 20 points narrower than the strip, 10 apart; the
    // buttons share the row below.
    const auto texts = find<ui::TextView>(banner->containerView);
    ASSERT_EQ(texts.size(), 2u);
    const auto ok = button(banner->containerView, "Go")->frame();
    const auto later = button(banner->containerView, "Later")->frame();
    EXPECT_EQ((std::vector{texts[0]->frame().origin.x, texts[0]->frame().origin.y,
                           texts[0]->frame().width(), texts[1]->frame().origin.y, later.origin.x,
                           frame.height()}),
              (std::vector{10.0, 10.0, frame.width() - 20, 20 + texts[0]->frame().height(),
                           ok.origin.x + ok.width() + 10, ok.origin.y + ok.height() + 10}));
    const auto slide = ui::recordedAnimations().at(0).views.at(0);
    EXPECT_EQ(std::pair(slide.endFrame, slide.startFrame.origin.y),
              std::pair(frame, atTop ? -frame.height() : 844));
  }

  // Strips of other classes sit inside the overlay.
  auto other = show({{"cap", "Sale"}}, "bl");
  const ui::Rect strip = other->containerView->frame();
  EXPECT_EQ(std::tuple(other->view()->frame(), strip.origin.x, strip.origin.y + strip.height(),
                       ui::recordedAnimations().back().views[0].view.lock()),
            std::tuple(ui::Rect::make(0, 0, 390, 844), 10.0, 834.0, other->containerView));
}

TEST_F(ControllerKindsTest, InlineFramesGoIntoTheNamedHostViewOnce) {
  auto slot = ui::View::make(ui::Rect::make(0, 100, 390, 90));
  slot->setRestorationIdentifier("promo");
  auto wrapper = ui::View::make();
  wrapper->addSubview(slot);
  host->view()->addSubview(wrapper);

  auto first = show({{"slc", "promo"}, {"cap", "x"}}, "aich");
  EXPECT_TRUE(!attached(*first) && first->parent() == host) << "no overlay for an inline frame";
  auto web = std::dynamic_pointer_cast<ui::WebView>(slot->subviews().at(0));
  ASSERT_TRUE(web);
  EXPECT_EQ(std::pair(web->restorationIdentifier(), web->frame()),
            std::pair(std::string("qivWebView_promo"), ui::Rect::make(0, 0, 390, 90)));
  // The frame keeps its first controller.
  EXPECT_TRUE(!show({{"slc", "promo"}}, "aich")->parent() && slot->subviews().size() == 1u);
  EXPECT_EQ(web->navigationDelegate().get(),
            static_cast<ui::WebViewNavigationDelegate*>(first.get()));
  show({{"slc", "qivdyn@promo"}}, "aich");
  EXPECT_EQ(slot->subviews().at(1)->restorationIdentifier(), "qivWebView_qivdyn@promo");
  EXPECT_EQ(show({{"slc", "nowhere"}}, "aich")->parent(), nullptr);
  EXPECT_TRUE(log().contains("create banner called. Inline frame did not found."));
}

// Badge definitions are stored, never shown; ids may come as a list; a later
// definition of the campaign replaces the earlier; cleaning up the custom
// actions forgets them.
TEST_F(ControllerKindsTest, BadgeDefinitionsAreStoredAndNothingIsShown) {
  auto banner = show({{"zbid", "42"}, {"bc", "badge"}, {"ids", "A1,B2"}}, "bdgat");
  EXPECT_TRUE(log().contains("badge banner called") && !attached(*banner));
  show({{"zbid", "42"}, {"bc", "badge"}, {"ids", {"C3", 4}}}, "bdgai");
  EXPECT_EQ(banner::BadgeDefinitions::shared().size(), 1u);
  EXPECT_EQ((*banner::BadgeDefinitions::shared().get("42"))["ids"],
            (Value{{"C3", "1"}, {"4", "1"}}));
  Tavrino("https://127.0.0.1:9/", "1", "0").clearCustomActions();
  EXPECT_EQ(banner::BadgeDefinitions::shared().size(), 0u);
}

// A badge code without the badge class is no kind at all.
TEST_F(ControllerKindsTest, ScriptKindsAndUnknownCodesAttachNothing) {
  for (const char* function : {"cs", "csjq", "nxtl", "bdgdt"}) {
    EXPECT_FALSE(attached(*show({{"zbid", "43"}, {"cap", "x"}}, function))) << function;
  }
  EXPECT_EQ(std::pair(count("Unknown banner function : "), count("function : bdgdt")),
            std::pair(2ul, 1ul));
  EXPECT_FALSE(banner::BadgeDefinitions::shared().get("43"));
}

}  // namespace
}  // namespace tavrino::testing
