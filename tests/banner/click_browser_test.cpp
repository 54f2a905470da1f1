// Links followed in a banner's web page, the controller's other duties as
// navigation delegate, and the in-app browser a click opens over the host.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

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
    EXPECT_TRUE(tapOk(banner));
    return banner;
  }
  std::shared_ptr<popUpController> webBanner() {
    auto banner = show({{"zbid", "21"}, {"clickid", "3"}, {"cap", "<a href='x'>x</a>"}}, "lbcs", {},
                       {{"p", "Home"}});
    EXPECT_TRUE(attached(*banner) && banner->webView);
    return banner;
  }
};

TEST_F(ClickBrowserTest, CoversTheScreenWithACloseButtonAndLoadsTheTarget) {
  auto banner = browse("https://shop.example/offer");
  ASSERT_TRUE(banner->inAppBrowser);
  auto& browser = *banner->inAppBrowser;
  EXPECT_EQ(browser.superview(), banner->view());
  EXPECT_EQ(browser.frame(), ui::Rect::make(0, 0, 390, 844));
  const auto request = contentOf(browser).request;
  EXPECT_EQ(request.url, "https://shop.example/offer");
  EXPECT_EQ(request.cachePolicy, platform::CachePolicy::returnCacheDataElseLoad);
  EXPECT_EQ(request.timeout, std::chrono::seconds(10));
  EXPECT_EQ(banner->actInd->superview().get(), &browser);
  EXPECT_EQ(banner->actInd->frame(), ui::Rect::make(175, 402, 40, 40)) << "the host's centre";
  EXPECT_TRUE(banner->actInd->isAnimating());

  auto close = button(banner->inAppBrowser, "\u00D7");
  ASSERT_TRUE(close);
  const ui::Font font = *ui::Font::named("Helvetica Neue", 20);
  EXPECT_EQ(close->font(), font);
  const double width = std::trunc(ui::textWidth("\u00D7", font)) + 18;
  EXPECT_EQ(close->frame(), ui::Rect::make(390 - width - 18, 18, width, 33));
  // The browser stays until its close button, which counts as the user
  // closing the banner.
  EXPECT_TRUE(attached(*banner));
  EXPECT_TRUE(close->sendTouchUpInside());
  EXPECT_FALSE(attached(*banner));
  EXPECT_EQ(banner->closecounter, 1);
  EXPECT_TRUE(opened().empty());

  // A strip's browser still covers the whole screen.
  auto strip = show(
      {{"bc", "nt"}, {"cap", "Sale"}, {"btx", "Go"}, {"zbid", "6"}, {"uapp", "//shop.example"}},
      "bc");
  const ui::Rect frame = strip->view()->frame();
  ASSERT_NE(frame.origin.y, 0);
  ASSERT_TRUE(tapOk(strip) && strip->inAppBrowser);
  EXPECT_EQ(strip->inAppBrowser->frame(),
            ui::Rect::make(-frame.origin.x, -frame.origin.y, 390, 844));
}

TEST_F(ClickBrowserTest, ARefusedDomainOrBrokenUrlGivesAnEmptyBrowser) {
  processState().withConfig([](SharedConfiguration& c) { c.allowedDomains = {"shop.example"}; });
  for (const char* target : {"https://elsewhere.example/x", "http://shop example/"}) {
    auto refused = browse(target);
    ASSERT_TRUE(refused->inAppBrowser) << target;
    EXPECT_EQ(contentOf(*refused->inAppBrowser).kind, platform::WebContent::Kind::none);
    EXPECT_TRUE(button(refused->inAppBrowser, "\u00D7")) << "the user can still close it";
    EXPECT_FALSE(refused->actInd->isAnimating()) << "nothing is loading";
    // http(s) text that is no URL stays unloaded with every domain allowed.
    processState().withConfig(
        [](SharedConfiguration& c) { c.allowedDomains = std::vector<std::string>{}; });
  }
  EXPECT_TRUE(log().contains("in-app browser domain not allowed : elsewhere.example"));
}

