#include <limits>

#include "campaign/action_test.hpp"
#include "tavrino/campaign/add_act.hpp"
#include "tavrino/campaign/add_lbl.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;
using testing::ActionTest;

class ActionsTest : public ActionTest {
 protected:
  void run(const Value& params, const StringMap& client_map = {}) {
    add_act().execute(params, "unused", screen, client_map);
  }
  void label(const Value& params) { add_lbl().execute(params, {}, screen); }
  static Value counted(const std::string& id) {
    return {{"id", id},  {"di", "i"},  {"pt", "c"}, {"e", "PAGEVIEW"},
            {"lv", "3"}, {"to", "10"}, {"v", "x"},  {"lto", "600"}};
  }
};

TEST_F(ActionsTest, EnteringRecordsReportsCallsTheHostAndRaisesTheEvent) {
  setHostCallbacks("entered", "left");
  file("qiv_action_7", {{"add_lbl_1", {{"id", "70"}, {"di", "i"}, {"pt", "v"}, {"v", "z"}}}});
  Util::setCookieToQIVDefaults("qiv_c_3", "1 " + std::to_string(now() + 60));
  run(withRunFunction(fields("id=7&di=i&pt=v&v=x&lto=60&at=seg&n=Seg")));

  EXPECT_TRUE(log().contains("tavrino_log : add_act called with : \nkey : id , value : 7"));
  EXPECT_EQ(stored("qiv_l_7"), "x " + std::to_string(now() + 3600));
  EXPECT_EQ(hostCalls(), (std::vector<std::string>{"entered:7", "ran:7"}));
  EXPECT_EQ(stepCount("create custom event called. event name : qiv_action_7"), 1u);
  EXPECT_EQ(stored("qiv_l_70"), "z " + std::to_string(now()));  // what waited for it ran
  EXPECT_EQ(stepCount("request start. type is : action"), 1u);

  const auto report = testing::awaitRequestWith(dispatch(), service, "/t", "aid", "7");
  testing::expectQuery(report, "a=a&di=i&at=seg&aname=Seg&zbid=3:1");
  EXPECT_FALSE(report.queryValue("qivcmmid"));
}

TEST_F(ActionsTest, CountedActionsFireAtTheLimitWithinTheSlidingWindow) {
  setHostCallbacks("entered", "");
  const std::string key = "eventcounter_5_PAGEVIEW";
  for (int occurrence = 1; occurrence <= 4; ++occurrence) {
    run(withRunFunction(counted("5")));
    EXPECT_EQ(stored(key), std::to_string(occurrence) + " " + std::to_string(now()));
    EXPECT_EQ(has("qiv_l_5"), occurrence >= 3) << occurrence;
    clock().advance(9min);
  }
  EXPECT_EQ(stepCount("request start. type is : action"), 1u);
  EXPECT_EQ(hostCalls(), (std::vector<std::string>{"ran:5"}));  // no "_runa" when counted

  clock().advance(2min);  // 11 minutes since the last: the count lapses
  run(counted("5"));
  EXPECT_EQ(stored(key), "0 " + std::to_string(now()));

  Value once = counted("6");
  once["lv"] = "1";
  run(once);
  EXPECT_EQ(stored("eventcounter_6_PAGEVIEW"), "1 " + std::to_string(now()));
  EXPECT_FALSE(has("qiv_l_6"));  // the first occurrence never fires
  ASSERT_TRUE(service.waitForRequests("/t", 1, 5s));
}

TEST_F(ActionsTest, MalformedNumbersTakeTheDefaultsAndNeverOverflow) {
  // A stored counter that is not "count time" starts over.
  for (const char* broken : {"", "garbage", "3", "3 x", "x 3", "1.5 100"}) {
    Util::setCookieToQIVDefaults("eventcounter_1_PAGEVIEW", broken);
    run(counted("1"));
    EXPECT_EQ(stored("eventcounter_1_PAGEVIEW"), "1 " + std::to_string(now())) << broken;
  }
  // The count stops at the top instead of wrapping.
  const std::string top = std::to_string(std::numeric_limits<std::int64_t>::max());
  Util::setCookieToQIVDefaults("eventcounter_1_PAGEVIEW", top + " " + std::to_string(now()));
  run(counted("1"));
  EXPECT_EQ(stored("eventcounter_1_PAGEVIEW"), top + " " + std::to_string(now()));

  // A window that is not whole minutes is closed; a limit that is not whole never fires.
  Value badWindow = counted("2");
  badWindow["to"] = "ten";
  run(badWindow);
  run(badWindow);
  EXPECT_EQ(stored("eventcounter_2_PAGEVIEW"), "0 " + std::to_string(now()));
  Value badLimit = counted("3");
  badLimit["lv"] = "2.0";
  for (int i = 0; i < 3; ++i) run(badLimit);
  EXPECT_FALSE(has("qiv_l_3"));
  Value hugeWindow = counted("4");
  hugeWindow["to"] = top;
  run(hugeWindow);
  run(hugeWindow);
  EXPECT_EQ(stored("eventcounter_4_PAGEVIEW"), "2 " + std::to_string(now()));

  // Lifetimes: not whole is 0, too long saturates.
  run(fields("id=8&di=i&pt=v&v=a&lto=1.5"));
  EXPECT_EQ(stored("qiv_l_8"), "a " + std::to_string(now()));
  run({{"id", "9"}, {"di", "i"}, {"pt", "v"}, {"v", "a"}, {"lto", top}});
  EXPECT_EQ(stored("qiv_l_9"), "a " + top);
  ASSERT_TRUE(service.waitForRequests("/t", 2, 5s));
}

