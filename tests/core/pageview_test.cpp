// Page views: visitor and visit bookkeeping across the manual clock and a
// restart, the page's switches and per-page reset, the app group's copy, and
// the store cost of a page view. The client's requests go nowhere (the loop
// that would send them is never pumped).

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "core/shared_configuration.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/ui/window.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

using std::chrono::minutes;
using std::chrono::seconds;
using testing::kTestEpoch;

class PageviewTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    client.emplace("http://127.0.0.1:9/", "1234", "0");
  }
  void TearDown() override {
    client.reset();
    SdkTest::TearDown();
  }
  void view(StringMap page = {{"p", "Home"}}) { client->execute(home, page); }
  static std::string stored(std::string_view key) { return Util::readDefault(key); }
  static std::string at(std::int64_t offset = 0) { return std::to_string(kTestEpoch + offset); }
  template <typename Fn>
  static auto config(Fn fn) {
    return processState().withConfig(fn);
  }
  static std::shared_ptr<platform::UserDefaultsSuite> group() {
    return platform::current().userDefaults().suite("group.demo");
  }
  static std::string inGroup(std::string_view key) {
    return group()->string(key).value_or("<absent>");
  }

  std::optional<Tavrino> client;
  std::shared_ptr<ui::ViewController> home = std::make_shared<ui::ViewController>("HomeScreen");
};

// The visitor is made once. A visit ends after 30 minutes (or the page's
// "_vto") without a page view, also across a restart; only the visit counters
// go with it.
TEST_F(PageviewTest, VisitorAndVisitsAcrossTimeOutsARestartAndCorruptCounters) {
  Util::setCategoryToQIVDefaults("_secureonly", 0);  // describes as "0", but the switch is a text
  Util::setCategoryToQIVDefaults("_native_click", Value::array());
  view();
  const std::string uid = stored("uid");
  ASSERT_EQ(uid.size(), 36u);
  EXPECT_EQ(uid[14], '4');
  EXPECT_EQ(storedAll("vc pvc ftu visitflag fvt uids _secureonly _native_click"),
            "vc=1 pvc=1 ftu=1 visitflag=true fvt=" + at() + " uids=" + uid + "|" + at() + "|" +
                at() + "|" + at() + " _secureonly=0 _native_click=0");
  clock().advance(seconds(10));
  Tavrino other("http://127.0.0.1:9/", "1234", "0");
  other.execute(home, {{"p", "Home"}, {"ls", "~"}});
  EXPECT_EQ(storedAll("uid pvc vc ftu qiv_vstp vt uids"),
            "uid=" + uid + " pvc=2 vc=1 !ftu qiv_vstp=" + at() + " vt=" + at(10) + " uids=" + uid +
                "~" + at() + "~" + at(10) + "~" + at(10));

  // Another writer's switch is put back.
  storeAll(
      "visitcount_7=1;visitflag=false;usercount_7=1;visitcounter=1;visitcount=1;_push_req_to=5");
  clock().advance(minutes(30));
  view();
  EXPECT_EQ(storedAll("vc pvc ftu _push_req_to"), "vc=1 pvc=3 !ftu _push_req_to=300")
      << "exactly 30 minutes is still the same visit";
  clock().advance(minutes(31));
  view();
  EXPECT_EQ(
      storedAll("vc pvc visitflag visitcount_7 usercount_7 ftu qiv_vstp visitcount visitcounter"),
      "vc=2 pvc=1 visitflag=true !visitcount_7 usercount_7=1 !ftu qiv_vstp=" + at(30 * 60 + 10) +
          " visitcount=1 visitcounter=1");
  restartPlatform();
  clock().advance(minutes(10));
  Tavrino restarted("http://127.0.0.1:9/", "1234", "0");
  restarted.execute(home, {{"p", "Home"}});
  EXPECT_EQ(storedAll("uid vc pvc"), "uid=" + uid + " vc=2 pvc=2");

  // The page count saturates; no new visit to take a count from.
  storeAll("vc=lots;pvc=9223372036854775807;fvt=yesterday");
  view();
  EXPECT_EQ(storedAll("pvc vc fvt"), "pvc=9223372036854775807 vc=0 fvt=" + at(71 * 60 + 10));
  storeAll("vt=soon;vc=-4");
  view();
  EXPECT_EQ(storedAll("vc pvc"), "vc=1 pvc=1") << "an unreadable visit time starts a visit";

  view({{"p", "Home"}, {"_vto", "5"}});
  clock().advance(minutes(5) + seconds(1));
  view({{"p", "Home"}, {"_vto", "5"}});
  EXPECT_EQ(stored("vc"), "2");
  // A time-out that is not a whole number of minutes, at least 0, falls back to 30.
  for (const char* bad : {"2.5", "-3"}) {
    clock().advance(minutes(10));
    view({{"p", "Home"}, {"_vto", bad}});
    EXPECT_EQ(stored("vc") + " " + config([](SharedConfiguration& c) { return c.vto; }), "2 30")
        << bad;
  }
  // A huge one never overflows: the visit simply never ends.
  view({{"p", "Home"}, {"_vto", "9223372036854775807"}});
  clock().advance(minutes(60 * 24 * 365));
  view({{"p", "Home"}, {"_vto", "9223372036854775807"}});
  EXPECT_EQ(stored("vc"), "2");
}

