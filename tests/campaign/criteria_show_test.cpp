// Show criteria of banner campaigns: counting modes, hold-back markers, the
// show-once rule and the stale page-view guard; the custom-event campaigns of
// an answer filed in one transaction; the shake trigger
// (arming, the threshold, one firing per kind, one poll per engine, polling
// that ends).

#include <sstream>

#include "campaign/answer/engine_state.hpp"
#include "campaign/engine_test.hpp"
#include "tavrino/async_task.hpp"
#include "tavrino/platform/linux_motion_manager.hpp"

namespace tavrino {
namespace {

using std::chrono::milliseconds;
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
  std::size_t count(std::string_view text) { return testing::count(log(), text); }

  AsyncTask task;
};

// Each step checks "uvp zbid shCnt" and says whether it showed ("+") or not
// ("-"); a step without a sign stores "key=value" or, "key*", removes the
// keys starting with key.
TEST_F(CriteriaShowTest, CountingModesTheirLimitsAndMalformedCounters) {
  const char* steps[] = {
      // Per visitor, per visit (a new visit removes its counters), every page view.
      "+u 7 2", "+u 7 2", "-u 7 2", "+u 8 2", "+v 7 1", "-v 7 1", "visitcount_*", "+v 7 1",
      "usercount_*", "visitcount_*", "+p 11 1", "+p 11 1", "-x 11 1", "- 11 1",
      // Once per visit, at most the limit in total.
      "visitflag=true", "+w 7 3", "-w 7 3", "-w 8 3", "visitflag=true", "+w 7 3", "visitflag=true",
      "+w 7 3", "visitflag=true", "-w 7 3", "+w 8 3", "-w 8 3",
      // A limit that is not whole is the default; counters that are not are 0.
      "+u 7 many", "+u 7 1.5", "-u 7 -1", "usercount_8=garbage", "+u 8 1", "visitcount_9=-40",
      "+v 9 1", "usercount_10=9223372036854775806", "+u 10 9223372036854775807",
      "-u 10 9223372036854775807"};
  for (const std::string step : steps) {
    SCOPED_TRACE(step);
    if (step[0] != '+' && step[0] != '-') {
      if (step.ends_with('*')) Util::removeCookieStartsWith(step.substr(0, step.size() - 1));
      if (!step.ends_with('*')) storeAll(step);
      continue;
    }
    std::istringstream words(step.substr(1));
    std::string uvp, zbid, limit;
    words >> uvp >> zbid >> limit;
    if (step[1] == ' ') limit = zbid, zbid = uvp, uvp = "";
    EXPECT_EQ(check(uvp, zbid, limit), step[0] == '+');
  }
  EXPECT_EQ(
      storedAll("usercount_7 usercount_8 visitcount_9 usercount_10 uservisitcount_7 "
                "uservisitcount_8 usercount_11 visitcount_11 uservisitcount_11"),
      "usercount_7=2 usercount_8=1 visitcount_9=1 usercount_10=9223372036854775807 "
      "uservisitcount_7=3 uservisitcount_8=1 !usercount_11 !visitcount_11 !uservisitcount_11");
}

// Hold-back markers need their switch; show once per page view compares with
// the last group shown; refused campaigns are not counted; a stale page view
// is dropped, shake work (no counter) is not.
TEST_F(CriteriaShowTest, HoldBackMarkersShowOncePerPageViewAndStalePageViews) {
  storeAll("qiv_c_7=1 0;qiv_i_z1=x;qiv_s_z2=x;qiv_r_7=;groupname=");
  const Value a = {{"soo", "1"}, {"gn", "a"}};
  const std::tuple<const char*, const char*, Value, bool> checks[] = {
      {"p", "7", {{"rafc", "0"}}, true},
      {"u", "7", {{"rafc", "1"}}, false},
      {"p", "7", {{"rafi", "1"}, {"zid", "z1"}}, false},
      {"p", "7", {{"rafs", "1"}, {"zid", "z2"}}, false},
      {"p", "7", {{"rafr", "1"}}, true},  // an empty marker holds nothing back
      {"p", "1", a, true},
      {"p", "2", a, false},
      {"p", "3", {{"soo", "1"}, {"gn", "b"}}, true},
      {"p", "4", a, true},  // another group came in between
      {"u", "5", a, false}};
  for (const auto& [uvp, zbid, params, shown] : checks) {
    EXPECT_EQ(check(uvp, zbid, "5", params), shown) << zbid << " " << params.dump();
  }
  EXPECT_EQ(storedAll("usercount_7 usercount_5"), "!usercount_7 !usercount_5");

  processState().incrementExecCounter();
  processState().incrementExecCounter();
  for (const auto& [counter, shown] : std::vector<std::pair<std::string, bool>>{
           {"1", false}, {"2.5", false}, {"2", true}, {"2.0", true}, {"soon", true}}) {
    EXPECT_EQ(check("p", "7", "1", Value::object(), {{"_execcounter", counter}}), shown) << counter;
  }
  EXPECT_TRUE(log().contains("checkEvent execcount did not match"));
}

// A too-deep campaign is refused alone; unreadable "pay" starts afresh.
TEST_F(CriteriaShowTest, CustomEventCampaignsAreFiledInOrderInOneTransaction) {
  engine::fileCustomEventCampaign("ui_sb", {{"zbid", "0"}, {"evn", "qivo.custom.cart.add"}});
  Util::qivDefaults()->set("qivo.custom.events_pay", Value::binary({0xff, 0x00, 0x13}));
  Value deep = "x";
  for (int i = 0; i < 300; ++i) deep = Value::array({deep});
  const std::vector<engine::CustomEventCampaign> answer = {
      {"ui_sb", {{"zbid", "1"}, {"evn", "qivo.custom.cart.add"}}},
      {"add_act", {{"id", "2"}, {"ce", "qivo.custom.add"}}},
      {"ui_sb", {{"zbid", "3"}, {"evn", "qivo.custom.cart.add"}, {"deep", deep}}},
      {"add_lbl", {{"id", "4"}, {"evn", "qivo.custom.pay"}}},
      {"ui_sb", {{"zbid", "7"}, {"evn", "qivo.custom.cart.add"}}},
  };
  const std::uint64_t before = Util::qivDefaults()->changeCount();
  engine::fileCustomEventCampaigns(answer);
  EXPECT_EQ(Util::qivDefaults()->changeCount(), before + 1);

  std::vector<std::string> entries;
  const Value add = testing::filed("add");
  for (const auto& [entry, params] : add.items()) entries.push_back(entry);
  EXPECT_EQ(entries,
            (std::vector<std::string>{"ui_sb_0_0", "ui_sb_1_1", "add_act_2_2", "ui_sb_3_7"}))
      << "numbered as if each had been filed on its own";
  EXPECT_EQ(count("custom event campaign not filed. too deep : ui_sb_3_3"), 1u);
  EXPECT_EQ(count("custom event campaigns unreadable. starting afresh"), 1u);
  EXPECT_EQ(testing::filed("pay"),
            (Value{{"add_lbl_0_4", {{"id", "4"}, {"evn", "qivo.custom.pay"}}}}));
}

class CriteriaShakeTest : public testing::ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    enableDebugLog();
    task.emplace();
  }
  void TearDown() override {
    task.reset();
    ServiceTest::TearDown();
  }

  platform::LinuxMotionManager& motion() {
    return dynamic_cast<platform::LinuxMotionManager&>(platform::current().motionManager());
  }

  std::size_t shows() { return testing::count(log(), testing::kShown); }

  // Dispatches a "SHAKE" campaign and lets it arm.
  void armShake(std::string_view function, Value params = {{"uvp", "p"}, {"zbid", "5"}},
                std::shared_ptr<ui::ViewController> view = nullptr) {
    task->calledEvent(view, params, baseUrl + "d?", "SHAKE", function, {{"page", "1"}},
                      processState().execcounter());
    dispatch().runFor(milliseconds(10));
  }

  void shake(double x, double y, double z) {
    motion().feed({x, y, z});
    dispatch().runFor(milliseconds(10));
  }

  std::shared_ptr<AsyncTask::State> state() { return task->handle().lock(); }

  std::optional<AsyncTask> task;
};