TEST_F(ActionsTest, LeavingRemovesTheRecordAndReportsOnlyWhenThereWasOne) {
  setHostCallbacks("entered", "left");
  const Value leave = withRunFunction({{"id", "7"}, {"di", "d"}});
  run(leave);
  EXPECT_EQ(stepCount("request start. type is : action"), 0u);
  EXPECT_EQ(hostCalls(), (std::vector<std::string>{"left:7"}));  // "_runar" always

  // Expired records vanish while the report is built; these have not.
  const std::string later = " " + std::to_string(now() + 60);
  Util::setCookieToQIVDefaults("qiv_l_7", "x" + later);
  Util::setCookieToQIVDefaults("qiv_l_70", "x" + later);
  run(leave);
  EXPECT_FALSE(has("qiv_l_7"));
  EXPECT_TRUE(has("qiv_l_70"));
  EXPECT_EQ(stepCount("request start. type is : action"), 1u);
  EXPECT_EQ(stepCount("create custom event called. event name : qiv_action_7"), 1u);

  Value forced = leave;
  forced["ilcc"] = "1";
  run(forced);
  EXPECT_EQ(stepCount("request start. type is : action"), 2u);
  EXPECT_EQ(hostCalls(),
            (std::vector<std::string>{"left:7", "left:7", "ran:7", "left:7", "ran:7"}));
  ASSERT_TRUE(service.waitForRequests("/t", 2, 5s));
  EXPECT_EQ(service.requests("/t")[0].queryValue("di"), "d");

  // Other directions and modes do nothing.
  run(fields("id=7&di=x&pt=v"));
  run(fields("id=7&di=i&pt=q"));
  EXPECT_FALSE(has("qiv_l_7"));
  EXPECT_EQ(stepCount("request start. type is : action"), 2u);
}

TEST_F(ActionsTest, ReportCarriesCampaignListsAndCommunicationFields) {
  const std::string later = " " + std::to_string(now() + 600);
  Util::setCookieToQIVDefaults("qiv_lzbid", "5" + later);
  Util::setCookieToQIVDefaults("qiv_lzbid_app", "6:2" + later);
  Util::setCookieToQIVDefaults("qiv_lzbid_none", "unexpiring");
  Util::setCookieToQIVDefaults("qiv_i_1", "11" + later);
  Util::setCookieToQIVDefaults("qiv_i_2", "12" + later);
  run(fields("id=1&di=d&ilcc=1&lzbid=1&bvw=1&qivcmmid=9&qivcmmtyp=2&"
             "qivcmmdelay=30&_spid=4&_spidf=item"),
      {{"item", "99"}, {"a", "host"}});
  const auto report = awaitRequest("/t");
  // The host's "a" wins over the report's own.
  testing::expectQuery(report,
                       "zbid=5:1,6:2&vzbid=11,12&qivcfrom=bulkview&qivcmmid=9&qivsubstype=3&"
                       "qivcmmtyp=2&qivcmmdelay=30&_spid=4&_spiid=99&a=host");

  run(fields("id=2&di=d&ilcc=1&qivcmmid=-3&qivcmmtyp=mail&_spid=x&_spidf=item"), {{"item", "99"}});
  const auto plain = awaitRequest("/t", 1);
  EXPECT_EQ(plain.queryValue("zbid"), "");  // no clicked campaigns
  for (const char* dropped :
       {"qivcmmid", "qivsubstype", "qivcmmtyp", "_spid", "_spiid", "qivcfrom"}) {
    EXPECT_FALSE(plain.queryValue(dropped)) << dropped;
  }
}

