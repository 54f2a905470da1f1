// Taps on a banner's controls that lead to a click: what is recorded and
// reported, and where the click goes; the plain OK tap end to end.

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
      {"https://shop.example/c", "1", "https://shop.example/c", ""},
      {"//shop.example/d", "1", "https://shop.example/d", ""},
      // Other schemes leave the application whatever "u_target" says.
      {"myapp://product/7", "", "myapp://product/7", ""},
      {"myapp://product/8", "1", "myapp://product/8", ""},
      {"tel:+4930123", "", "tel:+4930123", ""},
      // A target that forms no URL is not opened; the banner still closes.
      {"not a url", "1", "", ""},
      {"https://shop.example/ e", "1", "", ""},
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

TEST_F(ClickButtonTest, TheClickMarksItsInboxMessageRead) {
  Util::setCookieToQIVDefaults("qiv_inbox_groupname", "group.test");
  QivInbox inbox;
  inbox.setStoreName("group.test");
  inbox.setMessage(Value{{"zbid", "12"}, {"qivibxr", "2"}});
  inbox.setMessage(Value{{"zbid", "13"}, {"qivibxr", "2"}});
  const auto statuses = [&] {
    return std::pair(inbox.getMessage("12").status, inbox.getMessage("13").status);
  };
  ASSERT_TRUE(tapOk(popUp({{"zbid", "12"}})));
  EXPECT_EQ(statuses(), (std::pair<std::string, std::string>("2", "2"))) << "the inbox is off";
  Util::setCookieToQIVDefaults("_enable_inbox", "1");
  ASSERT_TRUE(tapOk(popUp({{"zbid", "12"}})));
  EXPECT_EQ(statuses(), (std::pair<std::string, std::string>("1", "2")));
}

// A click end to end over loopback: a page view's pop-up reaches the host's
// screen, and a tap on its OK button is reported, recorded, raises the click
// event (which releases the action filed for it) and closes the banner.
class ClickE2ETest : public EngineTest {};

TEST_F(ClickE2ETest, OkTapIsReportedRecordedRaisedAndCloses) {
  auto window = ui::Window::make(ui::Rect::make(0, 0, 390, 844));
  window->setRootViewController(view);
  auto& application = dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  application.setKeyWindow(window);
  answerWith(R"([{"function": "ui_sb", "params": {"uvp": "p", "zbid": "9", "zid": "1",
      "clickid": "2", "bsc": "imgtxt", "img": ")" +
             baseUrl + R"(img/pop.png", "btx": "Go", "clcend": "30", "appid": "shop",
      "di": "banner"}},
    {"function": "add_act", "params": {"id": "30", "di": "i", "pt": "v", "v": "x",
      "e": "CUSTOMEVENT", "ce": "qivo.custom.qiv_click_9_2"}}])");
  ASSERT_TRUE(pageView());
  // The banner on the host's screen, or null.
  const auto shown = [&]() -> std::shared_ptr<popUpController> {
    for (const auto& child : view->children()) {
      auto banner = std::dynamic_pointer_cast<popUpController>(child);
      if (banner && banner->isViewLoaded() && banner->view()->superview() == view->view())
        return banner;
    }
    return nullptr;
  };
  ASSERT_TRUE(waitUntil([&] { return shown() != nullptr; }));
  auto banner = shown();
  const auto end = std::to_string(clock().epochSeconds() + 1800);

  auto ok = button(banner->view(), "Go");
  ASSERT_TRUE(ok && ok->sendTouchUpInside());
  expectQuery(awaitRequestWith(dispatch(), service, "/t", "a", "c"),
              "zbid=9&di=banner&s=1234&p=Home");
  EXPECT_EQ(std::pair(Util::readDefault("qiv_c_9"), Util::readDefault("qiv_lzbidshop")),
            std::pair("1 " + end, "9 " + end));
  EXPECT_TRUE(Util::hasUniqueCookie("9", "2", "C")) << "the click marker";
  EXPECT_TRUE(log().contains("create custom event called. event name : qiv_click_9_2"));
  awaitRequestWith(dispatch(), service, "/t", "aid", "30");

  EXPECT_FALSE(shown()) << "no target: the click only closes";
  EXPECT_EQ(banner->closecounter, 0) << "a click is not the user closing";
  EXPECT_TRUE(application.openedURLs().empty());
  application.setKeyWindow(nullptr);
}

}  // namespace
}  // namespace tavrino::testing