// All three axes must exceed the threshold; one poll serves the latest page
// and ends once every kind has fired.
TEST_F(CriteriaShakeTest, EachKindFiresOnceFromOnePollThatThenEnds) {
  auto first = std::make_shared<ui::ViewController>("First");
  auto second = std::make_shared<ui::ViewController>("Second");
  armShake("ui_sb", {{"uvp", "p"}}, first);
  const auto timer = state()->shakeTimer;
  ASSERT_TRUE(timer && timer->isValid() && motion().isAccelerometerActive());
  armShake("ui_sb", {{"uvp", "p"}}, second);
  EXPECT_EQ(state()->shakeTimer, timer) << "no second timer";
  EXPECT_EQ(state()->armed.view, second);
  shake(1.5, -1.5, 1.0);  // z exactly at the threshold
  shake(0.2, 3, 3);
  EXPECT_EQ(shows(), 0u);
  shake(1.5, -1.5, -1.01);
  shake(2, 2, 2);
  EXPECT_EQ(shows(), 1u) << "a banner fires once per engine";
  armShake("add_act", {{"id", "3"}, {"e", "SHAKE"}});
  shake(2, 2, 2);
  EXPECT_TRUE(timer->isValid());
  armShake("add_lbl", {{"id", "4"}, {"e", "SHAKE"}});
  shake(2, 2, 2);
  EXPECT_FALSE(timer->isValid());
  EXPECT_EQ(state()->shakeTimer, nullptr);
  EXPECT_FALSE(motion().isAccelerometerActive());
  EXPECT_EQ(state()->counter_ui + state()->counter_act + state()->counter_lbl, 3);

  armShake("ui_sb");
  EXPECT_FALSE(motion().isAccelerometerActive()) << "nothing left to fire";
  EXPECT_TRUE(log().contains("shake trigger spent. not armed"));
}

TEST_F(CriteriaShakeTest, DestroyingTheEngineStopsItsPollAndItsPendingArming) {
  task->calledEvent(nullptr, {{"uvp", "p"}}, baseUrl, "SHAKE", "ui_sb", {},
                    processState().execcounter());
  task.reset();
  dispatch().runFor(milliseconds(50));
  EXPECT_FALSE(motion().isAccelerometerActive()) << "the queued arming found no engine";

  task.emplace();
  armShake("ui_sb");
  const auto timer = state()->shakeTimer;
  AsyncTask other;
  other.calledEvent(nullptr, {{"uvp", "p"}}, baseUrl, "SHAKE", "ui_sb", {},
                    processState().execcounter());
  dispatch().runFor(milliseconds(10));
  task.reset();
  EXPECT_FALSE(timer->isValid());
  EXPECT_TRUE(motion().isAccelerometerActive()) << "the other engine still polls";
  shake(2, 2, 2);
  EXPECT_EQ(shows(), 1u);
}

}  // namespace
}  // namespace tavrino
