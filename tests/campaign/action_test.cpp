// Actions and labels against the reference service: records, counters, the
// report, and a host screen whose registered methods record what reached them.

#include <limits>

#include "campaign/engine_test.hpp"
#include "core/tracking_test.hpp"
#include "tavrino/campaign/add_act.hpp"
#include "tavrino/campaign/add_lbl.hpp"
#include "tavrino/runtime/registry.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;
using Calls = std::vector<std::string>;

class HostScreen : public ui::ViewController {
 public:
  HostScreen() : ViewController("HostScreen") {}
  static Calls calls;
};
Calls HostScreen::calls;

class ActionsTest : public testing::TrackingTest {
 protected:
  void SetUp() override {
    TrackingTest::SetUp();
    enableDebugLog();
    HostScreen::calls.clear();
    auto& registry = runtime::Registry::shared();
    registry.resetForTesting();
    registry.registerClass("HostScreen", [] { return std::make_shared<HostScreen>(); });
    for (const char* method : {"entered", "left", "ran"}) {
      registry.registerMethod<HostScreen>(
          "HostScreen", method, [method](HostScreen&, const Value& argument) {
            HostScreen::calls.push_back(method + (":" + Util::tryCatch(argument, "id", "")));
          });
    }
  }
  void TearDown() override {
    runtime::Registry::shared().resetForTesting();
    TrackingTest::TearDown();
  }

  static void setHostCallbacks(const std::string& runa, const std::string& runar) {
    processState().withConfig([&](SharedConfiguration& c) {
      c.runa = runa;
      c.runar = runar;
    });
  }
  // A campaign whose "A" functions call the host screen's "ran".
  static Value withRunFunction(Value params) {
    params["run"] = Value::parse(
        R"({"functions": [{"type": "A", "name": "ran", "class": "HostScreen", "param": {}}]})");
    return params;
  }
  // A campaign map from "key=value&..." (all values text; a later key wins).
  static Value fields(std::string_view query) {
    Value map = Value::object();
    for (const auto& [key, value] : testing::parseQuery(query)) map[key] = value;
    return map;
  }
  void run(const Value& params, const StringMap& client_map = {}) {
    add_act().execute(params, "unused", screen, client_map);
  }
  void label(const Value& params) { add_lbl().execute(params, {}, screen); }
  // A counted action; later pairs take the place of these.
  static Value counted(const std::string& more) {
    return fields("di=i&pt=c&e=PAGEVIEW&lv=3&to=10&v=x&lto=600&" + more);
  }
  // The clock's second plus seconds, as records and counters store it.
  std::string at(std::int64_t seconds = 0) { return std::to_string(now() + seconds); }

  std::shared_ptr<HostScreen> screen = std::make_shared<HostScreen>();
};

TEST_F(ActionsTest, EnteringRecordsReportsCallsTheHostAndRaisesTheEvent) {
  setHostCallbacks("entered", "left");
  file("qiv_action_7", {{"add_lbl_1", {{"id", "70"}, {"di", "i"}, {"pt", "v"}, {"v", "z"}}}});
  storeAll("qiv_c_3=1 {ahead}");
  run(withRunFunction(fields("id=7&di=i&pt=v&v=x&lto=60&at=seg&n=Seg&qivcmmid=9&qivcmmtyp=2&"
                             "bvw=1&_spid=4&_spidf=item")),
      {{"item", "99"}});

  // The filed label waiting for the action's event ran.
  EXPECT_EQ(storedAll("qiv_l_7 qiv_l_70"), "qiv_l_7=x " + at(3600) + " qiv_l_70=z " + at());
  EXPECT_EQ(HostScreen::calls, (Calls{"entered:7", "ran:7"}));
  EXPECT_EQ(stepCount("create custom event called. event name : qiv_action_7"), 1u);
  EXPECT_EQ(stepCount("request start. type is : action"), 1u);

  EXPECT_EQ(sent(testing::awaitRequestWith(dispatch(), service, "/t", "aid", "7"),
                 "a di at aname zbid qivcmmid qivsubstype qivcmmtyp qivcfrom _spid _spiid"),
            "a=a di=i at=seg aname=Seg zbid=3:1 qivcmmid=9 qivsubstype=3 qivcmmtyp=2 "
            "qivcfrom=bulkview _spid=4 _spiid=99");
}

