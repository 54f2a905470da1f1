// Page views end to end against the reference service: the request; the
// answer's routing by kind, cookie instructions, inbox and custom-event
// filing, malformed elements, stale answers, each banner's check at its own
// turn; its campaigns on the host's screen (image pop-up, HTML pop-up, native
// strip, badges) with their impressions reported; an event and a
// badge activation waiting for the answer.

#include "campaign/engine_test.hpp"
#include "tavrino/banner/badge_definitions.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/platform/linux_motion_manager.hpp"
#include "tavrino/ui/text_view.hpp"
#include "tavrino/ui/web_view.hpp"
#include "tavrino/ui/window.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;
using testing::filed;
using testing::kTestEpoch;

using EngineE2ETest = testing::EngineTest;
using AnswerProcessingTest = testing::EngineTest;

// Only the last page view of a loop turn is fetched; the first hand-off never ran.
TEST_F(EngineE2ETest, LastPageViewOfATurnIsFetchedWithThePageAndTheVisitor) {
  auto product = std::make_shared<ui::ViewController>("ÜrünDetay");
  client->execute(view, {{"p", "First"}});
  client->execute(product, {{"a", "view"}, {"cuid", "m-1"}, {"_vto", "10"}, {"x", "1 2"}});
  // The class name is sanitised.
  const auto request = testing::awaitRequestWith(dispatch(), service, "/d", "p", "UrunDetay");
  // Both page views count, the first unfetched.
  testing::expectQuery(request, "a=view&ls=|&ps=/&s=1234&cuid=m-1&x=1 2&vc=1&pvc=2");
  EXPECT_EQ(request.queryValue("uids")->rfind(Util::readDefault("uid") + "|", 0), 0u);
  EXPECT_FALSE(request.queryValue("_vto").has_value());
  waitUntil([] { return false; }, 200ms);
  EXPECT_EQ(service.requests("/d").size(), 1u);
  EXPECT_FALSE(log().contains("executeParameters execcount did not match"));
}

TEST_F(EngineE2ETest, PushStateIsResentAtTheStartOfAVisitAndForANewMember) {
  auto& application = dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  application.setRegisteredForRemoteNotifications(true);
  application.setNotificationSettings(
      {.authorizationStatus = platform::AuthorizationStatus::authorized, .alertAllowed = true});
  storeAll("_enable_push=1;qiv_token=tok-1");
  const auto visit = [&](const std::string& cuid) {
    StringMap page{{"p", "Home"}, {"_enable_push", "1"}};
    if (!cuid.empty()) page["cuid"] = cuid;
    return pageView(page);
  };
  ASSERT_TRUE(visit(""));
  ASSERT_TRUE(waitUntil([&] { return service.requests("/u").size() == 1; }));
  EXPECT_EQ(service.requests("/u")[0].queryValue("endpoint"), "tok-1");

  for (const char* cuid : {"", "m-1", "m-1"}) ASSERT_TRUE(visit(cuid));
  ASSERT_TRUE(waitUntil([&] { return service.requests("/u").size() == 2; }));
  waitUntil([] { return false; }, 200ms);
  EXPECT_EQ(service.requests("/u").size(), 2u) << "same visit, same member: no re-send";

  Util::setCookieToQIVDefaults("qiv_token", "");
  clock().advance(31min);
  ASSERT_TRUE(visit(""));
  EXPECT_EQ(Util::readDefault("_token_state"), "false");
}

