// Clicks end to end over loopback: a page view's banners reach the host's
// screen, and a tap on the OK button, a link in the web banner and a strip's
// target are reported, recorded and followed.

#include <map>

#include "campaign/engine_test.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/platform/linux_web_engine.hpp"
#include "tavrino/ui/window.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {
namespace {

class ClickE2ETest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    window = ui::Window::make(ui::Rect::make(0, 0, 390, 844));
    window->setRootViewController(view);
    application().setKeyWindow(window);
  }
  void TearDown() override {
    application().setKeyWindow(nullptr);
    EngineTest::TearDown();
  }

  platform::LinuxApplication& application() {
    return dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  }

  // The banners on the host's screen, by campaign id.
  std::map<std::string, std::shared_ptr<popUpController>> shown() {
    std::map<std::string, std::shared_ptr<popUpController>> banners;
    for (const auto& child : view->children()) {
      auto banner = std::dynamic_pointer_cast<popUpController>(child);
      if (banner && banner->isViewLoaded() && banner->view()->superview() == view->view()) {
        banners[Util::tryCatch(banner->sender_customArray, "zbid", "")] = banner;
      }
    }
    return banners;
  }

  static std::shared_ptr<ui::Button> titled(const std::shared_ptr<ui::View>& root,
                                            std::string_view title) {
    for (const auto& child : root->subviews()) {
      if (auto b = std::dynamic_pointer_cast<ui::Button>(child); b && b->title() == title) {
        return b;
      }
      if (auto deeper = titled(child, title)) return deeper;
    }
    return nullptr;
  }

  // The click hit of a campaign (its impression goes to the same endpoint).
  service::RecordedRequest clickHit(const std::string& zbid) {
    std::optional<service::RecordedRequest> found;
    dispatch().runUntil(
        [&] {
          for (const auto& request : service.requests("/t")) {
            if (request.queryValue("zbid") == zbid && request.queryValue("a") == "c") {
              found = request;
            }
          }
          return found.has_value();
        },
        std::chrono::seconds(5));
    if (!found) ADD_FAILURE() << "no click hit for " << zbid;
    return found.value_or(service::RecordedRequest{});
  }

  std::string answer() const {
    const Value campaigns = Value::array({
        {{"function", "ui_sb"},
         {"params",
          {{"uvp", "p"},
           {"zbid", "9"},
           {"zid", "1"},
           {"clickid", "2"},
           {"bsc", "imgtxt"},
           {"img", baseUrl + "img/pop.png"},
           {"btx", "Go"},
           {"clcend", "30"},
           {"appid", "shop"},
           {"di", "banner"}}}},
        {{"function", "ui_sb"},
         {"params",
          {{"uvp", "p"},
           {"zbid", "21"},
           {"zid", "2"},
           {"bsc", "lbcs"},
           {"cap", "<a href='https://shop.example/p'>Shop</a>"},
           {"w", "320px"},
           {"h", "240px"}}}},
        {{"function", "ui_sb"},
         {"params",
          {{"uvp", "p"},
           {"zbid", "31"},
           {"zid", "3"},
           {"bsc", "tl"},
           {"bc", "nt"},
           {"cap", "Deal"},
           {"btx", "Open"},
           {"uapp", "//shop.example/deal"}}}},
        // What the OK button's click event releases.
        {{"function", "add_act"},
         {"params",
          {{"id", "30"},
           {"di", "i"},
           {"pt", "v"},
           {"v", "x"},
           {"e", "CUSTOMEVENT"},
           {"ce", "qivo.custom.qiv_click_9_2"}}}},
    });
    return campaigns.dump();
  }

  std::shared_ptr<ui::Window> window;
};

TEST_F(ClickE2ETest, TapsAndLinksAreReportedRecordedAndFollowed) {
  answerWith(answer());
  ASSERT_TRUE(pageView());
  ASSERT_TRUE(waitUntil([&] { return shown().size() == 3; })) << shown().size();
  auto banners = shown();
  const auto now = clock().epochSeconds();

  // The OK button of the image pop-up: no target, so it closes.
  auto ok = titled(banners.at("9")->view(), "Go");
  ASSERT_TRUE(ok);
  ASSERT_TRUE(ok->sendTouchUpInside());
  expectQuery(clickHit("9"), "di=banner&s=1234&p=Home");
  EXPECT_EQ(Util::readDefault("qiv_c_9"), "1 " + std::to_string(now + 1800));
  EXPECT_EQ(Util::readDefault("qiv_lzbidshop"), "9 " + std::to_string(now + 1800));
  EXPECT_TRUE(Util::hasUniqueCookie("9", "2", "C"));
  // Its "qiv_click_9_2" event released the action filed for it.
  awaitRequestWith(dispatch(), service, "/t", "aid", "30");
  EXPECT_FALSE(shown().count("9"));

  // A link activated in the web banner is opened outside; the banner closes.
  auto& web = *banners.at("21")->webView;
  std::optional<platform::NavigationPolicy> policy;
  dynamic_cast<platform::LinuxWebPage&>(web.page())
      .reportNavigationAction({platform::NavigationType::linkActivated, "https://shop.example/p"},
                              [&](platform::NavigationPolicy p) { policy = p; });
  ASSERT_TRUE(waitUntil([&] { return policy.has_value(); }));
  EXPECT_EQ(policy, platform::NavigationPolicy::allow);
  clickHit("21");
  EXPECT_FALSE(Util::readDefault("qiv_c_21").empty());
  EXPECT_TRUE(log().contains("create custom event called. event name : qiv_click_21_1"));
  EXPECT_EQ(application().openedURLs(), (std::vector<std::string>{"https://shop.example/p"}));
  EXPECT_FALSE(shown().count("21"));

  // The strip's target opens in the in-app browser over the host.
  auto open = titled(banners.at("31")->view(), "Open");
  ASSERT_TRUE(open);
  ASSERT_TRUE(open->sendTouchUpInside());
  clickHit("31");
  ASSERT_TRUE(shown().count("31")) << "the browser keeps the banner";
  auto browser = banners.at("31")->inAppBrowser;
  ASSERT_TRUE(browser);
  EXPECT_EQ(dynamic_cast<platform::LinuxWebPage&>(browser->page()).content().request.url,
            "https://shop.example/deal");
  EXPECT_EQ(application().openedURLs().size(), 1u);
}

}  // namespace
}  // namespace tavrino::testing