TEST_F(ActionsTest, CountedActionsAndLabelsFireAtTheLimitWithinTheSlidingWindow) {
  setHostCallbacks("entered", "");
  const std::string key = "eventcounter_5_PAGEVIEW";
  for (int occurrence = 1; occurrence <= 4; ++occurrence) {
    run(withRunFunction(counted("id=5")));
    EXPECT_EQ(stored(key), std::to_string(occurrence) + " " + at());
    EXPECT_EQ(has("qiv_l_5"), occurrence >= 3) << occurrence;
    clock().advance(9min);
  }
  EXPECT_EQ(stepCount("request start. type is : action"), 1u);
  EXPECT_EQ(HostScreen::calls, (Calls{"ran:5"}));  // no "_runa" when counted

  clock().advance(2min);  // 11 minutes since the last: the count lapses
  run(counted("id=5"));
  EXPECT_EQ(stored(key), "0 " + at());

  run(counted("id=6&lv=1"));
  // The first occurrence never fires.
  EXPECT_EQ(storedAll("eventcounter_6_PAGEVIEW qiv_l_6"),
            "eventcounter_6_PAGEVIEW=1 " + at() + " !qiv_l_6");

  // Counted labels share the counter with the actions of their id and event.
  Util::setCookieToQIVDefaults("eventcounter_7_buy", "");
  label(fields("id=7&di=i&pt=c&e=buy&lv=2&to=5&v=x"));
  clock().advance(4min);
  label(fields("id=7&di=i&pt=c&e=buy&lv=2&to=5&v=x"));
  EXPECT_EQ(storedAll("eventcounter_7_buy qiv_l_7"),
            "eventcounter_7_buy=2 " + at() + " qiv_l_7=x " + at());
  EXPECT_EQ(stepCount("request start. type is : label"), 1u);
  run(fields("id=7&di=i&pt=c&e=buy&lv=9&to=5"));
  EXPECT_EQ(stored("eventcounter_7_buy"), "3 " + at());
  ASSERT_TRUE(service.waitForRequests("/t", 2, 5s));
}

TEST_F(ActionsTest, MalformedNumbersTakeTheDefaultsAndNeverOverflow) {
  // A stored counter that is not "count time" starts over.
  for (const char* broken : {"", "garbage", "3", "3 x", "x 3", "1.5 100"}) {
    Util::setCookieToQIVDefaults("eventcounter_1_PAGEVIEW", broken);
    run(counted("id=1"));
    EXPECT_EQ(stored("eventcounter_1_PAGEVIEW"), "1 " + at()) << broken;
  }
  // The count stops at the top instead of wrapping.
  const std::string top = std::to_string(std::numeric_limits<std::int64_t>::max());
  Util::setCookieToQIVDefaults("eventcounter_1_PAGEVIEW", top + " " + at());
  run(counted("id=1"));
  // A window that is not whole minutes is closed; a limit that is not whole
  // never fires; a huge window stays open.
  for (const std::string& field :
       {std::string("id=2&to=ten"), std::string("id=3&lv=2.0"), "id=4&to=" + top}) {
    for (int i = 0; i < 3; ++i) run(counted(field));
  }
  // Lifetimes: not whole is 0, too long saturates.
  run(fields("id=8&di=i&pt=v&v=a&lto=1.5"));
  run(fields("id=9&di=i&pt=v&v=a&lto=" + top));
  EXPECT_EQ(storedAll("eventcounter_1_PAGEVIEW eventcounter_2_PAGEVIEW qiv_l_3 "
                      "eventcounter_4_PAGEVIEW qiv_l_8 qiv_l_9"),
            "eventcounter_1_PAGEVIEW=" + top + " " + at() + " eventcounter_2_PAGEVIEW=0 " + at() +
                " !qiv_l_3 eventcounter_4_PAGEVIEW=3 " + at() + " qiv_l_8=a " + at() +
                " qiv_l_9=a " + top);
  ASSERT_TRUE(service.waitForRequests("/t", 2, 5s));
}