// Inbox campaigns are filed with their lifetime, and dispatched too.
TEST_F(AnswerProcessingTest, CampaignsAreRoutedByTheirKind) {
  client->enableAppInbox();
  client->setAppGroupName("group.demo");
  answerWith(R"([{"function": "ui_sb", "params": {"uvp": "p", "zbid": "1"}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "77", "qivibxmt": "news",
      "qivibxttl": 10, "qivibxcap": "Hello"}}, {"function": "ui_sb", "params": {"uvp": "p",
      "zbid": "78", "qivibxmt": "news", "qivibxttl": "0"}},
    {"function": "add_act", "params": {"id": "79", "qivibxmt": "news", "qivibxttl": "10"}},
    {"function": "add_act", "params": {"id": "3", "di": "i", "pt": "v", "v": "x"}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "2", "shEvn": "SHAKE"}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "4711", "shEvn": "CUSTOMEVENT", "evn":
      "qivo.custom.basket.add"}}, {"function": "add_act", "params": {"id": "12", "e": "CUSTOMEVENT",
      "ce": "qivo.custom.add"}}, {"function": "ui_sb", "params": {"uvp": "p", "zbid": "5", "shEvn":
      "CUSTOMEVENT", "evn": "checkout", "ce": "qivo.custom.pay"}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "6", "shEvn": "LATER"}},
    {"function": "other", "params": {"uvp": "p", "zbid": "7", "shEvn": "SHAKE"}}, {"function":
      "ui_sb", "params": {"uvp": "p", "zbid": "8", "shEvn": "CUSTOMEVENT", "evn": "plain"}}
  ])");
  ASSERT_TRUE(pageView());
  EXPECT_EQ(shows(), 3u) << "only the page-view banners show now";
  QivInbox inbox;
  inbox.setStoreName("group.demo");
  EXPECT_EQ(inbox.getMessage("77").timeoutDate, std::to_string(kTestEpoch + 600));
  EXPECT_FALSE(inbox.hasMessage("78"));
  EXPECT_FALSE(inbox.hasMessage("79"));
  testing::awaitRequestWith(dispatch(), service, "/t", "aid", "3");  // the action reports itself
  auto& motion = dynamic_cast<platform::LinuxMotionManager&>(platform::current().motionManager());
  EXPECT_TRUE(motion.isAccelerometerActive()) << "the shake campaign armed the trigger";

  const Value add = filed("add");
  EXPECT_EQ(add.size(), 2u);
  EXPECT_EQ(add["ui_sb_0_4711"]["zbid"].dump() + add["add_act_1_12"]["id"].dump(), R"("4711""12")");
  EXPECT_TRUE(filed("checkout").contains("ui_sb_0_5"));
  EXPECT_TRUE(filed("plain").is_null()) << "not a custom event of ours";
  EXPECT_EQ(client->task.function_name() + client->task.eventName(), "ui_sbCUSTOMEVENT");
  EXPECT_EQ(client->task.params()["zbid"], "8");
  EXPECT_EQ(client->task.link(), client->baseLink);
}

// Cookie instructions last: the task keeps the last campaign dispatched.
TEST_F(AnswerProcessingTest, MalformedElementsAreSkippedCookieInstructionsSetExpiringCookies) {
  answerWith(R"([5, "x", null, {"function": 1, "params": {}}, {"params": {}},
    {"function": "ui_sb"}, {"function": "ui_sb", "params": []},
    {"function": "ui_sb", "params": {"uvp": "p", "bsc": "aich", "run": "not a map"}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "2"}},
    {"function": "_sc", "params": {"n": "a", "v": "b", "t": 60, "dup": "true"}},
    {"function": "_sl", "params": {"n": "a", "v": "b"}},
    {"function": "_sc", "params": {"n": "c", "v": "d", "t": "soon"}},
    {"function": "_sc", "params": {"n": "e", "v": "f", "t": "1.5"}},
    {"function": "_sc", "params": {"n": "g", "v": "h", "t": "9223372036854775807"}},
    {"function": "_sc", "params": {"v": "nameless"}}])");
  Util::setCookieToQIVDefaults("groupname", "a");
  ASSERT_TRUE(pageView());
  for (const auto& [line, times] : std::vector<std::pair<const char*, std::size_t>>{
           {"campaign skipped. not an object", 3},
           {"campaign skipped. no function", 2},
           {"campaign skipped. no params", 2},
           {"pre inline function skipped. run is not an object", 1},
           {"cookie instruction skipped. no name", 1},
           {"activateListingBadge metot triggered", 2}}) {  // queued, then replayed
    EXPECT_EQ(count(line), times) << line;
  }
  EXPECT_EQ(shows(), 2u);
  EXPECT_EQ(client->task.function_name(), "ui_sb") << "instructions are not dispatched";
  const std::string now = std::to_string(kTestEpoch);
  // Every answer resets the group.
  EXPECT_EQ(storedAll("groupname qiv_a a c e g"),
            "groupname= qiv_a=b " + std::to_string(kTestEpoch + 60) + " a=b " + now +
                " c=d soon e=f " + now + " g=h 9223372036854775807");
  EXPECT_FALSE(Util::qivDefaults()->object("").has_value());
}

