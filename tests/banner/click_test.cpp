// Clicks on a banner: taps on its controls, what is recorded and reported
// and where the click goes; links followed in its web page, and the in-app
// browser a click opens over the host.

#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

#include "banner/click_test.hpp"
#include "tavrino/runtime/registry.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino::testing {
namespace {

using runtime::Registry;

// A host class the "run" map names; records what reached it.
class Tracker : public runtime::Object {
 public:
  std::string className() const override { return "Tracker"; }
  void clicked(const Value& argument) { received.push_back(argument); }
  static inline std::vector<Value> received;
};

class ClickButtonTest : public ClickTest {
 protected:
  void SetUp() override {
    ClickTest::SetUp();
    Registry::shared().resetForTesting();
    Tracker::received.clear();
    Registry::shared().registerClass("Tracker", [] { return std::make_shared<Tracker>(); });
  }
  void TearDown() override {
    Registry::shared().resetForTesting();
    ClickTest::TearDown();
  }
};

// With cookies off the click is still reported and raises its event; a
// plain button carries no campaign: nothing is recorded.
TEST_F(ClickButtonTest, CookiesOffStillReportsAndRaisesTheEvent) {
  auto banner = popUp({{"zbid", "4"}, {"cckie", "0"}});
  ASSERT_TRUE(tapOk(banner));
  EXPECT_FALSE(stored("qiv_c_4") || stored("qiv_lzbid") || Util::hasUniqueCookie("4", "1", "C"));
  awaitRequestWith(dispatch(), service, "/t", "zbid", "4");
  EXPECT_TRUE(log().contains("create custom event called. event name : qiv_click_4_1"));
  banner->setClickCookie2(*ui::Button::make());
  EXPECT_TRUE(log().contains("click sender carries no campaign.return.") && clickHits() == 1u);
}

TEST_F(ClickButtonTest, TargetsOpenInsideOutsideOrNowhere) {
  // "uapp", "u_target", what opens outside and what the browser loads ("": none).
  const std::tuple<const char*, const char*, std::string, std::string> cases[] = {
      {"//shop.example/a", "", "", "https://shop.example/a"},
      {"//shop.example/d", "1", "https://shop.example/d", ""},
      // Other schemes leave the application whatever "u_target" says.
      {"myapp://product/7", "", "myapp://product/7", ""},
      // A target that forms no URL is not opened; the banner still closes.
      {"not a url", "1", "", ""},
      {"mailto:a@b\r\nX: y", "", "", ""},
  };
  for (const auto& [uapp, target, outside, browser] : cases) {
    const auto before = opened().size();
    auto banner = popUp({{"zbid", "3"}, {"uapp", uapp}, {"u_target", target}, {"ccc", "0"}});
    ASSERT_TRUE(tapOk(banner));
    const auto now = opened();
    // The browser stays until closed.
    EXPECT_EQ(
        std::tuple(now.size() > before ? now.back() : "", now.size() - before, attached(*banner),
                   banner->inAppBrowser ? contentOf(*banner->inAppBrowser).request.url : ""),
        std::tuple(outside, outside.empty() ? 0u : 1u, !browser.empty(), browser))
        << uapp;
  }
  EXPECT_TRUE(log().contains("click target is not a URL : not a url"));
}

TEST_F(ClickButtonTest, HostFunctionsReceiveTheClickParameters) {
  Registry::shared().registerMethod<Tracker>("Tracker", "clicked", &Tracker::clicked);
  std::vector<std::string> onHost;
  for (const char* method : {"viewClicked", "onClick", "onImpression"}) {
    Registry::shared().registerMethod<ui::ViewController>(
        "HomeViewController", method, [&onHost, method](ui::ViewController&, const Value& v) {
          onHost.push_back(std::string(method) + ":" + Util::tryCatch(v, "click_parameter", "-"));
        });
  }
  const Value run = Value::parse(R"({"runc_class": "Tracker", "runc_function": "clicked",
    "runc_parameter": "rp", "viewc_function": "viewClicked", "viewc_parameter": "vp",
    "functions": [{"type": "C", "name": "onClick", "class": ""},
                  {"type": "I", "name": "onImpression", "class": ""}]})");
  auto banner = popUp({{"zbid", "8"}, {"run", run}});
  banner->activityLink = "https://shop.example/landing";
  ASSERT_TRUE(tapOk(banner));
  // The "C" entry runs, the impression entry does not; the view method gets
  // its own parameter.
  EXPECT_EQ(onHost, (std::vector<std::string>{"onClick:-", "viewClicked:vp"}));
  EXPECT_EQ(Util::tryCatch(banner->parameters, "click_parameter", ""), "vp");

  // A link the impression step left in the map survives a banner that never
  // learnt its link.
  auto unlinked = popUp({{"zbid", "8"}, {"run", run}});
  unlinked->parameters["qivlink"] = "https://shop.example/kept";
  ASSERT_TRUE(tapOk(unlinked));
  ASSERT_EQ(Tracker::received.size(), 2u);
  std::vector<std::string> seen;  // the banner's map, with the parameter and link
  for (const auto& map : Tracker::received) {
    for (const char* key : {"click_parameter", "qivlink", "zbid"})
      seen.push_back(Util::tryCatch(map, key, ""));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"rp", "https://shop.example/landing", "8", "rp",
                                            "https://shop.example/kept", "8"}));
}

using platform::NavigationPolicy;
using platform::NavigationType;

