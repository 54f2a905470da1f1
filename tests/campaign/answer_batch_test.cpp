// An answer's store work batched: the show criteria of campaigns between
// which nothing else can run in one commit, each checked at its own turn,
// and the custom-event campaigns filed in one transaction.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "campaign/answer/engine_state.hpp"
#include "campaign/engine_test.hpp"
#include "core/keyed_archive.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/runtime/registry.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

Value filed(const std::string& key) {
  const auto stored = Util::qivDefaults()->object(key);
  if (!stored || !stored->is_binary()) return nullptr;
  return unarchiveDictionary(stored->get_binary()).value_or(nullptr);
}

class AnswerBatchTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    enableDebugLog();
  }

  static std::uint64_t commits() { return Util::qivDefaults()->changeCount(); }
  std::size_t count(std::string_view text, bool atEnd = false) {
    std::size_t n = 0;
    for (const auto& line : log().lines()) {
      n += atEnd ? line.ends_with(text) : line.find(text) != std::string::npos;
    }
    return n;
  }
  // The lines that open a check.
  std::size_t checkLines() { return count("checking showing criteria ", true); }
};

// Banners whose presentation runs nothing (no "bsc") and a filed custom-event
// campaign: one task, one commit, each seeing what the ones before wrote.
TEST_F(AnswerBatchTest, QuietCampaignsAreCheckedInOrderInOneTaskAndOneCommit) {
  AsyncTask task;
  const std::string body = R"([
    {"function": "ui_sb", "params": {"uvp": "u", "zbid": "1", "shCnt": "2"}},
    {"function": "ui_sb", "params": {"uvp": "u", "zbid": "1", "shCnt": "2"}},
    {"function": "ui_sb", "params": {"shEvn": "CUSTOMEVENT", "evn": "qivo.custom.go"}},
    {"function": "ui_sb", "params": {"uvp": "u", "zbid": "1", "shCnt": "2"}},
    {"function": "ui_sb", "params": {"uvp": "v", "zbid": "2", "soo": "1", "gn": "g"}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "3", "soo": "1", "gn": "g"}}
  ])";
  engine::handleAnswer(task.handle(), Data(body.begin(), body.end()),
                       {"", ViewHandle(nullptr), {}, processState().execcounter()});
  const std::uint64_t before = commits();
  EXPECT_EQ(dispatch().runUntilIdle(), 2u) << "the campaigns, then the replay";
  EXPECT_EQ(commits(), before + 1);
  EXPECT_EQ(Util::readDefault("usercount_1") + Util::readDefault("visitcount_2"), "21");
  EXPECT_EQ(checkLines(), 5u);
  EXPECT_EQ(count("per unique visitor show count.return."), 1u);
  EXPECT_EQ(count("show once per pageview. group name : g.return."), 1u);
}