TEST_F(AnswerProcessingTest, StaleWorkIsDroppedAtEveryStage) {
  // Before the fetch starts.
  client->task.executeParameters(baseUrl + "d?p=x", view, {}, processState().execcounter() - 1);
  client->task.doinBackground(baseUrl + "d?p=x", view, {}, processState().execcounter() + 1);
  client->task.doinBackground("no url at all", view, {}, processState().execcounter());
  // Before a campaign's dispatch.
  client->task.calledEvent(view, {{"uvp", "p"}}, baseUrl, "PAGEVIEW", "ui_sb", {},
                           processState().execcounter() + 1);
  for (const char* line :
       {"executeParameters execcount did not match", "doinBackground execcount did not match",
        "this is not valid url : no url at all", "calledEvent execcount did not match"}) {
    EXPECT_TRUE(log().contains(line)) << line;
  }
  EXPECT_EQ(shows(), 0u);
  EXPECT_TRUE(service.requests("/d").empty());
  // The slow answer of an earlier page view.
  auto delayed = service::Behavior::answering(
      200, R"([{"function": "ui_sb", "params": {"uvp": "u", "zbid": "9"}}])");
  delayed.delay = 300ms;
  delayed.times = 1;
  service.setBehavior("/d", delayed);
  client->execute(view, {{"p", "First"}});
  ASSERT_TRUE(waitUntil([&] { return service.requests("/d").size() == 1; }));
  // The newer one's answer runs while it waits; its quiet banners, checked in
  // one batch, each see what the one before counted.
  answerWith(R"([{"function": "ui_sb", "params": {"uvp": "u", "zbid": "1", "shCnt": "1"}},
    {"function": "ui_sb", "params": {"uvp": "u", "zbid": "1", "shCnt": "1"}}])");
  ASSERT_TRUE(pageView({{"p", "Second"}}));
  ASSERT_TRUE(
      waitUntil([&] { return count("doinBackground callback execcount did not match") == 1; }));
  dispatch().runUntilIdle();
  EXPECT_EQ(storedAll("usercount_1 usercount_9"), "usercount_1=1 !usercount_9");
  EXPECT_EQ(shows(), 1u);
}

TEST_F(AnswerProcessingTest, EachBannerLogsItsCheckAtItsOwnTurn) {
  answerWith(
      R"([{"function": "ui_sb", "params": {"uvp": "u", "zbid": "1", "shCnt": "1", "bsc": "bdg"}},
    {"function": "ui_sb", "params": {"uvp": "u", "zbid": "1", "shCnt": "1", "bsc": "bdg"}},
    {"function": "add_act", "params": {"id": "3", "e": "CUSTOMEVENT", "ce": "qivo.custom.go"}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "2", "bsc": "bdg"}}])");
  ASSERT_TRUE(pageView());
  std::vector<std::string> sequence;
  for (const auto& line : log().lines()) {
    for (const char* wanted : {"checking showing criteria ", "ui_sb setParameters called.",
                               "per unique visitor show count.return."}) {
      if (line.ends_with(wanted)) sequence.push_back(wanted);
    }
  }
  EXPECT_EQ(sequence, (std::vector<std::string>{
                          "checking showing criteria ", "ui_sb setParameters called.",
                          "checking showing criteria ", "per unique visitor show count.return.",
                          "checking showing criteria ", "ui_sb setParameters called."}));
  EXPECT_EQ(Util::readDefault("usercount_1"), "1");
  EXPECT_TRUE(filed("go").contains("add_act_0_3"));
}