TEST_F(PageviewTest, SwitchesReachTheStoreAndTheConfiguration) {
  view({{"p", "Home"},
        {"_secureonly", "1"},
        {"_qiv_plt", "React-Native"},
        {"_runa", "host.run"},
        {"cuid", "member-9"},
        {"_push_req_to", "x"},
        {"s_btm", "40"},
        {"shkthr", "2.25"}});
  EXPECT_EQ(
      storedAll("_secureonly _native_click _react_store_push _push_req_to _default_cdn_domain"),
      "_secureonly=1 _native_click=0 _react_store_push=1 _push_req_to=300 "
      "_default_cdn_domain=//cdn.tavrino.invalid");
  EXPECT_EQ(std::tuple(config([](SharedConfiguration& c) { return c.currentPageName; }),
                       client->s_btm, client->task.shkThr()),
            std::tuple("HomeScreen", 40, 2.25));

  // Switches the next page leaves out take their defaults again.
  view({{"p", "Home"},
        {"_qiv_plt", "native"},
        {"s_btm", "1.5"},
        {"shkthr", "strong"},
        {"_default_cdn_domain", "//cdn.example"}});
  // The member outlives the page.
  EXPECT_EQ(storedAll("_secureonly _react_store_push _default_cdn_domain _cuid cuid2"),
            "_secureonly=0 _react_store_push=0 _default_cdn_domain=//cdn.example _cuid= "
            "cuid2=member-9");
  EXPECT_EQ(std::tuple(config([](SharedConfiguration& c) { return c.runa; }), client->s_btm,
                       client->task.shkThr()),
            std::tuple("host.run", 0, 1.3));

  // A company id with a dash keeps its second piece.
  processState().withConfig([](SharedConfiguration& c) { c.companyId = "acme-77-eu"; });
  view();
  EXPECT_EQ(stored("_s"), "77");
  EXPECT_NE(client->baseLink.find("s=77"), std::string::npos);
}

TEST_F(PageviewTest, PushAndHashSwitchesFollowTheirRules) {
  // Stored, the page's (null: absent), stored after.
  const char* pushCases[][3] = {
      {nullptr, nullptr, "0"}, {nullptr, "1", "1"}, {"1", nullptr, ""}, {"1", "0", "0"}};
  for (const auto& [storedPush, localPush, expected] : pushCases) {
    storedPush ? Util::setCookieToQIVDefaults("_enable_push", storedPush)
               : Util::removeCookieFromQIVDefaults("_enable_push");
    StringMap page = {{"p", "Home"}};
    if (localPush) page["_enable_push"] = localPush;
    view(page);
    EXPECT_EQ(stored("_enable_push"), expected)
        << (storedPush ? storedPush : "-") << " / " << (localPush ? localPush : "-");
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

TEST_F(PageviewTest, EveryPageStartsItsCampaignStateAfreshAndRemovesThePreviousBanners) {
  auto window = ui::Window::make(ui::Rect::make(0, 0, 320, 640));
  window->setRootViewController(home);
  dynamic_cast<platform::LinuxApplication&>(platform::current().application()).setKeyWindow(window);
  auto banner = ui::View::make();
  banner->setAccessibilityIdentifier("qiv_banner");
  window->addSubview(banner);

  client->execute(home, {{"p", "Home"}}, "1");  // a virtual page view keeps the banners
  EXPECT_EQ(banner->superview(), window);
  processState().withCampaign([](CampaignState& c) {
    c.responseReady = true;
    c.pendingCustomEvents = {"qivo.custom.add"};
    c.pendingBadgeRequested = true;
    c.pendingBadgeMaps = {{{"qivlid", "[]"}}};
  });
  processState().withConfig([](SharedConfiguration& c) { c.pendingItems = {"item-1"}; });
  view();
  EXPECT_EQ(banner->superview(), nullptr);
  EXPECT_EQ(processState().withCampaign([](CampaignState& c) {
    return std::tuple(c.responseReady, c.pendingCustomEvents.size(), c.pendingBadgeRequested,
                      c.pendingBadgeMaps.size());
  }),
            std::tuple(false, 0u, false, 0u));
  EXPECT_EQ(config([](SharedConfiguration& c) {
              return std::tuple(c.pageItems, c.pendingItems.size(), c.allowedDomains.has_value());
            }),
            std::tuple(std::vector<std::string>{"item-1"}, 0u, true));
  // An empty map only counts the call and drops the pushed link, even after the visit ended.
  Util::setCookieToQIVDefaults("_push_click_link", "https://example.com/x");
  const auto before = Util::qivDefaults()->dictionaryRepresentation();
  const auto counter = processState().execcounter();
  clock().advance(minutes(40));
  view({});
  EXPECT_EQ(processState().execcounter(), counter + 1);
  EXPECT_FALSE(Util::qivDefaults()->object("_push_click_link").has_value());
  Util::setCookieToQIVDefaults("_push_click_link", "https://example.com/x");
  EXPECT_EQ(Util::qivDefaults()->dictionaryRepresentation(), before);
}

// A host's "_anid" replaces the visitor id; an empty one changes nothing.
// The app group's copy follows, put right when changed elsewhere.
TEST_F(PageviewTest, AnidReplacesTheVisitorAndTheAppGroupCopyFollows) {
  Util::setCookieToQIVDefaults("qiv_inbox_groupname", "group.demo");
  view({{"p", "Home"}, {"cuid", "m1"}});
  group()->set("cuid", Value(7));  // not even a text
  view({{"p", "Home"}, {"_anid", "anon-1"}, {"cuid", "m1"}});
  view({{"p", "Home"}, {"_anid", ""}});
  EXPECT_EQ(inGroup("uid") + " " + inGroup("cuid") + " " + stored("uid") + " " +
                stored("uids").substr(0, 7),
            "anon-1 m1 anon-1 anon-1|");
}

}  // namespace
}  // namespace tavrino
