// The page's switches, the per-page reset, the banners of the previous screen
// and the store cost of a page view.

#include <gtest/gtest.h>

#include "core/shared_configuration.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/ui/window.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

class PageviewSwitchesTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    client.emplace("http://127.0.0.1:9/", "1234", "0");
  }
  void TearDown() override {
    client.reset();
    SdkTest::TearDown();
  }

  static std::string stored(std::string_view key) { return Util::readDefault(key); }
  template <typename Fn>
  static auto config(Fn fn) {
    return processState().withConfig(fn);
  }

  std::optional<Tavrino> client;
  std::shared_ptr<ui::ViewController> home = std::make_shared<ui::ViewController>("HomeScreen");
};

TEST_F(PageviewSwitchesTest, SwitchesReachTheStoreAndTheConfiguration) {
  client->execute(home, {{"p", "Home"},
                         {"_secureonly", "1"},
                         {"_qiv_plt", "React-Native"},
                         {"_enable_orientation", "1"},
                         {"_adetaildecimalchar", ","},
                         {"_runa", "host.run"},
                         {"_req_to", "2.5"},
                         {"_push_req_to", "x"},
                         {"s_btm", "40"},
                         {"s_top", "12"},
                         {"shkthr", "2.25"}});
  EXPECT_EQ(stored("_secureonly"), "1");
  EXPECT_EQ(stored("_native_click"), "0");
  EXPECT_EQ(stored("_react_store_push"), "1");
  EXPECT_EQ(stored("_push_req_to"), "300");
  EXPECT_EQ(stored("_default_cdn_domain"), "//cdn.tavrino.invalid");
  EXPECT_EQ(config([](SharedConfiguration& c) { return c.orientationFlag; }), "1");
  EXPECT_EQ(config([](SharedConfiguration& c) { return c.decimalChar; }), ",");
  EXPECT_EQ(config([](SharedConfiguration& c) { return c.runa; }), "host.run");
  EXPECT_EQ(config([](SharedConfiguration& c) { return c.requestTimeoutText; }), "2.5");
  EXPECT_EQ(config([](SharedConfiguration& c) { return c.currentPageName; }), "HomeScreen");
  EXPECT_EQ(client->s_btm, 40);
  EXPECT_EQ(client->s_top, 12);
  EXPECT_DOUBLE_EQ(client->task.shkThr(), 2.25);

  // Switches the next page leaves out take their defaults again.
  client->execute(home, {{"p", "Home"},
                         {"_qiv_plt", "native"},
                         {"s_btm", "1.5"},
                         {"shkthr", "strong"},
                         {"_default_cdn_domain", "//cdn.example"}});
  EXPECT_EQ(stored("_secureonly"), "0");
  EXPECT_EQ(stored("_react_store_push"), "0");
  EXPECT_EQ(stored("_default_cdn_domain"), "//cdn.example");
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
    client->execute(home, page);
    EXPECT_EQ(stored("_enable_push"), *c.expectedPush)
        << c.storedPush.value_or("absent") << " / " << c.localPush.value_or("absent");
  }

  client->execute(home, {{"p", "Home"}, {"_enable_hash", "sha"}});
  EXPECT_EQ(stored("_enable_hash"), "sha");
  client->execute(home, {{"p", "Home"}});
  EXPECT_EQ(stored("_enable_hash"), "");
  client->execute(home, {{"p", "Home"}});
  EXPECT_EQ(stored("_enable_hash"), "0");
}

TEST_F(PageviewSwitchesTest, EveryPageStartsItsCampaignStateAfresh) {
  processState().withCampaign([](CampaignState& c) {
    c.responseReady = true;
    c.pendingCustomEvents = {"qivo.custom.add"};
    c.pendingBadgeRequested = true;
    c.pendingBadgeMaps = {{{"qivlid", "[]"}}};
  });
  processState().withConfig([](SharedConfiguration& c) { c.pendingItems = {"item-1"}; });
  const auto before = processState().execcounter();
  client->execute(home, {{"p", "Home"}});
  EXPECT_EQ(processState().execcounter(), before + 1);
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
    EXPECT_TRUE(c.allowedFunctions.has_value());
  });

  Util::setCookieToQIVDefaults("_push_click_link", "https://example.com/x");
  client->execute(home, {});
  EXPECT_FALSE(Util::qivDefaults()->object("_push_click_link").has_value());
}

TEST_F(PageviewSwitchesTest, ScreenChangeRemovesThePreviousBannersVirtualPageKeepsThem) {
  auto window = ui::Window::make(ui::Rect::make(0, 0, 320, 640));
  window->setRootViewController(home);
  dynamic_cast<platform::LinuxApplication&>(platform::current().application()).setKeyWindow(window);
  auto addTagged = [&](const char* identifier) {
    auto view = ui::View::make(ui::Rect::make(0, 0, 320, 80));
    view->setAccessibilityIdentifier(identifier);
    window->addSubview(view);
    return view;
  };
  auto banner = addTagged("qiv_banner");
  auto other = addTagged("host_toast");
  auto nested = ui::View::make();
  nested->setAccessibilityIdentifier("qiv_banner");
  other->addSubview(nested);

  client->execute(home, {{"p", "Home"}}, "1");
  EXPECT_EQ(banner->superview(), window);
  EXPECT_EQ(config([](SharedConfiguration& c) { return c.virtualFlag; }), "1");

  client->execute(home, {{"p", "Home"}});
  EXPECT_EQ(banner->superview(), nullptr);
  EXPECT_EQ(other->superview(), window);
  EXPECT_EQ(nested->superview(), other) << "only direct subviews of the window go";
  EXPECT_EQ(config([](SharedConfiguration& c) { return c.virtualFlag; }), "0");
}

TEST_F(PageviewSwitchesTest, CompanyIdWithADashKeepsItsSecondPiece) {
  Tavrino dashed("http://127.0.0.1:9/", "1234", "0");
  processState().withConfig([](SharedConfiguration& c) { c.companyId = "acme-77-eu"; });
  dashed.execute(home, {{"p", "Home"}});
  EXPECT_EQ(stored("_s"), "77");
  EXPECT_EQ(config([](SharedConfiguration& c) { return c.companyId; }), "77");
  EXPECT_NE(dashed.baseLink.find("s=77"), std::string::npos);
}

TEST_F(PageviewSwitchesTest, AppGroupGetsTheVisitorAndMember) {
  client->setAppGroupName("group.demo");
  client->execute(home, {{"p", "Home"}, {"cuid", "member-9"}});
  auto group = platform::current().userDefaults().suite("group.demo");
  EXPECT_EQ(group->string("uid"), stored("uid"));
  EXPECT_EQ(group->string("cuid"), "member-9");
  EXPECT_EQ(stored("_cuid"), "member-9");
  EXPECT_EQ(stored("cuid2"), "member-9");

  client->execute(home, {{"p", "Home"}});
  EXPECT_EQ(group->string("cuid"), "member-9");
  EXPECT_EQ(stored("_cuid"), "");
  EXPECT_EQ(stored("cuid2"), "member-9");
}

}  // namespace
}  // namespace tavrino
