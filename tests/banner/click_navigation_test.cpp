// Links followed inside a banner's web page, and the controller's other
// duties as navigation delegate.

#include <gtest/gtest.h>

#include "banner/click_test.hpp"

namespace tavrino::testing {
namespace {

using platform::NavigationPolicy;
using platform::NavigationType;

class ClickNavigationTest : public ClickTest {
 protected:
  std::shared_ptr<popUpController> webBanner() {
    auto banner = show({{"zbid", "21"}, {"clickid", "3"}, {"cap", "<a href='x'>x</a>"}}, "lbcs", {},
                       {{"p", "Home"}});
    EXPECT_TRUE(attached(*banner));
    EXPECT_TRUE(banner->webView);
    return banner;
  }
};

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
