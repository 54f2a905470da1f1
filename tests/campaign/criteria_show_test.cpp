// Show criteria of banner campaigns: counting modes, hold-back markers, the
// show-once rule and the stale page-view guard; an answer's store work batched
// (the criteria of campaigns between which nothing else can run in one commit,
// the custom-event campaigns filed in one transaction).

#include "campaign/answer/engine_state.hpp"
#include "campaign/engine_test.hpp"
#include "tavrino/async_task.hpp"
#include "tavrino/util/criteria.hpp"

namespace tavrino {
namespace {

using testing::kShown;

class CriteriaShowTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    enableDebugLog();
  }

  // One campaign through the criteria; returns whether it was shown.
  bool check(std::string_view uvp, std::string_view zbid, std::string_view shCnt,
             Value params = Value::object(), const StringMap& client_map = {}) {
    const auto before = count(kShown);
    task.checkEvent(uvp, zbid, shCnt, params, nullptr, "https://t.example/d?", client_map);
    return count(kShown) > before;
  }
  std::size_t count(std::string_view text, bool atEnd = false) {
    return testing::count(log(), text, atEnd);
  }
  static std::uint64_t commits() { return Util::qivDefaults()->changeCount(); }

  static std::string stored(std::string_view key) { return Util::readDefault(key); }

  AsyncTask task;
};

TEST_F(CriteriaShowTest, CountingModesTheirLimitsAndMalformedCounters) {
  EXPECT_TRUE(check("u", "7", "2"));
  EXPECT_TRUE(check("u", "7", "2"));
  EXPECT_FALSE(check("u", "7", "2"));
  EXPECT_TRUE(log().contains("checking showing criteria .per unique visitor show count.return."));
  EXPECT_EQ(stored("usercount_7"), "2");
  EXPECT_TRUE(check("u", "8", "2")) << "each campaign has its own count";

  EXPECT_TRUE(check("v", "7", "1"));
  EXPECT_FALSE(check("v", "7", "1"));
  EXPECT_TRUE(log().contains("checking showing criteria .per visit show count.return."));
  Util::removeCookieStartsWith("visitcount_");  // what a new visit does
  EXPECT_TRUE(check("v", "7", "1"));

  // Every page view ("p") writes no counter; an unknown mode never shows.
  Util::removeCookieStartsWith("usercount_");
  Util::removeCookieStartsWith("visitcount_");
  EXPECT_TRUE(check("p", "9", "1"));
  EXPECT_TRUE(check("p", "9", "1"));
  EXPECT_FALSE(check("x", "9", "1"));
  EXPECT_FALSE(check("", "9", "1"));
  for (const auto& [key, value] : Util::qivDefaults()->dictionaryRepresentation()) {
    EXPECT_EQ(key.find("count_"), std::string::npos) << key;
  }

  // Once per visit, at most the limit in total.
  for (int visit = 0; visit < 4; ++visit) {
    Util::setCookieToQIVDefaults("visitflag", "true");
    EXPECT_EQ(check("w", "7", "3"), visit < 3) << visit;
    EXPECT_FALSE(check("w", "7", "3")) << "second show in visit " << visit;
    EXPECT_EQ(check("w", "8", "3"), visit == 3) << "the first one used visit " << visit;
  }
  EXPECT_EQ(stored("uservisitcount_7"), "3");
  EXPECT_EQ(stored("uservisitcount_8"), "1");
  EXPECT_TRUE(log().contains(
      "checking showing criteria .per unique visitor(1 per visit) show count.return."));

  // A limit that is not a whole number is the default limit.
  EXPECT_TRUE(check("u", "7", "many"));
  EXPECT_TRUE(check("u", "7", "1.5"));
  EXPECT_EQ(stored("usercount_7"), "2");
  EXPECT_FALSE(check("u", "7", "-1"));

  Util::setCookieToQIVDefaults("usercount_8", "garbage");
  EXPECT_TRUE(check("u", "8", "1"));
  EXPECT_EQ(stored("usercount_8"), "1");
  Util::setCookieToQIVDefaults("visitcount_9", "-40");
  EXPECT_TRUE(check("v", "9", "1"));
  EXPECT_EQ(stored("visitcount_9"), "1");

  Util::setCookieToQIVDefaults("usercount_10", "9223372036854775806");
  EXPECT_TRUE(check("u", "10", "9223372036854775807"));
  EXPECT_EQ(stored("usercount_10"), "9223372036854775807");
  EXPECT_FALSE(check("u", "10", "9223372036854775807"));
}

