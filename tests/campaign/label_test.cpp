#include <gtest/gtest.h>

#include "campaign/action_test.hpp"
#include "tavrino/campaign/add_act.hpp"
#include "tavrino/campaign/add_lbl.hpp"
#include "tavrino/client.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;
using testing::ActionTest;

class LabelTest : public ActionTest {
 protected:
  void SetUp() override {
    ActionTest::SetUp();
    setHostCallbacks("entered", "left");
  }
  void run(const Value& params) { add_lbl().execute(params, {}, screen); }
};

TEST_F(LabelTest, AttachingRecordsReportsRunsFunctionsAndRaisesTheEvent) {
  run(withRunFunction({{"id", "4"}, {"di", "i"}, {"pt", "v"}, {"v", "vip"}, {"lto", "10"}}));
  EXPECT_TRUE(log().contains("tavrino_log : add_lbl called with : "));
  EXPECT_EQ(stored("qiv_l_4"), "vip " + std::to_string(now() + 600));
  EXPECT_EQ(stepCount("request start. type is : label"), 1u);
  EXPECT_EQ(stepCount("create custom event called. event name : qiv_label_4"), 1u);
  // Labels run the campaign's functions but never the host's action callbacks.
  EXPECT_EQ(hostCalls(), (std::vector<std::string>{"ran:4"}));
  EXPECT_FALSE(Util::hasCookieWithPrefix("qiv_z_"));
  const auto report = awaitRequest("/t");
  EXPECT_EQ(report.queryValue("a"), "a");
  EXPECT_EQ(report.queryValue("aid"), "4");
}

TEST_F(LabelTest, RemovingTakesOnlyThatLabelAndNeedsARecordUnlessForced) {
  for (const char* id : {"1", "12", "100"}) {
    Util::setCookieToQIVDefaults(std::string("qiv_l_") + id, "v 99999999999");
  }
  Util::setCookieToQIVDefaults("eventcounter_1_PAGEVIEW", "2 1");
  Util::setCookieToQIVDefaults("qiv_l_5", "");
  run({{"id", "1"}, {"di", "d"}});
  run({{"id", "5"}, {"di", "d"}});  // an empty record: nothing to remove
  EXPECT_FALSE(has("qiv_l_1"));
  for (const char* kept : {"qiv_l_12", "qiv_l_100", "eventcounter_1_PAGEVIEW", "qiv_l_5"}) {
    EXPECT_TRUE(has(kept)) << kept;
  }
  EXPECT_EQ(stepCount("request start. type is : label"), 1u);
  EXPECT_EQ(stepCount("create custom event called. event name : qiv_label_1"), 1u);
  EXPECT_TRUE(hostCalls().empty());  // no "_runar" for labels
  EXPECT_EQ(awaitRequest("/t").queryValue("di"), "d");

  run({{"id", "5"}, {"di", "d"}, {"ilcc", 1}});
  EXPECT_EQ(stepCount("request start. type is : label"), 2u);
  EXPECT_EQ(stepCount("create custom event called. event name : qiv_label_5"), 1u);
  awaitRequest("/t", 1);
}

TEST_F(LabelTest, CountedLabelsShareTheActionCounter) {
  Util::setCookieToQIVDefaults("eventcounter_6_buy", "");
  const Value counted = {{"id", "6"}, {"di", "i"}, {"pt", "c"}, {"e", "buy"},
                         {"lv", "2"}, {"to", "5"}, {"v", "x"}};
  run(counted);
  EXPECT_EQ(stored("eventcounter_6_buy"), "1 " + std::to_string(now()));
  clock().advance(4min);
  run(counted);
  EXPECT_EQ(stored("eventcounter_6_buy"), "2 " + std::to_string(now()));
  EXPECT_EQ(stored("qiv_l_6"), "x " + std::to_string(now()));
  EXPECT_EQ(stepCount("request start. type is : label"), 1u);

  // An action with the same id and event counts on from there.
  add_act().execute({{"id", "6"}, {"di", "i"}, {"pt", "c"}, {"e", "buy"}, {"lv", "9"}, {"to", "5"}},
                    "", screen, {});
  EXPECT_EQ(stored("eventcounter_6_buy"), "3 " + std::to_string(now()));
  awaitRequest("/t");
}

TEST_F(LabelTest, DirectLabelsRunWithTheHostsValues) {
  Tavrino client(baseUrl, "1", "0");
  client.add_label("i", "v", "gold", "3", "", "", {{"page", "home"}});
  EXPECT_EQ(stored("qiv_l_3"), "gold " + std::to_string(now() + 43200 * 60));
  client.add_label("d", "", "", "3", "", "", {});
  EXPECT_FALSE(has("qiv_l_3"));
  EXPECT_EQ(stepCount("request start. type is : label"), 2u);
  awaitRequest("/t", 1);
}

}  // namespace
}  // namespace tavrino
