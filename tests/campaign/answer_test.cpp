// A page view's answer over loopback: routing by kind, cookie instructions,
// inbox and custom-event filing, malformed elements, stale answers, each
// banner's check at its own turn.

#include "campaign/engine_test.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/platform/linux_motion_manager.hpp"
#include "tavrino/runtime/registry.hpp"

namespace tavrino {
namespace {

using std::chrono::milliseconds;
using testing::filed;
using testing::kTestEpoch;

using AnswerProcessingTest = testing::EngineTest;

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
  EXPECT_EQ(count("hasinboxmessage : write"), 1u);
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

  for (const char* body : {R"({"function": "ui_sb"})", "\xff\xfe garbage"}) {
    log().clear();
    answerWith(body);
    ASSERT_TRUE(pageView()) << body;
    EXPECT_EQ(shows(), 0u);
  }
}

TEST_F(AnswerProcessingTest, StaleWorkIsDroppedAtEveryStage) {
  // Before the fetch starts.
  client->task.executeParameters(baseUrl + "d?p=x", view, {}, processState().execcounter() - 1);
  EXPECT_TRUE(log().contains("executeParameters execcount did not match"));
  client->task.doinBackground(baseUrl + "d?p=x", view, {}, processState().execcounter() + 1);
  EXPECT_TRUE(log().contains("doinBackground execcount did not match"));
  client->task.doinBackground("no url at all", view, {}, processState().execcounter());
  EXPECT_TRUE(log().contains("this is not valid url : no url at all"));
  // Before a campaign's dispatch.
  client->task.calledEvent(view, {{"uvp", "p"}}, baseUrl, "PAGEVIEW", "ui_sb", {},
                           processState().execcounter() + 1);
  EXPECT_TRUE(log().contains("calledEvent execcount did not match"));
  EXPECT_EQ(shows(), 0u);
  EXPECT_TRUE(service.requests("/d").empty());
  // The answer of an earlier page view.
  auto delayed = service::Behavior::answering(
      200, R"([{"function": "ui_sb", "params": {"uvp": "u", "zbid": "9"}}])");
  delayed.delay = milliseconds(300);
  delayed.times = 1;
  service.setBehavior("/d", delayed);
  client->execute(view, {{"p", "First"}});
  ASSERT_TRUE(waitUntil([&] { return service.requests("/d").size() == 1; }));
  answerWith(R"([{"function": "ui_sb", "params": {"uvp": "u", "zbid": "1"}}])");
  ASSERT_TRUE(pageView({{"p", "Second"}}));
  ASSERT_TRUE(
      waitUntil([&] { return count("doinBackground callback execcount did not match") == 1; }));
  dispatch().runUntilIdle();
  EXPECT_EQ(Util::readDefault("usercount_1"), "1");
  EXPECT_EQ(Util::readDefault("usercount_9"), "");
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

// What an action runs between two banners of one answer is seen by the later
// ones: its custom event showed a filed banner of another group, and its host
// code started a newer page view, which drops them uncounted; they show with
// the answer to that page view.
TEST_F(AnswerProcessingTest, LaterBannersSeeWhatAnEarlierActionRan) {
  int hostCalls = 0;
  auto& registry = runtime::Registry::shared();
  registry.registerMethod<ui::ViewController>("HomeScreen", "browse",
                                              [&](ui::ViewController&, const Value&) {
                                                if (hostCalls++ == 0)
                                                  client->execute(view, {{"p", "Cart"}});
                                              });
  answerWith(R"([{"function": "ui_sb", "params": {"uvp": "p", "zbid": "1", "soo": "1", "gn": "g"}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "2", "gn": "h", "shEvn": "CUSTOMEVENT",
      "evn": "qivo.custom.qiv_action_7"}}, {"function": "add_act", "params": {"id": "7", "di": "i",
      "pt": "v", "run": {"functions": [{"type": "A", "name": "browse", "class": "HomeScreen"}]}}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "3", "soo": "1", "gn": "g"}},
    {"function": "ui_sb", "params": {"uvp": "u", "zbid": "4", "shCnt": "1"}}])");
  client->execute(view, {{"p", "Home"}});
  // Both answers check 1; the second, by the action, 2 (the newer page view
  // cleared what the first answer filed), then 3 and 4.
  EXPECT_TRUE(waitUntil([&] { return count("checking showing criteria ") >= 5; }));
  registry.resetForTesting();
  EXPECT_EQ(count("calledEvent execcount did not match"), 2u);
  EXPECT_EQ(count("show once per pageview"), 0u);
  EXPECT_EQ(count("per unique visitor show count.return."), 0u);
  EXPECT_EQ(Util::readDefault("usercount_4"), "1");
}

}  // namespace
}  // namespace tavrino