class ClickBrowserTest : public ClickTest {
 protected:
  std::shared_ptr<popUpController> browse(const std::string& uapp) {
    auto banner = popUp({{"zbid", "5"}, {"uapp", uapp}});
    EXPECT_TRUE(tapOk(banner) && banner->inAppBrowser);
    return banner;
  }
  std::shared_ptr<popUpController> webBanner() {
    auto banner = show({{"zbid", "21"}, {"clickid", "3"}, {"cap", "<a href='x'>x</a>"}}, "lbcs", {},
                       {{"p", "Home"}});
    EXPECT_TRUE(attached(*banner) && banner->webView);
    return banner;
  }
};

// The browser covers the screen, loads the target, takes links inside it as
// browsing, and stays until its close button, which is the user closing.
TEST_F(ClickBrowserTest, CoversTheScreenBrowsesAndClosesOnItsButton) {
  auto banner = browse("https://shop.example/offer");
  auto& browser = *banner->inAppBrowser;
  EXPECT_EQ(std::tuple(browser.superview(), browser.frame(), banner->actInd->superview().get(),
                       banner->actInd->frame(), banner->actInd->isAnimating()),
            std::tuple(banner->view(), ui::Rect::make(0, 0, 390, 844), &browser,
                       ui::Rect::make(175, 402, 40, 40), true));
  const auto request = contentOf(browser).request;
  EXPECT_EQ(std::tie(request.url, request.cachePolicy, request.timeout),
            std::tuple("https://shop.example/offer", platform::CachePolicy::returnCacheDataElseLoad,
                       std::chrono::seconds(10)));

  // The tap's own click hit is still on its way: count from after it.
  ASSERT_TRUE(waitUntil([&] { return clickHits() == 1; }));
  EXPECT_EQ(navigate(browser, NavigationType::linkActivated, "https://shop.example/next"),
            NavigationPolicy::allow);
  EXPECT_EQ(clickHits(), 1u);
  pageOf(browser).reportFinishedLoad();
  dispatch().runUntilIdle();
  EXPECT_FALSE(banner->actInd->isAnimating() || browser.isOpaque());
  auto close = button(banner->inAppBrowser, "\u00D7");
  EXPECT_TRUE(close && close->sendTouchUpInside());
  EXPECT_TRUE(!attached(*banner) && banner->closecounter == 1 && opened().empty());

  // A strip's browser still covers the whole screen.
  auto strip = show(
      {{"bc", "nt"}, {"cap", "Sale"}, {"btx", "Go"}, {"zbid", "6"}, {"uapp", "//shop.example"}},
      "bc");
  const ui::Rect frame = strip->view()->frame();
  ASSERT_TRUE(frame.origin.y != 0 && tapOk(strip) && strip->inAppBrowser);
  EXPECT_EQ(strip->inAppBrowser->frame(),
            ui::Rect::make(-frame.origin.x, -frame.origin.y, 390, 844));
}

// A refused domain, or http(s) text that is no URL with every domain
// allowed, leaves the browser empty, still closable.
TEST_F(ClickBrowserTest, ARefusedDomainOrBrokenUrlGivesAnEmptyBrowser) {
  allowDomains({"shop.example"});
  for (const char* target : {"https://elsewhere.example/x", "http://shop example/"}) {
    auto refused = browse(target);
    EXPECT_EQ(contentOf(*refused->inAppBrowser).kind, platform::WebContent::Kind::none);
    EXPECT_TRUE(button(refused->inAppBrowser, "\u00D7") && !refused->actInd->isAnimating());
    allowDomains({});
  }
  EXPECT_TRUE(log().contains("in-app browser domain not allowed : elsewhere.example"));
}

// In the banner's page only an activated link is a click; it opens outside
// and leaves the banner. The older web view reports followed links only, and
// nothing opens or closes.
TEST_F(ClickBrowserTest, OnlyAnActivatedLinkIsAClickAndItLeavesTheBanner) {
  auto banner = webBanner();
  EXPECT_EQ(
      (std::vector{navigate(*banner->webView, NavigationType::formSubmitted, "https://s.example"),
                   navigate(*banner->webView, NavigationType::linkActivated, std::nullopt)}),
      std::vector<std::optional<NavigationPolicy>>(2, NavigationPolicy::allow));
  EXPECT_TRUE(attached(*banner) && !stored("qiv_c_21") && clickHits() == 0);

  EXPECT_EQ(navigate(*banner->webView, NavigationType::linkActivated, "https://shop.example/p"),
            NavigationPolicy::allow);
  EXPECT_TRUE(stored("qiv_c_21") && Util::hasUniqueCookie("21", "3", "C"));
  EXPECT_TRUE(log().contains("create custom event called. event name : qiv_click_21_3"));
  expectQuery(awaitRequestWith(dispatch(), service, "/t", "zbid", "21"), "a=c&p=Home");
  EXPECT_EQ(opened(), (std::vector<std::string>{"https://shop.example/p"}));
  EXPECT_TRUE(!attached(*banner) && banner->closecounter == 0);

  auto older = webBanner();
  platform::URLRequest request;
  request.url = "https://shop.example/p";
  EXPECT_TRUE(older->shouldStartLoadWith(*older->webView, request, NavigationType::linkActivated));
  EXPECT_TRUE(waitUntil([&] { return clickHits() == 2; }));
  EXPECT_TRUE(attached(*older) && opened().size() == 1u);
}

}  // namespace
}  // namespace tavrino::testing