TEST_F(ClickBrowserTest, LinksInsideTheBrowserAreBrowsingNotClicks) {
  auto banner = browse("https://shop.example/offer");
  ASSERT_TRUE(banner->inAppBrowser);
  // The tap's own click hit is still on its way: count from after it.
  for (int i = 0; i < 500 && clickHits().empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const auto hits = clickHits().size();
  ASSERT_EQ(hits, 1u);
  EXPECT_EQ(navigate(*banner->inAppBrowser, platform::NavigationType::linkActivated,
                     "https://shop.example/next"),
            platform::NavigationPolicy::allow);
  EXPECT_TRUE(opened().empty());
  EXPECT_TRUE(attached(*banner));
  EXPECT_EQ(clickHits().size(), hits);
  EXPECT_FALSE(log().contains("banner link activated"));

  // The loaded page shows through and the spinner stops.
  dynamic_cast<platform::LinuxWebPage&>(banner->inAppBrowser->page()).reportFinishedLoad();
  dispatch().runUntilIdle();
  EXPECT_FALSE(banner->actInd->isAnimating());
  EXPECT_FALSE(banner->inAppBrowser->isOpaque());
}

using ClickNavigationTest = ClickBrowserTest;

TEST_F(ClickNavigationTest, OnlyAnActivatedLinkIsAClickAndItLeavesTheBanner) {
  auto banner = webBanner();
  struct Case {
    NavigationType type;
    std::optional<std::string> url;
  };
  for (const auto& c : {Case{NavigationType::other, "about:blank"},
                        Case{NavigationType::formSubmitted, "https://shop.example/f"},
                        Case{NavigationType::reload, "https://shop.example/r"},
                        Case{NavigationType::backForward, "https://shop.example/b"},
                        Case{NavigationType::formResubmitted, "https://shop.example/s"},
                        Case{NavigationType::linkActivated, std::nullopt}}) {
    EXPECT_EQ(navigate(*banner->webView, c.type, c.url), NavigationPolicy::allow);
  }
  EXPECT_TRUE(attached(*banner));
  EXPECT_FALSE(stored("qiv_c_21"));
  EXPECT_TRUE(clickHits().empty());

  EXPECT_EQ(navigate(*banner->webView, NavigationType::linkActivated, "https://shop.example/p"),
            NavigationPolicy::allow);
  EXPECT_TRUE(stored("qiv_c_21"));
  EXPECT_TRUE(log().contains("create custom event called. event name : qiv_click_21_3"));
  EXPECT_TRUE(Util::hasUniqueCookie("21", "3", "C"));
  expectQuery(awaitRequestWith(dispatch(), service, "/t", "zbid", "21"), "a=c&p=Home");
  EXPECT_EQ(opened(), (std::vector<std::string>{"https://shop.example/p"}));
  EXPECT_FALSE(attached(*banner));
  EXPECT_EQ(banner->closecounter, 0);
}

TEST_F(ClickNavigationTest, TheOlderWebViewReportsFollowedLinksOnly) {
  auto banner = webBanner();
  auto& web = *banner->webView;
  platform::URLRequest request;
  request.url = "about:blank";
  EXPECT_TRUE(banner->shouldStartLoadWith(web, request, NavigationType::linkActivated));
  request.url = "https://ads.example/frame";
  EXPECT_TRUE(banner->shouldStartLoadWith(web, request, NavigationType::other))
      << "a frame of the page loading";
  EXPECT_FALSE(stored("qiv_c_21"));
  EXPECT_TRUE(clickHits().empty());

  request.url = "https://shop.example/p";
  EXPECT_TRUE(banner->shouldStartLoadWith(web, request, NavigationType::linkActivated));
  EXPECT_TRUE(stored("qiv_c_21"));
  awaitRequestWith(dispatch(), service, "/t", "zbid", "21");
  EXPECT_TRUE(attached(*banner)) << "nothing opens, nothing closes";
  EXPECT_TRUE(opened().empty());
}

TEST_F(ClickNavigationTest, ALoadedPageShowsThroughAndTheSpinnerStops) {
  auto banner = webBanner();
  auto& page = dynamic_cast<platform::LinuxWebPage&>(banner->webView->page());
  ASSERT_TRUE(banner->actInd->isAnimating());
  page.reportProvisionalNavigationStarted();
  dispatch().runUntilIdle();
  EXPECT_TRUE(banner->webView->isOpaque());
  page.reportFinishedLoad();
  dispatch().runUntilIdle();
  EXPECT_FALSE(banner->webView->isOpaque());
  EXPECT_EQ(banner->webView->backgroundColor(), ui::Color::clear());
  EXPECT_FALSE(banner->actInd->isAnimating());

  auto failed = webBanner();
  dynamic_cast<platform::LinuxWebPage&>(failed->webView->page()).reportFailedLoad("offline");
  dispatch().runUntilIdle();
  EXPECT_FALSE(failed->actInd->isAnimating());
  EXPECT_TRUE(attached(*failed));
}

}  // namespace
}  // namespace tavrino::testing