TEST_F(CriteriaShowTest, HoldBackMarkersNeedTheirSwitchAStalePageViewIsDropped) {
  Util::setCookieToQIVDefaults("qiv_c_7", "1 0");
  Util::setCookieToQIVDefaults("qiv_i_z1", "x");
  Util::setCookieToQIVDefaults("qiv_s_z2", "x");
  Util::setCookieToQIVDefaults("qiv_r_7", "");
  EXPECT_TRUE(check("p", "7", "1", {{"rafc", "0"}}));
  const std::size_t lines = log().lines().size();
  EXPECT_FALSE(check("u", "7", "5", {{"rafc", "1"}}));
  EXPECT_EQ(log().lines().size(), lines + 1) << "held back without a line of its own";
  EXPECT_EQ(stored("usercount_7"), "") << "nothing counted";
  EXPECT_FALSE(check("p", "7", "1", {{"rafi", "1"}, {"zid", "z1"}}));
  EXPECT_FALSE(check("p", "7", "1", {{"rafs", "1"}, {"zid", "z2"}}));
  EXPECT_TRUE(check("p", "7", "1", {{"rafs", "1"}, {"zid", "z1"}}));
  EXPECT_TRUE(check("p", "7", "1", {{"rafr", "1"}})) << "an empty marker holds nothing back";
  EXPECT_TRUE(check("p", "7", "1", {{"rafc", "true"}}));

  // A stale page view is dropped; shake work (no counter) is not.
  processState().incrementExecCounter();
  processState().incrementExecCounter();
  for (const auto& [counter, shown] : std::vector<std::pair<std::string, bool>>{
           {"1", false}, {"2.5", false}, {"2", true}, {"2.0", true}, {"soon", true}}) {
    EXPECT_EQ(check("p", "7", "1", Value::object(), {{"_execcounter", counter}}), shown) << counter;
  }
  EXPECT_TRUE(log().contains("checkEvent execcount did not match"));
  EXPECT_TRUE(check("p", "7", "1"));
}

TEST_F(CriteriaShowTest, ShowOncePerPageViewComparesWithTheLastGroupShown) {
  Util::setCookieToQIVDefaults("groupname", "");
  const Value a = {{"soo", "1"}, {"gn", "a"}};
  const Value b = {{"soo", "1"}, {"gn", "b"}};
  EXPECT_TRUE(check("p", "1", "9", a));
  EXPECT_FALSE(check("p", "2", "9", a));
  EXPECT_TRUE(log().contains("show once per pageview. group name : a.return."));
  EXPECT_TRUE(check("p", "3", "9", b));
  EXPECT_TRUE(check("p", "4", "9", a)) << "another group came in between";

  // A refused campaign is not counted.
  EXPECT_FALSE(check("u", "5", "9", a));
  EXPECT_EQ(stored("usercount_5"), "");

  Util::setCookieToQIVDefaults("groupname", "");
  EXPECT_FALSE(Util::checkShowOncePerPageview({{"soo", "1"}})) << "no group is the empty group";
  EXPECT_TRUE(Util::checkShowOncePerPageview({{"gn", "c"}}));
  EXPECT_EQ(stored("groupname"), "c");
}

// Banners whose presentation runs nothing (no "bsc") and a filed custom-event
// campaign: one task, one commit, each seeing what the ones before wrote.
TEST_F(CriteriaShowTest, QuietCampaignsAreCheckedInOrderInOneTaskAndOneCommit) {
  const std::string body =
      R"([{"function": "ui_sb", "params": {"uvp": "u", "zbid": "1", "shCnt": "2"}},
    {"function": "ui_sb", "params": {"uvp": "u", "zbid": "1", "shCnt": "2"}},
    {"function": "ui_sb", "params": {"shEvn": "CUSTOMEVENT", "evn": "qivo.custom.go"}},
    {"function": "ui_sb", "params": {"uvp": "u", "zbid": "1", "shCnt": "2"}},
    {"function": "ui_sb", "params": {"uvp": "v", "zbid": "2", "soo": "1", "gn": "g"}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "3", "soo": "1", "gn": "g"}}])";
  engine::handleAnswer(task.handle(), Data(body.begin(), body.end()),
                       {"", ViewHandle(nullptr), {}, processState().execcounter()});
  const std::uint64_t before = commits();
  EXPECT_EQ(dispatch().runUntilIdle(), 2u) << "the campaigns, then the replay";
  EXPECT_EQ(commits(), before + 1);
  EXPECT_EQ(Util::readDefault("usercount_1") + Util::readDefault("visitcount_2"), "21");
  EXPECT_EQ(count("checking showing criteria ", true), 5u);
  EXPECT_EQ(count("per unique visitor show count.return."), 1u);
  EXPECT_EQ(count("show once per pageview. group name : g.return."), 1u);
}

// A too-deep campaign is refused alone; in "buy" the host ran and removed
// "ui_sb_0_1", so the refused entry's name meets the one left, kept in place.
TEST_F(CriteriaShowTest, CustomEventCampaignsAreFiledInOrderInOneTransaction) {
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

  std::vector<std::string> entries;
  const Value add = testing::filed("add");
  for (const auto& [entry, params] : add.items()) entries.push_back(entry);
  EXPECT_EQ(entries,
            (std::vector<std::string>{"ui_sb_0_0", "ui_sb_1_1", "add_act_2_2", "ui_sb_3_7"}))
      << "numbered as if each had been filed on its own";
  EXPECT_EQ(count("custom event campaign not filed. too deep : ui_sb_3_3"), 1u);
  EXPECT_EQ(testing::filed("pay"),
            (Value{{"add_lbl_0_4", {{"id", "4"}, {"evn", "qivo.custom.pay"}}}}));
  EXPECT_TRUE(testing::filed("plain").is_null());
  EXPECT_EQ(count("custom event campaign not filed. too deep : ui_sb_1_2"), 1u);
  Value expected = kept;
  expected["add_act_1_9"] = {{"id", "9"}, {"ce", "qivo.custom.buy"}};
  EXPECT_EQ(testing::filed("buy"), expected);
}

}  // namespace
}  // namespace tavrino