// A too-deep campaign is refused alone; in "buy" the host ran and removed
// "ui_sb_0_1", so the refused entry's name meets the one left, kept in place.
TEST_F(AnswerBatchTest, CustomEventCampaignsAreFiledInOrderInOneTransaction) {
  engine::fileCustomEventCampaign("ui_sb", {{"zbid", "0"}, {"evn", "qivo.custom.cart.add"}});
  const Value kept = {{"ui_sb_1_2", {{"zbid", "2"}, {"evn", "qivo.custom.buy"}, {"old", "1"}}}};
  Util::qivDefaults()->set("qivo.custom.events_buy", Value::binary(archiveDictionary(kept)));
  Value deep = "x";
  for (int i = 0; i < 300; ++i) deep = Value::array({deep});
  const std::vector<engine::CustomEventCampaign> answer = {
      {"ui_sb", {{"zbid", "1"}, {"evn", "qivo.custom.cart.add"}}},
      {"add_act", {{"id", "2"}, {"ce", "qivo.custom.add"}}},
      {"ui_sb", {{"zbid", "3"}, {"evn", "qivo.custom.cart.add"}, {"deep", deep}}},
      {"add_lbl", {{"id", "4"}, {"evn", "qivo.custom.pay"}}},
      {"ui_sb", {{"zbid", "5"}, {"evn", "plain"}}},
      {"other", {{"id", "6"}, {"evn", "qivo.custom.add"}}},
      {"ui_sb", {{"zbid", "7"}, {"evn", "qivo.custom.cart.add"}}},
      {"ui_sb", {{"zbid", "2"}, {"evn", "qivo.custom.buy"}, {"deep", deep}}},
      {"add_act", {{"id", "9"}, {"ce", "qivo.custom.buy"}}},
  };
  const std::uint64_t before = commits();
  engine::fileCustomEventCampaigns(answer);
  EXPECT_EQ(commits(), before + 1);

  const Value add = filed("qivo.custom.events_add");
  ASSERT_TRUE(add.is_object());
  std::vector<std::string> entries;
  for (const auto& [entry, params] : add.items()) entries.push_back(entry);
  EXPECT_EQ(entries,
            (std::vector<std::string>{"ui_sb_0_0", "ui_sb_1_1", "add_act_2_2", "ui_sb_3_7"}))
      << "numbered as if each had been filed on its own";
  EXPECT_EQ(count("custom event campaign not filed. too deep : ui_sb_3_3"), 1u);
  EXPECT_EQ(filed("qivo.custom.events_pay"),
            (Value{{"add_lbl_0_4", {{"id", "4"}, {"evn", "qivo.custom.pay"}}}}));
  EXPECT_TRUE(filed("qivo.custom.events_plain").is_null());
  EXPECT_EQ(count("custom event campaign not filed. too deep : ui_sb_1_2"), 1u);
  Value expected = kept;
  expected["add_act_1_9"] = {{"id", "9"}, {"ce", "qivo.custom.buy"}};
  EXPECT_EQ(filed("qivo.custom.events_buy"), expected);
}

class AnswerDispatchTest : public testing::EngineTest {};

TEST_F(AnswerDispatchTest, EachBannerLogsItsCheckAtItsOwnTurn) {
  answerWith(R"([
    {"function": "ui_sb", "params": {"uvp": "u", "zbid": "1", "shCnt": "1", "bsc": "bdg"}},
    {"function": "ui_sb", "params": {"uvp": "u", "zbid": "1", "shCnt": "1", "bsc": "bdg"}},
    {"function": "add_act", "params": {"id": "3", "e": "CUSTOMEVENT", "ce": "qivo.custom.go"}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "2", "bsc": "bdg"}}
  ])");
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
  EXPECT_TRUE(filed("qivo.custom.events_go").contains("add_act_0_3"));
}

// What an action runs between two banners of one answer is seen by the later
// ones: its custom event showed a filed banner of another group, and its host
// code started a newer page view, which drops them uncounted; they show with
// the answer to that page view.
TEST_F(AnswerDispatchTest, LaterBannersSeeWhatAnEarlierActionRan) {
  int hostCalls = 0;
  auto& registry = runtime::Registry::shared();
  registry.registerMethod<ui::ViewController>("HomeScreen", "browse",
                                              [&](ui::ViewController&, const Value&) {
                                                if (hostCalls++ == 0)
                                                  client->execute(view, {{"p", "Cart"}});
                                              });
  answerWith(R"([
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "1", "soo": "1", "gn": "g"}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "2", "gn": "h",
                                     "shEvn": "CUSTOMEVENT", "evn": "qivo.custom.qiv_action_7"}},
    {"function": "add_act", "params": {"id": "7", "di": "i", "pt": "v", "run": {"functions": [
      {"type": "A", "name": "browse", "class": "HomeScreen"}]}}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "3", "soo": "1", "gn": "g"}},
    {"function": "ui_sb", "params": {"uvp": "u", "zbid": "4", "shCnt": "1"}}
  ])");
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
