// The page's switches, the per-page reset, the banners of the previous screen
// and the store cost of a page view.

#include "core/pageview_test.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/ui/window.hpp"

namespace tavrino {
namespace {

using PageviewSwitchesTest = testing::PageviewTest;

TEST_F(PageviewSwitchesTest, SwitchesReachTheStoreAndTheConfiguration) {
  view({{"p", "Home"},
        {"_secureonly", "1"},
        {"_qiv_plt", "React-Native"},
        {"_runa", "host.run"},
        {"cuid", "member-9"},
        {"_push_req_to", "x"},
        {"s_btm", "40"},
        {"shkthr", "2.25"}});
  EXPECT_EQ(stored("_secureonly"), "1");
  EXPECT_EQ(stored("_native_click"), "0");
  EXPECT_EQ(stored("_react_store_push"), "1");
  EXPECT_EQ(stored("_push_req_to"), "300");
  EXPECT_EQ(stored("_default_cdn_domain"), "//cdn.tavrino.invalid");
  EXPECT_EQ(config([](SharedConfiguration& c) { return c.currentPageName; }), "HomeScreen");
  EXPECT_EQ(client->s_btm, 40);
  EXPECT_DOUBLE_EQ(client->task.shkThr(), 2.25);

  // Switches the next page leaves out take their defaults again.
  view({{"p", "Home"},
        {"_qiv_plt", "native"},
        {"s_btm", "1.5"},
        {"shkthr", "strong"},
        {"_default_cdn_domain", "//cdn.example"}});
  EXPECT_EQ(stored("_secureonly"), "0");
  EXPECT_EQ(stored("_react_store_push"), "0");
  EXPECT_EQ(stored("_default_cdn_domain"), "//cdn.example");
  EXPECT_EQ(stored("_cuid"), "");
  EXPECT_EQ(stored("cuid2"), "member-9");  // the member outlives the page
  EXPECT_EQ(client->s_btm, 0);
  EXPECT_DOUBLE_EQ(client->task.shkThr(), 1.3);
  EXPECT_EQ(config([](SharedConfiguration& c) { return c.runa; }), "host.run");
}

TEST_F(PageviewSwitchesTest, PushAndHashSwitchesFollowTheirRules) {
  struct Case {
    std::optional<std::string> storedPush, localPush, expectedPush;
  };
  const Case pushCases[] = {
      {std::nullopt, std::nullopt, "0"}, {std::nullopt, "1", "1"}, {"0", "x", "0"},
      {"1", std::nullopt, ""},           {"1", "0", "0"},          {"", "1", "1"},
  };
  for (const auto& c : pushCases) {
    if (c.storedPush) {
      Util::setCookieToQIVDefaults("_enable_push", *c.storedPush);
    } else {
      Util::removeCookieFromQIVDefaults("_enable_push");
    }
    StringMap page = {{"p", "Home"}};
    if (c.localPush) page["_enable_push"] = *c.localPush;
    view(page);
    EXPECT_EQ(stored("_enable_push"), *c.expectedPush)
        << c.storedPush.value_or("absent") << " / " << c.localPush.value_or("absent");
  }
  view({{"p", "Home"}, {"_enable_hash", "sha"}});
  EXPECT_EQ(stored("_enable_hash"), "sha");
  view();
  EXPECT_EQ(stored("_enable_hash"), "");
  // The empty text the rule leaves behind is no hash: hash mode stays off
  // instead of flipping on at every second page view.
  EXPECT_FALSE(Tavrino::isEnabledHash());
  view();
  EXPECT_EQ(stored("_enable_hash"), "0");
  EXPECT_FALSE(Tavrino::isEnabledHash());
}

TEST_F(PageviewSwitchesTest, EveryPageStartsItsCampaignStateAfresh) {
  processState().withCampaign([](CampaignState& c) {
    c.responseReady = true;
    c.pendingCustomEvents = {"qivo.custom.add"};
    c.pendingBadgeRequested = true;
    c.pendingBadgeMaps = {{{"qivlid", "[]"}}};
  });
  processState().withConfig([](SharedConfiguration& c) { c.pendingItems = {"item-1"}; });
  view();
  processState().withCampaign([](CampaignState& c) {
    EXPECT_FALSE(c.responseReady);
    EXPECT_TRUE(c.pendingCustomEvents.empty());
    EXPECT_FALSE(c.pendingBadgeRequested);
    EXPECT_TRUE(c.pendingBadgeMaps.empty());
  });
  processState().withConfig([](SharedConfiguration& c) {
    EXPECT_EQ(c.pageItems, std::vector<std::string>{"item-1"});
    EXPECT_TRUE(c.pendingItems.empty());
    EXPECT_TRUE(c.allowedDomains.has_value());
  });

  // An empty map only counts the call and drops the pushed link, even after the visit ended.
  Util::setCookieToQIVDefaults("_push_click_link", "https://example.com/x");
  const auto before = Util::qivDefaults()->dictionaryRepresentation();
  const auto counter = processState().execcounter();
  clock().advance(std::chrono::minutes(40));
  view({});
  EXPECT_EQ(processState().execcounter(), counter + 1);
  EXPECT_FALSE(Util::qivDefaults()->object("_push_click_link").has_value());
  Util::setCookieToQIVDefaults("_push_click_link", "https://example.com/x");
  EXPECT_EQ(Util::qivDefaults()->dictionaryRepresentation(), before);
}

TEST_F(PageviewSwitchesTest, ScreenChangeRemovesThePreviousBannersVirtualPageKeepsThem) {
  auto window = ui::Window::make(ui::Rect::make(0, 0, 320, 640));
  window->setRootViewController(home);
  dynamic_cast<platform::LinuxApplication&>(platform::current().application()).setKeyWindow(window);
  auto banner = ui::View::make(), other = ui::View::make(), nested = ui::View::make();
  banner->setAccessibilityIdentifier("qiv_banner");
  other->setAccessibilityIdentifier("host_toast");
  nested->setAccessibilityIdentifier("qiv_banner");
  window->addSubview(banner);
  window->addSubview(other);
  other->addSubview(nested);

  client->execute(home, {{"p", "Home"}}, "1");
  EXPECT_EQ(banner->superview(), window);
  view();
  EXPECT_EQ(banner->superview(), nullptr);
  EXPECT_EQ(other->superview(), window);
  EXPECT_EQ(nested->superview(), other) << "only direct subviews of the window go";
}

TEST_F(PageviewSwitchesTest, CompanyIdWithADashKeepsItsSecondPiece) {
  Tavrino dashed("http://127.0.0.1:9/", "1234", "0");
  processState().withConfig([](SharedConfiguration& c) { c.companyId = "acme-77-eu"; });
  dashed.execute(home, {{"p", "Home"}});
  EXPECT_EQ(stored("_s"), "77");
  EXPECT_NE(dashed.baseLink.find("s=77"), std::string::npos);
}

}  // namespace
}  // namespace tavrino