class BannerE2ETest : public testing::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    banner::BadgeDefinitions::shared().clear();
    window = ui::Window::make(ui::Rect::make(0, 0, 390, 844));
    window->setRootViewController(shop);
    application().setKeyWindow(window);
    view = shop;
    for (const char* id : {"1", "2"}) {
      auto cell = ui::View::make(ui::Rect::make(0, 100.0 * (id[0] - '0'), 390, 90));
      cell->setRestorationIdentifier(std::string("prd_") + id);
      shop->view()->addSubview(cell);
      cells.push_back(cell);
    }
  }
  void TearDown() override {
    application().setKeyWindow(nullptr);
    banner::BadgeDefinitions::shared().clear();
    EngineTest::TearDown();
  }

  platform::LinuxApplication& application() {
    return dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  }

  // The banners on the host's screen, by campaign id.
  std::map<std::string, std::shared_ptr<popUpController>> shown() {
    std::map<std::string, std::shared_ptr<popUpController>> banners;
    for (const auto& child : shop->children()) {
      auto banner = std::dynamic_pointer_cast<popUpController>(child);
      if (banner && banner->view()->superview() == shop->view()) {
        banners[Util::tryCatch(banner->sender_customArray, "zbid", "")] = banner;
      }
    }
    return banners;
  }

  std::shared_ptr<ui::ViewController> shop = std::make_shared<ui::ViewController>("Shop");
  std::shared_ptr<ui::Window> window;
  std::vector<std::shared_ptr<ui::View>> cells;
};

TEST_F(BannerE2ETest, PageViewPutsItsBannersBadgesAndImpressionsInPlace) {
  std::string answer = R"([{"function": "ui_sb", "params": {"uvp": "p", "zbid": "101", "zid": "1",
      "bsc": "img", "img": "{{base}}img/pop.png", "w": "300px", "h": "200px", "cws": "1",
      "iqivcmmid": "6", "sckie": "1", "ccend": "10"}}, {"function": "ui_sb", "params": {"uvp": "p",
      "zbid": "102", "zid": "2", "bsc": "lbcs", "cap": "<p>Hi</p>", "w": "320px", "h": "240px"}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "103", "zid": "3", "bsc": "tl", "bc": "nt",
      "cap": "Title", "btx": "OK"}}, {"function": "ui_sb", "params": {"uvp": "p", "zbid": "104",
      "zid": "4", "bsc": "bdgat", "bc": "badge", "ids": "1,2", "slc": "prd_", "cap":
      "Now $$FORMATTED$$", "bo": "{\"y\": \"5\", \"o\": \"-\", \"left\": \"0\", \"h\": \"20\"}"}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "106", "zid": "6", "bsc": "img", "shEvn": "CUSTOMEVENT", "evn": "qivo.custom.cart.add"}}])";
  answerWith(answer.replace(answer.find("{{base}}"), 8, baseUrl));
  // The event and the badge activation wait for the answer, then run.
  client->execute(shop, {{"p", "Shop"}});
  client->createEvent("add", shop, {{"basket", "1"}});
  Tavrino::activateListingBadge(
      shop, {{"qivlid", R"([{"i": "1", "p": "30"}, {"i": "2", "p": "7.5"}, {"i": "3"}])"}});
  // 101, 102, 103 and 106, the filed banner the waiting event ran.
  ASSERT_TRUE(waitUntil([&] { return shown().size() == 4; })) << shown().size();
  // Once the answer is in, events run at once and nothing waits.
  client->createEvent("add", shop, {});
  Tavrino::activateListingBadge(shop, {});
  EXPECT_EQ(count("d response not ready"), 1u);

  // Each kind at its place (the banner tests try the geometry): the image
  // pop-up with the image it fetched, the HTML one with its document.
  const auto banners = shown();
  EXPECT_EQ(banners.at("101")->activityImage.size(), (ui::Size{1, 1}));
  EXPECT_EQ(banners.at("102")->webView->superview(), banners.at("102")->containerView);

  // The badge definition laid its badges over the listed items (the
  // presentation tests try the rest of the badge rules).
  std::vector<std::string> badges;
  for (const auto& cell : cells) {
    auto text = std::dynamic_pointer_cast<ui::TextView>(cell->subviews().at(0)->subviews().at(0));
    badges.push_back(text && cell->subviews().size() == 1 ? text->text() : "-");
  }
  EXPECT_EQ(badges, (std::vector<std::string>{"Now 25,00", "Now 2,50"}));

  // Impressions: one each, reported with the kind's pairs (the banner tests
  // try the pairs and the cookies of each kind).
  EXPECT_EQ(count("create custom event called. event name : qiv_impression_10"), 5u);
  testing::expectQuery(testing::awaitRequestWith(dispatch(), service, "/t", "zbid", "101"),
                       "a=w&qivcmmid=6&qivcmmdelay=0&s=1234");
}

}  // namespace
}  // namespace tavrino
