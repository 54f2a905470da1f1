// Links followed in a banner's web page, the controller's other duties as
// navigation delegate, and the in-app browser a click opens over the host.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <tuple>

#include "banner/click_test.hpp"
#include "tavrino/ui/font.hpp"

namespace tavrino::testing {
namespace {

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
  ASSERT_TRUE(close);
  const ui::Font font = *ui::Font::named("Helvetica Neue", 20);
  const double width = std::trunc(ui::textWidth("\u00D7", font)) + 18;
  EXPECT_EQ(std::pair(close->font(), close->frame()),
            std::pair(font, ui::Rect::make(390 - width - 18, 18, width, 33)));
  EXPECT_TRUE(close->sendTouchUpInside());
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
  for (const auto& [type, url] : std::initializer_list<std::pair<NavigationType, const char*>>{
           {NavigationType::other, "about:blank"},
           {NavigationType::formSubmitted, "https://shop.example/f"},
           {NavigationType::reload, "https://shop.example/r"},
           {NavigationType::backForward, "https://shop.example/b"},
           {NavigationType::formResubmitted, "https://shop.example/s"},
           {NavigationType::linkActivated, nullptr}}) {
    EXPECT_EQ(
        navigate(*banner->webView, type, url ? std::optional<std::string>(url) : std::nullopt),
        NavigationPolicy::allow);
  }
  platform::URLRequest request;
  for (const auto& [url, type] : {std::pair("about:blank", NavigationType::linkActivated),
                                  std::pair("https://ads.example/frame", NavigationType::other)}) {
    request.url = url;
    EXPECT_TRUE(banner->shouldStartLoadWith(*banner->webView, request, type)) << url;
  }
  EXPECT_TRUE(attached(*banner) && !stored("qiv_c_21") && clickHits() == 0);

  EXPECT_EQ(navigate(*banner->webView, NavigationType::linkActivated, "https://shop.example/p"),
            NavigationPolicy::allow);
  EXPECT_TRUE(stored("qiv_c_21") && Util::hasUniqueCookie("21", "3", "C"));
  EXPECT_TRUE(log().contains("create custom event called. event name : qiv_click_21_3"));
  expectQuery(awaitRequestWith(dispatch(), service, "/t", "zbid", "21"), "a=c&p=Home");
  EXPECT_EQ(opened(), (std::vector<std::string>{"https://shop.example/p"}));
  EXPECT_TRUE(!attached(*banner) && banner->closecounter == 0);

  auto older = webBanner();
  request.url = "https://shop.example/p";
  EXPECT_TRUE(older->shouldStartLoadWith(*older->webView, request, NavigationType::linkActivated));
  EXPECT_TRUE(waitUntil([&] { return clickHits() == 2; }));
  EXPECT_TRUE(attached(*older) && opened().size() == 1u);
}

// The page shows through once loaded, and the spinner stops, also when the
// load fails.
TEST_F(ClickBrowserTest, ALoadedPageShowsThroughAndTheSpinnerStops) {
  auto banner = webBanner();
  auto& page = pageOf(*banner->webView);
  ASSERT_TRUE(banner->actInd->isAnimating());
  page.reportProvisionalNavigationStarted();
  dispatch().runUntilIdle();
  EXPECT_TRUE(banner->webView->isOpaque());
  page.reportFinishedLoad();
  dispatch().runUntilIdle();
  EXPECT_FALSE(banner->webView->isOpaque() || banner->actInd->isAnimating());
  EXPECT_EQ(banner->webView->backgroundColor(), ui::Color::clear());
  auto failed = webBanner();
  pageOf(*failed->webView).reportFailedLoad("offline");
  dispatch().runUntilIdle();
  EXPECT_TRUE(!failed->actInd->isAnimating() && attached(*failed));
}

}  // namespace
}  // namespace tavrino::testing
