// Taps on a banner's controls that lead to a click: what is recorded and
// reported, and where the click goes.

#include <gtest/gtest.h>

#include "banner/click_test.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
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

TEST_F(ClickButtonTest, CookiesOffStillReportsAndRaisesTheEvent) {
  ASSERT_TRUE(tapOk(popUp({{"zbid", "4"}, {"cckie", "0"}})));
  EXPECT_FALSE(stored("qiv_c_4") || stored("qiv_lzbid") || Util::hasUniqueCookie("4", "1", "C"));
  awaitRequestWith(dispatch(), service, "/t", "zbid", "4");
  EXPECT_TRUE(log().contains("create custom event called. event name : qiv_click_4_1"));
}

TEST_F(ClickButtonTest, TargetsOpenInsideOutsideOrNowhere) {
  struct Case {
    const char *uapp, *u_target, *opened, *browser;  // "": none
  };
  const Case cases[] = {
      {"//shop.example/a", "", "", "https://shop.example/a"},
      {"https://shop.example/b?x=1", "0", "", "https://shop.example/b?x=1"},
      {"//shop.example/d", "1", "https://shop.example/d", ""},
      // Other schemes leave the application whatever "u_target" says.
      {"myapp://product/7", "", "myapp://product/7", ""},
      {"myapp://product/8", "1", "myapp://product/8", ""},
      // A target that forms no URL is not opened; the banner still closes.
      {"not a url", "1", "", ""},
      {"mailto:a@b\r\nX: y", "", "", ""},
  };
  for (const auto& c : cases) {
    const auto before = opened().size();
    auto banner = popUp({{"zbid", "3"}, {"uapp", c.uapp}, {"u_target", c.u_target}, {"ccc", "0"}});
    ASSERT_TRUE(tapOk(banner));
    const auto now = opened();
    // The browser stays until closed.
    EXPECT_EQ(std::tuple(now.size() - before, now.empty() ? "" : now.back(), attached(*banner),
                         banner->inAppBrowser ? contentOf(*banner->inAppBrowser).request.url : ""),
              std::tuple(*c.opened ? 1u : 0u,
                         *c.opened     ? c.opened
                         : now.empty() ? ""
                                       : now.back(),
                         *c.browser != 0, std::string(c.browser)))
        << c.uapp;
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

TEST_F(ClickButtonTest, WithoutItsHostTheRunMapWaitsButTheClickCounts) {
  int calls = 0;
  Registry::shared().registerMethod<Tracker>("Tracker", "clicked",
                                             [&calls](Tracker&, const Value&) { ++calls; });
  auto banner = popUp({{"zbid", "8"}});
  auto orphan = ui::customButton::make();
  orphan->customArray = {{"zbid", "8"},
                         {"run", {{"runc_class", "Tracker"}, {"runc_function", "clicked"}}}};
  banner->setClickCookie2(*orphan);
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(stored("qiv_c_8"));
  awaitRequestWith(dispatch(), service, "/t", "zbid", "8");

  // A plain button carries no campaign: nothing is recorded.
  banner->setClickCookie(*ui::Button::make());
  EXPECT_TRUE(log().contains("click sender carries no campaign.return."));
  EXPECT_EQ(clickHits(), 1u);
}

TEST_F(ClickButtonTest, TheClickMarksItsInboxMessageReadWhenTheInboxIsOn) {
  Util::setCookieToQIVDefaults("qiv_inbox_groupname", "group.test");
  QivInbox inbox;
  inbox.setStoreName("group.test");
  inbox.setMessage(Value{{"zbid", "12"}, {"qivibxr", "2"}});
  ASSERT_TRUE(tapOk(popUp({{"zbid", "12"}})));
  EXPECT_EQ(inbox.getMessage("12").status, "2");
  Util::setCookieToQIVDefaults("_enable_inbox", "1");
  ASSERT_TRUE(tapOk(popUp({{"zbid", "12"}})));
  EXPECT_EQ(inbox.getMessage("12").status, "1");
}

}  // namespace
}  // namespace tavrino::testing