TEST_F(ActionsTest, DirectActionsAndLabelsUseTheHostsValuesAndAFreshScreen) {
  setHostCallbacks("entered", "");
  Util::setCookieToQIVDefaults("qiv_lzbid", "5:3 " + std::to_string(now() + 60));
  Tavrino client(baseUrl, "1", "0");
  client.add_action("i", "v", "val", "8", "", "", {{"page", "home"}});
  EXPECT_EQ(stored("qiv_l_8"), "val " + std::to_string(now() + 43200 * 60));
  EXPECT_EQ(stored("qiv_z_5_1"), "AC8 0");  // the last shown campaign knows the action
  // The view is a plain controller the host never registered: no call.
  EXPECT_TRUE(hostCalls().empty());
  EXPECT_TRUE(log().contains("classname not found in package : UIViewController"));
  testing::expectQuery(awaitRequest("/t"), "page=home&aid=8&zbid=5:3");

  client.add_label("i", "v", "gold", "3", "", "", {{"page", "home"}});
  EXPECT_EQ(stored("qiv_l_3"), "gold " + std::to_string(now() + 43200 * 60));
  client.add_label("d", "", "", "3", "", "", {});
  EXPECT_FALSE(has("qiv_l_3"));
  EXPECT_EQ(stepCount("request start. type is : label"), 2u);
  awaitRequest("/t", 2);
}

// Labels run the campaign's functions but never the host's action callbacks.
TEST_F(ActionsTest, LabelsAttachAndRemoveOnlyTheirOwnRecordAndNeverCallTheHost) {
  setHostCallbacks("entered", "left");
  label(withRunFunction(fields("id=4&di=i&pt=v&v=vip&lto=10")));
  EXPECT_TRUE(log().contains("tavrino_log : add_lbl called with : "));
  EXPECT_EQ(stored("qiv_l_4"), "vip " + std::to_string(now() + 600));
  EXPECT_EQ(stepCount("create custom event called. event name : qiv_label_4"), 1u);
  EXPECT_FALSE(Util::hasCookieWithPrefix("qiv_z_"));
  testing::expectQuery(awaitRequest("/t"), "a=a&aid=4");

  for (const char* id : {"1", "12", "100"}) {
    Util::setCookieToQIVDefaults(std::string("qiv_l_") + id, "v 99999999999");
  }
  Util::setCookieToQIVDefaults("eventcounter_1_PAGEVIEW", "2 1");
  Util::setCookieToQIVDefaults("qiv_l_5", "");
  label(fields("id=1&di=d"));
  label(fields("id=5&di=d"));  // an empty record: nothing to remove
  EXPECT_FALSE(has("qiv_l_1"));
  for (const char* kept : {"qiv_l_12", "qiv_l_100", "eventcounter_1_PAGEVIEW", "qiv_l_5"}) {
    EXPECT_TRUE(has(kept)) << kept;
  }
  EXPECT_EQ(stepCount("create custom event called. event name : qiv_label_1"), 1u);
  EXPECT_EQ(hostCalls(), (std::vector<std::string>{"ran:4"}));  // no "_runa", no "_runar"
  EXPECT_EQ(awaitRequest("/t", 1).queryValue("di"), "d");
  label({{"id", "5"}, {"di", "d"}, {"ilcc", 1}});
  EXPECT_EQ(stepCount("request start. type is : label"), 3u);
  EXPECT_EQ(stepCount("create custom event called. event name : qiv_label_5"), 1u);
  awaitRequest("/t", 2);
}

TEST_F(ActionsTest, CountedLabelsShareTheActionCounter) {
  Util::setCookieToQIVDefaults("eventcounter_6_buy", "");
  const Value counted = fields("id=6&di=i&pt=c&e=buy&lv=2&to=5&v=x");
  label(counted);
  EXPECT_EQ(stored("eventcounter_6_buy"), "1 " + std::to_string(now()));
  clock().advance(4min);
  label(counted);
  EXPECT_EQ(stored("eventcounter_6_buy") + "|" + stored("qiv_l_6"),
            "2 " + std::to_string(now()) + "|x " + std::to_string(now()));
  EXPECT_EQ(stepCount("request start. type is : label"), 1u);
  // An action with the same id and event counts on from there.
  run(fields("id=6&di=i&pt=c&e=buy&lv=9&to=5"));
  EXPECT_EQ(stored("eventcounter_6_buy"), "3 " + std::to_string(now()));
  awaitRequest("/t");
}

}  // namespace
}  // namespace tavrino
