#include <gtest/gtest.h>

#include "core/tracking_test.hpp"
#include "core/value_cbor.hpp"

namespace tavrino {
namespace {

class TrackingEventTest : public testing::TrackingTest {
  void SetUp() override {
    TrackingTest::SetUp();
    enableDebugLog();
  }
};

Value action(const std::string& id) {
  return {{"id", id}, {"di", "i"}, {"pt", "v"}, {"v", "x"}};
}

TEST_F(TrackingEventTest, EventsBeforeTheAnswerAreOnlyQueued) {
  file("buy", {{"add_act_1", action("1")}});
  setResponseReady(false);
  client().createEvent("buy", nullptr, {});
  client().createEvent("view", nullptr, {});
  EXPECT_EQ(processState().withCampaign([](CampaignState& s) { return s.pendingCustomEvents; }),
            (std::vector<std::string>{"buy", "view"}));
  EXPECT_EQ(stepCount("create event called. event name : buy"), 1u);
  EXPECT_EQ(filed("buy")->size(), 1u);
  EXPECT_FALSE(has("qiv_l_1"));
  EXPECT_FALSE(log().contains("create event called. event name : buy"));
}

TEST_F(TrackingEventTest, FiledEntriesRunInKeyOrderAndOnlyAichBannersStay) {
  setResponseReady(true);
  // Filed in another order than they run.
  file("buy", {{"add_lbl_2", action("2")},
               {"ui_sb_6", {{"zbid", "6"}}},
               {"add_act_1", action("1")},
               {"ui_sb_5", {{"zbid", "5"}, {"bsc", "aich"}}},
               {"other_9", {{"x", "1"}}}});
  client().createEvent("buy", nullptr, {});
  EXPECT_TRUE(log().contains("tavrino_log : create event called. event name : buy"));
  const long actionLine = logIndex("add_act called with");
  const long labelLine = logIndex("add_lbl called with");
  ASSERT_GE(actionLine, 0);
  EXPECT_LT(actionLine, labelLine);
  EXPECT_TRUE(has("qiv_l_1"));
  EXPECT_TRUE(has("qiv_l_2"));
  EXPECT_EQ(*filed("buy"),
            (Value{{"ui_sb_5", {{"zbid", "5"}, {"bsc", "aich"}}}, {"other_9", {{"x", "1"}}}}));
  EXPECT_TRUE(service.waitForRequests("/t", 2, std::chrono::seconds(5)));

  // The aich banner fires again; nothing else is left to run.
  log().clear();
  client().createEvent("buy", nullptr, {});
  EXPECT_FALSE(log().contains("add_act called with"));
  EXPECT_EQ(filed("buy")->size(), 2u);
}

TEST_F(TrackingEventTest, AnActionFiledUnderItsOwnEventRunsOnce) {
  // Actions 1 and 2 each wait for the other's event: the chain ends.
  file("qiv_action_1", {{"add_act_2", action("2")}});
  file("qiv_action_2", {{"add_act_1", action("1")}});
  file("start", {{"add_act_1", action("1")}});
  Tavrino::createCustomEvent("start", nullptr, {});
  const auto lines = log().lines();
  EXPECT_EQ(std::ranges::count_if(lines,
                                  [](const std::string& l) {
                                    return l.find("add_act called with") != std::string::npos;
                                  }),
            3);
  EXPECT_TRUE(filed("qiv_action_1")->empty());
  EXPECT_TRUE(filed("qiv_action_2")->empty());
  EXPECT_EQ(stepCount("create custom event called. event name : qiv_action_1"), 2u);
}

TEST_F(TrackingEventTest, UnreadableFilingsCountAsNoneAndBadEntriesAreDropped) {
  Tavrino::createCustomEvent("none", nullptr, {});
  EXPECT_TRUE(log().contains("create custom event called. Not found related campaigns or actions"));

  // Text, bytes that are no archive, and an archive of a list.
  for (const Value& broken : {Value("text"), Value::binary({0xff, 0x00, 0x13}),
                              Value::binary(*encodeValue(Value::array({1, 2})))}) {
    log().clear();
    Util::qivDefaults()->set(filedKey("bad"), broken);
    Tavrino::createCustomEvent("bad", nullptr, {});
    EXPECT_TRUE(log().contains("Filed campaigns could not be read : qivo.custom.events_bad"));
    EXPECT_TRUE(log().contains("Not found related campaigns or actions"));
    EXPECT_EQ(*Util::qivDefaults()->object(filedKey("bad")), broken);  // left as it was
  }

  setResponseReady(true);
  file("mixed", {{"add_act_1", "not a map"}, {"add_act_2", action("2")}});
  client().createEvent("mixed", nullptr, {});
  EXPECT_TRUE(log().contains("Filed entry is not a map, dropped : add_act_1"));
  EXPECT_TRUE(has("qiv_l_2"));
  EXPECT_TRUE(filed("mixed")->empty());
}

TEST_F(TrackingEventTest, ClearCustomActionsRemovesFilingsAndBadgesOnly) {
  file("a", {{"add_act_1", action("1")}});
  file("b", {{"add_act_2", action("2")}});
  Util::setCookieToQIVDefaults("qivo_badges", "x");
  Util::setCookieToQIVDefaults("qivo_badges_2", "x");
  Util::setCookieToQIVDefaults("qivo.custom", "keep");
  client().clearCustomActions();
  EXPECT_TRUE(log().contains("clean up custom events & badges"));
  EXPECT_FALSE(Util::hasCookieWithPrefix("qivo.custom.events_"));
  EXPECT_FALSE(Util::hasCookieWithPrefix("qivo_badges"));
  EXPECT_EQ(stored("qivo.custom"), "keep");
}

}  // namespace
}  // namespace tavrino