TEST_F(ActionsTest, LeavingRemovesTheRecordAndReportsOnlyWhenThereWasOne) {
  setHostCallbacks("entered", "left");
  const Value leave = withRunFunction({{"id", "7"}, {"di", "d"}});
  run(leave);
  EXPECT_EQ(stepCount("request start. type is : action"), 0u);
  EXPECT_EQ(HostScreen::calls, (Calls{"left:7"}));  // "_runar" always

  // Expired records vanish while the report is built; these have not.
  storeAll("qiv_l_7=x {ahead};qiv_l_70=x {ahead}");
  run(leave);
  EXPECT_EQ(storedAll("qiv_l_7 qiv_l_70"), "!qiv_l_7 qiv_l_70=x " + at(3600));
  EXPECT_EQ(stepCount("request start. type is : action"), 1u);
  EXPECT_EQ(stepCount("create custom event called. event name : qiv_action_7"), 1u);

  Value forced = leave;
  forced["ilcc"] = "1";
  run(forced);
  EXPECT_EQ(stepCount("request start. type is : action"), 2u);
  EXPECT_EQ(HostScreen::calls, (Calls{"left:7", "left:7", "ran:7", "left:7", "ran:7"}));
  EXPECT_EQ(awaitRequest("/t", 1).queryValue("di"), "d");

  // Other directions and modes do nothing.
  run(fields("id=7&di=x&pt=v"));
  run(fields("id=7&di=i&pt=q"));
  EXPECT_FALSE(has("qiv_l_7"));
  EXPECT_EQ(stepCount("request start. type is : action"), 2u);
}

TEST_F(ActionsTest, DirectActionsAndLabelsUseTheHostsValuesAndAFreshScreen) {
  setHostCallbacks("entered", "");
  storeAll("qiv_lzbid=5:3 {ahead}");
  Tavrino client(baseUrl, "1", "0");
  client.add_action("i", "v", "val", "8", "", "", {{"page", "home"}});
  // The last shown campaign knows the action.
  EXPECT_EQ(storedAll("qiv_l_8 qiv_z_5_1"), "qiv_l_8=val " + at(43200 * 60) + " qiv_z_5_1=AC8 0");
  // The view is a plain controller the host never registered: no call.
  EXPECT_TRUE(HostScreen::calls.empty());
  EXPECT_TRUE(log().contains("classname not found in package : UIViewController"));
  testing::expectQuery(awaitRequest("/t"), "page=home&aid=8&zbid=5:3");

  client.add_label("i", "v", "gold", "3", "", "", {{"page", "home"}});
  EXPECT_EQ(stored("qiv_l_3"), "gold " + at(43200 * 60));
  client.add_label("d", "", "", "3", "", "", {});
  EXPECT_FALSE(has("qiv_l_3"));
  EXPECT_EQ(stepCount("request start. type is : label"), 2u);
  awaitRequest("/t", 2);
}

// Labels run the campaign's functions but never the host's action callbacks,
// and remove only their own record.
TEST_F(ActionsTest, LabelsAttachAndRemoveOnlyTheirOwnRecordAndNeverCallTheHost) {
  setHostCallbacks("entered", "left");
  storeAll("qiv_l_1=v {ahead};qiv_l_12=v {ahead};eventcounter_1_PAGEVIEW=2 1");
  label(withRunFunction(fields("id=4&di=i&pt=v&v=vip&lto=10")));
  label(fields("id=1&di=d"));
  EXPECT_EQ(storedAll("qiv_l_4 qiv_l_1 qiv_l_12 eventcounter_1_PAGEVIEW"),
            "qiv_l_4=vip " + at(600) + " !qiv_l_1 qiv_l_12=v " + at(3600) +
                " eventcounter_1_PAGEVIEW=2 1");
  EXPECT_EQ(stepCount("create custom event called. event name : qiv_label_4"), 1u);
  EXPECT_FALSE(Util::hasCookieWithPrefix("qiv_z_"));
  EXPECT_EQ(HostScreen::calls, (Calls{"ran:4"}));  // no "_runa", no "_runar"
  testing::expectQuery(testing::awaitRequestWith(dispatch(), service, "/t", "aid", "4"),
                       "a=a&aid=4");
}

}  // namespace
}  // namespace tavrino
